// The learning choices a user can make beside the designed run: how the
// weights start, which rule turns errors into deltas, and a rate on every
// weight change. One small value, its defaults the design: with them every
// operation here is the designed one, to the bit.
//
// What the choices add is exact in the same way as the rest: the sigmoid's
// slope y(1 - y), the rate's product and the zero-mean draw are each formed
// in extended precision and rounded to float where they are stored.
#pragma once

#include "training.h"

// Where the weights start: the draws of random_weight (about 0.01 +- 0.001),
// or normally distributed around 0 with a chosen deviation.
enum class start_kind { designed, zero_mean };

// How an error becomes a delta: times delta_factor (0.005), compounding from
// layer to layer; or times the sigmoid's slope y(1 - y) at the neuron's
// output, the textbook rule.
enum class rule_kind { designed, slope };

struct learning {
    start_kind start = start_kind::designed;
    real deviation = 0.5f;  // of the zero-mean start
    rule_kind rule = rule_kind::designed;
    real rate = 1.0f;  // the factor on every weight change; 1 keeps the designed step
    bool operator==(const learning&) const = default;
};

// The rule and the rate as designed (the start is a matter of the weights
// already drawn, not of the step).
inline bool designed_step(const learning& how) { return how.rule == rule_kind::designed && how.rate == 1.0f; }

// One zero-mean initial value: N(0, deviation) from the network's one
// sequence, rounded to float.
real zero_mean_weight(network& nw, real deviation);

// Draws every weight again, in init_network's order, with how.start from the
// sequence as it stands (nothing is reseeded), and sets every delta to 0.
// The network must have been through init_network.
void new_start(network& nw, const learning& how);

// The slope of the sigmoid at output y: y * (1 - y), each rounded to float.
real sigmoid_slope(real output);

// compute_delta, update_weight and present_pattern with the chosen rule and
// rate; with the designed ones they are those of backprop.h and training.h.
void compute_delta(network& nw, const learning& how);
void update_weight(network& nw, const learning& how);
real present_pattern(network& nw, const learning& how);

// The plain run with the chosen rule and rate.
void train_network_plain(network& nw, training_display& display, const learning& how);
