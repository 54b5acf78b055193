// The kernels of fast_testing.h, the step timed by its parts, and the
// testing tables of the instruction sets. The fast_testing library compiles
// this file with each instruction set's file again (DIGITS_FAST_TESTING);
// the program links none of it.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>

#include "fast_step.h"
#include "fast_testing.h"

using fast_kernel::max_row;
using fast_kernel::padded;

const fast_kernel::testing_kernel_table& fast_kernel::testing_kernels_of(instruction_set isa) {
    kernels_of(isa);  // throws if the CPU lacks it
#if DIGITS_X86_64
    switch (isa) {
        case instruction_set::sse2: return sse2_testing_kernels;
        case instruction_set::avx2: return avx2_testing_kernels;
        case instruction_set::avx512: return avx512_testing_kernels;
        case instruction_set::portable: break;
    }
#endif
    return portable_testing_kernels;
}

bool fast_kernel::fused_step_needs_exact(real s, real w, real x) {
    if (!std::isfinite(s) || !std::isfinite(w) || !std::isfinite(x)) return true;
    if (s == 0.0f || w == 0.0f || x == 0.0f) return false;  // one term alone: exact
    const int d = std::ilogb(s) - std::ilogb(w) - std::ilogb(x);
    return d < exact_low || d > exact_high;
}

bool fast_kernel::quotient_needs_exact(instruction_set isa, double q) {
    return testing_kernels_of(isa).quotient_needs_exact(q);
}

int fast_kernel::running_sums(instruction_set isa, const real* w, int stride, const real* x, int n, int width,
                              real* sum, const real* alone) {
    if (width > max_row || width < (alone ? 1 : 0) || stride != padded(alone ? width - 1 : width))
        throw std::invalid_argument("running_sums: bad shape");
    return testing_kernels_of(isa).running_sums(w, stride, x, n, width, sum, alone);
}

int fast_kernel::sigmoids(instruction_set isa, const real* net, int width, real* output) {
    return testing_kernels_of(isa).sigmoids(net, width, output);
}

void fast_kernel::exponentials(instruction_set isa, const real* net, int n, double* e) {
    testing_kernels_of(isa).exponentials(net, n, e);
}

namespace {

double seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void fast_learner::time_phases(bool on) {
    present_ =
        on ? fast_kernel::testing_kernels_of(isa_).present_timed : fast_kernel::kernels_of(isa_).present;
    if (!on) return;
    phase_ticks_ = {};
    // What one read costs: the least of many gaps between two reads in a row.
    read_cost_ = INT64_MAX;
    for (int i = 0; i < 1000; ++i) {
        const std::int64_t a = fast_kernel::ticks(), b = fast_kernel::ticks();
        read_cost_ = std::min(read_cost_, b - a);
    }
    ticks_at_start_ = fast_kernel::ticks();
    seconds_at_start_ = seconds();
}

fast_learner::phase_times fast_learner::phases() const {
    // The counter's rate, from the time since timing was turned on.
    const double per_tick =
        (seconds() - seconds_at_start_) / static_cast<double>(fast_kernel::ticks() - ticks_at_start_);
    return {phase_ticks_[0] * per_tick, phase_ticks_[1] * per_tick, phase_ticks_[2] * per_tick,
            phase_ticks_[3] * per_tick};
}
