// The fast step for any CPU, in plain C++: eight double sums or sixteen
// floats at a time, in fixed loops over arrays that the compiler may turn
// into vector instructions (NEON on arm64), or not. The running sums are
// formed in double, where w * x is exact, and rounded to float at every
// step; a step whose double needs exact (rounding::sum_needs_exact, the
// check SSE2's copy makes too) marks its lane, and the whole sum is redone
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

// The entry points, with everything they call inlined into them.
#define PORTABLE_ENTRY [[gnu::flatten]]

PORTABLE_ENTRY real step_present(fast_learner& learner, const network& nw) {
    return fast_step::present<portable>(learner, nw);
}

PORTABLE_ENTRY real step_present_timed(fast_learner& learner, const network& nw) {
    return fast_step::present<portable, true>(learner, nw);
}

PORTABLE_ENTRY int step_running_sums(const real* w, int stride, const real* x, int n, int width, real* sum,
                                     const real* alone) {
    return fast_kernel::running_sums<portable>(w, stride, x, n, width, sum, alone);
}

PORTABLE_ENTRY int step_sigmoids(const real* net, int width, real* output) {
    return fast_kernel::sigmoids<portable>(net, width, output);
}

PORTABLE_ENTRY bool step_quotient_needs_exact(double q) { return fast_kernel::quotient_needs_exact<portable>(q); }

}  // namespace

const fast_kernel::kernel_table fast_kernel::portable_kernels = {
    step_present, step_present_timed, step_running_sums, step_sigmoids, step_quotient_needs_exact, nullptr};
