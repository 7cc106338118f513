#include "practice/windows/form2.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/qt/warning_box.h"
#include "practice/number_reading.h"
#include "practice/windows/accessibility.h"
#include "practice/windows/window_placement.h"

namespace windows {

namespace {
bool isEnterKey(const QKeyEvent& event) {
    return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}
}  // namespace

Form2::Form2(practice::PracticeState& state, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      state_(state) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Kavrilo"));
    setFixedSize(215, 114);
    setSizeGripEnabled(false);

    auto* label1 = new QLabel(QStringLiteral("被分解的数："), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(8, 18, 81, 25);
    label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    text1_ = new QLineEdit(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setGeometry(81, 13, 129, 25);
    text1_->installEventFilter(this);

    command1_ = new QPushButton(QStringLiteral("保存"), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(67, 73, 75, 28);
    command1_->setAutoDefault(false);  // Enter is the dialog's own, see keyPressEvent
    command1_->setDefault(false);
    command1_->installEventFilter(this);
    connect(command1_, &QPushButton::clicked, this, &Form2::save);

    auto* label2 = new QLabel(QStringLiteral("注：如果有多个数，请用逗号分开"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setGeometry(11, 51, 209, 17);
    label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    describe(*this, windowTitle(), QStringLiteral("设置要分解的数"));
    describe(*label1, QString(), QStringLiteral("输入框的说明"));  // named by its text
    describe(*text1_, QStringLiteral("被分解的数"),
             QStringLiteral("输入一个数，或者用逗号分开的几个数，按回车保存"));
    describe(*command1_, QStringLiteral("保存"), QStringLiteral("保存这些数并开始练习"));
    describe(*label2, QString(), QStringLiteral("填写说明"));

    setTabOrder(text1_, command1_);
    text1_->setFocus();
}

bool Form2::save() {
    // Full-width digits and commas, and spaces around the entries, as an input method types
    // them; the box keeps the text as the teacher typed it.
    const std::string text = practice::normaliseNumberList(text1_->text().toStdString());
    const practice::NumberListVerdict verdict = practice::checkNumberList(text);
    if (!verdict.accepted) {
        platform::qt::showWarningBox(this, QString::fromStdString(verdict.title),
                                     QString::fromStdString(verdict.message));
        text1_->setFocus();
        text1_->clear();
        return false;
    }
    hide();  // a modal showing ends here
    state_.applyNumberList(text);
    return true;
}

void Form2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen(*this);
    }
    text1_->setFocus();
}

void Form2::closeEvent(QCloseEvent* event) {
    // The close box destroys the dialog; the next showing starts afresh with an empty text.
    event->accept();
    deleteLater();
}

void Form2::keyPressEvent(QKeyEvent* event) {
    if (isEnterKey(*event)) {
        save();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    // The dialog sees key presses before its controls: Enter anywhere saves.
    if (event->type() == QEvent::KeyPress && (watched == text1_ || watched == command1_) &&
        isEnterKey(*static_cast<QKeyEvent*>(event))) {
        save();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace windows
