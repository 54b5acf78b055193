#include "tbitmapeditor.h"

#include <algorithm>

#include "bit_cell_accessible.h"
#include "sysutils.h"

TBitMapEditor::TBitMapEditor(QWidget* owner) : TGroupBox(owner) {
    install_bit_cell_accessibility();

    SetParent(owner);
    SetText("Input Bit map");
    SetLeft(30);
    SetTop(30);
    SetHeight(cell_rows * (bit_cell_size + 1) + 2 * bit_margin);
    SetWidth(cell_columns * (bit_cell_size + 1) + 2 * bit_margin);

    m_digits = new TComboBox(owner);
    m_digits->SetParent(this);
    for (int d = 0; d < digit_count; ++d) m_digits->Items().Add(IntToStr(d));
    m_digits->SetItemIndex(0);  // before OnChange is passed on: nothing runs
    m_digits->SetLeft(bit_margin);
    m_digits->SetTop(bit_margin);
    const int first_row_top = m_digits->Top() + m_digits->Height() + bit_margin;
    m_digits->SetWidth(cell_columns * bit_cell_size);
    connect(m_digits, &TComboBox::OnChange, this, &TBitMapEditor::OnChange);

    SetHeight(Height() + bit_margin + m_digits->Height());

    for (int r = 0; r < cell_rows; ++r) {
        for (int c = 0; c < cell_columns; ++c) {
            const int m = cell_columns * r + c;
            TLabel* cell = m_cells[m] = new TLabel(owner);
            cell->SetName("bit" + IntToStr(m));
            cell->SetText("");
            cell->SetParent(this);
            cell->SetTop(first_row_top + (bit_cell_size + 1) * r);
            cell->SetLeft(bit_margin + (bit_cell_size + 1) * c);
            cell->SetWidth(bit_cell_size);
            cell->SetHeight(bit_cell_size);
            connect(cell, &TLabel::OnClick, this, &TBitMapEditor::OnCellClick);
            cell->SetColor(clGray);

            const QString place = QStringLiteral("Row %1, column %2").arg(r + 1).arg(c + 1);
            cell->setAccessibleName(place);
            cell->setToolTip(place);
            connect(cell, &TLabel::OnStartDrag, this, &TBitMapEditor::startStroke);
            connect(cell, &TLabel::OnDragOver, this, &TBitMapEditor::continueStroke);
            connect(cell, &TLabel::OnKeyDown, this, &TBitMapEditor::moveFocus);
            connect(cell, &TLabel::OnEnter, this, &TBitMapEditor::makeTabStop);
        }
    }
    makeTabStop(m_cells[0]);
}

void TBitMapEditor::Paint(const bit_map& bits) {
    for (int i = 0; i < input_bits; ++i) m_cells[i]->SetColor(bits[i] == 1 ? clBlack : clGray);
    if (!m_announcing) {
        watch_bit_cells(this);
        m_announcing = true;
    }
}

bool TBitMapEditor::Shows(const bit_map& bits) const {
    for (int i = 0; i < input_bits; ++i)
        if ((m_cells[i]->Color() == clBlack) != (bits[i] == 1)) return false;
    return true;
}

int TBitMapEditor::CellNumber(const QObject* cell) const {
    const auto found = std::ranges::find(m_cells, cell);
    return found == m_cells.end() ? -1 : static_cast<int>(found - m_cells.begin());
}

// The grid is one stop of the Tab key: the cell that last had the focus.
void TBitMapEditor::makeTabStop(QObject* cell) {
    for (TLabel* each : m_cells) each->setFocusPolicy(each == cell ? Qt::StrongFocus : Qt::ClickFocus);
}

// The arrow keys move the focus to the neighbouring cell; at the edge it stays.
void TBitMapEditor::moveFocus(QObject* cell, int key) {
    const int m = CellNumber(cell);
    if (m < 0) return;
    int r = m / cell_columns, c = m % cell_columns;
    switch (key) {
        case Qt::Key_Left: c = std::max(c - 1, 0); break;
        case Qt::Key_Right: c = std::min(c + 1, cell_columns - 1); break;
        case Qt::Key_Up: r = std::max(r - 1, 0); break;
        case Qt::Key_Down: r = std::min(r + 1, cell_rows - 1); break;
        default: return;
    }
    m_cells[cell_columns * r + c]->setFocus(Qt::TabFocusReason);  // a move by keyboard: the ring shows
}

void TBitMapEditor::startStroke(QObject* cell) {
    const int m = CellNumber(cell);
    if (m < 0) return;
    emit OnCellClick(cell);
    m_strokeColour = m_cells[m]->Color();
    m_strokeCells.reset();
    m_strokeCells.set(m);
}

void TBitMapEditor::continueStroke(QObject* cell) {
    const int m = CellNumber(cell);
    if (m < 0 || m_strokeCells.test(m)) return;
    m_strokeCells.set(m);
    // A click turns black to gray and anything else to black: on a cell of
    // the other colour it gives the stroke's colour.
    if (m_cells[m]->Color() != m_strokeColour) emit OnCellClick(cell);
}
