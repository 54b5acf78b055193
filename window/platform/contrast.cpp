#include "contrast.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

double linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c) {
    const QColor rgb = c.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

QColor blend(const QColor& from, const QColor& to, double t) {
    auto mix = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()), mix(from.blue(), to.blue()));
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Readable(const QColor& preferred, const QColor& background, double ratio) {
    const QColor opaque = preferred.toRgb();
    if (ContrastRatio(opaque, background) >= ratio)
        return QColor(opaque.red(), opaque.green(), opaque.blue());
    // Away from the background: towards white on a dark one, black on a light
    // one, trying the other way only where that one falls short.
    const bool dark = luminance(background) < 0.18;
    for (const QColor& end : dark ? std::initializer_list<QColor>{Qt::white, Qt::black}
                                  : std::initializer_list<QColor>{Qt::black, Qt::white}) {
        if (ContrastRatio(end, background) < ratio) continue;
        // The least blend that reaches the ratio, in steps of 1/64; the ratio
        // may first fall on the way (navy towards white over dark gray).
        for (int step = 1; step <= 64; ++step) {
            const QColor c = blend(opaque, end, step / 64.0);
            if (ContrastRatio(c, background) >= ratio) return c;
        }
    }
    return ContrastRatio(Qt::white, background) >= ContrastRatio(Qt::black, background) ? QColor(Qt::white)
                                                                                        : QColor(Qt::black);
}

ReadoutColours ReadoutColoursOf(const QPalette& palette) {
    const QColor tipBase = palette.color(QPalette::ToolTipBase),
                 tipText = palette.color(QPalette::ToolTipText);
    if (ContrastRatio(tipBase, tipText) >= text_contrast) return {tipBase, tipText};
    return {palette.color(QPalette::Base),
            Readable(palette.color(QPalette::Text), palette.color(QPalette::Base), text_contrast)};
}
