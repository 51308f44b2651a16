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
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
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

    // Scans `path` as the user would, then runs the command's operation on it; a command that
    // writes to a new file picks "Edit and save as" with `saveAsPath` as the dialog's answer.
    // Returns the errors that the operation showed.
    std::vector<std::string> run(const Command& c, const std::string& path,
                                 const std::string& saveAsPath) {
        const Operation op = c.op;
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
        else if (c.toNewFile)
            form_.Button3Click();
        else
            form_.Button1Click();
        return errors_;
    }

    // Lets any user store the settings, as the scan does.
    void shareSettingsFolder() { chmod(settings_.dir().path().c_str(), 0777); }

    std::string edit1() { return control<QLineEdit>(form_, "Edit1")->text().toStdString(); }

private:
    TempSettings settings_;
    tidy::SettingsStore store_;
    TForm2 form_{store_};
    std::string path_;
    std::string saveAs_;
    std::vector<std::string> errors_;
};

// The window's ways of running each operation: the two save commands for the passes, one
// otherwise.
std::vector<Command> windowCommands() {
    std::vector<Command> commands = everyCommand();
    std::erase_if(commands, [](const Command& c) {
        return c.toNewFile && c.op != Triangles && c.op != Curves;
    });
    return commands;
}

class BadInputWindowTest : public ::testing::TestWithParam<Command> {};

} // namespace

// Every operation goes through the one error boundary of the window: one refused file per
// operation shows that it reports the refusal and changes nothing, and the good file that it
// runs there. The command line runs the whole catalogue.
TEST_P(BadInputWindowTest, RefusedWithTheFileUnchanged) {
    const Command& c = GetParam();
    WindowRun window;
    for (const BadFile* entry : {&catalogue().front(), &firstRefusedBy(c.op)}) {
        SCOPED_TRACE(entry->name);
        const std::string bytes = catalogueBytes(*entry);
        TempDir dir;
        const std::string file = dir.write(entry->name, bytes);
        const std::vector<std::string> errors = window.run(c, file, dir.file("out.xml"));
        if (!(entry->refusing & c.op)) {
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

INSTANTIATE_TEST_SUITE_P(Catalogue, BadInputWindowTest, ::testing::ValuesIn(windowCommands()),
                         [](const auto& p) {
                             return operationName(p.param.op) +
                                    std::string(p.param.toNewFile ? "SaveAs" : "");
                         });

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

class NoFileWindowTest : public ::testing::TestWithParam<NoFile> {};

} // namespace

// Nothing at the path, or a folder in its place: the scan, the renaming and the colouring do
// nothing and say nothing; the save commands refuse. A file its user may not read: every
// operation says so, in the user's language. Nothing is created either way. Root reads every
// file, so as root the window's thread reads files as "nobody" would.
TEST_P(NoFileWindowTest, NothingIsCreatedAndTheFileKept) {
    const NoFile kind = GetParam();
    TempDir dir;
    const std::string path = makeNoFile(dir, kind);
    WindowRun window;
    window.shareSettingsFolder();
    {
        std::optional<FileAccessAsNobody> nobody;
        if (kind == NoFile::Unreadable && canActAsNobody())
            nobody.emplace();
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd >= 0)
            ::close(fd);
        if (kind == NoFile::Unreadable && fd >= 0)
            GTEST_SKIP() << "setfsuid does not take effect here";
        for (const Command& c : windowCommands()) {
            SCOPED_TRACE(::testing::PrintToString(c));
            std::vector<std::string> want;
            if (kind == NoFile::Unreadable)
                want = {path + ": cannot open the file: " + std::strerror(EACCES)};
            else if (c.op == Triangles || c.op == Curves)
                want = {path + ": no such file; nothing was written"};
            EXPECT_EQ(window.run(c, path, dir.file("out.xml")), want);
            EXPECT_EQ(dir.listing(), kind == NoFile::Missing ? "" : "survey.xml");
        }
    }
    expectNoFileKept(dir, kind);
}

INSTANTIATE_TEST_SUITE_P(Paths, NoFileWindowTest, ::testing::ValuesIn(kNoFiles),
                         [](const auto& param) { return noFileName(param.param); });
