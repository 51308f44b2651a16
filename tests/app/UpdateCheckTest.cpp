// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppTestSupport.h"
#include "app/tidylandmain.h"

#include <QLabel>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>

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
        const std::string script = "#!/bin/sh\n/bin/sleep 0.3\nprintf '%s|' \"$#\" \"$@\" >> '" +
                                   log() + "'\necho >> '" + log() + "'\nexit 7\n";
        const std::string path = bin_.write("ZorbInternetUpdater.exe", script);
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
        ASSERT_TRUE(QTest::qWaitFor([&] { return !timer1->isActive(); }));
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
