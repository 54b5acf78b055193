// The fast step for any CPU, in plain C++: eight double sums or sixteen
// floats at a time, in fixed loops over arrays that the compiler may turn
// into vector instructions (NEON on arm64), or not. The running sums are
// formed in double, where w * x is exact, and rounded to float at every
// step; a step whose double needs exact (rounding::sum_needs_exact, the
// check SSE2's copy makes too) flags its lane, and the whole sum is redone
// with the plain arithmetic. The sigmoids are the library's exp, one by one.
#include "fast_step.h"

namespace {

using namespace fast_kernel;

struct portable {
    static constexpr int sum_lanes = 8, float_lanes = 16;

    struct sums {
        double s[sum_lanes];
        bool needs_exact[sum_lanes];
    };
    using term = double;
    struct fvec {
        real v[float_lanes];
    };

    static sums start() { return {}; }
    static term make_term(real x) { return x; }
    static void add(sums& a, const real* w, term x) {
        for (int i = 0; i < sum_lanes; ++i) {
            const double r = a.s[i] + static_cast<double>(w[i]) * x;
            a.needs_exact[i] |= rounding::sum_needs_exact(r);
            a.s[i] = static_cast<real>(r);  // a float again
        }
    }
    static void add_first(sums& a, const real* w, term x) { add(a, w, x); }
    static void store(real* sum, const sums& a) {
        for (int i = 0; i < sum_lanes; ++i) sum[i] = static_cast<real>(a.s[i]);
    }
    static int lanes_needing_exact(const sums& a) {
        int bits = 0;
        for (int i = 0; i < sum_lanes; ++i) bits |= a.needs_exact[i] << i;
        return bits;
    }

    static fvec load_floats(const real* p) {
        fvec v;
        for (int i = 0; i < float_lanes; ++i) v.v[i] = p[i];
        return v;
    }
    static void store_floats(real* p, const fvec& v) {
        for (int i = 0; i < float_lanes; ++i) p[i] = v.v[i];
    }
    static fvec broadcast_float(real x) {
        fvec v;
        for (real& lane : v.v) lane = x;
        return v;
    }
    static fvec add(const fvec& a, const fvec& b) {
        fvec v;
        for (int i = 0; i < float_lanes; ++i) v.v[i] = a.v[i] + b.v[i];
        return v;
    }
    static fvec multiply(const fvec& a, const fvec& b) {
        fvec v;
        for (int i = 0; i < float_lanes; ++i) v.v[i] = a.v[i] * b.v[i];
        return v;
    }
};
static_assert(instruction_set_adapter<portable>);

}  // namespace

DIGITS_FAST_STEP_ENTRIES(portable, [[gnu::flatten]])
