// The window as a user meets it: start-up, the bit map editor, "Train" and
// "Test", driven by real clicks on the offscreen form.
#include <gtest/gtest.h>

#include <QPointer>
#include <QTest>
#include <map>
#include "application_environment.h"

#include "backprop.h"
#include "form_fixture.h"

namespace {

[[maybe_unused]] const bool environment = add_application_environment<TApplication>();

// The form as the application builds it, with helpers to read it back.
class Window : public FormFixture {
protected:
    static QStringList lines(TListBox* box) {
        QStringList l;
        for (int i = 0; i < box->Items().Count(); ++i) l << box->Items().Strings(i);
        return l;
    }
    static bit_map shown_cells() {
        bit_map bits{};
        for (int i = 0; i < input_bits; ++i) bits[i] = bit_label[i]->Color() == clBlack ? 1 : 0;
        return bits;
    }
    static QStringList outputs_as_text(const network& nw) {
        QStringList l;
        for (const neuron& n : nw.layers[2]) l << FloatToStr(n.output);
        return l;
    }
};

}  // namespace

TEST_F(Window, StartsWithTheRandomNumberLine) {
    EXPECT_EQ(Form1->windowTitle(), "Form1");
    ASSERT_EQ(Form1->Chart1->TitleText().Count(), 1);
    EXPECT_EQ(Form1->Chart1->TitleText().Strings(0), "Initial Weight random degree");
    EXPECT_FALSE(Form1->Chart1->View3D());
    ASSERT_EQ(Form1->Chart1->SeriesCount(), 1);
    const TLineSeries* s = Form1->Chart1->Series(0);
    EXPECT_EQ(s->Title(), "Random Number");
    ASSERT_EQ(s->Count(), 36);

    // Its values are the 36 draws that follow the 2078 weights.
    network fresh;
    for (int i = 0; i < weight_count; ++i) random_weight(fresh);
    for (int k = 0; k < 36; ++k) {
        EXPECT_EQ(s->XValue(k), k);
        EXPECT_EQ(s->YValue(k), static_cast<double>(random_weight(fresh))) << k;
    }
    EXPECT_EQ(the_network.layers[2].size(), 10u);
}

// What the user finds at a point of the window: the control on top there.
// Each lies where the design puts it, the report boxes numbered 3 x row +
// column, and the bottom row of boxes (to y = 350) covers the top edge of
// Image1 and Chart1 (from y = 344), as the later-made control does.
TEST_F(Window, EachControlIsOnTopWhereTheDesignPutsIt) {
    Form1->resize(892, 640);  // the offscreen screen, 800 x 600, fits it smaller
    auto at = [](int x, int y) {
        QWidget* w = Form1->childAt(x, y);
        while (w && w->parentWidget() != Form1) w = w->parentWidget();
        return w;
    };
    const std::vector<std::pair<QPoint, QWidget*>> found = {
        {{169, 9}, Form1->Label1},    {{256, 40}, Form1->Label1},   {{31, 31}, pattern_combo->parentWidget()},
        {{41, 489}, Form1->Button1},  {{400, 576}, Form1->Button2}, {{416, 472}, Form1->Image1},
        {{457, 351}, Form1->Chart1},  {{855, 593}, Form1->Chart1},  {{201, 51}, result_list[0]},
        {{599, 149}, result_list[1]}, {{201, 151}, result_list[3]}, {{401, 151}, result_list[4]},
        {{313, 349}, result_list[6]}, {{457, 349}, result_list[7]}, {{799, 349}, result_list[8]},
        {{800, 100}, nullptr}};
    for (const auto& [p, control] : found) EXPECT_EQ(at(p.x(), p.y()), control) << p.x() << "," << p.y();
    for (TListBox* box : result_list) EXPECT_EQ(box->Items().Count(), 0);
    EXPECT_EQ(Form1->Label1->text(), "Y-delta-Weight");
    EXPECT_EQ(Form1->Button1->text() + Form1->Button2->text(), "TrainTest");
    EXPECT_TRUE(Form1->Button1->font().bold());
    EXPECT_EQ(Form1->Button1->font().pixelSize(), 32);
    // Everything fits in the designed window (the view inside the network is
    // a window of its own; the offscreen screen, 800 x 600, is smaller).
    for (QWidget* w : Form1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!w->isWindow()) {
            EXPECT_TRUE(QRect(0, 0, 892, 640).contains(w->geometry())) << w->objectName().toStdString();
        }
}

TEST_F(Window, ChartClicksSwitchBetweenTwoAndThreeDimensions) {
    click(Form1->Chart1);
    EXPECT_TRUE(Form1->Chart1->View3D());
    click(Form1->Chart1);
    EXPECT_FALSE(Form1->Chart1->View3D());
    EXPECT_EQ(Form1->Chart1->SeriesCount(), 1);
}

TEST_F(Window, EditorStartsOnDigitZero) {
    EXPECT_EQ(the_network.input_bit, pattern[0]);
    EXPECT_EQ(shown_cells(), pattern[0]);
    EXPECT_EQ(pattern_combo->ItemIndex(), 0);
    EXPECT_EQ(pattern_combo->currentText(), "0");
    EXPECT_EQ(pattern_combo->count(), 10);
}

// The editor's layout, worked out by hand for the heights a list gets: with
// h = 22 (Qt's Fusion style, this suite's) the cells start 20 + 22 + 20 = 62
// down, 31 px apart, so the bottom row at 62 + 8 x 31 = 310; the box is
// 9 x 31 + 40 + 20 + 22 = 361 high and 4 x 31 + 40 = 164 wide; the list
// 4 x 30 = 120 wide. With h = 21 (the classic desktop's): 61, 309 and 360.
// The cell named bitM is cell M: bit7 row 1, column 3.
TEST_F(Window, EditorLayoutWorkedOutByHand) {
    struct layout {
        int first_row, last_row, box_height;
    };
    const std::map<int, layout> by_hand = {{21, {61, 309, 360}}, {22, {62, 310, 361}}};
    const int h = pattern_combo->Height();
    ASSERT_TRUE(by_hand.contains(h)) << "work the layout out for a list " << h << " pixels high";
    const layout expected = by_hand.at(h);
    EXPECT_EQ(pattern_combo->geometry(), QRect(20, 20, 120, h));
    const auto* group = pattern_combo->parentWidget();
    EXPECT_EQ(group->geometry(), QRect(30, 30, 164, expected.box_height));
    EXPECT_EQ(bit_label[0]->geometry(), QRect(20, expected.first_row, 30, 30));
    EXPECT_EQ(bit_label[7]->geometry(), QRect(113, expected.first_row + 31, 30, 30));
    EXPECT_EQ(bit_label[35]->geometry(), QRect(113, expected.last_row, 30, 30));
    for (int m = 0; m < input_bits; ++m) {
        EXPECT_EQ(bit_label[m]->objectName(), "bit" + QString::number(m));
        EXPECT_EQ(bit_label[m]->parentWidget(), group);
    }
}

TEST_F(Window, PickingADigitLoadsItAndDiscardsHandEdits) {
    pick(1);
    EXPECT_EQ(the_network.input_bit, pattern[1]);
    EXPECT_EQ(shown_cells(), pattern[1]);  // exactly the right-hand column

    click(bit_label[0]);
    click(bit_label[5]);
    EXPECT_EQ(the_network.input_bit[0], 1);
    pick(8);
    EXPECT_EQ(the_network.input_bit, pattern[8]);
    EXPECT_EQ(shown_cells(), pattern[8]);
}

TEST_F(Window, NoValidSelectionKeepsTheInput) {
    click(bit_label[5]);
    const bit_map edited = the_network.input_bit;
    pattern_combo->SetItemIndex(-1);
    Form1->InputChange(pattern_combo);
    EXPECT_EQ(the_network.input_bit, edited);
    EXPECT_EQ(shown_cells(), edited);
}

TEST_F(Window, CellClicksToggleByTheirColour) {
    ASSERT_EQ(bit_label[5]->Color(), clGray);
    click(bit_label[5]);
    EXPECT_EQ(bit_label[5]->Color(), clBlack);
    EXPECT_EQ(the_network.input_bit[5], 1);
    click(bit_label[5]);
    EXPECT_EQ(bit_label[5]->Color(), clGray);
    EXPECT_EQ(the_network.input_bit[5], 0);

    // The colour decides, not the bit: a black cell whose bit is 0 turns gray.
    ASSERT_EQ(bit_label[0]->Color(), clBlack);
    the_network.input_bit[0] = 0;
    click(bit_label[0]);
    EXPECT_EQ(bit_label[0]->Color(), clGray);
    EXPECT_EQ(the_network.input_bit[0], 0);
    EXPECT_EQ(pattern_combo->ItemIndex(), 0);  // editing leaves the list alone
}

TEST_F(Window, TrainingRunFillsChartReportsAndMessage) {
    const bit_map cells_before = shown_cells();
    click(Form1->Button1);
    ASSERT_EQ(messages, std::vector<QString>{"Train Number 10000"});

    TChart* chart = Form1->Chart1;
    ASSERT_EQ(chart->TitleText().Count(), 1);
    EXPECT_EQ(chart->TitleText().Strings(0), "Eq degree");
    ASSERT_EQ(chart->SeriesCount(), 10);
    for (int p = 0; p < 10; ++p) {
        const TLineSeries* s = chart->Series(p);
        EXPECT_EQ(s->Title(), "Pattern" + QString::number(p));
        ASSERT_EQ(s->Count(), 10001);
        EXPECT_EQ(s->XValue(10000), 10000);
        EXPECT_NEAR(s->YValue(10000), 0.45, 0.01);
    }
    // As the chart comes, without zooming: the fall of the first 25 epochs
    // takes a good part of the width, and the plateau runs clear of the frame.
    const chart::Layout& l = chart->PlotLayout();
    auto column = [&](double epoch) { return l.x.map.to_pixel(l.x.scale.to_axis(epoch)); };
    EXPECT_GT(column(25) - column(0), l.front.width() / 4);
    double lowest = 1;
    for (int p = 0; p < 10; ++p) lowest = std::min(lowest, chart->Series(p)->Range().ymin);
    EXPECT_GE(l.front.bottom() - l.y.map.to_pixel(l.y.scale.to_axis(lowest)), 5);

    for (int n = 0; n < 3; ++n) EXPECT_EQ(result_list[n]->Items().Count(), 10) << n;
    for (int n = 3; n < 9; ++n) EXPECT_EQ(result_list[n]->Items().Count(), 0) << n;
    // The report of epoch 0 holds pattern 0's first error as text.
    EXPECT_EQ(result_list[0]->Items().Strings(0), FloatToStr(static_cast<real>(chart->Series(0)->YValue(0))));
    EXPECT_EQ(report_index, 3);

    // The run leaves digit 9 in the input without repainting the cells.
    EXPECT_EQ(the_network.input_bit, pattern[9]);
    EXPECT_EQ(shown_cells(), cells_before);
}

TEST_F(Window, SecondRunReplacesTheCurvesAndReportsIntoBoxThree) {
    click(Form1->Button1);
    QPointer<TLineSeries> old_first = Form1->Chart1->Series(0);
    const double old_first_error = old_first->YValue(0);
    click(Form1->Button1);
    ASSERT_EQ(messages.size(), 2u);

    ASSERT_EQ(Form1->Chart1->SeriesCount(), 10);
    EXPECT_NE(Form1->Chart1->Series(0), old_first.data());
    ASSERT_FALSE(old_first.isNull());  // the chart still owns the old series
    EXPECT_EQ(old_first->parent(), Form1->Chart1);
    // It went on from the trained weights.
    EXPECT_LT(Form1->Chart1->Series(0)->YValue(0), old_first_error);
    EXPECT_EQ(result_list[3]->Items().Count(), 10);
    EXPECT_EQ(report_index, 6);

    // "Test" takes box 3 over.
    click(Form1->Button2);
    EXPECT_EQ(result_list[3]->Items().Count(), 10);
    EXPECT_EQ(lines(result_list[3]), outputs_as_text(the_network));
}

TEST_F(Window, ReportsAfterTheNinthStayInTheLastBox) {
    report_index = 7;
    click(Form1->Button1);
    EXPECT_EQ(result_list[7]->Items().Count(), 10);
    EXPECT_EQ(result_list[8]->Items().Count(), 20);
    EXPECT_EQ(report_index, 8);
    for (int n = 0; n < 7; ++n) EXPECT_EQ(result_list[n]->Items().Count(), 0);
}

TEST_F(Window, TestAfterTrainingRecognisesDigitNineWhateverTheCellsShow) {
    click(Form1->Button1);
    click(Form1->Button2);
    network copy = the_network;
    load_pattern(copy, 9);
    forward_pass(copy);
    EXPECT_EQ(lines(result_list[3]), outputs_as_text(copy));

    // A click then sets just that cell's bit, from its colour.
    ASSERT_EQ(bit_label[17]->Color(), clGray);  // digit 0 still on show
    click(bit_label[17]);
    bit_map expected = pattern[9];
    expected[17] = 1;
    EXPECT_EQ(the_network.input_bit, expected);
}

TEST_F(Window, TestListsTheOutputsAndDrawsTheWinner) {
    pick(3);
    click(Form1->Button2);
    network copy = the_network;
    forward_pass(copy);
    const QStringList first = lines(result_list[3]);
    EXPECT_EQ(first, outputs_as_text(copy));
    click(Form1->Button2);
    EXPECT_EQ(lines(result_list[3]), first);  // emptied first, never appended twice

    const QImage& picture = Form1->Image1->Canvas().Picture();
    int dark = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) dark += qGray(picture.pixel(x, y)) < 64;
    EXPECT_GT(dark, 200);
}

TEST_F(Window, TiesGoToTheLowerDigitAndNoWinnerDrawsMinusOne) {
    // What the image holds after drawing these texts one over the other.
    auto drawn = [](std::initializer_list<const char*> texts) {
        TImage reference;
        reference.resize(Form1->Image1->size());
        TCanvas& c = reference.Canvas();
        c.Font().SetHeight(reference.height());
        c.Font().SetStyle(TFontStyles() << fsBold);
        c.Font().SetName("\xBC\xD0\xB7\xA2\xC5\xE9");
        for (const char* text : texts) c.TextOut(0, 0, text);
        return c.Picture();
    };
    // Zero output weights: every output is exactly 0.5, a ten-way tie.
    for (neuron& n : the_network.layers[2]) n.weight.assign(n.weight.size(), 0.0f);
    click(Form1->Button2);
    EXPECT_EQ(lines(result_list[3]), QStringList(10, "0.5"));
    EXPECT_EQ(Form1->Image1->Canvas().Picture(), drawn({"0"}));

    // Strongly negative output weights: every output is 0 and nothing wins.
    for (neuron& n : the_network.layers[2]) n.weight.assign(n.weight.size(), -1000.0f);
    click(Form1->Button2);
    EXPECT_EQ(lines(result_list[3]), QStringList(10, "0"));
    EXPECT_EQ(Form1->Image1->Canvas().Picture(), drawn({"0", "-1"}));

    // Nothing is erased first: "3" drawn after the wider "-1" leaves the
    // part of "-1" beyond the cell of "3" in view.
    for (neuron& n : the_network.layers[2]) n.weight.assign(n.weight.size(), 0.0f);
    the_network.layers[2][3].weight.assign(the_network.layers[2][3].weight.size(), 1000.0f);
    click(Form1->Button2);
    const QImage after = Form1->Image1->Canvas().Picture();
    EXPECT_EQ(after, drawn({"0", "-1", "3"}));
    const int cell = Form1->Image1->Canvas().TextWidth("3");
    const QRect beyond(cell, 0, after.width() - cell, after.height());
    EXPECT_EQ(after.copy(beyond), drawn({"-1"}).copy(beyond));
    EXPECT_NE(after.copy(beyond), drawn({"3"}).copy(beyond));
}
