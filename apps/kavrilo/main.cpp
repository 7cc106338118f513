// Kavrilo: number-decomposition practice for kindergarten children.
#include <QApplication>

#include "decoration.h"
#include "display_check.h"
#include "platform/qt/chinese_ui.h"
#include "platform/qt/command_line.h"
#include "platform/qt/picture_folder.h"
#include "platform/qt/single_instance.h"
#include "practice/windows/form1.h"

int main(int argc, char** argv) {
    platform::qt::CommandLine commandLine(
        QStringLiteral("kavrilo"), QString::fromUtf8(KAVRILO_VERSION),
        QStringLiteral("Number-decomposition practice for kindergarten children."));
    if (const auto status = commandLine.answerBeforeApplication(argc, argv)) return *status;
    // Without a display Qt would abort with its own message; say what is wrong, in both tongues.
    if (!display::windowSystemAvailable(argc, argv)) {
        display::reportNoDisplay("kavrilo");
        return 1;
    }
    QApplication app(argc, argv);
    if (const auto status = commandLine.parseApplicationArguments()) return *status;
    QApplication::setApplicationName(QStringLiteral("kavrilo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kavrilo"));

    // A second copy ends at once and quietly; the running one comes to the front.
    platform::qt::SingleInstance instance(QStringLiteral("kavrilo"));
    if (!instance.isPrimary()) {
        instance.notifyPrimary();
        return 0;
    }

    platform::qt::installChineseTranslation(app);
    QApplication::setFont(platform::qt::heiFont(9));
    // The program ends when the main window closes, whatever other window is hidden or shown.
    QApplication::setQuitOnLastWindowClosed(false);

    windows::Form1 form1(platform::qt::PictureFolder::besideProgram(),
                         decoration::createDecoration);
    QObject::connect(&form1, &windows::Form1::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&instance, &platform::qt::SingleInstance::activationRequested, &form1,
                     [&form1] { form1.bringToFront(); });
    form1.show();
    return QApplication::exec();
}
