// The learning choices: their new operations against the extended-precision
// arithmetic they are defined in, a new start, and one converged run pinned.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "fast_engine.h"
#include "learning.h"
#include "recognition.h"

namespace {

std::uint32_t bits(real v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// What each new operation is, spelt out in extended precision.
real extended_slope(real y) {
    const real one_minus = to_float(extended_sum(extended::of(1.0f), negated(extended::of(y))));
    return to_float(extended_product(extended::of(y), extended::of(one_minus)));
}
real extended_changed(real weight, real delta, real rate, double input) {
    const real step = to_float(extended_product(extended::of(delta), extended::of(rate)));
    const real x = to_float(extended_product(extended::of(input), extended::of(gain)));
    const real change = to_float(extended_product(extended::of(step), extended::of(x)));
    return to_float(extended_sum(extended::of(weight), extended::of(change)));
}

struct recorder : training_display {
    std::vector<epoch_errors> epochs{epoch_errors{}};
    std::vector<int> ends;
    void add_point(int p, int, real error) override {
        epochs.back()[p] = error;
        if (p == digit_count - 1) epochs.emplace_back();
    }
    void write_report(const epoch_errors&) override {}
    void show_end(int number) override { ends.push_back(number); }
};

// The program's network when "New start" is first pressed: init_network's
// 2078 draws and the chart's 36 taken from the sequence.
network as_started() {
    network nw;
    init_network(nw);
    for (int i = 0; i < 36; ++i) random_weight(nw);
    return nw;
}

}  // namespace

TEST(LearningOperations, SlopeIsRoundedAtEachStoreTiesToEven) {
    struct slope_case {
        real y, expected;
    };
    const slope_case cases[] = {
        {0.5f, 0.25f},
        {0.0f, 0.0f},
        {1.0f, 0.0f},
        {0x1p-30f, 0x1p-30f},  // 1 - y rounds to 1
        // y(1 - y) = (3 * 2^23 - 9) * 2^-46 lies halfway between two floats:
        // to the even one, above.
        {0x1.fffff4p-1f, 0x1.7ffff8p-22f},
        // 1 - y = 0.75 - 2^-25 is halfway: to 0.75 (even); then 0.75 y is
        // halfway again: up to the even float.
        {0x1.000002p-2f, 0x1.800004p-3f},
    };
    for (const slope_case& c : cases) {
        EXPECT_EQ(bits(sigmoid_slope(c.y)), bits(c.expected)) << std::hexfloat << c.y;
        EXPECT_EQ(bits(sigmoid_slope(c.y)), bits(extended_slope(c.y))) << std::hexfloat << c.y;
    }
    for (real y = 0.001f; y < 1.0f; y += 0.0137f) EXPECT_EQ(bits(sigmoid_slope(y)), bits(extended_slope(y)));
}

TEST(LearningOperations, RateScalesEveryChangeRoundedAtEachStore) {
    network nw = as_started();
    nw.input_bit = pattern[8];
    forward_pass(nw);
    learning how;
    how.rule = rule_kind::slope;
    compute_delta(nw, how);
    // A tie: (1 + 2^-23) * 1.5 lies halfway between floats, and goes up to
    // the even one; the input is 1, so that is the change.
    nw.layers[0][0].delta = 0x1.000002p+0f;
    nw.layers[0][0].weight[0] = 0.0f;
    how.rate = 1.5f;
    network before = nw;
    update_weight(nw, how);
    EXPECT_EQ(nw.layers[0][0].weight[0], 0x1.800004p+0f);
    for (int L = 0; L < layer_count; ++L)
        for (int j = 0; j < layer_size[L]; ++j)
            for (int k = 0; k < fan_in(L); ++k) {
                const double input = L == 0 ? nw.input_bit[k] : before.layers[L - 1][k].output;
                const real expected = extended_changed(before.layers[L][j].weight[k],
                                                       before.layers[L][j].delta, how.rate, input);
                ASSERT_EQ(bits(nw.layers[L][j].weight[k]), bits(expected)) << L << " " << j << " " << k;
            }
    // The deltas stay as the rule left them; the rate is the update's alone.
    EXPECT_EQ(nw.layers[0][0].delta, 0x1.000002p+0f);
}

TEST(LearningOperations, ZeroMeanDrawIsTheDeviationTimesTheNextDeviate) {
    for (real deviation : {1.0f, 0.5f, 0.3f, 2.7f}) {
        network nw;
        for (int i = 0; i < 5; ++i) {
            random_stream ahead = nw.random;
            const double z = to_double(ahead.RandG(0, 1));  // exact: 0 + 1 * z
            const real expected =
                to_float(extended_product(extended::of(static_cast<double>(deviation)), extended::of(z)));
            EXPECT_EQ(bits(zero_mean_weight(nw, deviation)), bits(expected)) << deviation << " draw " << i;
        }
    }
}

TEST(NewStart, DrawsFromTheRunningSequenceAndClearsTheDeltas) {
    network nw = as_started();
    for (auto& layer : nw.layers)
        for (neuron& n : layer) n.delta = 1.0f;
    random_stream ahead = nw.random;
    new_start(nw, learning{});
    // As designed: the next 2078 values of random_weight, in init_network's order.
    network expected;
    expected.random = ahead;
    init_network(expected);
    for (int L = 0; L < layer_count; ++L)
        for (int j = 0; j < layer_size[L]; ++j) {
            EXPECT_EQ(nw.layers[L][j].weight, expected.layers[L][j].weight);
            EXPECT_EQ(nw.layers[L][j].delta, 0.0f);
        }

    // Zero mean: centred on 0 with the chosen deviation, and a second start
    // goes on in the sequence instead of drawing the same weights again.
    learning how;
    how.start = start_kind::zero_mean;
    how.deviation = 0.3f;
    new_start(nw, how);
    const network first = nw;
    double sum = 0, squares = 0;
    for (const auto& layer : nw.layers)
        for (const neuron& n : layer)
            for (real w : n.weight) {
                sum += w;
                squares += static_cast<double>(w) * w;
            }
    const double mean = sum / weight_count;
    EXPECT_NEAR(mean, 0.0, 0.03);
    EXPECT_NEAR(std::sqrt(squares / weight_count - mean * mean), 0.3, 0.03);
    new_start(nw, how);
    EXPECT_NE(nw.layers[1][3].weight, first.layers[1][3].weight);
}

// The run the settings are for: "New start" with a zero-mean start, then
// "Train" with the slope rule. It converges early, the fast step agreeing
// with the plain one to the bit, and then recognises every digit.
TEST(ConvergedRun, ZeroMeanStartAndSlopeRuleLearnEveryDigit) {
    learning how;
    how.start = start_kind::zero_mean;
    how.rule = rule_kind::slope;
    network nw = as_started();
    new_start(nw, how);
    network plain = nw;

    recorder r;
    train_network(nw, r, how);
    ASSERT_EQ(r.ends.size(), 1u);
    EXPECT_EQ(r.ends[0], 178);
    const epoch_errors& last = r.epochs[r.ends[0]];
    const epoch_errors expected = {0x1.7e5f8ep-8f, 0x1.78ca38p-8f, 0x1.9d70d6p-8f, 0x1.0f5b26p-7f,
                                   0x1.eeb0e4p-8f, 0x1.021724p-7f, 0x1.e8bda6p-8f, 0x1.c659bp-8f,
                                   0x1.431f0ep-7f, 0x1.3be3a6p-7f};
    EXPECT_EQ(last, expected);
    for (real e : last) EXPECT_LE(e, error_limit);

    recorder plain_r;
    train_network_plain(plain, plain_r, how);
    EXPECT_EQ(plain_r.epochs, r.epochs);
    for (int L = 0; L < layer_count; ++L)
        for (int j = 0; j < layer_size[L]; ++j) {
            ASSERT_EQ(plain.layers[L][j].weight, nw.layers[L][j].weight);
            ASSERT_EQ(bits(plain.layers[L][j].delta), bits(nw.layers[L][j].delta));
        }

    for (int d = 0; d < digit_count; ++d) {
        load_pattern(nw, d);
        forward_pass(nw);
        EXPECT_EQ(winner(nw), d);
        EXPECT_GT(nw.layers[2][d].output, 0.8f);
    }
}
