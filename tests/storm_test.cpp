// Twenty thousand random user actions on the window, in a seeded order, with
// what must always hold checked after each one. A failure names the seed and
// the action, so the storm can be replayed (STORM_SEED=n).
#include <gtest/gtest.h>

#include <QTest>
#include <cstdlib>
#include <random>
#include "application_environment.h"

#include "unit1.h"

namespace {

[[maybe_unused]] const bool environment = add_application_environment<TApplication>();

enum class action { pick, bad_pick, cell, test, chart, train };

const char* name_of(action a) {
    switch (a) {
        case action::pick: return "pick a digit";
        case action::bad_pick: return "no or an invalid selection";
        case action::cell: return "click a cell";
        case action::test: return "Test";
        case action::chart: return "click the chart";
        case action::train: return "Train";
    }
    return "?";
}

bit_map shown_cells() {
    bit_map bits{};
    for (int i = 0; i < input_bits; ++i) bits[i] = bit_label[i]->Color() == clBlack ? 1 : 0;
    return bits;
}

void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center()); }

}  // namespace

TEST(Storm, TwentyThousandActionsKeepEveryRule) {
    const char* from_env = std::getenv("STORM_SEED");
    const unsigned seed = from_env ? static_cast<unsigned>(std::strtoul(from_env, nullptr, 10)) : 20261207u;
    constexpr int actions = 20000;
    constexpr int trains = 4;  // enough to run past the ninth report

    the_network = network{};
    report_index = 0;
    std::vector<QString> messages;
    const auto previous = SetMessageFunction([&](const QString& m) { messages.push_back(m); });
    static_cast<TApplication*>(qApp)->CreateForm(Form1);
    Form1->show();

    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> any_action(0, 99), digit(0, 9), cell(0, input_bits - 1);
    std::set<int> train_at;
    while (static_cast<int>(train_at.size()) < trains)
        train_at.insert(std::uniform_int_distribution<int>(0, actions - 1)(rng));

    // What the report boxes must hold: lines per box, from the reports and "Test"s so far.
    std::array<int, result_list_count> expected_lines{};
    int reports = 0;

    for (int n = 0; n < actions; ++n) {
        const int roll = any_action(rng);
        const action a = train_at.count(n) ? action::train
                         : roll < 30       ? action::cell
                         : roll < 55       ? action::pick
                         : roll < 65       ? action::bad_pick
                         : roll < 90       ? action::test
                                           : action::chart;
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", action " << n << ": " << name_of(a));

        switch (a) {
            case action::pick: {
                const int d = digit(rng);
                pattern_combo->setCurrentIndex(d);
                emit pattern_combo->activated(d);
                ASSERT_EQ(the_network.input_bit, pattern[d]);
                ASSERT_EQ(shown_cells(), pattern[d]);
                break;
            }
            case action::bad_pick: {
                const bit_map before = the_network.input_bit;
                const bit_map cells_before = shown_cells();
                const int index = std::array{-1, 10, 11, 1000}[rng() % 4];
                if (index >= 10 && pattern_combo->count() <= index && index < 12)
                    pattern_combo->Items().Add(IntToStr(pattern_combo->count()));
                pattern_combo->SetItemIndex(index);
                Form1->InputChange(pattern_combo);
                ASSERT_EQ(the_network.input_bit, before);
                ASSERT_EQ(shown_cells(), cells_before);
                break;
            }
            case action::cell: {
                const int m = cell(rng);
                const bit_map cells_before = shown_cells();
                const bit_map bits_before = the_network.input_bit;
                click(bit_label[m]);
                bit_map cells_expected = cells_before, bits_expected = bits_before;
                cells_expected[m] = 1 - cells_before[m];
                bits_expected[m] = cells_before[m] ? 0 : 1;  // from the colour it had
                ASSERT_EQ(shown_cells(), cells_expected);
                ASSERT_EQ(the_network.input_bit, bits_expected);
                break;
            }
            case action::test:
                click(Form1->Button2);
                expected_lines[3] = 10;
                ASSERT_EQ(result_list[3]->Items().Count(), 10);
                break;
            case action::chart: {
                const bool before = Form1->Chart1->View3D();
                click(Form1->Chart1);
                ASSERT_EQ(Form1->Chart1->View3D(), !before);
                break;
            }
            case action::train: {
                const size_t shown_before = messages.size();
                click(Form1->Button1);
                ASSERT_EQ(messages.size(), shown_before + 1);
                ASSERT_EQ(messages.back(), "Train Number 10000");
                for (int r = 0; r < 3; ++r, ++reports) expected_lines[std::min(reports, 8)] += 10;
                ASSERT_EQ(Form1->Chart1->SeriesCount(), 10);
                for (int p = 0; p < 10; ++p) ASSERT_EQ(Form1->Chart1->Series(p)->Count(), 10001);
                ASSERT_EQ(the_network.input_bit, pattern[9]);
                break;
            }
        }

        for (int bit : the_network.input_bit) ASSERT_TRUE(bit == 0 || bit == 1);
        for (int b = 0; b < result_list_count; ++b)
            ASSERT_EQ(result_list[b]->Items().Count(), expected_lines[b]) << "box " << b;
        ASSERT_LT(report_index, result_list_count);
        if (n % 1000 == 0) QCoreApplication::processEvents();  // let the chart repaint now and then
    }
    EXPECT_EQ(reports, 3 * trains);
    EXPECT_GT(expected_lines[8], 10);  // the storm did run past the ninth report

    delete Form1;
    Form1 = nullptr;
    SetMessageFunction(previous);
}
