// The stored digits, the start-up weights and the random stream behind them.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "network.h"

namespace {

int set_cells(const bit_map& bits) { return std::accumulate(bits.begin(), bits.end(), 0); }

std::vector<int> differing_cells(const bit_map& a, const bit_map& b) {
    std::vector<int> cells;
    for (int i = 0; i < input_bits; ++i)
        if (a[i] != b[i]) cells.push_back(i);
    return cells;
}

std::vector<real> all_weights(const network& nw) {
    std::vector<real> w;
    for (const auto& layer : nw.layers)
        for (const neuron& n : layer) w.insert(w.end(), n.weight.begin(), n.weight.end());
    return w;
}

}  // namespace

TEST(PatternTable, SetCellCountsPerDigit) {
    const int expected[digit_count] = {22, 9, 18, 18, 16, 18, 21, 12, 24, 18};
    for (int d = 0; d < digit_count; ++d) EXPECT_EQ(set_cells(pattern[d]), expected[d]) << d;
}

TEST(PatternTable, NearTwinsDifferInTheirMiddleCells) {
    EXPECT_EQ(differing_cells(pattern[0], pattern[8]), (std::vector<int>{17, 18}));
    EXPECT_EQ(differing_cells(pattern[4], pattern[9]), (std::vector<int>{1, 2}));
}

TEST(PatternTable, CellsRunRowByRowFromTheTop) {
    // Digit 1 is the right-hand column alone; digit 7 adds the top row to it.
    for (int i = 0; i < input_bits; ++i) EXPECT_EQ(pattern[1][i], i % 4 == 3 ? 1 : 0) << i;
    for (int i = 0; i < input_bits; ++i) EXPECT_EQ(pattern[7][i], (i < 4 || i % 4 == 3) ? 1 : 0) << i;
    // Row 0 of digit 4 reads 1001.
    EXPECT_EQ((std::array{pattern[4][0], pattern[4][1], pattern[4][2], pattern[4][3]}),
              (std::array{1, 0, 0, 1}));
}

TEST(StartUp, LayersHoldEveryNeuronWithItsFanIn) {
    network nw;
    init_network(nw);
    for (int L = 0; L < layer_count; ++L) {
        ASSERT_EQ(nw.layers[L].size(), static_cast<size_t>(layer_size[L]));
        for (const neuron& n : nw.layers[L]) EXPECT_EQ(n.weight.size(), static_cast<size_t>(fan_in(L)));
    }
    EXPECT_EQ(all_weights(nw).size(), static_cast<size_t>(weight_count));
}

TEST(StartUp, WeightsScatterNarrowlyAboutOneHundredth) {
    network nw;
    init_network(nw);
    const auto w = all_weights(nw);
    const double mean = std::accumulate(w.begin(), w.end(), 0.0) / w.size();
    double var = 0;
    for (real x : w) var += (x - mean) * (x - mean);
    const double sd = std::sqrt(var / (w.size() - 1));
    EXPECT_NEAR(mean, 0.01, 0.0001);
    EXPECT_NEAR(sd, 0.001, 0.0001);
    for (real x : w) EXPECT_GT(x, 0.0f);
}

TEST(StartUp, EveryStartDrawsTheSameWeights) {
    network a, b;
    init_network(a);
    init_network(b);
    EXPECT_EQ(all_weights(a), all_weights(b));
    // Pinned, so that a change of generator or of its use shows.
    EXPECT_EQ(a.layers[0][0].weight[0], 0x1.618fcap-7f);
    EXPECT_EQ(a.layers[2][9].weight[16], 0x1.35a428p-7f);
}

TEST(StartUp, DrawsRunOnFromWeightToWeightAndBeyond) {
    // The draws after init_network continue the one sequence: draw 2079 onward.
    network nw;
    init_network(nw);
    network plain;
    for (int i = 0; i < weight_count; ++i) random_weight(plain);
    for (int i = 0; i < 36; ++i) EXPECT_EQ(random_weight(nw), random_weight(plain)) << i;
    // And no two neurons share their weights.
    EXPECT_NE(nw.layers[0][0].weight, nw.layers[0][1].weight);
    EXPECT_NE(nw.layers[0][35].weight, nw.layers[1][0].weight);
}

TEST(RandomStream, NormalWithTheGivenMeanAndDeviation) {
    random_stream r;
    constexpr int n = 200000;
    double sum = 0, sq = 0;
    int beyond_three_sd = 0;
    for (int i = 0; i < n; ++i) {
        const double g = to_double(r.RandG(10, 2));
        sum += g;
        sq += g * g;
        if (std::fabs(static_cast<double>(g) - 10) > 6) ++beyond_three_sd;
    }
    const double mean = static_cast<double>(sum / n);
    const double sd = std::sqrt(static_cast<double>(sq / n) - mean * mean);
    EXPECT_NEAR(mean, 10.0, 0.02);
    EXPECT_NEAR(sd, 2.0, 0.02);
    EXPECT_NEAR(beyond_three_sd / double(n), 0.0027, 0.0007);  // the normal's tails
}

TEST(RandomStream, SeedsGiveDistinctRepeatableStreams) {
    random_stream a(7), b(7), c(8);
    for (int i = 0; i < 10; ++i) {
        const double x = to_double(a.RandG(0, 1));
        EXPECT_EQ(x, to_double(b.RandG(0, 1)));
        EXPECT_NE(x, to_double(c.RandG(0, 1)));
    }
}
