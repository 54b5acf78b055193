// The deltas of the last learning step on one logarithmic scale of
// magnitude, a row per layer with a mark per neuron, so that the fall by
// the factor 0.005 from layer to layer shows as a jump of 2.3 decades.
// It takes the focus; Up and Down move between the rows.
#pragma once

#include <QWidget>
#include <array>
#include <span>
#include <vector>

class TDeltaScale : public QWidget {
    Q_OBJECT
public:
    explicit TDeltaScale(QWidget* parent = nullptr);

    // The deltas of layers 0, 1 and 2; without training there are none to show.
    void SetDeltas(const std::array<std::span<const float>, 3>& deltas, bool trained);

    // Where row `layer` and the scale itself lie, in the widget's coordinates.
    QRect RowRect(int layer) const;
    QRect AxisRect() const;
    // The row the keyboard is on.
    int Current() const { return m_current; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void Hovered(int layer);         // the row under the mouse, -1 off the rows
    void CurrentChanged(int layer);  // by a key, or the focus arriving

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int labelWidth() const;
    int axisHeight() const;

    std::array<std::vector<float>, 3> m_deltas;
    bool m_trained = false;
    int m_hovered = -1;
    int m_current = 2;  // the output layer, on top
};
