// GUI tests run the real widgets on the offscreen platform, with Qt's Chinese translation as
// the program loads it.
#include <gtest/gtest.h>

#include <QApplication>

#include "platform/qt/chinese_ui.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    platform::qt::installChineseTranslation(app);
    QApplication::setFont(platform::qt::heiFont(9));
    return RUN_ALL_TESTS();
}
