#include "chart_layout.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace chart {

namespace {

using Fits = std::function<bool(const Ticks&)>;

// The legend: at the right-hand side, from the plot's top, as many rows as
// fit. Returns the x that the plot and its labels stay left of.
double place_legend(const LayoutInput& in, const TextMetrics& text, double top, double bottom, Layout& l) {
    const double lh = text.line_height;
    const double width = in.size.width();
    const int series = static_cast<int>(in.legend.size());
    l.legendRows = std::clamp(static_cast<int>((bottom - top - 8) / lh), 0, series);
    if (l.legendRows == 0) return width - kMargin;
    double widest = 0;
    for (int i = 0; i < l.legendRows; ++i) widest = std::max(widest, text.width(in.legend[i]));
    const double w = std::ceil(std::min(kSample + widest + 16, width * 0.35));
    l.legend = QRectF(width - kMargin - 2 - w, top, w, std::round(l.legendRows * lh + 6));
    return l.legend.left() - kMargin;
}

// The step every axis takes: the ticks of what it shows, its zoom or, in the
// full view, the whole of the data (`extent`, in axis positions) and a
// margin beyond it - a linear axis out to nice ends where they are near -
// and that full view.
AxisLayout lay_axis(const AxisState& a, std::pair<double, double> extent, int max_ticks, const Fits& fits) {
    const auto [lo, hi] = axis_span(extent.first, extent.second);
    const double margin = extent.first <= extent.second ? kAxisMargin : 0;  // none without data
    const AxisView full{a.scale, {lo, hi}, true, margin};
    AxisLayout out;
    out.scale = a.scale;
    if (!a.zoom) {
        out.ticks = choose_ticks(full, max_ticks, fits);
        out.full = {out.ticks.lo, out.ticks.hi};
        return out;
    }
    out.ticks = choose_ticks({a.scale, *a.zoom, false}, max_ticks, fits);
    const Ticks t = choose_ticks(full, max_ticks, fits);  // as the full view would have it
    out.full = {t.lo, t.hi};
    return out;
}

double widest_label(const Ticks& t, const TextMetrics& text) {
    double w = 0;
    for (const QString& label : t.labels) w = std::max(w, text.width(label));
    return w;
}

// Vertical axis: a label every ~1.5 lines, from `top` down to `bottom`.
AxisLayout vertical_axis(const LayoutInput& in, const TextMetrics& text, double top, double bottom) {
    const double lh = text.line_height;
    const double pixels = bottom - top;
    auto fits = [&](const Ticks& t) {  // uneven (logarithmic) ticks too
        const double k = pixels / (t.hi - t.lo);
        for (std::size_t i = 1; i < t.values.size(); ++i)
            if ((t.values[i] - t.values[i - 1]) * k < lh * 1.2) return false;
        return true;
    };
    const int labels = static_cast<int>(pixels / (lh * 1.5)) + 1;
    return lay_axis(in.y, shown_extent(in.range, false, in.y.scale), labels, fits);
}

// Horizontal axis: as many labels as fit side by side, 6 px apart, between
// `left` (where the vertical axis' labels end) and `boundary`, less the depth.
// Returns the axis and the front face's left and right edges.
std::tuple<AxisLayout, double, double> horizontal_axis(const LayoutInput& in, const TextMetrics& text,
                                                       double left, double boundary, double depth) {
    auto edges = [&](const Ticks& t) {
        // Room at the ends for the halves of labels on or near the edges.
        const double first = t.labels.empty() ? 0 : text.width(t.labels.front()) / 2;
        const double last = t.labels.empty() ? 0 : text.width(t.labels.back()) / 2;
        return std::pair(std::max(left, std::ceil(kMargin + first)),
                         std::round(boundary - std::max(2.0, last - depth)));
    };
    auto fits = [&](const Ticks& t) {
        const auto [l, r] = edges(t);
        const double k = (r - depth - l) / (t.hi - t.lo);
        for (std::size_t i = 1; i < t.values.size(); ++i) {
            const double room = std::max(text.width(t.labels[i - 1]), text.width(t.labels[i])) + 6;
            if ((t.values[i] - t.values[i - 1]) * k < room) return false;
        }
        return true;
    };
    AxisLayout a = lay_axis(in.x, shown_extent(in.range, true, in.x.scale), 11, fits);
    const auto [l, r] = edges(a.ticks);
    return {std::move(a), l, r};
}

}  // namespace

Layout layout(const LayoutInput& in, const TextMetrics& text) {
    Layout l;
    const double lh = text.line_height;
    const int series = static_cast<int>(in.legend.size());

    // Half a line above the plot keeps the top axis label clear of the title.
    const double top = std::round(kMargin + in.title_lines * lh + lh / 2 + 2);
    const double bottom = std::round(in.size.height() - kMargin - lh - kTick - 2);
    const double boundary = place_legend(in, text, top, bottom, l);

    // The depth comes from a first guess at the plot's width; labels change
    // that width by a few pixels only.
    if (in.view3d) l.depth3d = depth_3d(QSizeF(boundary - 50, bottom - top), series);
    const QPointF d = oblique_offset(l.depth3d.total);
    l.depth = QPointF(std::round(d.x()), std::round(d.y()));

    // The vertical axis' widest label sets where the horizontal one may begin.
    l.y = vertical_axis(in, text, top - l.depth.y(), bottom);
    const double labelsEnd = std::round(kMargin + widest_label(l.y.ticks, text) + kTick + 3);
    double left = 0, right = 0;
    std::tie(l.x, left, right) = horizontal_axis(in, text, labelsEnd, boundary, l.depth.x());

    l.plot = QRectF(QPointF(left, top), QPointF(right, bottom));
    l.front = l.plot.adjusted(0, -l.depth.y(), -l.depth.x(), 0);
    l.x.map = {l.x.ticks.lo, l.x.ticks.hi, l.front.left(), l.front.right()};
    l.y.map = {l.y.ticks.lo, l.y.ticks.hi, l.front.bottom(), l.front.top()};
    return l;
}

}  // namespace chart
