// The discover window: its page, credit line and link.
#include "practice/windows/form3.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTextBrowser>

using windows::Form3;

TEST(DiscoverWindow, ShowsTheLocalPageCreditAndOpensTheLinkInTheBrowser) {
    std::vector<QUrl> opened;
    auto* form3 = new Form3(platform::qt::PictureFolder::besideProgram(),
                            [&opened](const QUrl& url) { opened.push_back(url); });
    QPointer<Form3> alive(form3);
    form3->show();
    EXPECT_EQ(form3->windowTitle(), QStringLiteral("发现-Kavrilo"));
    EXPECT_EQ(form3->size(), QSize(540, 398));

    auto* page = form3->findChild<QTextBrowser*>("Scriptlet1");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->geometry(), QRect(5, 5, 532, 370));
    EXPECT_TRUE(page->isReadOnly());
    EXPECT_TRUE(page->toPlainText().contains(QStringLiteral("数的分解")));

    // No contact data the program could not stand behind.
    EXPECT_EQ(form3->findChild<QLabel*>("Label1")->text(), QStringLiteral("程序开发：Morvane"));
    auto* link = form3->findChild<QLabel*>("Label2");
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(link->font().underline());
    EXPECT_DOUBLE_EQ(link->font().pointSizeF(), 9.0);

    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    // The link opens the parents' guide installed beside the pictures, in the browser.
    EXPECT_TRUE(opened[0].isLocalFile());
    EXPECT_TRUE(opened[0].toLocalFile().endsWith(QStringLiteral("/pic/guide.html")));
    QFile guide(opened[0].toLocalFile());
    ASSERT_TRUE(guide.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(guide.readAll()).contains(QStringLiteral("家长指南")));

    // A link inside the page goes to the browser as well, never to the network from here.
    emit page->anchorClicked(QUrl(QStringLiteral("https://localhost/more")));
    ASSERT_EQ(opened.size(), 2u);

    form3->close();  // the close box destroys it
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}
