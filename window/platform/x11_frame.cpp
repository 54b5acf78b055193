#include "x11_frame.h"

#ifdef DIGITS_HAVE_XCB

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QThread>
#include <QtMath>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

namespace {

template <class Reply>
using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    const Owned<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The 32-bit values of a property, or none.
Owned<xcb_get_property_reply_t> cardinals(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                                          xcb_atom_t type, std::uint32_t count) {
    return {xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, count), nullptr),
            &std::free};
}

}  // namespace

QMargins FrameMarginsBeforeShow(QWidget* window) {
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return {};
    xcb_connection_t* c = x11->connection();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t request = atom(c, "_NET_REQUEST_FRAME_EXTENTS"), extents = atom(c, "_NET_FRAME_EXTENTS");

    // Only a running window manager lists what it supports on the root.
    const auto supported = cardinals(c, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 1024);
    if (!supported || supported->format != 32) return {};
    const auto* listed = static_cast<const xcb_atom_t*>(xcb_get_property_value(supported.get()));
    if (std::find(listed, listed + supported->value_len, request) == listed + supported->value_len) return {};

    const auto id = xcb_window_t(window->winId());  // the native window, not yet mapped
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);

    // The window manager sets the property on the window; it answers within
    // milliseconds, and a start-up should not wait long for one that does not.
    const QDeadlineTimer deadline(500);
    do {
        const auto reply = cardinals(c, id, extents, XCB_ATOM_CARDINAL, 4);
        if (reply && reply->format == 32 && reply->value_len == 4) {
            const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
            // Device pixels, as X11 counts them; the window is placed in
            // logical ones, which a scale factor makes larger.
            const qreal ratio = window->devicePixelRatioF();
            // Rounded up, so that the frame to come is never larger than allowed for.
            auto logical = [ratio](std::uint32_t device) { return qCeil(device / ratio); };
            return {logical(v[0]), logical(v[2]), logical(v[1]), logical(v[3])};  // left, top, right, bottom
        }
        QThread::msleep(5);
    } while (!deadline.hasExpired());
    return {};
}

#else

QMargins FrameMarginsBeforeShow(QWidget*) { return {}; }

#endif
