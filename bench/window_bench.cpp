// The window as a user times it: start-up to the first paint, a press of
// "Train" to its message box, and the memory that successive runs keep.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QPaintEvent>
#include <QTest>
#include <sys/resource.h>

#include "network.h"
#include "unit1.h"

namespace {

// Counts the paint events a widget receives.
struct paint_counter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

TApplication& application() { return *static_cast<TApplication*>(qApp); }

void fresh_form() {
    the_network = network{};
    report_index = 0;
    application().CreateForm(Form1);
}

void close_form() {
    delete Form1;
    Form1 = nullptr;
}

long peak_rss_kib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// From the form's construction to its first paint on screen.
void BM_StartUpToFirstPaint(benchmark::State& state) {
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        fresh_form();
        paint_counter counter;
        Form1->installEventFilter(&counter);
        Form1->show();
        while (counter.paints == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.SetIterationTime(clock.nsecsElapsed() * 1e-9);
        Form1->removeEventFilter(&counter);
        close_form();
    }
}

// From the click on "Train" to the message box being shown.
void BM_TrainClickToMessageBox(benchmark::State& state) {
    fresh_form();
    Form1->show();
    QElapsedTimer clock;
    qint64 shown_after = -1;
    QString message;
    const auto previous = SetMessageFunction([&](const QString& text) {
        shown_after = clock.nsecsElapsed();
        message = text;
    });
    for (auto _ : state) {
        clock.start();
        QTest::mouseClick(Form1->Button1, Qt::LeftButton);
        state.SetIterationTime(shown_after * 1e-9);
    }
    SetMessageFunction(previous);
    if (message != "Train Number 10000") state.SkipWithError("the run did not end as expected");
    close_form();
}

// Peak memory over 20 successive runs. The removed series stay with the
// chart but give back their 100,010 points (1.56 MiB of x and y), so after
// the first run the peak should grow by no more than 0.1 MiB a run.
void BM_MemoryOverTwentyRuns(benchmark::State& state) {
    for (auto _ : state) {
        fresh_form();
        const auto previous = SetMessageFunction([](const QString&) {});
        QTest::mouseClick(Form1->Button1, Qt::LeftButton);  // the first run's peak is the base
        const long base = peak_rss_kib();
        for (int run = 1; run < 20; ++run) QTest::mouseClick(Form1->Button1, Qt::LeftButton);
        const long end = peak_rss_kib();
        SetMessageFunction(previous);
        close_form();
        state.counters["peak_MiB"] = end / 1024.0;
        state.counters["growth_per_run_KiB"] = (end - base) / 19.0;
        state.counters["limit_KiB"] = 0.1 * 1024;
    }
}

}  // namespace

BENCHMARK(BM_StartUpToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TrainClickToMessageBox)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MemoryOverTwentyRuns)->Unit(benchmark::kMillisecond)->Iterations(1);
