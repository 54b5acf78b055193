// The program's one window: the designed controls of unit1.ui, the bit map
// editor and the 3 x 3 grid of report list boxes, and the handlers that drive
// the network from them.
#pragma once

#include <QLabel>
#include <QWidget>
#include <array>

#include "platform.h"
#include "tbitmapeditor.h"
#include "tchart.h"
#include "tnetworkview.h"

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* Owner = nullptr);

    // The designed controls, made from unit1.ui when the form is built.
    TChart* Chart1 = nullptr;
    TButton* Button1 = nullptr;
    TButton* Button2 = nullptr;
    TImage* Image1 = nullptr;
    TLabel* Label1 = nullptr;

    // The handlers take the control that raised the event, as a QObject*:
    // unit1.ui connects them by their signatures' text.
public slots:
    void InputChange(QObject* Sender);    // a digit picked in pattern_combo
    void bitOnClick(QObject* Sender);     // a cell of the bit map clicked
    void Button1Click(QObject* Sender);   // "Train"
    void Button2Click(QObject* Sender);   // "Test"
    void Chart1Click(QObject* Sender);    // switches the chart between 2-D and 3-D
    void Label1Click(QObject* Sender);    // opens the view inside the network (also Ctrl+N)
    void NewStartClick(QObject* Sender);  // "New start" in the Learning section of that view
};

extern TForm1* Form1;

// The one network the window works on, kept with the form; the engine's
// operations take it as an argument and the network view reads it. Tests
// make their own networks for the engine.
extern network the_network;

// The report list boxes, entry 3 x row + column. Training reports go into
// them one after another; "Test" lists its outputs in result_list[3].
inline constexpr int result_list_count = 9;
extern std::array<TListBox*, result_list_count> result_list;

// The window that shows inside the network, made hidden with the form.
extern TNetworkView* network_view;

// The box that receives the next training report. Never reset; once the last
// box is reached, later reports are appended there.
extern int report_index;

// The training runs so far, the one under way included: the reports say
// which run they come from.
extern int training_runs;

// The learning settings in effect: the start that drew the weights held now,
// the rule and rate of the last run. The design until the Learning section
// changes them: a rule or rate at the next "Train", a start at "New start".
extern learning learning_in_effect;

// Names, in the tooltip and the accessible description of "Train", the
// settings it will train with where they are not the design.
void describe_train();

// Tells, in the tooltip and the accessible description of "Test", what it
// recognises where that is not what the cells show; says nothing otherwise.
void describe_test_input();

// The bit map editor's digit list and cells (TBitMapEditor), set once by
// create_bit_map_editor. Cell m stands for input_bit[m].
extern TComboBox* pattern_combo;
extern std::array<TLabel*, input_bits> bit_label;

// Builds the bit map editor on Form1, showing digit 0, which it also puts in
// input_bit, and connects its events to InputChange and bitOnClick.
void create_bit_map_editor();
// Paints every cell from input_bit.
void refresh_bit_labels();
// Whether the cells show input_bit; after a training run they need not.
bool cells_show_input();
