#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::FileWriteError;
using platform::writeFileAtomically;

class AtomicFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("atomic_file_test_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    static std::string read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void write(const fs::path& p, const std::string& text) {
        writeFileAtomically(p,
                            std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    }
    size_t filesInFolder() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }
    static unsigned mode(const fs::path& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 07777;
    }

    fs::path dir_;
};

TEST_F(AtomicFile, ReplacesContentKeepsPermissionsAndLeavesNothingBehind) {
    const fs::path target = dir_ / "out.bin";
    write(target, "first");
    EXPECT_EQ(read(target), "first");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(mode(target), 0666u & ~mask);

    ::chmod(target.c_str(), 0640);
    write(target, std::string(100000, 'x'));
    EXPECT_EQ(read(target), std::string(100000, 'x'));
    EXPECT_EQ(mode(target), 0640u);

    // Through a link: the file it names is replaced and the link stays a link.
    const fs::path link = dir_ / "link.bin";
    fs::create_symlink(target, link);
    write(link, "via link");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read(target), "via link");
    EXPECT_EQ(filesInFolder(), 2u);
}

TEST_F(AtomicFile, FailedWritesChangeNothing) {
    const fs::path folder = dir_ / "folder";
    fs::create_directories(folder / "inside");
    try {
        write(folder, "text");
        ADD_FAILURE() << "a folder was written over";
    } catch (const FileWriteError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot write " + folder.string()), std::string::npos)
            << e.what();
    }
    EXPECT_TRUE(fs::is_directory(folder / "inside"));
    EXPECT_THROW(write(dir_ / "missing" / "out.bin", "text"), FileWriteError);
    EXPECT_EQ(filesInFolder(), 1u);
}

TEST_F(AtomicFile, SameFileComparesIdentityNotSpelling) {
    const fs::path a = dir_ / "a.gif";
    write(a, "GIF");
    fs::create_symlink(a, dir_ / "b.gif");
    EXPECT_TRUE(platform::sameFile(a, dir_ / "." / "b.gif"));
    EXPECT_TRUE(platform::sameFile(dir_ / "." / "a.gif", a));
    EXPECT_FALSE(platform::sameFile(a, dir_ / "c.gif"));
    write(dir_ / "c.gif", "GIF");
    EXPECT_FALSE(platform::sameFile(a, dir_ / "c.gif"));
}

}  // namespace
