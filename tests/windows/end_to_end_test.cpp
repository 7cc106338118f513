// The real program in a virtual X server (run under xvfb-run): its window appears with the
// right title, a second copy ends at once, closing the window ends the program, and a copy
// that was killed leaves nothing that blocks the next start.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "x_windows.h"

namespace {

class EndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(x.connected()) << "no X display; run this test under xvfb-run";
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), tmp.path());  // a lock of our own
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    }

    std::unique_ptr<QProcess> start() {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(environment);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QStringLiteral(KAVRILO_PROGRAM), {});
        return p;
    }

    // Polls the X server until the main window shows; gives up after the deadline.
    unsigned long waitForMainWindow(QProcess& program) {
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired() && program.state() != QProcess::NotRunning) {
            const auto found = x.windowsTitled(kTitle);
            if (!found.empty()) return found.front();
            program.waitForFinished(50);
        }
        return 0;
    }

    static constexpr const char* kTitle = "Kavrilo - Morvane";
    QTemporaryDir tmp;
    XWindows x;
    QProcessEnvironment environment;
};

TEST_F(EndToEnd, OneWindowOneCopyAndClosingEndsTheProgram) {
    auto first = start();
    ASSERT_TRUE(first->waitForStarted());
    const unsigned long main = waitForMainWindow(*first);
    ASSERT_NE(main, 0u) << "the main window did not appear";

    auto second = start();
    ASSERT_TRUE(second->waitForFinished(15000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);
    EXPECT_EQ(x.windowsTitled(kTitle).size(), 1u);

    x.askToClose(main);
    ASSERT_TRUE(first->waitForFinished(15000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
}

TEST_F(EndToEnd, AKilledCopyDoesNotBlockTheNextStart) {
    auto killed = start();
    ASSERT_TRUE(killed->waitForStarted());
    ASSERT_NE(waitForMainWindow(*killed), 0u);
    killed->kill();  // SIGKILL: no clean-up runs
    ASSERT_TRUE(killed->waitForFinished(15000));

    auto next = start();
    ASSERT_TRUE(next->waitForStarted());
    const unsigned long main = waitForMainWindow(*next);
    ASSERT_NE(main, 0u) << "a stale lock blocked the start";
    x.askToClose(main);
    EXPECT_TRUE(next->waitForFinished(15000));
}

}  // namespace
