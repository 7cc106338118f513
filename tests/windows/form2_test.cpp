// The number-list dialog on its own: the checks, hiding and destroying.
#include "practice/windows/form2.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "modal_helpers.h"
#include "practice/windows/form1.h"

using testing_windows::answerNextBox;
using windows::Form1;
using windows::Form2;

namespace {

class NumberListDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        form1.show();
        form1.openNumberListDialog(false);
        dialog = form1.numberListDialog();
        ASSERT_NE(dialog, nullptr);
        text1 = dialog->findChild<QLineEdit*>("Text1");
        command1 = dialog->findChild<QPushButton*>("Command1");
        ASSERT_TRUE(text1 && command1);
    }
    void TearDown() override {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    Form1 form1{platform::qt::PictureFolder::besideProgram()};
    Form2* dialog = nullptr;
    QLineEdit* text1 = nullptr;
    QPushButton* command1 = nullptr;
};

TEST_F(NumberListDialogTest, HasItsControlsAndTexts) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Kavrilo"));
    EXPECT_EQ(dialog->size(), QSize(215, 114));
    EXPECT_EQ(dialog->findChild<QLabel*>("Label1")->text(), QStringLiteral("被分解的数："));
    EXPECT_EQ(dialog->findChild<QLabel*>("Label2")->text(),
              QStringLiteral("注：如果有多个数，请用逗号分开"));
    EXPECT_EQ(command1->text(), QStringLiteral("保存"));
    EXPECT_EQ(text1->geometry(), QRect(81, 13, 129, 25));
    EXPECT_EQ(command1->geometry(), QRect(67, 73, 75, 28));
    EXPECT_EQ(dialog->focusWidget(), text1);
}

TEST_F(NumberListDialogTest, RefusedTextsWarnFromTheDialogAndLeaveThePracticeAlone) {
    QTest::keyClicks(text1, QStringLiteral("4"));
    QTest::mouseClick(command1, Qt::LeftButton);
    ASSERT_EQ(form1.state().wholeNumber(), std::optional<int16_t>(4));
    form1.openNumberListDialog(false);

    struct Case {
        QString text;
        QString message;
    };
    const Case cases[] = {
        {QStringLiteral(",3"), QStringLiteral("您输入格式不正确，请重新输入")},
        {QStringLiteral(",a"), QStringLiteral("您输入格式不正确，请重新输入")},
        {QStringLiteral("3，a"), QStringLiteral("您输入了非法字符，请重新输入")},
        {QStringLiteral("，3"), QStringLiteral("您输入格式不正确，请重新输入")},
        {QStringLiteral("3 5"), QStringLiteral("您输入了非法字符，请重新输入")},
        {QStringLiteral("-3"), QStringLiteral("您输入了非法字符，请重新输入")},
    };
    for (const Case& c : cases) {
        text1->setText(c.text);
        auto seen = answerNextBox();
        QTest::keyClick(text1, Qt::Key_Return);
        EXPECT_EQ(seen->count, 1) << c.text.toStdString();
        EXPECT_EQ(seen->text, c.message) << c.text.toStdString();
        EXPECT_EQ(seen->title, QStringLiteral("输入错误"));
        EXPECT_EQ(seen->owner, dialog);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(text1->text(), QString());
        EXPECT_EQ(dialog->focusWidget(), text1);
    }
    EXPECT_EQ(form1.state().wholeNumber(), std::optional<int16_t>(4));
    EXPECT_EQ(form1.state().knownPart(), std::optional<int16_t>(1));
}

TEST_F(NumberListDialogTest, SaveHidesAndKeepsTextWhileTheCloseBoxDestroys) {
    QTest::keyClicks(text1, QStringLiteral("3,5,8"));
    QTest::keyClick(command1, Qt::Key_Return);  // Enter on the button saves too, once
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(form1.state().wholeNumber(), std::optional<int16_t>(3));
    EXPECT_EQ(form1.state().listPosition(), 0);

    form1.openNumberListDialog(false);
    EXPECT_EQ(form1.numberListDialog(), dialog);
    EXPECT_EQ(text1->text(), QStringLiteral("3,5,8"));

    dialog->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form1.numberListDialog(), nullptr);
    form1.openNumberListDialog(false);
    ASSERT_NE(form1.numberListDialog(), nullptr);
    EXPECT_EQ(form1.numberListDialog()->findChild<QLineEdit*>("Text1")->text(), QString());
    EXPECT_EQ(form1.state().wholeNumber(), std::optional<int16_t>(3));
}

TEST_F(NumberListDialogTest, EscapeDoesNotDismissIt) {
    QTest::keyClick(text1, Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
}

}  // namespace
