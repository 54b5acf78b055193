#include "placement.h"

#include "x11_frame.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <utility>

namespace {

QMargins frameMargins(const QWidget* form) {
    const QWindow* window = form->windowHandle();
    return window ? window->frameMargins() : QMargins();
}

// Wayland lets no client place its windows. Where Qt draws the title bar
// itself it knows the frame's margins; where the compositor draws the frame
// none are ever reported.
bool platformPlacesWindows() { return !QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

QRect onScreen(const QRect& outer) {
    const QScreen* screen = QGuiApplication::screenAt(outer.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? FitOnScreen(outer, screen->availableGeometry()) : outer;
}

// The frame gets the outer bounds, the client area what the frame leaves;
// where the platform places windows itself, the size alone.
void placeWithFrame(QWidget* form, const QRect& outer, const QMargins& frame) {
    const QSize client(std::max(0, outer.width() - frame.left() - frame.right()),
                       std::max(0, outer.height() - frame.top() - frame.bottom()));
    form->setMinimumSize(client);
    if (platformPlacesWindows()) form->move(outer.topLeft());  // a window's position is that of its frame
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

    FrameFitter(QWidget* form, const QRect& outer) : QObject(form), m_form(form), m_outer(outer) {
        setObjectName(QLatin1String(name));
        form->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::Move && type != QEvent::Resize && type != QEvent::Show) return false;
        const QMargins frame = frameMargins(m_form);
        if (frame.isNull()) return false;
        m_form->removeEventFilter(this);
        placeWithFrame(m_form, m_outer, frame);
        deleteLater();
        return false;
    }

private:
    QWidget* m_form;
    QRect m_outer;
};

// One axis of FitOnScreen: the start and the length.
std::pair<int, int> fitAxis(int start, int length, int areaStart, int areaLength) {
    if (length >= areaLength) return {areaStart, areaLength};
    return {std::clamp(start, areaStart, areaStart + areaLength - length), length};
}

}  // namespace

QRect FitOnScreen(const QRect& outer, const QRect& area) {
    if (area.isEmpty()) return outer;
    const auto [x, width] = fitAxis(outer.x(), outer.width(), area.x(), area.width());
    const auto [y, height] = fitAxis(outer.y(), outer.height(), area.y(), area.height());
    return {x, y, width, height};
}

void SetOuterBounds(QWidget* form, int left, int top, int width, int height) {
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
    if (frame.isNull()) new FrameFitter(form, outer);
}

QRect PlaceBeside(const QRect& owner, const QSize& size, const QRect& area) {
    const QPoint candidates[] = {
        {owner.right() + 1, owner.top()},
        {owner.left() - size.width(), owner.top()},
        {owner.left(), owner.bottom() + 1},
        {owner.left(), owner.top() - size.height()},
    };
    QRect best;
    long long bestCovered = -1;
    for (const QPoint& at : candidates) {
        const QRect place = FitOnScreen(QRect(at, size), area);
        const QRect covered = place.intersected(owner);
        const long long lost =
            covered.isEmpty() ? 0 : static_cast<long long>(covered.width()) * covered.height();
        if (bestCovered < 0 || lost < bestCovered) {
            best = place;
            bestCovered = lost;
        }
    }
    return best;
}
