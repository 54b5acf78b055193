#include "tcontrols.h"

#include "accessible_roles.h"
#include "dialogs.h"
#include "sysutils.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <type_traits>

namespace {

// Reading a line that is not there is a fault in the caller; say which line.
void checkIndex(int index, int count) {
    if (index < 0 || index >= count)
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
}

}  // namespace

bool ShowsFocus(const QWidget* control) {
    return control->hasFocus() && control->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void DrawFocusRing(QPainter& painter, const QRect& area) {
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QApplication::palette().color(QPalette::Highlight), 2));
    painter.drawRect(QRectF(area).adjusted(1, 1, -1, -1));
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(QRectF(area).adjusted(2.5, 2.5, -2.5, -2.5));
    painter.restore();
}

TLabel::TLabel(QWidget* parent) : TControl(parent) { setAlignment(Qt::AlignLeft | Qt::AlignTop); }

void TLabel::Click() {
    handle_event([this] { emit OnClick(this); });
}

void TLabel::SetLink(bool link) {
    InstallPlatformAccessibility();  // before a screen reader asks for the label
    m_link = link;
    setFocusPolicy(link ? Qt::StrongFocus : Qt::NoFocus);
    SetCursor(link ? crHandPoint : crDefault);
    // An interface made for the label before, as a plain text, is kept for
    // its life: let the next question make the link's.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(this);
    if (made && (made->role() == QAccessible::Link) != link)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void TLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return TControl::mousePressEvent(event);
    m_pressed = true;
    m_dragging = false;
    m_over = this;
    m_last = event->position().toPoint();
    event->accept();  // so that the moves and the release come here too
}

void TLabel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressed || !(event->buttons() & Qt::LeftButton)) return TControl::mouseMoveEvent(event);
    event->accept();
    // A quick stroke moves many pixels between two events: walk the segment
    // in steps smaller than a label so that none crossed is missed.
    const QPoint to = event->position().toPoint();
    const QPoint from = m_last;
    m_last = to;
    constexpr int step = 4;  // pixels
    const int steps = std::max(1, (to - from).manhattanLength() / step);
    for (int i = 1; i <= steps && m_pressed; ++i) {
        TLabel* over = siblingAt(from + (to - from) * i / steps);
        if (over && over != m_over && (m_dragging || over != this)) {
            if (!m_dragging) {
                m_dragging = true;
                handle_event([this] { emit OnStartDrag(this); });
            }
            over->dragEntered(this);
        }
        m_over = over;
    }
}

void TLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return TControl::mouseReleaseEvent(event);
    const bool click = m_pressed && !m_dragging && rect().contains(event->position().toPoint());
    m_pressed = m_dragging = false;
    m_over = nullptr;
    event->accept();
    if (click) Click();
}

void TLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    // Qt turns the second press of a double click into this event, and by
    // default into one more press: it is the first click's echo, not a click.
    if (event->button() != Qt::LeftButton) return TControl::mouseDoubleClickEvent(event);
    event->accept();
}

void TLabel::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (event->key() == Qt::Key_Space || (m_link && enter)) {
        if (!event->isAutoRepeat())  // holding Space switches once
            Click();
        event->accept();
        return;
    }
    const int key = event->key();
    handle_event([this, key] { emit OnKeyDown(this, key); });
    TControl::keyPressEvent(event);
}

void TLabel::focusInEvent(QFocusEvent* event) {
    TControl::focusInEvent(event);
    handle_event([this] { emit OnEnter(this); });
}

TLabel* TLabel::siblingAt(QPoint point) const {
    const QWidget* parent = parentWidget();
    if (!parent) return rect().contains(point) ? const_cast<TLabel*>(this) : nullptr;
    auto* label = qobject_cast<TLabel*>(parent->childAt(mapToParent(point)));
    return label && label->parentWidget() == parent ? label : nullptr;
}

void TLabel::dragEntered(TLabel* source) {
    handle_event([this, source] { emit OnDragOver(this, source); });
}

TButton::TButton(QWidget* parent) : TControl(parent) {
    connect(this, &QPushButton::clicked, this, [this] { handle_event([this] { emit OnClick(this); }); });
}

void TButton::keyPressEvent(QKeyEvent* event) {
    // Qt's push buttons take Enter only in dialogs; on the form it presses the
    // focused button, as Space does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!event->isAutoRepeat()) click();
        event->accept();
        return;
    }
    TControl::keyPressEvent(event);
}

template <class Items>
void ItemLines<Items>::Clear() {
    m_items->clear();
}

template <class Items>
void ItemLines<Items>::Add(const QString& line) {
    if constexpr (std::is_base_of_v<QComboBox, Items>) {
        const int selected = m_items->currentIndex();
        m_items->addItem(line);
        m_items->setCurrentIndex(selected);
    } else {
        m_items->addItem(line);
    }
}

template <class Items>
int ItemLines<Items>::Count() const {
    return m_items->count();
}

template <class Items>
QString ItemLines<Items>::Strings(int index) const {
    checkIndex(index, Count());
    if constexpr (std::is_base_of_v<QComboBox, Items>)
        return m_items->itemText(index);
    else
        return m_items->item(index)->text();
}

template class ItemLines<QComboBox>;
template class ItemLines<QListWidget>;

TGroupBox::TGroupBox(QWidget* parent) : TControl(parent) {}

TComboBox::TComboBox(QWidget* parent) : TControl(parent) {
    connect(this, &QComboBox::activated, this, [this] { handle_event([this] { emit OnChange(this); }); });
}

TListBox::TListBox(QWidget* parent) : TControl(parent) {}

// The ring is drawn on the viewport, which a focus change does not repaint.
void TListBox::focusInEvent(QFocusEvent* event) {
    TControl::focusInEvent(event);
    viewport()->update();
}

void TListBox::focusOutEvent(QFocusEvent* event) {
    TControl::focusOutEvent(event);
    viewport()->update();
}

int TListBox::TopIndex() const {
    const QModelIndex top = indexAt(QPoint(0, 0));
    return top.isValid() ? top.row() : 0;
}

void TListBox::SetTopIndex(int index) {
    if (QListWidgetItem* line = item(index)) scrollToItem(line, QAbstractItemView::PositionAtTop);
}

bool TListBox::LineInView(int index) const {
    const QListWidgetItem* line = item(index);
    return line && viewport()->rect().contains(visualItemRect(line));
}
