// LoadAnimatedGIF_Remote through the Qt widget host and Qt Network, against a small HTTP server
// on the loopback interface that the test runs on its own event loop.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <memory>
#include <string>
#include <vector>

#include "anigif/ani_gif_widget.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/qt/async_reader.h"
#include "tests/support/gif_builder.h"
#include "tests/support/loopback_server.h"
#include "widget/ani_gif_widget_access.h"

namespace {

using namespace anigif;
using Strings = std::vector<std::string>;

constexpr int kWaitMs = 20000;  // only a bound for a broken run; the events come at once

giftest::Bytes animation(int frames, int w = 10, int h = 6) {
    return giftest::solidAnimation(w, h, 8, std::vector<int>(static_cast<size_t>(frames), 10));
}

QByteArray toQt(const giftest::Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

using giftest::LoopbackServer;

class RemoteLoad : public ::testing::Test {
  protected:
    RemoteLoad() {
        widget.resize(10, 6);
        gif().delayMode = DelayOff;
        WidgetAccess::reader(widget).setCacheDirectory(cacheDir.path());
        QObject::connect(&widget, &anigif::AniGifWidget::controlEvent,
                         [this](int, const QString& name, const QVariantList&) {
                             // A playing animation's frames may tick while a download runs.
                             if (name.startsWith(QLatin1String("Remote")))
                                 events.push_back(name.toStdString());
                         });
    }

    // Loads `url` and waits for the download's event.
    void loadRemote(const std::string& url) {
        events.clear();
        gif().LoadAnimatedGIF_Remote(url);
        waitForOutcome();
    }
    void waitForOutcome() {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                for (const auto& e : events)
                    if (e == "RemoteLoadComplete" || e == "RemoteLoadFailure") return true;
                return false;
            },
            kWaitMs));
        QCoreApplication::processEvents();
    }
    void loadPlaying() {
        ASSERT_TRUE(gif().loadGifBytes(animation(3)));
        ASSERT_EQ(gif().Action(), ActionPlay);
    }

    QTemporaryDir cacheDir;
    LoopbackServer server;
    anigif::AniGifWidget widget;
    Strings events;

    ucAniGIF& gif() { return WidgetAccess::control(widget); }
};

TEST_F(RemoteLoad, ValidDownloadIsValidatedThenLoaded) {
    ASSERT_TRUE(server.listening());
    server.set("/ok.gif", {200, toQt(animation(4, 12, 9))});
    QSize announced;
    QObject::connect(&widget, &anigif::AniGifWidget::remoteGifArrived,
                     [&](const QSize& size, bool*) { announced = size; });
    loadRemote(server.address("/ok.gif"));
    EXPECT_EQ(events, (Strings{"RemoteLoadComplete"}));
    EXPECT_EQ(announced, QSize(12, 9));
    EXPECT_EQ(gif().FrameCount(), 4);
    EXPECT_EQ(gif().screenWidth, 12);
    EXPECT_EQ(WidgetAccess::reader(widget).pending(), 0);
}

TEST_F(RemoteLoad, FourteenBytesFail) {
    ASSERT_TRUE(server.listening());
    server.set("/short.gif", {200, toQt(animation(1)).left(14)});
    loadPlaying();
    loadRemote(server.address("/short.gif"));
    EXPECT_EQ(events, (Strings{"RemoteLoadFailure"}));
    EXPECT_EQ(gif().FrameCount(), 3);
    EXPECT_EQ(gif().Action(), ActionPlay);
}

TEST_F(RemoteLoad, CancelledDownloadKeepsThePreviousAnimation) {
    ASSERT_TRUE(server.listening());
    server.set("/other.gif", {200, toQt(animation(6))});
    loadPlaying();
    QObject::connect(&widget, &anigif::AniGifWidget::remoteGifArrived,
                     [](const QSize&, bool* cancel) { *cancel = true; });
    loadRemote(server.address("/other.gif"));
    EXPECT_EQ(events, (Strings{"RemoteLoadComplete"}));
    EXPECT_EQ(gif().FrameCount(), 3);
    EXPECT_EQ(gif().Action(), ActionPlay);
}

TEST_F(RemoteLoad, ServerErrorsAndUnreadableAddressesFail) {
    ASSERT_TRUE(server.listening());
    // A server error, even with a GIF as its body.
    server.set("/broken.gif", {500, toQt(animation(2))});
    loadRemote(server.address("/broken.gif"));
    EXPECT_EQ(events, (Strings{"RemoteLoadFailure"}));
    EXPECT_EQ(gif().FrameCount(), 0);

    loadRemote(server.address("/missing.gif"));
    EXPECT_EQ(events, (Strings{"RemoteLoadFailure"}));

    // A scheme the host cannot read fails at once.
    events.clear();
    gif().LoadAnimatedGIF_Remote("gopher://127.0.0.1/x.gif");
    EXPECT_EQ(events, (Strings{"RemoteLoadFailure"}));
}

TEST_F(RemoteLoad, FileAddressesAndPaths) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("本地.gif"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(toQt(animation(2)));
    file.close();

    loadRemote(QUrl::fromLocalFile(path).toString().toStdString());
    EXPECT_EQ(events, (Strings{"RemoteLoadComplete"}));
    EXPECT_EQ(gif().FrameCount(), 2);

    gif().loadGifBytes({});
    loadRemote(path.toStdString());
    EXPECT_EQ(gif().FrameCount(), 2);

    loadRemote(dir.filePath(QStringLiteral("nothing.gif")).toStdString());
    EXPECT_EQ(events, (Strings{"RemoteLoadFailure"}));
}

TEST_F(RemoteLoad, CachedCopyLoadsWhenTheNetworkFails) {
    ASSERT_TRUE(cacheDir.isValid());
    ASSERT_TRUE(server.listening());
    server.set("/cached.gif", {200, toQt(animation(5))});
    const std::string url = server.address("/cached.gif");
    loadRemote(url);
    ASSERT_EQ(gif().FrameCount(), 5);

    // An error the server answers is no network failure: the cached copy is not taken.
    server.set("/cached.gif", {500, "down for maintenance"});
    loadRemote(url);
    EXPECT_EQ(events, (Strings{"RemoteLoadFailure"}));
    EXPECT_EQ(gif().FrameCount(), 5);

    server.close();
    // Without the cached-copy option a refused connection fails the read.
    events.clear();
    ASSERT_TRUE(WidgetAccess::reader(widget).start(url, "remoteGIF", 0));
    waitForOutcome();
    EXPECT_EQ(events, (Strings{"RemoteLoadFailure"}));

    // The control asks for the cached copy: the GIF loaded before comes back.
    gif().loadGifBytes({});
    loadRemote(url);
    EXPECT_EQ(events, (Strings{"RemoteLoadComplete"}));
    EXPECT_EQ(gif().FrameCount(), 5);
}

TEST_F(RemoteLoad, LimitOnTheDownloadSize) {
    ASSERT_TRUE(server.listening());
    server.set("/big.gif", {200, toQt(animation(8, 40, 40))});
    widget.setMemoryBudget(100);
    loadRemote(server.address("/big.gif"));
    EXPECT_EQ(events, (Strings{"RemoteLoadFailure"}));
    EXPECT_EQ(WidgetAccess::reader(widget).pending(), 0);
}

TEST_F(RemoteLoad, ReadsThatWouldNotEndFail) {
    ASSERT_TRUE(server.listening());
    const QByteArray gif89 = toQt(animation(2));
    // One byte every 20 ms: never without progress, but past the deadline.
    server.set("/drip.gif", {200, gif89, 20, 1, false});
    widget.setRemoteDeadline(300);
    loadRemote(server.address("/drip.gif"));
    EXPECT_EQ(events, (Strings{"RemoteLoadFailure"}));

    // An endless body stops at the budget; an endless body that is no GIF at its first bytes.
    widget.setRemoteDeadline(0);
    widget.setMemoryBudget(int64_t{1} << 20);
    server.set("/endless.gif", {200, gif89 + QByteArray(65536, '\0'), 1, 65536, true});
    loadRemote(server.address("/endless.gif"));
    EXPECT_EQ(events, (Strings{"RemoteLoadFailure"}));
    widget.setMemoryBudget(0);
    server.set("/noise.gif", {200, QByteArray(65536, 'x'), 1, 65536, true});
    loadRemote(server.address("/noise.gif"));
    EXPECT_EQ(events, (Strings{"RemoteLoadFailure"}));
    EXPECT_EQ(WidgetAccess::reader(widget).pending(), 0);

    // A named pipe, as a path or a file address, is refused at once: no open that waits.
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("pipe.gif")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    for (const std::string& address :
         {fifo.toStdString(),
          QUrl::fromLocalFile(QString::fromLocal8Bit(fifo)).toString().toStdString()}) {
        events.clear();
        gif().LoadAnimatedGIF_Remote(address);
        EXPECT_EQ(events, (Strings{"RemoteLoadFailure"})) << address;
    }
}

}  // namespace
