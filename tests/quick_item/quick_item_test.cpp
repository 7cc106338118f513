// AniGifImage made from QML (import AniGif) in a Qt Quick window, offscreen on the software scene
// graph: each source form loads, the window shows exactly what the control paints, frame by
// frame, at its own size and stretched; the signals come in order; bad sources end in Error with
// nothing held.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPainter>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "anigif/ani_gif_control.h"
#include "quick/ani_gif_image.h"
#include "tests/support/gif_builder.h"
#include "tests/support/loopback_server.h"

void qml_register_types_AniGif();

namespace {

using anigif::AniGifImage;
using Strings = std::vector<std::string>;

const QColor kBackground(0, 128, 255);

QByteArray toQt(const giftest::Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

// 12 x 10, three frames drawn over each other (disposal 1): a ring of colours with a transparent
// hole that moves, so that transparency, composition and edges all show.
giftest::Bytes movingHole() {
    giftest::GifBuilder b;
    b.screen(12, 10).globalTable(giftest::testPalette(8)).loop(0);
    for (int k = 0; k < 3; ++k) {
        auto f = giftest::makeFrame(12, 10, [k](int x, int y) {
            if (x >= 3 + 2 * k && x < 6 + 2 * k && y >= 3 && y < 7) return uint8_t{0};
            return static_cast<uint8_t>(1 + (x + y + k) % 7);
        });
        f.control = true;
        f.transparent = true;
        f.transIndex = 0;
        f.delayCs = 2;
        f.disposal = 1;
        b.frame(f);
    }
    return b.build();
}

using giftest::LoopbackServer;

// One item made from QML at the window's top-left corner, with its signals recorded in order.
class QuickItem : public ::testing::Test {
  protected:
    QuickItem() {
        window.setColor(kBackground);
        window.resize(40, 30);
        QQmlComponent component(&engine);
        component.setData("import AniGif 1.0\nAniGifImage { decodeMode: AniGifImage.DecodeAll }",
                          QUrl::fromLocalFile(dir.filePath("main.qml")));
        item.reset(qobject_cast<AniGifImage*>(component.create()));
        EXPECT_TRUE(item) << component.errorString().toStdString();
        if (!item) return;
        item->setParentItem(window.contentItem());
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        QObject::connect(item.get(), &AniGifImage::statusChanged,
                         [this](AniGifImage::Status s) { record("status " + std::to_string(s)); });
        QObject::connect(item.get(), &AniGifImage::frameChanged, [this](int f, bool viaTimer) {
            record("frame " + std::to_string(f) + (viaTimer ? " timer" : ""));
        });
        QObject::connect(item.get(), &AniGifImage::loopsEnded, [this] { record("loopsEnded"); });
        QObject::connect(item.get(), &AniGifImage::remoteLoadComplete,
                         [this](QSize s) { record("remote " + std::to_string(s.width())); });
        QObject::connect(item.get(), &AniGifImage::remoteLoadFailure,
                         [this] { record("remoteFailure"); });
    }
    void record(std::string s) { events.push_back(std::move(s)); }
    QString write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    bool waitSettled() {
        return QTest::qWaitFor([&] { return item->status() != AniGifImage::Loading; }, 20000);
    }
    QImage grabbed() { return window.grabWindow().convertToFormat(QImage::Format_RGB32); }
    // The control's own paint of the frame on show, over the window's colour, as the window
    // shows it.
    QImage controlPaint() {
        QImage own(qRound(item->width()), qRound(item->height()),
                   QImage::Format_ARGB32_Premultiplied);
        own.fill(Qt::transparent);
        anigif::PaintTarget t;
        t.pixels = reinterpret_cast<uint32_t*>(own.bits());
        t.stride = own.bytesPerLine();
        t.width = own.width();
        t.height = own.height();
        EXPECT_TRUE(item->control().paintInto(t));
        QImage expected(window.width(), window.height(), QImage::Format_RGB32);
        expected.fill(kBackground);
        QPainter(&expected).drawImage(0, 0, own);
        return expected;
    }

    QTemporaryDir dir;
    QQmlEngine engine;
    QQuickWindow window;
    std::unique_ptr<AniGifImage> item;
    Strings events;
};

TEST_F(QuickItem, EverySourceFormLoads) {
    ASSERT_TRUE(item);
    LoopbackServer server;
    server.set("/counted.gif", toQt(movingHole()));
    const QString path = write("a.gif", toQt(movingHole()));
    const std::vector<QUrl> sources = {QUrl(path), QUrl::fromLocalFile(path),
                                       QUrl("a.gif"),  // relative to the document
                                       QUrl("qrc:/gifs/counted.gif"), server.url("/counted.gif")};
    for (const QUrl& source : sources) {
        item->setSource(QUrl());
        ASSERT_EQ(item->status(), AniGifImage::Null);
        item->setSource(source);
        ASSERT_TRUE(waitSettled()) << source.toString().toStdString();
        EXPECT_EQ(item->status(), AniGifImage::Ready) << source.toString().toStdString();
        EXPECT_EQ(item->progress(), 1.0);
        EXPECT_GT(item->frameCount(), 0);
        EXPECT_TRUE(item->playing());
    }
    // The remote one announced itself; the item took the GIF's size (StretchFit).
    EXPECT_EQ(events.end()[-2], "remote 12");
    EXPECT_EQ(item->sourceSize(), QSize(12, 10));
}

TEST_F(QuickItem, WindowShowsTheControlsPaintFrameByFrame) {
    ASSERT_TRUE(item);
    item->setSource(QUrl::fromLocalFile(write("hole.gif", toQt(movingHole()))));
    ASSERT_EQ(item->status(), AniGifImage::Ready);
    item->pause();
    // Its own size (StretchFit takes it), then stretched to 0.72 and to 2.5 (averaged edges
    // over the window's colour), then mirrored with an offset.
    struct Look {
        AniGifImage::Stretch stretch;
        QSizeF size;
        AniGifImage::Mirror mirror = AniGifImage::MirrorNone;
        int offset = 0;
    };
    for (const Look& look :
         {Look{AniGifImage::StretchFit, {12, 10}}, Look{AniGifImage::StretchFill, {9, 7}},
          Look{AniGifImage::StretchFill, {30, 25}},
          Look{AniGifImage::StretchNone, {12, 10}, AniGifImage::MirrorBoth, 2}}) {
        item->setStretch(look.stretch);
        item->setSize(look.size);
        item->setMirror(look.mirror);
        item->setOffsetX(look.offset);
        for (int frame = 0; frame < 4; ++frame) {  // round the loop and into it again
            item->step();
            const QImage shown = grabbed();
            ASSERT_EQ(shown, controlPaint()) << "frame " << item->currentFrame() << " at "
                                             << look.size.width() << " x " << look.size.height();
        }
    }
    // A solid background fills the transparent hole.
    item->setSolidBackground(QColor(255, 0, 0));
    EXPECT_EQ(item->solidBackground(), QColor(255, 0, 0));
    EXPECT_EQ(grabbed(), controlPaint());
    // Covering every pixel, then leaving the hole again: shown opaque, then with alpha again.
    item->setMirror(AniGifImage::MirrorNone);
    item->setOffsetX(0);
    item->setStretch(AniGifImage::StretchFit);
    item->setSize({12, 10});
    for (const QColor& colour : {QColor(0, 0, 255), QColor(Qt::transparent)}) {
        item->setSolidBackground(colour);
        for (int frame = 0; frame < 2; ++frame) {
            item->step();
            ASSERT_EQ(grabbed(), controlPaint()) << "frame " << item->currentFrame();
        }
    }
}

TEST_F(QuickItem, SignalsComeInOrder) {
    ASSERT_TRUE(item);
    item->setStepDelay(20);
    item->setSource(QUrl::fromLocalFile(write("hole.gif", toQt(movingHole()))));
    item->setLoops(1);
    item->restart();  // the loop count takes effect from frame 1
    events.clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !item->playing(); }, 5000));
    const Strings expected = {"frame 1 timer", "frame 2 timer", "frame 3 timer", "loopsEnded"};
    EXPECT_EQ(events, expected);
    // Stepping by hand is no timer's doing.
    events.clear();
    item->step();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].find("timer"), std::string::npos);
}

TEST_F(QuickItem, BadSourcesEndInErrorHoldingNothing) {
    ASSERT_TRUE(item);
    LoopbackServer server;
    server.set("/text.gif", "GIF89a, but nothing after it");
    // Endless and not a GIF: refused after its first bytes, as the control asks of its reads.
    server.set("/endless.gif", LoopbackServer::Answer{200, "not a GIF, for ever ", 1, 4096, true});
    const QString good = write("good.gif", toQt(movingHole()));
    const std::vector<QUrl> bad = {QUrl::fromLocalFile(dir.filePath("missing.gif")),
                                   QUrl::fromLocalFile(write("text.gif", "not a picture")),
                                   QUrl("qrc:/gifs/missing.gif"),
                                   server.url("/missing.gif"),
                                   server.url("/text.gif"),
                                   server.url("/endless.gif"),
                                   QUrl("nothing://at/all")};
    for (const QUrl& source : bad) {
        const std::string name = source.toString().toStdString();
        item->setSource(QUrl::fromLocalFile(good));
        ASSERT_EQ(item->status(), AniGifImage::Ready);
        ASSERT_EQ(grabbed(), controlPaint());
        item->setSource(QUrl());
        item->setSource(source);
        ASSERT_TRUE(waitSettled()) << name;
        EXPECT_EQ(item->status(), AniGifImage::Error) << name;
        EXPECT_EQ(item->progress(), 0.0) << name;
        EXPECT_EQ(item->frameCount(), 0) << name;
        const QImage shown = grabbed();
        EXPECT_EQ(item->paintMemoryBytes(), 0u) << name;
        QImage empty(shown.size(), QImage::Format_RGB32);
        empty.fill(kBackground);
        EXPECT_EQ(shown, empty) << name;
    }
    // A failed download leaves the GIF on show, as the control keeps it until one is accepted.
    item->setSource(QUrl::fromLocalFile(good));
    item->pause();
    events.clear();
    item->setSource(server.url("/missing.gif"));
    ASSERT_TRUE(waitSettled());
    EXPECT_EQ(item->status(), AniGifImage::Error);
    EXPECT_EQ(events, (Strings{"status 2", "remoteFailure", "status 3"}));
    EXPECT_GT(item->frameCount(), 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) qputenv("QT_QUICK_BACKEND", "software");
    QTemporaryDir cache;  // downloads are cached: not in the user's folder
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    qml_register_types_AniGif();
    return RUN_ALL_TESTS();
}

TEST_F(QuickItem, MouseAndHoverReachTheControl) {
    ASSERT_TRUE(item);
    item->setSource(QUrl::fromLocalFile(write("hole.gif", toQt(movingHole()))));
    item->pause();
    auto recordAs = [this](const char* what) {
        return [this, what](int button, int shift, qreal x, qreal y) {
            record(std::string(what) + " " + std::to_string(button) + " " + std::to_string(shift) +
                   " " + std::to_string(int(x)) + "," + std::to_string(int(y)));
        };
    };
    QObject::connect(item.get(), &AniGifImage::mouseDown, recordAs("down"));
    QObject::connect(item.get(), &AniGifImage::mouseUp, recordAs("up"));
    QObject::connect(item.get(), &AniGifImage::mouseMove, recordAs("move"));
    QObject::connect(item.get(), &AniGifImage::clicked, [this] { record("click"); });
    events.clear();
    // A move without a button held (hover), then a right click with control held.
    QTest::mouseMove(&window, QPoint(3, 4));
    QTest::mousePress(&window, Qt::RightButton, Qt::ControlModifier, QPoint(5, 6));
    QTest::mouseRelease(&window, Qt::RightButton, Qt::ControlModifier, QPoint(5, 6));
    const Strings expected = {"move 0 0 3,4", "move 0 2 5,6", "down 2 2 5,6", "up 2 2 5,6",
                              "click"};
    EXPECT_EQ(events, expected);
}
