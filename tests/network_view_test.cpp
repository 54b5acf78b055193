// The view inside the network on the offscreen form: how it opens and closes,
// what it follows, what the keyboard and a screen reader reach, and that it
// never changes what "Train" and "Test" do.
#include "application_environment.h"
#include "form_fixture.h"

#include <QAccessible>
#include <QTest>
#include <cstring>

#include "backprop.h"
#include "recognition.h"

namespace {

[[maybe_unused]] const bool environment = add_application_environment<TApplication>();

class NetworkView : public FormFixture {
protected:
    static QString item(int layer, int j) {
        QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(network_view->Layer(layer));
        return grid->child(j)->text(QAccessible::Name);
    }
    static bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
    static bool shows_outputs_of(const network& nw) {
        for (int L = 0; L < layer_count; ++L)
            for (int j = 0; j < layer_size[L]; ++j)
                if (!same_bits(network_view->Shown().layers[L][j].output, nw.layers[L][j].output)) return false;
        return true;
    }
    // The engine's numbers, the reports and the drawn digit after each step
    // of a session, and every weight at its end.
    static QStringList session(bool view_open) {
        if (view_open) click(Form1->Label1);
        QStringList seen;
        auto keep = [&seen] {
            for (const auto& layer : the_network.layers)
                for (const neuron& n : layer)
                    seen << QString::number(n.net, 'g', 9) << QString::number(n.output, 'g', 9)
                         << QString::number(n.delta, 'g', 9);
        };
        for (auto step : {+[] { pick(2); }, +[] { click(bit_label[5]); }, +[] { click(Form1->Button2); },
                          +[] { click(Form1->Button1); }, +[] { click(Form1->Button2); }, +[] { pick(7); },
                          +[] { click(bit_label[0]); }, +[] { click(Form1->Button2); }}) {
            step();
            keep();
        }
        for (TListBox* box : result_list)
            for (int i = 0; i < box->Items().Count(); ++i) seen << box->Items().Strings(i);
        seen << Form1->Image1->accessibleName();
        for (const auto& layer : the_network.layers)
            for (const neuron& n : layer)
                for (real w : n.weight) seen << QString::number(w, 'g', 9);
        return seen;
    }
};

}  // namespace

TEST_F(NetworkView, OpensFromTheLabelAndTheShortcutAndClosesWithEscape) {
    EXPECT_FALSE(network_view->isVisible());
    EXPECT_EQ(Form1->Label1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(Form1->Label1->toolTip().contains("Ctrl+N"));
    EXPECT_EQ(Form1->Label1->text(), "Y-delta-Weight");

    click(Form1->Label1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(network_view));
    EXPECT_TRUE(network_view->isWindow());
    EXPECT_EQ(network_view->windowTitle(), "Network");
    EXPECT_FALSE(network_view->isModal());

    // Tab reaches the layers, the arrows move between neurons, and the
    // neuron with the focus is the one whose weights are shown.
    network_view->activateWindow();
    network_view->Layer(0)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(network_view->Layer(0), Qt::Key_Down);
    QTest::keyClick(network_view->Layer(0), Qt::Key_Right);
    EXPECT_EQ(network_view->SelectedLayer(), 0);
    EXPECT_EQ(network_view->SelectedNeuron(), 5);
    EXPECT_EQ(network_view->Incoming()->Count(), 36);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(network_view->Layer(2)->hasFocus());
    QTest::keyClick(network_view->Layer(2), Qt::Key_Down);
    EXPECT_EQ(network_view->SelectedLayer(), 2);
    EXPECT_EQ(network_view->SelectedNeuron(), 1);
    EXPECT_EQ(network_view->Incoming()->Count(), 17);  // from the hidden layer
    EXPECT_FALSE(network_view->Outgoing()->isVisible());  // an output neuron feeds nothing

    QTest::keyClick(network_view->Layer(2), Qt::Key_Escape);
    EXPECT_FALSE(network_view->isVisible());
    Form1->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form1));
    QTest::keyClick(Form1->Button1, Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(network_view->isVisible());
}

TEST_F(NetworkView, FollowsTestTrainingAndTheInputWithoutTouchingTheEngine) {
    click(Form1->Label1);
    // Before any forward pass: the view passes digit 0 through a copy.
    network copy = the_network;
    forward_pass(copy);
    EXPECT_TRUE(shows_outputs_of(copy));
    EXPECT_EQ(the_network.layers[2][0].output, 0.0f);  // the engine's own pass has not run
    EXPECT_TRUE(item(1, 5).startsWith("Hidden neuron 5: output "));
    EXPECT_TRUE(item(1, 5).endsWith(", no training yet"));

    pick(3);
    click(Form1->Button2);
    EXPECT_TRUE(shows_outputs_of(the_network));
    EXPECT_EQ(network_view->Layer(2)->ItemNames()[4], item(2, 4));
    EXPECT_EQ(item(2, 4), "Output neuron 4: output " + result_list[3]->Items().Strings(4) + ", no training yet");

    // After a run: its last step's numbers as it left them, not a new pass.
    click(Form1->Button1);
    EXPECT_TRUE(shows_outputs_of(the_network));
    EXPECT_EQ(item(0, 12), "Input neuron 12: output " + FloatToStr(the_network.layers[0][12].output) + ", delta " +
                               FloatToStr(the_network.layers[0][12].delta));

    // A switched cell is passed through a copy; the engine keeps the run's numbers.
    const network before = the_network;
    click(bit_label[1]);
    copy = the_network;
    forward_pass(copy);
    EXPECT_TRUE(shows_outputs_of(copy));
    EXPECT_FALSE(shows_outputs_of(before));
    for (int L = 0; L < layer_count; ++L)
        for (int j = 0; j < layer_size[L]; ++j)
            EXPECT_TRUE(same_bits(the_network.layers[L][j].output, before.layers[L][j].output));

    // Closed, it still catches up when opened again.
    network_view->close();
    pick(8);
    click(Form1->Button2);
    click(Form1->Label1);
    EXPECT_TRUE(shows_outputs_of(the_network));
    EXPECT_EQ(network_view->Layer(2)->Count(), 10);
}

TEST_F(NetworkView, TrainAndTestGiveTheSameResultsWithTheViewOpen) {
    const QStringList closed = session(false);
    TearDown();
    SetUp();
    const QStringList open = session(true);
    EXPECT_TRUE(network_view->isVisible());
    EXPECT_EQ(open, closed);
}
