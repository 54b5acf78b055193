#include "tchart.h"

#include "dialogs.h"
#include "tchart_accessible.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QRadialGradient>
#include <algorithm>
#include <array>
#include <cmath>

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

QString legend_text(const TLineSeries* s, int index) {
    return s->Title().isEmpty() ? QStringLiteral("Series%1").arg(index + 1) : s->Title();
}

}  // namespace

// ---------------------------------------------------------------- TLineSeries

TLineSeries::TLineSeries(TChart* owner) : QObject(owner) {}

TLineSeries::~TLineSeries() {
    if (m_chart) m_chart->detach(this);
}

void TLineSeries::SetParentChart(TChart* chart) {
    if (chart == m_chart) return;
    if (m_chart) m_chart->detach(this);
    if (chart) chart->AddSeries(this);
}

void TLineSeries::SetTitle(const QString& title) {
    m_title = title;
    if (m_chart) m_chart->scheduleRepaint();
}

int TLineSeries::AddXY(double x, double y, const QString&, TColor) {
    const int index = Count();
    m_x.push_back(x);
    m_y.push_back(y);
    m_range.include(x, y);
    if (m_chart) m_chart->scheduleRepaint();
    return index;
}

double TLineSeries::XValue(int i) const { return i >= 0 && i < Count() ? m_x[i] : 0.0; }

double TLineSeries::YValue(int i) const { return i >= 0 && i < Count() ? m_y[i] : 0.0; }

// ---------------------------------------------------------------- TChartTitle

void TChartTitle::Clear() {
    m_lines.clear();
    m_chart->scheduleRepaint();
}

void TChartTitle::Add(const QString& line) {
    m_lines.append(line);
    m_chart->scheduleRepaint();
}

// ---------------------------------------------------------------- TChart

TChart::TChart(QWidget* parent) : QWidget(parent) {
    install_chart_accessibility();
    QFont f = font();
    f.setPointSize(kPointSize);
    setFont(f);
}

TChart::~TChart() {
    // Series shown here but owned elsewhere must not call back into a dead chart.
    for (TLineSeries* s : m_series) s->m_chart = nullptr;
}

void TChart::RemoveAllSeries() {
    for (TLineSeries* s : m_series) s->m_chart = nullptr;
    m_series.clear();
    scheduleRepaint();
}

void TChart::AddSeries(TLineSeries* s) {
    if (!s || s->m_chart == this) return;
    if (s->m_chart) s->m_chart->detach(s);
    s->m_chart = this;
    s->m_colour = kPalette[m_series.size() % kPalette.size()];
    m_series.push_back(s);
    scheduleRepaint();
}

TLineSeries* TChart::Series(int i) const {
    return i >= 0 && i < SeriesCount() ? m_series[i] : nullptr;
}

void TChart::SetView3D(bool on) {
    m_view3D = on;
    update();
    chart_accessible_changed(this);
}

void TChart::scheduleRepaint() {
    chart_accessible_changed(this);  // every change of title, series or points comes here
    if (m_repaintPending) return;
    m_repaintPending = true;
    update();
}

void TChart::detach(TLineSeries* s) {
    std::erase(m_series, s);
    s->m_chart = nullptr;
    scheduleRepaint();
}

void TChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_pressed = true;
}

void TChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const bool click = m_pressed && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click) handle_event([this] { emit OnClick(this); });
}

void TChart::mouseDoubleClickEvent(QMouseEvent* event) {
    // The first click of the pair has been reported; its second half is not
    // another click (as in the classic desktop controls).
    if (event->button() == Qt::LeftButton) m_pressed = false;
}

TChart::Layout TChart::layout() const {
    const QFontMetricsF fm(font());
    chart::LayoutInput in;
    in.size = size();
    in.title_lines = m_title.Count();
    for (int i = 0; i < SeriesCount(); ++i) {
        in.legend.push_back(legend_text(m_series[i], i));
        in.range.merge(m_series[i]->m_range);
    }
    in.view3d = m_view3D;
    return chart::layout(in, {[&fm](const QString& t) { return fm.horizontalAdvance(t); }, fm.height()});
}

void TChart::paintEvent(QPaintEvent*) {
    m_repaintPending = false;
    QPainter painter(this);
    drawPanel(painter);
    drawTitle(painter);
    const Layout l = layout();
    if (!l.drawable()) return;  // too small to show a plot
    drawWalls(painter, l);
    drawGrid(painter, l);
    drawAxes(painter, l);
    drawSeries(painter, l);  // over the axis lines: a curve along an axis stays visible
    drawLegend(painter, l);
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
    for (double v : l.yTicks.values) {
        if (!inner(v, l.yTicks)) continue;
        const double y = std::round(l.yMap.to_pixel(v));
        p.drawLine(QPointF(back.left(), y + d.y()), QPointF(back.right(), y + d.y()));
        if (m_view3D) p.drawLine(QPointF(l.front.left(), y), QPointF(back.left(), y + d.y()));
    }
    for (double v : l.xTicks.values) {
        if (!inner(v, l.xTicks)) continue;
        const double x = std::round(l.xMap.to_pixel(v));
        p.drawLine(QPointF(x + d.x(), back.top()), QPointF(x + d.x(), back.bottom()));
        if (m_view3D) p.drawLine(QPointF(x, l.front.bottom()), QPointF(x + d.x(), back.bottom()));
    }
}

void TChart::drawSeries(QPainter& p, const Layout& l) const {
    p.save();
    p.setClipRect((m_view3D ? l.plot : l.front).adjusted(0, 0, 1, 1));  // the edges' pixels too
    // Back to front, so nearer ribbons cover farther ones.
    for (int i = SeriesCount() - 1; i >= 0; --i) {
        const TLineSeries* s = m_series[i];
        if (s->Count() == 0) continue;
        const std::vector<QPointF> points = chart::reduce_to_columns(s->m_x, s->m_y, l.xMap, l.yMap);
        const QColor colour = to_qcolor(s->m_colour);
        if (!m_view3D) {
            p.setPen(colour);
            if (points.size() == 1) p.drawPoint(points.front());
            else p.drawPolyline(points.data(), static_cast<int>(points.size()));
            continue;
        }
        // A ribbon: the line swept through the series' slab of depth,
        // filled as one outline, its front and back edges drawn darker.
        // Whole-pixel offsets keep the sweep aligned with pixel columns.
        const auto [front, back] = chart::ribbon_offsets(i, l.depth3d);
        const QPointF f(std::round(front.x()), std::round(front.y()));
        const QPointF b(std::round(back.x()), std::round(back.y()));
        if (points.size() == 1) {  // a lone point: just its depth
            p.setPen(colour);
            p.drawLine(points.front() + f, points.front() + b);
            continue;
        }
        const chart::ColumnSpans spans = chart::column_spans(
            points, static_cast<int>(l.front.left()) - 1, static_cast<int>(l.front.right()) + 1);
        p.save();
        p.translate(f);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        const int sweep = static_cast<int>(b.x() - f.x());
        for (const std::vector<QPointF>& outline : chart::ribbon_outline(spans, sweep))
            p.drawPolygon(outline.data(), static_cast<int>(outline.size()));
        p.setPen(colour.darker(125));  // a hint of an edge: on noisy data the edges fill the band
        p.drawPolyline(points.data(), static_cast<int>(points.size()));
        p.translate(b - f);
        p.drawPolyline(points.data(), static_cast<int>(points.size()));
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
    for (double v : l.yTicks.values) {
        const double y = std::round(l.yMap.to_pixel(v));
        p.drawLine(QPointF(f.left() - kTick, y), QPointF(f.left(), y));
        const QString text = chart::tick_label(v, l.yTicks);
        const double x = f.left() - kTick - 2 - fm.horizontalAdvance(text);
        p.drawText(QPointF(x, y - fm.height() / 2 + fm.ascent()), text);
    }
    for (double v : l.xTicks.values) {
        const double x = std::round(l.xMap.to_pixel(v));
        p.drawLine(QPointF(x, f.bottom()), QPointF(x, f.bottom() + kTick));
        const QString text = chart::tick_label(v, l.xTicks);
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
        p.setPen(QPen(to_qcolor(m_series[i]->SeriesColor()), 2));
        p.drawLine(QPointF(l.legend.left() + 5, y), QPointF(l.legend.left() + 5 + kSample, y));
        p.setPen(kAxisColour);
        p.drawText(QPointF(l.legend.left() + kSample + 9, top + fm.ascent()),
                   fm.elidedText(legend_text(m_series[i], i), Qt::ElideRight, textWidth));
    }
}
