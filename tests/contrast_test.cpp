// Colours that must be seen, computed as the windows compute them, under
// the light Fusion palette and a dark one: the network view's marks and
// frames, the chart's read-out and the focus ring on the bit map's cells,
// each at least 3:1 against what it is drawn on (text 4.5:1).
#include "application_environment.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <memory>
#include <vector>

#include "contrast.h"
#include "tchart.h"
#include "view_colours.h"

namespace {

[[maybe_unused]] const bool environment = add_application_environment<QApplication>();

QPalette light_palette() {
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
    return fusion->standardPalette();
}

// Fusion as a dark desktop theme colours it (qt6ct's "darker" scheme is of
// this kind): gray text fields on a darker window, a deep blue highlight.
QPalette dark_palette() {
    QPalette p(QColor(0x45, 0x45, 0x45), QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::Base, QColor(0x3d, 0x3d, 0x3d));
    p.setColor(QPalette::AlternateBase, QColor(0x4a, 0x4a, 0x4a));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(role, QColor(0xdd, 0xdd, 0xdd));
    p.setColor(QPalette::Highlight, QColor(0x12, 0x60, 0x8a));
    p.setColor(QPalette::HighlightedText, QColor(0xf9, 0xf9, 0xf9));
    p.setColor(QPalette::ToolTipBase, QColor(0x3f, 0x3f, 0x36));
    p.setColor(QPalette::ToolTipText, QColor(0xff, 0xff, 0xff));
    return p;
}

// The fills a cell of the layers can have: the output scale from 0 to 1.
std::vector<QColor> output_fills() {
    std::vector<QColor> fills;
    for (int i = 0; i <= 20; ++i) fills.push_back(view::output_colour(i / 20.f));
    return fills;
}

}  // namespace

TEST(Contrast, RatioIsTheOneOfWcag) {
    EXPECT_DOUBLE_EQ(ContrastRatio(Qt::black, Qt::white), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(Qt::white, Qt::black), 21.0);
    EXPECT_DOUBLE_EQ(ContrastRatio(QColor(0x3d, 0x3d, 0x3d), QColor(0x3d, 0x3d, 0x3d)), 1.0);
    EXPECT_NEAR(ContrastRatio(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.005);  // the well-known gray
    EXPECT_NEAR(ContrastRatio(QColor(0x08, 0x30, 0x6b), QColor(0x3d, 0x3d, 0x3d)), 1.17,
                0.01);  // navy marks on dark
    // A colour that reaches the ratio is kept; one that does not is moved,
    // also where the way there first loses contrast (navy over dark gray).
    EXPECT_EQ(Readable(QColor(0x08, 0x30, 0x6b), Qt::white), QColor(0x08, 0x30, 0x6b));
    EXPECT_GE(
        ContrastRatio(Readable(QColor(0x08, 0x30, 0x6b), QColor(0x3d, 0x3d, 0x3d)), QColor(0x3d, 0x3d, 0x3d)),
        3.0);
}

TEST(Contrast, NetworkViewMarksAndFramesStandOutUnderLightAndDark) {
    for (const QPalette& palette : {light_palette(), dark_palette()}) {
        const view::Colours c = view::colours(palette);
        EXPECT_EQ(c.panel, palette.color(QPalette::Base));
        EXPECT_EQ(c.window, palette.color(QPalette::Window));
        EXPECT_GE(ContrastRatio(c.mark, c.panel), graphics_contrast) << qPrintable(c.mark.name());
        EXPECT_GE(ContrastRatio(c.median, c.panel), graphics_contrast) << qPrintable(c.median.name());
        EXPECT_GE(ContrastRatio(c.winner, c.window), graphics_contrast) << qPrintable(c.winner.name());
        EXPECT_GE(ContrastRatio(c.selected, c.window), graphics_contrast) << qPrintable(c.selected.name());
        EXPECT_NE(c.winner, c.selected);
        // The selection's frame lies on its cell: it or the line inside it
        // stands out on every fill.
        for (const QColor& fill : output_fills())
            EXPECT_GE(
                std::max(ContrastRatio(c.selected, fill), ContrastRatio(view::text_colour_on(fill), fill)),
                graphics_contrast)
                << qPrintable(fill.name());
        // The text on the window, and the read-out's.
        EXPECT_GE(ContrastRatio(palette.color(QPalette::WindowText), c.window), text_contrast);
        const ReadoutColours r = ReadoutColoursOf(palette);
        EXPECT_GE(ContrastRatio(r.text, r.background), text_contrast);
    }
}

TEST(Contrast, ChartReadOutAndCellFocusRingStandOutUnderLightAndDark) {
    TChart chart;
    std::vector<QColor> series;
    for (int i = 0; i < 10; ++i) {
        auto* s = new TLineSeries(&chart);
        s->SetParentChart(&chart);
        series.push_back(to_qcolor(s->SeriesColor()));
    }
    for (const QPalette& palette : {light_palette(), dark_palette()}) {
        // Each series' sample line in the read-out box, on the box.
        const ReadoutColours r = ReadoutColoursOf(palette);
        for (const QColor& colour : series)
            EXPECT_GE(ContrastRatio(Readable(colour, r.background), r.background), graphics_contrast)
                << qPrintable(colour.name());
        // The ring round a focused cell: the highlight, with white inside
        // it, on a black or a gray cell.
        for (TColor cell : {clBlack, clGray})
            EXPECT_GE(std::max(ContrastRatio(palette.color(QPalette::Highlight), to_qcolor(cell)),
                               ContrastRatio(Qt::white, to_qcolor(cell))),
                      graphics_contrast);
    }
}
