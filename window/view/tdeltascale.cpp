#include "tdeltascale.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "network.h"
#include "sysutils.h"
#include "tcontrols.h"
#include "view_colours.h"
#include "view_math.h"
#include "view_text.h"

TDeltaScale::TDeltaScale(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void TDeltaScale::SetDeltas(const std::array<std::span<const float>, 3>& deltas, bool trained) {
    for (int L = 0; L < layer_count; ++L) m_deltas[L].assign(deltas[L].begin(), deltas[L].end());
    m_trained = trained;
    update();
}

// The layer names left of the rows, the decade labels and three lines of
// text below them: all from the font.
int TDeltaScale::labelWidth() const {
    int width = 0;
    for (int L = 0; L < layer_count; ++L)
        width = std::max(width, fontMetrics().horizontalAdvance(view::layer_name(L)));
    return width + 8;
}

int TDeltaScale::axisHeight() const { return fontMetrics().height() * 5 + 8; }

QSize TDeltaScale::sizeHint() const {
    return {labelWidth() + fontMetrics().horizontalAdvance(QStringLiteral("0")) * 34,
            3 * fontMetrics().height() * 2 + axisHeight()};
}

QSize TDeltaScale::minimumSizeHint() const {
    return {labelWidth() + fontMetrics().horizontalAdvance(QStringLiteral("0")) * 30,
            3 * fontMetrics().height() + axisHeight()};
}

QRect TDeltaScale::AxisRect() const {
    const int right =
        fontMetrics().horizontalAdvance(QStringLiteral("1E-00")) / 2 + 4;  // half the last label
    return QRect(labelWidth(), 0, width() - labelWidth() - right, height() - axisHeight());
}

QRect TDeltaScale::RowRect(int layer) const {
    // The output layer on top, as the deltas are computed from the top down.
    const QRect axis = AxisRect();
    const int row = layer_count - 1 - layer;
    return QRect(axis.left(), axis.top() + axis.height() * row / layer_count, axis.width(),
                 axis.height() / layer_count);
}

void TDeltaScale::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const view::Colours colours = view::colours(palette());
    const QRect axis = AxisRect();
    painter.fillRect(axis, colours.panel);
    if (ShowsFocus(this)) DrawFocusRing(painter, RowRect(m_current));
    if (!m_trained) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(axis.adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("No training yet: the deltas appear after the first \"Train\"."));
        return;
    }
    constexpr int decades = view::delta_highest_decade - view::delta_lowest_decade;
    const int line = fontMetrics().height();
    // Decade lines, labelled every second decade, or fewer where the labels
    // would run into each other.
    const int labelRoom = fontMetrics().horizontalAdvance(QStringLiteral("1E-14")) + 6;
    int every = 2;
    while (every < decades && axis.width() * every / decades < labelRoom) every *= 2;
    for (int e = 0; e <= decades; ++e) {
        const int x = axis.left() + axis.width() * e / decades;
        painter.setPen(colours.gridline);
        painter.drawLine(x, axis.top(), x, axis.bottom());
        if (e % every == 0) {
            painter.setPen(palette().color(QPalette::WindowText));
            const QString label = FloatToStr(std::pow(10.0L, view::delta_lowest_decade + e));
            const int w = fontMetrics().horizontalAdvance(label) + 4;
            painter.drawText(QRect(x - w / 2, axis.bottom() + 2, w, line), Qt::AlignCenter, label);
        }
    }
    std::array<std::optional<double>, 3> medians;
    for (int L = 0; L < layer_count; ++L) {
        const QRect row = RowRect(L);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(0, row.top(), labelWidth() - 4, row.height()),
                         Qt::AlignRight | Qt::AlignVCenter, view::layer_name(L));
        if (L == m_hovered)
            painter.fillRect(row.adjusted(3, 3, -3, -3), palette().color(QPalette::AlternateBase));
        painter.setPen(QPen(colours.mark, 1));
        for (float d : m_deltas[L])
            if (const auto p = view::delta_position(d)) {
                const int x = axis.left() + static_cast<int>(std::lround(*p * (axis.width() - 1)));
                painter.drawLine(x, row.top() + 6, x, row.bottom() - 6);
            }
        medians[L] = view::median_magnitude(m_deltas[L]);
        if (medians[L])
            if (const auto p = view::delta_position(static_cast<float>(*medians[L]))) {
                const int x = axis.left() + static_cast<int>(std::lround(*p * (axis.width() - 1)));
                painter.setPen(QPen(colours.median, 2));
                painter.drawLine(x, row.top() + 3, x, row.bottom() - 3);
            }
    }
    // The ratio of the medians from one layer to the next below it.
    QStringList lines{QStringLiteral("A mark per neuron; the median in the heavier line")};
    for (int L = layer_count - 1; L > 0; --L)
        if (medians[L] && medians[L - 1])
            lines << QStringLiteral("%1 / %2 median: %3")
                         .arg(view::layer_name(L - 1), view::layer_name(L).toLower(),
                              FloatToStr(*medians[L - 1] / *medians[L]));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(0, axis.bottom() + line + 4, width(), height() - axis.bottom() - line - 4),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, lines.join(QLatin1Char('\n')));
}

void TDeltaScale::mouseMoveEvent(QMouseEvent* event) {
    int layer = -1;
    for (int L = 0; L < layer_count; ++L)
        if (RowRect(L).contains(event->position().toPoint())) layer = L;
    if (layer != m_hovered) {
        m_hovered = layer;
        update();
        emit Hovered(layer);
    }
}

void TDeltaScale::leaveEvent(QEvent*) {
    if (m_hovered >= 0) {
        m_hovered = -1;
        update();
        emit Hovered(-1);
    }
}

void TDeltaScale::keyPressEvent(QKeyEvent* event) {
    // Up is towards the output layer, drawn on top.
    int to = m_current;
    if (event->key() == Qt::Key_Up)
        to = std::min(m_current + 1, layer_count - 1);
    else if (event->key() == Qt::Key_Down)
        to = std::max(m_current - 1, 0);
    else
        return QWidget::keyPressEvent(event);
    event->accept();
    if (to != m_current) {
        m_current = to;
        update();
        emit CurrentChanged(to);
    }
}

void TDeltaScale::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
    emit CurrentChanged(m_current);
}

void TDeltaScale::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}
