// Where everything of the chart goes for a given size, data and view: the
// title's room, the legend, the axes with their ticks and the plot, and in
// 3-D the depth of the box. A pure function of its inputs; the widget only
// draws what it returns.
#pragma once

#include <QRectF>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "chart_math.h"
#include "chart_ticks.h"
#include "chart_view.h"

namespace chart {

inline constexpr double kMargin = 6;   // between the panel's edge and anything on it
inline constexpr double kTick = 4;     // axis tick length, outwards
inline constexpr double kSample = 20;  // the legend's colour line
// The full view of an axis reaches this share of the data's span beyond
// each end of the data, so that no curve runs along the plot's frame.
inline constexpr double kAxisMargin = 0.05;

// How texts measure in the chart's font.
struct TextMetrics {
    std::function<double(const QString&)> width;  // advance width in pixels
    double line_height = 13;
};

// One axis as the chart is asked to show it.
struct AxisState {
    Scale scale;
    std::optional<Span> zoom;  // in axis positions; none: the full view
};

struct LayoutInput {
    QSizeF size;  // the whole chart
    int title_lines = 0;
    std::vector<QString> legend;  // one text per shown series, in order
    DataRange range;              // of every shown series
    bool view3d = false;
    AxisState x, y;  // epochs across, errors up
};

// One axis as laid out.
struct AxisLayout {
    Scale scale;  // the one asked for
    Ticks ticks;
    AxisMap map;  // axis positions (Scale::to_axis) to pixels
    Span full;    // what the axis shows when not zoomed
};

struct Layout {
    QRectF plot;    // the whole plotting box, its depth included
    QRectF front;   // the face the data maps onto (depth 0); the plot itself in 2-D
    QPointF depth;  // screen offset from the front face to the back wall
    Depth3D depth3d;
    AxisLayout x, y;
    QRectF legend;
    int legendRows = 0;  // the series that fit into the legend

    bool drawable() const { return front.width() >= 8 && front.height() >= 8; }
};

Layout layout(const LayoutInput& in, const TextMetrics& text);

}  // namespace chart
