#pragma once
// Opening a web address in the user's browser through the desktop.
#include <QUrl>
#include <functional>

namespace platform::qt {

// What a window calls to open an address; tests substitute their own.
using LinkOpener = std::function<void(const QUrl&)>;

// Asks the desktop to open `url`; the result is ignored, nothing is reported.
void openInBrowser(const QUrl& url);

}  // namespace platform::qt
