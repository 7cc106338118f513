#pragma once
// A read-only view of a local HTML page. Links to the web open in the user's browser through
// the given opener; links inside the page folder are followed in the view. Nothing is fetched
// from the network.
#include <QTextBrowser>

#include "platform/qt/link_opener.h"

namespace platform::qt {

class PageView : public QTextBrowser {
    Q_OBJECT
  public:
    explicit PageView(LinkOpener opener, QWidget* parent = nullptr);

    // Shows the page at `filePath`; a missing page leaves the view blank.
    void showPage(const QString& filePath);

  private:
    void followLink(const QUrl& url);
    LinkOpener opener_;
};

}  // namespace platform::qt
