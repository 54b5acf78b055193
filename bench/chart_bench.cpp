// The chart after a training run: ten error curves of 10,001 epochs each in
// the window's 400 x 250 chart. A repaint must stay within a few milliseconds.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cmath>
#include <memory>
#include <vector>

#include "tchart.h"
#include "tchart_accessible.h"

namespace {

constexpr int kPatterns = 10;
constexpr int kEpochs = 10001;

// Starts near 0.5 and levels off about 0.45, with a little noise as the
// network's error does.
double training_error(int epoch, int pattern) {
    const double noise = 0.002 * std::sin(epoch * 0.37 + pattern);
    return 0.45 + (0.04 + 0.004 * pattern) * std::exp(-epoch / (500.0 + 60 * pattern)) + noise;
}

// Worked out once, so that appending is timed, not the curve's maths.
const std::vector<std::vector<double>>& training_errors() {
    static const auto errors = [] {
        std::vector<std::vector<double>> e(kPatterns, std::vector<double>(kEpochs));
        for (int p = 0; p < kPatterns; ++p)
            for (int i = 0; i < kEpochs; ++i) e[p][i] = training_error(i, p);
        return e;
    }();
    return errors;
}

void add_training_curves(TChart& chart) {
    const auto& errors = training_errors();
    for (int p = 0; p < kPatterns; ++p) {
        auto* s = new TLineSeries(&chart);
        s->SetParentChart(&chart);
        s->SetTitle(QStringLiteral("Pattern%1").arg(p));
        for (int e = 0; e < kEpochs; ++e) s->AddXY(e, errors[p][e], "", clTeeColor);
    }
}

bool holds_training_curves(const TChart& chart) {
    if (chart.SeriesCount() != kPatterns) return false;
    for (int p = 0; p < kPatterns; ++p)
        if (chart.Series(p)->Count() != kEpochs) return false;
    return true;
}

void repaint(benchmark::State& state, bool view3D) {
    TChart chart;
    chart.resize(400, 250);
    chart.TitleText().Add("Eq degree");
    chart.SetView3D(view3D);
    add_training_curves(chart);
    if (!holds_training_curves(chart) || chart.View3D() != view3D) {
        state.SkipWithError("the chart does not hold ten curves of 10,001 points");
        return;
    }
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        chart.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_ChartRepaint2D(benchmark::State& state) { repaint(state, false); }
void BM_ChartRepaint3D(benchmark::State& state) { repaint(state, true); }

void BM_ChartAppend100010Points(benchmark::State& state) {
    training_errors();
    for (auto _ : state) {
        state.PauseTiming();
        auto chart = std::make_unique<TChart>();
        chart->resize(400, 250);
        state.ResumeTiming();
        add_training_curves(*chart);
        state.PauseTiming();
        if (!holds_training_curves(*chart)) state.SkipWithError("points went missing");
        chart.reset();
        state.ResumeTiming();
    }
}

// What every appended point adds for screen readers while none listens: the
// notice the chart sends on each change, 100,010 times. Set beside
// BM_ChartAppend100010Points, which includes it.
void BM_ChartNoticesWithNoReader(benchmark::State& state) {
    TChart chart;
    for (auto _ : state)
        for (int i = 0; i < kPatterns * kEpochs; ++i) chart_accessible_changed(&chart);
}

}  // namespace

BENCHMARK(BM_ChartRepaint2D)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartRepaint3D)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartAppend100010Points)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartNoticesWithNoReader)->Unit(benchmark::kMillisecond);
