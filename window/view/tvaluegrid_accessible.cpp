#include "tvaluegrid_accessible.h"

#include "tvaluegrid.h"

#include <QAccessibleWidget>
#include <vector>

namespace {

class grid_accessible;

// One cell of a selectable grid. It has no widget of its own: it asks the
// grid for its name, place and state.
class cell_accessible final : public QAccessibleInterface {
public:
    cell_accessible(TValueGrid* grid, int cell) : m_grid(grid), m_cell(cell) {}

    bool isValid() const override { return m_grid && m_cell < m_grid->Count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_grid); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name || !isValid() || m_cell >= m_grid->ItemNames().size()) return {};
        return m_grid->ItemNames().at(m_cell);
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid()) return {};
        const QRect r = m_grid->CellRect(m_cell);
        return QRect(m_grid->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) return s;
        s.focusable = s.selectable = true;
        s.selected = m_grid->Current() == m_cell;
        s.focused = s.selected && m_grid->hasFocus();
        s.invisible = !m_grid->isVisible();
        return s;
    }

private:
    QPointer<TValueGrid> m_grid;
    int m_cell;
};

class grid_accessible final : public QAccessibleWidget {
public:
    explicit grid_accessible(TValueGrid* grid)
        : QAccessibleWidget(grid, grid->Listed() ? QAccessible::List : QAccessible::Graphic) {}

    ~grid_accessible() override {
        for (QAccessibleInterface* cell : m_cells)
            if (cell) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(cell));
    }

    TValueGrid* grid() const { return static_cast<TValueGrid*>(widget()); }
    bool listed() const { return grid()->Listed(); }

    int childCount() const override { return listed() ? grid()->Count() : 0; }

    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) return nullptr;
        if (m_cells.size() <= static_cast<size_t>(index)) m_cells.resize(index + 1, nullptr);
        if (!m_cells[index]) {
            m_cells[index] = new cell_accessible(grid(), index);
            QAccessible::registerAccessibleInterface(m_cells[index]);
        }
        return m_cells[index];
    }

    // The item of that cell if a screen reader has asked for it, else null.
    QAccessibleInterface* made(int index) const {
        return index >= 0 && static_cast<size_t>(index) < m_cells.size() ? m_cells[index] : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        for (size_t i = 0; i < m_cells.size(); ++i)
            if (m_cells[i] == child) return static_cast<int>(i);
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override {
        if (!listed()) return nullptr;
        const QPoint p = grid()->mapFromGlobal(QPoint(x, y));
        for (int i = 0; i < grid()->Count(); ++i)
            if (grid()->CellRect(i).contains(p)) return child(i);
        return nullptr;
    }

private:
    mutable std::vector<QAccessibleInterface*>
        m_cells;  // made when first asked for, kept for the grid's life
};

QAccessibleInterface* grid_factory(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String("TValueGrid"))
        if (auto* grid = qobject_cast<TValueGrid*>(object)) return new grid_accessible(grid);
    return nullptr;
}

}  // namespace

void install_value_grid_accessibility() {
    static const bool installed = (QAccessible::installFactory(grid_factory), true);
    (void)installed;
}

void value_grid_items_renamed(TValueGrid* grid, const QStringList& before) {
    if (!QAccessible::isActive()) return;
    auto* face = dynamic_cast<grid_accessible*>(QAccessible::queryAccessibleInterface(grid));
    if (!face) return;
    const QStringList& now = grid->ItemNames();
    for (int i = 0; i < now.size(); ++i)
        if (QAccessibleInterface* item = face->made(i); item && (i >= before.size() || before[i] != now[i])) {
            QAccessibleEvent event(item, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&event);
        }
}

void value_grid_current_changed(TValueGrid* grid) {
    if (!QAccessible::isActive() || !grid->hasFocus()) return;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(grid);
    if (!face || face->childCount() <= grid->Current()) return;
    QAccessibleEvent event(face->child(grid->Current()), QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
}
