// The maths behind looking closer at the chart: scales and their inverse,
// the rubber band, zoom and pan limits, logarithmic and zoomed ticks, the
// reduction on logarithmic axes, clipping and the search by x.
#include "chart_layout.h"
#include "chart_ticks.h"
#include "chart_view.h"

#include <QStringList>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

QStringList labels(const chart::Ticks& t) { return QStringList(t.labels.begin(), t.labels.end()); }

using index_range = std::pair<std::size_t, std::size_t>;

const auto any_fits = [](const chart::Ticks&) { return true; };

std::vector<double> epochs(int n) {
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i) x[i] = i;
    return x;
}

}  // namespace

// ------------------------------------------------------------ transforms

TEST(ChartTransform, PixelsAndScalesInvertEachOther) {
    const chart::AxisMap y{0.45, 1.35, 230, 30};  // upwards on screen
    for (double p : {30.0, 100.25, 230.0}) EXPECT_NEAR(y.to_pixel(y.from_pixel(p)), p, 1e-9);
    EXPECT_DOUBLE_EQ(y.from_pixel(30), 1.35);
    const chart::Scale lx = chart::x_scale(true), ly = chart::y_scale(true);
    EXPECT_EQ(lx.to_axis(0), 0);  // epoch 0 at the axis' start
    for (double v : {0.0, 1.0, 10.0, 10000.0}) EXPECT_NEAR(lx.from_axis(lx.to_axis(v)), v, 1e-9 * (1 + v));
    EXPECT_FALSE(lx.shows(-1));
    EXPECT_FALSE(ly.shows(0));
    EXPECT_FALSE(ly.shows(NAN));
}

TEST(ChartTransform, LogExtentsSkipWhatTheAxisCannotShow) {
    chart::DataRange r;
    r.include(0, 0);  // an error of exactly 0
    r.include(10000, 1.35);
    r.include(5, 0.01);
    const auto [ylo, yhi] = chart::shown_extent(r, false, chart::y_scale(true));
    EXPECT_DOUBLE_EQ(ylo, -2);
    EXPECT_DOUBLE_EQ(yhi, std::log10(1.35));
    const auto [xlo, xhi] = chart::shown_extent(r, true, chart::x_scale(true));
    EXPECT_EQ(xlo, 0);
    EXPECT_DOUBLE_EQ(xhi, std::log10(10001.0));
    chart::DataRange negative;
    negative.include(1, -3);
    const auto [nlo, nhi] = chart::shown_extent(negative, false, chart::y_scale(true));
    EXPECT_GT(nlo, nhi) << "no y the log axis could show";
}

// ------------------------------------------------------------ steering

TEST(ChartSteering, ARubberBandSelectsWhatItCovers) {
    const chart::AxisMap x{0, 100, 0, 100}, y{0, 10, 200, 0};
    const auto [bx, by] = chart::band_to_spans(QRectF(QPointF(10, 150), QPointF(30, 50)), x, y);
    EXPECT_EQ(bx, (chart::Span{10, 30}));
    EXPECT_EQ(by, (chart::Span{2.5, 7.5}));  // the band's bottom is the lower value
    // Drawn the other way round, or reaching past the axes: the same, cut.
    const auto [cx, cy] = chart::band_to_spans(QRectF(QPointF(130, 50), QPointF(10, 250)), x, y);
    EXPECT_EQ(cx, (chart::Span{10, 100}));
    EXPECT_EQ(cy, (chart::Span{0, 7.5}));
}

TEST(ChartSteering, DragsTellZoomFromUndoFromClick) {
    using chart::Drag;
    const QPointF at(100, 100);
    EXPECT_EQ(chart::classify_drag(at, at), Drag::Click);
    EXPECT_EQ(chart::classify_drag(at, at + QPointF(4, -4)), Drag::Click);  // a hand's wobble
    EXPECT_EQ(chart::classify_drag(at, at + QPointF(5, 1)), Drag::ZoomIn);
    EXPECT_EQ(chart::classify_drag(at, at + QPointF(-30, -1)), Drag::ZoomOut);
    EXPECT_EQ(chart::classify_drag(at, at + QPointF(30, -30)), Drag::Nothing);
    EXPECT_EQ(chart::classify_drag(at, at + QPointF(-30, 30)), Drag::Nothing);
}

TEST(ChartSteering, TheViewNeverLeavesTheData) {
    const chart::Span full{0, 10000};
    EXPECT_EQ(chart::settle({-100, 10100}, full), std::nullopt);  // zoomed out past all of it
    EXPECT_EQ(chart::settle(full, full), std::nullopt);
    EXPECT_EQ(chart::settle({NAN, 1}, full), std::nullopt);
    EXPECT_EQ(chart::settle({9000, 11000}, full), (chart::Span{8000, 10000}));  // panned past the end
    const auto tiny = chart::settle({5000, 5000}, full);
    ASSERT_TRUE(tiny);
    EXPECT_NEAR(tiny->width(), 10000 * chart::kMinZoom, 1e-9);
    EXPECT_NEAR(tiny->lo + tiny->hi, 10000, 1e-6);
}

TEST(ChartSteering, ZoomKeepsTheAnchorAndRescaleKeepsTheData) {
    EXPECT_EQ(chart::zoom_about({0, 100}, 25, 0.5), (chart::Span{12.5, 62.5}));
    const auto log = chart::rescale(chart::Span{9, 99}, chart::x_scale(false), chart::x_scale(true));
    ASSERT_TRUE(log);
    EXPECT_DOUBLE_EQ(log->lo, 1);
    EXPECT_DOUBLE_EQ(log->hi, 2);
    // Errors from -0.1 up have no place on a log axis: back to the full view.
    EXPECT_EQ(chart::rescale(chart::Span{-0.1, 0.5}, chart::y_scale(false), chart::y_scale(true)),
              std::nullopt);
}

TEST(ChartSteering, TheReadoutGoesBesideTheCursorWithinItsRoom) {
    const QRectF room(0, 20, 300, 230);  // below the title, left of the legend
    EXPECT_EQ(chart::readout_position({100, 50}, {150, 100}, room), QPointF(114, 66));
    const QPointF corner = chart::readout_position({280, 240}, {150, 100}, room);
    EXPECT_LT(corner.x() + 150, 280);  // flipped to the cursor's left
    EXPECT_LT(corner.y() + 100, 240);  // and above it
    // Neither side has room: the wider side, as far out as the room goes.
    EXPECT_EQ(chart::readout_position({160, 100}, {200, 200}, room), QPointF(0, 20));
    EXPECT_EQ(chart::readout_position({140, 100}, {200, 200}, room), QPointF(100, 20));
}

// ------------------------------------------------------------ ticks

TEST(ChartLogTicks, TheEpochAxisShowsZeroAndEveryDecade) {
    const chart::AxisView epochs{chart::x_scale(true), {0, std::log10(10001.0)}};
    const chart::Ticks t = chart::choose_ticks(epochs, 11, any_fits);
    EXPECT_EQ(labels(t), QStringList({"0", "1", "10", "100", "1000", "10000"}));
    EXPECT_EQ(t.values.front(), 0);
    EXPECT_DOUBLE_EQ(t.values[2], std::log10(11.0));
    // Where decades do not fit, every other one.
    auto sparse = [](const chart::Ticks& k) { return k.values.size() <= 4; };
    EXPECT_EQ(labels(chart::choose_ticks(epochs, 11, sparse)), QStringList({"0", "1", "100", "10000"}));
}

TEST(ChartLogTicks, TheErrorAxisHasDecadesAndFinerStepsWhenNarrow) {
    const chart::Scale s = chart::y_scale(true);
    const chart::Ticks wide = chart::choose_ticks({s, {-4, 1}}, 9, any_fits);
    EXPECT_EQ(labels(wide), QStringList({"0.0001", "0.001", "0.01", "0.1", "1", "10"}));
    // A training run's errors, 0.45 to 1.35, lie inside one decade.
    const chart::Ticks run = chart::choose_ticks({s, {std::log10(0.45), std::log10(1.35)}}, 9, any_fits);
    EXPECT_EQ(labels(run), QStringList({"0.5", "0.6", "0.7", "0.8", "0.9", "1"}));
    // Zoomed into the flat end: too narrow for 1..9 steps, so a linear step.
    const chart::Ticks flat =
        chart::choose_ticks({s, {std::log10(0.451), std::log10(0.459)}, false}, 5, any_fits);
    ASSERT_GE(flat.values.size(), 2u);
    for (double v : flat.values) {
        EXPECT_GE(v, flat.lo);
        EXPECT_LE(v, flat.hi);
    }
    EXPECT_EQ(flat.labels.front(), "0.452");
}

TEST(ChartLogTicks, ZoomedLinearAxesEndExactlyAtTheZoom) {
    const chart::Ticks t = chart::ticks_within(0.3, 2.7, 6);
    EXPECT_EQ(t.lo, 0.3);
    EXPECT_EQ(t.hi, 2.7);
    EXPECT_EQ(labels(t), QStringList({"0.5", "1", "1.5", "2", "2.5"}));
}

TEST(ChartLogTicks, TheLayoutUsesTheZoomAndRemembersTheFullView) {
    chart::LayoutInput in;
    in.size = {400, 250};
    in.title_lines = 1;
    in.range.include(0, 0.45);
    in.range.include(10000, 1.35);
    in.x.zoom = chart::Span{0, 25};
    in.y.zoom = chart::Span{0.5, 1.3};
    const chart::TextMetrics metrics{[](const QString& t) { return 6.0 * t.size(); }, 13};
    const chart::Layout l = chart::layout(in, metrics);
    EXPECT_EQ(l.x.map.lo, 0);
    EXPECT_EQ(l.x.map.hi, 25);
    EXPECT_EQ(l.y.map.lo, 0.5);
    EXPECT_LT(l.x.full.lo, 0);  // the full view and its margins
    EXPECT_GT(l.x.full.hi, 10000);
    EXPECT_LT(l.y.full.lo, 0.45);
    EXPECT_GT(l.y.full.hi, 1.35);

    in.x.zoom.reset();
    in.x.scale = chart::x_scale(true);
    const chart::Layout log = chart::layout(in, metrics);
    EXPECT_EQ(log.x.ticks.labels.front(), "0");
    EXPECT_EQ(log.x.ticks.labels.back(), "10000");
}

// ------------------------------------------------------------ drawing the data

TEST(ChartLogReduction, KeepsWhatTheTransformedDataWouldKeep) {
    // A training curve on log axes, reduced from the raw data, must match the
    // same curve transformed first and reduced on linear axes.
    const int n = 10001;
    const std::vector<double> xs = epochs(n);
    std::vector<double> ys(n), ux(n), uy(n);
    for (int i = 0; i < n; ++i) {
        ys[i] = 0.45 + 0.9 * std::exp(-i / 3.0) + 0.01 * std::sin(i * 0.7);
        ux[i] = std::log10(1.0 + xs[i]);
        uy[i] = std::log10(ys[i]);
    }
    const chart::AxisMap x{0, std::log10(10001.0), 40, 290}, y{std::log10(0.44), std::log10(1.4), 230, 30};
    const auto raw = chart::reduce_to_columns(xs, ys, x, y, chart::x_scale(true), chart::y_scale(true));
    const auto pre = chart::reduce_to_columns(ux, uy, x, y);
    ASSERT_EQ(raw.size(), pre.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        EXPECT_NEAR(raw[i].x(), pre[i].x(), 1e-9) << i;
        EXPECT_NEAR(raw[i].y(), pre[i].y(), 1e-9) << i;
    }
    EXPECT_LT(raw.size(), 4u * 251);

    // An error of 0 has no place on a log axis and is left out, not drawn at -inf.
    const std::vector<double> zx = {0, 1, 2}, zy = {1, 0, 0.5};
    const auto zero = chart::reduce_to_columns(zx, zy, x, y, chart::x_scale(true), chart::y_scale(true));
    ASSERT_EQ(zero.size(), 2u);
    for (const QPointF& p : zero) EXPECT_TRUE(std::isfinite(p.y()));
}

TEST(ChartClip, CurvesAreCutAtTheEdgeOfTheBox) {
    const QRectF box(0, 0, 100, 100);
    // In from the left, out through the bottom, back in, and out to the right.
    const std::vector<QPointF> line = {{-50, 50}, {50, 50}, {50, 150}, {60, 50}, {200, 50}};
    const auto pieces = chart::clip_polyline(line, box);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], (std::vector<QPointF>{{0, 50}, {50, 50}, {50, 100}}));
    EXPECT_EQ(pieces[1], (std::vector<QPointF>{{55, 100}, {60, 50}, {100, 50}}));
    for (const auto& piece : pieces)
        for (const QPointF& p : piece) EXPECT_TRUE(box.contains(p)) << p.x() << "," << p.y();
    // Wholly outside, far out (a deep zoom), and a lone point.
    EXPECT_TRUE(chart::clip_polyline(std::vector<QPointF>{{-1e12, -5}, {1e12, -5}}, box).empty());
    const auto across = chart::clip_polyline(std::vector<QPointF>{{-1e12, 50}, {1e12, 50}}, box);
    ASSERT_EQ(across.size(), 1u);
    EXPECT_EQ(across[0], (std::vector<QPointF>{{0, 50}, {100, 50}}));
    EXPECT_EQ(chart::clip_polyline(std::vector<QPointF>{{5, 5}}, box).size(), 1u);
    EXPECT_TRUE(chart::clip_polyline(std::vector<QPointF>{{5, 500}}, box).empty());
}

TEST(ChartSearch, PointsAreFoundByTheirX) {
    const std::vector<double> xs = epochs(10001);
    EXPECT_EQ(chart::nearest_index(xs, 2.4), 2u);
    EXPECT_EQ(chart::nearest_index(xs, 2.6), 3u);
    EXPECT_EQ(chart::nearest_index(xs, 2.5), 2u);  // a tie goes to the earlier point
    EXPECT_EQ(chart::nearest_index(xs, -7), 0u);
    EXPECT_EQ(chart::nearest_index(xs, 1e9), 10000u);
    EXPECT_EQ(chart::nearest_index(xs, NAN), std::nullopt);
    EXPECT_EQ(chart::nearest_index({}, 1), std::nullopt);

    // The points in view and one beyond each edge, so lines reach the edges.
    EXPECT_EQ(chart::visible_range(xs, 10.5, 20.5), index_range(10, 22));
    EXPECT_EQ(chart::visible_range(xs, 0, 5), index_range(0, 7));
    EXPECT_EQ(chart::visible_range(xs, -10, 1e6), index_range(0, 10001));
    EXPECT_EQ(chart::visible_range(xs, 20000, 30000), index_range(10000, 10001));
}
