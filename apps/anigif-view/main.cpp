// anigif-view [FILE.gif | ADDRESS]...: plays GIFs on the animated-GIF control and lets its
// properties be changed while it plays.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>
#include <limits>

#include "apps/anigif-view/viewer_window.h"
#include "platform/qt/command_line.h"

int main(int argc, char** argv) {
    platform::qt::CommandLine commandLine(
        QStringLiteral("anigif-view"), QString::fromUtf8(KAVRILO_VERSION),
        QStringLiteral("Plays GIFs on the animated-GIF control and lets its properties be "
                       "changed while it plays."));
    commandLine.parser().addPositionalArgument(
        QStringLiteral("file"),
        QStringLiteral("GIF files or addresses to download; Page Up and Page Down walk them "
                       "(one file: the other GIFs of its folder)."),
        QStringLiteral("[FILE.gif | ADDRESS]..."));
    commandLine.setMaxPositional(std::numeric_limits<int>::max());
    if (const auto status = commandLine.answerBeforeApplication(argc, argv)) return *status;
    QApplication app(argc, argv);
    if (const auto status = commandLine.parseApplicationArguments()) return *status;
    QApplication::setApplicationName(QStringLiteral("anigif-view"));
    // The viewer's texts, and Qt's own (dialog buttons), in the system's language.
    QTranslator qtTexts, viewerTexts;
    const QLocale locale;
    if (qtTexts.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    if (viewerTexts.load(locale, QStringLiteral("anigif-view"), QStringLiteral("_"),
                         QStringLiteral(":/i18n")))
        QApplication::installTranslator(&viewerTexts);
    viewer::ViewerWindow window;
    window.show();
    window.openFiles(commandLine.parser().positionalArguments());
    return QApplication::exec();
}
