#include "network.h"

#include "extended.h"

namespace {

// One picture row of four cells, written as it looks: 1 set, 0 clear.
constexpr std::array<int, 4> row(const char (&cells)[5]) {
    return {cells[0] - '0', cells[1] - '0', cells[2] - '0', cells[3] - '0'};
}

constexpr bit_map digit(const std::array<std::array<int, 4>, cell_rows>& rows) {
    bit_map bits{};
    for (int r = 0; r < cell_rows; ++r)
        for (int c = 0; c < cell_columns; ++c) bits[cell_columns * r + c] = rows[r][c];
    return bits;
}

}  // namespace

// Each digit drawn as it looks, one row of cells per line.
// clang-format off
const std::array<bit_map, digit_count> pattern = {
    digit({row("1111"),
           row("1001"),
           row("1001"),
           row("1001"),
           row("1001"),
           row("1001"),
           row("1001"),
           row("1001"),
           row("1111")}),
    digit({row("0001"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("0001")}),
    digit({row("1111"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("1111"),
           row("1000"),
           row("1000"),
           row("1000"),
           row("1111")}),
    digit({row("1111"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("1111"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("1111")}),
    digit({row("1001"),
           row("1001"),
           row("1001"),
           row("1001"),
           row("1111"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("0001")}),
    digit({row("1111"),
           row("1000"),
           row("1000"),
           row("1000"),
           row("1111"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("1111")}),
    digit({row("1111"),
           row("1000"),
           row("1000"),
           row("1000"),
           row("1111"),
           row("1001"),
           row("1001"),
           row("1001"),
           row("1111")}),
    digit({row("1111"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("0001")}),
    digit({row("1111"),
           row("1001"),
           row("1001"),
           row("1001"),
           row("1111"),
           row("1001"),
           row("1001"),
           row("1001"),
           row("1111")}),
    digit({row("1111"),
           row("1001"),
           row("1001"),
           row("1001"),
           row("1111"),
           row("0001"),
           row("0001"),
           row("0001"),
           row("0001")}),
};
// clang-format on

real random_weight(network& nw) {
    const extended g = nw.random.RandG(10, 1);
    return to_float(extended_product(g, thousandth));  // g * 0.001L
}

void init_network(network& nw) {
    for (int L = 0; L < layer_count; ++L) {
        for (int j = 0; j < layer_size[L]; ++j) {
            neuron fresh;
            for (int k = 0; k < fan_in(L); ++k) fresh.weight.push_back(random_weight(nw));
            nw.layers[L].push_back(fresh);
        }
    }
    for (int d = 0; d < digit_count; ++d) nw.target[d][d] = 1.0f;
}

void load_pattern(network& nw, int d) { nw.input_bit = pattern[d]; }
