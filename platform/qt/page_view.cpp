#include "platform/qt/page_view.h"

#include <QFileInfo>

namespace platform::qt {

PageView::PageView(LinkOpener opener, QWidget* parent)
    : QTextBrowser(parent), opener_(std::move(opener)) {
    setReadOnly(true);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &PageView::followLink);
}

void PageView::showPage(const QString& filePath) {
    if (!QFileInfo(filePath).isReadable()) {
        clear();
        return;
    }
    setSource(QUrl::fromLocalFile(filePath));
}

void PageView::followLink(const QUrl& url) {
    const QUrl target = source().resolved(url);
    if (target.isLocalFile()) {
        if (QFileInfo(target.toLocalFile()).isReadable()) setSource(target);
        return;
    }
    if (url.scheme().isEmpty() && url.hasFragment()) {
        scrollToAnchor(url.fragment());
        return;
    }
    if (opener_) opener_(target);
}

}  // namespace platform::qt
