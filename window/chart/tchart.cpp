#include "tchart.h"

#include "contrast.h"
#include "dialogs.h"
#include "tchart_accessible.h"
#include "tcontrols.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>
#include <QRadialGradient>
#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace {

// Series colours in the order series are attached: the classic red, green,
// orange, blue first, then colours that stay apart from those and from each
// other on the white back wall (0x00BBGGRR).
constexpr std::array<TColor, 10> kPalette = {
    0x0000FF,  // red
    0x008000,  // green
    0x008CFF,  // orange
    0xFF0000,  // blue
    0xC00080,  // purple
    0xFF00FF,  // fuchsia
    0x808000,  // teal
    0x13458B,  // brown
    0x008080,  // olive
    0x505050,  // dark gray
};

using chart::kMargin;
using chart::kSample;
using chart::kTick;

constexpr int kPointSize = 8;  // every text on the chart

const QColor kAxisColour(0, 0, 0);
const QColor kGridColour(160, 160, 160);
const QColor kFloorColour(224, 224, 224);
const QColor kTitleColour(0, 0, 128);
const QColor kReadoutLine(90, 90, 90);

}  // namespace

// ---------------------------------------------------------------- TLineSeries

TLineSeries::TLineSeries(TChart* owner) : QObject(owner) {}

TLineSeries::~TLineSeries() { SetParentChart(nullptr); }

void TLineSeries::SetParentChart(TChart* chart) {
    if (chart == m_chart) return;
    TChart* old = std::exchange(m_chart, chart);
    if (old) old->RemoveSeries(this);
    if (chart) chart->AddSeries(this);
}

void TLineSeries::changed() const {
    if (m_chart) m_chart->Invalidate();
}

void TLineSeries::SetTitle(const QString& title) {
    m_title = title;
    changed();
}

int TLineSeries::AddXY(double x, double y, const QString&, TColor) {
    const int index = Count();
    if (std::isnan(x) || (!m_x.empty() && x < m_x.back())) m_sorted = false;
    m_x.push_back(x);
    m_y.push_back(y);
    m_range.include(x, y);
    changed();
    return index;
}

void TLineSeries::Clear() {
    std::vector<double>().swap(m_x);
    std::vector<double>().swap(m_y);
    m_range = {};
    m_sorted = true;
    changed();
}

void TLineSeries::SetSeriesColor(TColor colour) {
    m_colour = colour;
    changed();
}

void TLineSeries::SetActive(bool on) {
    if (on == m_active) return;
    m_active = on;
    changed();
}

double TLineSeries::XValue(int i) const { return i >= 0 && i < Count() ? m_x[i] : 0.0; }

double TLineSeries::YValue(int i) const { return i >= 0 && i < Count() ? m_y[i] : 0.0; }

// ---------------------------------------------------------------- TChartTitle

void TChartTitle::Clear() {
    m_lines.clear();
    m_chart->Invalidate();
}

void TChartTitle::Add(const QString& line) {
    m_lines.append(line);
    m_chart->Invalidate();
}

// ---------------------------------------------------------------- TChart

TChart::TChart(QWidget* parent) : QWidget(parent) {
    install_chart_accessibility();
    QFont f = font();
    f.setPointSize(kPointSize);
    setFont(f);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);  // for the read-out
}

TChart::~TChart() {
    // Series shown here but owned elsewhere must not call back into a dead chart.
    for (TLineSeries* s : std::exchange(m_series, {})) s->SetParentChart(nullptr);
}

void TChart::RemoveAllSeries() {
    for (TLineSeries* s : std::exchange(m_series, {})) {
        s->SetParentChart(nullptr);
        // Nothing shows these points again: their memory goes back, while
        // the series itself stays with its owner.
        s->Clear();
    }
    m_x.zoom.reset();
    m_y.zoom.reset();
    m_hover.reset();
    Invalidate();
}

void TChart::AddSeries(TLineSeries* s) {
    if (!s || std::find(m_series.begin(), m_series.end(), s) != m_series.end()) return;
    if (s->ParentChart() != this) {
        s->SetParentChart(this);  // which comes back here
        return;
    }
    m_series.push_back(s);
    s->SetSeriesColor(kPalette[(m_series.size() - 1) % kPalette.size()]);
    Invalidate();
}

void TChart::RemoveSeries(TLineSeries* s) {
    if (std::erase(m_series, s) == 0) return;
    if (s->ParentChart() == this) s->SetParentChart(nullptr);
    Invalidate();
}

TLineSeries* TChart::Series(int i) const { return i >= 0 && i < SeriesCount() ? m_series[i] : nullptr; }

void TChart::SetView3D(bool on) {
    m_view3D = on;
    Invalidate();
}

void TChart::SetLogarithmicX(bool on) {
    const chart::Scale shown = PlotLayout().x.scale;
    m_xFollowsData = false;
    m_x.scale = shown;
    setScale(m_x, chart::x_scale(on), &Layout::x);
}

void TChart::SetLogarithmicY(bool on) { setScale(m_y, chart::y_scale(on), &Layout::y); }

void TChart::setScale(chart::AxisState& axis, chart::Scale scale, chart::AxisLayout Layout::*laid) {
    if (scale.log == axis.scale.log) return;
    // The zoom keeps its data values, within what the new axis shows.
    axis.zoom = chart::rescale(axis.zoom, axis.scale, scale);
    axis.scale = scale;
    m_layout.reset();
    if (axis.zoom) axis.zoom = chart::settle(*axis.zoom, (PlotLayout().*laid).full);
    Invalidate();
}

void TChart::Invalidate() {
    chart_accessible_changed(this);  // every change of title, series or points comes here
    m_sceneValid = false;
    if (m_layout) m_layout.reset();
    if (m_repaintPending) return;
    m_repaintPending = true;
    update();
}

QString TChart::SeriesName(int i) const {
    const TLineSeries* s = Series(i);
    if (!s) return {};
    return s->Title().isEmpty() ? QStringLiteral("Series%1").arg(i + 1) : s->Title();
}

TChart::Layout TChart::layout() const {
    const QFontMetricsF fm(font());
    chart::LayoutInput in;
    in.size = size();
    in.title_lines = m_title.Count();
    for (int i = 0; i < SeriesCount(); ++i) {
        in.legend.push_back(SeriesName(i));
        if (m_series[i]->Active()) in.range.merge(m_series[i]->Range());
    }
    in.view3d = m_view3D;
    in.x = m_x;
    in.y = m_y;
    if (m_xFollowsData && !m_x.zoom) {
        chart::DataRange all;  // hidden series too, so that hiding one never changes the scale
        for (const TLineSeries* s : m_series) all.merge(s->Range());
        in.x.scale = chart::x_scale(chart::wants_log_epochs(all));
    }
    return chart::layout(in, {[&fm](const QString& t) { return fm.horizontalAdvance(t); }, fm.height()});
}

const chart::Layout& TChart::PlotLayout() const {
    if (!m_layout) m_layout = layout();
    return *m_layout;
}

const QImage& TChart::scene() const {
    const qreal dpr = devicePixelRatioF();
    const QSize pixels = size() * dpr;
    if (m_sceneValid && m_scene.size() == pixels) return m_scene;
    // Opaque, as the panel covers every pixel, and at the widget's resolution,
    // so that text comes out as the layout measured it.
    if (m_scene.size() != pixels) m_scene = QImage(pixels, QImage::Format_RGB32);
    m_scene.setDevicePixelRatio(dpr);
    m_scene.setDotsPerMeterX(qRound(logicalDpiX() * 100 / 2.54));
    m_scene.setDotsPerMeterY(qRound(logicalDpiY() * 100 / 2.54));
    if (!m_scene.isNull()) {
        QPainter painter(&m_scene);
        painter.setFont(font());  // a painter on an image starts with the application's
        drawScene(painter, PlotLayout());
    }
    m_sceneValid = true;
    return m_scene;
}

void TChart::drawScene(QPainter& p, const Layout& l) const {
    drawPanel(p);
    drawTitle(p);
    if (!l.drawable()) return;  // too small to show a plot
    drawWalls(p, l);
    drawGrid(p, l);
    drawAxes(p, l);
    drawSeries(p, l);  // over the axis lines: a curve along an axis stays visible
    drawLegend(p, l);
}

void TChart::paintEvent(QPaintEvent*) {
    m_repaintPending = false;
    const QImage& picture = scene();
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), picture);
    const Layout& l = PlotLayout();
    if (l.drawable() && m_gesture == Gesture::Band) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 0, Qt::DashLine));
        QColor fill = palette().color(QPalette::Highlight);
        fill.setAlpha(40);
        painter.setBrush(fill);
        painter.drawRect(QRectF(m_pressAt, m_dragTo).normalized());
    }
    if (l.drawable() && m_gesture == Gesture::None) {
        if (const std::optional<Readout> r = readout()) drawReadout(painter, l, *r);
    }
    if (ShowsFocus(this)) DrawFocusRing(painter, rect());  // as every control shows it
}

void TChart::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Invalidate();
}

void TChart::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) Invalidate();
}

void TChart::drawPanel(QPainter& p) const {
    QRadialGradient g(rect().center(), std::hypot(width(), height()) / 2);
    g.setColorAt(0, to_qcolor(clWhite));
    g.setColorAt(1, to_qcolor(clGray));
    p.fillRect(rect(), g);
}

void TChart::drawTitle(QPainter& p) const {
    const QFontMetricsF fm(font());
    p.setPen(kTitleColour);
    for (int i = 0; i < m_title.Count(); ++i) {
        const QString line = m_title.Strings(i);
        const double x = (width() - fm.horizontalAdvance(line)) / 2;
        p.drawText(QPointF(x, kMargin + i * fm.height() + fm.ascent()), line);
    }
}

void TChart::drawWalls(QPainter& p, const Layout& l) const {
    p.setPen(kAxisColour);
    const QRectF& f = l.front;
    const QRectF back = f.translated(l.depth);
    if (m_view3D) {
        p.setBrush(to_qcolor(clLime));
        p.drawPolygon(QPolygonF({f.topLeft(), back.topLeft(), back.bottomLeft(), f.bottomLeft()}));
        p.setBrush(kFloorColour);
        p.drawPolygon(QPolygonF({f.bottomLeft(), f.bottomRight(), back.bottomRight(), back.bottomLeft()}));
    }
    p.setBrush(to_qcolor(clWhite));
    p.drawRect(back);
    p.setBrush(Qt::NoBrush);
}

void TChart::drawGrid(QPainter& p, const Layout& l) const {
    p.setPen(QPen(kGridColour, 0, Qt::DotLine));
    const QRectF back = l.front.translated(l.depth);
    const QPointF d = l.depth;
    // Ticks on the axis' ends lie on the walls' edges and need no grid line.
    auto inner = [](double v, const chart::Ticks& t) { return v != t.lo && v != t.hi; };
    for (double v : l.y.ticks.values) {
        if (!inner(v, l.y.ticks)) continue;
        const double y = std::round(l.y.map.to_pixel(v));
        p.drawLine(QPointF(back.left(), y + d.y()), QPointF(back.right(), y + d.y()));
        if (m_view3D) p.drawLine(QPointF(l.front.left(), y), QPointF(back.left(), y + d.y()));
    }
    for (double v : l.x.ticks.values) {
        if (!inner(v, l.x.ticks)) continue;
        const double x = std::round(l.x.map.to_pixel(v));
        p.drawLine(QPointF(x + d.x(), back.top()), QPointF(x + d.x(), back.bottom()));
        if (m_view3D) p.drawLine(QPointF(x, l.front.bottom()), QPointF(x + d.x(), back.bottom()));
    }
}

void TChart::drawSeries(QPainter& p, const Layout& l) const {
    p.save();
    p.setClipRect((m_view3D ? l.plot : l.front).adjusted(0, 0, 1, 1));  // the edges' pixels too
    const chart::Scale sx = l.x.scale, sy = l.y.scale;
    const double xlo = sx.from_axis(l.x.map.lo), xhi = sx.from_axis(l.x.map.hi);
    // Back to front, so nearer ribbons cover farther ones.
    for (int i = SeriesCount() - 1; i >= 0; --i) {
        const TLineSeries* s = m_series[i];
        if (!s->Active() || s->Count() == 0) continue;
        // Only the points in view (and one beyond each edge) are looked at.
        std::span<const double> xs = s->XValues(), ys = s->YValues();
        if (s->Sorted()) {
            const auto [first, last] = chart::visible_range(xs, xlo, xhi);
            xs = xs.subspan(first, last - first);
            ys = ys.subspan(first, last - first);
        }
        const std::vector<QPointF> points = chart::reduce_to_columns(xs, ys, l.x.map, l.y.map, sx, sy);
        const std::vector<std::vector<QPointF>> pieces = chart::clip_polyline(points, l.front);
        if (pieces.empty()) continue;
        const QColor colour = to_qcolor(s->SeriesColor());
        if (!m_view3D) {
            p.setPen(colour);
            for (const std::vector<QPointF>& piece : pieces) {
                if (piece.size() == 1)
                    p.drawPoint(piece.front());
                else
                    p.drawPolyline(piece.data(), static_cast<int>(piece.size()));
            }
            continue;
        }
        // A ribbon: the line swept through the series' slab of depth,
        // filled as one outline, its front and back edges drawn darker.
        // Whole-pixel offsets keep the sweep aligned with pixel columns.
        const auto [front, back] = chart::ribbon_offsets(i, l.depth3d);
        const QPointF f(std::round(front.x()), std::round(front.y()));
        const QPointF b(std::round(back.x()), std::round(back.y()));
        if (pieces.size() == 1 && pieces.front().size() == 1) {  // a lone point: just its depth
            p.setPen(colour);
            p.drawLine(pieces.front().front() + f, pieces.front().front() + b);
            continue;
        }
        const chart::ColumnSpans spans = chart::column_spans(pieces, static_cast<int>(l.front.left()) - 1,
                                                             static_cast<int>(l.front.right()) + 1);
        p.save();
        p.translate(f);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        const int sweep = static_cast<int>(b.x() - f.x());
        for (const std::vector<QPointF>& outline : chart::ribbon_outline(spans, sweep))
            p.drawPolygon(outline.data(), static_cast<int>(outline.size()));
        p.setPen(colour.darker(125));  // a hint of an edge: on noisy data the edges fill the band
        for (const QPointF& edge : {QPointF(0, 0), b - f}) {
            p.translate(edge);
            for (const std::vector<QPointF>& piece : pieces)
                p.drawPolyline(piece.data(), static_cast<int>(piece.size()));
        }
        p.restore();
    }
    p.restore();
}

void TChart::drawAxes(QPainter& p, const Layout& l) const {
    const QFontMetricsF fm(font());
    const QRectF& f = l.front;
    p.setPen(kAxisColour);
    p.drawLine(f.topLeft(), f.bottomLeft());
    p.drawLine(f.bottomLeft(), f.bottomRight());
    for (std::size_t i = 0; i < l.y.ticks.values.size(); ++i) {
        const double y = std::round(l.y.map.to_pixel(l.y.ticks.values[i]));
        p.drawLine(QPointF(f.left() - kTick, y), QPointF(f.left(), y));
        const QString& text = l.y.ticks.labels[i];
        const double x = f.left() - kTick - 2 - fm.horizontalAdvance(text);
        p.drawText(QPointF(x, y - fm.height() / 2 + fm.ascent()), text);
    }
    for (std::size_t i = 0; i < l.x.ticks.values.size(); ++i) {
        const double x = std::round(l.x.map.to_pixel(l.x.ticks.values[i]));
        p.drawLine(QPointF(x, f.bottom()), QPointF(x, f.bottom() + kTick));
        const QString& text = l.x.ticks.labels[i];
        p.drawText(QPointF(x - fm.horizontalAdvance(text) / 2, f.bottom() + kTick + 1 + fm.ascent()), text);
    }
}

void TChart::drawLegend(QPainter& p, const Layout& l) const {
    if (l.legendRows == 0) return;
    const QFontMetricsF fm(font());
    const double lh = fm.height();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));  // a soft shadow, down and to the right
    p.drawRect(l.legend.translated(2, 2));
    p.setPen(kAxisColour);
    p.setBrush(to_qcolor(clWhite));
    p.drawRect(l.legend);
    p.setBrush(Qt::NoBrush);
    const double textWidth = l.legend.width() - kSample - 14;  // 5 + sample + 4, text, 5
    for (int i = 0; i < l.legendRows; ++i) {
        const double top = l.legend.top() + 3 + i * lh;
        const double y = std::round(top + lh / 2);
        const bool active = m_series[i]->Active();
        p.setPen(active ? QPen(to_qcolor(m_series[i]->SeriesColor()), 2) : QPen(kGridColour, 1, Qt::DotLine));
        p.drawLine(QPointF(l.legend.left() + 5, y), QPointF(l.legend.left() + 5 + kSample, y));
        p.setPen(active ? kAxisColour : kGridColour);
        p.drawText(QPointF(l.legend.left() + kSample + 9, top + fm.ascent()),
                   fm.elidedText(SeriesName(i), Qt::ElideRight, textWidth));
    }
}

void TChart::drawReadout(QPainter& p, const Layout& l, const Readout& r) const {
    const QFontMetricsF fm(font());
    const double lh = fm.height();
    p.save();
    // The line runs where the grid's would: down the front, and in 3-D along
    // the floor and up the back wall.
    p.setPen(QPen(kReadoutLine, 0));
    const QPointF d = l.depth;
    const bool inView = r.lineX >= l.front.left() - 0.5 && r.lineX <= l.front.right() + 0.5;
    if (inView) p.drawLine(QPointF(r.lineX, l.front.top()), QPointF(r.lineX, l.front.bottom()));
    if (inView && m_view3D) {
        p.drawLine(QPointF(r.lineX, l.front.bottom()), QPointF(r.lineX, l.front.bottom()) + d);
        p.drawLine(QPointF(r.lineX, l.front.top()) + d, QPointF(r.lineX, l.front.bottom()) + d);
    }
    p.setRenderHint(QPainter::Antialiasing);
    for (const ReadoutRow& row : r.rows) {
        if (!row.marker) continue;
        p.setPen(QPen(kAxisColour, 1));
        p.setBrush(row.colour);
        p.drawEllipse(*row.marker, 3, 3);
    }
    p.setRenderHint(QPainter::Antialiasing, false);

    double textWidth = 0;
    for (const ReadoutRow& row : r.rows) textWidth = std::max(textWidth, fm.horizontalAdvance(row.text));
    const QSizeF box(std::ceil(textWidth + kSample / 2 + 14), std::ceil(r.rows.size() * lh + 6));
    // Never over the title or the legend: the room is what lies below the
    // one and left of the other (its shadow included).
    const double titleBottom = m_title.Count() > 0 ? kMargin + m_title.Count() * lh : 0;
    const double right = l.legendRows > 0 ? l.legend.left() - 3 : width();
    const QRectF room(0, titleBottom, right, height() - titleBottom);
    const QRectF frame(chart::readout_position(*m_hover, box, room), box);
    // Opaque, in the read-out colours the network view uses too; its edge
    // in the read-out line's gray, which shows on the chart's white.
    const ReadoutColours colours = ReadoutColoursOf(palette());
    const QColor ink = colours.text;
    p.setPen(kReadoutLine);
    p.setBrush(colours.background);
    p.drawRect(frame);
    for (std::size_t i = 0; i < r.rows.size(); ++i) {
        const ReadoutRow& row = r.rows[i];
        const double top = frame.top() + 3 + i * lh;
        if (row.colour.isValid()) {
            const double y = std::round(top + lh / 2);
            p.setPen(QPen(Readable(row.colour, colours.background), 2));
            p.drawLine(QPointF(frame.left() + 5, y), QPointF(frame.left() + 5 + kSample / 2, y));
        }
        p.setPen(ink);
        p.drawText(QPointF(frame.left() + kSample / 2 + 9, top + fm.ascent()), row.text);
    }
    p.restore();
}
