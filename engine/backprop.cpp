#include "backprop.h"

#include "rounding.h"

namespace {

// Input k of a neuron of layer L: a cell's int or an output's float, exactly.
double input_of(const network& nw, int L, int k) {
    return L == 0 ? static_cast<double>(nw.input_bit[k]) : static_cast<double>(nw.layers[L - 1][k].output);
}

}  // namespace

void forward_pass(network& nw) {
    for (int L = 0; L < layer_count; ++L) {
        for (int j = 0; j < layer_size[L]; ++j) {
            neuron& n = nw.layers[L][j];
            real s = 0.0f;
            for (int k = 0; k < fan_in(L); ++k) s = running_sum_step(s, n.weight[k], input_of(nw, L, k));
            n.net = s;
            n.output = sigmoid(s);
        }
    }
}

void compute_delta(network& nw) {
    for (int L = layer_count - 1; L >= 0; --L) {
        for (int j = 0; j < layer_size[L]; ++j) {
            real error = 0.0f;
            if (L == layer_count - 1) {
                error = rounded_difference(nw.target[nw.pattern_index][j], nw.layers[L][j].output);
            } else {
                for (int k = 0; k < layer_size[L + 1]; ++k) {
                    const neuron& next = nw.layers[L + 1][k];
                    error = running_sum_step(error, next.delta, next.weight[j]);
                }
            }
            nw.layers[L][j].delta = rounded_product(error, delta_factor);
        }
    }
}

void update_weight(network& nw) {
    for (int L = 0; L < layer_count; ++L) {
        for (int j = 0; j < layer_size[L]; ++j) {
            neuron& n = nw.layers[L][j];
            for (int k = 0; k < fan_in(L); ++k) {
                const real x = rounded_product(input_of(nw, L, k), gain);
                const real change = rounded_product(n.delta, x);
                n.weight[k] = rounded_sum(n.weight[k], change);
            }
        }
    }
}

double pattern_error(const network& nw) {
    real sum = 0.0f;
    for (int j = 0; j < layer_size[2]; ++j)
        sum = rounded_sum(sum, squared_error(nw.target[nw.pattern_index][j], nw.layers[2][j].output));
    return 0.5 * static_cast<double>(sum);
}

bool converged(const epoch_errors& errors) {
    for (int i = 0; i < digit_count; ++i)
        if (errors[i] > error_limit) return false;
    return true;
}
