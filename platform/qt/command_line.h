#pragma once
// The command line of a windowed program, read with Qt's parser in two steps so that --help and
// --version work where there is no display, and Qt's own options (-platform, -style, ...) still
// reach the application object.
#include <QCommandLineParser>
#include <QString>
#include <optional>

namespace platform::qt {

class CommandLine {
  public:
    // program: the name errors start with; version: what --version prints after it;
    // description: the first lines of --help.
    CommandLine(const QString& program, const QString& version, const QString& description);

    QCommandLineParser& parser() { return parser_; }
    // Positional arguments beyond this count are a usage error.
    void setMaxPositional(int count) { maxPositional_ = count; }

    // Call before the application object exists. Answers --help (usage on standard output) and
    // --version, and reports a wrong command line (as below), and returns the exit status when
    // the program should end now; nothing otherwise. Makes and drops a QCoreApplication of its
    // own, which needs no display. Qt's documented GUI options (-platform, -style, ...) are
    // accepted and left for the application object.
    std::optional<int> answerBeforeApplication(int& argc, char** argv);

    // Call once the application object exists (it has taken Qt's options out of the
    // arguments) and before any window: an unknown option or a stray argument prints
    // "PROGRAM: error: WHAT" on standard error and gives exit status 2.
    std::optional<int> parseApplicationArguments();

  private:
    std::optional<int> usageError(bool parsed);

    QString program_;
    QString version_;
    QCommandLineParser parser_;
    int maxPositional_ = 0;
};

}  // namespace platform::qt
