#include "chart_ticks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <span>

namespace chart {

namespace {

// Hard cap on labels per axis, whatever the caller asks for.
constexpr int kMaxTicks = 50;

// The smallest of 1, 2, 5 x 10^n that is at least `raw`.
double nice_step_at_least(double raw) {
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * mag >= raw * (1 - 1e-9)) return m * mag;
    return 10 * mag;
}

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
    const int kmin =
        std::max(kmax - 650, vlo > 0 ? static_cast<int>(std::floor(std::log10(vlo))) : kmax - 20);
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

Ticks nice_ticks(double lo, double hi, int max_ticks, double margin) {
    const auto [a, b] = axis_span(lo, hi);
    max_ticks = std::clamp(max_ticks, 2, kMaxTicks);
    Ticks t;
    // max_ticks - 1 steps fit into the span, so the multiples inside it are few enough.
    t.step = nice_step_at_least((b - a) / (max_ticks - 1));
    // Quotients within rounding error of a whole number are taken as whole,
    // so 0.0095 / 0.0005 = 18.999999999999996 is tick 19.
    auto whole = [](double q) {
        const double k = std::round(q);
        return std::abs(q - k) <= 1e-9 * std::max(1.0, std::abs(k)) ? std::optional(k) : std::nullopt;
    };
    const double qa = a / t.step, qb = b / t.step;
    double k0 = whole(qa).value_or(std::ceil(qa)), k1 = whole(qb).value_or(std::floor(qb));
    // An end moves out to the next tick when that costs at most 5% of the
    // span (tidier, and the end gets a label), or when fewer than two ticks
    // would be inside.
    const double below = whole(qa).value_or(std::floor(qa)), above = whole(qb).value_or(std::ceil(qb));
    const bool few = k1 - k0 < 1;
    if (few || a - below * t.step <= 0.05 * (b - a)) k0 = below;
    if (few || above * t.step - b <= 0.05 * (b - a)) k1 = above;
    t.lo = std::min(a, k0 * t.step);
    t.hi = std::max(b, k1 * t.step);
    // The margin: an end short of it moves out to it, or on to the next tick
    // where that is as near as above.
    const double room = margin * (b - a);
    if (t.lo > a - room) {
        const double q = (a - room) / t.step, k = whole(q).value_or(std::floor(q));
        const bool near = a - room - k * t.step <= 0.05 * (b - a);
        t.lo = near ? k * t.step : a - room;
        if (near) k0 = std::min(k0, k);
    }
    if (t.hi < b + room) {
        const double q = (b + room) / t.step, k = whole(q).value_or(std::ceil(q));
        const bool near = k * t.step - (b + room) <= 0.05 * (b - a);
        t.hi = near ? k * t.step : b + room;
        if (near) k1 = std::max(k1, k);
    }
    for (double k = k0; k <= k1; ++k) t.values.push_back(k == 0 ? 0.0 : k * t.step);
    t.decimals = std::max(0, -static_cast<int>(std::floor(std::log10(t.step) + 1e-9)));
    for (double v : t.values) t.labels.push_back(tick_label(v, t));
    return t;
}

QString tick_label(double value, const Ticks& ticks) {
    if (std::abs(value) < ticks.step * 1e-6) value = 0;  // no "-0"
    const double mag = std::max(std::abs(ticks.lo), std::abs(ticks.hi));
    if (mag >= 1e7 || ticks.decimals > 6) {
        // Enough significant digits to tell neighbouring ticks apart.
        const int digits = std::clamp(
            static_cast<int>(std::floor(std::log10(mag)) - std::floor(std::log10(ticks.step))) + 1, 1, 15);
        return QString::number(value, 'g', digits);
    }
    QString s = QString::number(value, 'f', ticks.decimals);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0'))) s.chop(1);
        if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    }
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
    if (axis.scale.log) {
        const double room = axis.full ? axis.margin * axis.span.width() : 0;
        return choose_log_ticks({axis.span.lo - room, axis.span.hi + room}, axis.scale, max_ticks, fits);
    }
    for (int n = max_ticks;;) {
        Ticks t = axis.full ? nice_ticks(axis.span.lo, axis.span.hi, n, axis.margin)
                            : ticks_within(axis.span.lo, axis.span.hi, n);
        if (n <= 2 || fits(t)) return t;
        n = std::min(n - 1, static_cast<int>(t.values.size()) - 1);
    }
}

}  // namespace chart
