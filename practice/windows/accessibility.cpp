#include "practice/windows/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

#include "practice/windows/picture_button.h"

namespace windows {

namespace {

constexpr char kDecorative[] = "kavriloDecorative";

bool isDecorative(const QWidget* widget) {
    for (const QWidget* w = widget; w && !w->isWindow(); w = w->parentWidget()) {
        if (w->property(kDecorative).toBool()) return true;
    }
    return false;
}

class PictureButtonInterface : public QAccessibleWidget {
  public:
    explicit PictureButtonInterface(PictureButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.disabled = !button()->takesInput();
        return s;
    }
    QStringList actionNames() const override {
        return button()->takesInput() ? QStringList{pressAction()} : QStringList{};
    }
    void doAction(const QString& action) override {
        if (action == pressAction() && button()->takesInput()) emit button()->clicked();
    }

  private:
    PictureButton* button() const { return static_cast<PictureButton*>(widget()); }
};

class DecorationInterface : public QAccessibleWidget {
  public:
    explicit DecorationInterface(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::Graphic) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        s.focusable = false;
        return s;
    }
    QString text(QAccessible::Text) const override { return {}; }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) return nullptr;
    if (isDecorative(widget)) return new DecorationInterface(widget);
    if (auto* button = qobject_cast<PictureButton*>(widget))
        return new PictureButtonInterface(button);
    return nullptr;
}

}  // namespace

void describe(QWidget& widget, const QString& name, const QString& description) {
    // Each change is announced to screen readers: announce only real ones.
    if (widget.accessibleName() != name) widget.setAccessibleName(name);
    if (widget.accessibleDescription() != description) widget.setAccessibleDescription(description);
}

void markDecorative(QWidget& widget) {
    installAccessibilityFactory();
    widget.setProperty(kDecorative, true);
    widget.setAccessibleName(QString());
    widget.setAccessibleDescription(QString());
}

void installAccessibilityFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

}  // namespace windows
