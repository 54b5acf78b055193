#include "bit_map_editor.h"

#include <algorithm>
#include <bitset>

#include "bit_cell_accessible.h"

TComboBox* pattern_combo = nullptr;
std::array<TLabel*, input_bits> bit_label{};

namespace {

int cell_number(const QObject* cell) {
    const auto found = std::ranges::find(bit_label, cell);
    return found == bit_label.end() ? -1 : static_cast<int>(found - bit_label.begin());
}

// The grid is one stop of the Tab key: the cell that last had the focus.
void make_tab_stop(QObject* Sender) {
    for (TLabel* cell : bit_label) cell->setFocusPolicy(cell == Sender ? Qt::StrongFocus : Qt::ClickFocus);
}

// The arrow keys move the focus to the neighbouring cell; at the edge it stays.
void move_focus(QObject* Sender, int Key) {
    const int m = cell_number(Sender);
    if (m < 0) return;
    int r = m / cell_columns, c = m % cell_columns;
    switch (Key) {
    case Qt::Key_Left: c = std::max(c - 1, 0); break;
    case Qt::Key_Right: c = std::min(c + 1, cell_columns - 1); break;
    case Qt::Key_Up: r = std::max(r - 1, 0); break;
    case Qt::Key_Down: r = std::min(r + 1, cell_rows - 1); break;
    default: return;
    }
    bit_label[cell_columns * r + c]->setFocus(Qt::TabFocusReason);  // a move by keyboard: the ring shows
}

// A drag paints: the cell it starts on switches as a click would, and every
// cell it enters takes that cell's new colour, each at most once a drag.
TColor stroke_colour = clBlack;
std::bitset<input_bits> stroke_cells;

void start_stroke(QObject* Sender) {
    const int m = cell_number(Sender);
    if (m < 0) return;
    Form1->bitOnClick(Sender);
    stroke_colour = bit_label[m]->Color();
    stroke_cells.reset();
    stroke_cells.set(m);
}

void continue_stroke(QObject* Sender) {
    const int m = cell_number(Sender);
    if (m < 0 || stroke_cells.test(m)) return;
    stroke_cells.set(m);
    // A click turns black to gray and anything else to black: on a cell of
    // the other colour it gives the stroke's colour.
    if (bit_label[m]->Color() != stroke_colour) Form1->bitOnClick(Sender);
}

}  // namespace

void create_bit_map_editor() {
    install_bit_cell_accessibility();
    load_pattern(the_network, 0);

    auto* bit_group = new TGroupBox(Form1);
    bit_group->SetParent(Form1);
    bit_group->SetText("Input Bit map");
    bit_group->SetLeft(30);
    bit_group->SetTop(30);
    bit_group->SetHeight(cell_rows * (bit_cell_size + 1) + 2 * bit_margin);
    bit_group->SetWidth(cell_columns * (bit_cell_size + 1) + 2 * bit_margin);

    pattern_combo = new TComboBox(Form1);
    pattern_combo->SetParent(bit_group);
    for (int d = 0; d < digit_count; ++d) pattern_combo->Items().Add(IntToStr(d));
    pattern_combo->SetItemIndex(0);  // before the handler is attached: nothing runs
    pattern_combo->SetLeft(bit_margin);
    pattern_combo->SetTop(bit_margin);
    const int first_row_top = pattern_combo->Top() + pattern_combo->Height() + bit_margin;
    pattern_combo->SetWidth(cell_columns * bit_cell_size);
    QObject::connect(pattern_combo, &TComboBox::OnChange, Form1, &TForm1::InputChange);

    bit_group->SetHeight(bit_group->Height() + bit_margin + pattern_combo->Height());

    for (int r = 0; r < cell_rows; ++r) {
        for (int c = 0; c < cell_columns; ++c) {
            const int m = cell_columns * r + c;
            TLabel* cell = bit_label[m] = new TLabel(Form1);
            cell->SetName("bit" + IntToStr(m));
            cell->SetText("");
            cell->SetParent(bit_group);
            cell->SetTop(first_row_top + (bit_cell_size + 1) * r);
            cell->SetLeft(bit_margin + (bit_cell_size + 1) * c);
            cell->SetWidth(bit_cell_size);
            cell->SetHeight(bit_cell_size);
            QObject::connect(cell, &TLabel::OnClick, Form1, &TForm1::bitOnClick);
            cell->SetColor(clGray);

            const QString place = QStringLiteral("Row %1, column %2").arg(r + 1).arg(c + 1);
            cell->setAccessibleName(place);
            cell->setToolTip(place);
            QObject::connect(cell, &TLabel::OnStartDrag, Form1, start_stroke);
            QObject::connect(cell, &TLabel::OnDragOver, Form1, continue_stroke);
            QObject::connect(cell, &TLabel::OnKeyDown, Form1, move_focus);
            QObject::connect(cell, &TLabel::OnEnter, Form1, make_tab_stop);
        }
    }
    make_tab_stop(bit_label[0]);
    refresh_bit_labels();
    watch_bit_cells();
}

bool cells_show_input() {
    for (int i = 0; i < input_bits; ++i)
        if ((bit_label[i]->Color() == clBlack) != (the_network.input_bit[i] == 1)) return false;
    return true;
}

void refresh_bit_labels() {
    for (int i = 0; i < input_bits; ++i)
        bit_label[i]->SetColor(the_network.input_bit[i] == 1 ? clBlack : clGray);
}

void TForm1::InputChange(QObject* Sender) {
    auto* combo = qobject_cast<TComboBox*>(Sender);
    const int d = combo ? combo->ItemIndex() : -1;
    if (d < 0 || d >= digit_count) return;  // free text or no selection: keep the input
    load_pattern(the_network, d);
    refresh_bit_labels();
    describe_test_input();
    network_view->InputChanged();
}

void TForm1::bitOnClick(QObject* Sender) {
    auto* cell = qobject_cast<TLabel*>(Sender);
    if (!cell) return;
    const int m = StrToInt(SubString(cell->Name(), 4, 2));
    if (m < 0 || m >= input_bits) return;
    if (cell->Color() == clBlack) {
        cell->SetColor(clGray);
        the_network.input_bit[m] = 0;
    } else {
        cell->SetColor(clBlack);
        the_network.input_bit[m] = 1;
    }
    describe_test_input();
    network_view->InputChanged();
}
