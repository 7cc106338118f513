// The widget's Qt face: a form compiled by uic sets it up in form order and plays, properties
// and slots work by name through the meta-object system as Designer and scripts use them, and
// the Designer plugin creates widgets that stay at design time in Designer and play in a form
// loaded at run time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPluginLoader>
#include <QSignalSpy>
#include <QTest>
#include <QUiLoader>
#include <QWidget>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#include <memory>

#include "anigif/ani_gif_widget.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "tests/support/gif_builder.h"
#include "ui_gif_form.h"

namespace {

using anigif::AniGifWidget;

QByteArray countedGif() {
    QFile file(QStringLiteral(ANIGIF_TEST_GIF));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The form sets source before the stored values that depend on the GIF, then plays at run time.
TEST(QtFace, FormFromUicPlaysAndEndsItsLoops) {
    QWidget form;
    Ui::GifForm ui;
    ui.setupUi(&form);
    AniGifWidget* gif = ui.gif;
    EXPECT_EQ(gif->source(), QStringLiteral(":/gif-form/counted.gif"));
    EXPECT_EQ(gif->frameCount(), 3);
    EXPECT_EQ(gif->stretch(), AniGifWidget::StretchFill);
    EXPECT_EQ(gif->mirrored(), AniGifWidget::MirrorHorizontal);
    EXPECT_EQ(gif->minFrameDelay(), 10);
    EXPECT_EQ(gif->loops(), 1);  // the GIF's own count, read with the GIF
    // The GIF loads at the default stretch (fit), which fits the widget to its aspect.
    EXPECT_EQ(gif->size(), QSize(16, 16));

    QSignalSpy frames(gif, &AniGifWidget::frameChanged);
    QSignalSpy ended(gif, &AniGifWidget::loopsEnded);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_TRUE(ended.wait(5000));
    bool viaTimer = false;
    for (const auto& args : frames) viaTimer = viaTimer || args[1].toBool();
    EXPECT_TRUE(viaTimer);
    EXPECT_EQ(gif->action(), AniGifWidget::ActionStop);
}

// Designer and scripts see every property by name, with enumerations by key, and the setters
// keep the control's clamping and notify only real changes.
TEST(QtFace, PropertiesBySignalAndName) {
    AniGifWidget w;
    const QMetaObject* meta = w.metaObject();
    for (const char* name :
         {"source", "stretch", "mirrored", "loops", "minFrameDelay", "steppedDelay",
          "delayAnimation", "offsetX", "offsetY", "solidBkgColor", "solidBkgColorUsed"}) {
        const QMetaProperty p = meta->property(meta->indexOfProperty(name));
        ASSERT_TRUE(p.isValid()) << name;
        EXPECT_TRUE(p.isWritable() && p.hasNotifySignal()) << name;
    }
    for (const char* name : {"currentFrame", "frameCount", "loopsRemaining", "actualWidth"})
        EXPECT_FALSE(meta->property(meta->indexOfProperty(name)).isWritable()) << name;
    const QMetaProperty stretch = meta->property(meta->indexOfProperty("stretch"));
    EXPECT_STREQ(stretch.enumerator().valueToKey(AniGifWidget::StretchAutoSize), "StretchAutoSize");

    QSignalSpy delay(&w, &AniGifWidget::minFrameDelayChanged);
    QSignalSpy offset(&w, &AniGifWidget::offsetXChanged);
    QSignalSpy stored(&w, &AniGifWidget::storedPropertyChanged);
    EXPECT_TRUE(w.setProperty("minFrameDelay", 5));
    EXPECT_EQ(w.property("minFrameDelay").toInt(), 10);
    w.setProperty("minFrameDelay", 10);  // unchanged after clamping: no notice
    EXPECT_EQ(delay.count(), 1);
    EXPECT_EQ(stored.count(), 1);
    w.setProperty("offsetX", 7);
    w.setProperty("offsetX", 7);
    EXPECT_EQ(offset.count(), 1);
    EXPECT_EQ(stored.count(), 1);  // offsets are stored values without a change notice
    w.setProperty("stretch", QStringLiteral("StretchNone"));
    EXPECT_EQ(w.control().Stretch(), anigif::StretchNone);
    w.setProperty("delayAnimation", 9);  // out of range: ignored
    EXPECT_EQ(w.delayAnimation(), AniGifWidget::DelayFirstFrame);

    w.setProperty("solidBkgColor", QColor(0, 0, 255));
    EXPECT_EQ(w.control().SolidBkgColor(), 0xFF0000);  // 0x00BBGGRR
    w.control().SolidBkgColor(static_cast<int32_t>(0x80000005u));
    EXPECT_EQ(w.solidBkgColor(), w.palette().color(QPalette::Base));
}

// Slots by name, loaders with their results, and bad input that leaves the widget empty.
TEST(QtFace, SlotsAndLoaders) {
    AniGifWidget w;
    w.resize(8, 8);
    EXPECT_TRUE(w.loadData(countedGif()));
    EXPECT_EQ(w.frameCount(), 3);
    EXPECT_TRUE(QMetaObject::invokeMethod(&w, "pause"));
    EXPECT_EQ(w.action(), AniGifWidget::ActionPause);
    QSignalSpy frames(&w, &AniGifWidget::frameChanged);
    EXPECT_TRUE(QMetaObject::invokeMethod(&w, "step"));
    ASSERT_EQ(frames.count(), 1);
    EXPECT_FALSE(frames[0][1].toBool());
    EXPECT_EQ(w.currentFrame(), 2);
    w.stop();
    EXPECT_EQ(w.currentFrame(), 1);

    EXPECT_FALSE(w.loadData(QByteArray("GIF89a but nothing else")));
    EXPECT_EQ(w.frameCount(), 0);
    EXPECT_FALSE(w.loadFile(QStringLiteral("/nonexistent/none.gif")));
    EXPECT_FALSE(w.loadUrl(QUrl()));
    EXPECT_TRUE(w.loadUrl(QUrl::fromLocalFile(QStringLiteral(ANIGIF_TEST_GIF))));
    w.setProperty("source", QStringLiteral("qrc:/gif-form/counted.gif"));
    EXPECT_EQ(w.frameCount(), 3);
    w.setSource(QString());
    EXPECT_EQ(w.frameCount(), 0);
}

// The Qt-typed signals beside the control's own: mouse events with Qt's exact position, button
// and modifiers; and the read-only values announce each real change, whatever caused it (a load,
// a command, the timer).
TEST(QtFace, QtTypedSignalsAndReadOnlyValuesThatNotify) {
    AniGifWidget w;
    const QMetaObject* meta = w.metaObject();
    for (const char* name :
         {"action", "currentFrame", "frameCount", "loopsRemaining", "actualWidth", "actualHeight"})
        EXPECT_TRUE(meta->property(meta->indexOfProperty(name)).hasNotifySignal()) << name;

    w.resize(8, 8);
    w.setMinFrameDelay(10);
    QSignalSpy frame(&w, &AniGifWidget::currentFrameChanged);
    QSignalSpy count(&w, &AniGifWidget::frameCountChanged);
    QSignalSpy size(&w, &AniGifWidget::actualSizeChanged);
    QSignalSpy action(&w, &AniGifWidget::actionChanged);
    QSignalSpy remaining(&w, &AniGifWidget::loopsRemainingChanged);
    w.setDelayAnimation(AniGifWidget::DelayOff);
    ASSERT_TRUE(w.loadData(countedGif()));
    EXPECT_EQ(frame.count(), 1);  // 0 -> 1
    EXPECT_EQ(count.count(), 1);
    EXPECT_EQ(size.count(), 1);
    EXPECT_EQ(action.count(), 1);  // playing
    w.pause();
    w.step();
    EXPECT_EQ(frame.count(), 2);
    EXPECT_EQ(action.count(), 2);
    w.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.count() >= 4; }, 3000));  // by the timer
    w.setSource(QString());
    EXPECT_EQ(w.frameCount(), 0);
    EXPECT_EQ(count.count(), 2);
    EXPECT_GE(remaining.count(), 1);

    ASSERT_TRUE(w.loadData(countedGif()));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QSignalSpy pressed(&w, &AniGifWidget::mousePressed);
    QSignalSpy down(&w, &AniGifWidget::mouseDown);
    QSignalSpy moved(&w, &AniGifWidget::mouseMoved);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2.75, 3.25),
                      w.mapToGlobal(QPointF(2.75, 3.25)), Qt::RightButton, Qt::RightButton,
                      Qt::ControlModifier);
    QApplication::sendEvent(&w, &press);
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed[0][0].toPointF(), QPointF(2.75, 3.25));
    EXPECT_EQ(pressed[0][1].value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(pressed[0][2].value<Qt::KeyboardModifiers>(), Qt::ControlModifier);
    ASSERT_EQ(down.count(), 1);  // the control's own: codes, position rounded down
    EXPECT_EQ(down[0][0].toInt(), 2);
    EXPECT_EQ(down[0][1].toInt(), 2);
    EXPECT_EQ(down[0][2].toFloat(), 2.0F);
    QTest::mouseMove(&w, QPoint(5, 1));
    ASSERT_GE(moved.count(), 1);
    EXPECT_EQ(moved.last()[0].toPointF(), QPointF(5, 1));
}

// A program that builds the form at run time with QUiLoader gets the widget from the plugin, and
// it plays. Before the Designer test: the plugin's one instance, once initialised as Designer
// does, makes design-time widgets for the rest of the process.
TEST(QtFace, FormLoadedAtRunTimeThroughThePluginPlays) {
    QUiLoader loader;
    loader.clearPluginPaths();
    loader.addPluginPath(QFileInfo(QStringLiteral(ANIGIF_DESIGNER_PLUGIN)).absolutePath());
    ASSERT_TRUE(loader.availableWidgets().contains(QStringLiteral("anigif::AniGifWidget")));
    QFile ui(QStringLiteral(ANIGIF_TEST_FORM));
    ASSERT_TRUE(ui.open(QIODevice::ReadOnly));
    std::unique_ptr<QWidget> form(loader.load(&ui));
    ASSERT_NE(form, nullptr) << loader.errorString().toStdString();
    QObject* gif = form->findChild<QObject*>(QStringLiteral("gif"));
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->property("frameCount").toInt(), 3);
    EXPECT_EQ(gif->property("mirrored").toInt(), AniGifWidget::MirrorHorizontal);
    QSignalSpy ended(gif, SIGNAL(loopsEnded()));
    form->show();
    EXPECT_TRUE(ended.wait(5000));
}

// The plugin as Designer loads it; the widget it makes is at design time: frame 1 with the
// outline, no timer, Action ignored, and the source's bytes kept as the stored GIF.
TEST(QtFace, DesignerPluginMakesDesignTimeWidgets) {
    QPluginLoader loader(QStringLiteral(ANIGIF_DESIGNER_PLUGIN));
    auto* plugin = qobject_cast<QDesignerCustomWidgetInterface*>(loader.instance());
    ASSERT_NE(plugin, nullptr) << loader.errorString().toStdString();
    EXPECT_EQ(plugin->name(), QStringLiteral("anigif::AniGifWidget"));
    EXPECT_EQ(plugin->group(), QStringLiteral("Animated GIF"));
    EXPECT_EQ(plugin->includeFile(), QStringLiteral("anigif/ani_gif_widget.h"));
    EXPECT_FALSE(plugin->icon().isNull());
    EXPECT_FALSE(plugin->toolTip().isEmpty());
    EXPECT_TRUE(plugin->domXml().contains(
        QStringLiteral(R"(<stringpropertyspecification name="source" notr="true")")));

    // The plugin carries its own copy of the class, so the widget is driven by name.
    plugin->initialize(nullptr);  // as Designer does before creating widgets
    QWidget parent;
    parent.resize(60, 40);
    std::unique_ptr<QWidget> gif(plugin->createWidget(&parent));
    ASSERT_NE(gif, nullptr);
    EXPECT_STREQ(gif->metaObject()->className(), "anigif::AniGifWidget");
    gif->setProperty("stretch", QStringLiteral("StretchFill"));
    gif->setProperty("source", QStringLiteral(ANIGIF_TEST_GIF));
    EXPECT_EQ(gif->property("currentFrame").toInt(), 1);
    EXPECT_EQ(gif->size(), QSize(8, 8));  // a picture assigned in the designer comes at its size
    gif->setGeometry(0, 0, 40, 30);
    EXPECT_EQ(gif->size(), QSize(40, 30));
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    QSignalSpy frames(gif.get(), SIGNAL(frameChanged(int, bool)));
    EXPECT_TRUE(QMetaObject::invokeMethod(gif.get(), "play"));
    EXPECT_TRUE(QMetaObject::invokeMethod(gif.get(), "step"));
    QTest::qWait(100);
    EXPECT_EQ(frames.count(), 0);
    EXPECT_EQ(gif->property("currentFrame").toInt(), 1);
    EXPECT_EQ(gif->property("action").toInt(), AniGifWidget::ActionStop);

    // Frame 1 (red) stretched over the widget, the dotted outline along its edge.
    const QImage image = gif->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image.pixelColor(3, 3), QColor(255, 0, 0));
    int outline = 0;
    for (int x = 0; x < 40; ++x) outline += image.pixelColor(x, 29) != QColor(255, 0, 0);
    EXPECT_GT(outline, 5);
    const QByteArray dir = qgetenv("ANIGIF_SCREENSHOT_DIR");
    if (!dir.isEmpty()) image.save(QDir(QString::fromLocal8Bit(dir)).filePath("designer.png"));
}

}  // namespace
