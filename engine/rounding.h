// How the network rounds, written once: the plain step (backprop.cpp), the
// fast step's redone lanes and the tests all form their values through these.
// Each gives what extended precision gives: the exact result rounded to
// nearest (ties to even) with a 64-bit significand, then to float where the
// value is stored, so a running sum never carries more than float's 24 bits
// from one term to the next.
//
// Each forms the common case in double, where a check proves the float the
// same, and the rest (a near tie, a wide exponent gap, a float that is not a
// normal one, a NaN) on the exact path of extended.h. The same bits on every
// CPU, x87 unit or not, given the same C library exp and log.
//
// The engine's words, one for each thing (names, comments and README alike):
//   extended      the x87 unit's format, a 64-bit significand; the type
//                 `extended` and extended_sum, _product, _quotient on it.
//   exact path    forming a value in the integer arithmetic of extended.h
//                 (exact_sum, exact_step, ...): sure, and slow.
//   needs exact   a check's verdict that a value formed in double, or by a
//                 fused step, may round to another float than the extended
//                 one: sum_needs_exact, quotient_needs_exact,
//                 fused_step_needs_exact, and in vector lanes
//                 lanes_needing_exact.
//   halfway point a point halfway between two neighbouring floats, where
//                 rounding to float is a tie.
//   plain step    the step-by-step forward pass and learning step of
//                 backprop.cpp; train_network_plain is its run.
//   fast step     the same step on packed layers in vector lanes (fast/),
//                 one copy per instruction set: portable, sse2, avx2, avx512.
//   redone        a fast step's sum or sigmoid that needs exact, formed again
//                 as the plain step forms it (fast_learner::redone counts them).
//   wide          a value carried on as a double rather than rounded to
//                 float: wide_difference.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "extended.h"
#include "real.h"

namespace rounding {

// A double r rounds to a float by adding `halfway` to the 29 bits below a
// float's 24-bit significand and clearing them (the carry runs into the
// exponent where it must). below_float selects those 29 bits.
inline constexpr std::int64_t below_float = (std::int64_t{1} << 29) - 1;
inline constexpr std::int64_t halfway = std::int64_t{1} << 28;
inline constexpr double smallest_normal_float = 0x1p-126;

// r is the double nearest an exact sum S; S rounded to extended and then to
// float is the float nearest r, unless r lies exactly on a halfway point (S
// or its extended may lie to either side, and ties go to even), or r's float
// is not a normal one. Halfway points are doubles, so rounding to double or
// to extended keeps S on its side of every other one; and an extended on a
// halfway point makes r that point too. True for those r. A zero r counts as
// not normal, so it is true for zero too, though a zero sum of a float and an
// exact product is exact: running_sum_step lets zero through.
inline bool sum_needs_exact(double r) {
    std::uint64_t bits;
    std::memcpy(&bits, &r, sizeof bits);
    const std::uint64_t rounded = (bits + halfway) & ~below_float;  // r's float, as a double
    double magnitude;
    std::memcpy(&magnitude, &rounded, sizeof magnitude);
    magnitude = std::fabs(magnitude);
    return (bits & below_float) == halfway || !(magnitude >= smallest_normal_float) || magnitude > FLT_MAX;
}

// The sigmoid is float(Q), Q = 1 / (1 + e) formed in extended from e, the C
// library's exp. sigmoid_of_exp below forms q = 1 / (1 + e') in double
// instead, from e' = the library's exp (so do the sse2 and portable fast
// steps) or the fast step's own (AVX2, AVX-512: fast/fast_kernels.h), and
// rounds q to float. The two floats differ only if a point halfway between
// two floats lies between q and Q, so q is trusted only when
// it is further from the nearest halfway point than it can be from Q:
//
//   |e' - e| <= a e: a = 0 with the library's exp; with ours a < 4.9 * 2^-53,
//     for ours is within 2.9 * 2^-53 of e^x and the library within one unit
//     in the last place (at most 2 * 2^-53) of e^x;
//   then 1 / (1 + e') is within a of 1 / (1 + e), relatively (e / (1 + e) < 1);
//   q rounds twice in double (2^-53 each), Q twice in extended (2^-64 each);
//   so |q - Q| <= (a + 2 * 2^-53 + 2 * 2^-64) * q * (1 + 2^-50)
//     < 6.9 units in q's last place with ours, 2.01 with the library's
//     (a unit in q's last place is at least 2^-53 q).
// The distance from q to the halfway point of its own float, in those units,
// is the bits below float's significand less `halfway`; the halfway points
// beyond a neighbouring power of two are at least 2^27 units away. So
// quotient_margin = 8 covers either exp. Quotients below the normal floats
// (nets below about -87.3, where the float is subnormal or 0) and NaN are
// decided exactly too.
inline constexpr std::int64_t quotient_margin = 8;

// True when q is within quotient_margin units of a halfway point, below the
// normal floats, or NaN.
inline bool quotient_needs_exact(double q) {
    std::int64_t bits;
    std::memcpy(&bits, &q, sizeof bits);
    const std::int64_t distance = (bits & below_float) - halfway;
    return (distance < quotient_margin && distance > -quotient_margin) || !(q >= smallest_normal_float);
}

// True when x is a float's value (or an int's of at most 24 bits): its
// product with a float is then exact in double.
inline bool float_valued(double x) { return static_cast<double>(static_cast<float>(x)) == x; }

// The exact path, never inlined: rare, and they have no place in the loops.
[[gnu::noinline]] inline real exact_step(real s, real w, double x) {
    return to_float(extended_sum(extended::of(s), extended_product(extended::of(w), extended::of(x))));
}
[[gnu::noinline]] inline real exact_sum(real a, real b) {
    return to_float(extended_sum(extended::of(a), extended::of(b)));
}
[[gnu::noinline]] inline real exact_difference(real a, real b) {
    return to_float(extended_sum(extended::of(a), negated(extended::of(b))));
}
[[gnu::noinline]] inline real exact_product(double a, real b) {
    return to_float(extended_product(extended::of(a), extended::of(b)));
}
[[gnu::noinline]] inline real exact_sigmoid(double e) {
    const extended one = extended::of(1.0);
    return to_float(extended_quotient(one, extended_sum(one, extended::of(e))));
}
[[gnu::noinline]] inline double exact_wide_difference(real a, real b) {
    return to_double(extended_sum(extended::of(a), negated(extended::of(b))));
}

}  // namespace rounding

// a + b, rounded to float. A sum, difference or product of two floats formed
// in double (or in extended) and rounded to float is the float nearest the
// exact result: both formats have more than twice float's 24 bits. Only
// which NaN comes out is the x87 unit's own.
inline real rounded_sum(real a, real b) {
    const double r = static_cast<double>(a) + b;
    return r == r ? static_cast<real>(r) : rounding::exact_sum(a, b);
}

// a - b, rounded to float.
inline real rounded_difference(real a, real b) {
    const double r = static_cast<double>(a) - b;
    return r == r ? static_cast<real>(r) : rounding::exact_difference(a, b);
}

// a * b, rounded to float. a is a float or an int (an input cell).
inline real rounded_product(double a, real b) {
    const double r = a * b;
    return r == r && rounding::float_valued(a) ? static_cast<real>(r) : rounding::exact_product(a, b);
}

// One step of a running sum, s + w * x: the product formed in extended (exact
// for a float or int x), the sum rounded to extended, then to float. x is a
// float, or an input cell of any int value.
inline real running_sum_step(real s, real w, double x) {
    const double r = s + static_cast<double>(w) * x;  // w * x exact when x is float-valued
    if (rounding::float_valued(x) && (!rounding::sum_needs_exact(r) || r == 0.0)) return static_cast<real>(r);
    return rounding::exact_step(s, w, x);
}

// The sigmoid from its exponential e = exp(-gain * net) (backprop.h): 1 / (1 + e)
// rounded to extended at each step, then to float. e = inf gives 0, e = 0 gives 1.
inline real sigmoid_of_exp(double e) {
    const double q = 1.0 / (1.0 + e);
    return rounding::quotient_needs_exact(q) ? rounding::exact_sigmoid(e) : static_cast<real>(q);
}

// target - output rounded to extended and passed on wide, as a double. Exact
// in double, and so in extended, unless the two lie far apart: TwoSum's error
// term says which (and is NaN for infinities and NaNs).
inline double wide_difference(real target, real output) {
    const double a = target, b = -static_cast<double>(output);
    const double d = a + b, b_part = d - a, error = (a - (d - b_part)) + (b - b_part);
    return error == 0.0 ? d : rounding::exact_wide_difference(target, output);
}

// One output's term of the pattern error: the difference, squared by pow
// and rounded to float.
inline real squared_error(real target, real output) {
    return static_cast<real>(std::pow(wide_difference(target, output), 2.0));
}
