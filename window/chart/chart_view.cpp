#include "chart_view.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace chart {

std::optional<Span> settle(Span wanted, Span full) {
    const double fw = full.width();
    if (!(fw > 0) || !(wanted.width() < fw * (1 - 1e-9))) return std::nullopt;  // NaN too
    const double w = std::max(wanted.width(), fw * kMinZoom);
    const double mid = wanted.lo / 2 + wanted.hi / 2;
    const double lo = std::clamp(mid - w / 2, full.lo, full.hi - w);
    return Span{lo, lo + w};
}

Span zoom_about(Span s, double anchor, double factor) {
    return {anchor + (s.lo - anchor) * factor, anchor + (s.hi - anchor) * factor};
}

Span shift(Span s, double by) { return {s.lo + by, s.hi + by}; }

std::pair<Span, Span> band_to_spans(const QRectF& band, const AxisMap& x, const AxisMap& y) {
    const QRectF r = band.normalized();
    auto span = [](const AxisMap& m, double a, double b) {
        const auto [p0, p1] = std::minmax(m.p0, m.p1);
        const double u0 = m.from_pixel(std::clamp(a, p0, p1)), u1 = m.from_pixel(std::clamp(b, p0, p1));
        return Span{std::min(u0, u1), std::max(u0, u1)};
    };
    return {span(x, r.left(), r.right()), span(y, r.top(), r.bottom())};
}

Drag classify_drag(QPointF from, QPointF to) {
    const double dx = to.x() - from.x(), dy = to.y() - from.y();
    if (std::abs(dx) <= kClickSlop && std::abs(dy) <= kClickSlop) return Drag::Click;
    if (dx > 0 && dy > 0) return Drag::ZoomIn;
    if (dx < 0 && dy < 0) return Drag::ZoomOut;
    return Drag::Nothing;
}

std::optional<Span> rescale(std::optional<Span> zoom, Scale from, Scale to) {
    if (!zoom) return std::nullopt;
    const double v0 = from.from_axis(zoom->lo), v1 = from.from_axis(zoom->hi);
    if (!to.shows(v0) || !to.shows(v1)) return std::nullopt;
    const Span s{to.to_axis(v0), to.to_axis(v1)};
    if (!(s.width() > 0) || !std::isfinite(s.width())) return std::nullopt;
    return s;
}

QPointF readout_position(QPointF cursor, QSizeF box, const QRectF& room) {
    constexpr double beside = 14, below = 16, above = 6;  // clear of the pointer's arrow
    const double right = cursor.x() + beside, left = cursor.x() - beside - box.width();
    double x = right;
    if (right + box.width() > room.right())
        x = left >= room.left() || cursor.x() - room.left() > room.right() - cursor.x() ? left : right;
    double y = cursor.y() + below;
    if (y + box.height() > room.bottom()) y = cursor.y() - above - box.height();
    x = std::max(room.left(), std::min(x, room.right() - box.width()));
    y = std::max(room.top(), std::min(y, room.bottom() - box.height()));
    return {x, y};
}

}  // namespace chart
