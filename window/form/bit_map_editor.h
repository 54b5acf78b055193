// The input editor: a digit list and a 4 x 9 grid of cells, black for a set
// bit and gray for a clear one, that write the network's input_bit. It is a
// part of the form: built on Form1 by create_bit_map_editor (declared with
// the form), its handlers are TForm1's InputChange and bitOnClick.
#pragma once

#include <array>

#include "network.h"
#include "unit1.h"

inline constexpr int bit_margin = 20;     // inside the group box, and between list and grid
inline constexpr int bit_cell_size = 30;  // cells are 31 px apart: one pixel of gap

extern TComboBox* pattern_combo;
extern std::array<TLabel*, input_bits> bit_label;

// Paints every cell from input_bit.
void refresh_bit_labels();
// Whether the cells show input_bit; after a training run they need not.
bool cells_show_input();
