// The chart's view as the user steers it: which part of the data the axes
// show (zoomed by a rubber band, the wheel or the keys, moved by panning)
// and where the read-out goes.
// All of it in axis positions (see Scale), as pure functions.
#pragma once

#include "chart_math.h"

#include <QPointF>
#include <QRectF>
#include <optional>
#include <utility>

namespace chart {

// The narrowest view, as a fraction of the full one: far below a single
// epoch of a training run, far above the rounding of doubles.
inline constexpr double kMinZoom = 1e-7;

// The zoom to keep when the user asks for `wanted` on an axis whose full
// view is `full`: none (back to the full view) once it covers the full view,
// otherwise at least kMinZoom of it wide and moved inside it, so zooming
// out and panning can never lose the data.
std::optional<Span> settle(Span wanted, Span full);

// `s` scaled by `factor` about the position `anchor`, which stays where it is
// on screen (factor < 1 zooms in).
Span zoom_about(Span s, double anchor, double factor);
Span shift(Span s, double by);

// The spans that a rubber band (in pixels, drawn either way round) selects
// on the axes, after cutting it to the axes' pixel extent. y pixels grow
// downwards, axis positions upwards.
std::pair<Span, Span> band_to_spans(const QRectF& band, const AxisMap& x, const AxisMap& y);

// A press and release no more than this many pixels apart, either way, is a
// click, not a drag.
inline constexpr double kClickSlop = 4;

enum class Drag {
    Click,    // hardly moved: the chart's click
    ZoomIn,   // down and to the right: zoom to the band
    ZoomOut,  // up and to the left: back to the full view
    Nothing,  // the two other diagonals
};
Drag classify_drag(QPointF from, QPointF to);

// A zoom kept across a change of scale: the same data values on the new
// axis, or none when the new scale cannot show them.
std::optional<Span> rescale(std::optional<Span> zoom, Scale from, Scale to);

// Where a read-out box of `box` size goes: within `room` (the chart less
// its title and legend), beside the cursor on the side that has room for it,
// below the cursor or else above it. Where neither side has room, on the
// side with more of it, as far from the cursor as the room allows.
QPointF readout_position(QPointF cursor, QSizeF box, const QRectF& bounds);

}  // namespace chart
