// A full training run from the start-up weights, headless.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "training.h"

namespace {

struct quiet_display : training_display {
    epoch_errors last{};
    int end = -1;
    void add_point(int p, int, real error) override { last[p] = error; }
    void write_report(const epoch_errors&) override {}
    void show_end(int number) override { end = number; }
};

void BM_FullRunReference(benchmark::State& state) {
    quiet_display shown;
    for (auto _ : state) {
        state.PauseTiming();
        network nw;
        init_network(nw);
        state.ResumeTiming();
        train_network(nw, shown, present_pattern);
        benchmark::DoNotOptimize(nw.layers[2][0].weight.data());
    }
    if (shown.end != 10000) state.SkipWithError("the run did not last 10001 epochs");
    state.counters["presentations/s"] =
        benchmark::Counter(100010.0 * state.iterations(), benchmark::Counter::kIsRate);
    std::string errors;
    for (real e : shown.last) errors += std::to_string(e).substr(0, 8) + " ";
    state.SetLabel("final errors " + errors);
}

}  // namespace

BENCHMARK(BM_FullRunReference)->Unit(benchmark::kMillisecond)->Iterations(3);
