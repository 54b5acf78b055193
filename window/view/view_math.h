// The network view's arithmetic: where each cell sits, which cell a point
// hits, where an arrow key moves, and where a delta lies on its logarithmic
// scale. Nothing here draws; the widgets paint what these functions return.
// The colours are in view_colours.h.
#pragma once

#include <QPoint>
#include <QRect>
#include <optional>
#include <span>

namespace view {

// A grid of rows x columns cells filling area; cell i is at row i / columns,
// column i % columns, as the bit map numbers its cells.
QRect cell_rect(const QRect& area, int rows, int columns, int i);
// The cell under p, or -1 off the grid.
int cell_at(const QRect& area, int rows, int columns, QPoint p);
// The cell an arrow key (a Qt::Key) moves to from cell i; at an edge it stays.
// Any other key gives -1.
int cell_moved(int i, int rows, int columns, int key);

// The decades the delta scale spans: |delta| from 1E-14 to 1E0.
inline constexpr int delta_lowest_decade = -14;
inline constexpr int delta_highest_decade = 0;
// Where |d| lies on that scale, from 0 (left) to 1 (right), clamped at the
// ends; none for a zero or a value that is not finite, which a logarithmic
// scale cannot place.
std::optional<double> delta_position(float d);

// The median of the finite, non-zero |values|: where a layer's deltas sit
// on the scale. None if there is no such value.
std::optional<double> median_magnitude(std::span<const float> values);

}  // namespace view
