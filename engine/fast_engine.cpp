#include "fast_engine.h"

#include <immintrin.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "rounding.h"

using fast_kernel::max_row;
using fast_kernel::padded;

// The kernels below are written once, as templates, for every instruction
// set, and pass its vectors to its functions by value. That is only sound
// once they are all inlined into one function compiled for that instruction
// set, which is what the flatten entry points at the end are for: there are
// no calls left then to pass vectors through, hence no ABI to mismatch
// (-Wpsabi warns about it all the same). engine/CMakeLists.txt builds this
// file optimised in every configuration; without inlining it must not build.
#if defined(__NO_INLINE__)
#error "fast_engine.cpp needs the inliner (-O1 or more, no -fno-inline): see engine/CMakeLists.txt"
#endif
#pragma GCC diagnostic ignored "-Wpsabi"
// GCC 12's AVX-512 intrinsics fill unused merge operands with an intentionally
// undefined vector, which its own flow analysis then reports.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

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
constexpr int exact_low = -38, exact_high = 16;

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
constexpr std::int64_t below_float = (std::int64_t{1} << 29) - 1;
constexpr std::int64_t halfway = std::int64_t{1} << 28;
constexpr std::int64_t magnitude_bits = INT64_MAX;  // all but the sign
constexpr double smallest_normal_float = 0x1p-126;

// --- When the double quotient of the sigmoid is safe.
//
// The double quotient is within 2.01 units in its last place of the extended
// quotient (each rounds twice, 2^-53 and 2^-64 relative), so a halfway point
// between floats that separates them is at most 2 such units from the double.
constexpr std::int64_t quotient_margin = 4;

// --- The plain arithmetic, for what needs it. Never inlined: rare.

// Lane j of running_sums, exactly as the plain step forms it.
[[gnu::noinline]] real extended_sum(const real* w, int stride, const real* x, int n) {
    real s = 0.0f;
    for (int k = 0; k < n; ++k) s = running_sum_step(s, w[k * stride], x[k]);
    return s;
}

// The sigmoid exactly as the plain step forms it, from e = exp(sigmoid_exponent(net)).
[[gnu::noinline]] real extended_sigmoid(double e) { return sigmoid_of_exp(e); }

// The input layer's nets for cells other than 0 and 1, as forward_pass forms them.
// w: [input_bits][stride], net: [stride].
[[gnu::noinline]] void extended_sums_of_cells(const real* w, int stride, const bit_map& cells, real* net) {
    for (int j = 0; j < layer_size[0]; ++j) {
        real s = 0.0f;
        for (int k = 0; k < input_bits; ++k) s = running_sum_step(s, w[k * stride + j], cells[k]);
        net[j] = s;
    }
}

// --- The instruction sets. Each has its way to form running sums, in vectors
// of sum_lanes sums,
//   sums start();                                all zero
//   term make_term(real x);                      x as every step needs it
//   void add_first(sums&, const real* w, term)   the first step 0 + w * x; w: [sum_lanes]
//   void add(sums&, const real* w, term)         every later step s + w * x
//   void store(real* sum, const sums&)           sum: [sum_lanes]
//   int marked(const sums&)                      bit j: lane j needs extended precision
// and plain float vectors of float_lanes floats for the rest.

struct sse2 {
    static constexpr int sum_lanes = 2, float_lanes = 4;
    using fvec = __m128;

    // Double sums. SSE2 has no 64-bit integer comparison: a lane is marked
    // when the sign bit of its low 32 bits is set in `suspect`. Those bits
    // hold all 29 bits below a float's significand, and the range test
    // marks all 64.
    struct sums {
        __m128d s;
        __m128i suspect;
    };
    using term = __m128d;

    static sums start() { return {_mm_setzero_pd(), _mm_setzero_si128()}; }
    static term make_term(real x) { return _mm_set1_pd(x); }
    static void add(sums& a, const real* w, term x) {
        const __m128d w2 =
            _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(w))));
        const __m128i t =
            _mm_add_epi64(_mm_castpd_si128(_mm_add_pd(a.s, _mm_mul_pd(w2, x))), _mm_set1_epi64x(halfway));
        const __m128i rounded = _mm_andnot_si128(_mm_set1_epi64x(below_float), t);
        const __m128i at_halfway =
            _mm_cmpeq_epi32(_mm_and_si128(t, _mm_set1_epi64x(below_float)), _mm_setzero_si128());
        const __m128d magnitude =
            _mm_and_pd(_mm_castsi128_pd(rounded), _mm_castsi128_pd(_mm_set1_epi64x(magnitude_bits)));
        const __m128d outside = _mm_or_pd(_mm_cmpnge_pd(magnitude, _mm_set1_pd(smallest_normal_float)),
                                          _mm_cmpgt_pd(magnitude, _mm_set1_pd(FLT_MAX)));
        a.suspect = _mm_or_si128(a.suspect, _mm_or_si128(at_halfway, _mm_castpd_si128(outside)));
        a.s = _mm_castsi128_pd(rounded);  // a float again
    }
    static void add_first(sums& a, const real* w, term x) { add(a, w, x); }
    static void store(real* sum, const sums& a) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(sum), _mm_castps_si128(_mm_cvtpd_ps(a.s)));
    }
    static int marked(const sums& a) {
        const int halves = _mm_movemask_ps(_mm_castsi128_ps(a.suspect));
        return (halves & 1) | ((halves >> 1) & 2);
    }

    static fvec load_floats(const real* p) { return _mm_loadu_ps(p); }
    static void store_floats(real* p, fvec v) { _mm_storeu_ps(p, v); }
    static fvec broadcast_float(real x) { return _mm_set1_ps(x); }
    static fvec add(fvec a, fvec b) { return _mm_add_ps(a, b); }
    static fvec multiply(fvec a, fvec b) { return _mm_mul_ps(a, b); }
};

#define AVX2_FUNCTION [[gnu::target("avx2,fma")]] static

struct avx2 {
    static constexpr int sum_lanes = 8, float_lanes = 8;
    using fvec = __m256;

    // Fused float sums, d of every step after the first kept by its least and
    // most. AVX2 has no exponent instruction: exponents come from the 8-bit
    // field of the float, less its bias. For zero and subnormals that gives
    // -127, which bounds them as the window needs: below 2^-126, lowest bit
    // no lower than 2^-150. For infinities and NaN it gives 128, which bounds
    // nothing, but a sum they enter ends up infinite or NaN and is redone.
    struct sums {
        __m256 s;
        __m256i least, most;
    };
    struct term {
        __m256 x;
        __m256i exponent;
    };

    AVX2_FUNCTION __m256i field(__m256 v) {
        return _mm256_srli_epi32(_mm256_slli_epi32(_mm256_castps_si256(v), 1), 24);
    }
    AVX2_FUNCTION sums start() {
        return {_mm256_setzero_ps(), _mm256_set1_epi32(INT32_MAX), _mm256_set1_epi32(INT32_MIN)};
    }
    AVX2_FUNCTION term make_term(real x) {
        std::uint32_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        return {_mm256_set1_ps(x), _mm256_set1_epi32(static_cast<int>((bits >> 23) & 0xFF) - 127)};
    }
    AVX2_FUNCTION void add_first(sums& a, const real* w, term x) {  // 0 + w * x is exact
        a.s = _mm256_fmadd_ps(_mm256_loadu_ps(w), x.x, a.s);
    }
    AVX2_FUNCTION void add(sums& a, const real* w, term x) {
        const __m256 wv = _mm256_loadu_ps(w);
        const __m256i fs = field(a.s), fw = field(wv);
        const __m256i d = _mm256_sub_epi32(_mm256_sub_epi32(fs, fw), x.exponent);  // the biases cancel
        a.least = _mm256_min_epi32(a.least, d);
        a.most = _mm256_max_epi32(a.most, d);
        a.s = _mm256_fmadd_ps(wv, x.x, a.s);
    }
    AVX2_FUNCTION void store(real* sum, const sums& a) { _mm256_storeu_ps(sum, a.s); }
    AVX2_FUNCTION int marked(const sums& a) {
        const __m256i bad =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpgt_epi32(_mm256_set1_epi32(exact_low), a.least),
                                            _mm256_cmpgt_epi32(a.most, _mm256_set1_epi32(exact_high))),
                            _mm256_cmpeq_epi32(field(a.s), _mm256_set1_epi32(0xFF)));  // not finite
        return _mm256_movemask_ps(_mm256_castsi256_ps(bad));
    }

    AVX2_FUNCTION fvec load_floats(const real* p) { return _mm256_loadu_ps(p); }
    AVX2_FUNCTION void store_floats(real* p, fvec v) { _mm256_storeu_ps(p, v); }
    AVX2_FUNCTION fvec broadcast_float(real x) { return _mm256_set1_ps(x); }
    AVX2_FUNCTION fvec add(fvec a, fvec b) { return _mm256_add_ps(a, b); }
    AVX2_FUNCTION fvec multiply(fvec a, fvec b) { return _mm256_mul_ps(a, b); }
};

#define AVX512_FUNCTION [[gnu::target("avx512f,avx2,fma")]] static

struct avx512 {
    static constexpr int sum_lanes = 16, float_lanes = 16;
    using fvec = __m512;

    // Fused float sums, d of every step after the first kept by its least and
    // most, as floats from the exponent instruction, which gives -inf for
    // zero (such a step is handed over, though it is exact). The minimum and
    // maximum pass over a d that comes out NaN: s and w * x are both zero
    // then (an exact step), or infinities or NaNs took part and the sum
    // ends up infinite or NaN, which marked() catches.
    struct sums {
        __m512 s, least, most;
    };
    struct term {
        __m512 x, exponent;
    };

    AVX512_FUNCTION sums start() {
        return {_mm512_setzero_ps(), _mm512_set1_ps(INFINITY), _mm512_set1_ps(-INFINITY)};
    }
    AVX512_FUNCTION term make_term(real x) {
        const __m512 v = _mm512_set1_ps(x);
        return {v, _mm512_getexp_ps(v)};
    }
    AVX512_FUNCTION void add_first(sums& a, const real* w, term x) {  // 0 + w * x is exact
        a.s = _mm512_fmadd_ps(_mm512_loadu_ps(w), x.x, a.s);
    }
    AVX512_FUNCTION void add(sums& a, const real* w, term x) {
        const __m512 wv = _mm512_loadu_ps(w);
        const __m512 d =
            _mm512_sub_ps(_mm512_sub_ps(_mm512_getexp_ps(a.s), _mm512_getexp_ps(wv)), x.exponent);
        a.least = _mm512_min_ps(d, a.least);  // a NaN d leaves least as it is
        a.most = _mm512_max_ps(d, a.most);
        a.s = _mm512_fmadd_ps(wv, x.x, a.s);
    }
    AVX512_FUNCTION void store(real* sum, const sums& a) { _mm512_storeu_ps(sum, a.s); }
    AVX512_FUNCTION int marked(const sums& a) {
        const __m512 magnitude = _mm512_abs_ps(a.s);
        const __mmask16 fine = _mm512_cmp_ps_mask(a.least, _mm512_set1_ps(exact_low), _CMP_GE_OQ) &
                               _mm512_cmp_ps_mask(a.most, _mm512_set1_ps(exact_high), _CMP_LE_OQ) &
                               _mm512_cmp_ps_mask(magnitude, _mm512_set1_ps(FLT_MAX), _CMP_LE_OQ);  // finite
        return static_cast<std::uint16_t>(~fine);
    }

    AVX512_FUNCTION fvec load_floats(const real* p) { return _mm512_loadu_ps(p); }
    AVX512_FUNCTION void store_floats(real* p, fvec v) { _mm512_storeu_ps(p, v); }
    AVX512_FUNCTION fvec broadcast_float(real x) { return _mm512_set1_ps(x); }
    AVX512_FUNCTION fvec add(fvec a, fvec b) { return _mm512_add_ps(a, b); }
    AVX512_FUNCTION fvec multiply(fvec a, fvec b) { return _mm512_mul_ps(a, b); }
};

// --- The kernels, written once for every instruction set S and inlined into
// one flattened function per instruction set, where the shapes are
// constants: the loops over lanes unroll and the sums stay in registers.

// sum[j] = float running sum of w[k][j] * x[k]; see fast_kernel::running_sums.
// w: [n][stride], x: [n], sum: [stride].
template <class S>
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
template <class S>
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
template <class S>
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
template <class S>
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

// True when q is within quotient_margin units of a halfway point between
// floats, below the normal floats, or NaN.
inline bool quotient_near_halfway(double q) {
    std::int64_t bits;
    std::memcpy(&bits, &q, sizeof bits);
    const std::int64_t distance = (bits & below_float) - halfway;
    return (distance < quotient_margin && distance > -quotient_margin) || !(q >= smallest_normal_float);
}

// output[j] = sigmoid(net[j]); see fast_kernel::sigmoids. One neuron at a
// time: each division then overlaps with the next exp call.
inline int sigmoids(const real* net, int width, real* output) {
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

using packed_layers = std::array<fast_learner::layer, layer_count>;

// forward_pass of layer L > 0: nets and outputs from the outputs below.
template <class S, int L>
inline void forward_layer(packed_layers& layers, fast_learner::fallback_counts& fallbacks) {
    fast_learner::layer& layer = layers[L];
    fallbacks.sums +=
        running_sums<S>(layer.by_input.data(), padded(layer_size[L]), layers[L - 1].output.data(), fan_in(L),
                        layer_size[L], layer.net.data());
    fallbacks.sigmoids += sigmoids(layer.net.data(), layer_size[L], layer.output.data());
}

// compute_delta of layer L below the output layer: the deltas of layer L + 1
// fed back through its weights, times delta_factor.
template <class S, int L>
inline void feed_back(packed_layers& layers, fast_learner::fallback_counts& fallbacks) {
    const fast_learner::layer& above = layers[L + 1];
    real* delta = layers[L].delta.data();
    fallbacks.sums += running_sums<S>(above.by_neuron.data(), padded(fan_in(L + 1)), above.delta.data(),
                                      layer_size[L + 1], layer_size[L], delta);
    for (int j = 0; j < layer_size[L]; ++j) delta[j] = delta[j] * delta_factor;
    // The padding lanes hold no neuron. With their deltas 0 their weights stay
    // 0 instead of drifting towards subnormals or infinities, which some
    // CPUs handle slowly.
    for (int j = layer_size[L]; j < padded(layer_size[L]); ++j) delta[j] = 0.0f;
}

// update_weight of layer L > 0, both copies of its weights.
template <class S, int L>
inline void update_layer(packed_layers& layers) {
    fast_learner::layer& layer = layers[L];
    alignas(64) real x[max_row];  // the inputs times gain; the padding outputs are 0
    for (int k = 0; k < padded(fan_in(L)); k += S::float_lanes)
        S::store_floats(
            x + k, S::multiply(S::load_floats(layers[L - 1].output.data() + k), S::broadcast_float(gain)));
    update_by_input<S>(layer.by_input.data(), padded(layer_size[L]), layer.delta.data(), x, fan_in(L));
    update_by_neuron<S>(layer.by_neuron.data(), padded(fan_in(L)), layer.delta.data(), layer_size[L], x);
}

// present_pattern on the packed layers. Returns the error and counts the
// sums and sigmoids it formed in extended precision into fallbacks.
template <class S>
inline real present_packed(packed_layers& layers, const network& nw,
                           fast_learner::fallback_counts& fallbacks) {
    static_assert(layer_count == 3);
    fast_learner::layer& in = layers[0];
    fast_learner::layer& out = layers[2];
    constexpr int in_stride = padded(layer_size[0]);

    // forward_pass. The input layer sees the cells.
    alignas(64) real x[max_row] = {};
    bool bits_only = true;
    for (int k = 0; k < input_bits; ++k) {
        bits_only &= static_cast<unsigned>(nw.input_bit[k]) <= 1;
        x[k] = static_cast<real>(nw.input_bit[k]);
    }
    if (bits_only)
        sums_of_bits<S>(in.by_input.data(), in_stride, x, in.net.data());
    else
        extended_sums_of_cells(in.by_input.data(), in_stride, nw.input_bit, in.net.data());
    fallbacks.sigmoids += sigmoids(in.net.data(), layer_size[0], in.output.data());
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
    update_by_input<S>(in.by_input.data(), in_stride, in.delta.data(), x, input_bits);
    return static_cast<real>(0.5L * sum);
}

// One flattened copy of the step, and of the running sums the tests call, per
// instruction set: everything the kernels call is inlined into it and
// compiled for that instruction set (see the top of the file).

[[gnu::flatten]] real present_sse2(packed_layers& layers, const network& nw,
                                   fast_learner::fallback_counts& fallbacks) {
    return present_packed<sse2>(layers, nw, fallbacks);
}
[[gnu::flatten, gnu::target("avx2,fma")]] real present_avx2(packed_layers& layers, const network& nw,
                                                            fast_learner::fallback_counts& fallbacks) {
    return present_packed<avx2>(layers, nw, fallbacks);
}
[[gnu::flatten, gnu::target("avx512f,avx2,fma")]] real present_avx512(
    packed_layers& layers, const network& nw, fast_learner::fallback_counts& fallbacks) {
    return present_packed<avx512>(layers, nw, fallbacks);
}

[[gnu::flatten]] int running_sums_sse2(const real* w, int stride, const real* x, int n, int width,
                                       real* sum) {
    return running_sums<sse2>(w, stride, x, n, width, sum);
}
[[gnu::flatten, gnu::target("avx2,fma")]] int running_sums_avx2(const real* w, int stride, const real* x,
                                                                int n, int width, real* sum) {
    return running_sums<avx2>(w, stride, x, n, width, sum);
}
[[gnu::flatten, gnu::target("avx512f,avx2,fma")]] int running_sums_avx512(const real* w, int stride,
                                                                          const real* x, int n, int width,
                                                                          real* sum) {
    return running_sums<avx512>(w, stride, x, n, width, sum);
}

}  // namespace

bool cpu_supports(instruction_set isa) {
    switch (isa) {
        case instruction_set::baseline: return true;
        case instruction_set::avx2: return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        case instruction_set::avx512:
            return __builtin_cpu_supports("avx512f") && cpu_supports(instruction_set::avx2);
    }
    return false;
}

instruction_set best_instruction_set() {
    for (instruction_set isa : {instruction_set::avx512, instruction_set::avx2})
        if (cpu_supports(isa)) return isa;
    return instruction_set::baseline;
}

bool fast_kernel::sum_is_exact_in_extended(real s, real w, real x) {
    if (!std::isfinite(s) || !std::isfinite(w) || !std::isfinite(x)) return false;
    if (s == 0.0f || w == 0.0f || x == 0.0f) return true;  // one term alone: exact
    const int d = std::ilogb(s) - std::ilogb(w) - std::ilogb(x);
    return d >= exact_low && d <= exact_high;
}

bool fast_kernel::double_sum_needs_extended(double r) {
    std::uint64_t bits;
    std::memcpy(&bits, &r, sizeof bits);
    const std::uint64_t rounded = (bits + halfway) & ~below_float;
    double magnitude;
    std::memcpy(&magnitude, &rounded, sizeof magnitude);
    magnitude = std::fabs(magnitude);
    return (bits & below_float) == halfway || !(magnitude >= smallest_normal_float) || magnitude > FLT_MAX;
}

bool fast_kernel::quotient_needs_extended(double q) { return quotient_near_halfway(q); }

int fast_kernel::running_sums(instruction_set isa, const real* w, int stride, const real* x, int n, int width,
                              real* sum) {
    if (width > max_row || stride != padded(width)) throw std::invalid_argument("running_sums: bad shape");
    if (!cpu_supports(isa)) throw std::invalid_argument("running_sums: the CPU lacks this instruction set");
    switch (isa) {
        case instruction_set::avx512: return running_sums_avx512(w, stride, x, n, width, sum);
        case instruction_set::avx2: return running_sums_avx2(w, stride, x, n, width, sum);
        default: return running_sums_sse2(w, stride, x, n, width, sum);
    }
}

int fast_kernel::sigmoids(const real* net, int width, real* output) { return ::sigmoids(net, width, output); }

fast_learner::fast_learner(const network& nw, instruction_set isa) : isa_(isa) {
    if (!cpu_supports(isa)) throw std::invalid_argument("fast_learner: the CPU lacks this instruction set");
    for (int L = 0; L < layer_count; ++L) {
        if (static_cast<int>(nw.layers[L].size()) != layer_size[L])
            throw std::invalid_argument("fast_learner: the network has not been through init_network");
        const int stride = padded(layer_size[L]), input_stride = padded(fan_in(L));
        layer& p = layers_[L];
        p.by_input.assign(fan_in(L) * stride, 0.0f);
        if (L > 0) p.by_neuron.assign(layer_size[L] * input_stride, 0.0f);
        p.net.assign(stride, 0.0f);
        p.output.assign(stride, 0.0f);
        p.delta.assign(stride, 0.0f);
        for (int j = 0; j < layer_size[L]; ++j) {
            const neuron& n = nw.layers[L][j];
            if (static_cast<int>(n.weight.size()) != fan_in(L))
                throw std::invalid_argument("fast_learner: a neuron has the wrong number of weights");
            for (int k = 0; k < fan_in(L); ++k) {
                p.by_input[k * stride + j] = n.weight[k];
                if (L > 0) p.by_neuron[j * input_stride + k] = n.weight[k];
            }
            p.net[j] = n.net;
            p.output[j] = n.output;
            p.delta[j] = n.delta;
        }
    }
}

real fast_learner::present(const network& nw) {
    switch (isa_) {
        case instruction_set::avx512: return present_avx512(layers_, nw, fallbacks_);
        case instruction_set::avx2: return present_avx2(layers_, nw, fallbacks_);
        default: return present_sse2(layers_, nw, fallbacks_);
    }
}

void fast_learner::write_back(network& nw) const noexcept {
    for (int L = 0; L < layer_count; ++L) {
        const layer& p = layers_[L];
        const int stride = padded(layer_size[L]);
        for (int j = 0; j < layer_size[L]; ++j) {
            neuron& n = nw.layers[L][j];
            for (int k = 0; k < fan_in(L); ++k) n.weight[k] = p.by_input[k * stride + j];
            n.net = p.net[j];
            n.output = p.output[j];
            n.delta = p.delta[j];
        }
    }
}
