// The control in its Qt widget host (offscreen platform): transparent pixels show the parent's
// background, stretched edges blend into it without a dark fringe, a composed frame comes out
// the same however often the host draws it per paint, and the host's own state reaches Qt.
#include "platform/qt/gif_widget.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QMouseEvent>
#include <QPalette>
#include <QTest>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "gifcontrol/render/uc_ani_gif.h"
#include "tests/support/gif_builder.h"

namespace {

using namespace anigif;

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
        gifWidget = new platform::qt::AniGifWidget(&parent);
        gifWidget->move(10, 10);
        gifWidget->control().delayMode = DelayOff;
    }
    ucAniGIF& gif() { return gifWidget->control(); }
    QImage grabbed() { return parent.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    static QColor at(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

    QWidget parent;
    platform::qt::AniGifWidget* gifWidget;  // owned by parent
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
    EXPECT_NE(gifWidget->parentWindow(), 0u);
    EXPECT_EQ(gif().ActualWidth(), 4);

    gif().Enabled(false);
    EXPECT_FALSE(gifWidget->isEnabled());
    gif().Enabled(true);
    gif().MousePointer(11);
    EXPECT_EQ(gifWidget->cursor().shape(), Qt::WaitCursor);
    gif().MouseIcon(nullptr);
    EXPECT_EQ(gif().MousePointer(), 0);

    std::vector<std::string> names;
    QObject::connect(gifWidget, &platform::qt::AniGifWidget::controlEvent,
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
    gifWidget->resize(4, 4);
    giftest::GifBuilder b;
    b.screen(4, 4).globalTable(giftest::testPalette(4));
    for (int k = 0; k < 3; ++k)
        b.frame(giftest::makeFrame(4, 4, [&](int, int) { return uint8_t(k); }));
    ASSERT_TRUE(gif().loadGifBytes(b.build()));
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    EXPECT_EQ(gif().Action(), ActionPlay);
    gifWidget->hide();
    EXPECT_EQ(gif().Action(), ActionPause);
    gifWidget->show();
    EXPECT_EQ(gif().Action(), ActionPlay);
}

}  // namespace
