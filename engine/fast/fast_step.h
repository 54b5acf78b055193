// The fast step itself: present_pattern on a fast_learner's packed layers,
// written once over the kernels of fast_kernels.h and compiled into one
// table of flattened entry points per instruction set (portable.cpp, and on
// x86-64 sse2.cpp, avx2.cpp, avx512.cpp). Not part of the engine's interface.
#pragma once

#include <array>
#include <cstdint>

#include "fast_kernels.h"

#if defined(__x86_64__)
#define DIGITS_X86_64 1
#else
#define DIGITS_X86_64 0
#endif

namespace fast_kernel {

// What each instruction set's file exports to the program: its step,
// compiled for it.
struct kernel_table {
    real (*present)(fast_learner& learner, const network& nw);
};

extern const kernel_table portable_kernels;
#if DIGITS_X86_64
extern const kernel_table sse2_kernels, avx2_kernels, avx512_kernels;
#endif

// The table of isa; throws std::invalid_argument if the CPU lacks it.
const kernel_table& kernels_of(instruction_set isa);

// What the same files export, compiled again into the fast_testing library,
// to the tests and benchmarks (fast_testing.h): the timed step and the
// kernels on their own. The program does not link them.
struct testing_kernel_table {
    real (*present_timed)(fast_learner& learner, const network& nw);
    int (*running_sums)(const real* w, int stride, const real* x, int n, int width, real* sum,
                        const real* alone);
    int (*sigmoids)(const real* net, int width, real* output);
    bool (*quotient_needs_exact)(double q);
    void (*exponentials)(const real* net, int n, double* e);
};

extern const testing_kernel_table portable_testing_kernels;
#if DIGITS_X86_64
extern const testing_kernel_table sse2_testing_kernels, avx2_testing_kernels, avx512_testing_kernels;
#endif

const testing_kernel_table& testing_kernels_of(instruction_set isa);

// A reading of the CPU's time-stamp counter, or on other CPUs than x86-64 of
// a nanosecond clock.
std::int64_t ticks();

}  // namespace fast_kernel

// Laps of the step's parts for fast_learner::time_phases: with timed, lap(p)
// adds the ticks since the last lap, less what a read costs, to part p;
// without, it does nothing and reads nothing.
template <bool timed>
struct phase_clock {
    enum part { forward, sigmoids, deltas, updates };
    std::array<std::int64_t, 4>& ticks;
    std::int64_t read_cost;
    std::int64_t last = timed ? fast_kernel::ticks() : 0;
    void lap(part p) {
        if constexpr (timed) {
            const std::int64_t now = fast_kernel::ticks();
            ticks[p] += now - last - read_cost;
            last = now;
        }
    }
};

// The step on a fast_learner's packed layers, for the instruction set S.
// present<S> is fast_learner::present; each instruction set's file compiles
// it into the flattened entry points of its table, timed and not.
struct fast_step {
    using layer = fast_learner::layer;
    using packed_layers = std::array<layer, layer_count>;
    using redone_counts = fast_learner::redone_counts;

    // The strides of layer L's two layouts, and where the lane left out of
    // one of them is found in the other (see fast_learner::layer).
    static constexpr int neuron_stride(int L) {
        return fast_kernel::padded(fast_kernel::stored_lanes(layer_size[L]));
    }
    static constexpr int input_stride(int L) {
        return fast_kernel::padded(fast_kernel::stored_lanes(fan_in(L)));
    }
    static const real* lone_neuron(const layer& here, int L) {  // its weights, one per input
        return fast_kernel::last_alone(layer_size[L])
                   ? here.by_neuron.data() + (layer_size[L] - 1) * input_stride(L)
                   : nullptr;
    }
    static const real* lone_input(const layer& here, int L) {  // its weights, one per neuron
        return fast_kernel::last_alone(fan_in(L)) ? here.by_input.data() + (fan_in(L) - 1) * neuron_stride(L)
                                                  : nullptr;
    }
    static_assert(!fast_kernel::last_alone(layer_size[0]), "the input layer has no other layout");
    static_assert(
        [] {
            for (int L = 0; L < layer_count; ++L)
                if (fast_kernel::last_alone(layer_size[L]) && fast_kernel::last_alone(fan_in(L)))
                    return false;
            return true;
        }(),
        "a weight of a lone neuron from a lone input would be in neither layout");

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

    // forward_pass of layer L > 0: nets and outputs from the outputs below.
    template <fast_kernel::instruction_set_adapter S, int L, class Clock>
    static void forward_layer(packed_layers& layers, redone_counts& redone, Clock& clock) {
        layer& here = layers[L];
        redone.sums +=
            fast_kernel::running_sums<S>(here.by_input.data(), neuron_stride(L), layers[L - 1].output.data(),
                                         fan_in(L), layer_size[L], here.net.data(), lone_neuron(here, L));
        clock.lap(Clock::forward);
        redone.sigmoids += fast_kernel::sigmoids<S>(here.net.data(), layer_size[L], here.output.data());
        clock.lap(Clock::sigmoids);
    }

    // compute_delta of layer L below the output layer: the deltas of layer L + 1
    // fed back through its weights, times delta_factor or, by the slope rule,
    // times the sigmoid's slope y(1 - y) at each neuron's output (each
    // product float by float, so formed in float).
    template <fast_kernel::instruction_set_adapter S, int L>
    static void feed_back(packed_layers& layers, redone_counts& redone, rule_kind rule) {
        const layer& above = layers[L + 1];
        real* delta = layers[L].delta.data();
        redone.sums +=
            fast_kernel::running_sums<S>(above.by_neuron.data(), input_stride(L + 1), above.delta.data(),
                                         layer_size[L + 1], layer_size[L], delta, lone_input(above, L + 1));
        if (rule == rule_kind::slope) {
            const real* y = layers[L].output.data();
            for (int j = 0; j < layer_size[L]; ++j) delta[j] = delta[j] * (y[j] * (1.0f - y[j]));
        } else {
            for (int j = 0; j < layer_size[L]; ++j) delta[j] = delta[j] * delta_factor;
        }
        // The padding lanes hold no neuron. With their deltas 0 their weights stay
        // 0 instead of drifting towards subnormals or infinities, which some
        // CPUs handle slowly.
        for (int j = layer_size[L]; j < fast_kernel::padded(layer_size[L]); ++j) delta[j] = 0.0f;
    }

    // The deltas an update adds: the layer's own, or at a rate other than 1
    // each times the rate (float by float), in step; the padding lanes stay 0.
    static const real* stepped(const layer& here, real rate, real* step) {
        if (rate == 1.0f) return here.delta.data();
        for (std::size_t j = 0; j < here.delta.size(); ++j) step[j] = here.delta[j] * rate;
        return step;
    }

    // update_weight of layer L > 0, both layouts of its weights.
    template <fast_kernel::instruction_set_adapter S, int L>
    static void update_layer(packed_layers& layers, real rate) {
        layer& here = layers[L];
        alignas(64) real step[fast_kernel::max_row];
        const real* delta = stepped(here, rate, step);
        alignas(64) real x[fast_kernel::max_row];  // the inputs times gain; the padding outputs are 0
        for (int k = 0; k < fast_kernel::padded(fan_in(L)); k += S::float_lanes)
            S::store_floats(x + k, S::multiply(S::load_floats(layers[L - 1].output.data() + k),
                                               S::broadcast_float(gain)));
        fast_kernel::update_by_input<S>(here.by_input.data(), neuron_stride(L), delta, x, fan_in(L));
        fast_kernel::update_by_neuron<S>(here.by_neuron.data(), input_stride(L), delta, layer_size[L], x);
    }

    // present_pattern on the packed layers. Returns the error and counts the
    // sums and sigmoids it formed with the plain arithmetic into the learner;
    // timed, it also adds up the ticks of its parts there.
    template <fast_kernel::instruction_set_adapter S, bool timed = false>
    static real present(fast_learner& learner, const network& nw) {
        static_assert(layer_count == 3);
        phase_clock<timed> clock{learner.phase_ticks_, learner.read_cost_};
        using part = typename phase_clock<timed>::part;
        packed_layers& layers = learner.layers_;
        redone_counts& redone = learner.redone_;
        layer& in = layers[0];
        layer& out = layers[2];
        constexpr int in_stride = neuron_stride(0);

        // forward_pass. The input layer sees the cells.
        alignas(64) real x[fast_kernel::max_row] = {};
        bool bits_only = true;
        for (int k = 0; k < input_bits; ++k) {
            bits_only &= static_cast<unsigned>(nw.input_bit[k]) <= 1;
            x[k] = static_cast<real>(nw.input_bit[k]);
        }
        if (bits_only)
            fast_kernel::sums_of_bits<S>(in.by_input.data(), in_stride, x, in.net.data());
        else
            fast_kernel::plain_sums_of_cells(in.by_input.data(), in_stride, nw.input_bit, in.net.data());
        clock.lap(part::forward);
        redone.sigmoids += fast_kernel::sigmoids<S>(in.net.data(), layer_size[0], in.output.data());
        clock.lap(part::sigmoids);
        forward_layer<S, 1>(layers, redone, clock);
        forward_layer<S, 2>(layers, redone, clock);

        // pattern_error, formed as the plain step forms it. It needs only the
        // outputs, so its arithmetic overlaps with what follows.
        const auto& target = nw.target[nw.pattern_index];
        real sum = 0.0f;
        for (int j = 0; j < layer_size[2]; ++j)
            sum = rounded_sum(sum, squared_error(target[j], out.output[j]));

        // compute_delta, and update_weight of each layer as soon as no delta is
        // still to be fed back through its old weights. The output error and
        // every product with delta_factor are float by float: formed in float;
        // so are x = input * gain, change = delta * x and weight + change.
        const rule_kind rule = learner.how_.rule;
        const real rate = learner.how_.rate;
        if (rule == rule_kind::slope) {
            for (int j = 0; j < layer_size[2]; ++j) {
                const real y = out.output[j];
                out.delta[j] = (target[j] - y) * (y * (1.0f - y));
            }
        } else {
            for (int j = 0; j < layer_size[2]; ++j) out.delta[j] = (target[j] - out.output[j]) * delta_factor;
        }
        feed_back<S, 1>(layers, redone, rule);
        clock.lap(part::deltas);
        update_layer<S, 2>(layers, rate);
        clock.lap(part::updates);
        feed_back<S, 0>(layers, redone, rule);
        clock.lap(part::deltas);
        update_layer<S, 1>(layers, rate);
        for (int k = 0; k < input_bits; ++k)
            x[k] = bits_only ? x[k] * gain  // 0 or 1 times gain: exact in float
                             : rounded_product(nw.input_bit[k], gain);
        alignas(64) real step[fast_kernel::max_row];
        fast_kernel::update_by_input<S>(in.by_input.data(), in_stride, stepped(in, rate, step), x,
                                        input_bits);
        clock.lap(part::updates);
        return static_cast<real>(0.5 * static_cast<double>(sum));  // exact, as pattern_error halves
    }

#pragma GCC diagnostic pop
};

// The entry points of one instruction set's file and its table: S is its
// adapter, the rest the attributes of every entry point, flatten (everything
// they call is inlined into them, see fast_kernels.h) and the instruction
// set's target. Built for the program, the file defines S_kernels; built
// with DIGITS_FAST_TESTING (the fast_testing library), S_testing_kernels.
#if DIGITS_FAST_TESTING
#define DIGITS_FAST_STEP_ENTRIES(S, ...)                                                           \
    namespace {                                                                                    \
    __VA_ARGS__ real entry_present_timed(fast_learner& learner, const network& nw) {               \
        return fast_step::present<S, true>(learner, nw);                                           \
    }                                                                                              \
    __VA_ARGS__ int entry_running_sums(const real* w, int stride, const real* x, int n, int width, \
                                       real* sum, const real* alone) {                             \
        return fast_kernel::running_sums<S>(w, stride, x, n, width, sum, alone);                   \
    }                                                                                              \
    __VA_ARGS__ int entry_sigmoids(const real* net, int width, real* output) {                     \
        return fast_kernel::sigmoids<S>(net, width, output);                                       \
    }                                                                                              \
    __VA_ARGS__ bool entry_quotient_needs_exact(double q) {                                        \
        return fast_kernel::quotient_needs_exact<S>(q);                                            \
    }                                                                                              \
    __VA_ARGS__ void entry_exponentials(const real* net, int n, double* e) {                       \
        fast_kernel::exponentials_of<S>(net, n, e);                                                \
    }                                                                                              \
    }                                                                                              \
    const fast_kernel::testing_kernel_table fast_kernel::S##_testing_kernels = {                   \
        entry_present_timed, entry_running_sums, entry_sigmoids, entry_quotient_needs_exact,       \
        entry_exponentials};
#else
#define DIGITS_FAST_STEP_ENTRIES(S, ...)                                       \
    namespace {                                                                \
    __VA_ARGS__ real entry_present(fast_learner& learner, const network& nw) { \
        return fast_step::present<S>(learner, nw);                             \
    }                                                                          \
    }                                                                          \
    const fast_kernel::kernel_table fast_kernel::S##_kernels = {entry_present};
#endif
