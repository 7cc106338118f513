#include "platform/qt/frame_extents.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWindow>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace platform::qt {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The 32-bit values of a property, or an empty reply when it is missing.
Reply<xcb_get_property_reply_t> property(xcb_connection_t* connection, xcb_window_t window,
                                         xcb_atom_t name, xcb_atom_t type, uint32_t longs) {
    const auto cookie = xcb_get_property(connection, 0, window, name, type, 0, longs);
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
    if (reply && (reply->format != 32 || reply->type != type)) reply.reset();
    return reply;
}

bool windowManagerOffers(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t request) {
    const auto supported =
        property(connection, root, internAtom(connection, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 4096);
    if (!supported) return false;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(supported.get()));
    const int count = xcb_get_property_value_length(supported.get()) / 4;
    for (int i = 0; i < count; ++i)
        if (atoms[i] == request) return true;
    return false;
}

}  // namespace

std::optional<QMargins> frameExtentsBeforeShowing(QWindow& window, int waitMs) {
    // Other platforms (offscreen among them) may offer the X11 interface without a connection.
    if (window.isVisible() || QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::nullopt;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return std::nullopt;
    const auto id = static_cast<xcb_window_t>(window.winId());

    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr));
    if (!geometry) return std::nullopt;
    const xcb_atom_t request = internAtom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = internAtom(connection, "_NET_FRAME_EXTENTS");
    if (request == XCB_ATOM_NONE || extents == XCB_ATOM_NONE ||
        !windowManagerOffers(connection, geometry->root, request))
        return std::nullopt;

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(connection, 0, geometry->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);

    // The answer is a property on the window; Qt owns the event queue, so it is read directly
    // until it appears. A window manager answers within a few milliseconds.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (const auto reply = property(connection, id, extents, XCB_ATOM_CARDINAL, 4);
            reply && xcb_get_property_value_length(reply.get()) == 16) {
            const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
            const qreal ratio = window.devicePixelRatio() > 0 ? window.devicePixelRatio() : 1;
            const auto logical = [ratio](uint32_t px) { return qRound(px / ratio); };
            // The property's order is left, right, top, bottom.
            return QMargins(logical(v[0]), logical(v[2]), logical(v[1]), logical(v[3]));
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace platform::qt
