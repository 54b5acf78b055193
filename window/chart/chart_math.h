// The chart's arithmetic: data ranges, axis ticks, data-to-pixel mapping,
// the per-pixel-column reduction of long series and the 3-D projection.
// Nothing here draws; the widget only paints what these functions return.
#pragma once

#include <QPointF>
#include <QSizeF>
#include <QString>
#include <limits>
#include <span>
#include <utility>
#include <vector>

namespace chart {

// Bounds of a set of points. Starts inverted (empty); points that are not
// finite are ignored, so one NaN cannot wreck the axes.
struct DataRange {
    double xmin = std::numeric_limits<double>::infinity();
    double xmax = -std::numeric_limits<double>::infinity();
    double ymin = std::numeric_limits<double>::infinity();
    double ymax = -std::numeric_limits<double>::infinity();

    bool empty() const { return xmin > xmax; }
    void include(double x, double y);
    void merge(const DataRange& other);
};

DataRange data_range(std::span<const double> xs, std::span<const double> ys);

// The span an axis must show for data from lo to hi: an empty range gives
// 0..1, a flat one is widened around its value so it still has an extent.
std::pair<double, double> axis_span(double lo, double hi);

// An axis from lo to hi with ticks at a "nice" step (1, 2 or 5 times a power
// of ten): every multiple of the step on the axis, at most max_ticks of them.
// As in the classic chart components the axis spans the data, and an end
// moves out to the next tick only when that wastes little room (so wide
// labels never shrink the plot to half) or when fewer than two ticks would
// lie inside the data (then both ends do, giving two or three ticks).
struct Ticks {
    double lo = 0;  // the axis' ends
    double hi = 1;
    double step = 1;
    int decimals = 0;  // digits after the point that the step needs
    std::vector<double> values;
};

Ticks nice_ticks(double lo, double hi, int max_ticks);

// A tick value as a label: no float noise (0.0105, not 0.010500000001),
// trailing zeros dropped, never "-0"; huge or tiny values in exponent form.
QString tick_label(double value, const Ticks& ticks);

// Linear map from axis values lo..hi to pixels p0..p1. For a vertical axis
// p0 is the bottom pixel, so larger values go up the screen.
struct AxisMap {
    double lo = 0, hi = 1;
    double p0 = 0, p1 = 1;
    // Pixels per unit; 0 on a degenerate axis, which maps everything to its middle.
    double scale() const { return hi == lo ? 0 : (p1 - p0) / (hi - lo); }
    double to_pixel(double v) const { return hi == lo ? (p0 + p1) / 2 : p0 + (v - lo) * scale(); }
};

// Reduces a series to what whole pixel columns can show: each run of
// consecutive points that land in one column becomes its first, lowest,
// highest and last point, in their original order. The polyline through the
// result covers the same pixels as the full one, so drawing costs O(columns)
// for x-ordered data; unordered data stays correct, it just reduces less.
// Points that are not finite are skipped.
std::vector<QPointF> reduce_to_columns(std::span<const double> xs, std::span<const double> ys,
                                       const AxisMap& x, const AxisMap& y);

// The extent of a polyline in each whole pixel column from first_column to
// last_column (others are left out): top and bottom, in screen y, of its
// part in that column; top > bottom where it does not pass.
struct ColumnSpans {
    int first = 0;  // the column of spans[0]
    std::vector<std::pair<double, double>> spans;
};

ColumnSpans column_spans(std::span<const QPointF> line, int first_column, int last_column);

// The side of a 3-D ribbon: the polyline of `columns` swept `depth` pixels up
// and to the right (one row up per column), as closed staircase outlines,
// one per stretch of adjacent columns. Filled, they draw the whole sweep with
// one polygon instead of one per segment.
std::vector<std::vector<QPointF>> ribbon_outline(const ColumnSpans& columns, int depth);

// 3-D: an oblique projection at 45 degrees. Depth z (pixels into the screen)
// moves a point up and to the right; each series gets its own slab of depth.
QPointF oblique_offset(double z);

struct Depth3D {
    double per_series = 0;
    double total = 0;
};

// How deep the chart box is for `series_count` series in a plot of `plot`
// size: about 15% of its width, a few pixels per series, and never so deep
// that the front face gets cramped.
Depth3D depth_3d(QSizeF plot, int series_count);

// Screen offsets of the front and back edges of the ribbon of series `index`;
// series 0 is in front.
std::pair<QPointF, QPointF> ribbon_offsets(int index, const Depth3D& depth);

}  // namespace chart
