// The program's chart: line series of (x, y) points under a title, with
// axes, a legend and an optional 3-D look, in the manner of the classic
// desktop chart components the form was designed with. The user can look
// closer: zoom with a rubber band, the wheel or the keys, pan, switch either
// axis to a logarithmic scale, hide series, copy the picture, and read the
// values under the mouse.
#pragma once

#include "chart_layout.h"
#include "tcolor.h"
#include "tstrings.h"

#include <QImage>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <span>
#include <vector>

class TChart;

// One line of points. Created with the chart as owner (QObject parent), so the
// chart frees it; shown only once attached with SetParentChart or AddSeries.
class TLineSeries : public QObject {
    Q_OBJECT
public:
    explicit TLineSeries(TChart* owner);
    ~TLineSeries() override;

    void SetParentChart(TChart* chart);
    TChart* ParentChart() const { return m_chart; }

    void SetTitle(const QString& title);
    QString Title() const { return m_title; }

    // Appends a point and returns its index. Every point is drawn in the
    // series' own colour, and the chart shows no point labels, so neither
    // the label nor the colour (the program passes "" and clTeeColor) is
    // kept. Does not repaint: the chart is only marked dirty.
    int AddXY(double x, double y, const QString& label, TColor colour);

    int Count() const { return static_cast<int>(m_x.size()); }
    // Out-of-range indices read as 0.
    double XValue(int i) const;
    double YValue(int i) const;
    // All the points at once, for drawing and searching them.
    std::span<const double> XValues() const { return m_x; }
    std::span<const double> YValues() const { return m_y; }
    const chart::DataRange& Range() const { return m_range; }  // of the finite points
    // Whether x never decreased so far: points can then be found by binary search.
    bool Sorted() const { return m_sorted; }
    // Drops every point and gives their memory back.
    void Clear();

    TColor SeriesColor() const { return m_colour; }
    void SetSeriesColor(TColor colour);

    // A series the user has hidden stays in the legend, greyed, but is
    // neither drawn nor read out nor counted in the axes' extent.
    bool Active() const { return m_active; }
    void SetActive(bool on);

private:
    void changed() const;

    TChart* m_chart = nullptr;  // the chart showing this series, if any
    QString m_title;
    TColor m_colour = 0x0000FF;  // until a chart assigns one from its palette
    bool m_active = true;
    std::vector<double> m_x;
    std::vector<double> m_y;
    chart::DataRange m_range;  // kept up to date as points arrive
    bool m_sorted = true;
};

// The chart's title lines; any change schedules a repaint.
class TChartTitle final : public TStrings {
public:
    explicit TChartTitle(TChart* chart) : m_chart(chart) {}
    void Clear() override;
    void Add(const QString& line) override;
    int Count() const override { return static_cast<int>(m_lines.size()); }
    QString Strings(int index) const override { return m_lines.value(index); }

private:
    TChart* m_chart;
    QStringList m_lines;
};

class TChart : public QWidget {
    Q_OBJECT
public:
    explicit TChart(QWidget* parent = nullptr);
    ~TChart() override;

    TStrings& TitleText() { return m_title; }

    // Hides every series; they stay alive, owned by the chart, until it dies,
    // but give back their points, which nothing can show again. The view
    // returns to the full extent; the 3-D and logarithmic choices stay.
    void RemoveAllSeries();
    // Shows s after the others (no-op if already shown) and gives it the
    // next palette colour; moves it here if another chart was showing it.
    void AddSeries(TLineSeries* s);
    // Stops showing s, which stays with its owner.
    void RemoveSeries(TLineSeries* s);
    int SeriesCount() const { return static_cast<int>(m_series.size()); }
    TLineSeries* Series(int i) const;
    // The name the legend, the menu and the read-out give series i: its
    // title, or for an untitled one a name that tells it apart.
    QString SeriesName(int i) const;

    bool View3D() const { return m_view3D; }
    void SetView3D(bool on);

    // The epoch (x) and error (y) axes: linear, or logarithmic as
    // log10(1 + x) and log10(y). Until the user sets it, the epoch axis is
    // logarithmic where the series run over two decades of epochs or more
    // (a training run's 10001 epochs, not the 36 points at start-up), so
    // that the first epochs, where the errors fall, get their share of the
    // plot; while a zoom lasts, it keeps the scale the zoom was made on.
    bool LogarithmicX() const { return PlotLayout().x.scale.log; }
    void SetLogarithmicX(bool on);
    bool LogarithmicY() const { return m_y.scale.log; }
    void SetLogarithmicY(bool on);

    // Zooms to what a rubber band over these pixels selects; a band of no
    // height (or width) leaves that axis as it is.
    void ZoomRect(const QRectF& pixels);
    // Back to the full view.
    void UndoZoom();
    bool Zoomed() const { return m_x.zoom || m_y.zoom; }

    // Where everything is drawn for the current size, data and view.
    const chart::Layout& PlotLayout() const;

    // The read-out under the mouse as shown: the x, then a line per shown
    // series with its title and its y there. Empty when there is none.
    QStringList ReadoutLines() const;

    // The chart as drawn, without the read-out, onto the clipboard.
    void CopyToClipboardBitmap();

    // Draws everything afresh on the next paint. The chart does this itself
    // whenever its data, title or view change (once for any number of
    // changes before that paint); a paint for the read-out alone reuses the
    // last picture.
    void Invalidate();

    QSize sizeHint() const override { return {400, 250}; }
    QSize minimumSizeHint() const override { return {160, 100}; }

signals:
    void OnClick(QObject* Sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    using Layout = chart::Layout;

    // What a press of the mouse has started.
    enum class Gesture {
        None,
        Pressed,  // left button, not yet moved beyond a click's slack
        ShiftPressed,
        Band,       // drawing a rubber band
        Pan,        // moving the view with the mouse
        Swallowed,  // the second press of a double click, which is no click
    };

    // A line of the read-out, and where its series' point is.
    struct ReadoutRow {
        QString text;
        QColor colour;  // invalid for the x line
        std::optional<QPointF> marker;
    };
    struct Readout {
        double lineX = 0;  // pixel column of the vertical line
        std::vector<ReadoutRow> rows;
    };

    // Gives one axis a linear or a logarithmic scale.
    void setScale(chart::AxisState& axis, chart::Scale scale, chart::AxisLayout chart::Layout::*laid);
    void click();
    Layout layout() const;        // for the current size, series, title and view
    const QImage& scene() const;  // the chart drawn, without the read-out
    void drawScene(QPainter& p, const Layout& l) const;
    void drawPanel(QPainter& p) const;
    void drawWalls(QPainter& p, const Layout& l) const;
    void drawGrid(QPainter& p, const Layout& l) const;
    void drawSeries(QPainter& p, const Layout& l) const;
    void drawAxes(QPainter& p, const Layout& l) const;
    void drawTitle(QPainter& p) const;
    void drawLegend(QPainter& p, const Layout& l) const;
    void drawReadout(QPainter& p, const Layout& l, const Readout& r) const;

    std::optional<Readout> readout() const;
    bool overPlot(QPointF pos) const;
    void setZoom(std::optional<chart::Span> x, std::optional<chart::Span> y);
    void zoomBy(double factor, QPointF anchor);
    void panBy(double dx, double dy);  // fractions of the shown spans
    void openMenu(QPoint global);

    TChartTitle m_title{this};
    std::vector<TLineSeries*> m_series;  // shown, in the order added
    bool m_view3D = false;
    chart::AxisState m_x{chart::x_scale(false), {}}, m_y{chart::y_scale(false), {}};
    bool m_xFollowsData = true;     // the user has not set the epoch axis' scale
    bool m_repaintPending = false;  // an update() is already on its way

    Gesture m_gesture = Gesture::None;
    Qt::MouseButton m_button = Qt::NoButton;  // the one whose release ends the gesture
    QPointF m_pressAt, m_dragTo;
    Layout m_panFrom;                // the axes as they were when a pan began
    std::optional<QPointF> m_hover;  // the mouse resting over the plot

    // The last picture of the chart and the layout it was drawn with, both
    // dropped whenever anything they show changes.
    mutable QImage m_scene;
    mutable bool m_sceneValid = false;
    mutable std::optional<Layout> m_layout;
};
