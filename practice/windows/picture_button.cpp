#include "practice/windows/picture_button.h"

#include <QMouseEvent>

namespace windows {

PictureButton::PictureButton(const platform::qt::PictureFolder& pictures, QString normalFile,
                             QString pressedFile, QWidget* parent)
    : QLabel(parent),
      pictures_(pictures),
      normalFile_(std::move(normalFile)),
      pressedFile_(std::move(pressedFile)) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void PictureButton::showNormalPicture() {
    setPixmap(pictures_.picture(normalFile_, devicePixelRatioF()));
}

void PictureButton::showPressedPicture() {
    setPixmap(pictures_.picture(pressedFile_, devicePixelRatioF()));
}

void PictureButton::setTakesInput(bool takes) {
    if (takes == takesInput_) return;
    takesInput_ = takes;
    leftHeld_ = false;
    // Mouse events pass through to the window beneath, as if the button were not there.
    setAttribute(Qt::WA_TransparentForMouseEvents, !takes);
    setCursor(takes ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void PictureButton::mousePressEvent(QMouseEvent* event) {
    if (!takesInput_) return;
    if (event->button() == Qt::LeftButton) leftHeld_ = true;
    showPressedPicture();
    event->accept();
}

void PictureButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press like any other.
    mousePressEvent(event);
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event) {
    if (!takesInput_) return;
    event->accept();
    showNormalPicture();
    if (event->button() != Qt::LeftButton || !leftHeld_) return;
    leftHeld_ = false;
    if (rect().contains(event->position().toPoint())) emit clicked();
}

}  // namespace windows
