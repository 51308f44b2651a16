// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppTestSupport.h"
#include "app/tidylandmain.h"

#include <QLabel>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace {

using namespace std::chrono_literals;
using tidytest::control;

const QString kChecking = QStringLiteral("Checking for new versions...");
const QString kNoNewVersion = QStringLiteral("No new version available...");

// PATH holds only a temporary folder, where a test may put a stand-in for the updater.
class WindowUpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedPath_ = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(bin_.path().string()));
    }
    void TearDown() override { qputenv("PATH", savedPath_); }

    // A stand-in updater that logs its arguments, one run per line, after a pause: the log is
    // there when the check has waited for it. It ends with a failure code, which the check
    // does not look at.
    void installUpdater() {
        install("/bin/sleep 0.3\nprintf '%s|' \"$#\" \"$@\" >> '" + log() + "'\necho >> '" + log() +
                "'\nexit 7\n");
    }
    void install(const std::string& body) {
        const std::string path = bin_.write("ZorbInternetUpdater.exe", "#!/bin/sh\n" + body);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }

    std::string log() const { return bin_.file("runs.log"); }
    std::string runs() const {
        return std::filesystem::exists(log()) ? tidytest::readFile(log()) : "";
    }

    tidytest::TempDir bin_;
    QByteArray savedPath_;
    tidytest::TempSettings settings_;
};

TEST_F(WindowUpdateCheckTest, StatusShowsWhetherTheUpdaterRanThenHides) {
    for (const bool present : {true, false}) {
        SCOPED_TRACE(present ? "updater present" : "no updater");
        TForm2 form;
        if (present)
            installUpdater();
        else
            std::filesystem::remove(bin_.file("ZorbInternetUpdater.exe"));
        std::filesystem::remove(log());
        form.show();
        // Check at once; keep the status up until the test lets it go.
        form.setUpdateCheckIntervals(0ms, 1h);
        auto* timer1 = control<QTimer>(form, "Timer1");
        auto* timer2 = control<QTimer>(form, "Timer2");
        auto* status = control<QLabel>(form, "Label10");
        ASSERT_TRUE(QTest::qWaitFor([&] { return timer2->isActive(); }));
        EXPECT_FALSE(timer1->isActive());
        EXPECT_EQ(runs(), present ? "1|/CHECK/SILENT|\n" : "");
        EXPECT_TRUE(status->isVisible());
        EXPECT_EQ(status->text(), present ? kNoNewVersion : kChecking);
        EXPECT_TRUE(timer2->isActive());

        form.setUpdateCheckIntervals(0ms, 0ms);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !timer2->isActive(); }));
        EXPECT_FALSE(status->isVisible());
        EXPECT_EQ(status->text(), present ? kNoNewVersion : kChecking);
        // The check runs once per run of the program.
        QCoreApplication::processEvents();
        EXPECT_FALSE(timer1->isActive());
        EXPECT_EQ(runs(), present ? "1|/CHECK/SILENT|\n" : "");
    }
}

// An updater that never ends keeps neither the window nor anything else waiting: the window
// goes on with the status up, and closing it leaves no process and no zombie behind, also when
// the updater ignores the request to end.
TEST_F(WindowUpdateCheckTest, UpdaterThatNeverEndsBlocksNothingAndDiesWithTheWindow) {
    for (const char* ignoring : {"", "trap '' TERM\n"}) {
        SCOPED_TRACE(*ignoring ? "ignoring TERM" : "ending on TERM");
        const std::string pidFile = bin_.file("updater.pid");
        std::filesystem::remove(pidFile);
        install(std::string(ignoring) + "echo $$ > '" + pidFile + ".new'\n/bin/mv '" + pidFile +
                ".new' '" + pidFile + "'\nexec /bin/sleep 30\n");
        auto form = std::make_unique<TForm2>();
        form->show();
        form->setUpdateCheckIntervals(0ms, 0ms);
        ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(pidFile); }, 10000));
        const pid_t pid = std::stoi(tidytest::readFile(pidFile));
        // Events still flow while the updater runs.
        bool ticked = false;
        QTimer::singleShot(20, form.get(), [&] { ticked = true; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return ticked; }, 2000));
        EXPECT_EQ(::kill(pid, 0), 0) << "the updater is still running";
        EXPECT_EQ(control<QLabel>(*form, "Label10")->text(), kChecking);
        EXPECT_FALSE(control<QTimer>(*form, "Timer1")->isActive());
        EXPECT_FALSE(control<QTimer>(*form, "Timer2")->isActive());

        form.reset();
        errno = 0;
        EXPECT_EQ(::kill(pid, 0), -1) << "a process or a zombie is left";
        EXPECT_EQ(errno, ESRCH);
    }
}

TEST_F(WindowUpdateCheckTest, WindowClosedBeforeTheCheckNeverStartsTheUpdater) {
    installUpdater();
    TForm2 form;
    form.show();
    form.setUpdateCheckIntervals(0ms, 0ms);
    form.close();
    EXPECT_FALSE(control<QTimer>(form, "Timer1")->isActive());
    QTest::qWait(50);
    EXPECT_EQ(runs(), "");
}

} // namespace
