#pragma once
// Whether the program can open a window at all, asked before Qt is started: Qt's own answer to a
// missing display is an English message and an abort.

namespace display {

// False when the platform Qt would use is X11 or Wayland and no such display can be reached
// (DISPLAY unset or refusing the connection, no WAYLAND_DISPLAY). Other platforms (offscreen,
// VNC, ...) are taken as available. Honours -platform and -display on the command line.
bool windowSystemAvailable(int argc, char** argv);

// Prints, on standard error, in Chinese and in English, that no display is available.
void reportNoDisplay(const char* program);

}  // namespace display
