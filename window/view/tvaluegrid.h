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
    // Outputs (0 to 1), weights (on a limit), or bits as the form's cells
    // show them (black 1, gray 0).
    enum class Scale { outputs, weights, bits };

    explicit TValueGrid(QWidget* parent = nullptr);

    // The values, cell i at row i / columns, column i % columns.
    void SetValues(std::span<const float> values, int rows, int columns);
    void SetScale(Scale scale, float weight_limit = 1);
    // A text written in each cell (the output layer's digits and values);
    // empty for none.
    void SetTexts(const QStringList& texts);
    // The size of one cell; the grid asks for room for all of them, and the
    // cells share whatever room it gets.
    void SetCellSize(QSize size);
    // Pixels between neighbouring cells and round the grid, where the frame
    // of the marked cell goes; 0 for cells that tile.
    void SetGap(int gap);
    // A cell framed, in the gap round it, in the winner's colour (the
    // recognised digit); -1 for none. The frame stays whatever else marks
    // the same cell.
    void SetMarked(int cell);
    // A cell framed inside in the selection colour (the neuron whose weights
    // are shown); -1 for none.
    void SetHighlighted(int cell);
    // Focusable, with a current cell moved by the arrow keys; listed, it
    // shows screen readers one item per cell (a layer's neurons), else it is
    // one graphic (a map of weights, whose current cell the read-out tells).
    void SetSelectable(bool selectable, bool listed = true);
    bool Listed() const { return m_listed; }
    void SetCurrent(int cell);
    int Current() const { return m_current; }
    // The items' names for screen readers, one per cell.
    void SetItemNames(const QStringList& names);
    const QStringList& ItemNames() const { return m_names; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

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
    QColor fillOf(float value) const;

    std::vector<float> m_values;
    QStringList m_names;
    int m_rows = 0;
    int m_columns = 0;
    Scale m_scale = Scale::outputs;
    float m_limit = 1;
    QStringList m_texts;
    QSize m_cellSize{16, 16};
    int m_gap = 0;
    bool m_selectable = false;
    bool m_listed = false;
    int m_marked = -1;
    int m_highlighted = -1;
    int m_current = 0;
    int m_hovered = -1;
};
