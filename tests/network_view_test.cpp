// The view inside the network on the offscreen form: how it opens and closes,
// what it follows, what the keyboard and a screen reader reach, and that it
// never changes what "Train" and "Test" do.
#include "application_environment.h"
#include "form_fixture.h"

#include <QAccessible>
#include <QMouseEvent>
#include <QTest>
#include <cstring>

#include "backprop.h"
#include "recognition.h"
#include "view_colours.h"
#include "view_text.h"

namespace {

[[maybe_unused]] const bool environment = add_application_environment<TApplication>();

class NetworkView : public FormFixture {
protected:
    static QString item(int layer, int j) {
        QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(network_view->Layer(layer));
        return grid->child(j)->text(QAccessible::Name);
    }
    static bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
    static bool shows_weights_of(const network& nw) {
        for (int L = 0; L < layer_count; ++L)
            for (int j = 0; j < layer_size[L]; ++j)
                for (int k = 0; k < fan_in(L); ++k)
                    if (!same_bits(network_view->Shown().layers[L][j].weight[k], nw.layers[L][j].weight[k]))
                        return false;
        return true;
    }
    // The move the window system delivers to a widget that tracks the mouse.
    static void hover(QWidget* w, QPoint at) {
        QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton, {});
        QApplication::sendEvent(w, &move);
    }
    static void open_view() {
        click(Form1->Label1);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(network_view));
    }
    static bool shows_outputs_of(const network& nw) {
        for (int L = 0; L < layer_count; ++L)
            for (int j = 0; j < layer_size[L]; ++j)
                if (!same_bits(network_view->Shown().layers[L][j].output, nw.layers[L][j].output))
                    return false;
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
    EXPECT_EQ(network_view->Incoming()->Count(), 17);     // from the hidden layer
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
    EXPECT_EQ(item(2, 4),
              "Output neuron 4: output " + result_list[3]->Items().Strings(4) + ", no training yet");

    // After a run: its last step's numbers as it left them, not a new pass.
    click(Form1->Button1);
    EXPECT_TRUE(shows_outputs_of(the_network));
    EXPECT_EQ(item(0, 12), "Input neuron 12: output " + FloatToStr(the_network.layers[0][12].output) +
                               ", delta " + FloatToStr(the_network.layers[0][12].delta));

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

// Where the pointer is, what the read-out names: one test per mapping from a
// cell to the engine's indices, each on a shape where a transposed index
// names another weight.
TEST_F(NetworkView, HeatMapCellIsTheWeightOfItsRowsNeuronFromItsColumnsInput) {
    open_view();
    const network& shown = network_view->Shown();
    TValueGrid* map = network_view->HeatMap(1);  // 17 rows by 36 columns
    const int i = 5 * 36 + 7;
    hover(map, map->CellRect(i).center());
    EXPECT_EQ(network_view->ReadOut(), view::weight_text(1, 5, 7, shown.layers[1][5].weight[7]));
    EXPECT_EQ(network_view->ReadOut().left(39), "Hidden neuron 5, weight of input neuron");
}

TEST_F(NetworkView, OutgoingCellIsTheNextLayersWeightFromTheSelectedNeuron) {
    open_view();
    const network& shown = network_view->Shown();
    hover(network_view->Layer(1), network_view->Layer(1)->CellRect(3).center());  // hidden neuron 3
    ASSERT_EQ(network_view->SelectedNeuron(), 3);
    TValueGrid* out = network_view->Outgoing();
    ASSERT_EQ(out->Count(), 10);
    hover(out, out->CellRect(6).center());
    EXPECT_EQ(network_view->ReadOut(), view::weight_text(2, 6, 3, shown.layers[2][6].weight[3]));
}

TEST_F(NetworkView, DeltaRowUnderThePointerIsItsLayerOutputOnTop) {
    click(Form1->Button1);
    open_view();
    TDeltaScale* deltas = network_view->Deltas();
    const QRect axis = deltas->AxisRect();
    auto layer_deltas = [](int L) {
        std::vector<float> d;
        for (const neuron& n : network_view->Shown().layers[L]) d.push_back(n.delta);
        return d;
    };
    hover(deltas, QPoint(axis.center().x(), axis.top() + axis.height() / 6));
    EXPECT_EQ(network_view->ReadOut(), view::layer_delta_text(2, layer_deltas(2)));
    hover(deltas, QPoint(axis.center().x(), axis.bottom() - axis.height() / 6));
    EXPECT_EQ(network_view->ReadOut(), view::layer_delta_text(0, layer_deltas(0)));
}

// The view is the network as the run left it when the message box appears,
// and also when the run ends in an exception: the weights changed in place.
TEST_F(NetworkView, ShowsTheRunsEndBeforeItsMessageAndAfterARunThatThrows) {
    open_view();
    network at_message;
    const auto collect = SetMessageFunction([&](const QString&) { at_message = network_view->Shown(); });
    const network before_run = the_network;
    click(Form1->Button1);
    ASSERT_FALSE(shows_weights_of(before_run));
    for (int L = 0; L < layer_count; ++L)
        for (int j = 0; j < layer_size[L]; ++j) {
            EXPECT_EQ(at_message.layers[L][j].weight, the_network.layers[L][j].weight);
            EXPECT_TRUE(same_bits(at_message.layers[L][j].delta, the_network.layers[L][j].delta));
        }

    int calls = 0;
    SetMessageFunction([&](const QString& text) {
        if (++calls == 1) throw std::runtime_error("no room for the message box");
        messages.push_back(text);
    });
    const network before = the_network;
    click(Form1->Button1);
    SetMessageFunction(collect);
    ASSERT_EQ(messages.back(), "no room for the message box");
    ASSERT_FALSE(shows_outputs_of(before));
    EXPECT_TRUE(shows_weights_of(the_network));
    EXPECT_TRUE(shows_outputs_of(the_network));
    EXPECT_TRUE(item(2, 0).contains(", delta "));
}

TEST_F(NetworkView, NamesItsInputAndWhyItIsNotTheCells) {
    open_view();
    EXPECT_EQ(network_view->InputTitle(), "Input: digit 0's bit map");
    EXPECT_EQ(network_view->InputNote(), "");
    click(Form1->Button1);
    EXPECT_EQ(network_view->InputTitle(), "Input: digit 9's bit map");
    EXPECT_TRUE(network_view->InputNote().contains("\"Train\" leaves the last digit it trained, 9"));
    EXPECT_EQ(network_view->InputPicture()->Count(), 36);
    pick(4);
    EXPECT_EQ(network_view->InputTitle(), "Input: digit 4's bit map");
    EXPECT_EQ(network_view->InputNote(), "");
}

// Each map on its own range, so weights near 0.01 show a pattern, or all on
// the largest weight of the network; the cells and the legend alike.
TEST_F(NetworkView, EachMapOnItsOwnScaleOrOneForAll) {
    click(Form1->Button1);
    open_view();
    ASSERT_TRUE(network_view->OwnScales()->isChecked());
    std::array<float, layer_count> own{};
    float all = 0;
    for (int L = 0; L < layer_count; ++L) {
        std::vector<float> w;
        for (const neuron& n : the_network.layers[L]) w.insert(w.end(), n.weight.begin(), n.weight.end());
        own[L] = view::weight_limit(w);
        all = std::max(all, own[L]);
        EXPECT_EQ(network_view->HeatMapScale(L)->Limit(), own[L]) << L;
    }
    ASSERT_LT(own[0], all);
    network_view->OwnScales()->click();
    for (int L = 0; L < layer_count; ++L) EXPECT_EQ(network_view->HeatMapScale(L)->Limit(), all) << L;
}

// Laid out from the font: a larger one makes a larger window, and no title
// is cut short.
TEST_F(NetworkView, GrowsWithItsFontAndClipsNoTitle) {
    open_view();
    QWidget* panels = network_view->Contents();
    const QSize small = panels->sizeHint();
    QFont large = network_view->font();
    large.setPixelSize(2 * QFontInfo(large).pixelSize());
    network_view->setFont(large);
    panels->adjustSize();
    EXPECT_GT(panels->sizeHint().width(), small.width());
    EXPECT_GT(panels->sizeHint().height(), small.height());
    for (QLabel* label : panels->findChildren<QLabel*>())
        if (label->isVisible() && !label->wordWrap())
            EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
}
