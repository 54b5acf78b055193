#include "tdeltascale.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "network.h"
#include "view_math.h"
#include "view_text.h"

namespace {

constexpr int label_width = 56;   // the layer names left of the rows
constexpr int axis_height = 70;   // the decade labels and the ratios below the rows

} // namespace

TDeltaScale::TDeltaScale(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
}

void TDeltaScale::SetDeltas(const std::array<std::span<const float>, 3>& deltas, bool trained)
{
    for (int L = 0; L < layer_count; ++L)
        m_deltas[L].assign(deltas[L].begin(), deltas[L].end());
    m_trained = trained;
    update();
}

QRect TDeltaScale::AxisRect() const
{
    return QRect(label_width, 0, width() - label_width - 16, height() - axis_height);
}

QRect TDeltaScale::RowRect(int layer) const
{
    // The output layer on top, as the deltas are computed from the top down.
    const QRect axis = AxisRect();
    const int row = layer_count - 1 - layer;
    return QRect(axis.left(), axis.top() + axis.height() * row / layer_count, axis.width(), axis.height() / layer_count);
}

void TDeltaScale::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect axis = AxisRect();
    painter.fillRect(axis, palette().color(QPalette::Base));
    if (!m_trained) {
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(axis.adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("No training yet: the deltas appear after the first \"Train\"."));
        return;
    }
    constexpr int decades = view::delta_highest_decade - view::delta_lowest_decade;
    // Decade lines, labelled every second decade.
    for (int e = 0; e <= decades; ++e) {
        const int x = axis.left() + axis.width() * e / decades;
        painter.setPen(palette().color(QPalette::Midlight));
        painter.drawLine(x, axis.top(), x, axis.bottom());
        if (e % 2 == 0) {
            painter.setPen(palette().color(QPalette::WindowText));
            const QString label = QStringLiteral("1E%1").arg(view::delta_lowest_decade + e);
            painter.drawText(QRect(x - 20, axis.bottom() + 2, 40, 14), Qt::AlignCenter, label);
        }
    }
    std::array<std::optional<double>, 3> medians;
    for (int L = 0; L < layer_count; ++L) {
        const QRect row = RowRect(L);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(0, row.top(), label_width - 4, row.height()), Qt::AlignRight | Qt::AlignVCenter,
                         view::layer_title(L).section(' ', 0, 0));
        if (L == m_hovered)
            painter.fillRect(row.adjusted(0, 1, 0, -1), palette().color(QPalette::AlternateBase));
        painter.setPen(QPen(QColor(8, 48, 107, 160), 1));
        for (float d : m_deltas[L])
            if (const auto p = view::delta_position(d)) {
                const int x = axis.left() + static_cast<int>(std::lround(*p * (axis.width() - 1)));
                painter.drawLine(x, row.top() + 6, x, row.bottom() - 6);
            }
        medians[L] = view::median_magnitude(m_deltas[L]);
        if (medians[L])
            if (const auto p = view::delta_position(static_cast<float>(*medians[L]))) {
                const int x = axis.left() + static_cast<int>(std::lround(*p * (axis.width() - 1)));
                painter.setPen(QPen(QColor(230, 120, 0), 2));
                painter.drawLine(x, row.top() + 2, x, row.bottom() - 2);
            }
    }
    // The ratio of the medians from one layer to the next below it.
    QStringList lines{QStringLiteral("A mark per neuron, the median in orange")};
    for (int L = layer_count - 1; L > 0; --L)
        if (medians[L] && medians[L - 1])
            lines << QStringLiteral("%1 median / %2 median: %3")
                         .arg(view::layer_title(L - 1).section(' ', 0, 0), view::layer_title(L).section(' ', 0, 0).toLower())
                         .arg(QString::number(*medians[L - 1] / *medians[L], 'g', 2));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(axis.left(), axis.bottom() + 18, axis.width(), 52), Qt::AlignLeft | Qt::AlignTop,
                     lines.join(QLatin1Char('\n')));
}

void TDeltaScale::mouseMoveEvent(QMouseEvent* event)
{
    int layer = -1;
    for (int L = 0; L < layer_count; ++L)
        if (RowRect(L).contains(event->position().toPoint()))
            layer = L;
    if (layer != m_hovered) {
        m_hovered = layer;
        update();
        emit Hovered(layer);
    }
}

void TDeltaScale::leaveEvent(QEvent*)
{
    if (m_hovered >= 0) {
        m_hovered = -1;
        update();
        emit Hovered(-1);
    }
}
