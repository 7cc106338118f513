// anigif-render --snapshot: the written file holds exactly the bytes the AnimatedGIF read
// encodes for the asked frame, reached by stepping on and wrapping past the last frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "anigif/manual_clock.h"
#include "gifcontrol/decode/bytes_to_picture.h"
#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"
#include "tests/support/gif_builder.h"

namespace {

namespace fs = std::filesystem;

giftest::Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return giftest::Bytes(std::istreambuf_iterator<char>(in), {});
}

class Snapshot : public ::testing::Test {
  protected:
    Snapshot() {
        // Unique per process and test: several builds may run their tests at once.
        dir = fs::temp_directory_path() /
              ("anigif-snapshot-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        // Three frames of different sizes and tables, so that each frame encodes differently.
        giftest::GifBuilder b;
        b.screen(4, 3).globalTable(giftest::testPalette(16));
        for (int k = 1; k <= 3; ++k) {
            auto f = giftest::makeFrame(
                k + 1, 3, [k](int x, int y) { return static_cast<uint8_t>((x + y * k) % 4); });
            if (k == 2) f.localTable = giftest::testPalette(4);
            b.frame(f);
        }
        gif = b.build();
        std::ofstream(dir / "in.gif", std::ios::binary)
            .write(reinterpret_cast<const char*>(gif.data()),
                   static_cast<std::streamsize>(gif.size()));
    }
    ~Snapshot() override { fs::remove_all(dir); }

    int run(const std::string& frame) {
        const std::string command = std::string("\"") + ANIGIF_RENDER_PATH + "\" --snapshot " +
                                    frame + " \"" + (dir / "out.gif").string() + "\" \"" +
                                    (dir / "in.gif").string() + "\" \"" +
                                    (dir / "frames").string() + "\" >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path dir;
    giftest::Bytes gif;
};

TEST_F(Snapshot, WritesTheEncodedFrameAskedFor) {
    platform::ManualClock clock;
    platform::HeadlessHost host;
    host.setTimerService(&clock);
    anigif::ucAniGIF control(host);
    control.delayMode = anigif::DelayOff;  // decode every frame during the load
    ASSERT_TRUE(control.loadGifBytes(gif));
    for (int k : {1, 2, 3}) {
        ASSERT_EQ(run(std::to_string(k)), 0) << k;
        const auto expected = control.BuildFrameGif(k);
        ASSERT_NE(expected, nullptr);
        EXPECT_EQ(readFile(dir / "out.gif"), expected->bytes()) << k;
    }
}

TEST_F(Snapshot, RefusesAFrameOutsideTheGif) {
    EXPECT_EQ(run("0"), 2);
    EXPECT_EQ(run("4"), 2);
    EXPECT_EQ(run("x"), 2);
    EXPECT_FALSE(fs::exists(dir / "out.gif"));
}

}  // namespace
