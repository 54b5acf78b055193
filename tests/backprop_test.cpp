// The forward pass and the learning step, down to the rounding of each value.
#include <gtest/gtest.h>

#include <cmath>

#include "backprop.h"

namespace {

network started() {
    network nw;
    init_network(nw);
    return nw;
}

}  // namespace

TEST(ForwardPass, AllZeroInputGivesNetZeroAndOutputOneHalf) {
    network nw = started();
    nw.input_bit.fill(0);
    forward_pass(nw);
    for (const neuron& n : nw.layers[0]) {
        EXPECT_EQ(n.net, 0.0f);
        EXPECT_EQ(n.output, 0.5f);
    }
}

TEST(ForwardPass, StartUpOutputsSitJustAboveOneHalfForEveryDigit) {
    network nw = started();
    for (int d = 0; d < digit_count; ++d) {
        load_pattern(nw, d);
        forward_pass(nw);
        real lo = 1, hi = 0;
        for (const neuron& n : nw.layers[2]) {
            lo = std::min(lo, n.output);
            hi = std::max(hi, n.output);
        }
        EXPECT_GT(lo, 0.52f) << d;
        EXPECT_LT(hi, 0.53f) << d;
        EXPECT_LT(hi - lo, 0.005f) << d;
    }
}

TEST(ForwardPass, SigmoidSaturatesInFloat) {
    // Neuron 0 of layer 0 sees only cell 0, through a weight we choose.
    network nw = started();
    nw.input_bit.fill(0);
    nw.input_bit[0] = 1;
    auto output_for = [&](real w) {
        nw.layers[0][0].weight.assign(fan_in(0), 0.0f);
        nw.layers[0][0].weight[0] = w;
        forward_pass(nw);
        return nw.layers[0][0].output;
    };
    EXPECT_EQ(output_for(17.34f), 1.0f);
    EXPECT_LT(output_for(17.0f), 1.0f);
    EXPECT_EQ(output_for(-103.98f), 0.0f);
    EXPECT_GT(output_for(-103.0f), 0.0f);
}

TEST(ForwardPass, RunningSumIsRoundedToFloatAfterEveryTerm) {
    // 1 + 2^-24 + 2^-24: in float each small term is lost at its own step, in a
    // wider running sum the two would add up to one float step (2^-23).
    network nw = started();
    nw.input_bit.fill(0);
    nw.input_bit[0] = nw.input_bit[1] = nw.input_bit[2] = 1;
    nw.layers[0][0].weight.assign(fan_in(0), 0.0f);
    nw.layers[0][0].weight[0] = 1.0f;
    nw.layers[0][0].weight[1] = 0x1p-24f;
    nw.layers[0][0].weight[2] = 0x1p-24f;
    forward_pass(nw);
    EXPECT_EQ(nw.layers[0][0].net, 1.0f);
}

TEST(ForwardPass, EveryHiddenNeuronSeesTheLastInputNeuron) {
    network nw = started();
    load_pattern(nw, 3);
    forward_pass(nw);
    std::vector<real> before;
    for (const neuron& n : nw.layers[1]) before.push_back(n.net);
    std::vector<real> outputs_before;
    for (const neuron& n : nw.layers[2]) outputs_before.push_back(n.output);

    for (real& w : nw.layers[0][35].weight) w += 1.0f;
    forward_pass(nw);
    for (int j = 0; j < layer_size[1]; ++j) EXPECT_NE(nw.layers[1][j].net, before[j]) << j;
    for (int j = 0; j < layer_size[2]; ++j) EXPECT_NE(nw.layers[2][j].output, outputs_before[j]) << j;
}

TEST(ForwardPass, RepeatsExactlyAndTouchesNoWeightOrDelta) {
    network nw = started();
    load_pattern(nw, 6);
    for (auto& layer : nw.layers)
        for (neuron& n : layer) n.delta = 0.25f;
    forward_pass(nw);
    const network first = nw;
    forward_pass(nw);
    for (int L = 0; L < layer_count; ++L)
        for (int j = 0; j < layer_size[L]; ++j) {
            const neuron &a = first.layers[L][j], &b = nw.layers[L][j];
            EXPECT_EQ(a.net, b.net);
            EXPECT_EQ(a.output, b.output);
            EXPECT_EQ(a.weight, b.weight);
            EXPECT_EQ(b.delta, 0.25f);
        }
}

// The worked example: target 1.0, output 0.25 for output neuron 0 of pattern 0.
class LearningStep : public ::testing::Test {
protected:
    void SetUp() override {
        nw = started();
        nw.pattern_index = 0;
        nw.input_bit = pattern[0];
        for (neuron& n : nw.layers[1]) n.output = 0.5f;
        for (neuron& n : nw.layers[2]) n.output = 0.0f;
        nw.layers[2][0].output = 0.25f;
    }
    network nw;
};

TEST_F(LearningStep, WorkedExample) {
    const real w_before = nw.layers[2][0].weight[4];
    compute_delta(nw);
    // 0.75 * 0.005 as floats: the float delta_factor lies just below 0.005.
    EXPECT_EQ(nw.layers[2][0].delta, 0.0037499999f);
    EXPECT_FLOAT_EQ(nw.layers[2][0].delta, 0.00375f);
    update_weight(nw);
    // The change is that delta times the hidden output 0.5: half of it, exactly.
    EXPECT_FLOAT_EQ(nw.layers[2][0].weight[4] - w_before, 0.001875f);
    EXPECT_EQ(nw.layers[2][0].weight[4], w_before + 0.0037499999f / 2);
    EXPECT_EQ(static_cast<real>(pattern_error(nw)), 0.28125f);
}

TEST_F(LearningStep, DeltaFactorCompoundsFromLayerToLayer) {
    // One output error, all others zero: each hidden delta comes from that one
    // output delta alone, each input delta from the hidden deltas. A product
    // of two floats rounded to float is the same in float as in extended, so
    // float arithmetic gives the expected values here. The input layer's sums
    // are of terms so alike that each extended step is exact: one rounding of
    // s + delta * w, here formed exactly in long double and rounded once (not
    // with fmaf, which MinGW-w64 rounds twice).
    compute_delta(nw);
    const real out = nw.layers[2][0].delta;
    for (int j = 1; j < layer_size[2]; ++j) EXPECT_EQ(nw.layers[2][j].delta, 0.0f);
    for (int j = 0; j < layer_size[1]; ++j) {
        const real error = out * nw.layers[2][0].weight[j];
        EXPECT_EQ(nw.layers[1][j].delta, error * 0.005f) << j;
        // ~0.005^2 * e * w in all
        EXPECT_NEAR(nw.layers[1][j].delta / (0.75 * nw.layers[2][0].weight[j]), 0.005 * 0.005, 1e-9);
    }
    for (int j = 0; j < layer_size[0]; ++j) {
        real error = 0.0f;
        double unrounded = 0.0;
        for (int k = 0; k < layer_size[1]; ++k) {
            error = static_cast<real>(static_cast<long double>(error) +
                                      static_cast<long double>(nw.layers[1][k].delta) *
                                          nw.layers[1][k].weight[j]);
            unrounded += static_cast<double>(nw.layers[1][k].delta) * nw.layers[1][k].weight[j];
        }
        EXPECT_EQ(nw.layers[0][j].delta, error * 0.005f) << j;
        // ~0.005^3 * e * (the weights through which j reaches output 0)
        EXPECT_NEAR(nw.layers[0][j].delta / unrounded, 0.005, 1e-9) << j;
    }
}

TEST_F(LearningStep, FedBackSumIsRoundedToFloatAfterEveryTerm) {
    // Output neurons 0, 1 and 2 get the deltas 2^-8, -2^-8 and -2^-8 (errors of
    // +-0.78125 times the float 0.005 round to exactly that), and hidden neuron
    // 0 feeds them through the weights 1, -2^-24 and -2^-24: its sum is 2^-8
    // and two terms of 2^-32, each half a float step of 2^-8. In float each is
    // lost at its own step (a tie, to even); a wider running sum would keep
    // the two together as one whole step.
    nw.layers[2][0].output = 0.21875f;
    nw.layers[2][1].output = nw.layers[2][2].output = 0.78125f;
    nw.layers[2][0].weight[0] = 1.0f;
    nw.layers[2][1].weight[0] = nw.layers[2][2].weight[0] = -0x1p-24f;
    compute_delta(nw);
    ASSERT_EQ(nw.layers[2][0].delta, 0x1p-8f);
    ASSERT_EQ(nw.layers[2][1].delta, -0x1p-8f);
    EXPECT_EQ(nw.layers[1][0].delta, 0x1p-8f * 0.005f);
}

TEST_F(LearningStep, OutputsOnTargetChangeNothing) {
    nw.layers[2][0].output = 1.0f;
    const network before = nw;
    compute_delta(nw);
    for (const auto& layer : nw.layers)
        for (const neuron& n : layer) EXPECT_EQ(n.delta, 0.0f);
    update_weight(nw);
    for (int L = 0; L < layer_count; ++L)
        for (int j = 0; j < layer_size[L]; ++j) EXPECT_EQ(nw.layers[L][j].weight, before.layers[L][j].weight);
    EXPECT_EQ(pattern_error(nw), 0.0);
}

TEST_F(LearningStep, ZeroInputsLeaveTheirWeightsAlone) {
    network all_zero = started();
    all_zero.pattern_index = 2;
    all_zero.input_bit.fill(0);
    forward_pass(all_zero);
    const network before = all_zero;
    compute_delta(all_zero);
    update_weight(all_zero);
    for (int j = 0; j < layer_size[0]; ++j)
        EXPECT_EQ(all_zero.layers[0][j].weight, before.layers[0][j].weight);
    for (int L = 1; L < layer_count; ++L)
        for (int j = 0; j < layer_size[L]; ++j)
            EXPECT_NE(all_zero.layers[L][j].weight, before.layers[L][j].weight);

    // With a real digit only the weights of its set cells move in layer 0.
    network digit = started();
    digit.pattern_index = 1;
    load_pattern(digit, 1);
    forward_pass(digit);
    const network digit_before = digit;
    compute_delta(digit);
    update_weight(digit);
    for (int j = 0; j < layer_size[0]; ++j)
        for (int k = 0; k < fan_in(0); ++k) {
            const bool moved = digit.layers[0][j].weight[k] != digit_before.layers[0][j].weight[k];
            if (!pattern[1][k]) {
                EXPECT_FALSE(moved) << j << "," << k;
            }
        }
}

TEST(Converged, LimitIsTheFloatNearestOneHundredthInclusive) {
    // 0.01 as a float is 0.009999999776482582; the next float up is above the limit.
    constexpr real limit = 0.009999999776482582f, above = 0x1.47ae16p-7f;
    ASSERT_EQ(std::nextafter(limit, 1.0f), above);
    epoch_errors errors;
    errors.fill(limit);
    EXPECT_TRUE(converged(errors));
    errors[9] = above;
    EXPECT_FALSE(converged(errors));
    errors.fill(0.0f);
    errors[0] = above;
    EXPECT_FALSE(converged(errors));
}

TEST(Converged, NaNErrorIsNeverAboveTheLimit) {
    // A comparison with NaN is false, so it cannot stop convergence; pinned so
    // that a rewrite of the test does not change the run's stopping rule.
    epoch_errors errors{};
    errors[4] = std::nanf("");
    EXPECT_TRUE(converged(errors));
}
