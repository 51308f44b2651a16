// SPDX-License-Identifier: GPL-3.0-or-later
// The bad-input catalogue through the window's handlers: an operation that meets the fault shows
// one error naming the file and the place, leaves the file and its folder as they were and does
// not put the window into its after-save state.
#include "gui/window/tidylandmain.h"

#include "Catalogue.h"
#include "window/WindowFixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <gtest/gtest.h>

using namespace tidytest;

namespace {

// Scans `path` as the user would, then runs the command's operation on it; a command that
// writes to a new file picks "Edit and save as" with `saveAsPath` as the dialog's answer.
// Returns the errors that the operation showed.
std::vector<std::string> run(WindowFixture& window, const Command& c, const std::string& path,
                             const std::string& saveAsPath) {
    const Operation op = c.op;
    window.openAnswer = QString::fromStdString(path);
    window.saveAnswer = QString::fromStdString(saveAsPath);
    window.events.clear();
    window.form.Button4Click();
    if (op == Scan)
        return window.errors();
    window.events.clear();
    control<QCheckBox>(window.form, "CheckBox1")->setChecked(op == Triangles);
    control<QCheckBox>(window.form, "CheckBox2")->setChecked(op == Curves);
    if (op == Rename)
        window.form.Button5Click();
    else if (op == Color)
        window.form.Button6Click();
    else if (c.toNewFile)
        window.form.Button3Click();
    else
        window.form.Button1Click();
    return window.errors();
}

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
    WindowFixture window;
    for (const BadFile* entry : {&catalogue().front(), &firstRefusedBy(c.op)}) {
        SCOPED_TRACE(entry->name);
        const std::string bytes = catalogueBytes(*entry);
        TempDir dir;
        const std::string file = dir.write(entry->name, bytes);
        const std::vector<std::string> errors = run(window, c, file, dir.file("out.xml"));
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
        EXPECT_EQ(window.text("Edit1"), file)
            << "a failed operation keeps the path for another try";
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BadInputWindowTest, ::testing::ValuesIn(windowCommands()),
                         [](const auto& p) {
                             return operationName(p.param.op) +
                                    std::string(p.param.toNewFile ? "SaveAs" : "");
                         });
