// kavrilo-drill: runs practice commands from standard input and prints what the windows would show.
#include <iostream>
#include <string_view>

#include "drill.h"

namespace {

constexpr std::string_view kUsage =
    "usage: kavrilo-drill < COMMANDS\n"
    "       kavrilo-drill --help | --version\n"
    "\n"
    "Runs practice commands, one a line, from standard input and prints what the windows\n"
    "would show:\n"
    "  save TEXT    the number-list dialog's Save with TEXT in its text box\n"
    "  type TEXT    each character of TEXT as one keystroke into the answer box\n"
    "  key CODE     one keystroke by decimal character code (22 is Ctrl+V)\n"
    "  paste TEXT   TEXT pasted at the caret from the context menu\n"
    "  next         a click on the Next button\n"
    "  enter        Enter pressed in the answer box\n"
    "  show         prints the practice state on one line\n"
    "Empty lines and lines starting with \"#\" are skipped.\n"
    "\n"
    "Exit status: 0 success, 1 the output could not be written, 2 usage error.\n";

}  // namespace

int main(int argc, char** argv) {
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return std::cout.flush() ? 0 : 1;
        }
        if (arg == "--version") {
            std::cout << "kavrilo-drill " << KAVRILO_VERSION << '\n';
            return std::cout.flush() ? 0 : 1;
        }
        std::cerr << "kavrilo-drill: error: "
                  << (arg.starts_with("-") ? "unknown option \"" : "unexpected argument \"") << arg
                  << "\" (commands are read from standard input)\n"
                  << "Run \"kavrilo-drill --help\" for usage.\n";
        return 2;
    }
    std::ios::sync_with_stdio(false);
    drill::Drill drill(std::cout);
    drill.run(std::cin);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "kavrilo-drill: error: cannot write the output\n";
        return 1;
    }
    return 0;
}
