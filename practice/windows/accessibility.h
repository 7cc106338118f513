#pragma once
// What screen readers learn about the windows' controls: Chinese names and descriptions, picture
// buttons presented as buttons, and pictures that only decorate kept out of the way.
#include <QString>

class QWidget;

namespace windows {

// Sets the accessible name and description of `widget`.
void describe(QWidget& widget, const QString& name, const QString& description);

// Marks `widget` (and everything inside it) as decoration: it is reported as an invisible
// graphic without a name or children, so screen readers pass over it.
void markDecorative(QWidget& widget);

// Installs, once, the accessibility factory that presents picture buttons as push buttons (with
// a press action and a disabled state while they take no input) and decorative widgets as above.
void installAccessibilityFactory();

}  // namespace windows
