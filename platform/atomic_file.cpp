#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <system_error>

namespace platform {

namespace {

[[noreturn]] void fail(const std::filesystem::path& path, const std::string& why) {
    throw FileWriteError("cannot write " + path.string() + ": " + why);
}

[[noreturn]] void failErrno(const std::filesystem::path& path, int error) {
    fail(path, std::strerror(error));
}

// Removes the temporary file unless the write got as far as the rename.
struct TempFile {
    std::filesystem::path path;
    int fd = -1;
    bool keep = false;
    ~TempFile() {
        if (fd >= 0) ::close(fd);
        if (!keep && !path.empty()) ::unlink(path.c_str());
    }
};

std::string uniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(static_cast<unsigned long long>(now) % 1000000007ULL);
}

void syncFolder(const std::filesystem::path& folder) {
    // Makes the rename itself durable; a file system that cannot sync folders is no failure.
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void writeFileAtomically(const std::filesystem::path& target, std::span<const uint8_t> bytes) {
    std::filesystem::path path = target;
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const auto resolved = std::filesystem::weakly_canonical(path, ec);
        if (!ec) path = resolved;
    }
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) fail(target, "it is not a regular file");
    if (!exists && errno != ENOENT) failErrno(target, errno);
    // A file its user may not write is not replaced behind its back.
    if (exists && ::access(path.c_str(), W_OK) != 0) failErrno(target, errno);

    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    // Hidden, and short enough for any name limit whatever the target's name.
    const std::string stem = path.filename().string().substr(0, 200);
    TempFile temp;
    for (int attempt = 0; temp.fd < 0; ++attempt) {
        temp.path = folder / ("." + stem + ".tmp-" + uniqueSuffix());
        temp.fd = ::open(temp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (temp.fd < 0) {
            const int error = errno;
            temp.path.clear();
            if (error != EEXIST || attempt >= 100) failErrno(target, error);
        }
    }
    if (exists) {
        if (::fchmod(temp.fd, old.st_mode & 07777) != 0) failErrno(target, errno);
        // Only a privileged writer can give the file away; others keep their own ownership.
        [[maybe_unused]] const int ignored = ::fchown(temp.fd, old.st_uid, old.st_gid);
    }
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(temp.fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            failErrno(target, errno);
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(temp.fd) != 0) failErrno(target, errno);
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0) failErrno(target, errno);
    if (::rename(temp.path.c_str(), path.c_str()) != 0) failErrno(target, errno);
    temp.keep = true;
    syncFolder(folder);
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) noexcept {
    std::error_code ec;
    const bool same = std::filesystem::equivalent(a, b, ec);
    return !ec && same;
}

}  // namespace platform
