// The form's controls: thin subclasses of Qt's widgets with the operations the
// form names. A control is placed by its parent-relative position and size,
// as the form lays out everything by hand.
#pragma once

#include "tcolor.h"
#include "tstrings.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QPushButton>

// The mouse pointer over a control; crHandPoint marks one that opens something.
using TCursor = Qt::CursorShape;
inline constexpr TCursor crDefault = Qt::ArrowCursor;
inline constexpr TCursor crHandPoint = Qt::PointingHandCursor;

// Every control that takes the focus shows it with the same ring, once the
// keyboard has moved the focus in its window (before that, as in most desktop
// toolkits, a click alone shows none): a ring in the highlight colour with a
// white one inside, so that one of the two stands out on any background.
// TControl paints it; a control that paints itself calls these.
bool ShowsFocus(const QWidget* control);
void DrawFocusRing(QPainter& painter, const QRect& area);

// What every control has: bounds, a parent, a name, a background colour, a
// mouse pointer and a hint (its tooltip).
template <class Base>
class TControl : public Base {
public:
    using Base::Base;

    void SetLeft(int left) { this->move(left, this->y()); }
    void SetTop(int top) { this->move(this->x(), top); }
    void SetWidth(int width) { this->resize(width, this->height()); }
    void SetHeight(int height) { this->resize(this->width(), height); }
    int Left() const { return this->x(); }
    int Top() const { return this->y(); }
    // The size Qt gave the widget, which a minimum size may have enlarged.
    int Width() const { return this->width(); }
    int Height() const { return this->height(); }

    // A control with a parent is shown inside it (Qt hides a widget whose
    // parent changes); without one it is hidden rather than made a window.
    void SetParent(QWidget* parent) {
        this->setParent(parent);
        this->setVisible(parent != nullptr);
    }

    void SetName(const QString& name) { this->setObjectName(name); }
    QString Name() const { return this->objectName(); }

    // Through the palette rather than a style sheet, so Color() reads the
    // new colour back at once.
    void SetColor(TColor color) {
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, to_qcolor(color));
        this->setPalette(palette);
        this->setAutoFillBackground(true);
    }
    TColor Color() const { return from_qcolor(this->palette().color(QPalette::Window)); }

    void SetCursor(TCursor cursor) { this->setCursor(cursor); }
    void SetHint(const QString& hint) { this->setToolTip(hint); }

protected:
    // Where the focus ring goes: the widget it is painted on, and the area.
    virtual QWidget* RingSurface() { return this; }
    virtual QRect RingArea() { return RingSurface()->rect(); }

    // Qt paints the control, then the ring goes over it while it shows the focus.
    void paintEvent(QPaintEvent* event) override {
        Base::paintEvent(event);
        if (ShowsFocus(this)) {
            QPainter painter(RingSurface());
            DrawFocusRing(painter, RingArea());
        }
    }
};

// The lines of an item widget (QComboBox, QListWidget) as a TStrings.
// Reading a line that is not there throws, naming the line.
template <class Items>
class ItemLines final : public TStrings {
public:
    explicit ItemLines(Items* items) : m_items(items) {}
    void Clear() override;
    // A combo box keeps its selection: Qt would select the first line added
    // to an empty one.
    void Add(const QString& line) override;
    int Count() const override;
    QString Strings(int index) const override;

private:
    Items* m_items;
};

// A caption, top-left aligned, that can also be clicked, dragged over and,
// once given a focus policy, used from the keyboard.
class TLabel : public TControl<QLabel> {
    Q_OBJECT
public:
    explicit TLabel(QWidget* parent = nullptr);

    // The label keeps the size it was given, whatever the caption.
    void SetText(const QString& text) { setText(text); }
    QString Text() const { return text(); }

    // Raises OnClick as a click with the mouse would.
    void Click();

    // A link opens something: it takes the focus by Tab and by click, Enter
    // and Space click it, the pointer over it is a hand, and a screen reader
    // meets a link with a press action.
    void SetLink(bool link);
    bool IsLink() const { return m_link; }

signals:
    // A left button pressed and released inside the label, or Space while it
    // has the focus. The second press of a double click is no second click,
    // and a press that became a drag ends without one.
    void OnClick(QObject* Sender);
    // The left button, pressed on this label, has been dragged onto another
    // label of the same parent: the press is now a drag. Raised once a press.
    void OnStartDrag(QObject* Sender);
    // During such a drag the pointer has entered this label (Sender); Source
    // is the label the drag began on. A label left and entered again hears it
    // again; labels crossed between two mouse moves are entered in turn.
    void OnDragOver(QObject* Sender, QObject* Source);
    // A key other than Space pressed while the label has the focus: a Qt::Key.
    void OnKeyDown(QObject* Sender, int Key);
    // The label has received the keyboard focus.
    void OnEnter(QObject* Sender);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    TLabel* siblingAt(QPoint point) const;  // in this label's coordinates
    void dragEntered(TLabel* source);

    bool m_pressed = false;   // a left press awaits its release
    bool m_dragging = false;  // ... and has reached another label
    QPointer<TLabel> m_over;  // the label under the pointer at the last move
    QPoint m_last;            // the pointer at the last move
    bool m_link = false;
};

// Also promoted to from Designer forms: header "tcontrols.h".
class TButton : public TControl<QPushButton> {
    Q_OBJECT
public:
    explicit TButton(QWidget* parent = nullptr);

    void SetText(const QString& text) { setText(text); }
    QString Text() const { return text(); }

signals:
    // A click, Space, or Enter while the button has the focus.
    void OnClick(QObject* Sender);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    QRect RingArea() override { return rect().adjusted(2, 2, -2, -2); }  // inside the bevel
};

// Its children are placed relative to the group box's own top-left corner,
// title included.
class TGroupBox : public TControl<QGroupBox> {
    Q_OBJECT
public:
    explicit TGroupBox(QWidget* parent = nullptr);

    void SetText(const QString& text) { setTitle(text); }
    QString Text() const { return title(); }
};

// A drop-down list. Adding lines never selects one: ItemIndex stays -1 until
// the program or the user picks an item.
class TComboBox : public TControl<QComboBox> {
    Q_OBJECT
public:
    explicit TComboBox(QWidget* parent = nullptr);

    TStrings& Items() { return m_items; }
    int ItemIndex() const { return currentIndex(); }  // -1: nothing selected
    void SetItemIndex(int index) { setCurrentIndex(index); }

signals:
    // Raised once for each pick by the user (mouse or keyboard), also when the
    // user picks the item already shown, and never by SetItemIndex or by
    // changes to Items(): it follows QComboBox::activated.
    void OnChange(QObject* Sender);

private:
    ItemLines<QComboBox> m_items{this};
};

class TListBox : public TControl<QListWidget> {
    Q_OBJECT
public:
    explicit TListBox(QWidget* parent = nullptr);

    TStrings& Items() { return m_items; }

    // The first line shown; setting it scrolls as far as the lines allow.
    int TopIndex() const;
    void SetTopIndex(int index);
    // Whether the line is wholly in view; false for a line that is not there.
    bool LineInView(int index) const;

protected:
    QWidget* RingSurface() override { return viewport(); }  // the lines paint there
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    ItemLines<QListWidget> m_items{this};
};
