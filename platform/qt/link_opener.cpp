#include "platform/qt/link_opener.h"

#include <QDesktopServices>

namespace platform::qt {

void openInBrowser(const QUrl& url) {
    if (url.isValid()) QDesktopServices::openUrl(url);
}

}  // namespace platform::qt
