// The main window creates ucAniGIF1 from its built-in stored description and plays it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QSet>
#include <QTest>
#include <algorithm>

#include "anigif/ani_gif_widget.h"
#include "decoration.h"
#include "platform/qt/picture_folder.h"
#include "practice/windows/form1.h"
#include "widget/ani_gif_widget_access.h"

namespace {

using anigif::AniGifWidget;
using anigif::WidgetAccess;
using windows::Form1;

AniGifWidget* decorationOf(const Form1& form) {
    return form.decorationSlot()->findChild<AniGifWidget*>();
}

TEST(MainWindowDecoration, BuiltInDescriptionIsTheCommittedFile) {
    QFile file(QStringLiteral(KAVRILO_SOURCE_DIR "/practice/decoration.bag"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    const auto built = decoration::storedDescription();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(built.data()),
                         static_cast<qsizetype>(built.size())),
              stored);
}

TEST(MainWindowDecoration, PlaysAllSixFramesAndStopsWhenTheWindowCloses) {
    Form1 form1(platform::qt::PictureFolder::besideProgram(), decoration::createDecoration);
    AniGifWidget* widget = decorationOf(form1);
    ASSERT_NE(widget, nullptr);
    anigif::ucAniGIF& control = WidgetAccess::control(*widget);
    EXPECT_EQ(widget->geometry(), QRect(0, 0, 144, 144));
    EXPECT_EQ(form1.decorationSlot()->geometry(), QRect(-25, 252, 144, 144));
    // Created from the description: frame 1 shown, the rest waiting for the deferred decode.
    EXPECT_EQ(control.CurrentFrame(), 1);
    EXPECT_EQ(control.FrameCount(), 6);
    EXPECT_EQ(control.Stretch(), anigif::StretchFit);
    EXPECT_EQ(control.Loops(), 28789);
    EXPECT_FLOAT_EQ(control.scaleX, 0.72F);

    QSet<int> seen;
    QObject::connect(widget, &AniGifWidget::controlEvent,
                     [&](int number, const QString&, const QVariantList&) {
                         if (number == anigif::EventFrameChanged)
                             seen.insert(control.CurrentFrame());
                     });
    form1.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form1));
    // Six frames of 100 ms: frame 6, then round again to frame 1 and on.
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.contains(6); }, 5000));
    seen.clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.contains(1) && seen.contains(2); }, 5000));
    EXPECT_EQ(control.Action(), anigif::ActionPlay);

    form1.close();
    EXPECT_FALSE(WidgetAccess::timerService(*widget).isPending(WidgetAccess::parentWindow(*widget),
                                                               control.timerId()));
}

TEST(MainWindowDecoration, BackgroundShowsThroughTransparentPixels) {
    Form1 plain(platform::qt::PictureFolder::besideProgram());
    Form1 decorated(platform::qt::PictureFolder::besideProgram(), decoration::createDecoration);
    plain.show();
    decorated.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&decorated));
    const QImage without = plain.grab().toImage();
    const QImage with = decorated.grab().toImage();
    // Inside the part of the slot the window shows (it is cut at the window's left and bottom
    // edges): the decoration draws something, and the background shows around it.
    ASSERT_EQ(with.size(), without.size());
    int same = 0, changed = 0;
    for (int y = 252; y < std::min(252 + 144, with.height()); ++y)
        for (int x = 0; x < 144 - 25; ++x)
            (with.pixel(x, y) == without.pixel(x, y) ? same : changed)++;
    EXPECT_GT(changed, 500);
    EXPECT_GT(same, 5000);
    // The slot's corners lie outside the drawing.
    EXPECT_EQ(with.pixel(1, 253), without.pixel(1, 253));
    EXPECT_EQ(with.pixel(117, 253), without.pixel(117, 253));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
