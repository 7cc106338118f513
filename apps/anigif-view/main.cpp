// anigif-view [FILE.gif | ADDRESS]: plays a GIF on the animated-GIF control and lets its
// properties be changed while it plays.
#include <QApplication>
#include <QStringList>

#include "apps/anigif-view/viewer_window.h"
#include "platform/qt/command_line.h"

int main(int argc, char** argv) {
    platform::qt::CommandLine commandLine(
        QStringLiteral("anigif-view"), QString::fromUtf8(KAVRILO_VERSION),
        QStringLiteral("Plays a GIF on the animated-GIF control and lets its properties be "
                       "changed while it plays."));
    commandLine.parser().addPositionalArgument(
        QStringLiteral("file"), QStringLiteral("A GIF file or an address to download."),
        QStringLiteral("[FILE.gif | ADDRESS]"));
    commandLine.setMaxPositional(1);
    if (const auto status = commandLine.answerBeforeApplication(argc, argv)) return *status;
    QApplication app(argc, argv);
    if (const auto status = commandLine.parseApplicationArguments()) return *status;
    QApplication::setApplicationName(QStringLiteral("anigif-view"));
    viewer::ViewerWindow window;
    window.show();
    const QStringList files = commandLine.parser().positionalArguments();
    if (!files.isEmpty()) window.open(files.first());
    return QApplication::exec();
}
