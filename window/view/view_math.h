// The network view's arithmetic: where each panel and each cell sits, which
// cell a point hits, where an arrow key moves, and the colour scales of
// outputs, weights and delta magnitudes. Nothing here draws; the widgets
// paint what these functions return.
#pragma once

#include <QColor>
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

// Outputs from 0 to 1: white to deep blue, like ink on paper. Gray for a
// value that is not a number.
QColor output_colour(float y);
// Weights by sign and size: red below zero, blue above, paler the nearer to
// zero, full at +-limit and beyond.
QColor weight_colour(float w, float limit);
// The largest |w| of the values, at least a tiny positive floor so that a
// scale of all-zero weights still has an extent.
float weight_limit(std::span<const float> weights);
// A text colour readable on the fill.
QColor text_colour_on(const QColor& fill);

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

// Where the window's parts go; the window has this fixed size.
inline constexpr QSize view_size{900, 600};
struct Layout {
    QRect layers[3];      // input (4 x 9), hidden (17 in a column), output (10 in a column)
    QRect output_legend;  // 0..1, bottom to top
    QRect incoming;       // the selected neuron's incoming weights: 36 as 4 x 9
    QRect incoming_column;  // ... or an output neuron's 17 in a column
    QRect outgoing;       // ... and its outgoing ones
    QRect weight_legend;  // -limit..+limit, left to right
    QRect heat_maps[3];   // each layer's weights: a row per neuron, a column per input
    QRect deltas;         // the delta magnitudes on their logarithmic scale
    QRect read_out;       // the value under the mouse, a strip along the bottom
};
Layout view_layout();

}  // namespace view
