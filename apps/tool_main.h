#pragma once
// What the command-line tools share: their two kinds of failure, the error line they print and
// their exit statuses (0 success, 1 the work failed, 2 usage error), and the --help and
// --version answers, which come before any other option is looked at.
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>
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

// `text` as a whole number from `low` to `high`, the value of `option`; anything else is a usage
// error naming the option, the range and the text.
inline int32_t wholeNumber(std::string_view option, std::string_view text, int64_t low,
                           int64_t high) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    if (r.ec != std::errc{} || r.ptr != end || value < low || value > high)
        throw UsageError(std::string(option) + " takes a whole number from " + std::to_string(low) +
                         " to " + std::to_string(high) + ", not \"" + std::string(text) + "\"");
    return static_cast<int32_t>(value);
}

// Why `file` cannot be a GIF the control loads, in the words every tool uses; empty when nothing
// is wrong with it from outside (then the GIF itself holds no frame that loads).
inline std::string fileProblem(const std::filesystem::path& file, std::uintmax_t mostBytes) {
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (ec && ec.value() == ELOOP) return "a loop of symbolic links";
    if (!std::filesystem::exists(status)) return "no such file";
    if (!std::filesystem::is_regular_file(status)) return "not a regular file";
    const auto size = std::filesystem::file_size(file, ec);
    if (ec) return ec.message();
    if (size == 0) return "the file is empty";
    if (size > mostBytes) return "larger than the memory budget";
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::strerror(errno);
    char head[6] = {};
    in.read(head, sizeof head);
    std::string sig(head, static_cast<size_t>(in.gcount()));
    for (char& c : sig) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (sig != "GIF87A" && sig != "GIF89A") return "not a GIF picture";
    return {};
}

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
        const int status = body();
        // Output that never reached its reader is a failure, whatever the work did.
        if (!std::cout.flush()) return error("cannot write to standard output", 1);
        return status;
    } catch (const UsageError& e) {
        return error(e.what(), 2);
    } catch (const std::bad_alloc&) {
        return error("out of memory", 1);
    } catch (const std::exception& e) {
        return error(e.what(), 1);
    }
}

}  // namespace tool
