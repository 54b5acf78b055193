#include "tvaluegrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <utility>

#include "tcontrols.h"
#include "tvaluegrid_accessible.h"
#include "view_math.h"

TValueGrid::TValueGrid(QWidget* parent) : QWidget(parent)
{
    install_value_grid_accessibility();
    setMouseTracking(true);
}

void TValueGrid::SetValues(std::span<const float> values, int rows, int columns)
{
    m_values.assign(values.begin(), values.end());
    m_rows = rows;
    m_columns = columns;
    m_current = std::min(m_current, Count() - 1);
    update();
}

void TValueGrid::SetScale(Scale scale, float weight_limit)
{
    m_scale = scale;
    m_limit = weight_limit;
    update();
}

void TValueGrid::SetNumbered(bool numbered)
{
    m_numbered = numbered;
    update();
}

void TValueGrid::SetMarked(int cell)
{
    m_marked = cell;
    update();
}

void TValueGrid::SetHighlighted(int cell)
{
    if (cell == m_highlighted)
        return;
    m_highlighted = cell;
    update();
}

void TValueGrid::SetSelectable(bool selectable)
{
    m_selectable = selectable;
    setFocusPolicy(selectable ? Qt::StrongFocus : Qt::NoFocus);
    update();
}

void TValueGrid::SetCurrent(int cell)
{
    if (cell < 0 || cell >= Count() || cell == m_current)
        return;
    m_current = cell;
    update();
    emit CurrentChanged(cell);
    value_grid_current_changed(this);
}

void TValueGrid::SetItemNames(const QStringList& names)
{
    if (names == m_names)
        return;
    const QStringList before = std::exchange(m_names, names);
    value_grid_items_renamed(this, before);
}

QRect TValueGrid::CellRect(int cell) const
{
    return view::cell_rect(rect(), m_rows, m_columns, cell);
}

int TValueGrid::cellAt(QPoint p) const
{
    const int cell = view::cell_at(rect(), m_rows, m_columns, p);
    return cell < Count() ? cell : -1;
}

void TValueGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const bool many = Count() > 100;  // a heat map: no grid lines between 4-pixel cells
    for (int i = 0; i < Count(); ++i) {
        const QRect cell = CellRect(i);
        if (!event->rect().intersects(cell))
            continue;
        const QColor fill = m_scale == Scale::outputs ? view::output_colour(m_values[i])
                                                      : view::weight_colour(m_values[i], m_limit);
        painter.fillRect(cell, fill);
        if (!many) {
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawRect(cell);
        }
        if (m_numbered) {
            painter.setPen(view::text_colour_on(fill));
            painter.drawText(cell, Qt::AlignCenter, QString::number(i));
        }
    }
    if (m_marked >= 0 && m_marked < Count()) {
        painter.setPen(QPen(QColor(230, 120, 0), 3));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(CellRect(m_marked)).adjusted(1.5, 1.5, -1.5, -1.5));
    }
    if (m_highlighted >= 0 && m_highlighted < Count()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(CellRect(m_highlighted)).adjusted(1, 1, -1, -1));
    }
    if (m_selectable && m_current >= 0 && m_current < Count() && ShowsFocus(this))
        DrawFocusRing(painter, CellRect(m_current).adjusted(-1, -1, 2, 2));
}

void TValueGrid::mouseMoveEvent(QMouseEvent* event)
{
    const int cell = cellAt(event->position().toPoint());
    if (cell != m_hovered) {
        m_hovered = cell;
        emit Hovered(cell);
    }
    QWidget::mouseMoveEvent(event);
}

void TValueGrid::mousePressEvent(QMouseEvent* event)
{
    const int cell = cellAt(event->position().toPoint());
    if (m_selectable && cell >= 0)
        SetCurrent(cell);
    QWidget::mousePressEvent(event);
}

void TValueGrid::leaveEvent(QEvent* event)
{
    if (m_hovered >= 0) {
        m_hovered = -1;
        emit Hovered(-1);
    }
    QWidget::leaveEvent(event);
}

void TValueGrid::keyPressEvent(QKeyEvent* event)
{
    const int moved = m_selectable ? view::cell_moved(m_current, m_rows, m_columns, event->key()) : -1;
    if (moved < 0)
        return QWidget::keyPressEvent(event);
    SetCurrent(moved);
    event->accept();
}

void TValueGrid::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
    emit CurrentChanged(m_current);  // the focused cell becomes the one shown
    value_grid_current_changed(this);
}

void TValueGrid::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}
