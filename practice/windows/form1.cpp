#include "practice/windows/form1.h"

#include <QCloseEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QWindow>

#include "platform/qt/chinese_ui.h"
#include "platform/qt/warning_box.h"
#include "practice/windows/accessibility.h"
#include "practice/windows/form2.h"
#include "practice/windows/form3.h"
#include "practice/windows/picture_button.h"
#include "practice/windows/window_placement.h"

namespace windows {

namespace {
constexpr int kBackspace = 8;
constexpr int kEnter = 13;

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString numberText(const std::optional<int16_t>& n) {
    return n ? QString::number(*n) : QString();
}

// Numbers up to 32767 and long answers fit their boxes: the text shrinks from the box's own
// size until it fits `width` pixels (no smaller than 6 points; beyond that the answer box
// scrolls as usual).
QFont fittingFont(qreal points, const QString& text, int width) {
    QFont font = platform::qt::heiFont(points);
    while (points > 6 && QFontMetricsF(font).horizontalAdvance(text) > width) {
        points -= 0.25;
        font.setPointSizeF(points);
    }
    return font;
}

// The room for text inside each box: its width less the border and the box's own margins.
constexpr int kLabel1Room = 81 - 6;
constexpr int kLabel3Room = 65 - 6;
constexpr int kText3Room = 73 - 10;
constexpr qreal kLabel1Points = 26.25;
constexpr qreal kBoxPoints = 18;

bool isEnterKey(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Caret movement, selection and deletion. They type no character, whatever text the window
// system attaches to them: X11 sends Delete with "\x7f", Ctrl+A with "\x01", Ctrl+Backspace
// with "\b".
bool isEditingKey(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Delete:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Insert:
            return true;
        case Qt::Key_Backspace:  // a plain Backspace is the character 8; with Ctrl it deletes words
            return (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier)) != 0;
        default:
            return event.matches(QKeySequence::SelectAll);
    }
}

// The character code a keystroke types, or -1 when it types no character (editing keys,
// function keys, lone modifiers): those reach the box without passing the filter.
int characterCode(const QKeyEvent& event) {
    const int key = event.key();
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return -1;  // focus keys, not characters
    if (isEditingKey(event)) return -1;
    if (key == Qt::Key_Backspace) return kBackspace;
    if (isEnterKey(key)) return kEnter;
    if (key == Qt::Key_Escape) return 27;
    if ((event.modifiers() & Qt::ControlModifier) && key >= Qt::Key_A && key <= Qt::Key_Z) {
        return key - Qt::Key_A + 1;  // Ctrl+A is 1 ... Ctrl+V is 22
    }
    const QList<uint> chars = event.text().toUcs4();
    if (chars.isEmpty() || chars.front() == 0) return -1;
    return int(chars.front());
}
}  // namespace

Form1::Form1(platform::qt::PictureFolder pictures, DecorationFactory decoration,
             platform::qt::LinkOpener opener)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      pictures_(std::move(pictures)),
      opener_(std::move(opener)),
      state_(*this) {
    installAccessibilityFactory();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kavrilo - Morvane"));
    setFixedSize(468, 347);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::WindowText, Qt::black);
    colours.setColor(QPalette::ButtonText, Qt::black);
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Text, Qt::black);
    setPalette(colours);
    // A pixmap icon: a QIcon made from a file name costs the start a few milliseconds.
    setWindowIcon(QIcon(pictures_.picture(QStringLiteral("kavrilo.png"))));

    buildControls();

    // Opening: background, the buttons' normal pictures, the decoration's GIF, the hint.
    loadPictures();
    const QByteArray fcGif = pictures_.bytes(QStringLiteral("fc.gif"));
    if (decoration) decoration(*decorationSlot_, fcGif);
    state_.setTitleText("请先设置要分解数字");
    redraw();
    text3_->setFocus();
}

Form1::~Form1() {
    // The discover window has no parent (this window hides while it shows); end it with us.
    delete form3_.data();
}

Form2* Form1::numberListDialog() const {
    return form2_.data();
}

Form3* Form1::discoverWindow() const {
    return form3_.data();
}

void Form1::buildControls() {
    // Creation order is stacking order: the answer box lies over the mark picture, the
    // buttons over both, and the decoration over everything.
    label2_ = new QLabel(this);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setGeometry(0, 28, 293, 41);
    label2_->setFont(platform::qt::heiFont(15.75));
    label2_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label2_->setWordWrap(true);

    auto boxLabel = [this](const char* name, QRect geometry, qreal points) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->setGeometry(geometry);
        label->setFont(platform::qt::heiFont(points));
        label->setAlignment(Qt::AlignCenter);
        label->setFrameShape(QFrame::Box);
        label->setFrameShadow(QFrame::Plain);
        label->setLineWidth(1);
        label->setAutoFillBackground(true);
        return label;
    };
    label1_ = boxLabel("Label1", QRect(97, 67, 81, 41), 26.25);
    label3_ = boxLabel("Label3", QRect(50, 177, 65, 33), 18);

    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(192, 190, 120, 100);
    image1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image1_->setAttribute(Qt::WA_TransparentForMouseEvents);

    text3_ = new QLineEdit(this);
    text3_->setObjectName(QStringLiteral("Text3"));
    text3_->setGeometry(165, 178, 73, 33);
    text3_->setFont(platform::qt::heiFont(18));
    text3_->setAlignment(Qt::AlignCenter);
    text3_->setStyleSheet(QStringLiteral(
        "QLineEdit { border: 1px solid black; background: white; color: black; padding: 0px; }"));
    text3_->setContextMenuPolicy(Qt::DefaultContextMenu);
    text3_->installEventFilter(this);
    connect(text3_, &QLineEdit::textChanged, this, [this](const QString& text) {
        text3_->setFont(fittingFont(kBoxPoints, text, kText3Room));
        state_.setAnswerText(text.toStdString());
    });

    auto button = [this](const char* name, QRect geometry, const char* normal,
                         const char* pressed) {
        auto* b = new PictureButton(pictures_, QString::fromLatin1(normal),
                                    QString::fromLatin1(pressed), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(geometry);
        return b;
    };
    image2_ = button("Image2", QRect(89, 214, 80, 32), "b1.gif", "b2.gif");
    image3_ = button("Image3", QRect(111, 283, 70, 34), "b3.gif", "b4.gif");
    image4_ = button("Image4", QRect(210, 282, 82, 36), "b5.gif", "b6.gif");
    image5_ = button("Image5", QRect(309, 282, 86, 36), "b7.gif", "b8.gif");
    image2_->setToolTip(QStringLiteral("下一题（回车）"));
    image3_->setToolTip(QStringLiteral("设置要分解的数"));
    connect(image2_, &PictureButton::clicked, this, [this] { state_.nextPressed(); });
    connect(image3_, &PictureButton::clicked, this, [this] { openNumberListDialog(true); });
    connect(image4_, &PictureButton::clicked, this, &Form1::openDiscoverWindow);
    connect(image5_, &PictureButton::clicked, this, &QWidget::close);

    decorationSlot_ = new QWidget(this);
    decorationSlot_->setObjectName(QStringLiteral("ucAniGIF1"));
    decorationSlot_->setGeometry(-25, 252, 144, 144);
    // The decoration lies over everything and every point of it is its own: it takes the
    // mouse (and shows its cursor) even where it overlaps the number-list button.

    describeControls();
}

void Form1::describeControls() {
    describe(*this, windowTitle(), QStringLiteral("数的分解练习：把上面的数分成两部分"));
    describe(*label2_, QString(), QStringLiteral("练习提示"));  // the name is the text shown
    describe(*text3_, QStringLiteral("答案"),
             QStringLiteral("填写另一部分，输入后马上判断对错；答对后按回车进入下一题"));
    describe(*image2_, QStringLiteral("下一题"),
             QStringLiteral("答对后进入下一题，也可以按回车键"));
    describe(*image3_, QStringLiteral("出题"), QStringLiteral("设置要分解的数"));
    describe(*image4_, QStringLiteral("发现"), QStringLiteral("打开发现窗口"));
    describe(*image5_, QStringLiteral("退出"), QStringLiteral("退出程序"));
    markDecorative(*decorationSlot_);
    // The number boxes' names carry what they hold; drawFields keeps them current.
}

void Form1::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    if (!background_.isNull()) painter.drawPixmap(0, 0, background_);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.drawLine(124, 105, 92, 177);   // Line1, to the known part
    painter.drawLine(152, 107, 200, 179);  // Line2, to the answer
    painter.setPen(QPen(QColor(64, 64, 64), 1));
    painter.drawLine(-2, 281, 470, 281);  // Line4
    painter.setPen(QPen(QColor(255, 255, 255), 1));
    painter.drawLine(0, 282, 472, 282);  // Line3
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen(*this);
        // Pictures are drawn for the pixel density of the screen the window is on.
        if (QWindow* window = windowHandle()) {
            connect(window, &QWindow::screenChanged, this, &Form1::reloadPictures);
        }
    }
    text3_->setFocus();
}

void Form1::loadPictures() {
    background_ = pictures_.picture(QStringLiteral("bj3.jpg"), devicePixelRatioF());
    for (PictureButton* button : {image2_, image3_, image4_, image5_}) button->showNormalPicture();
}

void Form1::reloadPictures() {
    loadPictures();
    drawFields();
    update();
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    if (form2_) form2_->hide();
    emit closed();
}

void Form1::keyReleaseEvent(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    state_.keyReleased(isEnterKey(event->key()) ? kEnter : event->key());
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched != text3_) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::KeyPress:
            return filterKeystroke(static_cast<QKeyEvent*>(event));
        case QEvent::InputMethod: {
            // Composition (preedit) is the box's own to show; only committed text is typed.
            auto* im = static_cast<QInputMethodEvent*>(event);
            if (im->commitString().isEmpty()) return false;
            filterCommittedText(im->commitString());
            if (!im->preeditString().isEmpty()) {  // a new composition begun with the commit
                QInputMethodEvent next(im->preeditString(), im->attributes());
                QCoreApplication::sendEvent(text3_, &next);
            }
            return true;
        }
        case QEvent::KeyRelease: {
            // The window sees key releases before the box does.
            auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat())
                state_.keyReleased(isEnterKey(key->key()) ? kEnter : key->key());
            return true;
        }
        default:
            return false;
    }
}

bool Form1::filterKeystroke(QKeyEvent* event) {
    const int code = characterCode(*event);
    if (code < 0) return false;
    const int returned = state_.filterAnswerKey(code);
    if (returned == code) return false;  // the box processes the keystroke itself
    applyReplacementCode(returned);
    return true;
}

void Form1::filterCommittedText(const QString& text) {
    // The commit ends the composition: clear the preedit first, so nothing of it stays drawn
    // while a warning shows or after the text is refused.
    QInputMethodEvent endComposition;
    QCoreApplication::sendEvent(text3_, &endComposition);
    // Text from an input method goes through the filter one character at a time.
    for (uint c : text.toUcs4()) {
        const int returned = state_.filterAnswerKey(int(c));
        applyReplacementCode(returned);
    }
}

void Form1::applyReplacementCode(int code) {
    if (code == kBackspace) {
        text3_->backspace();
    } else if (code >= 32 && code <= 0x10FFFF) {
        const char32_t c = char32_t(code);
        text3_->insert(QString::fromUcs4(&c, 1));
    }
}

void Form1::showWarning(const std::string& message, const std::string& title) {
    platform::qt::showWarningBox(this, fromUtf8(title), fromUtf8(message));
}

void Form1::focusAnswer() {
    // While hidden (the discover window is open) the focus returns when the window shows.
    if (!isVisible()) return;
    text3_->setFocus();
}

void Form1::openNumberListDialog(bool modal) {
    if (form2_ && form2_->isVisible()) {
        form2_->raise();
        form2_->activateWindow();
        return;
    }
    if (!form2_) form2_ = new Form2(state_, this);  // owned by this window
    if (modal) {
        form2_->exec();
        // The keyboard comes back to this window: a window manager without focus handling of
        // its own (twm) leaves it nowhere when the dialog goes, and the child's answer is lost.
        if (isVisible()) {
            activateWindow();
            text3_->setFocus();
        }
    } else {
        form2_->show();
        form2_->raise();
        form2_->activateWindow();
    }
}

void Form1::redraw() {
    // Drawing the answer box can feed a change back into the state; draw again until it settles.
    if (drawing_) {
        redrawAgain_ = true;
        return;
    }
    drawing_ = true;
    do {
        redrawAgain_ = false;
        drawFields();
    } while (redrawAgain_);
    drawing_ = false;
}

void Form1::drawFields() {
    label2_->setText(fromUtf8(state_.titleText()));
    const QString whole = numberText(state_.wholeNumber());
    const QString known = numberText(state_.knownPart());
    label1_->setText(whole);
    label3_->setText(known);
    label1_->setFont(fittingFont(kLabel1Points, whole, kLabel1Room));
    label3_->setFont(fittingFont(kBoxPoints, known, kLabel3Room));
    const QString unset = QStringLiteral("还没有设置");
    describe(*label1_, QStringLiteral("被分解的数：") + (whole.isEmpty() ? unset : whole),
             QStringLiteral("要分成两部分的数"));
    describe(*label3_, QStringLiteral("已知的部分：") + (known.isEmpty() ? unset : known),
             QStringLiteral("分出来的一部分，另一部分填在答案框里"));
    const QString answer = fromUtf8(state_.answerText());
    if (text3_->text() != answer) text3_->setText(answer);
    // The mark is read from disk each time it is drawn.
    QString markName;
    switch (state_.mark()) {
        case practice::Mark::None:
            image1_->clear();
            markName = QStringLiteral("还没有答案");
            break;
        case practice::Mark::Correct:
            image1_->setPixmap(
                pictures_.picture(QStringLiteral("dui.gif"), image1_->devicePixelRatioF()));
            markName = QStringLiteral("答对了");
            break;
        case practice::Mark::Wrong:
            image1_->setPixmap(
                pictures_.picture(QStringLiteral("cha.gif"), image1_->devicePixelRatioF()));
            markName = QStringLiteral("答错了");
            break;
    }
    describe(*image1_, markName, QStringLiteral("答案对不对的标记"));
    image2_->setTakesInput(state_.nextEnabled());
}

void Form1::bringToFront() {
    QWidget* front = form3_ ? static_cast<QWidget*>(form3_.data()) : this;
    // Un-minimising maps the window again; raising alone leaves an iconified window hidden.
    front->setWindowState(front->windowState() & ~Qt::WindowMinimized);
    front->show();
    front->raise();
    front->activateWindow();
    if (front == this && form2_ && form2_->isVisible()) {
        form2_->raise();
        form2_->activateWindow();
    }
}

void Form1::openDiscoverWindow() {
    hide();
    if (!form3_) {
        form3_ = new Form3(pictures_, opener_);  // deletes itself when closed
        connect(form3_, &QObject::destroyed, this, [this] {
            show();
            activateWindow();
            text3_->setFocus();
        });
    }
    form3_->show();
    form3_->raise();
    form3_->activateWindow();
}

}  // namespace windows
