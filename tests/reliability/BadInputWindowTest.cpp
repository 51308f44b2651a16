// SPDX-License-Identifier: GPL-3.0-or-later
// The bad-input catalogue through the window's handlers: an operation that meets the fault shows
// one error naming the file and the place, leaves the file and its folder as they were and does
// not put the window into its after-save state.
#include "app/tidylandmain.h"

#include "Catalogue.h"
#include "Tidyland.h"
#include "app/AppTestSupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tidytest;

namespace {

class WindowRun {
public:
    WindowRun() {
        form_.setUpdaterProgram(QStringLiteral("tidylander-test-no-such-updater"));
        auto& h = form_.hooks();
        h.chooseOpenFile = [this](const QString&) -> std::optional<QString> {
            return QString::fromStdString(path_);
        };
        h.chooseSaveFile = [this](const QString&) { return QString::fromStdString(saveAs_); };
        h.inform = [](const QString&) {};
        h.showError = [this](const QString& text) { errors_.push_back(text.toStdString()); };
        h.askName = [](const std::string&) {
            return tidy::NameAnswer{true, std::string(kNewName)};
        };
        h.pickColor = [](const std::string&, std::int32_t) { return std::int32_t{kNewColor}; };
    }

    // Scans `path` as the user would, then runs `op` on it; `saveAs` picks "Edit and save as"
    // with `saveAsPath` as the dialog's answer. Returns the errors that `op` showed.
    std::vector<std::string> run(Operation op, const std::string& path, bool saveAs = false,
                                 const std::string& saveAsPath = "") {
        path_ = path;
        saveAs_ = saveAsPath;
        errors_.clear();
        form_.Button4Click();
        if (op == Scan)
            return errors_;
        errors_.clear();
        control<QCheckBox>(form_, "CheckBox1")->setChecked(op == Triangles);
        control<QCheckBox>(form_, "CheckBox2")->setChecked(op == Curves);
        if (op == Rename)
            form_.Button5Click();
        else if (op == Color)
            form_.Button6Click();
        else if (saveAs)
            form_.Button3Click();
        else
            form_.Button1Click();
        return errors_;
    }

    // Lets any user store the settings, as the scan does.
    void shareSettingsFolder() { chmod(settings_.dir().path().c_str(), 0777); }

    std::string edit1() { return control<QLineEdit>(form_, "Edit1")->text().toStdString(); }
    std::string button2() { return control<QPushButton>(form_, "Button2")->text().toStdString(); }

private:
    TempSettings settings_;
    tidy::SettingsStore store_;
    TForm2 form_{store_};
    std::string path_;
    std::string saveAs_;
    std::vector<std::string> errors_;
};

// The window's ways of running `op`: the two save commands for the passes, one otherwise.
std::vector<bool> saveAsModes(Operation op) {
    return op == Triangles || op == Curves ? std::vector<bool>{false, true}
                                           : std::vector<bool>{false};
}

std::string modeName(Operation op, bool saveAs) {
    return std::string(operationName(op)) + (saveAs ? " (save as)" : "");
}

class BadInputWindowTest : public ::testing::TestWithParam<Operation> {};

} // namespace

// Every operation goes through the one error boundary of the window: one refused file per
// operation shows that it reports the refusal and changes nothing, and the good file that it
// runs there. The command line runs the whole catalogue.
TEST_P(BadInputWindowTest, RefusedWithTheFileUnchanged) {
    const Operation op = GetParam();
    WindowRun window;
    for (const BadFile* entry : {&catalogue().front(), &firstRefusedBy(op)}) {
        const std::string bytes = catalogueBytes(*entry);
        for (bool saveAs : saveAsModes(op)) {
            SCOPED_TRACE(entry->name + ": " + modeName(op, saveAs));
            TempDir dir;
            const std::string file = dir.write(entry->name, bytes);
            const std::vector<std::string> errors =
                window.run(op, file, saveAs, dir.file("out.xml"));
            if (!(entry->refusing & op)) {
                EXPECT_TRUE(errors.empty()) << errors.front();
                continue;
            }
            ASSERT_EQ(errors.size(), 1u);
            const std::string place = entry->place.empty() ? "" : entry->place + ": ";
            EXPECT_EQ(errors[0].rfind(file + ": " + place, 0), 0u) << errors[0];
            EXPECT_NE(errors[0].find(entry->says), std::string::npos) << errors[0];
            EXPECT_TRUE(readFile(file) == bytes) << "the file changed";
            EXPECT_EQ(dir.listing(), entry->name);
            EXPECT_EQ(window.edit1(), file) << "a failed operation keeps the path for another try";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BadInputWindowTest, ::testing::ValuesIn(kOperations),
                         [](const auto& param) { return std::string(operationName(param.param)); });

namespace {

class NotAFileWindowTest : public ::testing::TestWithParam<bool> {};

} // namespace

// Nothing at the path, or a folder in its place: the scan, the renaming and the colouring do
// nothing and say nothing; the save commands refuse. Nothing is created either way.
TEST_P(NotAFileWindowTest, OnlyTheSaveCommandsComplainAndNothingIsCreated) {
    const bool folder = GetParam();
    WindowRun window;
    for (Operation op : kOperations) {
        for (bool saveAs : saveAsModes(op)) {
            SCOPED_TRACE(modeName(op, saveAs));
            TempDir dir;
            const std::string path = dir.file("survey.xml");
            if (folder) {
                std::filesystem::create_directory(path);
                dir.write("survey.xml/inside.txt", "kept");
            }
            const std::vector<std::string> errors =
                window.run(op, path, saveAs, dir.file("out.xml"));
            if (op == Triangles || op == Curves)
                EXPECT_EQ(errors,
                          std::vector<std::string>{path + ": no such file; nothing was written"});
            else
                EXPECT_TRUE(errors.empty()) << errors.front();
            EXPECT_EQ(dir.listing(), folder ? "survey.xml" : "");
            if (folder) {
                EXPECT_EQ(readFile(dir.file("survey.xml/inside.txt")), "kept");
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(MissingOrFolder, NotAFileWindowTest, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "Folder" : "Missing"; });

namespace {

// File access as another user for this thread, for the life of the object: setfsuid changes
// only the ids that permission checks use, and drops root's right to override them.
class FileAccessAsNobody {
public:
    FileAccessAsNobody()
        : gid_(static_cast<gid_t>(setfsgid(kNobody))), uid_(static_cast<uid_t>(setfsuid(kNobody))) {
    }
    ~FileAccessAsNobody() {
        setfsuid(uid_);
        setfsgid(gid_);
    }
    FileAccessAsNobody(const FileAccessAsNobody&) = delete;
    FileAccessAsNobody& operator=(const FileAccessAsNobody&) = delete;

private:
    gid_t gid_;
    uid_t uid_;
};

void expectEveryOperationRefusesUnreadable(WindowRun& window, const TempDir& dir,
                                           const std::string& file) {
    for (Operation op : kOperations) {
        for (bool saveAs : saveAsModes(op)) {
            SCOPED_TRACE(modeName(op, saveAs));
            const std::vector<std::string> errors =
                window.run(op, file, saveAs, dir.file("out.xml"));
            ASSERT_EQ(errors.size(), 1u);
            // The window runs in the user's locale, so the system's words are translated.
            EXPECT_EQ(errors[0], file + ": cannot open the file: " + std::strerror(EACCES));
            EXPECT_EQ(dir.listing(), "survey.xml");
        }
    }
}

} // namespace

TEST(UnreadableWindowTest, FileWithoutReadPermission) {
    if (canActAsNobody())
        GTEST_SKIP() << "root reads every file; FileUnreadableToAnotherUser covers root";
    TempDir dir;
    const std::string bytes = catalogueBytes(catalogue().front());
    const std::string file = dir.write("survey.xml", bytes);
    chmod(file.c_str(), 0);
    WindowRun window;
    expectEveryOperationRefusesUnreadable(window, dir, file);
    chmod(file.c_str(), 0644);
    EXPECT_EQ(readFile(file), bytes);
}

// As root, the window's thread reads files as "nobody" would.
TEST(UnreadableWindowTest, FileUnreadableToAnotherUser) {
    if (!canActAsNobody())
        GTEST_SKIP() << "only root can take another user's file access";
    TempDir dir;
    chmod(dir.path().c_str(), 0755);
    const std::string bytes = catalogueBytes(catalogue().front());
    const std::string file = dir.write("survey.xml", bytes);
    chmod(file.c_str(), 0600);
    WindowRun window;
    window.shareSettingsFolder();
    {
        const FileAccessAsNobody nobody;
        const int fd = ::open(file.c_str(), O_RDONLY);
        if (fd >= 0) {
            ::close(fd);
            GTEST_SKIP() << "setfsuid does not take effect here";
        }
        ASSERT_EQ(errno, EACCES);
        expectEveryOperationRefusesUnreadable(window, dir, file);
    }
    EXPECT_EQ(readFile(file), bytes);
}
