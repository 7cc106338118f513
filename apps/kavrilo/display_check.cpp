#include "display_check.h"

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace display {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The value of a Qt option given as "-name value" or "--name value".
std::string option(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] == '-' && arg[1] == '-') ++arg;
        if (arg[0] == '-' && std::strcmp(arg + 1, name) == 0) return argv[i + 1];
    }
    return {};
}

bool x11Reachable(const std::string& name) {
    if (name.empty()) return false;
    xcb_connection_t* connection = xcb_connect(name.c_str(), nullptr);
    const bool ok = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return ok;
}

}  // namespace

bool windowSystemAvailable(int argc, char** argv) {
    std::string platform = option(argc, argv, "platform");
    if (platform.empty()) platform = environment("QT_QPA_PLATFORM");
    // Qt tries a ";"-separated list of platforms in turn; an empty one means its default.
    const bool triesX11 = platform.empty() || platform.find("xcb") != std::string::npos;
    const bool triesWayland = platform.empty() || platform.find("wayland") != std::string::npos;
    if (!triesX11 && !triesWayland) return true;
    if (triesWayland && !environment("WAYLAND_DISPLAY").empty()) return true;
    if (triesX11) {
        std::string name = option(argc, argv, "display");
        if (name.empty()) name = environment("DISPLAY");
        return x11Reachable(name);
    }
    return false;
}

void reportNoDisplay(const char* program) {
    std::fprintf(stderr,
                 "%s: 找不到可用的图形显示，无法打开窗口。请在图形桌面里启动本程序。\n"
                 "%s: cannot open a window: no graphical display is available "
                 "(DISPLAY is not set or cannot be reached). Start the program from a "
                 "graphical desktop.\n",
                 program, program);
}

}  // namespace display
