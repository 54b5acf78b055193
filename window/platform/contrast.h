// Colours that stay readable on whatever background the desktop's palette
// gives: the contrast ratio of two colours as WCAG 2 defines it (1 for the
// same colour, 21 for black on white), and the nearest colour to a preferred
// one that reaches a ratio.
#pragma once

#include <QColor>
#include <QPalette>

// At least 3:1 for marks, frames and lines that must be seen; 4.5:1 for text.
inline constexpr double graphics_contrast = 3.0;
inline constexpr double text_contrast = 4.5;

// (L1 + 0.05) / (L2 + 0.05) of the two colours' relative luminances, the
// lighter one's over the darker one's. Alpha is ignored: pass colours as
// they end up on the screen.
double ContrastRatio(const QColor& a, const QColor& b);

// `preferred` where it has `ratio` against `background`; else that colour
// blended the least way towards white or black that reaches the ratio
// (black or white themselves where no blend does).
QColor Readable(const QColor& preferred, const QColor& background, double ratio = graphics_contrast);

// The colours of a read-out (the value under the pointer), the chart's box
// and the network view's strip alike: the desktop's tooltip colours where
// their text is readable, else the window's.
struct ReadoutColours {
    QColor background, text;
};
ReadoutColours ReadoutColoursOf(const QPalette& palette);
