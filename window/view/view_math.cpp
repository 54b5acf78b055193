#include "view_math.h"

#include <Qt>
#include <algorithm>
#include <cmath>
#include <vector>

namespace view {

QRect cell_rect(const QRect& area, int rows, int columns, int i)
{
    const int r = i / columns, c = i % columns;
    // Edges from the same formula for neighbours, so cells tile without gaps.
    const int x0 = area.left() + area.width() * c / columns;
    const int x1 = area.left() + area.width() * (c + 1) / columns;
    const int y0 = area.top() + area.height() * r / rows;
    const int y1 = area.top() + area.height() * (r + 1) / rows;
    return QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
}

int cell_at(const QRect& area, int rows, int columns, QPoint p)
{
    if (!area.contains(p) || rows <= 0 || columns <= 0)
        return -1;
    // The last row and column whose edge, as cell_rect puts it, is at or
    // before p: the largest r with floor(height * r / rows) <= dy.
    const int c = ((p.x() - area.left() + 1) * columns - 1) / area.width();
    const int r = ((p.y() - area.top() + 1) * rows - 1) / area.height();
    return r * columns + c;
}

int cell_moved(int i, int rows, int columns, int key)
{
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

namespace {

QColor blend(const QColor& from, const QColor& to, double t)
{
    auto mix = [t](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * t)); };
    return QColor(mix(from.red(), to.red()), mix(from.green(), to.green()), mix(from.blue(), to.blue()));
}

const QColor paper(255, 255, 255);
const QColor ink(8, 48, 107);       // an output of 1, and the strongest positive weight
const QColor negative(165, 15, 21);  // the strongest negative weight
const QColor not_a_number(160, 160, 160);

} // namespace

QColor output_colour(float y)
{
    if (std::isnan(y))
        return not_a_number;
    return blend(paper, ink, std::clamp(static_cast<double>(y), 0.0, 1.0));
}

QColor weight_colour(float w, float limit)
{
    if (std::isnan(w) || !(limit > 0))
        return not_a_number;
    const double t = std::min(std::fabs(static_cast<double>(w)) / limit, 1.0);
    return blend(paper, w < 0 ? negative : ink, t);
}

float weight_limit(std::span<const float> weights)
{
    float limit = 1e-6f;
    for (float w : weights)
        if (std::isfinite(w))
            limit = std::max(limit, std::fabs(w));
    return limit;
}

QColor text_colour_on(const QColor& fill)
{
    // Rec. 601 luma: dark text on light fills, white on dark ones.
    const int luma = (299 * fill.red() + 587 * fill.green() + 114 * fill.blue()) / 1000;
    return luma >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

std::optional<double> delta_position(float d)
{
    const double magnitude = std::fabs(static_cast<double>(d));
    if (magnitude == 0 || !std::isfinite(magnitude))
        return std::nullopt;
    const double decades = delta_highest_decade - delta_lowest_decade;
    return std::clamp((std::log10(magnitude) - delta_lowest_decade) / decades, 0.0, 1.0);
}

std::optional<double> median_magnitude(std::span<const float> values)
{
    std::vector<double> magnitudes;
    magnitudes.reserve(values.size());
    for (float v : values)
        if (std::isfinite(v) && v != 0)
            magnitudes.push_back(std::fabs(static_cast<double>(v)));
    if (magnitudes.empty())
        return std::nullopt;
    const size_t n = magnitudes.size();
    std::nth_element(magnitudes.begin(), magnitudes.begin() + n / 2, magnitudes.end());
    const double upper = magnitudes[n / 2];
    if (n % 2)
        return upper;
    const double lower = *std::max_element(magnitudes.begin(), magnitudes.begin() + n / 2);
    return (lower + upper) / 2;
}

Layout view_layout()
{
    Layout l;
    // Top row: the three layers side by side with the output scale, then the
    // selected neuron's weights, then the deltas. Each part has a title in
    // the 20 pixels above it, each group one more above that.
    l.layers[0] = QRect(16, 52, 4 * 24, 9 * 24);
    l.layers[1] = QRect(144, 52, 24, 17 * 14);
    l.layers[2] = QRect(200, 52, 32, 10 * 24);
    l.output_legend = QRect(244, 52, 12, 10 * 24);
    l.incoming = QRect(310, 52, 4 * 20, 9 * 20);
    l.incoming_column = QRect(310, 52, 20, 17 * 14);
    l.outgoing = QRect(440, 52, 20, 17 * 14);
    l.weight_legend = QRect(310, 338, 190, 12);
    l.deltas = QRect(520, 52, 364, 270);
    // Bottom row: the heat maps, 4 to 6 pixels a weight.
    l.heat_maps[0] = QRect(16, 410, 36 * 4, 36 * 4);
    l.heat_maps[1] = QRect(200, 410, 36 * 4, 17 * 4);
    l.heat_maps[2] = QRect(384, 410, 17 * 6, 10 * 6);
    l.read_out = QRect(0, view_size.height() - 24, view_size.width(), 24);
    return l;
}

} // namespace view
