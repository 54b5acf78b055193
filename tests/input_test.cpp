// The window from the keyboard and with the mouse on the cells: the order of
// Tab, the grid's arrows and Space, Enter on buttons, the focus rings, double
// clicks and drags that paint.
#include "application_environment.h"
#include "form_fixture.h"

#include <QMouseEvent>

namespace {

[[maybe_unused]] const bool environment = add_application_environment<TApplication>();

// Where the centre of cell m lies in the coordinates of cell `from`.
QPoint centre_of(int m, const TLabel* from) {
    return from->mapFrom(bit_label[m]->parentWidget(), bit_label[m]->geometry().center());
}

// The window system's way: the pressed cell keeps the mouse, so every move
// and the release go to it, wherever the pointer is.
void drag(std::initializer_list<int> path) {
    TLabel* first = bit_label[*path.begin()];
    QTest::mousePress(first, Qt::LeftButton, {}, first->rect().center());
    QPoint at;
    for (int m : path) {
        at = centre_of(m, first);
        QMouseEvent move(QEvent::MouseMove, at, first->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(first, &move);
    }
    QTest::mouseRelease(first, Qt::LeftButton, {}, at);
}

class Keyboard : public FormFixture {
protected:
    void SetUp() override {
        FormFixture::SetUp();
        Form1->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form1));
    }
    static QWidget* focused() { return QApplication::focusWidget(); }
    static void key(Qt::Key k, bool repeat = false) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, QString(), repeat);
        QApplication::sendEvent(focused(), &press);
    }
};

}  // namespace

TEST_F(FormFixture, DoubleClickOnAGrayCellLeavesItBlack) {
    ASSERT_FALSE(black(5));
    // What the window system delivers for a double click: the second press
    // arrives as a double-click event only.
    QTest::mouseClick(bit_label[5], Qt::LeftButton, {}, {15, 15});
    QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(15, 15),
                       bit_label[5]->mapToGlobal(QPointF(15, 15)), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(bit_label[5], &second);
    QTest::mouseRelease(bit_label[5], Qt::LeftButton, {}, {15, 15});
    EXPECT_TRUE(black(5));
    EXPECT_EQ(the_network.input_bit[5], 1);
}

TEST_F(FormFixture, DragPaintsTheFirstCellsNewColourOncePerCell) {
    // Digit 0: cells 5, 6, 9, 10, 13 gray, 7 black. The stroke starts on
    // gray 5, so it paints black; 7 is black already; coming back to 6 and
    // to 5 changes nothing, nor does the release on 5.
    drag({5, 6, 7, 6, 10, 9, 5});
    for (int m : {5, 6, 7, 9, 10}) EXPECT_TRUE(black(m)) << m;
    EXPECT_FALSE(black(13));
    EXPECT_TRUE(cells_show_input());

    // Starting on a black cell paints gray; one move far down the column
    // still paints every cell it crossed.
    drag({4, 28});
    for (int m = 4; m <= 28; m += 4) EXPECT_FALSE(black(m)) << m;
    EXPECT_TRUE(black(0));
    EXPECT_TRUE(black(32));
    EXPECT_TRUE(cells_show_input());

    // A slow hand: from gray 9 to gray 10, two pixels a move.
    TLabel* first = bit_label[9];
    QTest::mousePress(first, Qt::LeftButton, {}, first->rect().center());
    const QPoint to = centre_of(10, first);
    for (QPoint at = first->rect().center(); at.x() < to.x();) {
        at.rx() += 2;
        QMouseEvent move(QEvent::MouseMove, at, first->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(first, &move);
    }
    QTest::mouseRelease(first, Qt::LeftButton, {}, to);
    EXPECT_FALSE(black(9));  // already painted black above, so the stroke paints gray
    EXPECT_FALSE(black(10));
}

TEST_F(Keyboard, TabVisitsTheControlsInOrderWithTheGridAsOneStop) {
    std::vector<QWidget*> expected = {Form1->Chart1, Form1->Button1, Form1->Button2,
                                      pattern_combo, bit_label[0],   Form1->Label1};
    for (TListBox* box : result_list) expected.push_back(box);

    expected.front()->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> visited{focused()};
    for (size_t i = 0; i < expected.size(); ++i) {
        key(Qt::Key_Tab);
        visited.push_back(focused());
    }
    expected.push_back(expected.front());  // and round again
    EXPECT_EQ(visited, expected);

    // The grid's stop is the cell last focused: Shift+Tab from the first
    // list box comes back to it.
    bit_label[0]->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Right);
    key(Qt::Key_Down);
    ASSERT_EQ(focused(), bit_label[5]);
    key(Qt::Key_Tab);
    EXPECT_EQ(focused(), Form1->Label1);
    key(Qt::Key_Backtab);
    EXPECT_EQ(focused(), bit_label[5]);
}

// "Y-delta-Weight" is a link: Enter and Space on it open the network view.
TEST_F(Keyboard, EnterOrSpaceOnTheLabelOpensTheNetworkView) {
    for (Qt::Key k : {Qt::Key_Return, Qt::Key_Space}) {
        network_view->close();
        Form1->Label1->setFocus(Qt::TabFocusReason);
        key(k);
        EXPECT_TRUE(network_view->isVisible()) << k;
    }
    network_view->close();
}

TEST_F(Keyboard, ArrowsStopAtTheGridsEdges) {
    bit_label[0]->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Left);
    key(Qt::Key_Up);
    EXPECT_EQ(focused(), bit_label[0]);
    bit_label[35]->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Right);
    key(Qt::Key_Down);
    EXPECT_EQ(focused(), bit_label[35]);
    key(Qt::Key_Left);
    key(Qt::Key_Up);
    EXPECT_EQ(focused(), bit_label[30]);
}

TEST_F(Keyboard, SpaceSwitchesTheFocusedCellOnceByItsColour) {
    bit_label[5]->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Space);
    EXPECT_TRUE(black(5));
    EXPECT_EQ(the_network.input_bit[5], 1);
    key(Qt::Key_Space, true);  // held down: no more switches
    EXPECT_TRUE(black(5));
    key(Qt::Key_Space);
    EXPECT_FALSE(black(5));
    EXPECT_EQ(the_network.input_bit[5], 0);
}

TEST_F(Keyboard, EnterPressesTheFocusedButtonOnceWhileHeld) {
    for (Qt::Key k : {Qt::Key_Return, Qt::Key_Enter}) {
        result_list[3]->Items().Clear();
        Form1->Button2->setFocus(Qt::TabFocusReason);
        key(k);
        EXPECT_EQ(result_list[3]->Items().Count(), 10) << k;
    }
    // Held down on "Train": one run, not one per repeat.
    Form1->Button1->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Return);
    for (int i = 0; i < 3; ++i) key(Qt::Key_Return, true);
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(Keyboard, FocusRingOnlyOnceTheKeyboardMovedTheFocus) {
    const QRgb highlight = QApplication::palette().color(QPalette::Highlight).rgb();
    auto ringed = [highlight](QWidget* w) {
        return w->grab().toImage().pixel(1, w->height() / 2) == highlight;
    };

    click(Form1->Chart1);
    ASSERT_EQ(focused(), Form1->Chart1);
    EXPECT_FALSE(ringed(Form1->Chart1));  // a click alone shows none
    click(bit_label[5]);
    ASSERT_EQ(focused(), bit_label[5]);
    EXPECT_FALSE(ringed(bit_label[5]));

    key(Qt::Key_Right);
    EXPECT_TRUE(ringed(bit_label[6]));
    EXPECT_FALSE(ringed(bit_label[5]));
    key(Qt::Key_Tab);
    ASSERT_EQ(focused(), Form1->Label1);
    EXPECT_TRUE(ringed(Form1->Label1));
    key(Qt::Key_Tab);
    ASSERT_EQ(focused(), result_list[0]);
    EXPECT_TRUE(ringed(result_list[0]->viewport()));
    EXPECT_FALSE(ringed(result_list[1]->viewport()));
    Form1->Button1->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Backtab);
    ASSERT_EQ(focused(), Form1->Chart1);
    EXPECT_TRUE(ringed(Form1->Chart1));
}
