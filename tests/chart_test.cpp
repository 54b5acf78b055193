// The chart: its maths (ranges, ticks, mapping, reduction, projection) and
// the widget behaviour the form relies on (ownership, clicks, rendering).
#include "chart_math.h"
#include "chart_ticks.h"
#include "dialogs.h"
#include "tchart.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>
#include "application_environment.h"

namespace {

[[maybe_unused]] const bool environment = add_application_environment<QApplication>();

bool is_nice(double step) {
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
    return std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 || std::abs(mantissa - 5) < 1e-9;
}

// A training-like error curve: from about 0.5 levelling off near 0.45.
double error_curve(int epoch, int pattern) {
    return 0.45 + (0.05 + 0.005 * pattern) * std::exp(-epoch / 800.0);
}

int count_pixels(const QImage& image, const QRect& area, const QColor& colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += image.pixelColor(x, y) == colour;
    return n;
}

QImage render(TChart& chart) {
    QImage image(chart.size(), QImage::Format_RGB32);
    chart.render(&image);
    return image;
}

}  // namespace

// ------------------------------------------------------------ data range

TEST(ChartRange, EmptyUntilAFinitePointArrives) {
    chart::DataRange r;
    EXPECT_TRUE(r.empty());
    r.include(NAN, 1);
    r.include(2, INFINITY);
    EXPECT_TRUE(r.empty());
    r.include(3, -1);
    EXPECT_FALSE(r.empty());
    EXPECT_EQ(r.xmin, 3);
    EXPECT_EQ(r.ymax, -1);
}

TEST(ChartRange, SpansAllSeriesAndSkipsBadPoints) {
    const std::vector<double> xs = {0, 1, NAN, 35};
    const std::vector<double> ys = {0.011, 0.009, 100, 0.0101};
    chart::DataRange r = chart::data_range(xs, ys);
    EXPECT_EQ(r.xmin, 0);
    EXPECT_EQ(r.xmax, 35);
    EXPECT_EQ(r.ymin, 0.009);
    EXPECT_EQ(r.ymax, 0.011);
    chart::DataRange other;
    other.include(-5, 0.5);
    r.merge(other);
    r.merge(chart::DataRange{});  // an empty series changes nothing
    EXPECT_EQ(r.xmin, -5);
    EXPECT_EQ(r.ymax, 0.5);
    EXPECT_EQ(r.ymin, 0.009);
}

TEST(ChartRange, EmptyAndFlatRangesStillGiveAnAxis) {
    chart::DataRange empty;
    auto [a, b] = chart::axis_span(empty.ymin, empty.ymax);
    EXPECT_LT(a, b);
    auto [c, d] = chart::axis_span(0, 0);
    EXPECT_LT(c, 0);
    EXPECT_GT(d, 0);
    auto [e, f] = chart::axis_span(0.45, 0.45);
    EXPECT_LT(e, 0.45);
    EXPECT_GT(f, 0.45);
    auto [g, h] = chart::axis_span(-1e305, 1e305);
    EXPECT_TRUE(std::isfinite(h - g));
}

// ------------------------------------------------------------ ticks and labels

TEST(ChartTicks, CoverTheRangeWithNiceSteps) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> exponent(-6, 6), unit(-1, 1);
    for (int i = 0; i < 2000; ++i) {
        const double scale = std::pow(10.0, exponent(rng));
        double lo = unit(rng) * scale, hi = unit(rng) * scale;
        if (lo > hi) std::swap(lo, hi);
        const int maxTicks = 2 + i % 10;
        const chart::Ticks t = chart::nice_ticks(lo, hi, maxTicks);
        SCOPED_TRACE(testing::Message() << lo << ".." << hi << " in " << maxTicks);
        ASSERT_TRUE(is_nice(t.step)) << t.step;
        ASSERT_LE(t.lo, lo);  // the axis shows all the data...
        ASSERT_GE(t.hi, hi);
        // ...without wasting room, unless that would leave it under two ticks.
        const auto inside =
            std::count_if(t.values.begin(), t.values.end(), [&](double v) { return v >= lo && v <= hi; });
        if (inside >= 2) {
            ASSERT_LE(t.hi - t.lo, (hi - lo) * 1.1 * (1 + 1e-9));
        }
        ASSERT_GE(static_cast<int>(t.values.size()), 2);
        ASSERT_LE(static_cast<int>(t.values.size()), std::max(maxTicks, 3));
        // Every multiple of the step on the axis is a tick: none missing at the ends.
        ASSERT_LT(t.values.front() - t.lo, t.step * (1 - 1e-9));
        ASSERT_LT(t.hi - t.values.back(), t.step * (1 - 1e-9));
        for (std::size_t k = 1; k < t.values.size(); ++k)
            ASSERT_NEAR(t.values[k] - t.values[k - 1], t.step, t.step * 1e-9);
        ASSERT_NEAR(std::remainder(t.values.front(), t.step), 0, t.step * 1e-9);
    }
}

TEST(ChartTicks, StartUpAndTrainingAxes) {
    const chart::Ticks x = chart::nice_ticks(0, 10000, 8);
    EXPECT_EQ(x.lo, 0);
    EXPECT_EQ(x.hi, 10000);
    EXPECT_EQ(x.step, 2000);
    const chart::Ticks y = chart::nice_ticks(0.0091, 0.0109, 6);
    QStringList labels;
    for (double v : y.values) labels << chart::tick_label(v, y);
    EXPECT_EQ(labels.join(' '), "0.0095 0.01 0.0105");
    EXPECT_EQ(y.lo, 0.0091);  // too far from 0.009 to move the end there
    const chart::Ticks e = chart::nice_ticks(0.449, 0.5295, 10);
    EXPECT_EQ(e.step, 0.01);
    EXPECT_EQ(e.hi, 0.53);  // close by: the end moves out to a labelled tick
    EXPECT_EQ(e.lo, 0.449);
}

TEST(ChartTicks, LabelsCarryNoFloatNoise) {
    const chart::Ticks t = chart::nice_ticks(-0.3, 0.3, 7);
    QStringList labels;
    for (double v : t.values) labels << chart::tick_label(v, t);
    EXPECT_EQ(labels.join(' '), "-0.3 -0.2 -0.1 0 0.1 0.2 0.3");
    const chart::Ticks big = chart::nice_ticks(0, 3e9, 4);
    EXPECT_EQ(chart::tick_label(big.values[1], big), "1e+09");
}

TEST(ChartTicks, ExtremeRangesEndQuickly) {
    // Steps lost in double rounding must neither hang nor flood the axis.
    for (auto [lo, hi] : {std::pair{1e16, 1e16 + 4}, {-1e308, 1e308}, {1e-300, 2e-300}, {NAN, 1.0}}) {
        const chart::Ticks t = chart::nice_ticks(lo, hi, 10);
        EXPECT_GE(t.values.size(), 2u);
        EXPECT_LE(t.values.size(), 10u);
        EXPECT_TRUE(std::isfinite(t.step) && t.step > 0);
    }
}

// ------------------------------------------------------------ mapping

TEST(ChartMapping, EndpointsLandOnTheEdges) {
    const chart::AxisMap x{0, 10000, 40, 340};
    EXPECT_DOUBLE_EQ(x.to_pixel(0), 40);
    EXPECT_DOUBLE_EQ(x.to_pixel(10000), 340);
    EXPECT_DOUBLE_EQ(x.to_pixel(5000), 190);
    const chart::AxisMap y{0.4, 0.5, 220, 20};  // bottom pixel first: up is larger
    EXPECT_DOUBLE_EQ(y.to_pixel(0.4), 220);
    EXPECT_DOUBLE_EQ(y.to_pixel(0.5), 20);
    EXPECT_LT(y.to_pixel(0.46), y.to_pixel(0.45));
    const chart::AxisMap flat{1, 1, 0, 100};
    EXPECT_DOUBLE_EQ(flat.to_pixel(1), 50);
}

// ------------------------------------------------------------ reduction

TEST(ChartReduction, ASingleSpikeAmongTenThousandSurvives) {
    std::vector<double> xs, ys;
    for (int i = 0; i <= 10000; ++i) xs.push_back(i), ys.push_back(error_curve(i, 0));
    ys[6789] = 0.9;
    const chart::AxisMap x{0, 10000, 40, 340}, y{0.4, 1.0, 220, 20};
    const std::vector<QPointF> out = chart::reduce_to_columns(xs, ys, x, y);
    EXPECT_LE(out.size(), 4u * 301);
    const double spike = y.to_pixel(0.9);
    EXPECT_TRUE(std::any_of(out.begin(), out.end(), [&](QPointF p) { return p.y() == spike; }));
    EXPECT_EQ(out.front(), QPointF(x.to_pixel(0), y.to_pixel(ys[0])));
    EXPECT_EQ(out.back(), QPointF(x.to_pixel(10000), y.to_pixel(ys[10000])));
    for (std::size_t i = 1; i < out.size(); ++i) ASSERT_GE(out[i].x(), out[i - 1].x());  // still in x order
}

TEST(ChartReduction, KeepsEveryColumnsExtremesEvenUnordered) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(0, 1);
    for (bool ordered : {true, false}) {
        std::vector<double> xs, ys;
        for (int i = 0; i < 5000; ++i) xs.push_back(ordered ? i / 5000.0 : u(rng)), ys.push_back(u(rng));
        const chart::AxisMap x{0, 1, 0, 100}, y{0, 1, 100, 0};
        std::map<int, std::pair<double, double>> expected, got;
        auto note = [](auto& m, QPointF p) {
            auto [it, fresh] = m.try_emplace(int(std::floor(p.x())), p.y(), p.y());
            it->second.first = std::min(it->second.first, p.y());
            it->second.second = std::max(it->second.second, p.y());
        };
        for (std::size_t i = 0; i < xs.size(); ++i) note(expected, {x.to_pixel(xs[i]), y.to_pixel(ys[i])});
        const std::vector<QPointF> out = chart::reduce_to_columns(xs, ys, x, y);
        for (QPointF p : out) note(got, p);
        EXPECT_EQ(got, expected) << (ordered ? "ordered" : "unordered");
        if (ordered) {
            EXPECT_LE(out.size(), 4u * 101);
        }
    }
}

TEST(ChartReduction, SkipsPointsThatAreNotFinite) {
    const std::vector<double> xs = {0, 1, 2, 3}, ys = {0, NAN, INFINITY, 1};
    const std::vector<QPointF> out = chart::reduce_to_columns(xs, ys, {0, 3, 0, 30}, {0, 1, 10, 0});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1], QPointF(30, 0));
}

// ------------------------------------------------------------ 3-D projection

TEST(ChartProjection, EachSeriesHasItsOwnSlabBehindTheLast) {
    const chart::Depth3D d = chart::depth_3d({300, 190}, 10);
    EXPECT_GE(d.per_series, 3);
    EXPECT_LE(d.per_series, 12);
    EXPECT_NEAR(d.total, 10 * d.per_series, 1e-9);
    EXPECT_EQ(chart::ribbon_offsets(0, d).first, QPointF(0, 0));
    for (int i = 0; i + 1 < 10; ++i)
        EXPECT_EQ(chart::ribbon_offsets(i, d).second, chart::ribbon_offsets(i + 1, d).first);
    // Many series in a small plot: the box is capped, not pushed off the plot.
    const chart::Depth3D crowded = chart::depth_3d({200, 60}, 40);
    EXPECT_LE(-chart::oblique_offset(crowded.total).y(), 0.3 * 60 + 1e-9);
    EXPECT_EQ(chart::depth_3d({0, 0}, 3).total, 0);
}

// ------------------------------------------------------------ 3-D ribbons

TEST(ChartRibbon, ColumnSpansFollowTheLineThroughEachColumn) {
    const std::vector<QPointF> line = {{0.5, 10}, {3.5, 40}, {3.7, 0}};
    const chart::ColumnSpans c = chart::column_spans(line, 0, 3);
    ASSERT_EQ(c.spans.size(), 4u);
    EXPECT_EQ(c.spans[0], std::pair(10.0, 15.0));
    EXPECT_EQ(c.spans[1], std::pair(15.0, 25.0));
    EXPECT_EQ(c.spans[3], std::pair(0.0, 40.0));  // the steep return stays in column 3
    // A wild point neither widens the result nor makes the walk long.
    const std::vector<QPointF> wild = {{2, 5}, {1e12, 5}};
    EXPECT_EQ(chart::column_spans(wild, 0, 9).spans.size(), 10u);
}

TEST(ChartRibbon, OutlineIsTheLineSweptUpAndRight) {
    chart::ColumnSpans flat{0, std::vector<std::pair<double, double>>(10, {50.0, 50.0})};
    const auto outlines = chart::ribbon_outline(flat, 3);
    ASSERT_EQ(outlines.size(), 1u);
    double left = 1e9, right = -1e9, top = 1e9, bottom = -1e9;
    for (QPointF p : outlines[0]) {
        left = std::min(left, p.x()), right = std::max(right, p.x());
        top = std::min(top, p.y()), bottom = std::max(bottom, p.y());
    }
    EXPECT_EQ(left, 0);
    EXPECT_EQ(right, 13);  // 10 columns plus 3 of depth
    EXPECT_EQ(top, 47);
    EXPECT_EQ(bottom, 50);
    // Columns the line does not reach split the ribbon.
    flat.spans[5] = {1, 0};
    flat.spans[6] = {1, 0};
    flat.spans[7] = {1, 0};
    flat.spans[8] = {1, 0};
    EXPECT_EQ(chart::ribbon_outline(flat, 3).size(), 2u);
}

// ------------------------------------------------------------ series ownership

TEST(ChartSeriesOwnership, RemovedSeriesStayOwnedAndDieWithTheChart) {
    auto* chart = new TChart;
    QPointer<TLineSeries> s = new TLineSeries(chart);
    s->SetParentChart(chart);
    chart->RemoveAllSeries();
    ASSERT_FALSE(s.isNull());
    EXPECT_EQ(s->parent(), chart);
    EXPECT_EQ(s->ParentChart(), nullptr);
    EXPECT_EQ(chart->SeriesCount(), 0);
    delete chart;
    EXPECT_TRUE(s.isNull());
}

TEST(ChartSeriesOwnership, AttachingTwiceShowsTheSeriesOnce) {
    TChart chart;
    auto* s = new TLineSeries(&chart);
    EXPECT_EQ(chart.SeriesCount(), 0);  // not shown until attached
    s->SetParentChart(&chart);
    chart.AddSeries(s);
    s->SetParentChart(&chart);
    ASSERT_EQ(chart.SeriesCount(), 1);
    EXPECT_EQ(chart.Series(0), s);
    EXPECT_EQ(s->ParentChart(), &chart);
    EXPECT_EQ(chart.Series(1), nullptr);
}

TEST(ChartSeriesOwnership, ADeletedSeriesLeavesTheChart) {
    TChart chart;
    auto* a = new TLineSeries(&chart);
    auto* b = new TLineSeries(&chart);
    a->SetParentChart(&chart);
    b->SetParentChart(&chart);
    delete a;
    ASSERT_EQ(chart.SeriesCount(), 1);
    EXPECT_EQ(chart.Series(0), b);
    render(chart);  // paints without touching the freed series
}

TEST(ChartSeriesOwnership, AChartDyingBeforeAForeignSeriesLetsItGo) {
    TChart owner;
    auto* s = new TLineSeries(&owner);
    {
        TChart other;
        s->SetParentChart(&other);
        EXPECT_EQ(other.SeriesCount(), 1);
    }
    EXPECT_EQ(s->ParentChart(), nullptr);
    s->SetParentChart(&owner);  // must not reach the dead chart
    EXPECT_EQ(owner.SeriesCount(), 1);
}

// ------------------------------------------------------------ series data

TEST(ChartSeriesData, EveryPointIsKeptInOrder) {
    TChart chart;
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    for (int i = 0; i <= 10000; ++i) ASSERT_EQ(s->AddXY(i, error_curve(i, 1), "", clTeeColor), i);
    ASSERT_EQ(s->Count(), 10001);
    EXPECT_EQ(s->XValue(9999), 9999);
    EXPECT_EQ(s->YValue(9999), error_curve(9999, 1));
}

TEST(ChartSeriesData, OutOfRangeReadsAreHarmless) {
    TChart chart;
    auto* s = new TLineSeries(&chart);
    s->AddXY(1, 2, "", clTeeColor);
    EXPECT_EQ(s->XValue(-1), 0);
    EXPECT_EQ(s->YValue(1), 0);
}

TEST(ChartSeriesData, TenReadableDistinctColoursInAttachOrder) {
    TChart chart;
    std::set<TColor> colours;
    for (int i = 0; i < 11; ++i) {
        auto* s = new TLineSeries(&chart);
        s->SetParentChart(&chart);
        if (i < 10) colours.insert(s->SeriesColor());
        EXPECT_NE(s->SeriesColor(), clWhite);
    }
    EXPECT_EQ(colours.size(), 10u);
    EXPECT_EQ(chart.Series(10)->SeriesColor(), chart.Series(0)->SeriesColor());  // the palette wraps
    EXPECT_EQ(chart.Series(0)->SeriesColor(), 0x0000FFu);                        // red first
    // A fresh set after RemoveAllSeries starts the palette again.
    chart.RemoveAllSeries();
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    EXPECT_EQ(s->SeriesColor(), 0x0000FFu);
}

// ------------------------------------------------------------ widget behaviour

TEST(ChartWidget, AClickEmitsOnClickOnceWithTheChart) {
    TChart chart;
    chart.resize(400, 250);
    chart.show();
    QSignalSpy spy(&chart, &TChart::OnClick);
    QTest::mouseClick(&chart, Qt::LeftButton, {}, QPoint(200, 120));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<QObject*>(), &chart);
    QTest::mouseClick(&chart, Qt::RightButton, {}, QPoint(200, 120));
    EXPECT_EQ(spy.count(), 1);
}

TEST(ChartWidget, WhatAClickHandlerThrowsIsShownNotPassedOn) {
    std::vector<QString> shown;
    const message_function previous = SetMessageFunction([&](const QString& text) { shown.push_back(text); });
    TChart chart;
    chart.resize(400, 250);
    chart.show();
    QObject::connect(&chart, &TChart::OnClick, [] { throw std::runtime_error("no memory left"); });
    EXPECT_NO_THROW(QTest::mouseClick(&chart, Qt::LeftButton, {}, QPoint(200, 120)));
    EXPECT_NO_THROW(QTest::mouseClick(&chart, Qt::LeftButton, {}, QPoint(200, 120)));
    SetMessageFunction(previous);
    EXPECT_EQ(shown, std::vector<QString>(2, "no memory left"));
}

// Counts the chart's paint events.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

TEST(ChartWidget, AppendingPaintsLaterNotPerPoint) {
    TChart chart;
    chart.resize(400, 250);
    chart.show();
    QApplication::processEvents();
    PaintCounter counter;
    chart.installEventFilter(&counter);
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    for (int i = 0; i < 1000; ++i) s->AddXY(i, i % 7, "", clTeeColor);
    EXPECT_EQ(counter.paints, 0);  // nothing drawn while the data arrive
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);
    chart.TitleText().Add("more");  // a title change repaints too
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 2);
}

// ------------------------------------------------------------ rendering

TEST(ChartRendering, SeriesColouredPixelsInsideThePlotInBothViews) {
    TChart chart;
    chart.resize(400, 250);
    chart.TitleText().Add("Eq degree");
    for (int p = 0; p < 10; ++p) {
        auto* s = new TLineSeries(&chart);
        s->SetParentChart(&chart);
        s->SetTitle(QStringLiteral("Pattern%1").arg(p));
        for (int e = 0; e <= 10000; ++e) s->AddXY(e, error_curve(e, p), "", clTeeColor);
    }
    // The plot sits left of the legend, between the title and the x labels.
    const QRect plot(50, 25, 230, 200);  // down to the bottom axis, where the curves level off
    for (bool view3D : {false, true}) {
        chart.SetView3D(view3D);
        const QImage image = render(chart);
        for (int p : {0, 3, 9}) {
            const QColor colour = to_qcolor(chart.Series(p)->SeriesColor());
            EXPECT_GT(count_pixels(image, plot, colour), 20) << "series " << p << (view3D ? " 3-D" : " 2-D");
        }
        const int lime = count_pixels(image, image.rect(), to_qcolor(clLime));
        if (view3D) {
            EXPECT_GT(lime, 100) << "the left wall";
        } else {
            EXPECT_EQ(lime, 0);
        }
    }
}

TEST(ChartRendering, EmptyTinyAndSinglePointChartsDraw) {
    TChart chart;
    const QColor unpainted(255, 0, 255);  // appears nowhere on a chart
    for (QSize size : {QSize(400, 250), QSize(30, 20), QSize(1, 1)}) {
        chart.resize(size);
        QImage image(size, QImage::Format_RGB32);
        image.fill(unpainted);
        chart.render(&image);
        EXPECT_EQ(count_pixels(image, image.rect(), unpainted), 0)
            << "the panel covers all of " << size.width();
        // Only a chart large enough for a plot shows its axes, even with no data.
        EXPECT_EQ(count_pixels(image, image.rect(), Qt::black) > 100, size.width() == 400) << size.width();
    }
    chart.resize(400, 250);
    auto* s = new TLineSeries(&chart);
    s->SetParentChart(&chart);
    s->AddXY(3, 3, "", clTeeColor);
    s->AddXY(4, NAN, "", clTeeColor);
    for (bool view3D : {false, true}) {
        chart.SetView3D(view3D);
        const QImage image = render(chart);
        EXPECT_GT(count_pixels(image, QRect(40, 20, 260, 200), to_qcolor(s->SeriesColor())), 0);
    }
}

TEST(ChartRendering, TextIsDrawnInTheFontTheLayoutMeasured) {
    TChart chart;
    chart.resize(400, 250);
    const QString title = "Initial Weight random degree";
    chart.TitleText().Add(title);
    const QImage image = render(chart);
    int left = image.width(), right = -1;  // of the title's blue ink in the top rows
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.blue() > 90 && c.red() < 90 && c.green() < 90)
                left = std::min(left, x), right = std::max(right, x);
        }
    // Ink is a little narrower than the advance; the application's larger
    // font would be a dozen pixels wider.
    EXPECT_NEAR(right - left, QFontMetricsF(chart.font()).horizontalAdvance(title), 6);
}

// ------------------------------------------------------------ layout

namespace {

// Six pixels a character, thirteen a line: round numbers to reason with.
const chart::TextMetrics fixed_metrics{[](const QString& t) { return 6.0 * t.size(); }, 13};

chart::LayoutInput training_chart(QSizeF size, bool view3d) {
    chart::LayoutInput in;
    in.size = size;
    in.title_lines = 1;
    for (int p = 0; p < 10; ++p) in.legend.push_back(QStringLiteral("Pattern%1").arg(p));
    in.range.include(0, 0.45);
    in.range.include(10000, 1.35);
    in.view3d = view3d;
    return in;
}

}  // namespace

TEST(ChartLayout, LegendAtTheRightAndThePlotBesideIt) {
    const chart::Layout l = chart::layout(training_chart({400, 250}, false), fixed_metrics);
    EXPECT_EQ(l.legendRows, 10);
    // "Pattern0" is 48 px: the colour sample, the text and their margins.
    EXPECT_EQ(l.legend.width(), chart::kSample + 48 + 16);
    EXPECT_EQ(l.legend.right(), 400 - chart::kMargin - 2);
    EXPECT_LT(l.plot.right(), l.legend.left());
    EXPECT_EQ(l.plot.top(), l.legend.top());
    EXPECT_GT(l.plot.top(), chart::kMargin + 13);  // below the title line
    EXPECT_EQ(l.front, l.plot);                    // 2-D: no depth
}

TEST(ChartLayout, TheFullViewKeepsTheDataClearOfTheFrame) {
    // A training run's curves and the start-up line, on every scale and in
    // both views: no point of the data lies on (or near) the plot's edges.
    chart::LayoutInput startup = training_chart({400, 250}, false);
    startup.legend = {"Random Number"};
    startup.range = {};
    startup.range.include(0, 0.0118);
    startup.range.include(35, 0.0081);
    for (const chart::LayoutInput& base : {training_chart({400, 250}, false), startup})
        for (bool view3d : {false, true})
            for (bool log : {false, true}) {
                chart::LayoutInput in = base;
                in.view3d = view3d;
                in.x.scale = chart::x_scale(log);
                in.y.scale = chart::y_scale(log);
                const chart::Layout l = chart::layout(in, fixed_metrics);
                const chart::DataRange& r = in.range;
                const double left = l.x.map.to_pixel(in.x.scale.to_axis(r.xmin));
                const double right = l.x.map.to_pixel(in.x.scale.to_axis(r.xmax));
                const double bottom = l.y.map.to_pixel(in.y.scale.to_axis(r.ymin));
                const double top = l.y.map.to_pixel(in.y.scale.to_axis(r.ymax));
                SCOPED_TRACE(testing::Message()
                             << r.xmax << (view3d ? " 3-D" : " 2-D") << (log ? " log" : ""));
                EXPECT_GE(left - l.front.left(), 5);
                EXPECT_GE(l.front.right() - right, 5);
                EXPECT_GE(l.front.bottom() - bottom, 5);
                EXPECT_GE(top - l.front.top(), 5);
            }
}

TEST(ChartLayout, TicksThatFitAndALegendThatShrinksWithTheHeight) {
    for (double width : {400.0, 250.0, 160.0}) {
        const chart::Layout l = chart::layout(training_chart({width, 250}, false), fixed_metrics);
        // Centred x labels at least 6 px apart.
        double widest = 0;
        for (double v : l.x.ticks.values)
            widest = std::max(widest, 6.0 * chart::tick_label(v, l.x.ticks).size());
        EXPECT_LE((l.x.ticks.values.size() - 1) * (widest + 6), l.front.width()) << width;
    }
    const chart::Layout low = chart::layout(training_chart({400, 100}, false), fixed_metrics);
    EXPECT_LT(low.legendRows, 10);
    EXPECT_LE(low.legend.bottom(), 100);
    EXPECT_FALSE(chart::layout(training_chart({40, 30}, false), fixed_metrics).drawable());
}

TEST(ChartLayout, ThreeDimensionsTakeTheDepthFromThePlot) {
    const chart::Layout flat = chart::layout(training_chart({400, 250}, false), fixed_metrics);
    const chart::Layout deep = chart::layout(training_chart({400, 250}, true), fixed_metrics);
    EXPECT_GT(deep.depth.x(), 0);
    EXPECT_LT(deep.depth.y(), 0);
    EXPECT_EQ(deep.depth3d.total, 10 * deep.depth3d.per_series);
    // The back wall fills the plot's top right corner; the front face its bottom left.
    EXPECT_EQ(deep.front.translated(deep.depth).topRight(), deep.plot.topRight());
    EXPECT_EQ(deep.front.bottomLeft(), deep.plot.bottomLeft());
    // The depth comes out of the plot's room, not the legend's or the title's.
    EXPECT_LT(deep.plot.right(), deep.legend.left());
    EXPECT_EQ(deep.plot.top(), flat.plot.top());
    EXPECT_LT(deep.front.width(), flat.front.width());
}
