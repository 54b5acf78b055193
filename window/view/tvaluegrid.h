// A grid of numbers shown as coloured cells: a layer's outputs, a neuron's
// weights or a layer's whole weight matrix. It reports the cell under the
// mouse; a selectable grid also takes the focus, moves its current cell with
// the arrow keys, and shows screen readers one named item per cell.
#pragma once

#include <QStringList>
#include <QWidget>
#include <span>
#include <vector>

class TValueGrid : public QWidget {
    Q_OBJECT
public:
    enum class Scale { outputs, weights };

    explicit TValueGrid(QWidget* parent = nullptr);

    // The values, cell i at row i / columns, column i % columns.
    void SetValues(std::span<const float> values, int rows, int columns);
    void SetScale(Scale scale, float weight_limit = 1);
    // Writes each cell's number in it (the output layer's digits).
    void SetNumbered(bool numbered);
    // A cell drawn with a heavy frame (the recognised digit); -1 for none.
    void SetMarked(int cell);
    // A cell framed in the highlight colour (the neuron whose weights are
    // shown); -1 for none.
    void SetHighlighted(int cell);
    // Focusable, with a current cell and one accessible item per cell.
    void SetSelectable(bool selectable);
    void SetCurrent(int cell);
    int Current() const { return m_current; }
    // The items' names for screen readers, one per cell.
    void SetItemNames(const QStringList& names);
    const QStringList& ItemNames() const { return m_names; }

    int Rows() const { return m_rows; }
    int Columns() const { return m_columns; }
    int Count() const { return static_cast<int>(m_values.size()); }
    QRect CellRect(int cell) const;  // in the grid's coordinates

signals:
    void Hovered(int cell);         // -1 once the mouse has left the cells
    void CurrentChanged(int cell);  // by a key, a click or SetCurrent

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int cellAt(QPoint p) const;

    std::vector<float> m_values;
    QStringList m_names;
    int m_rows = 0;
    int m_columns = 0;
    Scale m_scale = Scale::outputs;
    float m_limit = 1;
    bool m_numbered = false;
    bool m_selectable = false;
    int m_marked = -1;
    int m_highlighted = -1;
    int m_current = 0;
    int m_hovered = -1;
};
