// The fast step for any x86-64 CPU: SSE2, two double sums or four floats at a time.
#include <immintrin.h>

#include "fast_step.h"

namespace {

using namespace fast_kernel;

struct sse2 {
    static constexpr int sum_lanes = 2, float_lanes = 4;
    using fvec = __m128;

    // Double sums. SSE2 has no 64-bit integer comparison: a lane needs exact
    // when the sign bit of its low 32 bits is set in `needs_exact`. Those bits
    // hold all 29 bits below a float's significand, and the range test
    // sets all 64.
    struct sums {
        __m128d s;
        __m128i needs_exact;
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
        a.needs_exact = _mm_or_si128(a.needs_exact, _mm_or_si128(at_halfway, _mm_castpd_si128(outside)));
        a.s = _mm_castsi128_pd(rounded);  // a float again
    }
    static void add_first(sums& a, const real* w, term x) { add(a, w, x); }
    static void store(real* sum, const sums& a) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(sum), _mm_castps_si128(_mm_cvtpd_ps(a.s)));
    }
    static int lanes_needing_exact(const sums& a) {
        const int halves = _mm_movemask_ps(_mm_castsi128_ps(a.needs_exact));
        return (halves & 1) | ((halves >> 1) & 2);
    }

    static fvec load_floats(const real* p) { return _mm_loadu_ps(p); }
    static void store_floats(real* p, fvec v) { _mm_storeu_ps(p, v); }
    static fvec broadcast_float(real x) { return _mm_set1_ps(x); }
    static fvec add(fvec a, fvec b) { return _mm_add_ps(a, b); }
    static fvec multiply(fvec a, fvec b) { return _mm_mul_ps(a, b); }
};
static_assert(instruction_set_adapter<sse2>);

}  // namespace

DIGITS_FAST_STEP_ENTRIES(sse2, [[gnu::flatten]])
