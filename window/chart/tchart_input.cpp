// TChart's side that the user steers: the click, the rubber band, the wheel,
// panning, the keys, the menu and the read-out under the mouse. The maths
// are chart_view's; this file turns events into calls of it.
#include "tchart.h"

#include "dialogs.h"
#include "sysutils.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kWheelZoom = 0.8;  // the span after one notch away from the user
constexpr double kKeyZoom = 0.8;    // the span after one press of +
constexpr double kPanStep = 0.1;    // of the shown span, per arrow key

}  // namespace

void TChart::click() {
    handle_event([this] { emit OnClick(this); });
}

bool TChart::overPlot(QPointF pos) const {
    const Layout& l = PlotLayout();
    return l.drawable() && pos.x() >= l.front.left() && pos.x() <= l.front.right() &&
           pos.y() >= l.plot.top() && pos.y() <= l.plot.bottom();
}

// ---------------------------------------------------------------- the view

void TChart::setZoom(std::optional<chart::Span> x, std::optional<chart::Span> y) {
    if (x == m_x.zoom && y == m_y.zoom) return;
    m_x.scale = PlotLayout().x.scale;  // the one the zoom is on
    m_x.zoom = x;
    m_y.zoom = y;
    Invalidate();
}

void TChart::ZoomRect(const QRectF& pixels) {
    const Layout& l = PlotLayout();
    if (!l.drawable()) return;
    // Only the part over the axes counts; a band with no extent along an
    // axis there leaves that axis alone.
    const QRectF r = pixels.normalized();
    const QRectF& f = l.front;
    const QRectF band(
        QPointF(std::clamp(r.left(), f.left(), f.right()), std::clamp(r.top(), f.top(), f.bottom())),
        QPointF(std::clamp(r.right(), f.left(), f.right()), std::clamp(r.bottom(), f.top(), f.bottom())));
    const auto [x, y] = chart::band_to_spans(band, l.x.map, l.y.map);
    setZoom(band.width() > 0 ? chart::settle(x, l.x.full) : m_x.zoom,
            band.height() > 0 ? chart::settle(y, l.y.full) : m_y.zoom);
}

void TChart::UndoZoom() { setZoom(std::nullopt, std::nullopt); }

void TChart::zoomBy(double factor, QPointF anchor) {
    const Layout& l = PlotLayout();
    if (!l.drawable()) return;
    const double ax = l.x.map.from_pixel(std::clamp(anchor.x(), l.front.left(), l.front.right()));
    const double ay = l.y.map.from_pixel(std::clamp(anchor.y(), l.front.top(), l.front.bottom()));
    const auto x = chart::settle(chart::zoom_about({l.x.map.lo, l.x.map.hi}, ax, factor), l.x.full);
    const auto y = chart::settle(chart::zoom_about({l.y.map.lo, l.y.map.hi}, ay, factor), l.y.full);
    setZoom(x, y);
}

void TChart::panBy(double dx, double dy) {
    const Layout& l = PlotLayout();
    if (!l.drawable()) return;
    const chart::Span x{l.x.map.lo, l.x.map.hi}, y{l.y.map.lo, l.y.map.hi};
    const auto nx = chart::settle(chart::shift(x, dx * x.width()), l.x.full);
    const auto ny = chart::settle(chart::shift(y, dy * y.width()), l.y.full);
    setZoom(nx, ny);
}

// ---------------------------------------------------------------- the mouse

void TChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_gesture = event->modifiers() & Qt::ShiftModifier ? Gesture::ShiftPressed : Gesture::Pressed;
    else if (event->button() == Qt::MiddleButton)
        m_gesture = Gesture::Pan;
    else
        return;
    m_button = event->button();
    m_pressAt = m_dragTo = event->position();
    m_panFrom = PlotLayout();
    m_hover.reset();
    update();
}

void TChart::mouseMoveEvent(QMouseEvent* event) {
    const QPointF pos = event->position();
    switch (m_gesture) {
        case Gesture::None: {
            const std::optional<QPointF> hover = overPlot(pos) ? std::optional(pos) : std::nullopt;
            if (hover != m_hover) {
                m_hover = hover;
                update();
            }
            return;
        }
        case Gesture::Pressed:
        case Gesture::ShiftPressed:
            if (chart::classify_drag(m_pressAt, pos) == chart::Drag::Click) return;
            m_gesture = m_gesture == Gesture::Pressed ? Gesture::Band : Gesture::Pan;
            break;
        case Gesture::Band:
        case Gesture::Pan: break;
        case Gesture::Swallowed: return;
    }
    m_dragTo = pos;
    if (m_gesture == Gesture::Pan) {
        // The data under the press follow the mouse, on the axes as they
        // were when the pan began.
        const Layout& l = PlotLayout();
        auto moved = [&](const chart::AxisLayout& from, double pixels, const chart::AxisLayout& now) {
            const double by = pixels / from.map.scale();
            return chart::settle(chart::shift({from.map.lo, from.map.hi}, std::isfinite(by) ? by : 0),
                                 now.full);
        };
        const auto x = moved(m_panFrom.x, m_pressAt.x() - pos.x(), l.x);
        const auto y = moved(m_panFrom.y, m_pressAt.y() - pos.y(), l.y);
        setZoom(x, y);
    }
    update();
}

void TChart::mouseReleaseEvent(QMouseEvent* event) {
    if (m_gesture == Gesture::None || event->button() != m_button) return;
    const QPointF pos = event->position();
    // A release far from the press counts as a drag even if no move was seen.
    const chart::Drag drag = chart::classify_drag(m_pressAt, pos);
    Gesture g = m_gesture;
    if ((g == Gesture::Pressed || g == Gesture::ShiftPressed) && drag != chart::Drag::Click) {
        mouseMoveEvent(event);
        g = m_gesture;
    }
    m_gesture = Gesture::None;
    m_button = Qt::NoButton;
    if (g == Gesture::Band && drag == chart::Drag::ZoomIn) {
        // A sweep that is hardly taller than a click's slack (or wider)
        // zooms the other axis only.
        QRectF band = QRectF(m_pressAt, pos).normalized();
        if (band.width() <= chart::kClickSlop) band.setWidth(0);
        if (band.height() <= chart::kClickSlop) band.setHeight(0);
        ZoomRect(band);
    }
    if (g == Gesture::Band && drag == chart::Drag::ZoomOut) UndoZoom();
    m_hover = overPlot(pos) ? std::optional(pos) : std::nullopt;
    update();
    if ((g == Gesture::Pressed || g == Gesture::ShiftPressed) && rect().contains(pos.toPoint())) click();
}

void TChart::mouseDoubleClickEvent(QMouseEvent* event) {
    // The first click of the pair has been reported; its second half is not
    // another click (as in the classic desktop controls), nor a drag.
    if (event->button() != Qt::LeftButton) return;
    m_gesture = Gesture::Swallowed;
    m_button = Qt::LeftButton;
}

void TChart::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0 || m_gesture != Gesture::None) {
        event->ignore();
        return;
    }
    zoomBy(std::pow(kWheelZoom, notches), event->position());
    event->accept();
}

void TChart::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (!m_hover) return;
    m_hover.reset();
    update();
}

// ---------------------------------------------------------------- the keys

void TChart::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const QPointF centre = PlotLayout().front.center();
    switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!event->isAutoRepeat()) click();  // held down, it switches once
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:  // + without Shift
            zoomBy(kKeyZoom, centre);
            break;
        case Qt::Key_Minus: zoomBy(1 / kKeyZoom, centre); break;
        case Qt::Key_Left: panBy(-kPanStep, 0); break;
        case Qt::Key_Right: panBy(kPanStep, 0); break;
        case Qt::Key_Up: panBy(0, kPanStep); break;
        case Qt::Key_Down: panBy(0, -kPanStep); break;
        case Qt::Key_Home: UndoZoom(); break;
        case Qt::Key_Menu: openMenu(mapToGlobal(rect().center())); break;
        default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void TChart::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TChart::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

// ---------------------------------------------------------------- the menu

void TChart::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (m_gesture != Gesture::None) return;
    // From the keyboard the menu opens over the chart, wherever the mouse is.
    const bool mouse = event->reason() == QContextMenuEvent::Mouse;
    openMenu(mapToGlobal(mouse || rect().contains(event->pos()) ? event->pos() : rect().center()));
}

void TChart::openMenu(QPoint global) {
    m_hover.reset();
    update();
    QMenu menu(this);
    auto add = [&](const QString& text, std::function<void()> action, std::optional<bool> checked = {}) {
        QAction* a = menu.addAction(text);
        a->setCheckable(checked.has_value());
        a->setChecked(checked.value_or(false));
        connect(a, &QAction::triggered, this, [action = std::move(action)] { handle_event(action); });
        return a;
    };
    add("Reset zoom", [this] { UndoZoom(); })->setEnabled(Zoomed());
    menu.addSeparator();
    add(
        "Logarithmic epochs (x)", [this] { SetLogarithmicX(!LogarithmicX()); }, LogarithmicX());
    add(
        "Logarithmic errors (y)", [this] { SetLogarithmicY(!LogarithmicY()); }, LogarithmicY());
    if (SeriesCount() > 0) menu.addSeparator();
    for (int i = 0; i < SeriesCount(); ++i) {
        QPointer<TLineSeries> s = m_series[i];
        add(
            SeriesName(i),
            [s] {
                if (s) s->SetActive(!s->Active());
            },
            s->Active());
    }
    menu.addSeparator();
    add("Copy picture", [this] { CopyToClipboardBitmap(); });
    menu.exec(global);
}

void TChart::CopyToClipboardBitmap() { QGuiApplication::clipboard()->setImage(scene().copy()); }

// ---------------------------------------------------------------- the read-out

std::optional<TChart::Readout> TChart::readout() const {
    if (!m_hover || !overPlot(*m_hover)) return std::nullopt;
    const Layout& l = PlotLayout();
    const chart::Scale sx = l.x.scale, sy = l.y.scale;
    const double x = sx.from_axis(l.x.map.from_pixel(m_hover->x()));
    // Points arrive in increasing x; a series that was given them otherwise
    // is searched point by point.
    auto nearest = [](const TLineSeries* s, double at) -> std::optional<std::size_t> {
        const std::span<const double> xs = s->XValues();
        if (s->Sorted()) return chart::nearest_index(xs, at);
        std::optional<std::size_t> best;
        for (std::size_t i = 0; i < xs.size(); ++i)
            if (!best || std::abs(xs[i] - at) < std::abs(xs[*best] - at)) best = i;
        return best;
    };
    // The read-out stands at the point nearest the mouse among all shown series.
    std::optional<double> at;
    for (const TLineSeries* s : m_series) {
        if (!s->Active()) continue;
        const std::optional<std::size_t> i = nearest(s, x);
        const double xi = i ? s->XValues()[*i] : 0;
        if (i && sx.shows(xi) && (!at || std::abs(xi - x) < std::abs(*at - x))) at = xi;
    }
    if (!at) return std::nullopt;

    Readout r;
    r.lineX = l.x.map.to_pixel(sx.to_axis(*at));
    r.rows.push_back({"x: " + FloatToStr(*at), QColor(), std::nullopt});
    for (int n = 0; n < SeriesCount(); ++n) {
        const TLineSeries* s = m_series[n];
        if (!s->Active()) continue;
        const std::optional<std::size_t> i = nearest(s, *at);
        if (!i) continue;
        const double px = s->XValues()[*i], py = s->YValues()[*i];
        ReadoutRow row{SeriesName(n) + ": " + FloatToStr(py), to_qcolor(s->SeriesColor()), std::nullopt};
        if (sx.shows(px) && sy.shows(py)) {
            const QPointF p(l.x.map.to_pixel(sx.to_axis(px)), l.y.map.to_pixel(sy.to_axis(py)));
            const QPointF d = m_view3D ? chart::ribbon_offsets(n, l.depth3d).first : QPointF();
            if (l.front.adjusted(-0.5, -0.5, 0.5, 0.5).contains(p))
                row.marker = p + QPointF(std::round(d.x()), std::round(d.y()));
        }
        r.rows.push_back(std::move(row));
    }
    return r;
}

QStringList TChart::ReadoutLines() const {
    QStringList lines;
    if (const std::optional<Readout> r = readout())
        for (const ReadoutRow& row : r->rows) lines << row.text;
    return lines;
}
