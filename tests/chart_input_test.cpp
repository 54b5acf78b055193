// The chart in the user's hands: drags, clicks, the wheel, the keys, the menu
// and the read-out, through real mouse and key events on the widget; and
// what a new run does to the view and to the series it removes.
#include "sysutils.h"
#include "tchart.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// Failures show texts, not bytes.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// A run's error: a steep fall in the first few epochs, then flat near 0.45.
double fall(int epoch, int pattern) { return 0.45 + (0.85 + 0.01 * pattern) * std::exp(-epoch / 3.0); }

void add_run(TChart& chart, int epochs = 10001) {
    for (int p = 0; p < 10; ++p) {
        auto* s = new TLineSeries(&chart);
        s->SetParentChart(&chart);
        s->SetTitle(QStringLiteral("Pattern%1").arg(p));
        for (int e = 0; e < epochs; ++e) s->AddXY(e, fall(e, p), "", clTeeColor);
    }
}

class ChartInput : public ::testing::Test {
protected:
    void SetUp() override {
        chart.resize(400, 250);
        chart.TitleText().Add("Eq degree");
        add_run(chart);
        chart.SetLogarithmicX(false);  // the axes below reason in epochs
        chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    }

    const chart::Layout& l() const { return chart.PlotLayout(); }
    // The pixel of a data point on the linear axes as they are now.
    QPointF exactly(double x, double y) const { return {l().x.map.to_pixel(x), l().y.map.to_pixel(y)}; }
    QPoint at(double x, double y) const { return exactly(x, y).toPoint(); }
    void zoom(double x0, double y0, double x1, double y1) {
        chart.ZoomRect(QRectF(exactly(x0, y1), exactly(x1, y0)));
    }
    double shownWidth() const { return l().x.map.hi - l().x.map.lo; }

    void drag(QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton,
              Qt::KeyboardModifiers mods = {}) {
        QTest::mousePress(&chart, button, mods, from);
        QTest::mouseMove(&chart, (from + to) / 2);
        QTest::mouseMove(&chart, to);
        QTest::mouseRelease(&chart, button, mods, to);
    }
    void wheel(QPoint pos, int delta) {
        QWheelEvent e(pos, chart.mapToGlobal(pos), {}, {0, delta}, Qt::NoButton, {}, Qt::NoScrollPhase,
                      false);
        QApplication::sendEvent(&chart, &e);
    }
    // Opens the menu with `open`, triggers the entry `text` and closes it.
    // Returns whether the menu appeared and held that entry.
    bool choose(const QString& text, const std::function<void()>& open) {
        bool found = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* a : menu->actions())
                if (a->text() == text && a->isEnabled()) found = true, a->trigger();
            menu->close();
        });
        poll.start(10);
        open();
        return found;
    }
    // What a right click brings on a real display (the offscreen one sends
    // no context menu event for it).
    void rightClick() {
        const QPoint pos = l().front.center().toPoint();
        QTest::mouseClick(&chart, Qt::RightButton, {}, pos);
        QContextMenuEvent e(QContextMenuEvent::Mouse, pos, chart.mapToGlobal(pos));
        QApplication::sendEvent(&chart, &e);
    }

    TChart chart;
    QSignalSpy clicks{&chart, &TChart::OnClick};
};

}  // namespace

// ------------------------------------------------------------ the mouse

TEST_F(ChartInput, DragsDownRightZoomAndUpLeftRestoreWithoutAClick) {
    // As a user looks at the first epochs: from left of the plot, over its
    // left edge, to below its bottom. Twice.
    auto overTheLeftEdge = [&](int width) {
        const QRect f = l().front.toRect();
        drag(QPoint(f.left() - 8, f.top() - 4), QPoint(f.left() + width, f.bottom() + 4));
    };
    overTheLeftEdge(20);
    ASSERT_TRUE(chart.Zoomed());
    EXPECT_EQ(l().x.map.lo, l().x.full.lo);
    EXPECT_LT(l().x.map.hi, 1000);
    const double first = shownWidth();
    overTheLeftEdge(10);
    EXPECT_LT(shownWidth(), first / 5);
    // The fall now spreads over many pixel columns.
    EXPECT_GT(at(10, 0.45).x() - at(0, 0.45).x(), 50);

    drag(l().front.center().toPoint(), l().front.center().toPoint() - QPoint(40, 40));
    EXPECT_FALSE(chart.Zoomed());
    EXPECT_EQ(l().x.map.hi, l().x.full.hi);
    // A sideways drag (neither diagonal) changes nothing.
    drag(l().front.center().toPoint(), l().front.center().toPoint() + QPoint(40, -40));
    EXPECT_FALSE(chart.Zoomed());
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(ChartInput, AClickThatWobblesIsStillOneClickAndADoubleClickIsOne) {
    const QPoint c = l().front.center().toPoint();
    drag(c, c + QPoint(3, 2));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(chart.Zoomed());
    // A double click as a display delivers it: press, release, double click, release.
    QTest::mouseClick(&chart, Qt::LeftButton, {}, c);
    QTest::mouseDClick(&chart, Qt::LeftButton, {}, c);
    QTest::mouseRelease(&chart, Qt::LeftButton, {}, c);
    EXPECT_EQ(clicks.count(), 2);
    // Released outside the chart, a press is no click.
    QTest::mousePress(&chart, Qt::LeftButton, {}, c);
    QTest::mouseRelease(&chart, Qt::LeftButton, {}, QPoint(-2, c.y()));
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(ChartInput, TheWheelZoomsAboutTheCursor) {
    const QPoint cursor = at(2000, 0.9);
    const double full = shownWidth();
    wheel(cursor, 120);
    ASSERT_TRUE(chart.Zoomed());
    EXPECT_NEAR(shownWidth(), 0.8 * full, 1);
    // The labels may move the axis by a pixel or two, no more.
    EXPECT_NEAR(l().x.map.from_pixel(cursor.x()), 2000, 3 * 8000.0 / l().front.width());
    wheel(cursor, 120);
    EXPECT_NEAR(shownWidth(), 0.64 * full, 1);
    wheel(cursor, -3 * 120);  // out past the whole of the data
    EXPECT_FALSE(chart.Zoomed());
    EXPECT_EQ(clicks.count(), 0);
}

TEST_F(ChartInput, MiddleAndShiftDragsPanTheZoomedView) {
    zoom(4000, 0.5, 6000, 1.2);
    const double lo = l().x.map.lo, perPixel = 1 / l().x.map.scale();
    const QPoint c = l().front.center().toPoint();
    drag(c, c - QPoint(50, 0), Qt::MiddleButton);
    EXPECT_NEAR(l().x.map.lo, lo + 50 * perPixel, perPixel);  // the data follow the mouse
    drag(c, c + QPoint(50, 0), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_NEAR(l().x.map.lo, lo, perPixel);
    EXPECT_EQ(clicks.count(), 0);
    // Panned far past the end, the view stops at the data's edge.
    for (int i = 0; i < 10; ++i) drag(c, c - QPoint(150, 0), Qt::MiddleButton);
    EXPECT_DOUBLE_EQ(l().x.map.hi, l().x.full.hi);
}

// ------------------------------------------------------------ the keys

TEST_F(ChartInput, KeysZoomPanResetAndSwitch) {
    EXPECT_TRUE(chart.focusPolicy() & Qt::TabFocus);
    const double full = shownWidth();
    QTest::keyClick(&chart, Qt::Key_Plus);
    ASSERT_TRUE(chart.Zoomed());
    EXPECT_NEAR(shownWidth(), 0.8 * full, 1);
    const double lo = l().x.map.lo;
    QTest::keyClick(&chart, Qt::Key_Right);
    EXPECT_NEAR(l().x.map.lo, lo + 0.08 * full, 1);
    QTest::keyClick(&chart, Qt::Key_Down);  // the view moves down: lower errors come into sight
    const double low = l().y.map.lo;
    QTest::keyClick(&chart, Qt::Key_Up);
    EXPECT_GT(l().y.map.lo, low);
    QTest::keyClick(&chart, Qt::Key_Minus);
    EXPECT_FALSE(chart.Zoomed());
    QTest::keyClick(&chart, Qt::Key_Plus);
    QTest::keyClick(&chart, Qt::Key_Home);
    EXPECT_FALSE(chart.Zoomed());
    EXPECT_EQ(clicks.count(), 0);
    QTest::keyClick(&chart, Qt::Key_Space);
    QTest::keyClick(&chart, Qt::Key_Return);
    EXPECT_EQ(clicks.count(), 2);
}

// ------------------------------------------------------------ the menu

TEST_F(ChartInput, TheMenuDoesWhatItSays) {
    ASSERT_TRUE(choose("Logarithmic epochs (x)", [&] { rightClick(); }));
    EXPECT_TRUE(chart.LogarithmicX());
    EXPECT_EQ(l().x.ticks.labels.front(), "0");
    ASSERT_TRUE(choose("Logarithmic errors (y)", [&] { QTest::keyClick(&chart, Qt::Key_Menu); }));
    EXPECT_TRUE(chart.LogarithmicY());
    ASSERT_TRUE(choose("Logarithmic epochs (x)", [&] { rightClick(); }));
    EXPECT_FALSE(chart.LogarithmicX());

    ASSERT_TRUE(choose("Pattern3", [&] { rightClick(); }));
    EXPECT_FALSE(chart.Series(3)->Active());
    EXPECT_TRUE(chart.Series(2)->Active());

    zoom(0, 0.5, 30, 1.2);
    ASSERT_TRUE(choose("Reset zoom", [&] { rightClick(); }));
    EXPECT_FALSE(chart.Zoomed());
    EXPECT_FALSE(choose("Reset zoom", [&] { rightClick(); })) << "nothing to reset";

    QApplication::clipboard()->clear();
    ASSERT_TRUE(choose("Copy picture", [&] { rightClick(); }));
    const QImage copied = QApplication::clipboard()->image();
    EXPECT_EQ(copied.size(), chart.size());
    EXPECT_EQ(clicks.count(), 0);
}

// ------------------------------------------------------------ the read-out

TEST_F(ChartInput, RestingTheMouseReadsOutEveryShownSeriesAtTheNearestX) {
    zoom(0, 0.45, 20, 1.35);
    QTest::mouseMove(&chart, QPoint(static_cast<int>(l().x.map.to_pixel(3.3)), 100));
    QStringList want = {"x: 3"};
    for (int p = 0; p < 10; ++p)
        want << QStringLiteral("Pattern%1: ").arg(p) + FloatToStr(chart.Series(p)->YValue(3));
    EXPECT_EQ(chart.ReadoutLines(), want);

    chart.SetView3D(true);  // the same in 3-D, whose front face carries the x axis
    QTest::mouseMove(&chart, QPoint(static_cast<int>(l().x.map.to_pixel(2.8)), 100));
    EXPECT_EQ(chart.ReadoutLines(), want);

    chart.Series(0)->SetActive(false);
    QTest::mouseMove(&chart, QPoint(static_cast<int>(l().x.map.to_pixel(3.1)), 100));
    want.removeAt(1);
    EXPECT_EQ(chart.ReadoutLines(), want);

    QTest::mouseMove(&chart, QPoint(chart.width() - 3, 100));  // over the legend
    EXPECT_TRUE(chart.ReadoutLines().isEmpty());
}

TEST_F(ChartInput, TheReadoutIsOpaqueClearOfTitleAndLegendAndGoesWithTheMouse) {
    const QColor base(17, 34, 51);  // a tooltip colour found nowhere else on the chart
    QPalette palette = chart.palette();
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, Qt::white);  // readable on it, so the read-out takes both
    chart.setPalette(palette);
    auto image = [&] {
        QImage i(chart.size(), QImage::Format_RGB32);
        chart.render(&i);
        return i;
    };
    const int titleBottom = 6 + QFontMetrics(chart.font()).height();
    for (bool view3D : {false, true}) {
        chart.SetView3D(view3D);
        const QRect legend = l().legend.toAlignedRect().adjusted(-1, -1, 3, 3);  // its shadow too
        const QRectF f = l().front;
        for (double across : {0.05, 0.5, 0.95})
            for (double down : {0.1, 0.9}) {
                QTest::mouseMove(
                    &chart, QPointF(f.left() + across * f.width(), f.top() + down * f.height()).toPoint());
                const QImage shown = image();
                int box = 0, misplaced = 0;
                for (int y = 0; y < shown.height(); ++y)
                    for (int x = 0; x < shown.width(); ++x)
                        if (shown.pixelColor(x, y) == base)
                            ++box, misplaced += y < titleBottom || legend.contains(x, y);
                SCOPED_TRACE(testing::Message() << across << ", " << down << (view3D ? " 3-D" : " 2-D"));
                EXPECT_GT(box, 10000);  // opaque: the colour itself, not blended with what is behind
                EXPECT_EQ(misplaced, 0);
                // In 3-D the read-out's line goes on up the back wall, above the front face.
                const QRect aboveFront(QPoint(int(f.left()), int(l().plot.top()) + 1),
                                       QPoint(int(l().plot.right()), int(f.top()) - 2));
                int line = 0;
                for (int y = aboveFront.top(); view3D && across != 0.5 && y <= aboveFront.bottom(); ++y)
                    for (int x = aboveFront.left(); x <= aboveFront.right(); ++x)
                        line += shown.pixelColor(x, y) == QColor(90, 90, 90);
                EXPECT_EQ(line > 0, view3D && across != 0.5);
            }
    }

    // Markers only where the curves are in view: the nearest epoch, 3, lies
    // just left of this one.
    chart.SetView3D(false);
    zoom(0, 0.5, 20, 1.3);
    zoom(3.1, 0.75, 5, 0.81);
    ASSERT_GT(l().x.map.lo, 3);
    ASSERT_LT(l().x.map.lo, 3.3);
    QTest::mouseMove(&chart, QPointF(l().front.left() + 1, l().front.center().y()).toPoint());
    ASSERT_EQ(chart.ReadoutLines().value(0), "x: 3");
    const QImage shown = image();
    QRect box;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixelColor(x, y) == base) box |= QRect(x, y, 1, 1);
    const QRect plot = l().front.toAlignedRect().adjusted(-1, -1, 1, 1);
    const QRect legend = l().legend.toAlignedRect().adjusted(-1, -1, 3, 3);
    int outside = 0;
    for (int p : {0, 3, 5}) {
        const QColor colour = to_qcolor(chart.Series(p)->SeriesColor());
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                outside += shown.pixelColor(x, y) == colour && !plot.contains(x, y) &&
                           !legend.contains(x, y) && !box.adjusted(-1, -1, 1, 1).contains(x, y);
    }
    EXPECT_EQ(outside, 0);

    // The mouse leaves: the read-out goes, from the screen too.
    QApplication::processEvents();
    int paints = 0;
    struct Counter : QObject {
        int& n;
        explicit Counter(int& count) : n(count) {}
        bool eventFilter(QObject*, QEvent* e) override { return n += e->type() == QEvent::Paint, false; }
    } counter(paints);
    chart.installEventFilter(&counter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&chart, &leave);
    QApplication::processEvents();
    EXPECT_TRUE(chart.ReadoutLines().isEmpty());
    EXPECT_GT(paints, 0);
}

// ------------------------------------------------------------ drawing zoomed

TEST_F(ChartInput, ZoomedCurvesStayInsideThePlot) {
    // The curves come in through the top and leave through the bottom.
    zoom(2, 0.5, 12, 0.9);
    for (bool view3D : {false, true}) {
        chart.SetView3D(view3D);
        QImage image(chart.size(), QImage::Format_RGB32);
        chart.render(&image);
        const QRect inside = (view3D ? l().plot : l().front).toAlignedRect().adjusted(-1, -1, 1, 1);
        const QRect legend = l().legend.toAlignedRect().adjusted(-1, -1, 3, 3);
        int in = 0, out = 0;
        for (int p : {0, 3, 5}) {  // red, blue, fuchsia: no label's grey shades match them
            const QColor colour = to_qcolor(chart.Series(p)->SeriesColor());
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    if (image.pixelColor(x, y) != colour) continue;
                    if (inside.contains(x, y))
                        ++in;
                    else if (!legend.contains(x, y))
                        ++out;
                }
        }
        EXPECT_GT(in, 30) << view3D;
        EXPECT_EQ(out, 0) << view3D;
    }
}

// ------------------------------------------------------------ a new run

TEST_F(ChartInput, ANewRunShowsTheFullViewAndKeepsTheUsersChoices) {
    zoom(0, 0.5, 30, 1.2);
    chart.SetLogarithmicY(true);
    chart.SetView3D(true);
    chart.RemoveAllSeries();
    add_run(chart, 50);
    EXPECT_FALSE(chart.Zoomed());
    EXPECT_LT(l().x.map.hi, 60);  // the new run's 50 epochs, not the old 10001
    EXPECT_TRUE(chart.LogarithmicY());
    EXPECT_TRUE(chart.View3D());
}

TEST(ChartRemoval, RemovedSeriesGiveBackTheirPointsAndCanBeFilledAgain) {
    TChart chart;
    add_run(chart);
    QPointer<TLineSeries> old = chart.Series(0);
    chart.RemoveAllSeries();
    ASSERT_FALSE(old.isNull());  // still the chart's
    EXPECT_EQ(old->parent(), &chart);
    EXPECT_EQ(old->Count(), 0);
    EXPECT_EQ(old->XValue(0), 0);

    old->SetParentChart(&chart);
    for (int e = 5; e < 8; ++e) old->AddXY(e, fall(e, 0), "", clTeeColor);
    ASSERT_EQ(old->Count(), 3);
    EXPECT_EQ(old->XValue(0), 5);
    // The axes see only the new points, not the old run's range.
    EXPECT_GT(chart.PlotLayout().x.full.lo, 4);
    EXPECT_LT(chart.PlotLayout().x.full.hi, 8);
}
