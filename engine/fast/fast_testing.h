// The fast step's kernels, one instruction set at a time, and the checks it
// rests on: for the tests, which hold them against the plain arithmetic.
// They live in the fast_testing library (fast_testing.cpp and the
// instruction sets' files compiled again), which the program does not link:
// it needs only fast_engine.h.
#pragma once

#include "fast_engine.h"

namespace fast_kernel {

// The check of the AVX copies' fused steps: false when s + w * x is sure to
// be exact in extended precision, judged by the exponents alone (s = 0 counts
// as sure). The sse2 and portable copies check their double sums with
// rounding::sum_needs_exact.
bool fused_step_needs_exact(real s, real w, real x);

// rounding::quotient_needs_exact as the sigmoids of isa judge it, in their
// vector lanes.
bool quotient_needs_exact(instruction_set isa, double q);

// sum[j] for j < width: the running sum over k < n, in increasing k, of
// w[k * stride + j] * x[k], rounded to float after every term as forward_pass
// rounds it. w: [n][stride], stride = padded(width) <= max_row; x: [n];
// sum: [stride] (the lanes from width on get scratch values). With alone,
// the last lane's terms are alone[k] instead, and w holds the others:
// stride = padded(width - 1); alone: [n + max_row - 1] readable.
// Returns the number of sums it redid with the plain arithmetic.
int running_sums(instruction_set isa, const real* w, int stride, const real* x, int n, int width, real* sum,
                 const real* alone = nullptr);

// output[j] = sigmoid(net[j]) for j < width, rounded as forward_pass rounds
// it, as the step for isa forms it. Returns the number of sigmoids it formed
// as the plain step does.
int sigmoids(instruction_set isa, const real* net, int width, real* output);

// e[j] = the exponential of sigmoid_exponent(net[j]) that the sigmoids of isa
// start from, for |net[j]| <= 700: the C library's exp for the sse2 and
// portable copies, the step's own (within 2.9 * 2^-53 of e^x) for AVX2 and
// AVX-512.
void exponentials(instruction_set isa, const real* net, int n, double* e);

}  // namespace fast_kernel
