// The chart's arithmetic: data ranges, axis scales, data-to-pixel
// mapping, the per-pixel-column reduction of long series, clipping, the
// search for points by x and the 3-D projection. Nothing here draws; the
// widget only paints what these functions return.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace chart {

// How an axis places data values v at axis positions: as they are, or
// logarithmically as log10(offset + v). Zoom, pan and ticks work on the
// positions, so a logarithmic axis zooms evenly across its decades.
struct Scale {
    bool log = false;
    double offset = 0;

    // Whether v has a place on the axis at all (a log axis has none at or
    // below -offset).
    bool shows(double v) const { return std::isfinite(v) && (!log || v > -offset); }
    double to_axis(double v) const { return log ? std::log10(offset + v) : v; }
    double from_axis(double u) const { return log ? std::pow(10.0, u) - offset : u; }
};

// x counts epochs from 0, so its logarithmic axis is log10(1 + x) and still
// shows epoch 0; y (an error) is plain log10(y).
inline constexpr double kLogOffsetX = 1;
inline constexpr double kLogOffsetY = 0;
inline Scale x_scale(bool log) { return {log, log ? kLogOffsetX : 0}; }
inline Scale y_scale(bool log) { return {log, log ? kLogOffsetY : 0}; }

// An interval of axis positions.
struct Span {
    double lo = 0, hi = 1;
    double width() const { return hi - lo; }
    bool operator==(const Span&) const = default;
};

// Bounds of a set of points. Starts inverted (empty); points that are not
// finite are ignored, so one NaN cannot wreck the axes.
struct DataRange {
    double xmin = std::numeric_limits<double>::infinity();
    double xmax = -std::numeric_limits<double>::infinity();
    double ymin = std::numeric_limits<double>::infinity();
    double ymax = -std::numeric_limits<double>::infinity();
    // The smallest values the logarithmic axes can show (x > -1, y > 0).
    double xmin_log = std::numeric_limits<double>::infinity();
    double ymin_log = std::numeric_limits<double>::infinity();

    bool empty() const { return xmin > xmax; }
    void include(double x, double y);
    void merge(const DataRange& other);
};

DataRange data_range(std::span<const double> xs, std::span<const double> ys);

// Whether epochs from r read better on a logarithmic axis: when they run
// over two decades of log10(1 + x) or more, a linear axis squeezes the first
// ones, where a training run's errors fall, into a few pixels.
bool wants_log_epochs(const DataRange& r);

// The extent of the data on one axis in axis positions, lo > hi when the
// axis' scale can show none of it.
std::pair<double, double> shown_extent(const DataRange& r, bool x_axis, Scale s);

// The span an axis must show for data from lo to hi: an empty range gives
// 0..1, a flat one is widened around its value so it still has an extent.
std::pair<double, double> axis_span(double lo, double hi);

// Linear map from axis values lo..hi to pixels p0..p1. For a vertical axis
// p0 is the bottom pixel, so larger values go up the screen.
struct AxisMap {
    double lo = 0, hi = 1;
    double p0 = 0, p1 = 1;
    // Pixels per unit; 0 on a degenerate axis, which maps everything to its middle.
    double scale() const { return hi == lo ? 0 : (p1 - p0) / (hi - lo); }
    double to_pixel(double v) const { return hi == lo ? (p0 + p1) / 2 : p0 + (v - lo) * scale(); }
    // The axis value at a pixel; the middle of the axis on a degenerate one.
    double from_pixel(double p) const {
        return p1 == p0 || hi == lo ? (lo + hi) / 2 : lo + (p - p0) / scale();
    }
};

// Reduces a series to what whole pixel columns can show: each run of
// consecutive points that land in one column becomes its first, lowest,
// highest and last point, in their original order. The polyline through the
// result covers the same pixels as the full one, so drawing costs O(columns)
// for x-ordered data; unordered data stays correct, it just reduces less.
// Points that are not finite, or that a logarithmic scale cannot show, are
// skipped. The scales turn data into axis values first; only the few points
// kept are transformed, so a logarithmic axis costs no more per point.
std::vector<QPointF> reduce_to_columns(std::span<const double> xs, std::span<const double> ys,
                                       const AxisMap& x, const AxisMap& y, Scale sx = {}, Scale sy = {});

// The pieces of a polyline that lie inside `box`, each a polyline of its own:
// a segment that leaves the box is cut where it crosses the edge, so every
// point returned lies inside (edges included). A single point is kept when
// it lies inside.
std::vector<std::vector<QPointF>> clip_polyline(std::span<const QPointF> line, const QRectF& box);

// For x values in increasing order (as a training run appends them):
// the index range [first, last) of the points from lo to hi, widened by one
// point on each side so that lines leaving the range are still drawn to its
// edges; found by binary search.
std::pair<std::size_t, std::size_t> visible_range(std::span<const double> xs, double lo, double hi);

// For x values in increasing order: the index of the point whose x lies
// nearest to `x` (the earlier one on a tie), by binary search; none for an
// empty series or a NaN x.
std::optional<std::size_t> nearest_index(std::span<const double> xs, double x);

// The extent of a polyline in each whole pixel column from first_column to
// last_column (others are left out): top and bottom, in screen y, of its
// part in that column; top > bottom where it does not pass.
struct ColumnSpans {
    int first = 0;  // the column of spans[0]
    std::vector<std::pair<double, double>> spans;
};

ColumnSpans column_spans(std::span<const QPointF> line, int first_column, int last_column);
// The same for several pieces of one line (as clipping leaves them).
ColumnSpans column_spans(const std::vector<std::vector<QPointF>>& pieces, int first_column, int last_column);

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
