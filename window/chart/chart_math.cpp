#include "chart_math.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace chart {

namespace {

// Beyond this the arithmetic of spans and ticks would overflow; no chart of
// this program comes near it.
constexpr double kHuge = 1e300;
// Hard cap on labels per axis, whatever the caller asks for.
constexpr int kMaxTicks = 50;

// The smallest of 1, 2, 5 x 10^n that is at least `raw`.
double nice_step_at_least(double raw) {
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * mag >= raw * (1 - 1e-9)) return m * mag;
    return 10 * mag;
}

}  // namespace

void DataRange::include(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    xmin = std::min(xmin, x);
    xmax = std::max(xmax, x);
    ymin = std::min(ymin, y);
    ymax = std::max(ymax, y);
}

void DataRange::merge(const DataRange& other) {
    if (other.empty()) return;
    include(other.xmin, other.ymin);
    include(other.xmax, other.ymax);
}

DataRange data_range(std::span<const double> xs, std::span<const double> ys) {
    DataRange r;
    const std::size_t n = std::min(xs.size(), ys.size());
    for (std::size_t i = 0; i < n; ++i) r.include(xs[i], ys[i]);
    return r;
}

std::pair<double, double> axis_span(double lo, double hi) {
    if (!(lo <= hi)) return {0.0, 1.0};  // empty (inverted) or NaN
    lo = std::clamp(lo, -kHuge, kHuge);
    hi = std::clamp(hi, -kHuge, kHuge);
    // "Flat" includes spans lost in double rounding, where ticks could not
    // be told apart.
    if (hi - lo <= 1e-9 * std::max(std::abs(lo), std::abs(hi))) {
        const double pad = lo == 0 ? 1.0 : std::abs(lo) * 0.1;
        return {lo - pad, hi + pad};
    }
    return {lo, hi};
}

Ticks nice_ticks(double lo, double hi, int max_ticks) {
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
    for (double k = k0; k <= k1; ++k) t.values.push_back(k == 0 ? 0.0 : k * t.step);
    t.decimals = std::max(0, -static_cast<int>(std::floor(std::log10(t.step) + 1e-9)));
    return t;
}

QString tick_label(double value, const Ticks& ticks) {
    if (std::abs(value) < ticks.step * 1e-6) value = 0;  // no "-0"
    const double mag = std::max(std::abs(ticks.lo), std::abs(ticks.hi));
    if (mag >= 1e7 || ticks.decimals > 6) {
        // Enough significant digits to tell neighbouring ticks apart.
        const int digits = std::clamp(static_cast<int>(std::floor(std::log10(mag)) -
                                                       std::floor(std::log10(ticks.step))) + 1,
                                      1, 15);
        return QString::number(value, 'g', digits);
    }
    QString s = QString::number(value, 'f', ticks.decimals);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0'))) s.chop(1);
        if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    }
    return s;
}

std::vector<QPointF> reduce_to_columns(std::span<const double> xs, std::span<const double> ys,
                                       const AxisMap& x, const AxisMap& y) {
    std::vector<QPointF> out;
    const std::size_t n = std::min(xs.size(), ys.size());
    out.reserve(std::min<std::size_t>(n, 4096));
    auto point = [&](std::size_t i) { return QPointF(x.to_pixel(xs[i]), y.to_pixel(ys[i])); };

    // The current run, by index into the input: its first, lowest (largest
    // screen y), highest and last point. Only these few become QPointFs.
    std::size_t first = 0, low = 0, high = 0, last = 0;
    double column = std::numeric_limits<double>::infinity();  // left edge; none open yet
    double lowY = 0, highY = 0;
    auto flush = [&] {
        out.push_back(point(first));
        const auto [a, b] = std::minmax(low, high);
        if (a != first && a != last) out.push_back(point(a));
        if (b != first && b != last && b != a) out.push_back(point(b));
        if (last != first) out.push_back(point(last));
    };
    // Locals, so the loop keeps them in registers.
    const double kx = x.scale(), ky = y.scale(), x0 = x.p0, y0 = y.p0, xlo = x.lo, ylo = y.lo;
    for (std::size_t i = 0; i < n; ++i) {
        const double xv = xs[i], yv = ys[i];
        if (!std::isfinite(xv) || !std::isfinite(yv)) continue;
        const double px = x0 + (xv - xlo) * kx;
        const double py = y0 + (yv - ylo) * ky;
        if (px >= column && px < column + 1) {
            if (py > lowY) lowY = py, low = i;
            if (py < highY) highY = py, high = i;
            last = i;
            continue;
        }
        if (column != std::numeric_limits<double>::infinity()) flush();
        column = std::floor(px);
        first = low = high = last = i;
        lowY = highY = py;
    }
    if (column != std::numeric_limits<double>::infinity()) flush();
    return out;
}

ColumnSpans column_spans(std::span<const QPointF> line, int first_column, int last_column) {
    ColumnSpans c;
    c.first = first_column;
    c.spans.assign(std::max(0, last_column - first_column + 1),
                   {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()});
    auto extend = [&](double col, double y0, double y1) {
        if (col < first_column || col > last_column) return;
        auto& [top, bottom] = c.spans[static_cast<std::size_t>(col - first_column)];
        top = std::min({top, y0, y1});
        bottom = std::max({bottom, y0, y1});
    };
    if (line.size() == 1) extend(std::floor(line[0].x()), line[0].y(), line[0].y());
    for (std::size_t i = 1; i < line.size(); ++i) {
        QPointF a = line[i - 1], b = line[i];
        if (b.x() < a.x()) std::swap(a, b);
        if (std::floor(a.x()) == std::floor(b.x())) {  // within one column (vertical ones too)
            extend(std::floor(a.x()), a.y(), b.y());
            continue;
        }
        const double slope = (b.y() - a.y()) / (b.x() - a.x());
        auto y_at = [&](double x) { return a.y() + (x - a.x()) * slope; };
        // Only the columns inside the range: a wild point cannot make this loop long.
        const double c0 = std::max(std::floor(a.x()), double(first_column));
        const double c1 = std::min(std::floor(b.x()), double(last_column));
        for (double col = c0; col <= c1; ++col)
            extend(col, y_at(std::max(a.x(), col)), y_at(std::min(b.x(), col + 1)));
    }
    return c;
}

std::vector<std::vector<QPointF>> ribbon_outline(const ColumnSpans& columns, int depth) {
    std::vector<std::vector<QPointF>> outlines;
    depth = std::max(depth, 0);
    const int n = static_cast<int>(columns.spans.size());
    std::vector<QPointF> top, bottom;
    auto close = [&] {
        if (top.empty()) return;
        top.insert(top.end(), bottom.rbegin(), bottom.rend());
        outlines.push_back(std::move(top));
        top.clear();
        bottom.clear();
    };
    // Column j of the result gathers source column j - k lifted by k rows,
    // for every step k of the sweep.
    for (int j = 0; j < n + depth; ++j) {
        double lo = std::numeric_limits<double>::infinity(), hi = -lo;
        for (int k = 0; k <= depth; ++k) {
            if (j - k < 0 || j - k >= n) continue;
            const auto [t, b] = columns.spans[j - k];
            if (t > b) continue;  // the line does not pass there
            lo = std::min(lo, t - k);
            hi = std::max(hi, b - k);
        }
        if (lo > hi) {
            close();
            continue;
        }
        const double x = columns.first + j;
        top.insert(top.end(), {QPointF(x, lo), QPointF(x + 1, lo)});
        bottom.insert(bottom.end(), {QPointF(x, hi), QPointF(x + 1, hi)});
    }
    close();
    return outlines;
}

QPointF oblique_offset(double z) {
    constexpr double k = 0.70710678118654752;  // cos 45 = sin 45
    return {z * k, -z * k};
}

Depth3D depth_3d(QSizeF plot, int series_count) {
    if (plot.width() <= 0 || plot.height() <= 0) return {};
    const int n = std::max(series_count, 1);
    double per = std::clamp(0.15 * plot.width() / n, 3.0, 12.0);
    // The projected depth may take at most 30% of the shorter side.
    const double cap = 0.3 * std::min(plot.width(), plot.height()) / oblique_offset(1).x();
    if (per * n > cap) per = cap / n;
    return {per, per * n};
}

std::pair<QPointF, QPointF> ribbon_offsets(int index, const Depth3D& depth) {
    return {oblique_offset(index * depth.per_series), oblique_offset((index + 1) * depth.per_series)};
}

}  // namespace chart
