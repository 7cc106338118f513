#pragma once
// Chinese text on screen: fonts standing in for the Hei and Song faces, and Qt's own
// translation so standard buttons read in Chinese.
#include <QFont>

class QCoreApplication;

namespace platform::qt {

// A sans-serif (Hei) face with Simplified Chinese shapes, normal weight.
QFont heiFont(qreal pointSize);
// A serif (Song) face with Simplified Chinese shapes, normal weight.
QFont songFont(qreal pointSize);

// Installs qtbase_zh_CN from Qt's translations folder into `app`; false when it is missing.
bool installChineseTranslation(QCoreApplication& app);

}  // namespace platform::qt
