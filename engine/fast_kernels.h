// The kernels of the fast step, written once for every instruction set and
// included by the one file per instruction set that compiles them for it
// (fast_sse2.cpp, fast_avx2.cpp, fast_avx512.cpp). Not part of the engine's
// interface: only the fast engine's own files include it.
//
// An instruction set comes in as an adapter S, a struct of static functions
// over its vectors (the concepts below). The kernels pass those vectors by
// value, which is only sound once everything is inlined into one function
// compiled for that instruction set: the flatten entry points in the
// instruction set's file are for that. There are no calls left then to pass
// vectors through, hence no ABI to mismatch. engine/CMakeLists.txt builds
// these files optimised in every configuration; without inlining they must
// not build.
#pragma once

#include <cfloat>
#include <concepts>
#include <cstdint>
#include <cstring>

#include "fast_engine.h"
#include "rounding.h"

#if defined(__NO_INLINE__)
#error "the fast step needs the inliner (-O1 or more, no -fno-inline): see engine/CMakeLists.txt"
#endif

namespace fast_kernel {

// --- When a running sum step s + w * x is exact in extended precision.
//
// With e() the exponent (floor of log2 of the magnitude), |w * x| lies in
// [2^(e(w)+e(x)), 2^(e(w)+e(x)+2)), its lowest bit is no lower than
// 2^(e(w)+e(x)-46) and that of s no lower than 2^(e(s)-23), subnormal or not.
// The sum is a multiple of the lower of the two, and less than 2^64 of them
// (so it fits extended's 64-bit significand) when
// d = e(s) - e(w) - e(x) lies in [exact_low, exact_high]:
//   d >= 1:  sum < 2^(e(s)+2), unit 2^(e(w)+e(x)-46)       -> d <= 16;
//   d <= 0:  sum < 2^(e(w)+e(x)+3), unit as above, or for
//            d < -23, 2^(e(s)-23)                          -> d >= -38.
// In a training run about one running sum in ten thousand has a step outside
// (893 of the default run's 8 million).
inline constexpr int exact_low = -38, exact_high = 16;

// --- When rounding a double sum to float is safe (the baseline's check).
//
// The step is formed in double and rounded to float by integer arithmetic on
// its bits: adding `halfway` to the 29 bits below a float's 24-bit
// significand and clearing them rounds to the nearest float, carrying into
// the exponent where needed. That is the float the extended sum rounds to
// unless the double was exactly halfway between two floats (ties go to even,
// and the extended sum may have lain to either side), or the float is not a
// normal one (subnormal floats have fewer bits; zero and overflow are rare
// enough to hand over too).
inline constexpr std::int64_t below_float = (std::int64_t{1} << 29) - 1;
inline constexpr std::int64_t halfway = std::int64_t{1} << 28;
inline constexpr std::int64_t magnitude_bits = INT64_MAX;  // all but the sign
inline constexpr double smallest_normal_float = 0x1p-126;

// --- When the double quotient of the sigmoid is safe.
//
// The double quotient is within 2.01 units in its last place of the extended
// quotient (each rounds twice, 2^-53 and 2^-64 relative), so a halfway point
// between floats that separates them is at most 2 such units from the double.
inline constexpr std::int64_t quotient_margin = 4;

// True when q is within quotient_margin units of a halfway point between
// floats, below the normal floats, or NaN.
inline bool quotient_near_halfway(double q) {
    std::int64_t bits;
    std::memcpy(&bits, &q, sizeof bits);
    const std::int64_t distance = (bits & below_float) - halfway;
    return (distance < quotient_margin && distance > -quotient_margin) || !(q >= smallest_normal_float);
}

// --- The plain arithmetic, for what needs it (fast_engine.cpp). Never
// inlined: rare, and x87 code has no place in the vector loops.

// Lane j of running_sums, exactly as the plain step forms it:
// w: [n][stride] from lane j on, x: [n].
real extended_sum(const real* w, int stride, const real* x, int n);

// The input layer's nets for cells other than 0 and 1, as forward_pass forms them.
// w: [input_bits][stride], net: [stride].
void extended_sums_of_cells(const real* w, int stride, const bit_map& cells, real* net);

// The sigmoid as the plain step forms it, from e = exp(sigmoid_exponent(net)).
real extended_sigmoid(double e);

// --- What an instruction set provides. Running sums, in vectors of
// sum_lanes sums:
//   start()                  all zero
//   make_term(x)             the input x as every step needs it
//   add_first(sums, w, term) the first step 0 + w * x; w: [sum_lanes]
//   add(sums, w, term)       every later step s + w * x
//   store(sum, sums)         sum: [sum_lanes]
//   marked(sums)             bit j: lane j needs extended precision
// and plain float vectors of float_lanes floats for the rest.
template <class S>
concept running_sum_lanes =
    requires(typename S::sums& acc, const typename S::sums& done, const real* w, real* out, real x,
             typename S::term t) {
        requires max_row % S::sum_lanes == 0;
        { S::start() } -> std::same_as<typename S::sums>;
        { S::make_term(x) } -> std::same_as<typename S::term>;
        S::add_first(acc, w, t);
        S::add(acc, w, t);
        S::store(out, done);
        { S::marked(done) } -> std::same_as<int>;
    };

template <class S>
concept float_vector_lanes = requires(typename S::fvec v, const real* p, real* out, real x) {
    requires max_row % S::float_lanes == 0;
    { S::load_floats(p) } -> std::same_as<typename S::fvec>;
    S::store_floats(out, v);
    { S::broadcast_float(x) } -> std::same_as<typename S::fvec>;
    { S::add(v, v) } -> std::same_as<typename S::fvec>;
    { S::multiply(v, v) } -> std::same_as<typename S::fvec>;
};

template <class S>
concept instruction_set_adapter = running_sum_lanes<S> && float_vector_lanes<S>;

// --- The kernels, inlined into one flattened function per instruction set,
// where the shapes are constants: the loops over lanes unroll and the sums
// stay in registers. They call S's functions outside S's target, which GCC
// warns is an ABI change; it is not one once they are inlined (see above).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

// sum[j] = float running sum of w[k][j] * x[k]; see fast_kernel::running_sums.
// w: [n][stride], x: [n], sum: [stride].
template <instruction_set_adapter S>
inline int running_sums(const real* w, int stride, const real* x, int n, int width, real* sum) {
    const int vectors = (width + S::sum_lanes - 1) / S::sum_lanes;
    typename S::sums acc[max_row / S::sum_lanes];
    for (int v = 0; v < vectors; ++v) acc[v] = S::start();
    if (n > 0) {
        const auto term = S::make_term(x[0]);
        for (int v = 0; v < vectors; ++v) S::add_first(acc[v], w + v * S::sum_lanes, term);
    }
    for (int k = 1; k < n; ++k) {
        const auto term = S::make_term(x[k]);
        for (int v = 0; v < vectors; ++v) S::add(acc[v], w + k * stride + v * S::sum_lanes, term);
    }
    int redone = 0;
    for (int v = 0; v < vectors; ++v) {
        S::store(sum + v * S::sum_lanes, acc[v]);
        for (int marked = S::marked(acc[v]); marked != 0; marked &= marked - 1) {
            const int j = v * S::sum_lanes + __builtin_ctz(marked);
            if (j >= width) break;
            sum[j] = extended_sum(w + j, stride, x, n);
            ++redone;
        }
    }
    return redone;
}

// net[j] of the input layer when every cell is 0.0f or 1.0f: w * cell is then
// w or zero exactly, so the running sum is a plain float sum.
// w: [input_bits][stride], cell: [input_bits], net: [stride].
template <instruction_set_adapter S>
inline void sums_of_bits(const real* w, int stride, const real* cell, real* net) {
    const int vectors = stride / S::float_lanes;
    typename S::fvec acc[max_row / S::float_lanes];
    for (int v = 0; v < vectors; ++v) acc[v] = S::broadcast_float(0.0f);
    for (int k = 0; k < input_bits; ++k) {
        const auto c = S::broadcast_float(cell[k]);
        for (int v = 0; v < vectors; ++v)
            acc[v] = S::add(acc[v], S::multiply(S::load_floats(w + k * stride + v * S::float_lanes), c));
    }
    for (int v = 0; v < vectors; ++v) S::store_floats(net + v * S::float_lanes, acc[v]);
}

// w[k][j] += delta[j] * x[k], lanes are neurons. w: [n][stride], delta: [stride], x: [n].
template <instruction_set_adapter S>
inline void update_by_input(real* w, int stride, const real* delta, const real* x, int n) {
    typename S::fvec d[max_row / S::float_lanes];  // loaded once, not after every store to a row
    for (int v = 0; v < stride / S::float_lanes; ++v) d[v] = S::load_floats(delta + v * S::float_lanes);
    for (int k = 0; k < n; ++k) {
        const auto xk = S::broadcast_float(x[k]);
        for (int v = 0; v < stride / S::float_lanes; ++v) {
            real* row = w + k * stride + v * S::float_lanes;
            S::store_floats(row, S::add(S::load_floats(row), S::multiply(d[v], xk)));
        }
    }
}

// w[j][k] += delta[j] * x[k], lanes are inputs. w: [n][stride], delta: [n], x: [stride].
template <instruction_set_adapter S>
inline void update_by_neuron(real* w, int stride, const real* delta, int n, const real* x) {
    typename S::fvec xv[max_row / S::float_lanes];
    for (int v = 0; v < stride / S::float_lanes; ++v) xv[v] = S::load_floats(x + v * S::float_lanes);
    for (int j = 0; j < n; ++j) {
        const auto dj = S::broadcast_float(delta[j]);
        for (int v = 0; v < stride / S::float_lanes; ++v) {
            real* row = w + j * stride + v * S::float_lanes;
            S::store_floats(row, S::add(S::load_floats(row), S::multiply(dj, xv[v])));
        }
    }
}

// output[j] = sigmoid(net[j]); see fast_kernel::sigmoids. One neuron at a
// time: each division then overlaps with the next exp call.
inline int sigmoids_one_by_one(const real* net, int width, real* output) {
    int redone = 0;
    for (int j = 0; j < width; ++j) {
        const double e = std::exp(sigmoid_exponent(net[j]));
        const double q = 1.0 / (1.0 + e);
        if (quotient_near_halfway(q)) [[unlikely]] {
            output[j] = extended_sigmoid(e);
            ++redone;
        } else {
            output[j] = static_cast<real>(q);
        }
    }
    return redone;
}

#pragma GCC diagnostic pop

}  // namespace fast_kernel

// The step on a fast_learner's packed layers, for the instruction set S.
// present<S> is fast_learner::present; each instruction set's file compiles
// it into its flattened entry point below.
struct fast_step {
    using layer = fast_learner::layer;
    using packed_layers = std::array<layer, layer_count>;
    using fallback_counts = fast_learner::fallback_counts;

    static real present_sse2(fast_learner& learner, const network& nw);
    static real present_avx2(fast_learner& learner, const network& nw);
    static real present_avx512(fast_learner& learner, const network& nw);

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

    // forward_pass of layer L > 0: nets and outputs from the outputs below.
    template <fast_kernel::instruction_set_adapter S, int L>
    static void forward_layer(packed_layers& layers, fallback_counts& fallbacks) {
        layer& here = layers[L];
        fallbacks.sums += fast_kernel::running_sums<S>(here.by_input.data(), fast_kernel::padded(layer_size[L]),
                                                       layers[L - 1].output.data(), fan_in(L), layer_size[L],
                                                       here.net.data());
        fallbacks.sigmoids += fast_kernel::sigmoids_one_by_one(here.net.data(), layer_size[L], here.output.data());
    }

    // compute_delta of layer L below the output layer: the deltas of layer L + 1
    // fed back through its weights, times delta_factor.
    template <fast_kernel::instruction_set_adapter S, int L>
    static void feed_back(packed_layers& layers, fallback_counts& fallbacks) {
        const layer& above = layers[L + 1];
        real* delta = layers[L].delta.data();
        fallbacks.sums += fast_kernel::running_sums<S>(above.by_neuron.data(), fast_kernel::padded(fan_in(L + 1)),
                                                       above.delta.data(), layer_size[L + 1], layer_size[L], delta);
        for (int j = 0; j < layer_size[L]; ++j) delta[j] = delta[j] * delta_factor;
        // The padding lanes hold no neuron. With their deltas 0 their weights stay
        // 0 instead of drifting towards subnormals or infinities, which some
        // CPUs handle slowly.
        for (int j = layer_size[L]; j < fast_kernel::padded(layer_size[L]); ++j) delta[j] = 0.0f;
    }

    // update_weight of layer L > 0, both copies of its weights.
    template <fast_kernel::instruction_set_adapter S, int L>
    static void update_layer(packed_layers& layers) {
        layer& here = layers[L];
        alignas(64) real x[fast_kernel::max_row];  // the inputs times gain; the padding outputs are 0
        for (int k = 0; k < fast_kernel::padded(fan_in(L)); k += S::float_lanes)
            S::store_floats(x + k, S::multiply(S::load_floats(layers[L - 1].output.data() + k),
                                               S::broadcast_float(gain)));
        fast_kernel::update_by_input<S>(here.by_input.data(), fast_kernel::padded(layer_size[L]),
                                        here.delta.data(), x, fan_in(L));
        fast_kernel::update_by_neuron<S>(here.by_neuron.data(), fast_kernel::padded(fan_in(L)), here.delta.data(),
                                         layer_size[L], x);
    }

    // present_pattern on the packed layers. Returns the error and counts the
    // sums and sigmoids it formed in extended precision into the learner.
    template <fast_kernel::instruction_set_adapter S>
    static real present(fast_learner& learner, const network& nw) {
        static_assert(layer_count == 3);
        packed_layers& layers = learner.layers_;
        fallback_counts& fallbacks = learner.fallbacks_;
        layer& in = layers[0];
        layer& out = layers[2];
        constexpr int in_stride = fast_kernel::padded(layer_size[0]);

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
            fast_kernel::extended_sums_of_cells(in.by_input.data(), in_stride, nw.input_bit, in.net.data());
        fallbacks.sigmoids += fast_kernel::sigmoids_one_by_one(in.net.data(), layer_size[0], in.output.data());
        forward_layer<S, 1>(layers, fallbacks);
        forward_layer<S, 2>(layers, fallbacks);

        // pattern_error, formed as the plain step forms it. It needs only the
        // outputs, so its extended arithmetic overlaps with what follows.
        const auto& target = nw.target[nw.pattern_index];
        real sum = 0.0f;
        for (int j = 0; j < layer_size[2]; ++j) sum = rounded_sum(sum, squared_error(target[j], out.output[j]));

        // compute_delta, and update_weight of each layer as soon as no delta is
        // still to be fed back through its old weights. The output error and
        // every product with delta_factor are float by float: formed in float;
        // so are x = input * gain, change = delta * x and weight + change.
        for (int j = 0; j < layer_size[2]; ++j) out.delta[j] = (target[j] - out.output[j]) * delta_factor;
        feed_back<S, 1>(layers, fallbacks);
        update_layer<S, 2>(layers);
        feed_back<S, 0>(layers, fallbacks);
        update_layer<S, 1>(layers);
        for (int k = 0; k < input_bits; ++k)
            x[k] = bits_only ? x[k] * gain  // 0 or 1 times gain: exact in float
                             : static_cast<real>(static_cast<extended>(nw.input_bit[k]) * gain);
        fast_kernel::update_by_input<S>(in.by_input.data(), in_stride, in.delta.data(), x, input_bits);
        return static_cast<real>(0.5L * sum);
    }

#pragma GCC diagnostic pop
};

// The running sums of each instruction set, compiled for it, for
// fast_kernel::running_sums.
namespace fast_kernel {
int running_sums_sse2(const real* w, int stride, const real* x, int n, int width, real* sum);
int running_sums_avx2(const real* w, int stride, const real* x, int n, int width, real* sum);
int running_sums_avx512(const real* w, int stride, const real* x, int n, int width, real* sum);
}  // namespace fast_kernel
