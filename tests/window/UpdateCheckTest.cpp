// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppTestSupport.h"
#include "gui/window/tidylandmain.h"

#include <QDir>
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

// PATH holds only a temporary folder, where a test may put a stand-in for the updater.
class WindowUpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedPath_ = qgetenv("PATH");
        qputenv("PATH", QByteArray::fromStdString(bin_.path().string()));
    }
    void TearDown() override { qputenv("PATH", savedPath_); }

    // A stand-in updater that writes its process id first, then runs `body`.
    void install(const std::string& body) {
        const std::string path = bin_.write(
            "ZorbInternetUpdater.exe", "#!/bin/sh\necho $$ > '" + pidFile() + ".new'\n/bin/mv '" +
                                           pidFile() + ".new' '" + pidFile() + "'\n" + body);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }

    std::string pidFile() const { return bin_.file("updater.pid"); }
    std::string log() const { return bin_.file("runs.log"); }
    std::string runs() const {
        return std::filesystem::exists(log()) ? tidytest::readFile(log()) : "";
    }

    // Lets the status go: it hides, and the updater runs no more.
    void expectStatusHidden(TForm2& form, const std::string& ran) {
        form.setUpdateCheckIntervals(0ms, 0ms);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !control<QTimer>(form, "Timer2")->isActive(); }));
        EXPECT_FALSE(control<QLabel>(form, "Label10")->isVisible());
        QCoreApplication::processEvents();
        EXPECT_FALSE(control<QTimer>(form, "Timer1")->isActive());
        EXPECT_EQ(runs(), ran);
    }

    // Events flow while the updater runs; it is gone with the window.
    void expectKilledWithTheWindow(std::unique_ptr<TForm2> form) {
        const pid_t pid = std::stoi(tidytest::readFile(pidFile()));
        bool ticked = false;
        QTimer::singleShot(20, form.get(), [&] { ticked = true; });
        EXPECT_TRUE(QTest::qWaitFor([&] { return ticked; }, 2000));
        EXPECT_EQ(::kill(pid, 0), 0) << "the updater is still running";
        form.reset();
        errno = 0;
        EXPECT_EQ(::kill(pid, 0), -1) << "a process or a zombie is left";
        EXPECT_EQ(errno, ESRCH);
    }

    tidytest::TempDir bin_;
    QByteArray savedPath_;
    tidytest::TempSettings settings_;
};

// The status line shows whether the updater ran, and hides once it has ended. An updater that
// never ends keeps neither the window nor anything else waiting, and closing the window leaves no
// process and no zombie behind, also when it ignores the request to end. A window closed before
// the check never starts it. The check runs once per run of the program.
TEST_F(WindowUpdateCheckTest, EveryOutcomeOfTheUpdater) {
    // Logs its arguments, one run per line, after a pause: the log is there when the check has
    // waited for the end. The failure code is not looked at.
    const std::string logged =
        "/bin/sleep 0.3\nrun=$(printf '%s|' \"$#\" \"$@\")\necho \"$run\" >> '" + log() + "'\n";
    const struct {
        const char* what;
        const char* body; // nullptr: no updater
        bool closedFirst;
        bool ends;
        const char* status;
    } cases[] = {
        {"ending with a failure", "exit 7\n", false, true, "No new version available..."},
        {"missing", nullptr, false, true, "Checking for new versions..."},
        {"never ending", "exec /bin/sleep 30\n", false, false, "Checking for new versions..."},
        {"never ending, ignoring TERM", "trap '' TERM\nexec /bin/sleep 30\n", false, false,
         "Checking for new versions..."},
        {"window closed before the check", "exit 0\n", true, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& file : {pidFile(), log(), bin_.file("ZorbInternetUpdater.exe")})
            std::filesystem::remove(file);
        if (c.body)
            install(logged + c.body);
        const std::string ran = c.body && !c.closedFirst ? "1|/CHECK/SILENT|\n" : "";
        auto form = std::make_unique<TForm2>();
        form->show();
        // Check at once; keep the status up until the test lets it go.
        form->setUpdateCheckIntervals(0ms, 1h);
        auto* timer1 = control<QTimer>(*form, "Timer1");
        auto* timer2 = control<QTimer>(*form, "Timer2");
        auto* status = control<QLabel>(*form, "Label10");
        if (c.closedFirst) {
            form->close();
            EXPECT_FALSE(timer1->isActive());
            QTest::qWait(400);
            EXPECT_FALSE(std::filesystem::exists(pidFile()));
            continue;
        }
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return c.ends ? timer2->isActive() : !runs().empty(); }, 10000));
        EXPECT_FALSE(timer1->isActive());
        EXPECT_EQ(runs(), ran);
        EXPECT_TRUE(status->isVisible());
        EXPECT_EQ(status->text().toStdString(), c.status);
        EXPECT_EQ(timer2->isActive(), c.ends);
        if (c.ends)
            expectStatusHidden(*form, ran);
        else
            expectKilledWithTheWindow(std::move(form));
    }
}

} // namespace

// An updater in the current folder is never started, also when PATH names that folder relatively
// ("." or an empty entry): it may have come with a downloaded file.
TEST_F(WindowUpdateCheckTest, NeverFromTheCurrentFolder) {
    install("exit 0\n");
    const QString before = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(bin_.path().string()));
    qputenv("PATH", ":.:bin");
    TForm2 form;
    form.setUpdateCheckIntervals(0ms, 1h);
    ASSERT_TRUE(QTest::qWaitFor([&] { return control<QTimer>(form, "Timer2")->isActive(); }));
    QDir::setCurrent(before);
    EXPECT_EQ(control<QLabel>(form, "Label10")->text(), "Checking for new versions...");
    EXPECT_FALSE(std::filesystem::exists(pidFile()));
}
