#include "bit_cell_accessible.h"

#include <QAccessibleWidget>
#include <QEvent>

#include "tbitmapeditor.h"

namespace {

// The editor whose cell the object is, or null.
const TBitMapEditor* editor_of(const QObject* object) {
    const auto* editor = qobject_cast<const TBitMapEditor*>(object->parent());
    return editor && editor->CellNumber(object) >= 0 ? editor : nullptr;
}

bool is_checked(const TLabel* cell) { return cell->Color() == clBlack; }

class bit_cell_accessible final : public QAccessibleWidget {
public:
    explicit bit_cell_accessible(TLabel* cell) : QAccessibleWidget(cell, QAccessible::CheckBox) {}

    TLabel* cell() const { return static_cast<TLabel*>(widget()); }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = is_checked(cell());
        return s;
    }

    QStringList actionNames() const override {
        return QStringList{toggleAction()} + QAccessibleWidget::actionNames();
    }

    QStringList keyBindingsForAction(const QString& action) const override {
        if (action == toggleAction()) return {QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(action);
    }

    void doAction(const QString& action) override {
        if (action == toggleAction())
            cell()->Click();  // by the same rule as a click
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* cell_factory(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String("TLabel") && editor_of(object))
        return new bit_cell_accessible(static_cast<TLabel*>(object));
    return nullptr;
}

// Every colour a cell gets passes through its palette, so a palette change is
// where a switch shows, be it from a click, a key, a drag or the digit list.
class colour_watcher final : public QObject {
public:
    explicit colour_watcher(TBitMapEditor* editor) : QObject(editor), editor_(editor) {
        for (int m = 0; m < input_bits; ++m) {
            checked_[m] = is_checked(editor->Cell(m));
            editor->Cell(m)->installEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::PaletteChange) return false;
        const int m = editor_->CellNumber(watched);
        if (m < 0) return false;
        const bool now = is_checked(editor_->Cell(m));
        if (now != checked_[m]) {
            checked_[m] = now;
            QAccessible::State changed;
            changed.checked = true;
            QAccessibleStateChangeEvent notice(watched, changed);
            QAccessible::updateAccessibility(&notice);
        }
        return false;
    }

private:
    const TBitMapEditor* editor_;
    std::array<bool, input_bits> checked_{};
};

}  // namespace

void install_bit_cell_accessibility() {
    static const bool installed = (QAccessible::installFactory(cell_factory), true);
    (void)installed;
}

void watch_bit_cells(TBitMapEditor* editor) { new colour_watcher(editor); }
