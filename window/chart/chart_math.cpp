#include "chart_math.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace chart {

namespace {

// Beyond this the arithmetic of spans and ticks would overflow; no chart of
// this program comes near it.
constexpr double kHuge = 1e300;
}  // namespace

void DataRange::include(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    xmin = std::min(xmin, x);
    xmax = std::max(xmax, x);
    ymin = std::min(ymin, y);
    ymax = std::max(ymax, y);
    if (x > -kLogOffsetX) xmin_log = std::min(xmin_log, x);
    if (y > -kLogOffsetY) ymin_log = std::min(ymin_log, y);
}

void DataRange::merge(const DataRange& other) {
    if (other.empty()) return;
    include(other.xmin, other.ymin);
    include(other.xmax, other.ymax);
    xmin_log = std::min(xmin_log, other.xmin_log);
    ymin_log = std::min(ymin_log, other.ymin_log);
}

std::pair<double, double> shown_extent(const DataRange& r, bool x_axis, Scale s) {
    const double lo = x_axis ? (s.log ? r.xmin_log : r.xmin) : (s.log ? r.ymin_log : r.ymin);
    const double hi = x_axis ? r.xmax : r.ymax;
    if (r.empty() || !s.shows(lo) || !s.shows(hi)) return {1.0, 0.0};
    return {s.to_axis(lo), s.to_axis(hi)};
}

DataRange data_range(std::span<const double> xs, std::span<const double> ys) {
    DataRange r;
    const std::size_t n = std::min(xs.size(), ys.size());
    for (std::size_t i = 0; i < n; ++i) r.include(xs[i], ys[i]);
    return r;
}

bool wants_log_epochs(const DataRange& r) {
    if (r.empty() || !(r.xmin > -kLogOffsetX)) return false;
    return std::log10(kLogOffsetX + r.xmax) - std::log10(kLogOffsetX + r.xmin) >= 2;
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

std::vector<QPointF> reduce_to_columns(std::span<const double> xs, std::span<const double> ys,
                                       const AxisMap& x, const AxisMap& y, Scale sx, Scale sy) {
    std::vector<QPointF> out;
    const std::size_t n = std::min(xs.size(), ys.size());
    out.reserve(std::min<std::size_t>(n, 4096));
    auto point = [&](std::size_t i) {
        return QPointF(x.to_pixel(sx.to_axis(xs[i])), y.to_pixel(sy.to_axis(ys[i])));
    };
    // The data x where the pixel column starting at pixel p begins. Scales
    // only ever increase, so a column is an interval of data x as well.
    const bool flat = x.scale() == 0;
    auto column_start = [&](double p) { return sx.from_axis(x.from_pixel(p)); };

    // The current run, by index into the input: its first, lowest, highest
    // and last point. The extremes are found on the data y, which orders the
    // points as their pixels do; only these few points are transformed.
    std::size_t first = 0, low = 0, high = 0, last = 0;
    bool open = false;
    constexpr double inf = std::numeric_limits<double>::infinity();
    double from = inf, to = -inf;  // the open column's data x: [from, to)
    double lowY = 0, highY = 0;
    auto flush = [&] {
        out.push_back(point(first));
        const auto [a, b] = std::minmax(low, high);
        if (a != first && a != last) out.push_back(point(a));
        if (b != first && b != last && b != a) out.push_back(point(b));
        if (last != first) out.push_back(point(last));
    };
    // What the scales can show, as bounds: two compares a value, NaN failing both.
    const double xfloor = sx.log ? -sx.offset : -inf, yfloor = sy.log ? -sy.offset : -inf;
    for (std::size_t i = 0; i < n; ++i) {
        const double xv = xs[i], yv = ys[i];
        if (!(xv > xfloor && xv < inf && yv > yfloor && yv < inf)) continue;
        if (xv >= from && xv < to) {
            if (yv < lowY) lowY = yv, low = i;
            if (yv > highY) highY = yv, high = i;
            last = i;
            continue;
        }
        if (open) flush();
        open = true;
        if (flat) {
            from = -inf, to = inf;
        } else {
            const double column = std::floor(x.to_pixel(sx.to_axis(xv)));
            from = column_start(column);
            to = column_start(column + 1);
            // Rounding may put the point just outside its own column's
            // bounds; then it opens a run of its own, which is harmless.
        }
        first = low = high = last = i;
        lowY = highY = yv;
    }
    if (open) flush();
    return out;
}

std::vector<std::vector<QPointF>> clip_polyline(std::span<const QPointF> line, const QRectF& box) {
    std::vector<std::vector<QPointF>> pieces;
    const double x0 = box.left(), x1 = box.right(), y0 = box.top(), y1 = box.bottom();
    auto inside = [&](QPointF p) { return p.x() >= x0 && p.x() <= x1 && p.y() >= y0 && p.y() <= y1; };
    if (line.size() == 1) {
        if (inside(line[0])) pieces.push_back({line[0]});
        return pieces;
    }
    std::vector<QPointF> piece;
    piece.reserve(line.size());
    auto finish = [&] {
        if (!piece.empty()) pieces.push_back(std::move(piece));
        piece.clear();
    };
    for (std::size_t i = 1; i < line.size(); ++i) {
        const QPointF a = line[i - 1], b = line[i];
        if (inside(a) && inside(b)) {  // the common case, at full view always
            if (piece.empty()) piece.push_back(a);
            piece.push_back(b);
            continue;
        }
        // Liang-Barsky: the part t0..t1 of a + t (b - a) inside the box.
        const double dx = b.x() - a.x(), dy = b.y() - a.y();
        double t0 = 0, t1 = 1;
        bool visible = true;
        auto edge = [&](double p, double q) {  // p t <= q
            if (p == 0) {
                if (q < 0) visible = false;
                return;
            }
            const double t = q / p;
            if (p < 0)
                t0 = std::max(t0, t);
            else
                t1 = std::min(t1, t);
        };
        edge(-dx, a.x() - x0);
        edge(dx, x1 - a.x());
        edge(-dy, a.y() - y0);
        edge(dy, y1 - a.y());
        if (!visible || t0 > t1) {
            finish();
            continue;
        }
        // Cut points are clamped onto the box, which rounding might miss.
        auto at = [&](double t) {
            return QPointF(std::clamp(a.x() + t * dx, x0, x1), std::clamp(a.y() + t * dy, y0, y1));
        };
        const QPointF from = t0 == 0 ? a : at(t0);
        if (piece.empty() || t0 > 0) {
            finish();
            piece.push_back(from);
        }
        piece.push_back(t1 == 1 ? b : at(t1));
        if (t1 < 1) finish();
    }
    finish();
    return pieces;
}

std::pair<std::size_t, std::size_t> visible_range(std::span<const double> xs, double lo, double hi) {
    const auto begin = std::lower_bound(xs.begin(), xs.end(), lo);
    const auto end = std::upper_bound(begin, xs.end(), hi);
    std::size_t first = static_cast<std::size_t>(begin - xs.begin());
    std::size_t last = static_cast<std::size_t>(end - xs.begin());
    if (first > 0) --first;
    if (last < xs.size()) ++last;
    return {first, last};
}

std::optional<std::size_t> nearest_index(std::span<const double> xs, double x) {
    if (xs.empty() || std::isnan(x)) return std::nullopt;
    const auto after = std::lower_bound(xs.begin(), xs.end(), x);
    if (after == xs.begin()) return 0;
    if (after == xs.end()) return xs.size() - 1;
    const std::size_t i = static_cast<std::size_t>(after - xs.begin());
    return x - xs[i - 1] <= xs[i] - x ? i - 1 : i;
}

namespace {

void add_spans(ColumnSpans& c, std::span<const QPointF> line, int first_column, int last_column) {
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
}

ColumnSpans no_spans(int first_column, int last_column) {
    ColumnSpans c;
    c.first = first_column;
    c.spans.assign(std::max(0, last_column - first_column + 1),
                   {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()});
    return c;
}

}  // namespace

ColumnSpans column_spans(std::span<const QPointF> line, int first_column, int last_column) {
    ColumnSpans c = no_spans(first_column, last_column);
    add_spans(c, line, first_column, last_column);
    return c;
}

ColumnSpans column_spans(const std::vector<std::vector<QPointF>>& pieces, int first_column, int last_column) {
    ColumnSpans c = no_spans(first_column, last_column);
    for (const std::vector<QPointF>& piece : pieces) add_spans(c, piece, first_column, last_column);
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
