// The maths and words behind the view inside the network: grids and their
// hit tests, the key moves, the colour scales, the logarithmic delta scale
// and the texts a screen reader hears.
#include "view_colours.h"
#include "view_math.h"
#include "view_text.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

#include "network.h"
#include "sysutils.h"

TEST(ViewGrid, CellsTileTheAreaAndHitTestsFindThem) {
    // The input layer (4 x 9), a heat map (36 x 36) and an area that does not
    // divide evenly (17 rows in 180 pixels).
    for (const auto& [area, rows, columns] :
         {std::tuple{QRect(16, 32, 96, 216), 9, 4}, std::tuple{QRect(16, 372, 144, 144), 36, 36},
          std::tuple{QRect(310, 32, 20, 180), 17, 1}}) {
        int covered = 0;
        for (int i = 0; i < rows * columns; ++i) {
            const QRect cell = view::cell_rect(area, rows, columns, i);
            covered += cell.width() * cell.height();
            EXPECT_TRUE(area.contains(cell)) << i;
            EXPECT_EQ(view::cell_at(area, rows, columns, cell.topLeft()), i);
            EXPECT_EQ(view::cell_at(area, rows, columns, cell.bottomRight()), i);
        }
        EXPECT_EQ(covered, area.width() * area.height());  // no gaps, no overlaps
        EXPECT_EQ(view::cell_at(area, rows, columns, area.topLeft() - QPoint(1, 0)), -1);
        EXPECT_EQ(view::cell_at(area, rows, columns, area.bottomRight() + QPoint(0, 1)), -1);
    }
}

TEST(ViewGrid, ArrowKeysMoveAndStopAtTheEdges) {
    EXPECT_EQ(view::cell_moved(5, 9, 4, Qt::Key_Right), 6);
    EXPECT_EQ(view::cell_moved(7, 9, 4, Qt::Key_Right), 7);  // right edge of row 1
    EXPECT_EQ(view::cell_moved(4, 9, 4, Qt::Key_Left), 4);
    EXPECT_EQ(view::cell_moved(5, 9, 4, Qt::Key_Down), 9);
    EXPECT_EQ(view::cell_moved(33, 9, 4, Qt::Key_Down), 33);
    EXPECT_EQ(view::cell_moved(16, 17, 1, Qt::Key_Down), 16);  // the hidden layer's last
    EXPECT_EQ(view::cell_moved(0, 17, 1, Qt::Key_Up), 0);
    EXPECT_EQ(view::cell_moved(3, 10, 1, Qt::Key_End), 9);
    EXPECT_EQ(view::cell_moved(3, 10, 1, Qt::Key_A), -1);
}

TEST(ViewScale, OutputsAndWeightsColouredBySizeAndSign) {
    EXPECT_EQ(view::output_colour(0), QColor(Qt::white));
    EXPECT_EQ(view::output_colour(-3), view::output_colour(0));  // clamped
    EXPECT_EQ(view::output_colour(7), view::output_colour(1));
    EXPECT_LT(view::output_colour(0.9f).lightness(), view::output_colour(0.1f).lightness());
    EXPECT_NE(view::output_colour(NAN), view::output_colour(0));

    const float limit = view::weight_limit(std::vector<float>{0.01f, -0.04f, NAN, 0.02f});
    EXPECT_EQ(limit, 0.04f);  // the largest magnitude, NaN ignored
    EXPECT_EQ(view::weight_colour(0, limit), QColor(Qt::white));
    const QColor minus = view::weight_colour(-0.04f, limit), plus = view::weight_colour(0.04f, limit);
    EXPECT_GT(minus.red(), minus.blue());
    EXPECT_GT(plus.blue(), plus.red());
    EXPECT_EQ(view::weight_colour(-1, limit), minus);  // full colour at the limit and beyond
    EXPECT_LT(view::weight_colour(0.04f, limit).lightness(), view::weight_colour(0.01f, limit).lightness());
    EXPECT_GT(view::weight_limit(std::vector<float>{0, 0}), 0.0f);  // all-zero weights still have a scale

    EXPECT_EQ(view::text_colour_on(view::output_colour(1)), QColor(Qt::white));
    EXPECT_EQ(view::text_colour_on(view::output_colour(0)), QColor(Qt::black));
}

TEST(ViewScale, DeltasOneFactorOfTheLearningRuleApartOnTheLogScale) {
    // Each layer's delta is about 0.005 of the one above: log10(200) = 2.3
    // decades, the same distance wherever it lies on the scale.
    const double decades = view::delta_highest_decade - view::delta_lowest_decade;
    const double step = std::log10(1 / 0.005) / decades;
    EXPECT_NEAR(*view::delta_position(2e-3f) - *view::delta_position(1e-5f), step, 1e-6);
    EXPECT_NEAR(*view::delta_position(-1e-5f) - *view::delta_position(5e-8f), step, 1e-6);  // by magnitude
    EXPECT_EQ(*view::delta_position(1e-20f), 0.0);  // clamped at the ends
    EXPECT_EQ(*view::delta_position(3.0f), 1.0);
    EXPECT_FALSE(view::delta_position(0));
    EXPECT_FALSE(view::delta_position(NAN));

    EXPECT_EQ(*view::median_magnitude(std::vector<float>{-3, 1, 0, NAN, 2}), 2.0);
    EXPECT_EQ(*view::median_magnitude(std::vector<float>{4, -1, 2, 3}), 2.5);
    EXPECT_FALSE(view::median_magnitude(std::vector<float>{0, NAN}));
}

TEST(ViewText, NeuronsAndWeightsNamedAsTheListBoxesWriteNumbers) {
    EXPECT_EQ(view::neuron_name(1, 5, 0.1f, std::nullopt),
              "Hidden neuron 5: output 0.100000001490116, no training yet");
    EXPECT_EQ(view::neuron_name(0, 12, 0.5f, -0.0078125f), "Input neuron 12: output 0.5, delta -0.0078125");
    EXPECT_EQ(view::weight_text(0, 3, 35, 0.25f), "Input neuron 3, weight of cell 35: 0.25");
    EXPECT_EQ(view::weight_text(2, 9, 16, -2), "Output neuron 9, weight of hidden neuron 16: -2");
    const std::vector<float> w = {0.5f, -0.25f, NAN};
    EXPECT_EQ(view::neuron_weights_description(0, true, w), "3 weights from the cells, from -0.25 to 0.5");
    EXPECT_EQ(view::neuron_weights_description(1, false, w),
              "3 weights to output neurons, from -0.25 to 0.5");
    EXPECT_EQ(view::heat_map_description(2, w),
              "10 rows (output neurons) by 17 columns (hidden neurons), weights from -0.25 to 0.5");
    const std::vector<float> none;
    std::span<const float> deltas[3] = {none, w, w};
    EXPECT_EQ(view::delta_description(deltas),
              "Output layer |delta| from 0.25 to 0.5; Hidden layer |delta| from 0.25 to 0.5; "
              "Input layer |delta| no finite values");
}

// The lead is over the runner-up wherever it stands; the input is named by
// the stored digit it is, and why it is not the cells only after "Train".
TEST(ViewText, WinnerLeadAndInputAreNamed) {
    const std::vector<float> y = {0.1f, 0.9f, 0.3f, 0.2f, 0.05f, 0.6f, 0.0f, 0.4f, 0.85f, 0.7f};
    EXPECT_EQ(view::winner_text(y, 1), "Recognised: 1, ahead of 8 by " + FloatToStr(double(0.9f) - 0.85f));
    EXPECT_EQ(view::winner_text(y, -1), "Recognised: none");

    bit_map input = pattern[3];
    EXPECT_EQ(view::input_title(input), "Digit 3's bit map");
    EXPECT_EQ(view::input_note(true, input), "");
    input = pattern[9];
    EXPECT_FALSE(view::input_note(false, input).contains("clicked"));
    input[5] ^= 1;
    EXPECT_EQ(view::input_title(input), "A bit map drawn by hand");
    EXPECT_TRUE(view::input_note(false, input).contains("9, in the input (with cells clicked since)"));
}
