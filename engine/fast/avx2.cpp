// The fast step for CPUs with AVX2 and FMA: eight fused float sums at a time.
#include <immintrin.h>

#include "fast_step.h"

namespace {

using namespace fast_kernel;

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
    AVX2_FUNCTION int lanes_needing_exact(const sums& a) {
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

    // Four doubles, for the sigmoid.
    static constexpr int double_lanes = 4;
    using dvec = __m256d;

    AVX2_FUNCTION __m128i first(int lanes) {
        return _mm_cmpgt_epi32(_mm_set1_epi32(lanes), _mm_setr_epi32(0, 1, 2, 3));
    }
    AVX2_FUNCTION dvec load_widened(const real* p, int lanes) {
        return _mm256_cvtps_pd(lanes >= double_lanes ? _mm_loadu_ps(p) : _mm_maskload_ps(p, first(lanes)));
    }
    AVX2_FUNCTION void store_narrowed(real* p, dvec v, int lanes) {
        const __m128 f = _mm256_cvtpd_ps(v);
        if (lanes >= double_lanes)
            _mm_storeu_ps(p, f);
        else
            _mm_maskstore_ps(p, first(lanes), f);
    }
    AVX2_FUNCTION void store_doubles(double* p, dvec v) { _mm256_storeu_pd(p, v); }
    AVX2_FUNCTION dvec broadcast_double(double x) { return _mm256_set1_pd(x); }
    AVX2_FUNCTION dvec multiply_add(dvec a, dvec b, dvec c) { return _mm256_fmadd_pd(a, b, c); }
    AVX2_FUNCTION dvec negative_multiply_add(dvec a, dvec b, dvec c) { return _mm256_fnmadd_pd(a, b, c); }
    AVX2_FUNCTION dvec add(dvec a, dvec b) { return _mm256_add_pd(a, b); }
    AVX2_FUNCTION dvec subtract(dvec a, dvec b) { return _mm256_sub_pd(a, b); }
    AVX2_FUNCTION dvec multiply(dvec a, dvec b) { return _mm256_mul_pd(a, b); }
    AVX2_FUNCTION dvec divide(dvec a, dvec b) { return _mm256_div_pd(a, b); }
    AVX2_FUNCTION dvec clamp(dvec x, double low, double high) {
        // max returns its second operand when one is NaN
        return _mm256_min_pd(_mm256_max_pd(x, _mm256_set1_pd(low)), _mm256_set1_pd(high));
    }
    AVX2_FUNCTION dvec times_two_to(dvec p, dvec t) {
        return _mm256_castsi256_pd(
            _mm256_add_epi64(_mm256_castpd_si256(p), _mm256_slli_epi64(_mm256_castpd_si256(t), 52)));
    }
    AVX2_FUNCTION int lanes_needing_exact(dvec q) {
        // u = the bits below float's significand less (halfway - margin + 1):
        // within the margin when 0 <= u < 2 margin - 1.
        const __m256i u =
            _mm256_sub_epi64(_mm256_and_si256(_mm256_castpd_si256(q), _mm256_set1_epi64x(below_float)),
                             _mm256_set1_epi64x(halfway - quotient_margin + 1));
        const __m256i near =
            _mm256_and_si256(_mm256_cmpgt_epi64(u, _mm256_set1_epi64x(-1)),
                             _mm256_cmpgt_epi64(_mm256_set1_epi64x(2 * quotient_margin - 1), u));
        const __m256d small = _mm256_cmp_pd(q, _mm256_set1_pd(smallest_normal_float), _CMP_NGE_UQ);
        return _mm256_movemask_pd(_mm256_or_pd(_mm256_castsi256_pd(near), small));
    }
    AVX2_FUNCTION int not_a_number(dvec x) { return _mm256_movemask_pd(_mm256_cmp_pd(x, x, _CMP_UNORD_Q)); }
};
static_assert(instruction_set_adapter<avx2> && double_vector_lanes<avx2>);

}  // namespace

DIGITS_FAST_STEP_ENTRIES(avx2, [[gnu::flatten, gnu::target("avx2,fma")]])
