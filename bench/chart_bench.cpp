// The chart after a training run: ten error curves of 10,001 epochs each in
// the window's 400 x 250 chart. A repaint must stay within a few
// milliseconds, zoomed or not; the read-out under the mouse within one.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
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

// How the chart is looked at while it repaints.
struct view {
    bool view3D = false;
    bool zoomed = false;  // onto epochs 2000..3000, the errors' lower half
    bool log = false;     // both axes logarithmic
    int runs = 1;         // earlier runs' series removed but still owned
};

// A chart as the window has it after `v.runs` presses of "Train".
std::unique_ptr<TChart> trained_chart(const view& v) {
    auto chart = std::make_unique<TChart>();
    chart->resize(400, 250);
    chart->TitleText().Add("Eq degree");
    chart->SetView3D(v.view3D);
    chart->SetLogarithmicX(v.log);
    chart->SetLogarithmicY(v.log);
    for (int run = 0; run < v.runs; ++run) {
        chart->RemoveAllSeries();
        add_training_curves(*chart);
    }
    if (v.zoomed) {
        const chart::Layout& l = chart->PlotLayout();
        const chart::Scale sx = chart::x_scale(v.log), sy = chart::y_scale(v.log);
        chart->ZoomRect(
            QRectF(QPointF(l.x.map.to_pixel(sx.to_axis(2000)), l.y.map.to_pixel(sy.to_axis(0.47))),
                   QPointF(l.x.map.to_pixel(sx.to_axis(3000)), l.y.map.to_pixel(sy.to_axis(0.44)))));
    }
    return chart;
}

bool looks_as_asked(const TChart& chart, const view& v) {
    return holds_training_curves(chart) && chart.View3D() == v.view3D && chart.Zoomed() == v.zoomed &&
           chart.LogarithmicX() == v.log && chart.LogarithmicY() == v.log;
}

void repaint(benchmark::State& state, view v) {
    const auto chart = trained_chart(v);
    if (!looks_as_asked(*chart, v)) {
        state.SkipWithError("the chart does not hold ten curves of 10,001 points in the view asked for");
        return;
    }
    QImage image(chart->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        chart->Invalidate();  // the whole chart, not the kept picture
        chart->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_ChartRepaint2D(benchmark::State& state) { repaint(state, {}); }
void BM_ChartRepaint3D(benchmark::State& state) { repaint(state, {.view3D = true}); }
void BM_ChartRepaintZoomed2D(benchmark::State& state) { repaint(state, {.zoomed = true}); }
void BM_ChartRepaintZoomed3D(benchmark::State& state) { repaint(state, {.view3D = true, .zoomed = true}); }
void BM_ChartRepaintLogarithmic2D(benchmark::State& state) { repaint(state, {.log = true}); }
void BM_ChartRepaintLogarithmicZoomed3D(benchmark::State& state) {
    repaint(state, {.view3D = true, .zoomed = true, .log = true});
}
// Beside BM_ChartRepaint2D: the removed series of 19 earlier runs cost nothing.
void BM_ChartRepaint2DAfter20Runs(benchmark::State& state) { repaint(state, {.runs = 20}); }

// The mouse moves over the plot and the chart repaints with the read-out:
// ten binary searches and the kept picture, not the 100,010 points.
void readout(benchmark::State& state, view v) {
    const auto chart = trained_chart(v);
    QImage image(chart->size(), QImage::Format_ARGB32_Premultiplied);
    const QRectF front = chart->PlotLayout().front;
    auto move_to = [&](double fraction) {
        const QPointF at(front.left() + fraction * front.width(), front.center().y());
        QMouseEvent move(QEvent::MouseMove, at, chart->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(chart.get(), &move);
        chart->render(&image);
    };
    move_to(0.3);
    if (!looks_as_asked(*chart, v) || chart->ReadoutLines().size() != 1 + kPatterns) {
        state.SkipWithError("no read-out of ten series");
        return;
    }
    int step = 0;
    for (auto _ : state) {
        move_to(0.1 + 0.8 * (step++ % 97) / 97.0);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_ChartReadout2D(benchmark::State& state) { readout(state, {}); }
void BM_ChartReadoutZoomed3D(benchmark::State& state) { readout(state, {.view3D = true, .zoomed = true}); }

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
BENCHMARK(BM_ChartRepaintZoomed2D)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartRepaintZoomed3D)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartRepaintLogarithmic2D)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartRepaintLogarithmicZoomed3D)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartRepaint2DAfter20Runs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartReadout2D)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartReadoutZoomed3D)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartAppend100010Points)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChartNoticesWithNoReader)->Unit(benchmark::kMillisecond);
