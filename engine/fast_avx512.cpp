// The fast step for CPUs with AVX-512: sixteen fused float sums at a time.
#include <immintrin.h>

#include "fast_kernels.h"

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
static_assert(instruction_set_adapter<avx512>);

#pragma GCC diagnostic pop

}  // namespace

[[gnu::flatten, gnu::target("avx512f,avx2,fma")]] real fast_step::present_avx512(fast_learner& learner,
                                                                                 const network& nw) {
    return present<avx512>(learner, nw);
}

[[gnu::flatten, gnu::target("avx512f,avx2,fma")]] int fast_kernel::running_sums_avx512(
    const real* w, int stride, const real* x, int n, int width, real* sum) {
    return running_sums<avx512>(w, stride, x, n, width, sum);
}
