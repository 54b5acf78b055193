// A full training run from the start-up weights, headless: the plain step
// against the fast learner the program trains with.
//   ./digits_bench --benchmark_filter=FullRun
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "fast_engine.h"
#include "training.h"

namespace {

struct quiet_display : training_display {
    epoch_errors last{};
    int end = -1;
    void add_point(int p, int, real error) override { last[p] = error; }
    void write_report(const epoch_errors&) override {}
    void show_end(int number) override { end = number; }
};

constexpr double presentations_per_run = 10001.0 * digit_count;

void check_and_label(benchmark::State& state, const quiet_display& shown, const std::string& prefix) {
    if (shown.end != 10000) state.SkipWithError("the run did not last 10001 epochs");
    state.counters["presentations/s"] =
        benchmark::Counter(presentations_per_run * state.iterations(), benchmark::Counter::kIsRate);
    std::string errors;
    for (real e : shown.last) errors += std::to_string(e).substr(0, 8) + " ";
    state.SetLabel(prefix + "final errors " + errors);
}

void BM_FullRunReference(benchmark::State& state) {
    quiet_display shown;
    for (auto _ : state) {
        state.PauseTiming();
        network nw;
        init_network(nw);
        state.ResumeTiming();
        train_network_plain(nw, shown);
        benchmark::DoNotOptimize(nw.layers[2][0].weight.data());
    }
    check_and_label(state, shown, "");
}

// A benchmark for an instruction set this CPU lacks is reported as skipped.
bool skip_unless_supported(benchmark::State& state, instruction_set isa) {
    if (cpu_supports(isa)) return false;
    state.SkipWithError((std::string("this CPU lacks ") + name_of(isa)).c_str());
    for (auto _ : state) {
    }
    return true;
}

// One full run of the fast learner from a fresh start-up network; only the
// training is timed. Returns the learner, to read its counts.
fast_learner fast_run(benchmark::State& state, instruction_set isa, quiet_display& shown, bool timed_phases) {
    state.PauseTiming();
    network nw;
    init_network(nw);
    state.ResumeTiming();
    fast_learner learner(nw, isa);
    learner.time_phases(timed_phases);
    train_network(nw, shown, learner);
    benchmark::DoNotOptimize(nw.layers[2][0].weight.data());
    return learner;
}

// The fast learner with the instruction set given by the argument: 0 the
// portable step, 1 SSE2, 2 AVX2, 3 AVX-512. The program uses the
// widest the CPU has.
void BM_FullRunFast(benchmark::State& state) {
    const auto isa = static_cast<instruction_set>(state.range(0));
    if (skip_unless_supported(state, isa)) return;
    quiet_display shown;
    fast_learner::redone_counts redone;
    for (auto _ : state) redone = fast_run(state, isa, shown, false).redone();
    // Running sums and sigmoids of one run formed in extended precision.
    state.counters["redone_sums"] = static_cast<double>(redone.sums);
    state.counters["redone_sigmoids"] = static_cast<double>(redone.sigmoids);
    check_and_label(state, shown, std::string(name_of(isa)) + ", ");
}

// Where the fast step's time goes in a full run, part by part (the step
// reads the time-stamp counter between its parts, which slows it; what the
// reads cost is taken off again): milliseconds per run in each part.
void BM_FullRunPhases(benchmark::State& state) {
    const auto isa = static_cast<instruction_set>(state.range(0));
    if (skip_unless_supported(state, isa)) return;
    quiet_display shown;
    fast_learner::phase_times total;
    for (auto _ : state) {
        const fast_learner::phase_times run = fast_run(state, isa, shown, true).phases();
        total.forward += run.forward;
        total.sigmoids += run.sigmoids;
        total.deltas += run.deltas;
        total.updates += run.updates;
    }
    const double per_run_ms = 1e3 / static_cast<double>(state.iterations());
    state.counters["forward_ms"] = total.forward * per_run_ms;
    state.counters["sigmoids_ms"] = total.sigmoids * per_run_ms;
    state.counters["deltas_ms"] = total.deltas * per_run_ms;
    state.counters["updates_ms"] = total.updates * per_run_ms;
    check_and_label(state, shown, std::string(name_of(isa)) + ", ");
}

// Both runs in every iteration, timed apart, so that both see the same load
// on the machine: ratio is reference time over fast time. The argument is
// the fast learner's instruction set, as for BM_FullRunFast.
void BM_FullRunRatio(benchmark::State& state) {
    using clock = std::chrono::steady_clock;
    const auto isa = static_cast<instruction_set>(state.range(0));
    if (skip_unless_supported(state, isa)) return;
    quiet_display shown;
    double reference_seconds = 0, fast_seconds = 0;
    for (auto _ : state) {
        network reference_nw, fast_nw;
        init_network(reference_nw);
        init_network(fast_nw);
        const auto t0 = clock::now();
        train_network_plain(reference_nw, shown);
        const auto t1 = clock::now();
        fast_learner learner(fast_nw, isa);
        train_network(fast_nw, shown, learner);
        const auto t2 = clock::now();
        reference_seconds += std::chrono::duration<double>(t1 - t0).count();
        fast_seconds += std::chrono::duration<double>(t2 - t1).count();
        for (int L = 0; L < layer_count; ++L)
            for (int j = 0; j < layer_size[L]; ++j)
                if (reference_nw.layers[L][j].weight != fast_nw.layers[L][j].weight)
                    state.SkipWithError("the fast run ended with other weights");
    }
    state.counters["reference_ms"] = 1e3 * reference_seconds / state.iterations();
    state.counters["fast_ms"] = 1e3 * fast_seconds / state.iterations();
    state.counters["ratio"] = reference_seconds / fast_seconds;
}

}  // namespace

BENCHMARK(BM_FullRunReference)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FullRunFast)->Unit(benchmark::kMillisecond)->Iterations(10)->Arg(3)->Arg(2)->Arg(1)->Arg(0);
BENCHMARK(BM_FullRunPhases)->Unit(benchmark::kMillisecond)->Iterations(5)->Arg(3)->Arg(2)->Arg(1)->Arg(0);
BENCHMARK(BM_FullRunRatio)->Unit(benchmark::kMillisecond)->Iterations(5)->Arg(3)->Arg(2)->Arg(0);
