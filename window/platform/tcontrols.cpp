#include "tcontrols.h"

#include "dialogs.h"
#include "sysutils.h"

#include <QMouseEvent>
#include <QWindow>
#include <algorithm>

namespace {

// Reading a line that is not there is a fault in the caller; say which line.
void checkIndex(int index, int count)
{
    if (index < 0 || index >= count)
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
}

} // namespace

TLabel::TLabel(QWidget* parent) : TControl(parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return TControl::mousePressEvent(event);
    m_pressed = true;
    event->accept();  // so that the release comes here too
}

void TLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return TControl::mouseReleaseEvent(event);
    const bool click = m_pressed && rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        handle_event([this] { emit OnClick(this); });
}

TButton::TButton(QWidget* parent) : TControl(parent)
{
    connect(this, &QPushButton::clicked, this, [this] { handle_event([this] { emit OnClick(this); }); });
}

TGroupBox::TGroupBox(QWidget* parent) : TControl(parent) {}

TComboBox::TComboBox(QWidget* parent) : TControl(parent)
{
    connect(this, &QComboBox::activated, this, [this] { handle_event([this] { emit OnChange(this); }); });
}

void TComboBox::Lines::Clear()
{
    m_box->clear();
}

void TComboBox::Lines::Add(const QString& line)
{
    // QComboBox selects the first line added to an empty box; keep the
    // selection as it was instead.
    const int selected = m_box->currentIndex();
    m_box->addItem(line);
    m_box->setCurrentIndex(selected);
}

int TComboBox::Lines::Count() const
{
    return m_box->count();
}

QString TComboBox::Lines::Strings(int index) const
{
    checkIndex(index, Count());
    return m_box->itemText(index);
}

TListBox::TListBox(QWidget* parent) : TControl(parent) {}

void TListBox::Lines::Clear()
{
    m_list->clear();
}

void TListBox::Lines::Add(const QString& line)
{
    m_list->addItem(line);
}

int TListBox::Lines::Count() const
{
    return m_list->count();
}

QString TListBox::Lines::Strings(int index) const
{
    checkIndex(index, Count());
    return m_list->item(index)->text();
}

namespace {

QMargins frameMargins(const QWidget* form)
{
    const QWindow* window = form->windowHandle();
    return window ? window->frameMargins() : QMargins();
}

void placeWithFrame(QWidget* form, const QRect& outer, const QMargins& frame)
{
    form->move(outer.topLeft());  // a window's position is that of its frame
    form->resize(std::max(0, outer.width() - frame.left() - frame.right()),
                 std::max(0, outer.height() - frame.top() - frame.bottom()));
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

} // namespace

void SetOuterBounds(QWidget* form, int left, int top, int width, int height)
{
    const QRect outer(left, top, width, height);
    // Only the latest bounds wait for the frame.
    delete form->findChild<QObject*>(QLatin1String(FrameFitter::name), Qt::FindDirectChildrenOnly);
    const QMargins frame = frameMargins(form);
    placeWithFrame(form, outer, frame);
    if (frame.isNull())
        new FrameFitter(form, outer);
}
