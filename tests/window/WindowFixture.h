// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as the tests drive it: settings in a folder of its own, no update check, and
// every dialog answered by a hook that records what it was asked.
#pragma once

#include "AppTestSupport.h"
#include "gui/window/tidylandmain.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QListWidget>
#include <QProgressBar>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tidytest {

class WindowFixture {
public:
    WindowFixture() {
        form.setUpdaterProgram(QStringLiteral("tidylander-test-no-such-updater"));
        auto& h = form.hooks();
        h.chooseOpenFile = [this](const QString& folder) {
            record("open in " + folder.toStdString());
            return openAnswer;
        };
        h.chooseSaveFile = [this](const QString& folder) {
            // The counters behind the dialog show the run's exact values.
            record("save in " + folder.toStdString() + " after " + text("Label4") + " removed");
            return saveAnswer;
        };
        h.inform = [this](const QString& text) { record("inform" + text.toStdString()); };
        h.showError = [this](const QString& text) { record("error " + text.toStdString()); };
        h.askName = [this](const std::string& name) {
            record("name " + name);
            return tidy::NameAnswer{true, name + "-2"};
        };
        h.pickColor = [this](const std::string& name, std::int32_t preset) {
            record("color " + name + " " + std::to_string(preset));
            return std::int32_t(7);
        };
        // The work between the modal windows, such as listing, runs under the wait cursor.
        QObject::connect(control<QListWidget>(form, "ListBox1")->model(),
                         &QAbstractItemModel::rowsInserted, &form,
                         [] { EXPECT_EQ(forcedCursor(), Qt::WaitCursor) << "while listing"; });
    }

    // No operation leaves its wait cursor behind.
    ~WindowFixture() { EXPECT_EQ(forcedCursor(), std::nullopt); }

    // Every modal window of an operation shows the normal cursor.
    void record(const std::string& event) {
        EXPECT_EQ(forcedCursor(), std::nullopt) << event;
        events.push_back(event);
    }

    // The texts of the error boxes shown so far.
    std::vector<std::string> errors() const {
        std::vector<std::string> shown;
        for (const std::string& event : events)
            if (event.starts_with("error "))
                shown.push_back(event.substr(6));
        return shown;
    }

    // The dialogs shown since the last call, "|" between them.
    std::string takeEvents() {
        std::string shown;
        for (const std::string& event : events)
            shown += (shown.empty() ? "" : "|") + event;
        events.clear();
        return shown;
    }

    // Ticks the two option boxes: remove triangles, correct curves.
    void tick(bool triangles, bool curves) {
        control<QCheckBox>(form, "CheckBox1")->setChecked(triangles);
        control<QCheckBox>(form, "CheckBox2")->setChecked(curves);
    }
    // The ticks and the stored options, "1" for on: "10 stored 01".
    std::string options() const {
        const auto on = [](bool b) { return b ? "1" : "0"; };
        const tidy::StoredOptions stored = store.readOptions();
        return std::string(on(control<QCheckBox>(form, "CheckBox1")->isChecked())) +
               on(control<QCheckBox>(form, "CheckBox2")->isChecked()) + " stored " +
               on(stored.driehoeken) + on(stored.curve);
    }

    // What the window shows, "|" between: the file box (a file of the folder by its name), the
    // list lines, the six counters, the bar (value/maximum), the digits of the enabled buttons
    // among Button1, 3, 5 and 6, and Button2's caption.
    std::string state() const {
        std::string s = text("Edit1");
        if (s.starts_with(folder() + "/"))
            s.erase(0, folder().size() + 1);
        s += "|";
        const auto* list = control<QListWidget>(form, "ListBox1");
        for (int i = 0; i < list->count(); ++i)
            s += (i == 0 ? "" : ",") + list->item(i)->text().toStdString();
        for (const char* counter : {"Label8", "Label7", "Label4", "Label14", "Label11", "Label16"})
            s += (std::string_view(counter) == "Label8" ? "|" : " ") + text(counter);
        const auto* bar = control<QProgressBar>(form, "ProgressBar1");
        s += "|" + std::to_string(bar->value()) + "/" + std::to_string(bar->maximum()) + "|";
        for (const char* button : {"Button1", "Button3", "Button5", "Button6"})
            if (control<QWidget>(form, button)->isEnabled())
                s += button[6];
        return s + "|" + text("Button2");
    }

    // Puts a fresh copy of the test data file window/NAME, where there is one, into the folder
    // of the settings and returns its path there.
    QString copy(const std::string& name) {
        const std::string data = dataPath("window/" + name);
        if (std::filesystem::exists(data))
            settings.dir().write(name, readFile(data));
        return QString::fromStdString(settings.dir().file(name));
    }
    // Opens the copy of window/NAME through the open dialog and scans it.
    void scan(const std::string& name) {
        openAnswer = copy(name);
        form.Button4Click();
    }
    std::string folder() const { return settings.dir().path().string(); }
    std::string file(const std::string& name) const { return settings.dir().file(name); }

    std::string text(const char* name) const {
        const QObject* found = control<QObject>(form, name);
        return found ? found->property("text").toString().toStdString() : "";
    }

    TempSettings settings;
    tidy::SettingsStore store;
    TForm2 form{store};
    std::optional<QString> openAnswer; // nothing: the open dialog is cancelled
    QString saveAnswer;                // "": the save dialog is closed without a choice
    std::vector<std::string> events;
};

} // namespace tidytest
