#include "backprop.h"

#include <cmath>

namespace {

// Input k of a neuron of layer L.
extended input_of(const network& nw, int L, int k) {
    return L == 0 ? static_cast<extended>(nw.input_bit[k])
                  : static_cast<extended>(nw.layers[L - 1][k].output);
}

}  // namespace

void forward_pass(network& nw) {
    for (int L = 0; L < layer_count; ++L) {
        for (int j = 0; j < layer_size[L]; ++j) {
            neuron& n = nw.layers[L][j];
            real s = 0.0f;
            for (int k = 0; k < fan_in(L); ++k)
                s = static_cast<real>(s + n.weight[k] * input_of(nw, L, k));
            n.net = s;
            const double exponent = static_cast<double>(-static_cast<extended>(gain) * s);
            const extended e = std::exp(exponent);
            n.output = static_cast<real>(1.0L / (1.0L + e));
        }
    }
}

void compute_delta(network& nw) {
    for (int L = layer_count - 1; L >= 0; --L) {
        for (int j = 0; j < layer_size[L]; ++j) {
            real error = 0.0f;
            if (L == layer_count - 1) {
                error = static_cast<real>(static_cast<extended>(nw.target[nw.pattern_index][j]) -
                                          nw.layers[L][j].output);
            } else {
                for (int k = 0; k < layer_size[L + 1]; ++k) {
                    const neuron& next = nw.layers[L + 1][k];
                    error = static_cast<real>(error +
                                              static_cast<extended>(next.delta) * next.weight[j]);
                }
            }
            nw.layers[L][j].delta = static_cast<real>(static_cast<extended>(error) * delta_factor);
        }
    }
}

void update_weight(network& nw) {
    for (int L = 0; L < layer_count; ++L) {
        for (int j = 0; j < layer_size[L]; ++j) {
            neuron& n = nw.layers[L][j];
            for (int k = 0; k < fan_in(L); ++k) {
                const real x = static_cast<real>(input_of(nw, L, k) * gain);
                const real change = static_cast<real>(static_cast<extended>(n.delta) * x);
                n.weight[k] = static_cast<real>(static_cast<extended>(n.weight[k]) + change);
            }
        }
    }
}

extended pattern_error(const network& nw) {
    real sum = 0.0f;
    for (int j = 0; j < layer_size[2]; ++j) {
        const double difference = static_cast<double>(
            static_cast<extended>(nw.target[nw.pattern_index][j]) - nw.layers[2][j].output);
        const real square = static_cast<real>(std::pow(difference, 2.0));
        sum = static_cast<real>(static_cast<extended>(sum) + square);
    }
    return 0.5L * sum;
}

bool converged(const epoch_errors& errors) {
    for (int i = 0; i < digit_count; ++i)
        if (errors[i] > error_limit) return false;
    return true;
}
