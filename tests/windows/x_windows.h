#pragma once
// A little of the X protocol for the end-to-end test, kept apart because Xlib's macros clash
// with C++ libraries.
#include <string>
#include <vector>

class XWindows {
  public:
    XWindows();  // connects to $DISPLAY
    ~XWindows();
    XWindows(const XWindows&) = delete;
    XWindows& operator=(const XWindows&) = delete;

    bool connected() const { return display_ != nullptr; }
    // Mapped top-level windows whose title (_NET_WM_NAME) is `title`.
    std::vector<unsigned long> windowsTitled(const std::string& title) const;
    // Sends the window manager's close request (WM_DELETE_WINDOW), as a close box does.
    void askToClose(unsigned long window) const;

  private:
    void* display_;
};
