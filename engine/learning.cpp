#include "learning.h"

#include "rounding.h"

real zero_mean_weight(network& nw, real deviation) { return to_float(nw.random.RandG(0, deviation)); }

void new_start(network& nw, const learning& how) {
    for (int L = 0; L < layer_count; ++L) {
        for (int j = 0; j < layer_size[L]; ++j) {
            neuron& n = nw.layers[L][j];
            for (int k = 0; k < fan_in(L); ++k)
                n.weight[k] = how.start == start_kind::designed ? random_weight(nw)
                                                                : zero_mean_weight(nw, how.deviation);
            n.delta = 0.0f;
        }
    }
}

real sigmoid_slope(real output) { return rounded_product(output, rounded_difference(1.0f, output)); }

void compute_delta(network& nw, const learning& how) {
    if (how.rule == rule_kind::designed) return compute_delta(nw);
    // As the designed rule, with the slope at the neuron's own output in
    // place of delta_factor: nothing compounds.
    for (int L = layer_count - 1; L >= 0; --L) {
        for (int j = 0; j < layer_size[L]; ++j) {
            neuron& n = nw.layers[L][j];
            real error = 0.0f;
            if (L == layer_count - 1) {
                error = rounded_difference(nw.target[nw.pattern_index][j], n.output);
            } else {
                for (int k = 0; k < layer_size[L + 1]; ++k) {
                    const neuron& next = nw.layers[L + 1][k];
                    error = running_sum_step(error, next.delta, next.weight[j]);
                }
            }
            n.delta = rounded_product(error, sigmoid_slope(n.output));
        }
    }
}

void update_weight(network& nw, const learning& how) {
    if (how.rate == 1.0f) return update_weight(nw);
    // The rate scales the delta once per neuron; the deltas themselves stay
    // as the rule left them.
    for (int L = 0; L < layer_count; ++L) {
        for (int j = 0; j < layer_size[L]; ++j) {
            neuron& n = nw.layers[L][j];
            const real step = rounded_product(n.delta, how.rate);
            for (int k = 0; k < fan_in(L); ++k) {
                const double input = L == 0 ? static_cast<double>(nw.input_bit[k])
                                            : static_cast<double>(nw.layers[L - 1][k].output);
                const real x = rounded_product(input, gain);
                n.weight[k] = rounded_sum(n.weight[k], rounded_product(step, x));
            }
        }
    }
}

real present_pattern(network& nw, const learning& how) {
    forward_pass(nw);
    compute_delta(nw, how);
    update_weight(nw, how);
    return static_cast<real>(pattern_error(nw));
}

void train_network_plain(network& nw, training_display& display, const learning& how) {
    run_epochs(nw, display, [&how](network& n) { return present_pattern(n, how); });
}
