// The state of the digit network: a 36-17-10 net of sigmoid neurons without
// bias terms, the ten stored digit bit maps it learns and the current input.
//
// Every real is stored as a 32-bit float. Products and sums are formed in
// extended precision (a 64-bit significand) and rounded to float at every
// store, including each step of a running sum (rounding.h, the same bits on
// every CPU). That is what makes two runs agree to the bit.
#pragma once

#include <array>
#include <vector>

#include "random_stream.h"
#include "real.h"

struct neuron {
    std::vector<real> weight;  // weight[k] multiplies input k
    real net = 0.0f;           // weighted input sum of the last forward pass
    real output = 0.0f;        // sigmoid of net
    real delta = 0.0f;         // error term of the last back-propagation step
};

inline constexpr int layer_count = 3;
inline constexpr std::array<int, layer_count> layer_size = {36, 17, 10};
inline constexpr int input_bits = layer_size[0];  // one input-layer neuron per cell
inline constexpr int digit_count = 10;
inline constexpr int cell_columns = 4;
inline constexpr int cell_rows = 9;
static_assert(cell_columns * cell_rows == input_bits);
static_assert(layer_size[2] == digit_count);

// Inputs, and so weights, of each neuron of layer L: layer 0 sees the cells,
// layer L > 0 the outputs of layer L - 1.
constexpr int fan_in(int L) { return L == 0 ? input_bits : layer_size[L - 1]; }

// Every weight of the network, one per input of every neuron: 2078.
constexpr int count_weights() {
    int count = 0;
    for (int L = 0; L < layer_count; ++L) count += layer_size[L] * fan_in(L);
    return count;
}
inline constexpr int weight_count = count_weights();

inline constexpr real error_limit = 0.01f;  // a pattern is learnt at or below this error
inline constexpr real gain = 1.0f;          // slope of the sigmoid, factor of every change
inline constexpr real delta_factor = 0.005f;

using bit_map = std::array<int, input_bits>;  // cell 4r + c: row r from the top, column c

// The ten digits, 4 columns by 9 rows, one row of the picture per line.
extern const std::array<bit_map, digit_count> pattern;

struct network {
    std::array<std::vector<neuron>, layer_count> layers;  // 0 input, 1 hidden, 2 output
    std::array<std::array<real, digit_count>, digit_count> target{};
    bit_map input_bit{};
    int pattern_index = 0;  // the digit being presented by a training run
    int train_number = 0;   // epoch counter of the current or last run
    random_stream random;   // the never-reseeded sequence behind every initial weight
};

// Appends every neuron of the three layers with random weights (2078 draws, in
// layer, neuron, weight order), then puts 1.0 on the diagonal of target.
// Appends, never clears: it is meant to run once per network.
void init_network(network& nw);

// One initial value: N(10, 1) scaled by 0.001, so about 0.01 +- 0.001.
real random_weight(network& nw);

// Copies digit d's bit map into input_bit.
void load_pattern(network& nw, int d);
