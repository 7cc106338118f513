#include "platform/qt/command_line.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace platform::qt {

namespace {

void print(std::FILE* to, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
    std::fflush(to);
}

}  // namespace

CommandLine::CommandLine(const QString& program, const QString& version, const QString& description)
    : program_(program), version_(version) {
    parser_.setApplicationDescription(description);
    // Qt's own options are single-dash words (-platform, -style); read them as such.
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser_.addHelpOption();
    parser_.addVersionOption();
    // The options QGuiApplication and QApplication take themselves, known here so that the
    // first parse, made before any display is needed, can tell a wrong option from theirs.
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
          "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display", "geometry",
          "style", "stylesheet", "name", "title", "icon", "visual", "ncols", "cmap"}) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser_.addOption(option);
    }
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser_.addOption(option);
    }
}

std::optional<int> CommandLine::answerBeforeApplication(int& argc, char** argv) {
    QCoreApplication probe(argc, argv);
    QCoreApplication::setApplicationName(program_);
    QCoreApplication::setApplicationVersion(version_);
    const bool parsed = parser_.parse(QCoreApplication::arguments());
    if (parser_.isSet(QStringLiteral("help"))) {
        print(stdout, parser_.helpText());
        return 0;
    }
    if (parser_.isSet(QStringLiteral("version"))) {
        print(stdout, program_ + QLatin1Char(' ') + version_ + QLatin1Char('\n'));
        return 0;
    }
    // A wrong command line is reported here too, so that it needs no display either.
    return usageError(parsed);
}

std::optional<int> CommandLine::parseApplicationArguments() {
    return usageError(parser_.parse(QCoreApplication::arguments()));
}

std::optional<int> CommandLine::usageError(bool parsed) {
    QString problem;
    if (!parsed)
        problem = parser_.errorText();
    else if (parser_.positionalArguments().size() > maxPositional_)
        problem = QStringLiteral("unexpected argument \"%1\"")
                      .arg(parser_.positionalArguments().at(maxPositional_));
    if (problem.isEmpty()) return std::nullopt;
    print(stderr, program_ + QStringLiteral(": error: ") + problem + QLatin1Char('\n') +
                      QStringLiteral("Run \"%1 --help\" for usage.\n").arg(program_));
    return 2;
}

}  // namespace platform::qt
