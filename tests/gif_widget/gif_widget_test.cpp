// The control in its Qt widget host (offscreen platform): transparent pixels show the parent's
// background, stretched edges blend into it without a dark fringe, a composed frame comes out
// the same however often the host draws it per paint, the host's own state reaches Qt and
// follows it, and a high-density screen gets full-resolution pixels.
#include <QtTest/qtestspontaneevent.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPalette>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "anigif/ani_gif_widget.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/property_bag.h"
#include "tests/support/gif_builder.h"
#include "widget/ani_gif_widget_access.h"

namespace {

using namespace anigif;

// What the control inside a widget keeps for its paints, apart from the widget's own buffer.
std::size_t ucAniGIFPaintBytes(anigif::AniGifWidget& w) {
    return WidgetAccess::control(w).paintMemoryBytes();
}

const QColor kGreen(0, 200, 0);
constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF;

// A parent with a green background and the control at (10, 10).
class WidgetHost : public ::testing::Test {
  protected:
    WidgetHost() {
        parent.resize(60, 60);
        QPalette p = parent.palette();
        p.setColor(QPalette::Window, kGreen);
        parent.setPalette(p);
        parent.setAutoFillBackground(true);
        gifWidget = new anigif::AniGifWidget(&parent);
        gifWidget->move(10, 10);
        WidgetAccess::control(*gifWidget).delayMode = DelayOff;
    }
    ucAniGIF& gif() { return WidgetAccess::control(*gifWidget); }
    // A 4 x 4 GIF of three one-colour frames, loaded and playing in the shown parent.
    void playThreeFramesOnScreen() {
        gifWidget->resize(4, 4);
        ASSERT_TRUE(gif().loadGifBytes(giftest::solidAnimation(4, 4, 4, {0, 0, 0})));
        parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    }
    QImage grabbed() { return parent.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    static QColor at(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

    QWidget parent;
    anigif::AniGifWidget* gifWidget;  // owned by parent
};

// 4 x 4: the left half transparent (index 0), the right half red (index 1).
giftest::Bytes halfTransparent() {
    giftest::GifBuilder b;
    b.screen(4, 4).globalTable({0x000000, kRed});
    auto f = giftest::makeFrame(4, 4, [](int x, int) { return static_cast<uint8_t>(x >= 2); });
    f.control = true;
    f.transparent = true;
    f.transIndex = 0;
    b.frame(f);
    return b.build();
}

TEST_F(WidgetHost, TransparentPixelsShowTheParentBackground) {
    gifWidget->resize(4, 4);
    ASSERT_TRUE(gif().loadGifBytes(halfTransparent()));
    const QImage image = grabbed();
    for (int y = 10; y < 14; ++y) {
        EXPECT_EQ(at(image, 10, y), kGreen);
        EXPECT_EQ(at(image, 11, y), kGreen);
        EXPECT_EQ(at(image, 12, y), QColor(255, 0, 0));
        EXPECT_EQ(at(image, 13, y), QColor(255, 0, 0));
    }
    EXPECT_EQ(at(image, 14, 10), kGreen);  // outside: the control shrank to the picture

    // A solid background covers what lies behind.
    gif().SolidBkgColor(0xFF0000);  // blue as 0x00BBGGRR
    gif().SolidBkgColorUsed(true);
    EXPECT_EQ(at(grabbed(), 10, 10), QColor(0, 0, 255));
}

TEST_F(WidgetHost, StretchedEdgesBlendWithoutFringe) {
    gif().Stretch(StretchFill);
    gifWidget->resize(15, 15);
    ASSERT_TRUE(gif().loadGifBytes(halfTransparent()));
    ASSERT_EQ(gifWidget->width(), 15);
    const QImage image = grabbed();
    bool blended = false;
    for (int y = 10; y < 25; ++y) {
        for (int x = 10; x < 25; ++x) {
            const QColor c = at(image, x, y);
            // Every pixel is red over green in some proportion: nothing darker, nothing else.
            const double cover = c.red() / 255.0, behind = c.green() / 200.0;
            EXPECT_NEAR(cover + behind, 1.0, 0.05) << x << "," << y;
            EXPECT_LE(c.blue(), 3);
            if (cover > 0.1 && behind > 0.1) blended = true;
        }
    }
    EXPECT_TRUE(blended);  // the edge is smoothed, not cut
}

TEST_F(WidgetHost, ComposedFrameIsDrawnFromOneDecoderState) {
    // Frame 1 red and kept; frame 2 transparent but for one blue pixel, then cleared (disposal
    // 2). Frame 2 on screen is red with a blue corner.
    giftest::GifBuilder b;
    b.screen(4, 4).globalTable({0x000000, kRed, kBlue, 0xFFFFFF});
    auto f1 = giftest::makeFrame(4, 4, [](int, int) { return uint8_t{1}; });
    f1.control = true;
    f1.disposal = 1;
    auto f2 =
        giftest::makeFrame(4, 4, [](int x, int y) { return uint8_t(x == 0 && y == 0 ? 2 : 0); });
    f2.control = true;
    f2.disposal = 2;
    f2.transparent = true;
    f2.transIndex = 0;
    b.frame(f1).frame(f2);

    gifWidget->resize(4, 4);
    ASSERT_TRUE(gif().loadGifBytes(b.build()));
    ASSERT_NE(gif().Composite, nullptr);
    gif().Action(ActionPause);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    EXPECT_EQ(at(grabbed(), 11, 11), QColor(255, 0, 0));

    gif().currentFrame = 2;  // drawn once, by the grab
    const QImage image = grabbed();
    EXPECT_EQ(at(image, 10, 10), QColor(0, 0, 255));
    EXPECT_EQ(at(image, 11, 11), QColor(255, 0, 0));
    EXPECT_EQ(at(image, 13, 13), QColor(255, 0, 0));
}

TEST_F(WidgetHost, HostStateAndMouseEvents) {
    gifWidget->resize(4, 4);
    ASSERT_TRUE(gif().loadGifBytes(halfTransparent()));
    EXPECT_NE(WidgetAccess::parentWindow(*gifWidget), 0u);
    EXPECT_EQ(gif().ActualWidth(), 4);

    gif().Enabled(false);
    EXPECT_FALSE(gifWidget->isEnabled());
    gif().Enabled(true);
    gif().MousePointer(11);
    EXPECT_EQ(gifWidget->cursor().shape(), Qt::WaitCursor);
    gif().MouseIcon(nullptr);
    EXPECT_EQ(gif().MousePointer(), 0);

    std::vector<std::string> names;
    QObject::connect(gifWidget, &anigif::AniGifWidget::controlEvent,
                     [&](int, const QString& name, const QVariantList& args) {
                         names.push_back(name.toStdString());
                         if (name == QLatin1String("MouseDown")) {
                             EXPECT_EQ(args[0].toInt(), 1);
                             EXPECT_EQ(args[1].toInt(), 1);
                             EXPECT_EQ(args[2].toFloat(), 2.0F);
                             EXPECT_EQ(args[3].toFloat(), 3.0F);
                         }
                     });
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QTest::mousePress(gifWidget, Qt::LeftButton, Qt::ShiftModifier, QPoint(2, 3));
    QTest::mouseRelease(gifWidget, Qt::LeftButton, Qt::ShiftModifier, QPoint(2, 3));
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names[names.size() - 3], "MouseDown");
    EXPECT_EQ(names[names.size() - 2], "MouseUp");
    EXPECT_EQ(names.back(), "Click");
}

TEST_F(WidgetHost, HidingPausesAndShowingResumes) {
    playThreeFramesOnScreen();
    if (HasFatalFailure()) return;
    EXPECT_EQ(gif().Action(), ActionPlay);
    gifWidget->hide();
    EXPECT_EQ(gif().Action(), ActionPause);
    gifWidget->show();
    EXPECT_EQ(gif().Action(), ActionPlay);
}

// Window managers minimise and restore with spontaneous hide and show events: the animation
// keeps its state through them; only the widget's own visibility pauses and resumes it.
TEST_F(WidgetHost, MinimiseAndRestoreKeepTheAnimationState) {
    playThreeFramesOnScreen();
    if (HasFatalFailure()) return;
    auto windowManager = [&](QEvent::Type type) {
        QEvent* e = type == QEvent::Hide ? static_cast<QEvent*>(new QHideEvent)
                                         : static_cast<QEvent*>(new QShowEvent);
        QSpontaneKeyEvent::setSpontaneous(e);
        QApplication::instance()->notify(gifWidget, e);  // sendEvent would clear the mark
        delete e;
    };
    for (const int state : {int{ActionPause}, int{ActionPlay}}) {
        gif().Action(state);
        windowManager(QEvent::Hide);
        EXPECT_EQ(gif().Action(), state);
        windowManager(QEvent::Show);
        EXPECT_EQ(gif().Action(), state);
    }
    // A real hide and show still follow the control's rule: showing resumes a paused control.
    gif().Action(ActionPause);
    gifWidget->hide();
    gifWidget->show();
    EXPECT_EQ(gif().Action(), ActionPlay);
}

// Enabled is the widget's real state: disabling it or a parent through Qt shows in the control,
// its stored value and a change notice.
TEST_F(WidgetHost, EnabledFollowsTheWidgetAndItsParents) {
    QSignalSpy notices(gifWidget, &anigif::AniGifWidget::storedPropertyChanged);
    auto storedEnabled = [&] {
        platform::PropertyBag bag;
        gif().WriteProperties(bag);
        return bag.readProperty("Enabled", true).toBool();
    };
    parent.setEnabled(false);
    EXPECT_FALSE(gif().Enabled());
    EXPECT_FALSE(storedEnabled());
    ASSERT_EQ(notices.count(), 1);
    EXPECT_EQ(notices[0][0].toString(), QStringLiteral("Enabled"));
    parent.setEnabled(true);
    EXPECT_TRUE(gif().Enabled());
    gifWidget->setEnabled(false);
    EXPECT_FALSE(gif().Enabled());
    EXPECT_FALSE(storedEnabled());
    EXPECT_EQ(notices.count(), 3);

    // The control's own let notifies once, not a second time through Qt.
    notices.clear();
    gif().Enabled(true);
    EXPECT_TRUE(gifWidget->isEnabled());
    EXPECT_EQ(notices.count(), 1);
}

// At a device pixel ratio of 2 the control draws at device pixels: an 8 x 8 checkerboard shown
// at 4 x 4 logical pixels keeps every square, where drawing at 4 x 4 and doubling would give
// an even grey.
TEST_F(WidgetHost, PaintsAtDevicePixels) {
    giftest::GifBuilder b;
    b.screen(8, 8).globalTable({0x000000, 0xFFFFFF});
    b.frame(giftest::makeFrame(8, 8, [](int x, int y) { return uint8_t((x + y) % 2); }));
    gif().Stretch(StretchFill);
    gifWidget->resize(4, 4);
    ASSERT_TRUE(gif().loadGifBytes(b.build()));
    ASSERT_EQ(gifWidget->size(), QSize(4, 4));

    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::green);
    gifWidget->render(&image);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(image.pixelColor(x, y), (x + y) % 2 ? QColor(Qt::white) : QColor(Qt::black))
                << x << "," << y;

    // At ratio 1 the same widget averages the squares: the control's own scale is untouched.
    QImage single(4, 4, QImage::Format_ARGB32_Premultiplied);
    single.fill(Qt::green);
    gifWidget->render(&single);
    EXPECT_NEAR(single.pixelColor(1, 1).red(), 128, 2);
    EXPECT_FLOAT_EQ(gif().scaleX, 0.5F);
}

// A paint of part of the widget paints only that part, at device pixels, into a buffer of that
// size: the same pixels there as a paint of the whole. Two 1 x 1 frames 26,000 pixels apart make
// a huge widget, of which a small window shows and paints a corner.
TEST_F(WidgetHost, PaintsOnlyTheExposedPartAtDevicePixels) {
    const giftest::Bytes bytes = giftest::solidAnimation(30, 20, 4, {10, 10, 10}, 1);
    anigif::AniGifWidget twin(&parent);
    for (anigif::AniGifWidget* w : {gifWidget, &twin}) {
        WidgetAccess::control(*w).delayMode = DelayOff;
        w->setStretch(anigif::AniGifWidget::StretchFill);
        w->resize(23, 17);
        ASSERT_TRUE(w->loadData(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                           static_cast<qsizetype>(bytes.size()))));
        w->pause();
    }
    const QRect part(5, 4, 9, 7);
    for (int frame = 0; frame < 3; ++frame) {
        QImage whole(46, 34, QImage::Format_ARGB32_Premultiplied), some = whole;
        for (QImage* image : {&whole, &some}) {
            image->setDevicePixelRatio(2);
            image->fill(Qt::transparent);
        }
        // Without the window background, so that what the widget leaves stays transparent.
        gifWidget->render(&whole, QPoint(), QRegion(), QWidget::DrawChildren);
        twin.render(&some, QPoint(), QRegion(part), QWidget::DrawChildren);
        // The part lands at the image's corner.
        for (int y = 0; y < 34; ++y)
            for (int x = 0; x < 46; ++x)
                ASSERT_EQ(some.pixel(x, y), x < 18 && y < 14 ? whole.pixel(x + 10, y + 8) : 0u)
                    << x << "," << y;
        const std::size_t own = ucAniGIFPaintBytes(twin);
        EXPECT_LE(WidgetAccess::paintMemoryBytes(twin) - own, std::size_t{18 * 14 * 4 + 64});
        gifWidget->step();
        twin.step();
    }

    twin.hide();
    giftest::GifBuilder far;
    far.screen(1, 1).globalTable({0x000000, kRed});
    auto dot = giftest::makeFrame(1, 1, [](int, int) { return uint8_t{1}; });
    far.frame(dot);
    dot.left = dot.top = 26000;
    far.frame(dot);
    gifWidget->setStretch(anigif::AniGifWidget::StretchAutoSize);
    const giftest::Bytes farBytes = far.build();
    ASSERT_TRUE(gifWidget->loadData(QByteArray(reinterpret_cast<const char*>(farBytes.data()),
                                               static_cast<qsizetype>(farBytes.size()))));
    ASSERT_EQ(gifWidget->size(), QSize(26001, 26001));
    EXPECT_EQ(at(grabbed(), 10, 10), QColor(255, 0, 0));
    EXPECT_LT(WidgetAccess::paintMemoryBytes(*gifWidget), std::size_t{1} << 20);
}

}  // namespace
