// Every colour of the network view in one place: the scales that colour the
// cells (outputs, weights), which the legends draw from too, and the marks
// and frames, made readable on the palette's backgrounds, light or dark.
#pragma once

#include <QColor>
#include <QPalette>
#include <span>

namespace view {

// Outputs from 0 to 1: white to deep blue, like ink on paper. Gray for a
// value that is not a number.
QColor output_colour(float y);
// Weights by sign and size: red below zero, blue above, paler the nearer to
// zero, full at +-limit and beyond.
QColor weight_colour(float w, float limit);
// The largest |w| of the values, at least a tiny positive floor so that a
// scale of all-zero weights still has an extent.
float weight_limit(std::span<const float> weights);
// A bit as the form's cells show it: black for 1, gray for 0.
QColor bit_colour(float bit);
// A text colour readable on the fill; also the inner line of a frame drawn
// on a cell of that fill.
QColor text_colour_on(const QColor& fill);

// The colours drawn on the palette's backgrounds, each at least 3:1 against
// the background it is drawn on.
struct Colours {
    QColor panel;     // the delta scale's background (the palette's Base)
    QColor mark;      // a delta, on the panel
    QColor median;    // a layer's median delta, on the panel
    QColor window;    // behind the grids (the palette's Window)
    QColor winner;    // the frame round the recognised digit, on the window
    QColor selected;  // the frame round the neuron whose weights are shown, on the window
    QColor gridline;  // between cells, on the window
};
Colours colours(const QPalette& palette);

}  // namespace view
