// The fast step for CPUs with AVX-512: sixteen fused float sums at a time.
#include <immintrin.h>

#include "fast_step.h"

namespace {

using namespace fast_kernel;

// GCC 12's AVX-512 intrinsics fill unused merge operands with an intentionally
// undefined vector, which its own flow analysis then reports wherever they
// are inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#define AVX512_FUNCTION [[gnu::target("avx512f,avx2,fma")]] static

struct avx512 {
    static constexpr int sum_lanes = 16, float_lanes = 16;
    using fvec = __m512;

    // Fused float sums, d of every step after the first kept by its least and
    // most, as floats from the exponent instruction, which gives -inf for
    // zero (such a step is redone, though it is exact). The minimum and
    // maximum pass over a d that comes out NaN: s and w * x are both zero
    // then (an exact step), or infinities or NaNs took part and the sum
    // ends up infinite or NaN, which lanes_needing_exact() catches.
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
    AVX512_FUNCTION int lanes_needing_exact(const sums& a) {
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

    // Eight doubles, for the sigmoid.
    static constexpr int double_lanes = 8;
    using dvec = __m512d;

    AVX512_FUNCTION __mmask16 first(int lanes) { return static_cast<__mmask16>((1u << lanes) - 1); }
    // Whole vectors load and store unmasked: a masked store may not be
    // forwarded to the loads of the next layer, which then wait for it.
    AVX512_FUNCTION dvec load_widened(const real* p, int lanes) {
        return _mm512_cvtps_pd(lanes >= double_lanes
                                   ? _mm256_loadu_ps(p)
                                   : _mm512_castps512_ps256(_mm512_maskz_loadu_ps(first(lanes), p)));
    }
    AVX512_FUNCTION void store_narrowed(real* p, dvec v, int lanes) {
        const __m256 f = _mm512_cvtpd_ps(v);
        if (lanes >= double_lanes)
            _mm256_storeu_ps(p, f);
        else
            _mm512_mask_storeu_ps(p, first(lanes), _mm512_castps256_ps512(f));
    }
    AVX512_FUNCTION void store_doubles(double* p, dvec v) { _mm512_storeu_pd(p, v); }
    AVX512_FUNCTION dvec broadcast_double(double x) { return _mm512_set1_pd(x); }
    AVX512_FUNCTION dvec multiply_add(dvec a, dvec b, dvec c) { return _mm512_fmadd_pd(a, b, c); }
    AVX512_FUNCTION dvec negative_multiply_add(dvec a, dvec b, dvec c) { return _mm512_fnmadd_pd(a, b, c); }
    AVX512_FUNCTION dvec add(dvec a, dvec b) { return _mm512_add_pd(a, b); }
    AVX512_FUNCTION dvec subtract(dvec a, dvec b) { return _mm512_sub_pd(a, b); }
    AVX512_FUNCTION dvec multiply(dvec a, dvec b) { return _mm512_mul_pd(a, b); }
    AVX512_FUNCTION dvec divide(dvec a, dvec b) { return _mm512_div_pd(a, b); }
    AVX512_FUNCTION dvec clamp(dvec x, double low, double high) {
        // max returns its second operand when one is NaN
        return _mm512_min_pd(_mm512_max_pd(x, _mm512_set1_pd(low)), _mm512_set1_pd(high));
    }
    AVX512_FUNCTION dvec times_two_to(dvec p, dvec t) {
        return _mm512_castsi512_pd(
            _mm512_add_epi64(_mm512_castpd_si512(p), _mm512_slli_epi64(_mm512_castpd_si512(t), 52)));
    }
    AVX512_FUNCTION int lanes_needing_exact(dvec q) {
        // u = the bits below float's significand less (halfway - margin + 1):
        // within the margin when u < 2 margin - 1, unsigned.
        const __m512i u =
            _mm512_sub_epi64(_mm512_and_epi64(_mm512_castpd_si512(q), _mm512_set1_epi64(below_float)),
                             _mm512_set1_epi64(halfway - quotient_margin + 1));
        return _mm512_cmplt_epu64_mask(u, _mm512_set1_epi64(2 * quotient_margin - 1)) |
               _mm512_cmp_pd_mask(q, _mm512_set1_pd(smallest_normal_float), _CMP_NGE_UQ);
    }
    AVX512_FUNCTION int not_a_number(dvec x) { return _mm512_cmp_pd_mask(x, x, _CMP_UNORD_Q); }
};
static_assert(instruction_set_adapter<avx512> && double_vector_lanes<avx512>);

#pragma GCC diagnostic pop

}  // namespace

DIGITS_FAST_STEP_ENTRIES(avx512, [[gnu::flatten, gnu::target("avx512f,avx2,fma")]])
