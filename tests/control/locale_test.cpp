// Names compared without case stay ASCII-only whatever the process locale. A Qt program adopts
// the user's locale at start-up; under a Turkish one the C library lowers 'I' to a dotless i
// outside ASCII, which must not turn away "GIF89a", a download or a property name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/property_bag.h"
#include "tests/support/control_fixture.h"

namespace {

using namespace anigif;

constexpr const char* kTurkish = "tr_TR.UTF-8";

// Switches the whole process to the Turkish locale, compiling it into a temporary folder when
// the system does not carry it, and back to "C" at the end.
class TurkishLocale : public giftest::ControlFixture {
  protected:
    void SetUp() override {
        if (std::setlocale(LC_ALL, kTurkish) == nullptr) makeLocale();
        if (std::setlocale(LC_ALL, kTurkish) == nullptr)
            GTEST_SKIP() << "the locale " << kTurkish
                         << " is not installed and localedef could not make it";
    }
    void TearDown() override {
        std::setlocale(LC_ALL, "C");
        if (!localeDir_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(localeDir_, ignored);
        }
    }

  private:
    void makeLocale() {
        localeDir_ = std::filesystem::temp_directory_path() /
                     ("kavrilo-locale-" + std::to_string(::getpid()));
        std::filesystem::create_directories(localeDir_);
        const std::string command = "localedef -i tr_TR -f UTF-8 '" +
                                    (localeDir_ / kTurkish).string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0) ::setenv("LOCPATH", localeDir_.c_str(), 1);
    }
    std::filesystem::path localeDir_;
};

TEST_F(TurkishLocale, SignaturesDownloadsAndNamesStillMatch) {
    // The locale really folds differently, or this test would prove nothing.
    EXPECT_NE(std::tolower('I'), 'i');

    const auto bytes = giftest::solidAnimation(4, 4, 4, {10, 10});
    EXPECT_TRUE(gif->loadGifBytes(bytes));
    EXPECT_EQ(gif->FrameCount(), 2);
    auto lower = bytes;
    lower[0] = 'g', lower[1] = 'i', lower[2] = 'f';
    EXPECT_TRUE(gif->loadGifBytes(lower));

    clearRecords();
    gif->UserControl_AsyncReadComplete("remoteGIF", bytes, static_cast<int64_t>(bytes.size()));
    ASSERT_FALSE(host.events().empty());
    EXPECT_EQ(host.events().front().name, "RemoteLoadComplete");
    EXPECT_EQ(gif->FrameCount(), 2);

    EXPECT_FALSE(ucAniGIF::helpString("ANIMATEDGIF").empty());
    EXPECT_EQ(ucAniGIF::helpString("mouseicon"), ucAniGIF::helpString("MouseIcon"));

    platform::PropertyBag bag;
    bag.writeProperty("MOUSEICON", int32_t{7});
    EXPECT_EQ(bag.readProperty("MouseIcon", int32_t{0}).toInt32(), 7);
}

}  // namespace
