// The network's arithmetic, one presented pattern at a time. This is the plain,
// step-by-step version: every loop runs in the order that defines the result,
// and every product and sum is formed in extended precision and rounded to
// float where it is stored. Anything faster must agree with it to the bit.
#pragma once

#include <array>
#include <cmath>

#include "network.h"
#include "rounding.h"

using epoch_errors = std::array<real, digit_count>;

// The argument of the sigmoid's exp: -gain * net as a double, exact (two
// floats multiply exactly in double as in extended).
inline double sigmoid_exponent(real net) { return -static_cast<double>(gain) * static_cast<double>(net); }

// The output of a neuron whose net is net, with the C library's exp.
inline real sigmoid(real net) { return sigmoid_of_exp(std::exp(sigmoid_exponent(net))); }

// net and output of every neuron, from input_bit and the weights, layer by layer.
void forward_pass(network& nw);

// delta of every neuron, output layer first: the output error against row
// pattern_index of target, then the errors fed back through the old weights.
// Every layer multiplies by delta_factor again, so it compounds from layer to layer.
void compute_delta(network& nw);

// weight += delta * input * gain for every weight of every neuron.
void update_weight(network& nw);

// Half the sum of squared output errors for the pattern just presented
// (halving a float is exact in double, as in extended).
double pattern_error(const network& nw);

// True when no error of the epoch is above error_limit.
bool converged(const epoch_errors& errors);
