#include "chart_layout.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace chart {

Layout layout(const LayoutInput& in, const TextMetrics& text) {
    Layout l;
    const double lh = text.line_height;
    const double width = in.size.width(), height = in.size.height();
    const int series = static_cast<int>(in.legend.size());

    // Half a line above the plot keeps the top axis label clear of the title.
    const double top = std::round(kMargin + in.title_lines * lh + lh / 2 + 2);
    const double bottom = std::round(height - kMargin - lh - kTick - 2);

    // Legend: right-hand side, from the plot's top, as many rows as fit.
    l.legendRows = std::clamp(static_cast<int>((bottom - top - 8) / lh), 0, series);
    double boundary = width - kMargin;  // the plot and its labels stay left of this
    if (l.legendRows > 0) {
        double widest = 0;
        for (int i = 0; i < l.legendRows; ++i) widest = std::max(widest, text.width(in.legend[i]));
        const double w = std::ceil(std::min(kSample + widest + 16, width * 0.35));
        l.legend = QRectF(width - kMargin - 2 - w, top, w, std::round(l.legendRows * lh + 6));
        boundary = l.legend.left() - kMargin;
    }

    // The depth comes from a first guess at the plot's width; labels change
    // that width by a few pixels only.
    if (in.view3d) l.depth3d = depth_3d(QSizeF(boundary - 50, bottom - top), series);
    const QPointF d = oblique_offset(l.depth3d.total);
    l.depth = QPointF(std::round(d.x()), std::round(d.y()));

    // Each axis shows its zoom or, in the full view, the whole of the data:
    // a linear one out to nice ends, a logarithmic one as it stands.
    auto full_view = [&](bool x_axis) {
        const Scale s = x_axis ? in.xscale : in.yscale;
        const auto [lo, hi] = shown_extent(in.range, x_axis, s);
        AxisView a{s, {lo, hi}, true};
        if (s.log) std::tie(a.span.lo, a.span.hi) = axis_span(lo, hi);
        return a;
    };
    auto zoomed = [](AxisView a, const std::optional<Span>& zoom) {
        if (zoom) a.span = *zoom, a.full = false;
        return a;
    };
    auto any = [](const Ticks&) { return true; };
    auto full_span = [&](const AxisView& a, int max_ticks) {
        if (a.scale.log) return a.span;
        const Ticks t = choose_ticks(a, max_ticks, any);
        return Span{t.lo, t.hi};
    };

    // Vertical axis: a label every ~1.5 lines; its widest label sets the left edge.
    const double frontTop = top - l.depth.y();
    const double yPixels = bottom - frontTop;
    const int yLabels = static_cast<int>(yPixels / (lh * 1.5)) + 1;
    const AxisView yFull = full_view(false);
    auto yFits = [&](const Ticks& t) {  // uneven (logarithmic) ticks too
        const double k = yPixels / (t.hi - t.lo);
        for (std::size_t i = 1; i < t.values.size(); ++i)
            if ((t.values[i] - t.values[i - 1]) * k < lh * 1.2) return false;
        return true;
    };
    l.yTicks = choose_ticks(zoomed(yFull, in.yzoom), yLabels, yFits);
    l.fullY = in.yzoom ? full_span(yFull, yLabels) : Span{l.yTicks.lo, l.yTicks.hi};
    auto widest = [&](const Ticks& t) {
        double w = 0;
        for (const QString& label : t.labels) w = std::max(w, text.width(label));
        return w;
    };
    const double yLabelsLeft = std::round(kMargin + widest(l.yTicks) + kTick + 3);

    // Horizontal axis: as many labels as fit side by side, 6 px apart.
    auto edges = [&](const Ticks& t) {
        // Room at the ends for the halves of labels on or near the edges.
        const double first = t.labels.empty() ? 0 : text.width(t.labels.front()) / 2;
        const double last = t.labels.empty() ? 0 : text.width(t.labels.back()) / 2;
        return std::pair(std::max(yLabelsLeft, std::ceil(kMargin + first)),
                         std::round(boundary - std::max(2.0, last - l.depth.x())));
    };
    auto xFits = [&](const Ticks& t) {
        const auto [left, right] = edges(t);
        const double k = (right - l.depth.x() - left) / (t.hi - t.lo);
        for (std::size_t i = 1; i < t.values.size(); ++i) {
            const double room = std::max(text.width(t.labels[i - 1]), text.width(t.labels[i])) + 6;
            if ((t.values[i] - t.values[i - 1]) * k < room) return false;
        }
        return true;
    };
    const AxisView xFull = full_view(true);
    l.xTicks = choose_ticks(zoomed(xFull, in.xzoom), 11, xFits);
    l.fullX = in.xzoom ? full_span(xFull, 11) : Span{l.xTicks.lo, l.xTicks.hi};
    const auto [left, right] = edges(l.xTicks);

    l.plot = QRectF(QPointF(left, top), QPointF(right, bottom));
    l.front = l.plot.adjusted(0, -l.depth.y(), -l.depth.x(), 0);
    l.xMap = {l.xTicks.lo, l.xTicks.hi, l.front.left(), l.front.right()};
    l.yMap = {l.yTicks.lo, l.yTicks.hi, l.front.bottom(), l.front.top()};
    return l;
}

}  // namespace chart
