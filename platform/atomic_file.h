#pragma once
// Writing a file so that readers see either the old content or the new, never a mix, and a
// failed write leaves the old file as it was. Every program of the project writes files
// through this.
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>

namespace platform {

// A write that failed; what() reads "cannot write PATH: REASON". The target is then unchanged
// and no temporary file is left behind.
class FileWriteError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Replaces the file at path with bytes: they go to a new file of a unique name in the same
// folder, are flushed to disk, and that file is renamed over the target in one step. An existing
// target keeps its permission bits (and owner, where allowed); a new one gets 0666 less the
// umask. A symbolic link as target is followed: the file it names is replaced, the link stays.
// A target that exists but is not a regular file (a folder, a device) is refused.
void writeFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// True when a and b name the same existing file (by device and inode, so through links and
// different spellings of one path); false when either does not exist.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) noexcept;

}  // namespace platform
