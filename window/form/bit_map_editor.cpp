#include "bit_map_editor.h"

TComboBox* pattern_combo = nullptr;
std::array<TLabel*, input_bits> bit_label{};

void create_bit_map_editor() {
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
        }
    }
    refresh_bit_labels();
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
}
