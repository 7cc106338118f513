// The Qt platform adapters: single instance, picture folder, fonts.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFontInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "platform/qt/chinese_ui.h"
#include "platform/qt/picture_folder.h"
#include "platform/qt/single_instance.h"

using platform::qt::PictureFolder;
using platform::qt::SingleInstance;

TEST(SingleInstance, OnlyTheFirstCopyRunsAndALaterOneCallsItForward) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString key = QStringLiteral("kavrilo-test-") + QFileInfo(dir.path()).fileName();
    SingleInstance first(key);
    EXPECT_TRUE(first.isPrimary());
    QSignalSpy forward(&first, &SingleInstance::activationRequested);
    {
        SingleInstance second(key);
        EXPECT_FALSE(second.isPrimary());
        second.notifyPrimary();
    }
    EXPECT_TRUE(forward.count() > 0 || forward.wait(5000));
}

TEST(SingleInstance, TheLockIsFreeAgainWhenTheFirstCopyEnds) {
    const QString key = QStringLiteral("kavrilo-test-release-") +
                        QString::number(QCoreApplication::applicationPid());
    {
        SingleInstance first(key);
        ASSERT_TRUE(first.isPrimary());
    }
    SingleInstance again(key);
    EXPECT_TRUE(again.isPrimary());
}

TEST(SingleInstance, AnUnwritableTemporaryFolderDoesNotStopTheProgram) {
    const bool hadTmpdir = qEnvironmentVariableIsSet("TMPDIR");
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/nonexistent-kavrilo-tmp");
    SingleInstance instance(QStringLiteral("kavrilo-test-nowhere"));
    if (hadTmpdir) {
        qputenv("TMPDIR", saved);
    } else {
        qunsetenv("TMPDIR");
    }
    EXPECT_TRUE(instance.isPrimary());
}

TEST(PictureFolder, UnreadableOrOversizedFilesGiveNothing) {
    QTemporaryDir dir;
    PictureFolder folder(dir.path());
    EXPECT_TRUE(folder.picture(QStringLiteral("missing.gif")).isNull());
    EXPECT_TRUE(folder.bytes(QStringLiteral("missing.gif")).isEmpty());

    QFile junk(folder.path(QStringLiteral("junk.gif")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("GIF89a\xff\xff\xff\xff garbage");
    junk.close();
    EXPECT_TRUE(folder.picture(QStringLiteral("junk.gif")).isNull());
    EXPECT_FALSE(folder.bytes(QStringLiteral("junk.gif")).isEmpty());
    EXPECT_TRUE(folder.bytes(QStringLiteral("junk.gif"), 4).isEmpty());
}

TEST(PictureFolder, DenseScreensGetDenseDrawingsMappedOneToOneAtTheLogicalSize) {
    const PictureFolder art = PictureFolder::besideProgram();
    const QString b1 = QStringLiteral("b1.gif");  // 80 x 32
    auto image = [](const QPixmap& p) {
        return p.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    };
    for (qreal ratio : {1.0, 1.25, 1.5, 2.0, 3.0}) {
        const QPixmap p = art.picture(b1, ratio);
        EXPECT_EQ(p.devicePixelRatio(), ratio);
        EXPECT_EQ(p.size(), QSize(qRound(80 * ratio), qRound(32 * ratio))) << ratio;
    }
    // Whole ratios use the drawings as they are, not scaled copies.
    EXPECT_EQ(image(art.picture(b1, 2)), QImage(art.path(QStringLiteral("b1@2x.gif")))
                                             .convertToFormat(QImage::Format_ARGB32_Premultiplied));
    EXPECT_EQ(image(art.picture(b1, 3)), QImage(art.path(QStringLiteral("b1@3x.gif")))
                                             .convertToFormat(QImage::Format_ARGB32_Premultiplied));

    // Without denser drawings (or with a broken one) the plain picture is scaled; without the
    // plain picture there is nothing, whatever denser drawings lie beside it.
    QTemporaryDir dir;
    const PictureFolder some(dir.path());
    ASSERT_TRUE(QFile::copy(art.path(b1), some.path(b1)));
    QFile broken(some.path(QStringLiteral("b1@2x.gif")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("GIF89a broken");
    broken.close();
    EXPECT_EQ(some.picture(b1, 2).size(), QSize(160, 64));
    ASSERT_TRUE(
        QFile::copy(art.path(QStringLiteral("b3@2x.gif")), some.path(QStringLiteral("b3@2x.gif"))));
    EXPECT_TRUE(some.picture(QStringLiteral("b3.gif"), 2).isNull());
}

TEST(ChineseFonts, HeiAndSongResolveToInstalledChineseFaces) {
    const QFontInfo hei(platform::qt::heiFont(12));
    const QFontInfo song(platform::qt::songFont(9));
    EXPECT_TRUE(hei.family().contains(QStringLiteral("WenQuanYi")) ||
                hei.family().contains(QStringLiteral("Noto Sans CJK")))
        << hei.family().toStdString();
    EXPECT_TRUE(song.family().contains(QStringLiteral("Serif CJK")) ||
                song.family().contains(QStringLiteral("WenQuanYi")))
        << song.family().toStdString();
}
