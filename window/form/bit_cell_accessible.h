// The cells of the bit map as a screen reader meets them: check boxes,
// checked when black, whose toggle action clicks them, and whose state is
// announced whenever a cell turns black or gray, whatever turned it.
#pragma once

class TBitMapEditor;

// Before the cells are made: a screen reader may ask for a cell's interface
// as soon as it is shown, and the answer is kept for the cell's life.
void install_bit_cell_accessibility();
// Once the editor's cells exist and are painted: announces every later switch.
void watch_bit_cells(TBitMapEditor* editor);
