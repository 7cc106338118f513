// The main window's stored description, byte by byte, and the design tool that makes it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gifcontrol/render/uc_ani_gif.h"
#include "platform/headless_host.h"
#include "platform/property_bag.h"
#include "tests/support/gif_builder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

const fs::path kSource = KAVRILO_SOURCE_DIR;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void appendText(Bytes& out, const std::string& text) {
    out.push_back(static_cast<uint8_t>(0x60 + text.size()));  // CBOR text, length below 24
    out.insert(out.end(), text.begin(), text.end());
}

// Runs the design tool; returns its exit status and fills `output` with stdout and stderr.
int runDesign(const std::string& args, std::string& output) {
    const std::string command = std::string("\"") + ANIGIF_DESIGN + "\" " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    std::array<char, 512> buffer{};
    output.clear();
    while (fgets(buffer.data(), buffer.size(), pipe) != nullptr) output += buffer.data();
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct TempDir {
    TempDir() : path(fs::temp_directory_path() / ("kavrilo-design-" + std::to_string(getpid()))) {
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
};

TEST(StoredDecoration, FileHoldsExactlyTheFourEntries) {
    const Bytes gif = readFile(kSource / "practice" / "decoration.gif");
    ASSERT_EQ(gif.size(), 12990u);
    const Bytes file = readFile(kSource / "practice" / "decoration.bag");

    Bytes expected = {0x83};
    appendText(expected, "kavrilo-property-bag");
    expected.insert(expected.end(), {0x01, 0x84});
    for (const char* name : {"_extentx", "_extenty"}) {
        expected.push_back(0x83);
        appendText(expected, name);
        appendText(expected, "int32");
        expected.insert(expected.end(), {0x19, 0x0E, 0xE2});  // 3810
    }
    expected.push_back(0x83);
    appendText(expected, "gif");
    appendText(expected, "bytes");
    expected.insert(expected.end(), {0x59, 0x32, 0xBE});  // byte string of 12990
    expected.insert(expected.end(), gif.begin(), gif.end());
    expected.push_back(0x83);
    appendText(expected, "loops");
    appendText(expected, "int32");
    expected.insert(expected.end(), {0x19, 0x70, 0x75});  // 28789
    EXPECT_EQ(file, expected);
}

TEST(StoredDecoration, ReadsAsTheDecorationWithEveryOtherDefault) {
    const auto bag = platform::PropertyBag::loadFile(kSource / "practice" / "decoration.bag");
    platform::HeadlessHost host;
    host.setUserMode(false);
    host.setInnerSize(144, 144);
    anigif::ucAniGIF control(host);
    control.ReadProperties(bag);
    EXPECT_EQ(control.FrameCount(), 6);
    EXPECT_EQ(control.Loops(), 28789);
    EXPECT_EQ(control.MinFrameDelay(), 50);
    EXPECT_EQ(control.Stretch(), anigif::StretchFit);
    EXPECT_EQ(control.DelayAnimation(), anigif::DelayFirstFrame);
    EXPECT_EQ(control.Mirrored(), 0);
    EXPECT_FALSE(control.SolidBkgColorUsed());
    EXPECT_TRUE(host.enabled());
    EXPECT_FALSE(host.mouseIcon());
}

TEST(DesignTool, RemakesTheStoredDecorationAndPrintsIt) {
    TempDir dir;
    std::string out;
    const fs::path bag = dir.path / "decoration.bag";
    ASSERT_EQ(runDesign((kSource / "practice" / "decoration.gif").string() + " " + bag.string() +
                            " --extent 3810 3810",
                        out),
              0)
        << out;
    // The stored decoration is a version-1 file; the tool writes the current version of the
    // same description.
    EXPECT_EQ(platform::PropertyBag::loadFile(bag),
              platform::PropertyBag::loadFile(kSource / "practice" / "decoration.bag"));
    EXPECT_EQ(readFile(bag).at(0), 0x84);

    ASSERT_EQ(runDesign("--dump " + bag.string(), out), 0);
    EXPECT_EQ(out,
              "_extentx int32 3810\n_extenty int32 3810\n"
              "gif bytes 12990 "
              "sha256=f1e46330667fed6b0e5cebde056514ece24a054142ba094f29671433946e8b63\n"
              "loops int32 28789\n");

    const fs::path extracted = dir.path / "out.gif";
    ASSERT_EQ(runDesign("--extract " + bag.string() + " GIF " + extracted.string(), out), 0);
    EXPECT_EQ(readFile(extracted), readFile(kSource / "practice" / "decoration.gif"));
}

TEST(DesignTool, OptionsGoThroughTheSetters) {
    TempDir dir;
    giftest::GifBuilder b;
    b.screen(4, 4).globalTable(giftest::testPalette(2));
    b.frame(giftest::makeFrame(4, 4, [](int x, int) { return x % 2; }));
    b.frame(giftest::makeFrame(4, 4, [](int, int y) { return y % 2; }));
    writeFile(dir.path / "in.gif", b.build());
    std::string out;
    ASSERT_EQ(runDesign((dir.path / "in.gif").string() + " " + (dir.path / "o.bag").string() +
                            " --stretch 2 --loops 3 --delay 5 --mirror 1 --delay-load 0"
                            " --offset -2 7 --solid 0000FF --stepped 40",
                        out),
              2)
        << "--delay 5 is below the lowest delay";
    EXPECT_EQ(out.rfind("anigif-design: error: --delay takes", 0), 0u) << out;
    EXPECT_FALSE(fs::exists(dir.path / "o.bag"));
    ASSERT_EQ(runDesign((dir.path / "in.gif").string() + " " + (dir.path / "o.bag").string() +
                            " --stretch 2 --loops 3 --delay 90 --mirror 1 --delay-load 0"
                            " --offset -2 7 --solid 0000FF --stepped 40",
                        out),
              0)
        << out;
    ASSERT_EQ(runDesign("--dump " + (dir.path / "o.bag").string(), out), 0);
    const std::string gifLine = out.substr(0, out.find('\n') + 1);
    EXPECT_EQ(out.substr(gifLine.size()),
              "delay int16 90\nstretch int32 2\nloops int32 3\ndelayload int32 0\n"
              "mirror int32 1\noffsetx int32 -2\noffsety int32 7\nbkgfill int32 255\n"
              "bkgused bool true\nstepdelay int32 40\n");
}

TEST(DesignTool, RefusesDamagedAndForeignFiles) {
    TempDir dir;
    const Bytes good = readFile(kSource / "practice" / "decoration.bag");
    const std::vector<std::pair<std::string, Bytes>> bad = {
        {"empty", {}},
        {"truncated", Bytes(good.begin(), good.begin() + static_cast<long>(good.size()) / 2)},
        {"foreign", Bytes{'G', 'I', 'F', '8', '9', 'a'}},
        {"trailing",
         [&] {
             Bytes b = good;
             b.push_back(0);
             return b;
         }()},
    };
    std::string out;
    for (const auto& [name, bytes] : bad) {
        const fs::path file = dir.path / (name + ".bag");
        writeFile(file, bytes);
        EXPECT_EQ(runDesign("--dump " + file.string(), out), 1) << name;
        EXPECT_EQ(out.rfind("anigif-design: error: ", 0), 0u) << name << ": " << out;
    }
    // A changed byte inside the stored GIF of a current file is named as damage.
    const fs::path current = dir.path / "current.bag";
    ASSERT_EQ(
        runDesign((kSource / "practice" / "decoration.gif").string() + " " + current.string(), out),
        0)
        << out;
    Bytes flipped = readFile(current);
    flipped[flipped.size() / 2] ^= 0x20;
    writeFile(current, flipped);
    EXPECT_EQ(runDesign("--dump " + current.string(), out), 1);
    EXPECT_NE(out.find("does not match its checksum"), std::string::npos) << out;

    EXPECT_EQ(runDesign("--dump " + (dir.path / "missing.bag").string(), out), 1);
    EXPECT_EQ(runDesign("--extract " + (kSource / "practice" / "decoration.bag").string() +
                            " loops " + (dir.path / "x").string(),
                        out),
              1)
        << "loops is no byte array";
}

TEST(DesignTool, OutputsThatNameAnInputAreRefusedBeforeAnythingIsTouched) {
    TempDir dir;
    const fs::path bag = dir.path / "d.bag";
    const fs::path gif = dir.path / "d.gif";
    writeFile(gif, readFile(kSource / "practice" / "decoration.gif"));
    std::string out;
    ASSERT_EQ(runDesign(gif.string() + " " + bag.string(), out), 0) << out;
    const Bytes bagBytes = readFile(bag), gifBytes = readFile(gif);
    fs::create_symlink(bag, dir.path / "link.bag");
    for (const fs::path& same : {bag, dir.path / "." / "d.bag", dir.path / "link.bag"}) {
        EXPECT_EQ(runDesign("--extract " + bag.string() + " gif " + same.string(), out), 2) << same;
        EXPECT_NE(out.find("is the input"), std::string::npos) << out;
    }
    EXPECT_EQ(runDesign(gif.string() + " " + (dir.path / "." / "d.gif").string(), out), 2);
    EXPECT_EQ(readFile(bag), bagBytes);
    EXPECT_EQ(readFile(gif), gifBytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), {}), 3);  // no temporary left
}

// The stored description holds any GIF the control loads, beyond the old 64 MiB limit: a small
// picture behind a comment of 65 MiB, stored and extracted again byte for byte.
TEST(DesignTool, AGifOverSixtyFourMiBRoundTripsExactly) {
    TempDir dir;
    giftest::GifBuilder b;
    b.screen(2, 2).globalTable(giftest::testPalette(2));
    b.comment(std::string(65u * 1024 * 1024, 'k'));
    b.frame(giftest::makeFrame(2, 2, [](int x, int y) { return (x + y) % 2; }));
    const fs::path gif = dir.path / "big.gif";
    {
        const Bytes bytes = b.build();
        ASSERT_GT(bytes.size(), 64u * 1024 * 1024);
        writeFile(gif, bytes);
    }
    std::string out;
    ASSERT_EQ(runDesign(gif.string() + " " + (dir.path / "big.bag").string(), out), 0) << out;
    ASSERT_EQ(runDesign("--extract " + (dir.path / "big.bag").string() + " GIF " +
                            (dir.path / "back.gif").string(),
                        out),
              0)
        << out;
    EXPECT_TRUE(readFile(gif) == readFile(dir.path / "back.gif"));
}

}  // namespace
