#include "view_colours.h"

#include <Qt>
#include <algorithm>
#include <cmath>

#include "contrast.h"

namespace view {

namespace {

QColor blend(const QColor& from, const QColor& to, double t) {
    auto mix = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()), mix(from.blue(), to.blue()));
}

const QColor paper(255, 255, 255);
const QColor ink(8, 48, 107);        // an output of 1, and the strongest positive weight
const QColor negative(165, 15, 21);  // the strongest negative weight
const QColor not_a_number(160, 160, 160);

}  // namespace

QColor output_colour(float y) {
    if (std::isnan(y)) return not_a_number;
    return blend(paper, ink, std::clamp(static_cast<double>(y), 0.0, 1.0));
}

QColor weight_colour(float w, float limit) {
    if (std::isnan(w) || !(limit > 0)) return not_a_number;
    const double t = std::min(std::fabs(static_cast<double>(w)) / limit, 1.0);
    return blend(paper, w < 0 ? negative : ink, t);
}

float weight_limit(std::span<const float> weights) {
    float limit = 1e-6f;
    for (float w : weights)
        if (std::isfinite(w)) limit = std::max(limit, std::fabs(w));
    return limit;
}

QColor bit_colour(float bit) { return bit == 1 ? QColor(0, 0, 0) : QColor(128, 128, 128); }

QColor text_colour_on(const QColor& fill) {
    // Rec. 601 luma: dark text on light fills, white on dark ones.
    const int luma = (299 * fill.red() + 587 * fill.green() + 114 * fill.blue()) / 1000;
    return luma >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

Colours colours(const QPalette& palette) {
    Colours c;
    c.panel = palette.color(QPalette::Base);
    c.mark = Readable(ink, c.panel);
    c.median = Readable(QColor(230, 120, 0), c.panel);
    c.window = palette.color(QPalette::Window);
    c.winner = Readable(QColor(230, 120, 0), c.window);
    c.selected = Readable(palette.color(QPalette::Highlight), c.window);
    c.gridline = Readable(palette.color(QPalette::Mid), c.window, 1.5);
    return c;
}

}  // namespace view
