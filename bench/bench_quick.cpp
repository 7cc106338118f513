// Playing in Qt Quick: AniGifImage (import AniGif) against Qt's AnimatedImage on the same GIFs,
// at their own size and stretched to 0.72, each in a Qt Quick window of its own, in one process.
// Workloads: the main window's decoration (practice/decoration.gif) and "large"
// (bench/gif_workloads.h). Run it offscreen on the software scene graph for the figures of the
// notes (QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software), or on a GPU backend where there
// is one.
//
//   bench_quick [--playback=S] [--warm=W] [--rounds=N] [--case=NAME] [--player=ours|theirs|window]
//       N rounds (default 1); in each, every case plays S seconds (default 2) after W seconds
//       (default 0.5; 12 for the steady state of "large", whose loop takes 10 s) in each player,
//       the two players taking turns at going first. Prints per case the median process CPU per
//       second of playback, frames shown per second, and the resident memory the player added (from
//       before it was made to the end of its playback), with the ratios AniGifImage /
//       AnimatedImage. Before the two, the window alone plays (a rectangle of the same size
//       recoloured ten times a second): the share of the CPU and memory that is the scene
//       graph's and the window's, printed with the ratios net of it. Before the rounds every
//       player plays once uncounted, so that no player pays for code and allocations that Qt
//       makes once per process. --case (e.g. large/1x) and --player
//       (ours, theirs, window) keep one case or one player, to run under a profiler.
#include <malloc.h>

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/gif_workloads.h"
#include "bench/paired_timing.h"

// Under callgrind the counts cover each playback alone, one dump per player and case.
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define KAVRILO_PLAYBACK_BEGINS() CALLGRIND_ZERO_STATS
#define KAVRILO_PLAYBACK_ENDS(name) CALLGRIND_DUMP_STATS_AT(name)
#else
#define KAVRILO_PLAYBACK_BEGINS()
#define KAVRILO_PLAYBACK_ENDS(name)
#endif

void qml_register_types_AniGif();

namespace {

constexpr double kStretch = 0.72;

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double residentMiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096.0 / (1024.0 * 1024.0) : 0;
}

struct Case {
    std::string workload;
    bool stretched = false;
    std::string name() const { return workload + (stretched ? "/stretched" : "/1x"); }
};

struct Figures {
    double cpuPerSecond = 0, framesPerSecond = 0, memoryMiB = 0;
};

// The players: the item, Qt's AnimatedImage, and the window alone, which renders a rectangle of
// the same size in a new colour ten times a second: what every player pays for the scene graph
// and the window's frames, whatever it draws.
enum class Player { Ours, Theirs, Window };

// One player in a window of its own: made, warmed, measured, destroyed.
Figures play(QQmlEngine& engine, Player player, const QString& gifPath, QSize gifSize,
             bool stretched, double warm, double seconds) {
    const bool ours = player == Player::Ours;
    // What the player before left to deferred deletion is gone before this one is measured.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    malloc_trim(0);
    const double before = residentMiB();
    const QSize size =
        stretched ? QSize(qRound(gifSize.width() * kStretch), qRound(gifSize.height() * kStretch))
                  : gifSize;
    const QString qml =
        ours ? QStringLiteral(
                   "import AniGif 1.0\nAniGifImage { decodeMode: AniGifImage.DecodeAll;"
                   " stretch: AniGifImage.StretchFill; width: %1; height: %2 }")
        : player == Player::Theirs
            ? QStringLiteral("import QtQuick\nAnimatedImage { width: %1; height: %2 }")
            : QStringLiteral(
                  "import QtQuick\nRectangle { id: r; width: %1; height: %2;"
                  " property int n: 0; color: Qt.hsva((n % 10) / 10, 1, 1, 1);"
                  " Timer { interval: 100; repeat: true; running: true;"
                  " onTriggered: ++r.n } }");
    QQmlComponent component(&engine);
    component.setData(qml.arg(size.width()).arg(size.height()).toUtf8(), QUrl());
    std::unique_ptr<QQuickItem> item(qobject_cast<QQuickItem*>(component.create()));
    if (!item) {
        std::fprintf(stderr, "bench_quick: %s\n", qPrintable(component.errorString()));
        return {};
    }
    QQuickWindow window;
    window.resize(size);
    item->setParentItem(window.contentItem());
    item->setProperty("source", QUrl::fromLocalFile(gifPath));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return {};
    int shown = 0;
    QObject::connect(&window, &QQuickWindow::frameSwapped, [&] { ++shown; });
    QTest::qWait(static_cast<int>(warm * 1000));
    shown = 0;
    KAVRILO_PLAYBACK_BEGINS();
    const double t0 = processCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(static_cast<int>(seconds * 1000));
    const double elapsed = double(wall.nsecsElapsed()) * 1e-9;
    KAVRILO_PLAYBACK_ENDS(ours                       ? "AniGifImage"
                          : player == Player::Theirs ? "AnimatedImage"
                                                     : "window");
    Figures f;
    f.cpuPerSecond = (processCpuSeconds() - t0) / elapsed;
    f.framesPerSecond = shown / elapsed;
    f.memoryMiB = residentMiB() - before;
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 2, warm = 0.5;
    int rounds = 1;
    std::string onlyCase, onlyPlayer;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--playback=", 11) == 0) seconds = std::atof(argv[i] + 11);
        if (std::strncmp(argv[i], "--warm=", 7) == 0) warm = std::atof(argv[i] + 7);
        if (std::strncmp(argv[i], "--rounds=", 9) == 0)
            rounds = std::max(1, std::atoi(argv[i] + 9));
        if (std::strncmp(argv[i], "--case=", 7) == 0) onlyCase = argv[i] + 7;
        if (std::strncmp(argv[i], "--player=", 9) == 0) onlyPlayer = argv[i] + 9;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) qputenv("QT_QUICK_BACKEND", "software");
    QGuiApplication app(argc, argv);
    qml_register_types_AniGif();
    QQmlEngine engine;

    QTemporaryDir dir;
    std::map<std::string, std::pair<QString, QSize>> gifs;
    gifs["decoration"] = {QStringLiteral(KAVRILO_SOURCE_DIR "/practice/decoration.gif"), {}};
    {
        const bench::Bytes large = bench::large(false).bytes;
        QFile file(dir.filePath(QStringLiteral("large.gif")));
        if (!file.open(QIODevice::WriteOnly)) return 1;
        file.write(reinterpret_cast<const char*>(large.data()), qint64(large.size()));
        gifs["large"] = {file.fileName(), {}};
    }
    for (auto& [name, gif] : gifs) {
        QFile file(gif.first);
        if (!file.open(QIODevice::ReadOnly)) return 1;
        const QByteArray head = file.read(10);
        gif.second = QSize(uint8_t(head[6]) | uint8_t(head[7]) << 8,
                           uint8_t(head[8]) | uint8_t(head[9]) << 8);
    }

    const std::vector<Case> cases = {
        {"decoration", false}, {"decoration", true}, {"large", false}, {"large", true}};
    std::map<std::string, std::vector<Figures>> figures[3];  // by player, then case
    const auto wanted = [&](Player p) {
        if (onlyPlayer.empty()) return true;
        return onlyPlayer == (p == Player::Ours     ? "ours"
                              : p == Player::Theirs ? "theirs"
                                                    : "window");
    };
    // A first short play of every player, not counted: the code and the first-use allocations
    // of Qt Quick, the image plugins and the control then count for no player's memory.
    for (const Player p : {Player::Ours, Player::Theirs, Player::Window})
        if (wanted(p))
            play(engine, p, gifs["decoration"].first, gifs["decoration"].second, false, 0.2, 0.1);
    for (int r = 0; r < rounds; ++r)
        for (const Case& c : cases) {
            if (!onlyCase.empty() && c.name() != onlyCase) continue;
            const auto& [path, size] = gifs[c.workload];
            // The window alone first (after a player, memory that Qt frees late would count
            // against it), then the two players, who goes first alternating.
            const Player order[] = {Player::Window, r % 2 == 0 ? Player::Ours : Player::Theirs,
                                    r % 2 == 0 ? Player::Theirs : Player::Ours};
            for (const Player p : order) {
                if (!wanted(p)) continue;
                figures[int(p)][c.name()].push_back(
                    play(engine, p, path, size, c.stretched, warm, seconds));
            }
        }
    auto median = [&](Player p, const Case& c, double Figures::*field) {
        std::vector<double> values;
        for (const Figures& f : figures[int(p)][c.name()]) values.push_back(f.*field);
        return bench::median(values);
    };
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("%-22s %9s %9s %7s %9s %9s %6s %6s %8s %8s %7s %8s %9s\n",
                "case (median of rounds)", "ms CPU/s", "AnimImg", "ratio", "window", "net ratio",
                "fps", "AnimImg", "MiB", "AnimImg", "ratio", "window", "net ratio");
    for (const Case& c : cases) {
        if (!onlyCase.empty() && c.name() != onlyCase) continue;
        const double cpuO = median(Player::Ours, c, &Figures::cpuPerSecond) * 1e3;
        const double cpuT = median(Player::Theirs, c, &Figures::cpuPerSecond) * 1e3;
        const double cpuW = median(Player::Window, c, &Figures::cpuPerSecond) * 1e3;
        const double memO = median(Player::Ours, c, &Figures::memoryMiB);
        const double memT = median(Player::Theirs, c, &Figures::memoryMiB);
        const double memW = median(Player::Window, c, &Figures::memoryMiB);
        // Net: each player's CPU beyond the window's own.
        std::printf(
            "%-22s %9.2f %9.2f %7.3f %9.2f %9.3f %6.1f %6.1f %8.2f %8.2f %7.3f %8.2f %9.3f\n",
            c.name().c_str(), cpuO, cpuT, ratio(cpuO, cpuT), cpuW,
            cpuW > 0 ? ratio(cpuO - cpuW, cpuT - cpuW) : 0.0,
            median(Player::Ours, c, &Figures::framesPerSecond),
            median(Player::Theirs, c, &Figures::framesPerSecond), memO, memT, ratio(memO, memT),
            memW, memW > 0 ? ratio(memO - memW, memT - memW) : 0.0);
    }
    return 0;
}
