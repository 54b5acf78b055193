// The bit map editor: a group box captioned "Input Bit map" holding a digit
// list and, below it, a 4 x 9 grid of cells, black for a set bit and gray for
// a clear one. It is a control like the others and knows nothing of the
// network: a digit picked raises OnChange, a cell clicked raises OnCellClick,
// and the form decides what they do to input_bit and repaints the cells.
// Dragging over the cells paints them, the arrow keys move between them.
#pragma once

#include <array>
#include <bitset>

#include "network.h"
#include "tcontrols.h"

inline constexpr int bit_margin = 20;     // inside the group box, and between list and grid
inline constexpr int bit_cell_size = 30;  // cells are 31 px apart: one pixel of gap

class TBitMapEditor : public TGroupBox {
    Q_OBJECT
public:
    // Builds the group box on the owner, at (30, 30), with the list showing
    // "0" and every cell gray; cell m is named "bit" and m.
    explicit TBitMapEditor(QWidget* owner);

    TComboBox* Digits() const { return m_digits; }
    TLabel* Cell(int m) const { return m_cells[m]; }
    // The number of the cell, or -1 for anything that is not one of them.
    int CellNumber(const QObject* cell) const;

    // Every cell black where bits has a 1, gray elsewhere.
    void Paint(const bit_map& bits);
    // Whether the cells show bits.
    bool Shows(const bit_map& bits) const;

signals:
    // A digit picked in the list; Sender is the list.
    void OnChange(QObject* Sender);
    // A cell clicked (or switched by Space, a screen reader or a drag);
    // Sender is the cell.
    void OnCellClick(QObject* Sender);

private:
    void makeTabStop(QObject* cell);
    void moveFocus(QObject* cell, int key);
    void startStroke(QObject* cell);
    void continueStroke(QObject* cell);

    TComboBox* m_digits = nullptr;
    std::array<TLabel*, input_bits> m_cells{};
    // A drag paints: the cell it starts on switches as a click would, and
    // every cell it enters takes that cell's new colour, each at most once.
    TColor m_strokeColour = clBlack;
    std::bitset<input_bits> m_strokeCells;
    // Screen readers hear of every switch after the first picture; the gray
    // the cells are made with is none.
    bool m_announcing = false;
};
