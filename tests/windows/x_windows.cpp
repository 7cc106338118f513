#include "x_windows.h"

#include <X11/Xlib.h>

namespace {

std::string windowName(Display* display, Window w) {
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, rest = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(display, w, netName, 0, 1024, False, utf8, &type, &format, &count, &rest,
                           &data) == Success &&
        data) {
        name.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return name;
}

// Top-level windows (children of the root) that are mapped and carry `title`.
std::vector<Window> windowsTitled(Display* display, const std::string& title) {
    std::vector<Window> found;
    Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count)) return found;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) &&
            attributes.map_state == IsViewable && windowName(display, children[i]) == title) {
            found.push_back(children[i]);
        }
    }
    if (children) XFree(children);
    return found;
}

void askToClose(Display* display, Window w) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, w, False, NoEventMask, &event);
    XFlush(display);
}

}  // namespace

XWindows::XWindows() : display_(XOpenDisplay(nullptr)) {}

XWindows::~XWindows() {
    if (display_) XCloseDisplay(static_cast<Display*>(display_));
}

std::vector<unsigned long> XWindows::windowsTitled(const std::string& title) const {
    if (!display_) return {};
    std::vector<unsigned long> out;
    for (Window w : ::windowsTitled(static_cast<Display*>(display_), title)) out.push_back(w);
    return out;
}

void XWindows::askToClose(unsigned long window) const {
    if (display_) ::askToClose(static_cast<Display*>(display_), Window(window));
}
