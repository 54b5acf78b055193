// The epoch loop: what a run hands out, when it stops, and the numbers a
// full default run ends with.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "fast_engine.h"
#include "recognition.h"
#include "training.h"

namespace {

struct recorder : training_display {
    std::array<std::vector<std::pair<int, real>>, digit_count> curves;
    std::vector<std::pair<int, epoch_errors>> reports;  // (epoch, errors)
    std::vector<int> ends;
    const network* nw = nullptr;

    void add_point(int p, int epoch, real error) override { curves[p].push_back({epoch, error}); }
    void write_report(const epoch_errors& e) override { reports.push_back({nw->train_number, e}); }
    void show_end(int number) override { ends.push_back(number); }
};

// A stand-in for the learning step whose errors we choose: every pattern has
// error `before` until epoch `converge_at`, then error_limit.
int converge_at = 0;
real scripted(network& nw) {
    EXPECT_EQ(nw.input_bit, pattern[nw.pattern_index]);
    return nw.train_number < converge_at ? 0.02f : error_limit;
}

recorder run_scripted(network& nw, int converge_epoch) {
    converge_at = converge_epoch;
    recorder r;
    r.nw = &nw;
    run_epochs(nw, r, scripted);
    return r;
}

std::uint64_t weight_digest(const network& nw) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a over the weights' bits
    for (const auto& layer : nw.layers)
        for (const neuron& n : layer)
            for (real w : n.weight) {
                std::uint32_t bits;
                std::memcpy(&bits, &w, sizeof bits);
                for (int i = 0; i < 4; ++i) h = (h ^ ((bits >> (8 * i)) & 0xFF)) * 1099511628211ull;
            }
    return h;
}

}  // namespace

TEST(TrainingLoop, ConvergenceInTheFirstEpoch) {
    network nw;
    const recorder r = run_scripted(nw, 0);
    for (const auto& curve : r.curves)
        EXPECT_EQ(curve, (std::vector<std::pair<int, real>>{{0, error_limit}}));
    ASSERT_EQ(r.reports.size(), 1u);
    EXPECT_EQ(r.reports[0].first, 0);
    EXPECT_EQ(r.ends, std::vector<int>{0});
    EXPECT_EQ(nw.train_number, 1);  // raised in the stopping epoch too
}

TEST(TrainingLoop, NoConvergenceRunsEpochsZeroToTenThousand) {
    network nw;
    const recorder r = run_scripted(nw, 1 << 30);
    for (const auto& curve : r.curves) {
        ASSERT_EQ(curve.size(), 10001u);
        for (int e = 0; e <= 10000; ++e) ASSERT_EQ(curve[e].first, e);
    }
    ASSERT_EQ(r.reports.size(), 3u);
    EXPECT_EQ(r.reports[0].first, 0);
    EXPECT_EQ(r.reports[1].first, 5000);
    EXPECT_EQ(r.reports[2].first, 9999);
    EXPECT_EQ(r.ends, std::vector<int>{10000});
    // The run leaves digit 9 in the input.
    EXPECT_EQ(nw.input_bit, pattern[9]);
}

TEST(TrainingLoop, ConvergenceInEpochFiveThousandReportsTwice) {
    network nw;
    const recorder r = run_scripted(nw, 5000);
    ASSERT_EQ(r.reports.size(), 2u);
    EXPECT_EQ(r.reports[1].first, 5000);
    for (real e : r.reports[1].second) EXPECT_EQ(e, error_limit);
    for (real e : r.reports[0].second) EXPECT_EQ(e, 0.02f);
    EXPECT_EQ(r.ends, std::vector<int>{5000});
    EXPECT_EQ(r.curves[9].size(), 5001u);
}

TEST(TrainingLoop, LastEpochBeforeTheLimitStillReports) {
    network nw;
    EXPECT_EQ(run_scripted(nw, 9999).reports.size(), 3u);
    EXPECT_EQ(run_scripted(nw, 4999).reports.size(), 1u);
}

TEST(TrainingLoop, ExceptionFromTheDisplayLeavesTheRunWhereItWas) {
    struct failing : recorder {
        void add_point(int p, int epoch, real error) override {
            if (epoch == 3 && p == 4) throw std::bad_alloc();
            recorder::add_point(p, epoch, error);
        }
    } r;
    network nw;
    r.nw = &nw;
    converge_at = 1 << 30;
    EXPECT_THROW(run_epochs(nw, r, scripted), std::bad_alloc);
    EXPECT_EQ(nw.train_number, 3);
    EXPECT_EQ(nw.pattern_index, 4);
    EXPECT_TRUE(r.ends.empty());
}

// One real run from the start-up weights: 10001 epochs, errors levelling off
// near 0.45. Pinned to the bit, so that any change to the arithmetic shows.
TEST(FullRun, DefaultStartEndsWithPinnedErrorsAndWeights) {
    network nw;
    init_network(nw);
    recorder r;
    r.nw = &nw;
    train_network(nw, r);
    EXPECT_EQ(r.ends, std::vector<int>{10000});
    ASSERT_EQ(r.reports.size(), 3u);
    const epoch_errors expected = {0x1.cdadd4p-2f, 0x1.ce3326p-2f, 0x1.cdd588p-2f, 0x1.cdd636p-2f,
                                   0x1.cdea08p-2f, 0x1.cdd64ap-2f, 0x1.cdb7d6p-2f, 0x1.ce1416p-2f,
                                   0x1.cd9952p-2f, 0x1.cdd654p-2f};
    EXPECT_EQ(r.reports[2].second, expected);
    EXPECT_EQ(weight_digest(nw), 2531376654351605268ull);

    // A second run continues from these weights instead of starting over.
    recorder again;
    again.nw = &nw;
    train_network(nw, again);
    EXPECT_NE(again.curves[0].front().second, r.curves[0].front().second);
    EXPECT_NEAR(again.curves[0].front().second, r.curves[0].back().second, 1e-4);
}

TEST(Winner, HighestOutputAboveTheThresholdWins) {
    network nw;
    init_network(nw);
    auto outputs = [&](std::array<real, digit_count> o) {
        for (int k = 0; k < digit_count; ++k) nw.layers[2][k].output = o[k];
        return winner(nw);
    };
    EXPECT_EQ(outputs({0.1f, 0.2f, 0.9f, 0.3f}), 2);
    EXPECT_EQ(outputs({0.1f, 0.9f, 0.2f, 0.9f}), 1);  // a tie goes to the lower digit
    EXPECT_EQ(outputs({}), -1);
    // The threshold is the float nearest 0.0001: an output must exceed it, not reach it.
    const real threshold = 0.0001f;
    EXPECT_EQ(outputs({threshold, threshold}), -1);
    EXPECT_EQ(outputs({0, 0, 0, 0, 0, 0, 0, 0, 0, std::nextafter(threshold, 1.0f)}), 9);
    const real nan = std::nanf("");
    EXPECT_EQ(outputs({nan, 0.5f, nan}), 1);
    EXPECT_EQ(outputs({nan, nan, nan, nan, nan, nan, nan, nan, nan, nan}), -1);
}
