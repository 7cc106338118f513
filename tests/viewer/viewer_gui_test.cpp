// The viewer's window, driven as a person drives it: keys and menus, with the title and the
// picture on show read back. Frames reached backwards or by jumps must look exactly as when
// reached by stepping forward, and exports must hold those same pictures.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScrollArea>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QWheelEvent>
#include <QXmlStreamReader>
#include <memory>
#include <vector>

#include "anigif/ani_gif_widget.h"
#include "apps/anigif-view/viewer_window.h"
#include "tests/support/gif_builder.h"

namespace {

using giftest::Bytes;
using giftest::GifFrame;

// Seven frames on 12 x 12 that only make sense composed: each adds a 3 x 3 patch (disposal 1),
// one clears itself (2), one is restored (3), one is transparent in part.
Bytes composedAnimation() {
    giftest::GifBuilder b;
    b.screen(12, 12).globalTable(giftest::testPalette(8)).loop(0);
    const int disposals[] = {1, 1, 2, 1, 3, 1, 1};
    for (int k = 0; k < 7; ++k) {
        GifFrame f = giftest::makeFrame(
            3, 3, [k](int x, int y) { return uint8_t(k == 5 && x == 1 && y == 1 ? 0 : k + 1); });
        f.left = (k * 3) % 12;
        f.top = (k / 4) * 4;
        f.control = true;
        f.delayCs = 5;
        f.disposal = disposals[k];
        f.transparent = k == 5;
        f.transIndex = 0;
        b.frame(f);
    }
    return b.build();
}

void writeFile(const QString& path, const Bytes& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

// The control's own pixels, without the stage behind them.
QImage shown(anigif::AniGifWidget* gif) {
    QImage image(gif->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    gif->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

class Viewer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        gifPath = dir.filePath(QStringLiteral("walk.gif"));
        writeFile(gifPath, composedAnimation());
        window = std::make_unique<viewer::ViewerWindow>();
        window->resize(900, 600);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->open(gifPath);
        gif = window->gifWidget();
        ASSERT_EQ(gif->frameCount(), 7);
        window->activateWindow();
        window->setFocus();
    }
    void key(int k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(window.get(), Qt::Key(k), m);
    }

    QTemporaryDir dir;
    QString gifPath;
    std::unique_ptr<viewer::ViewerWindow> window;
    anigif::AniGifWidget* gif = nullptr;
};

TEST_F(Viewer, KeysWalkTheFramesAndEveryWayThereShowsTheSamePicture) {
    gif->pause();
    gif->showFrame(1);
    std::vector<QImage> forward;
    for (int k = 1; k <= 7; ++k) {
        EXPECT_EQ(gif->currentFrame(), k);
        forward.push_back(shown(gif));
        key(Qt::Key_Right);  // stepping goes on and pauses
    }
    EXPECT_EQ(gif->currentFrame(), 1);
    EXPECT_EQ(gif->action(), anigif::AniGifWidget::ActionPause);

    key(Qt::Key_End);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("walk.gif — 7 / 7 — 100 %"));
    EXPECT_EQ(shown(gif), forward[6]);
    for (int k = 6; k >= 1; --k) {
        key(Qt::Key_Left);
        ASSERT_EQ(gif->currentFrame(), k);
        EXPECT_EQ(shown(gif), forward[size_t(k - 1)]) << "back to frame " << k;
    }
    key(Qt::Key_Left);  // from the first to the last
    EXPECT_EQ(gif->currentFrame(), 7);
    for (int k : {4, 2, 6, 3, 7, 1, 5}) {
        gif->showFrame(k);
        EXPECT_EQ(shown(gif), forward[size_t(k - 1)]) << "jump to frame " << k;
    }
    key(Qt::Key_Home);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("walk.gif — 1 / 7 — 100 %"));

    key(Qt::Key_Space);
    EXPECT_EQ(gif->action(), anigif::AniGifWidget::ActionPlay);
    key(Qt::Key_Space);
    EXPECT_EQ(gif->action(), anigif::AniGifWidget::ActionPause);
}

TEST_F(Viewer, ZoomKeysWheelAndFitSizeTheControlAndTheTitle) {
    key(Qt::Key_Plus);
    EXPECT_EQ(gif->width(), 18);
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("— 150 %")));
    key(Qt::Key_Minus);
    key(Qt::Key_Minus);
    EXPECT_DOUBLE_EQ(window->zoom(), 2.0 / 3);
    key(Qt::Key_0);
    EXPECT_EQ(gif->size(), QSize(gif->actualWidth(), gif->actualHeight()));

    auto* viewport = window->findChild<QScrollArea*>()->viewport();
    QWheelEvent wheel(QPointF(5, 5), viewport->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    EXPECT_EQ(gif->width(), 18);

    // Fit: the picture fills the window's room, and a picture larger than the window is
    // fitted when it opens; the control is never larger than the room it has.
    key(Qt::Key_F);
    EXPECT_TRUE(window->fitsWindow());
    EXPECT_GT(gif->width(), 12);
    EXPECT_LE(gif->height(), viewport->height());

    giftest::GifBuilder far;
    far.screen(26001, 26001).globalTable(giftest::testPalette(2));
    for (int at : {0, 26000}) {
        GifFrame f = giftest::makeFrame(1, 1, [](int, int) { return uint8_t(1); });
        f.left = f.top = at;
        f.control = true;
        f.delayCs = 10;
        far.frame(f);
    }
    const QString farPath = dir.filePath(QStringLiteral("far.gif"));
    writeFile(farPath, far.build());
    window->open(farPath);
    ASSERT_EQ(gif->frameCount(), 2);
    EXPECT_TRUE(window->fitsWindow());
    EXPECT_LE(gif->width(), viewport->width());
    EXPECT_LE(gif->height(), viewport->height());
}

TEST_F(Viewer, PageKeysWalkTheFolderInNameOrderAndCtrlWCloses) {
    for (const char* name : {"b10.gif", "b2.gif", "a.gif"})
        QFile::copy(gifPath, dir.filePath(QString::fromLatin1(name)));
    QFile::copy(gifPath, dir.filePath(QStringLiteral("notes.txt")));
    window->open(dir.filePath(QStringLiteral("a.gif")));
    QStringList seen;
    for (int i = 0; i < 4; ++i) {
        seen << window->windowTitle().section(QStringLiteral(" — "), 0, 0);
        key(Qt::Key_PageDown);
    }
    EXPECT_EQ(seen, (QStringList{"a.gif", "b2.gif", "b10.gif", "walk.gif"}));
    key(Qt::Key_PageUp);
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("b10.gif")));

    // Several files: those, in the order given.
    window->openFiles(
        {dir.filePath(QStringLiteral("walk.gif")), dir.filePath(QStringLiteral("a.gif"))});
    key(Qt::Key_PageDown);
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("a.gif")));
    key(Qt::Key_PageDown);  // the last stays
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("a.gif")));

    key(Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(Viewer, ExportsHoldTheComposedFramesAtTheirOwnSize) {
    key(Qt::Key_Plus);  // 200 %: the zoom on show does not reach the files
    key(Qt::Key_Plus);
    ASSERT_DOUBLE_EQ(window->zoom(), 2.0);
    gif->showFrame(1);
    std::vector<QImage> forward;
    for (int k = 1; k <= 7; ++k) {
        forward.push_back(shown(gif).scaled(gif->actualWidth(), gif->actualHeight()));
        gif->step();
    }
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    QString why;
    ASSERT_EQ(window->exportFrames(out, false, &why), 7) << why.toStdString();
    for (int k = 1; k <= 7; ++k) {
        const QImage png(
            QDir(out).filePath(QStringLiteral("walk-%1.png").arg(k, 4, 10, QLatin1Char('0'))));
        ASSERT_EQ(png.size(), QSize(gif->actualWidth(), gif->actualHeight()));
        EXPECT_EQ(png.convertToFormat(QImage::Format_ARGB32_Premultiplied), forward[size_t(k - 1)])
            << "frame " << k;
    }
    gif->showFrame(3);
    const QString one = dir.filePath(QStringLiteral("three.png"));
    ASSERT_TRUE(window->exportPicture(one, &why)) << why.toStdString();
    EXPECT_EQ(QImage(one).convertToFormat(QImage::Format_ARGB32_Premultiplied), forward[2]);
}

// Every text the window shows is Chinese under the zh_CN translation, and the translation
// source has nothing left unfinished.
TEST(ViewerTranslation, EveryTextHasItsChineseTranslation) {
    QFile ts(QStringLiteral(ANIGIF_VIEW_TS));
    ASSERT_TRUE(ts.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&ts);
    int messages = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("message")) ++messages;
        if (xml.name() != QLatin1String("translation")) continue;
        const bool unfinished =
            xml.attributes().value(QLatin1String("type")) == QLatin1String("unfinished");
        EXPECT_FALSE(unfinished || xml.readElementText().isEmpty()) << "message " << messages;
    }
    EXPECT_GT(messages, 100);

    QTranslator chinese;
    ASSERT_TRUE(chinese.load(QStringLiteral(":/i18n/anigif-view_zh_CN.qm")));
    QApplication::installTranslator(&chinese);
    viewer::ViewerWindow window;
    QApplication::removeTranslator(&chinese);
    auto chineseOrNoWords = [](QString text) {
        text.remove(
            QRegularExpression(QStringLiteral("\\([A-Za-z]+\\)|&|Cancel|GIF|PNG|ms|\\.\\.\\.")));
        for (QChar c : text)
            if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) return true;
        return !text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}")));
    };
    QStringList english;
    for (QAction* a : window.findChildren<QAction*>())
        if (!a->text().isEmpty() && !a->menu() &&
            a->parent()->objectName() != QLatin1String("recent") && !chineseOrNoWords(a->text()))
            english << a->text();
    for (QMenu* m : window.menuBar()->findChildren<QMenu*>())
        if (!chineseOrNoWords(m->title())) english << m->title();
    for (QLabel* l : window.findChildren<QLabel*>())
        if (!chineseOrNoWords(l->text())) english << l->text();
    for (QAbstractButton* b : window.findChildren<QAbstractButton*>())
        if (!b->text().startsWith(u'#') && !chineseOrNoWords(b->text())) english << b->text();
    EXPECT_TRUE(english.isEmpty()) << english.join(QStringLiteral(" | ")).toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);  // settings and recent files stay out of home
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
