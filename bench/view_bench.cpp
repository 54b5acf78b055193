// The view inside the network as a user times it: opening it, bringing it up
// to date after a change, repainting it, and the memory that opening and
// closing it again and again keeps.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QPaintEvent>
#include <QTest>
#include <fstream>
#include <unistd.h>

#include "unit1.h"
#include "network.h"

namespace {

TApplication& application() { return *static_cast<TApplication*>(qApp); }

// A form trained once, so the view has every part to draw, on screen.
void trained_form() {
    the_network = network{};
    report_index = 0;
    application().CreateForm(Form1);
    Form1->show();
    const auto previous = SetMessageFunction([](const QString&) {});
    QTest::mouseClick(Form1->Button1, Qt::LeftButton);
    SetMessageFunction(previous);
}

void close_form() {
    delete Form1;
    Form1 = nullptr;
}

struct paint_counter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

long resident_kib() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// From a click on "Y-delta-Weight" to the view's first paint, after a change
// made while it was closed (so it brings its numbers up to date too).
void BM_ViewOpen(benchmark::State& state) {
    trained_form();
    paint_counter counter;
    network_view->installEventFilter(&counter);
    for (auto _ : state) {
        network_view->close();
        Form1->bitOnClick(bit_label[5]);
        QCoreApplication::processEvents();
        counter.paints = 0;
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(Form1->Label1, Qt::LeftButton);
        while (counter.paints == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.SetIterationTime(clock.nsecsElapsed() * 1e-9);
    }
    network_view->removeEventFilter(&counter);
    close_form();
}

// A change while the view is open, to its repaint: a switched cell (passed
// through a copy) or a press of "Test" (the engine's own numbers).
void BM_ViewUpdate(benchmark::State& state) {
    const bool by_test = state.range(0) == 1;
    trained_form();
    network_view->Open();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (by_test)
            Form1->Button2Click(Form1->Button2);
        else
            Form1->bitOnClick(bit_label[5]);
        network_view->repaint();
        state.SetIterationTime(clock.nsecsElapsed() * 1e-9);
        QCoreApplication::processEvents();
    }
    state.SetLabel(by_test ? "after Test" : "after a cell switch");
    close_form();
}

// The whole view painted once.
void BM_ViewRepaint(benchmark::State& state) {
    trained_form();
    network_view->Open();
    QCoreApplication::processEvents();
    for (auto _ : state) network_view->repaint();
    close_form();
}

// Resident memory over 200 cycles of opening the view, switching a cell and
// closing it: the view is built once with the form and reused, so the growth
// per cycle should be nil (a few KiB of allocator noise at most).
void BM_ViewMemoryOverOpenClose(benchmark::State& state) {
    for (auto _ : state) {
        trained_form();
        auto cycle = [] {
            Form1->Label1Click(Form1->Label1);
            Form1->bitOnClick(bit_label[5]);
            QCoreApplication::processEvents();
            network_view->close();
            QCoreApplication::processEvents();
        };
        for (int i = 0; i < 20; ++i) cycle();  // settle
        const long base = resident_kib();
        constexpr int cycles = 200;
        for (int i = 0; i < cycles; ++i) cycle();
        const long end = resident_kib();
        close_form();
        state.counters["growth_per_cycle_KiB"] = static_cast<double>(end - base) / cycles;
        state.counters["resident_MiB"] = end / 1024.0;
    }
}

}  // namespace

BENCHMARK(BM_ViewOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ViewUpdate)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_ViewRepaint)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_ViewMemoryOverOpenClose)->Unit(benchmark::kMillisecond)->Iterations(1);
