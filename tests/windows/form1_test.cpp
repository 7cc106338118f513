// The main window driven as a child and a teacher use it.
#include "practice/windows/form1.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "modal_helpers.h"
#include "practice/windows/form2.h"
#include "practice/windows/form3.h"
#include "practice/windows/picture_button.h"

using testing_windows::answerNextBox;
using testing_windows::saveShot;
using testing_windows::whenShown;
using windows::Form1;
using windows::Form2;
using windows::Form3;
using windows::PictureButton;

namespace {

QImage argb(const QImage& image) {
    return image.convertToFormat(QImage::Format_ARGB32);
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        form1 = std::make_unique<Form1>(pictures, nullptr,
                                        [this](const QUrl& url) { opened.push_back(url); });
        form1->show();
        text3 = form1->findChild<QLineEdit*>("Text3");
        label1 = form1->findChild<QLabel*>("Label1");
        label2 = form1->findChild<QLabel*>("Label2");
        label3 = form1->findChild<QLabel*>("Label3");
        image1 = form1->findChild<QLabel*>("Image1");
        image2 = form1->findChild<PictureButton*>("Image2");
        image3 = form1->findChild<PictureButton*>("Image3");
        image4 = form1->findChild<PictureButton*>("Image4");
        image5 = form1->findChild<PictureButton*>("Image5");
        ASSERT_TRUE(text3 && label1 && label2 && label3 && image1 && image2 && image3 && image4 &&
                    image5);
    }
    void TearDown() override {
        form1.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The picture as the window shows it on this screen's pixel density.
    QImage picture(const char* name) const {
        return argb(
            pictures.picture(QString::fromLatin1(name), form1->devicePixelRatioF()).toImage());
    }
    static QImage shown(const QLabel* label) { return argb(label->pixmap().toImage()); }

    // The teacher's way in: the number-list button, the text, Enter in the dialog.
    void saveList(const QString& list) {
        whenShown<Form2>([list](Form2* dialog) {
            auto* text1 = dialog->findChild<QLineEdit*>("Text1");
            text1->clear();
            QTest::keyClicks(text1, list);
            QTest::keyClick(text1, Qt::Key_Return);
        });
        QTest::mouseClick(image3, Qt::LeftButton);
    }
    void type(const QString& keys) { QTest::keyClicks(text3, keys); }
    // A key press as the X11 platform delivers it, with the text the keyboard map gives it.
    void press(Qt::Key key, const QString& text, Qt::KeyboardModifiers modifiers = {}) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(text3, &event);
    }
    void compose(const QString& preedit, const QString& commit = {}) {
        QInputMethodEvent event(preedit, {});
        event.setCommitString(commit);
        QApplication::sendEvent(text3, &event);
    }
    void enter() { QTest::keyClick(text3, Qt::Key_Return); }

    platform::qt::PictureFolder pictures = platform::qt::PictureFolder::besideProgram();
    std::vector<QUrl> opened;
    std::unique_ptr<Form1> form1;
    QLineEdit* text3 = nullptr;
    QLabel *label1 = nullptr, *label2 = nullptr, *label3 = nullptr, *image1 = nullptr;
    PictureButton *image2 = nullptr, *image3 = nullptr, *image4 = nullptr, *image5 = nullptr;
};

TEST_F(MainWindowTest, OpensWithItsLayoutPicturesAndHint) {
    EXPECT_EQ(form1->windowTitle(), QStringLiteral("Kavrilo - Morvane"));
    EXPECT_EQ(form1->size(), QSize(468, 347));
    EXPECT_EQ(form1->minimumSize(), form1->maximumSize());
    EXPECT_FALSE(form1->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(form1->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(label2->text(), QStringLiteral("请先设置要分解数字"));
    EXPECT_EQ(label1->text(), QString());
    EXPECT_EQ(label3->text(), QString());
    EXPECT_EQ(text3->text(), QString());
    EXPECT_EQ(form1->focusWidget(), text3);
    EXPECT_EQ(text3->geometry(), QRect(165, 178, 73, 33));
    EXPECT_EQ(label1->geometry(), QRect(97, 67, 81, 41));
    EXPECT_EQ(image4->geometry(), QRect(210, 282, 82, 36));
    EXPECT_EQ(form1->decorationSlot()->geometry(), QRect(-25, 252, 144, 144));
    EXPECT_EQ(shown(image2), picture("b1.gif"));
    EXPECT_EQ(shown(image3), picture("b3.gif"));
    EXPECT_EQ(shown(image4), picture("b5.gif"));
    EXPECT_EQ(shown(image5), picture("b7.gif"));
    EXPECT_TRUE(image1->pixmap().isNull());
    saveShot(*form1, QStringLiteral("main-start"));
}

TEST_F(MainWindowTest, TypicalPracticeOfAListToTheCongratulation) {
    saveList(QStringLiteral("3,5"));
    ASSERT_NE(form1->numberListDialog(), nullptr);
    EXPECT_FALSE(form1->numberListDialog()->isVisible());
    EXPECT_EQ(label1->text(), QStringLiteral("3"));
    EXPECT_EQ(label3->text(), QStringLiteral("1"));
    EXPECT_EQ(label2->text(), QStringLiteral("3的分解计算"));
    EXPECT_EQ(form1->focusWidget(), text3);

    type(QStringLiteral("1"));
    EXPECT_EQ(shown(image1), picture("cha.gif"));
    QTest::keyClick(text3, Qt::Key_Backspace);
    type(QStringLiteral("2"));
    EXPECT_EQ(shown(image1), picture("dui.gif"));
    saveShot(*form1, QStringLiteral("main-correct"));

    enter();  // Enter acts as Next after a correct answer
    EXPECT_EQ(label3->text(), QStringLiteral("2"));
    EXPECT_EQ(text3->text(), QString());
    EXPECT_TRUE(image1->pixmap().isNull());

    type(QStringLiteral("1"));
    QTest::mouseClick(image2, Qt::LeftButton);  // the Next button does the same
    EXPECT_EQ(label1->text(), QStringLiteral("5"));
    EXPECT_EQ(label3->text(), QStringLiteral("1"));
    EXPECT_EQ(label2->text(), QStringLiteral("5的分解计算"));

    for (const char* answer : {"4", "3", "2"}) {
        type(QString::fromLatin1(answer));
        EXPECT_EQ(shown(image1), picture("dui.gif")) << answer;
        enter();
    }
    EXPECT_EQ(label3->text(), QStringLiteral("4"));
    type(QStringLiteral("1"));
    EXPECT_EQ(label2->text(), QStringLiteral("非常棒！您已做完了所有的题"));
    saveShot(*form1, QStringLiteral("main-finished"));
}

TEST_F(MainWindowTest, RefusedKeystrokesWarnThenActAsBackspace) {
    saveList(QStringLiteral("5"));
    type(QStringLiteral("12"));

    auto seen = answerNextBox();
    type(QStringLiteral("a"));
    EXPECT_EQ(seen->count, 1);
    EXPECT_EQ(seen->title, QStringLiteral("输入错误"));
    EXPECT_EQ(seen->text, QStringLiteral("不能输入其它字符，只能输入数字！"));
    EXPECT_EQ(seen->icon, QMessageBox::Warning);
    EXPECT_EQ(seen->buttonCount, 1);
    EXPECT_EQ(seen->okText, QStringLiteral("确定"));
    EXPECT_EQ(seen->owner, form1.get());
    EXPECT_EQ(text3->text(), QStringLiteral("1"));  // the letter is not in, the 2 is gone

    // Ctrl+V is a control character: refused, and no paste happens.
    seen = answerNextBox();
    QTest::keyClick(text3, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(seen->count, 1);
    EXPECT_EQ(text3->text(), QString());

    // Backspace and Enter never warn.
    type(QStringLiteral("3"));
    QTest::keyClick(text3, Qt::Key_Backspace);
    enter();
    EXPECT_EQ(text3->text(), QString());
}

TEST_F(MainWindowTest, EditingKeysAsX11SendsThemEditWithoutReachingTheFilter) {
    saveList(QStringLiteral("5"));
    type(QStringLiteral("123"));
    auto seen = answerNextBox();

    press(Qt::Key_Home, {});
    press(Qt::Key_Right, {});
    press(Qt::Key_Delete, QStringLiteral("\x7f"));  // deletes after the caret
    EXPECT_EQ(text3->text(), QStringLiteral("13"));
    press(Qt::Key_End, {});
    press(Qt::Key_Left, {}, Qt::ShiftModifier);
    EXPECT_EQ(text3->selectedText(), QStringLiteral("3"));
    press(Qt::Key_A, QStringLiteral("\x01"), Qt::ControlModifier);
    EXPECT_EQ(text3->selectedText(), QStringLiteral("13"));
    press(Qt::Key_End, {});
    press(Qt::Key_Backspace, QStringLiteral("\b"), Qt::ControlModifier);  // the word goes
    EXPECT_EQ(text3->text(), QString());
    EXPECT_EQ(seen->count, 0);

    // A real control character still is one: Ctrl+V as X11 sends it warns and backspaces.
    type(QStringLiteral("4"));
    press(Qt::Key_V, QStringLiteral("\x16"), Qt::ControlModifier);
    EXPECT_EQ(seen->count, 1);
    EXPECT_EQ(text3->text(), QString());
}

TEST_F(MainWindowTest, InputMethodCompositionShowsWhileComposingAndNeverStays) {
    const int flash = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(0);  // a steady caret, so pictures of the box compare
    saveList(QStringLiteral("5"));
    const QImage empty = text3->grab().toImage();
    type(QStringLiteral("3"));
    const QImage three = text3->grab().toImage();
    QTest::keyClick(text3, Qt::Key_Backspace);

    compose(QStringLiteral("ni"));
    EXPECT_EQ(text3->text(), QString());
    EXPECT_NE(text3->grab().toImage(), empty);  // the composition is drawn
    auto seen = answerNextBox();
    compose({}, QStringLiteral("你"));  // refused
    EXPECT_EQ(seen->count, 1);
    EXPECT_EQ(text3->text(), QString());
    EXPECT_EQ(text3->grab().toImage(), empty);

    compose(QStringLiteral("san"));
    compose({}, QStringLiteral("3"));  // accepted
    EXPECT_EQ(text3->text(), QStringLiteral("3"));
    EXPECT_EQ(text3->grab().toImage(), three);
    EXPECT_EQ(shown(image1), picture("cha.gif"));
    QApplication::setCursorFlashTime(flash);
}

TEST_F(MainWindowTest, ScreenReadersHearChineseNamesAndTheMarkFollowsTheAnswer) {
    auto iface = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w); };
    const std::pair<PictureButton*, const char*> buttons[] = {
        {image2, "下一题"}, {image3, "出题"}, {image4, "发现"}, {image5, "退出"}};
    for (const auto& [button, name] : buttons) {
        QAccessibleInterface* a = iface(button);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), QAccessible::Button) << name;
        EXPECT_EQ(a->text(QAccessible::Name), QString::fromUtf8(name));
        EXPECT_FALSE(a->text(QAccessible::Description).isEmpty()) << name;
    }
    EXPECT_EQ(iface(text3)->role(), QAccessible::EditableText);
    EXPECT_EQ(iface(text3)->text(QAccessible::Name), QStringLiteral("答案"));
    EXPECT_EQ(iface(label1)->text(QAccessible::Name), QStringLiteral("被分解的数：还没有设置"));
    QAccessibleInterface* decoration = iface(form1->decorationSlot());
    EXPECT_TRUE(decoration->state().invisible);
    EXPECT_EQ(decoration->childCount(), 0);
    EXPECT_TRUE(decoration->text(QAccessible::Name).isEmpty());

    saveList(QStringLiteral("5"));
    EXPECT_EQ(iface(label1)->text(QAccessible::Name), QStringLiteral("被分解的数：5"));
    EXPECT_EQ(iface(label3)->text(QAccessible::Name), QStringLiteral("已知的部分：1"));
    type(QStringLiteral("3"));
    EXPECT_EQ(iface(image1)->role(), QAccessible::Graphic);
    EXPECT_EQ(iface(image1)->text(QAccessible::Name), QStringLiteral("答错了"));
    QTest::keyClick(text3, Qt::Key_Backspace);
    type(QStringLiteral("4"));
    EXPECT_EQ(iface(image1)->text(QAccessible::Name), QStringLiteral("答对了"));

    // A screen reader's press acts as a click on Next.
    QAccessibleActionInterface* next = iface(image2)->actionInterface();
    ASSERT_NE(next, nullptr);
    next->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(iface(label3)->text(QAccessible::Name), QStringLiteral("已知的部分：2"));

    // Every control of the three windows has a name and a description.
    Form3 form3(pictures, {});
    for (QWidget* window :
         {static_cast<QWidget*>(form1.get()), static_cast<QWidget*>(form1->numberListDialog()),
          static_cast<QWidget*>(&form3)}) {
        ASSERT_NE(window, nullptr);
        for (QWidget* w : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (w == form1->decorationSlot()) continue;
            QAccessibleInterface* a = iface(w);
            EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << qPrintable(w->objectName());
            EXPECT_FALSE(a->text(QAccessible::Description).isEmpty())
                << qPrintable(w->objectName());
        }
    }
}

TEST_F(MainWindowTest, TypingBeforeAnyNumberWarnsEmptiesAndOpensTheDialogModeless) {
    auto seen = answerNextBox();
    type(QStringLiteral("7"));
    EXPECT_EQ(seen->count, 1);
    EXPECT_EQ(seen->text, QStringLiteral("请先设置要分解的数"));
    EXPECT_EQ(seen->title, QStringLiteral("输入错误"));
    EXPECT_EQ(text3->text(), QString());
    Form2* dialog = form1->numberListDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    saveShot(*dialog, QStringLiteral("dialog"));

    // The number-list button brings that dialog forward; no second dialog, no block.
    QTest::mouseClick(image3, Qt::LeftButton);
    EXPECT_EQ(form1->numberListDialog(), dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(form1->findChildren<Form2*>().size(), 1);

    // Saved from the modeless dialog, practice starts as from the modal one.
    auto* text1 = dialog->findChild<QLineEdit*>("Text1");
    QTest::keyClicks(text1, QStringLiteral("4"));
    QTest::keyClick(text1, Qt::Key_Enter);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(label1->text(), QStringLiteral("4"));
}

TEST_F(MainWindowTest, ADialogOnceShownModalComesBackModelessFromTheAnswerBox) {
    saveList(QString());  // modal, saved empty: hidden, and still no number
    Form2* dialog = form1->numberListDialog();
    ASSERT_NE(dialog, nullptr);
    auto seen = answerNextBox();
    type(QStringLiteral("7"));
    EXPECT_EQ(seen->count, 1);
    EXPECT_EQ(form1->numberListDialog(), dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainWindowTest, PictureButtonsShowPressedPictureAndActOnlyOnReleaseInside) {
    const QPoint centre = image3->rect().center();
    QTest::mousePress(image3, Qt::LeftButton, {}, centre);
    EXPECT_EQ(shown(image3), picture("b4.gif"));
    QTest::mouseRelease(image3, Qt::LeftButton, {}, QPoint(-20, -20));  // released outside
    EXPECT_EQ(shown(image3), picture("b3.gif"));
    EXPECT_EQ(form1->numberListDialog(), nullptr);

    // Another mouse button presses and releases, but clicks nothing.
    QTest::mousePress(image5, Qt::RightButton, {}, image5->rect().center());
    EXPECT_EQ(shown(image5), picture("b8.gif"));
    QSignalSpy closed(form1.get(), &Form1::closed);
    QTest::mouseRelease(image5, Qt::RightButton, {}, image5->rect().center());
    EXPECT_EQ(shown(image5), picture("b7.gif"));
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(form1->isVisible());
}

TEST_F(MainWindowTest, NextIsDeadAfterASingleNumberUntilANewListIsSaved) {
    saveList(QStringLiteral("2"));
    type(QStringLiteral("1"));
    enter();
    EXPECT_EQ(label2->text(), QStringLiteral("非常棒！所有的题都做完了"));
    EXPECT_FALSE(image2->takesInput());

    QTest::mousePress(image2, Qt::LeftButton, {}, image2->rect().center());
    EXPECT_EQ(shown(image2), picture("b1.gif"));  // no pressed picture
    QTest::mouseRelease(image2, Qt::LeftButton, {}, image2->rect().center());
    enter();
    EXPECT_EQ(label2->text(), QStringLiteral("非常棒！所有的题都做完了"));

    saveList(QString());  // an empty save re-enables Next and starts nothing
    EXPECT_TRUE(image2->takesInput());
    EXPECT_EQ(label2->text(), QStringLiteral("非常棒！所有的题都做完了"));
}

TEST_F(MainWindowTest, DiscoverRoundTripKeepsThePractice) {
    saveList(QStringLiteral("6"));
    type(QStringLiteral("5"));
    enter();
    type(QStringLiteral("3"));

    for (int round = 0; round < 2; ++round) {
        QTest::mouseClick(image4, Qt::LeftButton);
        EXPECT_FALSE(form1->isVisible());
        Form3* discover = form1->discoverWindow();
        ASSERT_NE(discover, nullptr);
        EXPECT_TRUE(discover->isVisible());
        if (round == 0) saveShot(*discover, QStringLiteral("discover"));
        discover->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(form1->discoverWindow(), nullptr);
        EXPECT_TRUE(form1->isVisible());
        EXPECT_EQ(form1->focusWidget(), text3);
    }
    EXPECT_EQ(label1->text(), QStringLiteral("6"));
    EXPECT_EQ(label3->text(), QStringLiteral("2"));
    EXPECT_EQ(text3->text(), QStringLiteral("3"));
    EXPECT_EQ(shown(image1), picture("cha.gif"));
}

TEST_F(MainWindowTest, ClosingEndsTheProgramEvenWithTheDialogHidden) {
    saveList(QStringLiteral("3"));
    ASSERT_NE(form1->numberListDialog(), nullptr);
    QSignalSpy closed(form1.get(), &Form1::closed);
    QTest::mouseClick(image5, Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(form1->isVisible());

    form1->show();
    form1->close();  // the close box does the same
    EXPECT_EQ(closed.count(), 2);
}

TEST(MainWindowPictures, MissingArtworkShowsEmptyPicturesAndButtonsStillWork) {
    Form1 form1(platform::qt::PictureFolder(QStringLiteral("/nonexistent-kavrilo-pictures")));
    form1.show();
    auto* image3 = form1.findChild<PictureButton*>("Image3");
    EXPECT_TRUE(image3->pixmap().isNull());
    bool dialogSeen = false;
    whenShown<Form2>([&dialogSeen](Form2* dialog) {
        dialogSeen = true;
        dialog->close();
    });
    QTest::mouseClick(image3, Qt::LeftButton);
    EXPECT_TRUE(dialogSeen);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form1.numberListDialog(), nullptr);
}

struct PressCounter : QObject {
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) ++presses;
        return false;
    }
};

TEST(MainWindowDecoration, LiesAboveTheButtonsAndTakesTheMouse) {
    PressCounter counter;
    Form1 form1(platform::qt::PictureFolder::besideProgram(), [&counter](QWidget& slot, auto&) {
        auto* decoration = new QWidget(&slot);
        decoration->setGeometry(slot.rect());
        decoration->installEventFilter(&counter);
    });
    form1.show();
    // The slot overlaps the number-list button's left edge; there the decoration is on top.
    const QPoint overlap(115, 300);
    ASSERT_TRUE(form1.findChild<PictureButton*>("Image3")->geometry().contains(overlap));
    EXPECT_TRUE(form1.decorationSlot()->isAncestorOf(form1.childAt(overlap)));
    QTest::mouseClick(form1.windowHandle(), Qt::LeftButton, {}, overlap);
    EXPECT_EQ(counter.presses, 1);
    EXPECT_EQ(form1.numberListDialog(), nullptr);
}

TEST(MainWindowPlacement, CentredOnTheScreenByItsOuterSize) {
    Form1 form1(platform::qt::PictureFolder::besideProgram());
    form1.show();
    const QRect screen = form1.screen()->geometry();
    const QRect outer = form1.frameGeometry();
    EXPECT_LE(std::abs(outer.center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(outer.center().y() - screen.center().y()), 1);
}

TEST(MainWindowDecoration, FactoryBuildsIntoTheSlotWithTheDecorationBytes) {
    QByteArray handed;
    QWidget* slot = nullptr;
    Form1 form1(platform::qt::PictureFolder::besideProgram(),
                [&](QWidget& s, const QByteArray& gif) {
                    slot = &s;
                    handed = gif;
                });
    EXPECT_EQ(slot, form1.decorationSlot());
    EXPECT_TRUE(handed.startsWith("GIF89a"));
}

}  // namespace
