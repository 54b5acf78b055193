// The kernels of the fast step, written once for every instruction set and
// included (through fast_step.h) by the one file per instruction set that
// compiles them for it (portable.cpp, and on x86-64 sse2.cpp, avx2.cpp,
// avx512.cpp). Not part of the engine's interface: only the fast step's own
// files include it.
//
// An instruction set comes in as an adapter S, a struct of static functions
// over its vectors (the concepts below). The kernels pass those vectors by
// value, which is only sound once everything is inlined into one function
// compiled for that instruction set: the flatten entry points in the
// instruction set's file are for that. There are no calls left then to pass
// vectors through, hence no ABI to mismatch. (No kernel returns a vector,
// though: GCC would warn about that at the end of the file that instantiates
// it, out of reach of the pragmas below.) engine/CMakeLists.txt builds
// these files optimised in every configuration; without inlining they must
// not build. Only x86-64's files are compiled for a wider target than the
// rest; the portable file's adapter is plain C++.
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

// --- When rounding a double sum or quotient to float is safe (the sse2
// and portable steps' check, and every sigmoid's): rounding.h. The sums
// round the double to float by integer arithmetic on its bits: adding
// `halfway` to the 29 bits below a float's significand and clearing them.
using rounding::below_float;
using rounding::halfway;
using rounding::quotient_margin;
using rounding::quotient_needs_exact;
using rounding::smallest_normal_float;
inline constexpr std::int64_t magnitude_bits = INT64_MAX;  // all but the sign

// --- The sigmoid's exponential in vector lanes (AVX2, AVX-512).
//
// e^x for x = -gain * net, in every lane at once, for |x| <= exp_reach. gain
// is 1, so x is a float, -net, which the first reduction step below needs
// (hence the static_assert). Lanes beyond the reach are clamped to it:
// above, the quotient falls below the normal floats, needs exact and is redone;
// below, e^x < 2^-1009 leaves 1 + e^x = 1 in double as in extended, and the
// sigmoid 1.0f either way.
//
//   x = k ln2 + r, k the integer nearest x * log2_e, read from the low bits of
//     t = x * log2_e + 1.5 * 2^52 (one rounding, to an integer). log2_e is
//     within 2^-55 of log2(e), so |x log2(e) - k| <= 1/2 + 700 * 2^-55 and
//     |r| <= R = 0.34657359029.
//   r_high = x - k * ln2_high is exact: ln2_high has 43 significant bits, so
//     k * ln2_high is a multiple of 2^-43, and so is x, a float of magnitude
//     1/4 or more (k = 0 below that, leaving r_high = x); the difference is
//     below 1 and fits in 43 bits.
//   r = r_high - k * ln2_low rounds once, and ln2_low is within 2^-97 of
//     ln2 - ln2_high: r is within R * 2^-53 + 1010 * 2^-97 of x - k ln2, which
//     moves e^r by at most 0.347 * 2^-53, relatively.
//   e^r = sum of r^i / i! over i = 0..13, as (1 + r) + r^2 Q(r), Q formed
//     from pairs c_i + c_(i+1) r, then with r^2, r^4 and r^8 (Estrin's
//     scheme): five fused steps deep where Horner's rule takes thirteen, and
//     the sigmoid of a layer waits for all of them. Each step rounds once,
//     by 2^-53 of its value at most:
//       1 + r and the final sum, each <= 2^-53 e^r (for 1 + r <= e^r)
//       r^2 Q: |Q| <= 0.564, off by 2.26 * 2^-53 at most, r^2 <= 0.121
//         (error bounds of every step carried through, for |r| <= R)
//         so r^2 Q is off by <= 0.34 * 2^-53, or 0.48 * 2^-53 e^r (e^r >= 0.707)
//       the terms left out, at most e^R R^14 / 14!           0.053 * 2^-53 e^r
//       the coefficients 1 / i!, rounded for i >= 3          0.006 * 2^-53 e^r
//   times 2^k, by adding k to the exponent field: exact, the result is a
//     normal double (e^r within [0.70, 1.42], |k| <= 1010).
// In all |e' - e^x| < 2.89 * 2^-53 * e^x: at most three units in its last
// place. (The tests check it against expl over the whole reach.)
static_assert(gain == 1.0f, "exponentials assumes -gain * net is a float");
inline constexpr double exp_reach = 700.0;
inline constexpr double log2_e = 0x1.71547652b82fep+0;
inline constexpr double ln2_high = 0x1.62e42fefa38p-1, ln2_low = 0x1.ef35793c7673p-45;
inline constexpr double round_to_integer = 0x1.8p52;  // adding it leaves the nearest integer in the low bits
inline constexpr int exp_terms = 14;

constexpr double inverse_factorial(int i) {
    double f = 1.0;
    for (int n = 2; n <= i; ++n) f *= n;  // exact: 13! < 2^53
    return 1.0 / f;                       // so this is 1 / i! rounded once
}

// --- The plain arithmetic, for what needs it (fast_engine.cpp). Never
// inlined: rare, and its exact paths have no place in the vector loops.

// Lane j of running_sums, exactly as the plain step forms it:
// w: [n][stride] from lane j on, x: [n].
real plain_sum(const real* w, int stride, const real* x, int n);

// The input layer's nets for cells other than 0 and 1, as forward_pass forms them.
// w: [input_bits][stride], net: [stride].
void plain_sums_of_cells(const real* w, int stride, const bit_map& cells, real* net);

// The sigmoid as the plain step forms it, from e = exp(sigmoid_exponent(net)).
real plain_sigmoid_of_exp(double e);

// The sigmoid of net as the plain step forms it, exp included.
real plain_sigmoid(real net);

// --- What an instruction set provides. Running sums, in vectors of
// sum_lanes sums:
//   start()                  all zero
//   make_term(x)             the input x as every step needs it
//   add_first(sums, w, term) the first step 0 + w * x; w: [sum_lanes]
//   add(sums, w, term)       every later step s + w * x
//   store(sum, sums)         sum: [sum_lanes]
//   lanes_needing_exact(sums) bit j: lane j needs exact, and is redone
// and plain float vectors of float_lanes floats for the rest.
template <class S>
concept running_sum_lanes = requires(typename S::sums& acc, const typename S::sums& done, const real* w,
                                     real* out, real x, typename S::term t) {
    requires max_row % S::sum_lanes == 0;
    { S::start() } -> std::same_as<typename S::sums>;
    { S::make_term(x) } -> std::same_as<typename S::term>;
    S::add_first(acc, w, t);
    S::add(acc, w, t);
    S::store(out, done);
    { S::lanes_needing_exact(done) } -> std::same_as<int>;
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

// Double vectors of double_lanes doubles, for the sigmoid: floats in and out
// (load_widened, store_narrowed: the first `lanes` of them, the others left
// alone on store and 0 on load), fused and plain arithmetic, clamp (a NaN
// becomes low), times_two_to(p, t) (p * 2^k, k in t's low bits as
// exponentials forms it), and lane masks (bit j for lane j): the quotients
// that need exact (quotient_needs_exact), and NaNs.
template <class S>
concept double_vector_lanes = requires(typename S::dvec v, const real* p, real* out, double* doubles,
                                       int lanes, double c) {
    requires max_row % S::double_lanes == 0;
    { S::load_widened(p, lanes) } -> std::same_as<typename S::dvec>;
    S::store_narrowed(out, v, lanes);
    S::store_doubles(doubles, v);
    { S::broadcast_double(c) } -> std::same_as<typename S::dvec>;
    { S::multiply_add(v, v, v) } -> std::same_as<typename S::dvec>;           // a * b + c
    { S::negative_multiply_add(v, v, v) } -> std::same_as<typename S::dvec>;  // c - a * b
    { S::add(v, v) } -> std::same_as<typename S::dvec>;
    { S::subtract(v, v) } -> std::same_as<typename S::dvec>;
    { S::multiply(v, v) } -> std::same_as<typename S::dvec>;
    { S::divide(v, v) } -> std::same_as<typename S::dvec>;
    { S::clamp(v, c, c) } -> std::same_as<typename S::dvec>;
    { S::times_two_to(v, v) } -> std::same_as<typename S::dvec>;
    { S::lanes_needing_exact(v) } -> std::same_as<int>;
    { S::not_a_number(v) } -> std::same_as<int>;
};

// --- The kernels, inlined into one flattened function per instruction set,
// where the shapes are constants: the loops over lanes unroll and the sums
// stay in registers. They call S's functions outside S's target, which GCC
// warns is an ABI change; it is not one once they are inlined (see above).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

// sum[j] = float running sum of w[k][j] * x[k]; see fast_kernel::running_sums.
// w: [n][stride], x: [n], sum: [stride]; with alone, lane width - 1 from alone[k].
template <instruction_set_adapter S>
inline int running_sums(const real* w, int stride, const real* x, int n, int width, real* sum,
                        const real* alone = nullptr) {
    const int in_rows = alone ? width - 1 : width;
    const int vectors = (in_rows + S::sum_lanes - 1) / S::sum_lanes;
    typename S::sums acc[max_row / S::sum_lanes];
    typename S::sums lone = S::start();  // lane 0: the lane alone
    for (int v = 0; v < vectors; ++v) acc[v] = S::start();
    if (n > 0) {
        const auto term = S::make_term(x[0]);
        for (int v = 0; v < vectors; ++v) S::add_first(acc[v], w + v * S::sum_lanes, term);
        if (alone) S::add_first(lone, alone, term);
    }
    for (int k = 1; k < n; ++k) {
        const auto term = S::make_term(x[k]);
        for (int v = 0; v < vectors; ++v) S::add(acc[v], w + k * stride + v * S::sum_lanes, term);
        if (alone) S::add(lone, alone + k, term);
    }
    int redone = 0;
    for (int v = 0; v < vectors; ++v) {
        S::store(sum + v * S::sum_lanes, acc[v]);
        for (int redo = S::lanes_needing_exact(acc[v]); redo != 0; redo &= redo - 1) {
            const int j = v * S::sum_lanes + __builtin_ctz(redo);
            if (j >= in_rows) break;
            sum[j] = plain_sum(w + j, stride, x, n);
            ++redone;
        }
    }
    if (alone) {
        alignas(64) real lanes[S::sum_lanes];
        S::store(lanes, lone);
        sum[width - 1] = lanes[0];
        if (S::lanes_needing_exact(lone) & 1) {
            sum[width - 1] = plain_sum(alone, 1, x, n);
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
        if (quotient_needs_exact(q)) [[unlikely]] {
            output[j] = plain_sigmoid_of_exp(e);
            ++redone;
        } else {
            output[j] = static_cast<real>(q);
        }
    }
    return redone;
}

// e = e^x in every lane, |x| <= exp_reach and x a float; see the bound
// above. (Vectors by reference: a kernel returns none, see the top of the file.)
template <double_vector_lanes S>
inline void exponentials(const typename S::dvec& x, typename S::dvec& e) {
    const auto t = S::multiply_add(x, S::broadcast_double(log2_e), S::broadcast_double(round_to_integer));
    const auto k = S::subtract(t, S::broadcast_double(round_to_integer));
    const auto r_high = S::negative_multiply_add(k, S::broadcast_double(ln2_high), x);
    const auto r = S::negative_multiply_add(k, S::broadcast_double(ln2_low), r_high);
    const auto r2 = S::multiply(r, r), r4 = S::multiply(r2, r2), r8 = S::multiply(r4, r4);
    static_assert(exp_terms == 14);
    typename S::dvec pair[6];  // pair[m] = c_(2m+2) + c_(2m+3) r
    for (int m = 0; m < 6; ++m)
        pair[m] = S::multiply_add(S::broadcast_double(inverse_factorial(2 * m + 3)), r,
                                  S::broadcast_double(inverse_factorial(2 * m + 2)));
    const auto q0 = S::multiply_add(pair[1], r2, pair[0]);  // c_2 .. c_5
    const auto q1 = S::multiply_add(pair[3], r2, pair[2]);  // c_6 .. c_9
    const auto q2 = S::multiply_add(pair[5], r2, pair[4]);  // c_10 .. c_13
    const auto q = S::multiply_add(q2, r8, S::multiply_add(q1, r4, q0));
    const auto p = S::multiply_add(r2, q, S::add(S::broadcast_double(1.0), r));
    e = S::times_two_to(p, t);
}

// x = -gain * net for the first `lanes` nets, clamped to exp_reach (a NaN
// net to -exp_reach: its lane is redone). Returns the NaN lanes.
template <double_vector_lanes S>
inline int exponent_lanes(const real* net, int lanes, typename S::dvec& x) {
    const auto product =
        S::multiply(S::broadcast_double(-static_cast<double>(gain)), S::load_widened(net, lanes));
    x = S::clamp(product, -exp_reach, exp_reach);
    return S::not_a_number(product);
}

// output[j] = sigmoid(net[j]), double_lanes at a time, from our exponential;
// a lane whose quotient is not safe to round is formed as the plain step
// forms it. Returns the number of those.
template <double_vector_lanes S>
inline int sigmoids_in_lanes(const real* net, int width, real* output) {
    int redone = 0;
    for (int j = 0; j < width; j += S::double_lanes) {
        const int lanes = width - j < S::double_lanes ? width - j : S::double_lanes;
        typename S::dvec x, e;
        const int nan_lanes = exponent_lanes<S>(net + j, lanes, x);
        exponentials<S>(x, e);
        const auto one = S::broadcast_double(1.0);
        const auto q = S::divide(one, S::add(one, e));
        S::store_narrowed(output + j, q, lanes);
        const int needing_exact = (S::lanes_needing_exact(q) | nan_lanes) & ((1 << lanes) - 1);
        for (int redo = needing_exact; redo != 0; redo &= redo - 1) {
            const int i = j + __builtin_ctz(redo);
            output[i] = plain_sigmoid(net[i]);
            ++redone;
        }
    }
    return redone;
}

// The sigmoids of the instruction set S: in its lanes where it has double
// vectors, else one by one with the library's exp.
template <instruction_set_adapter S>
inline int sigmoids(const real* net, int width, real* output) {
    if constexpr (double_vector_lanes<S>)
        return sigmoids_in_lanes<S>(net, width, output);
    else
        return sigmoids_one_by_one(net, width, output);
}

// quotient_needs_exact(q), judged in S's lanes.
template <instruction_set_adapter S>
inline bool quotient_needs_exact(double q) {
    if constexpr (double_vector_lanes<S>)
        return (S::lanes_needing_exact(S::broadcast_double(q)) & 1) != 0;
    else
        return quotient_needs_exact(q);
}

// e[j] = the exponential the sigmoids of S start from for net[j],
// |net[j]| <= exp_reach: its own where it has double vectors, else the C
// library's.
template <instruction_set_adapter S>
inline void exponentials_of(const real* net, int n, double* e) {
    if constexpr (double_vector_lanes<S>) {
        for (int j = 0; j < n; j += S::double_lanes) {
            const int lanes = n - j < S::double_lanes ? n - j : S::double_lanes;
            typename S::dvec x, exponential;
            exponent_lanes<S>(net + j, lanes, x);
            exponentials<S>(x, exponential);
            alignas(64) double lane[S::double_lanes];
            S::store_doubles(lane, exponential);
            for (int i = 0; i < lanes; ++i) e[j + i] = lane[i];
        }
    } else {
        for (int j = 0; j < n; ++j) e[j] = std::exp(sigmoid_exponent(net[j]));
    }
}

#pragma GCC diagnostic pop

}  // namespace fast_kernel
