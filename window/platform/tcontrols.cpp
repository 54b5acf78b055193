#include "tcontrols.h"

#include "dialogs.h"
#include "sysutils.h"
#include "x11_frame.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <type_traits>

namespace {

// Reading a line that is not there is a fault in the caller; say which line.
void checkIndex(int index, int count)
{
    if (index < 0 || index >= count)
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
}

} // namespace

bool ShowsFocus(const QWidget* control)
{
    return control->hasFocus() && control->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void DrawFocusRing(QPainter& painter, const QRect& area)
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QApplication::palette().color(QPalette::Highlight), 2));
    painter.drawRect(QRectF(area).adjusted(1, 1, -1, -1));
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(QRectF(area).adjusted(2.5, 2.5, -2.5, -2.5));
    painter.restore();
}

TLabel::TLabel(QWidget* parent) : TControl(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TLabel::Click()
{
    handle_event([this] { emit OnClick(this); });
}

void TLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return TControl::mousePressEvent(event);
    m_pressed = true;
    m_dragging = false;
    m_over = this;
    m_last = event->position().toPoint();
    event->accept();  // so that the moves and the release come here too
}

void TLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed || !(event->buttons() & Qt::LeftButton))
        return TControl::mouseMoveEvent(event);
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

void TLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return TControl::mouseReleaseEvent(event);
    const bool click = m_pressed && !m_dragging && rect().contains(event->position().toPoint());
    m_pressed = m_dragging = false;
    m_over = nullptr;
    event->accept();
    if (click)
        Click();
}

void TLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Qt turns the second press of a double click into this event, and by
    // default into one more press: it is the first click's echo, not a click.
    if (event->button() != Qt::LeftButton)
        return TControl::mouseDoubleClickEvent(event);
    event->accept();
}

void TLabel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat())  // holding Space switches once
            Click();
        event->accept();
        return;
    }
    const int key = event->key();
    handle_event([this, key] { emit OnKeyDown(this, key); });
    TControl::keyPressEvent(event);
}

void TLabel::focusInEvent(QFocusEvent* event)
{
    TControl::focusInEvent(event);
    handle_event([this] { emit OnEnter(this); });
}

TLabel* TLabel::siblingAt(QPoint point) const
{
    const QWidget* parent = parentWidget();
    if (!parent)
        return rect().contains(point) ? const_cast<TLabel*>(this) : nullptr;
    auto* label = qobject_cast<TLabel*>(parent->childAt(mapToParent(point)));
    return label && label->parentWidget() == parent ? label : nullptr;
}

void TLabel::dragEntered(TLabel* source)
{
    handle_event([this, source] { emit OnDragOver(this, source); });
}

TButton::TButton(QWidget* parent) : TControl(parent)
{
    connect(this, &QPushButton::clicked, this, [this] { handle_event([this] { emit OnClick(this); }); });
}

void TButton::keyPressEvent(QKeyEvent* event)
{
    // Qt's push buttons take Enter only in dialogs; on the form it presses the
    // focused button, as Space does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!event->isAutoRepeat())
            click();
        event->accept();
        return;
    }
    TControl::keyPressEvent(event);
}

template <class Items>
void ItemLines<Items>::Clear()
{
    m_items->clear();
}

template <class Items>
void ItemLines<Items>::Add(const QString& line)
{
    if constexpr (std::is_base_of_v<QComboBox, Items>) {
        const int selected = m_items->currentIndex();
        m_items->addItem(line);
        m_items->setCurrentIndex(selected);
    } else {
        m_items->addItem(line);
    }
}

template <class Items>
int ItemLines<Items>::Count() const
{
    return m_items->count();
}

template <class Items>
QString ItemLines<Items>::Strings(int index) const
{
    checkIndex(index, Count());
    if constexpr (std::is_base_of_v<QComboBox, Items>)
        return m_items->itemText(index);
    else
        return m_items->item(index)->text();
}

template class ItemLines<QComboBox>;
template class ItemLines<QListWidget>;

TGroupBox::TGroupBox(QWidget* parent) : TControl(parent) {}

TComboBox::TComboBox(QWidget* parent) : TControl(parent)
{
    connect(this, &QComboBox::activated, this, [this] { handle_event([this] { emit OnChange(this); }); });
}

TListBox::TListBox(QWidget* parent) : TControl(parent) {}

// The ring is drawn on the viewport, which a focus change does not repaint.
void TListBox::focusInEvent(QFocusEvent* event)
{
    TControl::focusInEvent(event);
    viewport()->update();
}

void TListBox::focusOutEvent(QFocusEvent* event)
{
    TControl::focusOutEvent(event);
    viewport()->update();
}

int TListBox::TopIndex() const
{
    const QModelIndex top = indexAt(QPoint(0, 0));
    return top.isValid() ? top.row() : 0;
}

void TListBox::SetTopIndex(int index)
{
    if (QListWidgetItem* line = item(index))
        scrollToItem(line, QAbstractItemView::PositionAtTop);
}

bool TListBox::LineInView(int index) const
{
    const QListWidgetItem* line = item(index);
    return line && viewport()->rect().contains(visualItemRect(line));
}

namespace {

QMargins frameMargins(const QWidget* form)
{
    const QWindow* window = form->windowHandle();
    return window ? window->frameMargins() : QMargins();
}

// Wayland lets no client place its windows. Where Qt draws the title bar
// itself it knows the frame's margins; where the compositor draws the frame
// none are ever reported.
bool platformPlacesWindows()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QRect onScreen(const QRect& outer)
{
    const QScreen* screen = QGuiApplication::screenAt(outer.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? FitOnScreen(outer, screen->availableGeometry()) : outer;
}

// The frame gets the outer bounds, the client area what the frame leaves;
// where the platform places windows itself, the size alone.
void placeWithFrame(QWidget* form, const QRect& outer, const QMargins& frame)
{
    const QSize client(std::max(0, outer.width() - frame.left() - frame.right()),
                       std::max(0, outer.height() - frame.top() - frame.bottom()));
    form->setMinimumSize(client);
    if (platformPlacesWindows())
        form->move(outer.topLeft());  // a window's position is that of its frame
    form->resize(client);
}

// A window manager frames a window only after it is shown, and Qt learns the
// frame's margins later still: the window moves into the frame then. Until
// that happens the outer bounds went to the client area; this gives them to
// the frame once, as soon as the margins are known, and then goes away, so a
// size the user chooses later stays. Without a window manager it waits on.
class FrameFitter : public QObject {
public:
    static constexpr const char* name = "frame fitter";

    FrameFitter(QWidget* form, const QRect& outer) : QObject(form), m_form(form), m_outer(outer)
    {
        setObjectName(QLatin1String(name));
        form->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::Move && type != QEvent::Resize && type != QEvent::Show)
            return false;
        const QMargins frame = frameMargins(m_form);
        if (frame.isNull())
            return false;
        m_form->removeEventFilter(this);
        placeWithFrame(m_form, m_outer, frame);
        deleteLater();
        return false;
    }

private:
    QWidget* m_form;
    QRect m_outer;
};

int fitAxis(int start, int length, int areaStart, int areaLength)
{
    if (length >= areaLength)
        return areaStart;
    return std::clamp(start, areaStart, areaStart + areaLength - length);
}

} // namespace

QRect FitOnScreen(const QRect& outer, const QRect& area)
{
    return {fitAxis(outer.x(), outer.width(), area.x(), area.width()),
            fitAxis(outer.y(), outer.height(), area.y(), area.height()), outer.width(), outer.height()};
}

void SetOuterBounds(QWidget* form, int left, int top, int width, int height)
{
    // Only the latest bounds wait for the frame.
    delete form->findChild<QObject*>(QLatin1String(FrameFitter::name), Qt::FindDirectChildrenOnly);
    const QRect designed(left, top, width, height);
    const QRect outer = platformPlacesWindows() ? onScreen(designed) : designed;
    const QMargins frame = frameMargins(form);
    if (frame.isNull() && !form->isVisible() && platformPlacesWindows()) {
        const QMargins coming = FrameMarginsBeforeShow(form);
        if (!coming.isNull()) {
            // The native window exists now; the client area is placed inside
            // the frame to come, which the window manager puts around it.
            const QRect client = outer.marginsRemoved(coming);
            form->setMinimumSize(client.size());
            form->setGeometry(client);
            return;
        }
    }
    placeWithFrame(form, outer, frame);
    if (frame.isNull())
        new FrameFitter(form, outer);
}
