// How the network rounds, written once: the plain step (backprop.cpp), the
// fast step's extended fallbacks and the tests all form their values through
// these. Each one forms its result in extended precision and rounds it to
// float where the value is stored, so a running sum never carries more than
// float's 24 bits from one term to the next.
#pragma once

#include <cmath>

#include "network.h"

// a + b, formed in extended, rounded to float.
inline real rounded_sum(real a, extended b) { return static_cast<real>(a + b); }

// a - b, formed in extended, rounded to float.
inline real rounded_difference(real a, extended b) { return static_cast<real>(a - b); }

// a * b, formed in extended, rounded to float.
inline real rounded_product(real a, extended b) { return static_cast<real>(a * b); }

// One step of a running sum, s + w * x: the product is exact in extended
// (at most 48 bits for two floats), the sum is rounded to float. x is
// extended so that an input cell of any int value enters exactly.
inline real running_sum_step(real s, real w, extended x) { return rounded_sum(s, w * x); }

// The argument of the sigmoid's exp: -gain * net as a double. Formed in
// extended and converted, it is the very same number: two floats multiply
// exactly in double as in extended. Formed in double, it needs no x87
// round trip on the way to exp.
inline double sigmoid_exponent(real net) { return -static_cast<double>(gain) * static_cast<double>(net); }

// The sigmoid from its exponential e = exp(sigmoid_exponent(net)): 1 / (1 + e)
// in extended, rounded to float. e = inf gives 0, e = 0 gives 1.
inline real sigmoid_of_exp(double e) { return static_cast<real>(1.0L / (1.0L + static_cast<extended>(e))); }

// The output of a neuron whose net is net, with the C library's exp.
inline real sigmoid(real net) { return sigmoid_of_exp(std::exp(sigmoid_exponent(net))); }

// One output's term of the pattern error: (target - output), formed in
// extended and passed as a double, squared by pow and rounded to float.
inline real squared_error(real target, real output) {
    const double difference = static_cast<double>(static_cast<extended>(target) - output);
    return static_cast<real>(std::pow(difference, 2.0));
}
