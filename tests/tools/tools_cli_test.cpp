// The command-line programs run as a user runs them.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/gif_builder.h"
#if KAVRILO_TOOL_ADDRESSES
#include <sys/stat.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QUrl>
#include <chrono>
#include <future>

#include "tests/support/loopback_server.h"
#endif

namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out, err;
};

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class Tools : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tools-cli-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        giftest::GifBuilder b;
        b.screen(3, 2).globalTable(giftest::testPalette(4));
        for (int k = 0; k < 3; ++k)
            b.frame(giftest::makeFrame(3, 2, [k](int x, int y) { return (x + y + k) % 4; }));
        gif_ = dir_ / "in.gif";
        const giftest::Bytes bytes = b.build();
        std::ofstream(gif_, std::ios::binary) << std::string(bytes.begin(), bytes.end());
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs PROGRAM ARGS with no display and no Qt platform; stdout and stderr are kept apart.
    // Standard output goes to `out` when given, else to a file read back as Result::out.
    Result run(const std::string& program, const std::string& args, const std::string& out = {}) {
        const std::string command =
            std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \"") +
            KAVRILO_BIN_DIR + "/" + program + "\" " + args + " >\"" +
            (out.empty() ? (dir_ / "stdout").string() : out) + "\" 2>\"" +
            (dir_ / "stderr").string() + "\" </dev/null";
        const int status = std::system(command.c_str());
        Result r;
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (out.empty()) r.out = readText(dir_ / "stdout");
        r.err = readText(dir_ / "stderr");
        fs::remove(dir_ / "stdout");
        fs::remove(dir_ / "stderr");
        return r;
    }

    // The file names in the working folder, to show that a failed run wrote nothing.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string path(const std::string& name) const { return "\"" + (dir_ / name).string() + "\""; }

#if KAVRILO_TOOL_ADDRESSES
    // The Qt application whose event loop serves the loopback server; made before the server.
    static void ensureApplication() {
        static int argc = 1;
        static char name[] = "tools_cli_tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }
    // Runs like run() while this thread's event loop serves.
    Result runServing(const std::string& program, const std::string& args) {
        auto result = std::async(std::launch::async, [&] { return run(program, args); });
        while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return result.get();
    }
#endif

    fs::path dir_, gif_;
};

std::vector<std::string> programs() {
    std::vector<std::string> names;
    std::stringstream list(KAVRILO_PROGRAMS);
    for (std::string name; std::getline(list, name, ',');) names.push_back(name);
    return names;
}

// Qt's own log lines (for instance about XDG_RUNTIME_DIR) are not errors of the program.
std::string withoutQtNotes(const std::string& err) {
    std::string kept;
    std::stringstream lines(err);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("QStandardPaths:", 0) != 0) kept += line + "\n";
    return kept;
}

TEST_F(Tools, EveryProgramAnswersHelpAndVersionWithoutADisplay) {
    for (const std::string& program : programs()) {
        const Result help = run(program, "--help");
        EXPECT_EQ(help.status, 0) << program << ": " << help.err;
        EXPECT_NE(help.out.find("sage: "), std::string::npos) << program << ": " << help.out;
        EXPECT_EQ(withoutQtNotes(help.err), "") << program;

        const Result version = run(program, "--version");
        EXPECT_EQ(version.status, 0) << program << ": " << version.err;
        EXPECT_EQ(version.out, program + " " + KAVRILO_VERSION + "\n");

        // An unknown option or a stray argument is a usage error, reported in the common form
        // (a windowed program too, before it needs a display).
        for (const std::string args : {"--no-such-option", "one two three"}) {
            if (program == "anigif-view" && args != "--no-such-option") continue;  // any files
            const Result bad = run(program, args);
            EXPECT_EQ(bad.status, 2) << program << " " << args << ": " << bad.err;
            EXPECT_EQ(withoutQtNotes(bad.err).rfind(program + ": error: ", 0), 0u)
                << program << " " << args << ": " << bad.err;
            EXPECT_EQ(bad.out, "") << program;
        }
    }
    EXPECT_EQ(files(), std::vector<std::string>{"in.gif"});
}

TEST_F(Tools, RenderStatusesAndOutputs) {
    // --info prints the table and writes nothing.
    const Result info = run("anigif-render", "--info " + path("in.gif"));
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out.rfind("gif frames=3 width=3 height=2 loops=", 0), 0u) << info.out;
    EXPECT_NE(info.out.find("\nframe 3 left=0 top=0 width=3 height=2 "), std::string::npos);
    EXPECT_EQ(files(), std::vector<std::string>{"in.gif"});

    // Usage errors, all before anything is written.
    for (const std::string& args : std::vector<std::string>{
             "--stretch 9 " + path("in.gif") + " " + path("out"),
             "--mirror -1 " + path("in.gif") + " " + path("out"),
             "--size 3 " + path("in.gif") + " " + path("out"),
             "--size 0 0 " + path("in.gif") + " " + path("out"), path("in.gif"),
             "--snapshot 4 " + path("s.gif") + " " + path("in.gif") + " " + path("out"),
             "--snapshot 1 " + path("in.gif") + " " + path("in.gif") + " " + path("out"),
             "--info --snapshot 1 " + path("s.gif") + " " + path("in.gif")}) {
        const Result r = run("anigif-render", args);
        EXPECT_EQ(r.status, 2) << args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("anigif-render: error: ", 0), 0u) << args << ": " << r.err;
        EXPECT_EQ(r.out, "") << args;
    }
    EXPECT_EQ(files(), std::vector<std::string>{"in.gif"});

    // A file that does not load: the same standard output as ever, the reason, no folder.
    std::ofstream(dir_ / "text.gif") << "not a picture";
    for (const auto& [name, reason] :
         {std::pair<std::string, std::string>{"missing.gif", "no such file"},
          {"text.gif", "not a GIF"}}) {
        const Result r = run("anigif-render", path(name) + " " + path("out"));
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.out, "gif frames=0\n") << name;
        EXPECT_EQ(r.err.rfind("anigif-render: error: cannot load ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out"));

    // Success: frames and the snapshot, and nothing else in the folder.
    const Result ok = run("anigif-render", "--snapshot 2 " + path("s.gif") + " " + path("in.gif") +
                                               " " + path("out"));
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out, info.out);
    std::vector<std::string> frames;
    for (const auto& e : fs::directory_iterator(dir_ / "out"))
        frames.push_back(e.path().filename());
    std::sort(frames.begin(), frames.end());
    EXPECT_EQ(frames,
              (std::vector<std::string>{"frame-0001.ppm", "frame-0002.ppm", "frame-0003.ppm"}));
    EXPECT_EQ(readText(dir_ / "out" / "frame-0001.ppm").rfind("P6\n3 2\n255\n", 0), 0u);
    EXPECT_EQ(readText(dir_ / "s.gif").rfind("GIF89a", 0), 0u);

    // --png: the same pixels as the PPM files, as PNG.
    const Result png = run("anigif-render", "--png " + path("in.gif") + " " + path("png"));
    EXPECT_EQ(png.status, 0) << png.err;
    for (const char* n : {"0001", "0002", "0003"}) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        const std::string file = (dir_ / "png" / ("frame-" + std::string(n) + ".png")).string();
        ASSERT_TRUE(png_image_begin_read_from_file(&image, file.c_str())) << file;
        image.format = PNG_FORMAT_RGB;
        std::string rgb(PNG_IMAGE_SIZE(image), '\0');
        ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
        const std::string ppm = readText(dir_ / "out" / ("frame-" + std::string(n) + ".ppm"));
        EXPECT_EQ("P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) +
                      "\n255\n" + rgb,
                  ppm)
            << n;
    }

    // A frame file that is the input is refused before anything is written.
    fs::copy_file(gif_, dir_ / "out" / "frame-0002.ppm", fs::copy_options::overwrite_existing);
    const Result onInput = run("anigif-render", path("out/frame-0002.ppm") + " " + path("out"));
    EXPECT_EQ(onInput.status, 2) << onInput.err;
    EXPECT_EQ(onInput.out, "");
    EXPECT_EQ(readText(dir_ / "out" / "frame-0002.ppm"), readText(gif_));

    // A folder that cannot be made is a failed write, not a usage error.
    std::ofstream(dir_ / "plain") << "x";
    const Result blocked = run("anigif-render", path("in.gif") + " " + path("plain/out"));
    EXPECT_EQ(blocked.status, 1) << blocked.err;
    EXPECT_EQ(blocked.err.rfind("anigif-render: error: cannot make folder ", 0), 0u) << blocked.err;
}

TEST_F(Tools, DesignRefusesHostileDescriptionsWithStatusOne) {
    const Result made = run("anigif-design", path("in.gif") + " " + path("d.bag"));
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string good = readText(dir_ / "d.bag");
    struct Case {
        std::string name, bytes, reason;
    };
    std::string later = good;
    later[22] = 9;  // the version
    later.resize(40);
    std::string huge = good.substr(0, 22);
    huge += "\x02\x81\x83\x63gif\x65\x62ytes\x5b\xff\xff\xff\xff\xff\xff\xff\xff";
    const std::vector<Case> cases = {
        {"later.bag", later, "written by a newer program (format version 9"},
        {"cut.bag", good.substr(0, good.size() - 40), "truncated"},
        {"huge.bag", huge, "truncated"},
        {"flipped.bag",
         [&] {
             std::string b = good;
             b[40] ^= 1;
             return b;
         }(),
         "does not match its checksum"},
    };
    for (const auto& c : cases) {
        std::ofstream(dir_ / c.name, std::ios::binary) << c.bytes;
        const Result r =
            run("anigif-design", "--extract " + path(c.name) + " gif " + path("x.gif"));
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.err.rfind("anigif-design: error: ", 0), 0u) << c.name << ": " << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.name << ": " << r.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "x.gif"));
    for (const std::string& args :
         std::vector<std::string>{"--extract", "--dump a b", "--stretch 2",
                                  path("in.gif") + " " + path("o.bag") + " --stretch 9",
                                  path("in.gif") + " " + path("o.bag") + " --loops"}) {
        const Result r = run("anigif-design", args);
        EXPECT_EQ(r.status, 2) << args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("anigif-design: error: ", 0), 0u) << args << ": " << r.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "o.bag"));
}

TEST_F(Tools, FailuresAreReportedAlikeAndNeverAsSuccess) {
    // Output that cannot be written fails the run.
    for (const auto& [program, args] :
         {std::pair<std::string, std::string>{"anigif-render", "--info " + path("in.gif")},
          {"anigif-render", path("in.gif") + " " + path("frames")}}) {
        const Result r = run(program, args, "/dev/full");
        EXPECT_EQ(r.status, 1) << program << " " << args;
        EXPECT_NE(r.err.find("cannot write to standard output"), std::string::npos) << r.err;
    }

    // A target its user may not write is refused, and left as it was.
    std::ofstream(dir_ / "locked.bag") << "mine";
    fs::permissions(dir_ / "locked.bag",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    if (::access((dir_ / "locked.bag").c_str(), W_OK) != 0) {  // root may write anything
        const Result locked = run("anigif-design", path("in.gif") + " " + path("locked.bag"));
        EXPECT_EQ(locked.status, 1) << locked.err;
        EXPECT_EQ(readText(dir_ / "locked.bag"), "mine");
    }

    // The same condition in the same words, whichever tool meets it.
    std::ofstream(dir_ / "empty.gif");
    fs::create_symlink("loop-b.gif", dir_ / "loop-a.gif");
    fs::create_symlink("loop-a.gif", dir_ / "loop-b.gif");
    for (const auto& [name, reason] :
         {std::pair<std::string, std::string>{"empty.gif", "the file is empty"},
          {"loop-a.gif", "a loop of symbolic links"},
          {"none.gif", "no such file"}}) {
        const Result render = run("anigif-render", "--info " + path(name));
        const Result design = run("anigif-design", path(name) + " " + path("o.bag"));
        EXPECT_NE(render.err.find(reason), std::string::npos) << render.err;
        EXPECT_NE(design.err.find(reason), std::string::npos) << design.err;
    }
}

#if KAVRILO_TOOL_ADDRESSES
TEST_F(Tools, AddressesGoThroughTheRemotePath) {
    ensureApplication();
    giftest::LoopbackServer server;
    ASSERT_TRUE(server.listening());
    server.set("/in.gif", QByteArray::fromStdString(readText(gif_)));
    server.set("/broken.gif", {500, QByteArray::fromStdString(readText(gif_))});
    const auto quoted = [](const std::string& s) { return "\"" + s + "\""; };
    const std::string http = quoted(server.address("/in.gif"));
    const std::string file =
        quoted(QUrl::fromLocalFile(QString::fromStdString(gif_.string())).toString().toStdString());

    // A download paints and describes exactly as the file does; the event comes on stderr.
    const Result byPath = run("anigif-render", path("in.gif") + " " + path("by-path"));
    ASSERT_EQ(byPath.status, 0) << byPath.err;
    ASSERT_EQ(run("anigif-design", path("in.gif") + " " + path("by-path.bag")).status, 0);
    const std::string complete = "RemoteLoadComplete gifWidth=3 gifHeight=2 Cancel=false\n";
    for (const std::string& address : {http, file}) {
        const Result r = runServing("anigif-render", address + " " + path("by-address"));
        EXPECT_EQ(r.status, 0) << address << ": " << r.err;
        EXPECT_EQ(r.out, byPath.out) << address;
        EXPECT_EQ(withoutQtNotes(r.err), "anigif-render: " + complete) << address;
        for (const char* n : {"frame-0001.ppm", "frame-0002.ppm", "frame-0003.ppm"})
            EXPECT_EQ(readText(dir_ / "by-address" / n), readText(dir_ / "by-path" / n)) << n;
        const Result d = runServing("anigif-design", address + " " + path("by-address.bag"));
        EXPECT_EQ(d.status, 0) << address << ": " << d.err;
        EXPECT_EQ(withoutQtNotes(d.err), "anigif-design: " + complete) << address;
        EXPECT_EQ(readText(dir_ / "by-address.bag"), readText(dir_ / "by-path.bag")) << address;
        fs::remove_all(dir_ / "by-address");
        fs::remove(dir_ / "by-address.bag");
    }

    // Reads that fail end in RemoteLoadFailure, status 1 and nothing written: a server error, a
    // missing file, a named pipe (refused at once), a body that drips past the deadline.
    server.set("/drip.gif", {200, QByteArray::fromStdString(readText(gif_)), 100, 1, false});
    ASSERT_EQ(::mkfifo((dir_ / "pipe.gif").c_str(), 0600), 0);
    const std::string noFile =
        quoted(QUrl::fromLocalFile(QString::fromStdString((dir_ / "none.gif").string()))
                   .toString()
                   .toStdString());
    for (const std::string& args :
         {quoted(server.address("/broken.gif")), quoted(server.address("/missing.gif")), noFile,
          quoted("file://" + (dir_ / "pipe.gif").string()),
          "--deadline 1 " + quoted(server.address("/drip.gif"))}) {
        const Result r = runServing("anigif-render", args + " " + path("failed"));
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.out, "gif frames=0\n") << args;
        EXPECT_EQ(withoutQtNotes(r.err).rfind("anigif-render: RemoteLoadFailure\n"
                                              "anigif-render: error: cannot load ",
                                              0),
                  0u)
            << args << ": " << r.err;
    }
    const Result d = runServing("anigif-design",
                                quoted(server.address("/broken.gif")) + " " + path("failed.bag"));
    EXPECT_EQ(d.status, 1);
    EXPECT_EQ(withoutQtNotes(d.err).rfind("anigif-design: RemoteLoadFailure\n", 0), 0u) << d.err;
    EXPECT_FALSE(fs::exists(dir_ / "failed"));
    EXPECT_FALSE(fs::exists(dir_ / "failed.bag"));
}
#endif

}  // namespace
