// SPDX-License-Identifier: GPL-3.0-or-later
// The window's operations end to end, as the rows of window-operations.csv: the user's steps
// and what the window shows after them, with every dialog answered by the fixture's hooks.
#include "WindowFixture.h"

#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QProgressBar>
#include <QUrl>
#include <filesystem>
#include <string_view>

using namespace tidytest;

namespace {

// Sends the events of a file dragged onto `target` and dropped there.
void dropFile(QWidget* target, const QString& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(target, &drop);
    QCoreApplication::processEvents(); // the scan follows the drop
}

class Operations : public WindowFixture {
public:
    // Runs one step of a case; "{dir}" in its argument stands for the settings folder, where
    // the case's files are.
    void step(const std::string& action, std::string argument) {
        for (std::size_t at; (at = argument.find("{dir}")) != std::string::npos;)
            argument.replace(at, 5, dir_);
        const std::size_t colon = argument.find(':');
        const std::string name = argument.substr(0, colon);
        const std::string rest = colon == std::string::npos ? "" : argument.substr(colon + 1);
        if (action == "tick" || action == "stored")
            options(action == "stored", argument == "11" || argument == "10",
                    argument.ends_with('1'));
        else if (action == "file")
            copy(argument);
        else if (action == "open")
            openAnswer = copy(argument);
        else if (action == "cancel")
            openAnswer.reset();
        else if (action == "saveas")
            saveAnswer = QString::fromStdString(settings.dir().file(argument));
        else if (action == "run")
            QMetaObject::invokeMethod(&form, (argument + "Click").c_str());
        else if (action == "openFile") {
            QDir::setCurrent(QString::fromStdString(dir_));
            form.openFile(QString::fromStdString(argument));
        } else if (action == "set")
            control<QLineEdit>(form, "Edit1")->setText(QString::fromStdString(argument));
        else if (action == "drop")
            dropFile(name == "Edit1" ? control<QWidget>(form, "Edit1") : &form,
                     QString::fromStdString(rest));
        else if (action == "folder")
            store.writeInitialFolder(QString::fromStdString(argument));
        else
            check(action, argument, name, rest);
    }

private:
    void check(const std::string& action, const std::string& argument, const std::string& name,
               const std::string& rest) {
        if (action == "events") {
            std::string shown;
            for (const std::string& event : events)
                shown += (shown.empty() ? "" : "|") + event;
            EXPECT_EQ(shown, argument);
            events.clear();
        } else if (action == "dialogs") {
            EXPECT_EQ(std::to_string(events.size()), argument);
            events.clear();
        } else if (action == "state")
            EXPECT_EQ(state(), argument);
        else if (action == "has" || action == "lacks")
            EXPECT_EQ(readFile(settings.dir().file(name)).find(rest) == std::string::npos,
                      action == "lacks")
                << argument;
        else if (action == "same")
            EXPECT_TRUE(readFile(settings.dir().file(name)) ==
                        readFile(dataPath("window/" + rest)));
        else
            act(form, action + ":" + argument);
    }

    void options(bool stored, bool triangles, bool curves) {
        if (stored)
            store.writeOptions(triangles, curves);
        else {
            control<QCheckBox>(form, "CheckBox1")->setChecked(triangles);
            control<QCheckBox>(form, "CheckBox2")->setChecked(curves);
        }
    }

    // Puts a fresh copy of the test data file `name`, where there is one, into the folder and
    // returns its path there.
    QString copy(const std::string& name) {
        const std::string data = dataPath("window/" + name);
        if (std::filesystem::exists(data))
            settings.dir().write(name, readFile(data));
        return QString::fromStdString(settings.dir().file(name));
    }

    // What the window shows, in the columns' order of the table's "state" rows.
    std::string state() const {
        std::string s = "Edit1=" + text("Edit1") + "|List=";
        const auto* list = control<QListWidget>(form, "ListBox1");
        for (int i = 0; i < list->count(); ++i)
            s += (i == 0 ? "" : ",") + list->item(i)->text().toStdString();
        s += "|Counts=";
        for (const char* counter : {"Label8", "Label7", "Label4", "Label14", "Label11", "Label16"})
            s += (std::string_view(counter) == "Label8" ? "" : " ") + text(counter);
        const auto* bar = control<QProgressBar>(form, "ProgressBar1");
        s += "|Bar=" + std::to_string(bar->value()) + "/" + std::to_string(bar->maximum()) + "|On=";
        for (const char* button : {"Button1", "Button3", "Button5", "Button6"})
            if (control<QWidget>(form, button)->isEnabled())
                s += button[6];
        s += "|Button2=" + text("Button2") + "|Folder=" + store.readInitialFolder().toStdString();
        return control<QWidget>(form, "Label9")->isHidden() ? s : s + "|Waiting";
    }

    const std::string dir_ = settings.dir().path().string();
};

} // namespace

TEST(OperationsTest, EveryCaseOfTheTable) {
    const auto rows = dataTable("window-operations.csv");
    for (std::size_t first = 0; first < rows.size();) {
        SCOPED_TRACE(rows[first].at(0));
        Operations window;
        std::size_t row = first;
        for (; row < rows.size() && rows[row].at(0) == rows[first].at(0); ++row) {
            SCOPED_TRACE(rows[row].at(1) + ":" + rows[row].at(2));
            window.step(rows[row].at(1), rows[row].at(2));
        }
        EXPECT_TRUE(window.events.empty()) << "unchecked: " << window.events.front();
        first = row;
    }
}
