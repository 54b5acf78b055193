// The Learning section of the Network window on the offscreen form: named
// choices in named groups, what "New start" changes and what it leaves, and
// a run with the zero-mean start and the slope rule that learns every digit.
#include "application_environment.h"
#include "form_fixture.h"

#include <QAccessible>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

[[maybe_unused]] const bool environment = add_application_environment<TApplication>();

class LearningPanel : public FormFixture {
protected:
    static TLearningPanel* panel() { return network_view->LearningPanel(); }
    // The name of a control and of the group a screen reader meets it in.
    static QString group_of(QWidget* w) {
        QAccessibleInterface* group = QAccessible::queryAccessibleInterface(w)->parent();
        return group->role() == QAccessible::Grouping ? group->text(QAccessible::Name) : QString();
    }
    static QString name_of(QWidget* w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    }
    static QStringList lines(TListBox* box) {
        QStringList all;
        for (int i = 0; i < box->Items().Count(); ++i) all << box->Items().Strings(i);
        return all;
    }
};

}  // namespace

TEST_F(LearningPanel, ChoicesAreNamedInNamedGroupsWithTheDesignChecked) {
    click(Form1->Label1);
    EXPECT_EQ(name_of(panel()), "Learning");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(panel())->role(), QAccessible::Grouping);
    for (auto [choice, name, group, checked] :
         {std::tuple{panel()->DesignedStart(), "as designed", "Start", true},
          std::tuple{panel()->ZeroMeanStart(), "zero mean", "Start", false},
          std::tuple{panel()->DesignedRule(), "as designed", "Rule", true},
          std::tuple{panel()->SlopeRule(), "with the sigmoid's slope", "Rule", false}}) {
        EXPECT_EQ(QAccessible::queryAccessibleInterface(choice)->role(), QAccessible::RadioButton);
        EXPECT_EQ(name_of(choice), name);
        EXPECT_EQ(group_of(choice), group);
        EXPECT_EQ(choice->isChecked(), checked) << name;
    }
    EXPECT_EQ(name_of(panel()->Deviation()), "Deviation");
    EXPECT_EQ(group_of(panel()->Deviation()), "Start");
    EXPECT_EQ(name_of(panel()->Rate()), "Rate");
    EXPECT_EQ(panel()->Rate()->value(), 1.0);
    EXPECT_EQ(panel()->Chosen(), learning{});
    EXPECT_TRUE(Form1->Button1->toolTip().isEmpty());
    EXPECT_EQ(panel()->InEffectText(), "In effect: start as designed; rule as designed, rate 1.");
}

TEST_F(LearningPanel, NewStartThenTrainWithTheSlopeRuleRecognisesEveryDigit) {
    click(Form1->Label1);
    click(Form1->Button1);  // a designed run first: its report stays where it is
    ASSERT_EQ(messages, std::vector<QString>{"Train Number 10000"});
    const QStringList first_report = lines(result_list[0]);

    // Chosen, not yet in effect: the rule waits for "Train", the start for "New start".
    panel()->ZeroMeanStart()->click();
    panel()->SlopeRule()->click();
    EXPECT_EQ(panel()->InEffectText(),
              "In effect: start as designed; rule as designed, rate 1.\n"
              "Next Train: rule with the sigmoid's slope, rate 1.\n"
              "New start: start zero mean, deviation 0.5.");
    EXPECT_EQ(Form1->Button1->toolTip(),
              "Trains with: start as designed; rule with the sigmoid's slope, rate 1");

    pick(3);
    const network before = the_network;
    QTest::keyClick(panel()->NewStartButton(), Qt::Key_Space);
    EXPECT_EQ(Form1->Chart1->SeriesCount(), 0);
    EXPECT_EQ(the_network.input_bit, pattern[3]);
    EXPECT_TRUE(black(3) && !black(5));  // the cells still show digit 3
    EXPECT_EQ(report_index, 3);
    EXPECT_EQ(lines(result_list[0]), first_report);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_NE(the_network.layers[1][0].weight, before.layers[1][0].weight);
    for (const auto& layer : the_network.layers)
        for (const neuron& n : layer) ASSERT_EQ(n.delta, 0.0f);
    EXPECT_EQ(network_view->Deltas()->accessibleDescription(), "No training yet");
    EXPECT_EQ(Form1->Button1->toolTip(),
              "Trains with: start zero mean, deviation 0.5; rule with the sigmoid's slope, rate 1");

    click(Form1->Button1);
    ASSERT_EQ(messages.size(), 2u);
    const int last_epoch = messages[1].mid(QStringLiteral("Train Number ").size()).toInt();
    EXPECT_GT(last_epoch, 0);
    EXPECT_LT(last_epoch, 1000);
    EXPECT_EQ(Form1->Chart1->SeriesCount(), 10);
    EXPECT_EQ(result_list[3]->Items().Count(), 10);  // the run's report, in the next box
    EXPECT_EQ(panel()->InEffectText(),
              "In effect: start zero mean, deviation 0.5; rule with the sigmoid's slope, rate 1.");
    for (int d = 0; d < digit_count; ++d) {
        pick(d);
        click(Form1->Button2);
        EXPECT_EQ(Form1->Image1->accessibleName(), QStringLiteral("Recognised digit: %1").arg(d));
    }
}
