// The program's chart: line series of (x, y) points under a title, with
// axes, a legend and an optional 3-D look, in the manner of the classic
// desktop chart components the form was designed with.
#pragma once

#include "chart_layout.h"
#include "tcolor.h"
#include "tstrings.h"

#include <QStringList>
#include <QWidget>
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
    TColor SeriesColor() const { return m_colour; }

private:
    friend class TChart;

    TChart* m_chart = nullptr;  // the chart showing this series, if any
    QString m_title;
    TColor m_colour = 0x0000FF;  // until a chart assigns one from its palette
    std::vector<double> m_x;
    std::vector<double> m_y;
    chart::DataRange m_range;  // kept up to date as points arrive
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

    // Hides every series; they stay alive, owned by the chart, until it dies.
    void RemoveAllSeries();
    // Shows s after the others (no-op if already shown) and gives it the
    // next palette colour; moves it here if another chart was showing it.
    void AddSeries(TLineSeries* s);
    int SeriesCount() const { return static_cast<int>(m_series.size()); }
    TLineSeries* Series(int i) const;

    bool View3D() const { return m_view3D; }
    void SetView3D(bool on);

    QSize sizeHint() const override { return {400, 250}; }
    QSize minimumSizeHint() const override { return {160, 100}; }

signals:
    void OnClick(QObject* Sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    friend class TLineSeries;
    friend class TChartTitle;

    using Layout = chart::Layout;

    void scheduleRepaint();
    void detach(TLineSeries* s);
    Layout layout() const;  // for the current size, series, title and view
    void drawPanel(QPainter& p) const;
    void drawWalls(QPainter& p, const Layout& l) const;
    void drawGrid(QPainter& p, const Layout& l) const;
    void drawSeries(QPainter& p, const Layout& l) const;
    void drawAxes(QPainter& p, const Layout& l) const;
    void drawTitle(QPainter& p) const;
    void drawLegend(QPainter& p, const Layout& l) const;

    TChartTitle m_title{this};
    std::vector<TLineSeries*> m_series;  // shown, in the order added
    bool m_view3D = false;
    bool m_repaintPending = false;  // an update() is already on its way
    bool m_pressed = false;         // a left press on the chart awaits its release
};
