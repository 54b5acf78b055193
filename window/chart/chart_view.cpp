#include "chart_view.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace chart {

namespace {

// A logarithmic axis never has more labels than this; beyond it only every
// n-th decade is tried.
constexpr int kMaxLogTicks = 50;

// A tick's data value as its label: 0.5, 10000, 1e-05.
QString log_label(double v) { return v == 0 ? QStringLiteral("0") : QString::number(v, 'g', 6); }

// The ticks of a log axis at m x 10^k for the mantissas given, k a multiple
// of `every`, plus 0 where the axis shows it (log10(1 + x) at x = 0).
Ticks log_level(Span u, Scale s, std::span<const double> mantissas, int every) {
    Ticks t;
    t.lo = u.lo;
    t.hi = u.hi;
    const double tol = 1e-9 * u.width() + 1e-12;
    auto add = [&](double v) {
        const double p = s.to_axis(v);
        if (!(p >= u.lo - tol && p <= u.hi + tol)) return;
        t.values.push_back(std::clamp(p, u.lo, u.hi));
        t.labels.push_back(log_label(v));
    };
    const double vlo = s.from_axis(u.lo), vhi = s.from_axis(u.hi);
    const bool zero = s.offset > 0 && vlo <= 0 && vhi >= 0;
    if (zero) add(0);
    if (!(vhi > 0)) return t;
    const int kmax = static_cast<int>(std::floor(std::log10(vhi)));
    // Below 1 the positions of log10(1 + x) crowd against 0; a few decades
    // below the top are all that could ever be told apart from it.
    const int kmin = std::max(kmax - 650, vlo > 0 ? static_cast<int>(std::floor(std::log10(vlo))) : kmax - 20);
    const double crowd = zero ? s.to_axis(0) + u.width() / kMaxLogTicks : -INFINITY;
    for (int k = kmin; k <= kmax; ++k) {
        if (k % every != 0) continue;
        for (double m : mantissas) {
            const double v = m * std::pow(10.0, k);
            if (v > 0 && s.to_axis(v) >= crowd) add(v);
        }
        if (static_cast<int>(t.values.size()) > kMaxLogTicks) break;  // too dense: the caller moves on
    }
    return t;
}

// Linear ticks between the data values of a log axis, placed on it.
Ticks linear_on_log(Span u, Scale s, int max_ticks) {
    Ticks t = ticks_within(s.from_axis(u.lo), s.from_axis(u.hi), max_ticks);
    t.lo = u.lo;
    t.hi = u.hi;
    for (double& v : t.values) v = std::clamp(s.to_axis(v), u.lo, u.hi);
    return t;
}

Ticks choose_log_ticks(Span u, Scale s, int max_ticks, const std::function<bool(const Ticks&)>& fits) {
    static constexpr std::array<double, 9> all = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    static constexpr std::array<double, 3> nice = {1, 2, 5};
    static constexpr std::array<double, 1> one = {1};
    const int limit = std::min(max_ticks, kMaxLogTicks);
    std::optional<Ticks> sparsest;
    auto consider = [&](Ticks t) {
        if (t.values.size() < 2) return false;
        const bool ok = static_cast<int>(t.values.size()) <= limit && fits(t);
        sparsest = std::move(t);
        return ok;
    };
    for (std::span<const double> m : {std::span<const double>(all), std::span<const double>(nice)}) {
        Ticks t = log_level(u, s, m, 1);
        if (t.values.size() < 2) break;
        if (consider(std::move(t))) return *sparsest;
    }
    for (int every : {1, 2, 3, 5, 10, 20, 50, 100}) {
        Ticks t = log_level(u, s, one, every);
        if (t.values.size() < 2) break;
        if (consider(std::move(t))) return *sparsest;
    }
    if (sparsest) return *sparsest;
    // Less than a decade's worth of nice values in the span: a linear step.
    for (int n = max_ticks;;) {
        Ticks t = linear_on_log(u, s, n);
        if (n <= 2 || fits(t)) return t;
        n = std::min(n - 1, static_cast<int>(t.values.size()) - 1);
    }
}

}  // namespace

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

Ticks ticks_within(double lo, double hi, int max_ticks) {
    Ticks t = nice_ticks(lo, hi, max_ticks);
    const double tol = 1e-9 * std::abs(hi - lo);
    Ticks in = t;
    in.values.clear();
    in.labels.clear();
    for (std::size_t i = 0; i < t.values.size(); ++i) {
        if (t.values[i] < lo - tol || t.values[i] > hi + tol) continue;
        in.values.push_back(std::clamp(t.values[i], lo, hi));
        in.labels.push_back(t.labels[i]);
    }
    in.lo = lo;
    in.hi = hi;
    return in;
}

Ticks choose_ticks(const AxisView& axis, int max_ticks, const std::function<bool(const Ticks&)>& fits) {
    if (axis.scale.log) return choose_log_ticks(axis.span, axis.scale, max_ticks, fits);
    for (int n = max_ticks;;) {
        Ticks t = axis.full ? nice_ticks(axis.span.lo, axis.span.hi, n)
                            : ticks_within(axis.span.lo, axis.span.hi, n);
        if (n <= 2 || fits(t)) return t;
        n = std::min(n - 1, static_cast<int>(t.values.size()) - 1);
    }
}

QPointF readout_position(QPointF cursor, QSizeF box, const QRectF& bounds) {
    constexpr double beside = 14, below = 16, above = 6;  // clear of the pointer's arrow
    double x = cursor.x() + beside;
    if (x + box.width() > bounds.right()) x = cursor.x() - beside - box.width();
    double y = cursor.y() + below;
    if (y + box.height() > bounds.bottom()) y = cursor.y() - above - box.height();
    x = std::max(bounds.left(), std::min(x, bounds.right() - box.width()));
    y = std::max(bounds.top(), std::min(y, bounds.bottom() - box.height()));
    return {x, y};
}

}  // namespace chart
