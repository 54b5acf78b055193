// The legend of a colour scale, drawn pixel by pixel from the same function
// that colours the cells: outputs from 0 (bottom) to 1 (top), or weights from
// -limit (left) through 0 to +limit (right), with its end values written as
// the list boxes write numbers.
#pragma once

#include <QWidget>

class TScaleBar : public QWidget {
    Q_OBJECT
public:
    enum class Scale { outputs, weights };

    explicit TScaleBar(Scale scale, QWidget* parent = nullptr);

    // The weights' full colour; outputs always run from 0 to 1.
    void SetLimit(float limit);
    float Limit() const { return m_limit; }
    // The value drawn at x (weights) or y (outputs), in the widget's coordinates.
    float ValueAt(int position) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect barRect() const;
    int labelWidth() const;

    Scale m_scale;
    float m_limit = 1;
};
