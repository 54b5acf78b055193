#include "tscalebar.h"

#include <QPainter>

#include "sysutils.h"
#include "view_colours.h"

TScaleBar::TScaleBar(Scale scale, QWidget* parent) : QWidget(parent), m_scale(scale) {
    setSizePolicy(scale == Scale::weights ? QSizePolicy::Expanding : QSizePolicy::Fixed,
                  scale == Scale::weights ? QSizePolicy::Fixed : QSizePolicy::Expanding);
}

void TScaleBar::SetLimit(float limit) {
    if (limit == m_limit) return;
    m_limit = limit;
    updateGeometry();  // the labels' width
    update();
}

// A weight bar is as wide as one label and a little: its two end labels go
// on one line where they fit, else on two.
QSize TScaleBar::sizeHint() const {
    const QFontMetrics fm = fontMetrics();
    if (m_scale == Scale::outputs)
        return {12 + 4 + fm.horizontalAdvance(QStringLiteral("1")) + 2, 4 * fm.height()};
    return {labelWidth() + 24, 12 + 2 + 2 * fm.height()};
}

int TScaleBar::labelWidth() const {
    return fontMetrics().horizontalAdvance(QStringLiteral("-") + FloatToStr(m_limit));
}

QRect TScaleBar::barRect() const {
    const QFontMetrics fm = fontMetrics();
    if (m_scale == Scale::outputs) return QRect(0, fm.height() / 2, 12, height() - fm.height());
    return QRect(0, 0, width(), 12);
}

float TScaleBar::ValueAt(int position) const {
    const QRect bar = barRect();
    if (m_scale == Scale::outputs)  // 1 at the top row, 0 at the bottom one
        return bar.height() > 1 ? float(bar.bottom() - position) / float(bar.height() - 1) : 0.f;
    return bar.width() > 1 ? m_limit * (2.f * float(position - bar.left()) / float(bar.width() - 1) - 1.f)
                           : 0.f;
}

void TScaleBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect bar = barRect();
    if (m_scale == Scale::outputs) {
        for (int y = bar.top(); y <= bar.bottom(); ++y)
            painter.fillRect(QRect(bar.left(), y, bar.width(), 1), view::output_colour(ValueAt(y)));
    } else {
        for (int x = bar.left(); x <= bar.right(); ++x)
            painter.fillRect(QRect(x, bar.top(), 1, bar.height()), view::weight_colour(ValueAt(x), m_limit));
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
    const QFontMetrics fm = fontMetrics();
    if (m_scale == Scale::outputs) {
        const QRect labels(bar.right() + 4, 0, width() - bar.width() - 4, height());
        painter.drawText(labels, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("1"));
        painter.drawText(labels, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("0"));
    } else {
        const QString limit = FloatToStr(m_limit);
        const bool oneLine = width() >= 2 * labelWidth() + fm.horizontalAdvance(QStringLiteral(" 0 ")) + 8;
        const QRect first(0, bar.bottom() + 2, width(), fm.height());
        painter.drawText(first, Qt::AlignLeft, QStringLiteral("-") + limit);
        painter.drawText(oneLine ? first : first.translated(0, fm.height()), Qt::AlignRight, limit);
        if (oneLine) painter.drawText(first, Qt::AlignHCenter, QStringLiteral("0"));
    }
}
