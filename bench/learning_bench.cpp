// Runs with the learning choices, the plain step against the fast one in
// every iteration (so both see the same load): the converged run of a
// zero-mean start with the slope rule, and the slope rule from the designed
// start, which does not converge and so lasts 10001 epochs; and in the
// window, "Train" after "New start" with those settings, to its message box.
//   ./digits_bench --benchmark_filter=Learning
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <chrono>

#include "fast_engine.h"
#include "learning.h"
#include "unit1.h"

namespace {

struct last_epoch : training_display {
    int end = -1;
    void add_point(int, int, real) override {}
    void write_report(const epoch_errors&) override {}
    void show_end(int number) override { end = number; }
};

// Argument 0: a zero-mean start (deviation 0.5, as the window's default), 1:
// the designed start; the slope rule at rate 1 either way.
void BM_LearningRun(benchmark::State& state) {
    using clock = std::chrono::steady_clock;
    learning how;
    how.start = state.range(0) == 0 ? start_kind::zero_mean : start_kind::designed;
    how.rule = rule_kind::slope;
    network start;
    init_network(start);
    for (int i = 0; i < 36; ++i) random_weight(start);  // the chart's draws, as in the program
    if (how.start == start_kind::zero_mean) new_start(start, how);

    double plain_seconds = 0, fast_seconds = 0;
    last_epoch plain_end, fast_end;
    for (auto _ : state) {
        network plain = start, fast = start;
        const auto t0 = clock::now();
        train_network_plain(plain, plain_end, how);
        const auto t1 = clock::now();
        train_network(fast, fast_end, how);
        const auto t2 = clock::now();
        plain_seconds += std::chrono::duration<double>(t1 - t0).count();
        fast_seconds += std::chrono::duration<double>(t2 - t1).count();
        if (plain.layers[0][0].weight != fast.layers[0][0].weight || plain_end.end != fast_end.end)
            state.SkipWithError("the fast run ended elsewhere");
    }
    state.counters["last_epoch"] = fast_end.end;
    state.counters["plain_ms"] = 1e3 * plain_seconds / state.iterations();
    state.counters["fast_ms"] = 1e3 * fast_seconds / state.iterations();
    state.counters["ratio"] = plain_seconds / fast_seconds;
    state.SetLabel(name_of(best_instruction_set()));
}

// In the window: "New start" (not timed) and "Train" with a zero-mean start
// and the slope rule, from the click to the message box being shown.
void BM_LearningTrainClick(benchmark::State& state) {
    the_network = network{};
    report_index = 0;
    static_cast<TApplication*>(qApp)->CreateForm(Form1);
    Form1->show();
    TLearningPanel* panel = network_view->LearningPanel();
    panel->ZeroMeanStart()->click();
    panel->SlopeRule()->click();
    QElapsedTimer clock;
    qint64 shown_after = -1;
    QString message;
    const auto previous = SetMessageFunction([&](const QString& text) {
        shown_after = clock.nsecsElapsed();
        message = text;
    });
    QStringList ends;
    for (auto _ : state) {
        panel->NewStartButton()->click();
        clock.start();
        QTest::mouseClick(Form1->Button1, Qt::LeftButton);
        state.SetIterationTime(shown_after * 1e-9);
        ends << message.section(' ', 2);
    }
    SetMessageFunction(previous);
    state.SetLabel(("last epochs " + ends.join(' ')).toStdString());
    delete Form1;
    Form1 = nullptr;
}

}  // namespace

BENCHMARK(BM_LearningTrainClick)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LearningRun)->Unit(benchmark::kMillisecond)->Iterations(5)->Arg(0)->Arg(1);
