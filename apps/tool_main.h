#pragma once
// What the command-line tools share: their two kinds of failure, the error line they print and
// their exit statuses (0 success, 1 the work failed, 2 usage error), and the --help and
// --version answers, which come before any other option is looked at.
#include <iostream>
#include <new>
#include <stdexcept>
#include <string_view>

namespace tool {

// The command line is wrong (exit status 2); nothing has been read or written.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The work failed (exit status 1).
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Answers --help (or -h) with `usage` and --version with the project version, exit 0; otherwise
// runs `body`, which returns the exit status, and reports what it throws as `PROGRAM: error:
// WHAT` on standard error.
template <typename Body>
int runMain(std::string_view program, std::string_view usage, int argc, char** argv, Body&& body) {
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") {
            std::cout << usage;
            return std::cout.flush() ? 0 : 1;
        }
        if (arg == "--version") {
            std::cout << program << ' ' << KAVRILO_VERSION << '\n';
            return std::cout.flush() ? 0 : 1;
        }
    }
    auto error = [&](std::string_view what, int status) {
        std::cerr << program << ": error: " << what << '\n';
        if (status == 2) std::cerr << "Run \"" << program << " --help\" for usage.\n";
        return status;
    };
    try {
        return body();
    } catch (const UsageError& e) {
        return error(e.what(), 2);
    } catch (const std::bad_alloc&) {
        return error("out of memory", 1);
    } catch (const std::exception& e) {
        return error(e.what(), 1);
    }
}

}  // namespace tool
