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
    parser_.addHelpOption();
    parser_.addVersionOption();
}

std::optional<int> CommandLine::answerBeforeApplication(int& argc, char** argv) {
    QCoreApplication probe(argc, argv);
    QCoreApplication::setApplicationName(program_);
    QCoreApplication::setApplicationVersion(version_);
    // Qt's own options are unknown to this parser here; only help and version matter now.
    parser_.parse(QCoreApplication::arguments());
    if (parser_.isSet(QStringLiteral("help"))) {
        print(stdout, parser_.helpText());
        return 0;
    }
    if (parser_.isSet(QStringLiteral("version"))) {
        print(stdout, program_ + QLatin1Char(' ') + version_ + QLatin1Char('\n'));
        return 0;
    }
    return std::nullopt;
}

std::optional<int> CommandLine::parseApplicationArguments() {
    QString problem;
    if (!parser_.parse(QCoreApplication::arguments()))
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
