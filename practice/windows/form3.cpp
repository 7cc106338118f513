#include "practice/windows/form3.h"

#include <QLabel>
#include <QMouseEvent>

#include "platform/qt/chinese_ui.h"
#include "platform/qt/page_view.h"
#include "practice/windows/accessibility.h"
#include "practice/windows/window_placement.h"

namespace windows {

// The program has no web site and no contact number: the link opens the parents' guide that
// is installed with the pictures, in the user's browser.
const char* const Form3::kPageFile = "fj.html";
const char* const Form3::kGuideFile = "guide.html";

Form3::Form3(const platform::qt::PictureFolder& pictures, platform::qt::LinkOpener opener,
             QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      opener_(std::move(opener)),
      guide_(QUrl::fromLocalFile(pictures.path(QString::fromLatin1(kGuideFile)))) {
    setObjectName(QStringLiteral("Form3"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("发现-Kavrilo"));
    setFixedSize(540, 398);
    setWindowIcon(QIcon(pictures.picture(QStringLiteral("kavrilo.png"))));

    auto* page = new platform::qt::PageView(opener_, this);
    page->setObjectName(QStringLiteral("Scriptlet1"));
    page->setGeometry(5, 5, 530, 367);
    page->showPage(pictures.path(QString::fromLatin1(kPageFile)));
    page->resize(532, 370);  // the size it takes once the window is created

    auto* label1 = new QLabel(QStringLiteral("程序开发：Morvane"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(11, 379, 267, 25);
    label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    label2_ = new QLabel(QStringLiteral("家长指南"), this);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setGeometry(409, 379, 129, 17);
    QFont linkFont = platform::qt::songFont(9);
    linkFont.setUnderline(true);
    label2_->setFont(linkFont);
    QPalette linkColours = label2_->palette();
    linkColours.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label2_->setPalette(linkColours);
    label2_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label2_->setCursor(Qt::PointingHandCursor);
    label2_->setToolTip(QStringLiteral("在浏览器中打开给家长的使用说明"));
    label2_->installEventFilter(this);

    describe(*this, windowTitle(), QStringLiteral("发现页面和开发者信息"));
    describe(*page, QStringLiteral("发现页面"), QStringLiteral("开发者的介绍页面"));
    describe(*label1, QString(), QStringLiteral("开发者"));  // named by its text
    describe(*label2_, QStringLiteral("家长指南"),
             QStringLiteral("点击后在浏览器中打开给家长的使用说明"));
}

void Form3::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen(*this);
    }
}

bool Form3::eventFilter(QObject* watched, QEvent* event) {
    if (watched == label2_ && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            label2_->rect().contains(mouse->position().toPoint()) && opener_) {
            opener_(guide_);
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace windows
