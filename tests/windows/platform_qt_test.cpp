// The Qt platform adapters: single instance, picture folder, fonts.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFontInfo>
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
