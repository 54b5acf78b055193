#include "tvaluegrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "tcontrols.h"
#include "tvaluegrid_accessible.h"
#include "view_colours.h"
#include "view_math.h"

TValueGrid::TValueGrid(QWidget* parent) : QWidget(parent) {
    install_value_grid_accessibility();
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void TValueGrid::SetValues(std::span<const float> values, int rows, int columns) {
    m_values.assign(values.begin(), values.end());
    if (rows != m_rows || columns != m_columns) {
        m_rows = rows;
        m_columns = columns;
        updateGeometry();
    }
    m_current = std::min(m_current, Count() - 1);
    update();
}

void TValueGrid::SetScale(Scale scale, float weight_limit) {
    m_scale = scale;
    m_limit = weight_limit;
    update();
}

void TValueGrid::SetTexts(const QStringList& texts) {
    if (texts == m_texts) return;
    m_texts = texts;
    update();
}

void TValueGrid::SetCellSize(QSize size) {
    m_cellSize = size;
    updateGeometry();
}

void TValueGrid::SetGap(int gap) {
    m_gap = gap;
    updateGeometry();
}

QSize TValueGrid::sizeHint() const {
    return {m_columns * (m_cellSize.width() + m_gap) + m_gap, m_rows * (m_cellSize.height() + m_gap) + m_gap};
}

void TValueGrid::SetMarked(int cell) {
    m_marked = cell;
    update();
}

void TValueGrid::SetHighlighted(int cell) {
    if (cell == m_highlighted) return;
    m_highlighted = cell;
    update();
}

void TValueGrid::SetSelectable(bool selectable, bool listed) {
    m_selectable = selectable;
    m_listed = selectable && listed;
    setFocusPolicy(selectable ? Qt::StrongFocus : Qt::NoFocus);
    update();
}

void TValueGrid::SetCurrent(int cell) {
    if (cell < 0 || cell >= Count() || cell == m_current) return;
    m_current = cell;
    update();
    emit CurrentChanged(cell);
    value_grid_current_changed(this);
}

void TValueGrid::SetItemNames(const QStringList& names) {
    if (names == m_names) return;
    const QStringList before = std::exchange(m_names, names);
    value_grid_items_renamed(this, before);
}

// The cells tile the grid less half a gap all round; each cell is its tile
// less another half gap, so that neighbours are a whole gap apart.
QRect TValueGrid::CellRect(int cell) const {
    const int half = m_gap / 2;
    const QRect tile = view::cell_rect(rect().adjusted(half, half, -half, -half), m_rows, m_columns, cell);
    return tile.adjusted(half, half, -half, -half);
}

int TValueGrid::cellAt(QPoint p) const {
    const int half = m_gap / 2;
    const int cell = view::cell_at(rect().adjusted(half, half, -half, -half), m_rows, m_columns, p);
    return cell < Count() ? cell : -1;
}

QColor TValueGrid::fillOf(float value) const {
    switch (m_scale) {
        case Scale::outputs: return view::output_colour(value);
        case Scale::weights: return view::weight_colour(value, m_limit);
        case Scale::bits: return view::bit_colour(value);
    }
    return {};
}

void TValueGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const view::Colours colours = view::colours(palette());
    for (int i = 0; i < Count(); ++i) {
        const QRect cell = CellRect(i);
        if (!event->rect().intersects(cell.adjusted(-m_gap, -m_gap, m_gap, m_gap))) continue;
        const QColor fill = fillOf(m_values[i]);
        painter.fillRect(cell, fill);
        if (i < m_texts.size()) {
            painter.setPen(view::text_colour_on(fill));
            painter.drawText(cell.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter, m_texts[i]);
        }
    }
    painter.setBrush(Qt::NoBrush);
    // The selection inside its cell, with a line of the cell's text colour
    // inside it, so that it shows on every fill.
    if (m_highlighted >= 0 && m_highlighted < Count()) {
        const QRectF cell = CellRect(m_highlighted);
        const QColor fill = fillOf(m_values[m_highlighted]);
        painter.setPen(QPen(colours.selected, 2));
        painter.drawRect(cell.adjusted(1, 1, -1, -1));
        painter.setPen(QPen(view::text_colour_on(fill), 1));
        painter.drawRect(cell.adjusted(2.5, 2.5, -2.5, -2.5));
    }
    // The winner's frame in the gap round its cell, where nothing else draws.
    if (m_marked >= 0 && m_marked < Count()) {
        painter.setPen(QPen(colours.winner, std::max(2, m_gap / 2)));
        const double out = std::max(2, m_gap / 2) / 2.0 + 0.5;
        painter.drawRect(QRectF(CellRect(m_marked)).adjusted(-out, -out, out - 1, out - 1));
    }
    if (m_selectable && m_current >= 0 && m_current < Count() && ShowsFocus(this)) {
        // Inside a cell large enough to hold the ring, else round it.
        const QRect cell = CellRect(m_current);
        DrawFocusRing(painter,
                      cell.width() >= 12 && cell.height() >= 12 ? cell : cell.adjusted(-4, -4, 4, 4));
    }
}

void TValueGrid::mouseMoveEvent(QMouseEvent* event) {
    const int cell = cellAt(event->position().toPoint());
    if (cell != m_hovered) {
        m_hovered = cell;
        emit Hovered(cell);
    }
    QWidget::mouseMoveEvent(event);
}

void TValueGrid::mousePressEvent(QMouseEvent* event) {
    const int cell = cellAt(event->position().toPoint());
    if (m_selectable && cell >= 0) SetCurrent(cell);
    QWidget::mousePressEvent(event);
}

void TValueGrid::leaveEvent(QEvent* event) {
    if (m_hovered >= 0) {
        m_hovered = -1;
        emit Hovered(-1);
    }
    QWidget::leaveEvent(event);
}

void TValueGrid::keyPressEvent(QKeyEvent* event) {
    const int moved = m_selectable ? view::cell_moved(m_current, m_rows, m_columns, event->key()) : -1;
    if (moved < 0) return QWidget::keyPressEvent(event);
    SetCurrent(moved);
    event->accept();
}

void TValueGrid::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
    emit CurrentChanged(m_current);  // the focused cell becomes the one shown
    value_grid_current_changed(this);
}

void TValueGrid::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}
