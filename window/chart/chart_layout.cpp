#include "chart_layout.h"

#include <algorithm>
#include <cmath>

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

    // Vertical axis: a label every ~1.5 lines; its widest label sets the left edge.
    const double frontTop = top - l.depth.y();
    const int yLabels = static_cast<int>((bottom - frontTop) / (lh * 1.5)) + 1;
    l.yTicks = nice_ticks(in.range.ymin, in.range.ymax, yLabels);
    auto widest = [&](const Ticks& t) {
        double w = 0;
        for (double v : t.values) w = std::max(w, text.width(tick_label(v, t)));
        return w;
    };
    const double yLabelsLeft = std::round(kMargin + widest(l.yTicks) + kTick + 3);

    // Horizontal axis: as many labels as fit side by side.
    double left = yLabelsLeft, right = boundary;
    for (int maxTicks = 11;;) {
        l.xTicks = nice_ticks(in.range.xmin, in.range.xmax, maxTicks);
        const double xw = widest(l.xTicks);
        // Room at the ends for the halves of labels on or near the edges.
        auto half = [&](double v) { return text.width(tick_label(v, l.xTicks)) / 2; };
        left = std::max(yLabelsLeft, std::ceil(kMargin + half(l.xTicks.values.front())));
        right = std::round(boundary - std::max(2.0, half(l.xTicks.values.back()) - l.depth.x()));
        const double frontWidth = right - l.depth.x() - left;
        const int count = static_cast<int>(l.xTicks.values.size());
        if (maxTicks <= 2 || (count - 1) * (xw + 6) <= frontWidth) break;  // centred labels, 6 px apart
        maxTicks = count - 1;
    }

    l.plot = QRectF(QPointF(left, top), QPointF(right, bottom));
    l.front = l.plot.adjusted(0, -l.depth.y(), -l.depth.x(), 0);
    l.xMap = {l.xTicks.lo, l.xTicks.hi, l.front.left(), l.front.right()};
    l.yMap = {l.yTicks.lo, l.yTicks.hi, l.front.bottom(), l.front.top()};
    return l;
}

}  // namespace chart
