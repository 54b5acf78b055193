// The window as a screen reader sees it, through Qt's accessibility
// interfaces: the cells, the chart, the recognised digit, the report boxes
// and the hint of "Test".
#include "application_environment.h"
#include "form_fixture.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <algorithm>

#include "recognition.h"
#include "tchart_accessible.h"

namespace {

[[maybe_unused]] const bool environment = add_application_environment<TApplication>();

// Qt's offscreen platform has no screen-reader bridge, so the notices the
// window sends are checked where one listens: in the AT-SPI test.
class Accessible : public FormFixture {
protected:
    static QAccessibleInterface* face(QObject* o) { return QAccessible::queryAccessibleInterface(o); }
    static QString name(QObject* o) { return face(o)->text(QAccessible::Name); }
    static QString description(QObject* o) { return face(o)->text(QAccessible::Description); }
    static bool checked(int m) { return face(bit_label[m])->state().checked; }
    static void act(QObject* o, const QString& action) {
        QAccessibleActionInterface* a = face(o)->actionInterface();
        ASSERT_TRUE(a && a->actionNames().contains(action));
        a->doAction(action);
    }
};

}  // namespace

// Their names, roles and states as AT-SPI gives them are checked in the
// AT-SPI test; here the rule behind the toggle.
TEST_F(Accessible, CellsToggleAsAClickDoes) {
    ASSERT_EQ(face(bit_label[7])->role(), QAccessible::CheckBox);
    EXPECT_EQ(bit_label[7]->toolTip(), "Row 2, column 4");
    act(bit_label[5], QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(checked(5));
    EXPECT_EQ(the_network.input_bit[5], 1);
    // The colour decides, as for a click: a black cell whose bit is 0 turns gray.
    the_network.input_bit[0] = 0;
    act(bit_label[0], QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(checked(0));
    EXPECT_EQ(bit_label[0]->Color(), clGray);
}

// "Y-delta-Weight" is a link whose press opens the network view; both
// windows are frames, as AT-SPI lists windows.
TEST_F(Accessible, LabelIsALinkThatOpensTheViewAndWindowsAreFrames) {
    EXPECT_EQ(face(Form1->Label1)->role(), QAccessible::Link);
    EXPECT_EQ(name(Form1->Label1), "Y-delta-Weight");
    ASSERT_FALSE(network_view->isVisible());
    act(Form1->Label1, QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(network_view->isVisible());
    EXPECT_EQ(face(Form1)->role(), QAccessible::Window);
    EXPECT_EQ(face(network_view)->role(), QAccessible::Window);
    network_view->close();
}

TEST_F(Accessible, ChartIsNamedByItsTitleAndDescribesViewAndSeries) {
    TChart* chart = Form1->Chart1;
    EXPECT_EQ(face(chart)->role(), QAccessible::Chart);
    EXPECT_EQ(name(chart), "Initial Weight random degree");
    EXPECT_EQ(description(chart), "2-D view; Random Number: 36 points");

    act(chart, QAccessibleActionInterface::pressAction());  // as a click does
    EXPECT_TRUE(chart->View3D());
    chart->TitleText().Add("second line");
    auto* extra = new TLineSeries(chart);
    extra->SetParentChart(chart);
    for (int i = 0; i < 1000; ++i) extra->AddXY(i, i, "", clTeeColor);
    EXPECT_EQ(name(chart), "Initial Weight random degree second line");
    EXPECT_EQ(description(chart), "3-D view; Random Number: 36 points; Series2: 1000 points");
    chart->RemoveAllSeries();
    extra->SetTitle("One");
    extra->SetParentChart(chart);  // a removed series has given back its points
    extra->AddXY(0, 1, "", clTeeColor);
    EXPECT_EQ(description(chart), "3-D view; One: 1 point");
}

TEST_F(Accessible, TestTellsTheDigitItDrew) {
    EXPECT_EQ(face(Form1->Image1)->role(), QAccessible::Graphic);
    pick(3);
    click(Form1->Button2);
    EXPECT_EQ(name(Form1->Image1), QString("Recognised digit: %1").arg(winner(the_network)));
    for (neuron& n : the_network.layers[2]) n.weight.assign(n.weight.size(), -1000.0f);
    click(Form1->Button2);
    EXPECT_EQ(name(Form1->Image1), "No digit recognised");
}

TEST_F(Accessible, ReportBoxesSayWhatTheirLinesAre) {
    EXPECT_EQ(name(result_list[4]), "Empty report box");
    click(Form1->Button1);
    EXPECT_EQ(name(result_list[0]), "Errors after epoch 0, run 1: line d is pattern d");
    EXPECT_EQ(result_list[0]->toolTip(), name(result_list[0]));
    EXPECT_EQ(name(result_list[2]), "Errors after epoch 9999, run 1: line d is pattern d");
    EXPECT_EQ(result_list[0]->TopIndex(), 0);

    // A second run's first report lands in box 3 after "Test" wrote there,
    // below what the box shows: it scrolls to the report's first line.
    click(Form1->Button2);
    EXPECT_EQ(name(result_list[3]), "Outputs of Test: line d is digit d");
    click(Form1->Button1);
    EXPECT_EQ(name(result_list[3]),
              "Outputs of Test: line d is digit d; errors after epoch 0, run 2: line 10 + d is pattern d");
    EXPECT_EQ(result_list[3]->TopIndex(), 10);
    EXPECT_TRUE(result_list[3]->LineInView(10));
}

TEST_F(Accessible, TestSaysWhenItWillNotRecogniseTheCells) {
    EXPECT_EQ(description(Form1->Button2), "");
    click(Form1->Button1);
    EXPECT_EQ(Form1->Button2->toolTip(),
              "Recognises the bit map of digit 9, the last one trained, not the cells shown");
    EXPECT_EQ(description(Form1->Button2), Form1->Button2->toolTip());
    click(bit_label[5]);
    EXPECT_TRUE(Form1->Button2->toolTip().contains("with the cells clicked since"));
    pick(4);
    EXPECT_EQ(Form1->Button2->toolTip(), "");
}
