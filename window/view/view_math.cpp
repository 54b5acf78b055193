#include "view_math.h"

#include <Qt>
#include <algorithm>
#include <cmath>
#include <vector>

namespace view {

QRect cell_rect(const QRect& area, int rows, int columns, int i) {
    const int r = i / columns, c = i % columns;
    // Edges from the same formula for neighbours, so cells tile without gaps.
    const int x0 = area.left() + area.width() * c / columns;
    const int x1 = area.left() + area.width() * (c + 1) / columns;
    const int y0 = area.top() + area.height() * r / rows;
    const int y1 = area.top() + area.height() * (r + 1) / rows;
    return QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
}

int cell_at(const QRect& area, int rows, int columns, QPoint p) {
    if (!area.contains(p) || rows <= 0 || columns <= 0) return -1;
    // The last row and column whose edge, as cell_rect puts it, is at or
    // before p: the largest r with floor(height * r / rows) <= dy.
    const int c = ((p.x() - area.left() + 1) * columns - 1) / area.width();
    const int r = ((p.y() - area.top() + 1) * rows - 1) / area.height();
    return r * columns + c;
}

int cell_moved(int i, int rows, int columns, int key) {
    int r = i / columns, c = i % columns;
    switch (key) {
        case Qt::Key_Left: c = std::max(c - 1, 0); break;
        case Qt::Key_Right: c = std::min(c + 1, columns - 1); break;
        case Qt::Key_Up: r = std::max(r - 1, 0); break;
        case Qt::Key_Down: r = std::min(r + 1, rows - 1); break;
        case Qt::Key_Home: return 0;
        case Qt::Key_End: return rows * columns - 1;
        default: return -1;
    }
    return r * columns + c;
}

std::optional<double> delta_position(float d) {
    const double magnitude = std::fabs(static_cast<double>(d));
    if (magnitude == 0 || !std::isfinite(magnitude)) return std::nullopt;
    const double decades = delta_highest_decade - delta_lowest_decade;
    return std::clamp((std::log10(magnitude) - delta_lowest_decade) / decades, 0.0, 1.0);
}

std::optional<double> median_magnitude(std::span<const float> values) {
    std::vector<double> magnitudes;
    magnitudes.reserve(values.size());
    for (float v : values)
        if (std::isfinite(v) && v != 0) magnitudes.push_back(std::fabs(static_cast<double>(v)));
    if (magnitudes.empty()) return std::nullopt;
    const size_t n = magnitudes.size();
    std::nth_element(magnitudes.begin(), magnitudes.begin() + n / 2, magnitudes.end());
    const double upper = magnitudes[n / 2];
    if (n % 2) return upper;
    const double lower = *std::max_element(magnitudes.begin(), magnitudes.begin() + n / 2);
    return (lower + upper) / 2;
}

}  // namespace view
