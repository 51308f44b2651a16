// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: its operations end to end, as the rows of window-operations.csv (the user's
// steps and what the window shows and asks after them, every dialog answered by the fixture's
// hooks), its fit on every screen and the real dialogs behind its hooks.
#include "WindowFixture.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <new>
#include <stdexcept>
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
        else if (!windowStep(action, name, rest))
            check(action, argument, name, rest);
    }

private:
    // The window itself: shown and activated, a modal dialog over it, a mouse click on a
    // control, a settings file that cannot be written.
    bool windowStep(const std::string& action, const std::string& name, const std::string& rest) {
        if (action == "show") {
            form.show();
            form.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
        } else if (action == "modal") {
            QDialog dialog(&form);
            QTimer::singleShot(0, &dialog, &QDialog::reject);
            dialog.exec();
            QEvent activation(QEvent::WindowActivate);
            QApplication::sendEvent(&form, &activation);
        } else if (action == "mouse") {
            QTest::mouseClick(control<QWidget>(form, rest.c_str()),
                              name == "left" ? Qt::LeftButton : Qt::RightButton);
            QCoreApplication::processEvents(); // what a click starts may follow it queued
        } else if (action == "throw") {
            // Whatever escapes an operation, here from the open dialog.
            form.hooks().chooseOpenFile = [kind = name](const QString&) -> std::optional<QString> {
                if (kind == "memory")
                    throw std::bad_alloc();
                if (kind == "error")
                    throw std::runtime_error("box failed");
                throw 42;
            };
        } else if (action == "unwritable") {
            const auto conf = settings.dir().path() / "TQB55" / "tidyland.conf";
            std::filesystem::remove(conf);
            std::filesystem::create_directories(conf);
        } else
            return false;
        return true;
    }

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
        } else if (action == "options") {
            const tidy::StoredOptions stored = store.readOptions();
            const auto ticked = [this](const char* box) {
                return control<QCheckBox>(form, box)->isChecked() ? "1" : "0";
            };
            EXPECT_EQ(std::string("ticked ") + ticked("CheckBox1") + ticked("CheckBox2") +
                          ", stored " + (stored.driehoeken ? "1" : "0") +
                          (stored.curve ? "1" : "0") + (form.isVisible() ? ", shown" : ", hidden"),
                      argument);
        } else if (action == "state")
            EXPECT_EQ(state(), argument);
        else if (action == "has" || action == "lacks")
            EXPECT_EQ(readFile(settings.dir().file(name)).find(rest) == std::string::npos,
                      action == "lacks")
                << argument;
        else if (action == "absent")
            EXPECT_FALSE(std::filesystem::exists(settings.dir().file(argument)));
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
        if (forcedCursor())
            s += "|Cursor forced";
        return control<QWidget>(form, "Label9")->isHidden() ? s : s + "|Waiting";
    }

    const std::string dir_ = folder();
};

} // namespace

TEST(TForm2Test, EveryCaseOfTheOperationsTable) {
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

// Every caption still ends before its counter on every screen.
TEST(TForm2Test, FitsEveryScreenWithEveryCaptionBeforeItsCounter) {
    const TempSettings settings;
    for (const QSize available : tidytest::kScreens) {
        SCOPED_TRACE(std::to_string(available.width()) + "x" + std::to_string(available.height()));
        TForm2 fitted;
        fitted.fitInto(QRect(QPoint(0, 0), available));
        const double factor = tidytest::expectFitted(fitted, {1263, 766}, available, "Label1");
        EXPECT_EQ(fitted.minimumSize(), fitted.maximumSize()) << "the size stays fixed";
        auto* list = control<QListWidget>(fitted, "ListBox1");
        list->addItem(QStringLiteral("Surface 1"));
        EXPECT_NEAR(list->visualItemRect(list->item(0)).height(), 25 * factor, 1.0);
        for (const auto& [caption, counter] : {std::pair{"Label3", "Label8"},
                                               {"Label5", "Label7"},
                                               {"Label6", "Label4"},
                                               {"Label12", "Label14"},
                                               {"Label13", "Label11"},
                                               {"Label15", "Label16"}}) {
            const auto* label = control<QLabel>(fitted, caption);
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
            EXPECT_LT(label->geometry().right(), control<QLabel>(fitted, counter)->x()) << caption;
        }
    }
}

// The hooks' own dialogs: the save dialog asks before replacing a file and gives "" when closed;
// a message shows each of its lines on one line.
TEST(TForm2Test, RealDialogsBehindTheHooks) {
    const TempSettings settings;
    TForm2 window;
    window.setUpdaterProgram(QStringLiteral("tidylander-test-no-such-updater"));
    const QString start = QString::fromStdString(settings.dir().path().string());
    QTimer::singleShot(0, &window, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr) << "no file dialog";
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(dialog->directory().absolutePath(), start);
        dialog->reject();
    });
    EXPECT_EQ(window.hooks().chooseSaveFile(start), QString());

    const QString text = QStringLiteral(
        "The xml file is adjusted by correcting one or more curves. Missing data \n"
        "is added where needed. Check data before use!! \n"
        "Reading the adjusted XML file back into Civil3D will deliver incorrect data.");
    int linesShown = 0;
    QTimer::singleShot(0, &window, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr) << "no message box";
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        EXPECT_EQ(label->text(), text);
        linesShown = label->heightForWidth(label->contentsRect().width()) /
                     label->fontMetrics().lineSpacing();
        box->accept();
    });
    window.hooks().inform(text);
    EXPECT_EQ(linesShown, 3);
}

// The stored options are in the boxes before the window shows: a box ticked before the window's
// first activation (the user's first click, without a window manager) keeps its tick.
TEST(TForm2Test, TickBeforeTheFirstActivationSurvivesIt) {
    WindowFixture window;
    window.store.writeOptions(false, true);
    window.form.show();
    EXPECT_TRUE(control<QCheckBox>(window.form, "CheckBox2")->isChecked());
    control<QCheckBox>(window.form, "CheckBox1")->click();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window.form));
    for (const char* box : {"CheckBox1", "CheckBox2"})
        EXPECT_TRUE(control<QCheckBox>(window.form, box)->isChecked()) << box;
}

// A name another surface has is refused with a message, and the dialog asks again.
TEST(TForm2Test, RenameRefusesATakenNameAndAsksAgain) {
    WindowFixture window;
    const tidy::NameAnswer answers[] = {{true, "FG"}, {true, "EG 2"}, {false, ""}};
    window.form.hooks().askName = [&, asked = 0](const std::string& name) mutable {
        window.record("name " + name);
        return answers[asked++];
    };
    window.openAnswer = window.copy("survey.xml");
    window.form.Button4Click();
    window.form.Button5Click();
    EXPECT_EQ(window.events, (std::vector<std::string>{"open in ", "name EG",
                                                       "informThe new name \"FG\" of surface "
                                                       "\"EG\" is already the name of surface 2 of "
                                                       "the file",
                                                       "name FG", "name FG"}));
    EXPECT_NE(readFile(window.openAnswer->toStdString()).find("\"EG 2\""), std::string::npos);
}

// Tab reaches every control in the order of the layout; the shortcuts press the buttons (only
// enabled ones), F1 opens the manual and Ctrl+Q closes without storing the options.
TEST(TForm2Test, KeyboardReachesEveryControlAndEveryCommand) {
    WindowFixture window;
    TForm2& form = window.form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier); // nothing scanned: disabled
    window.openAnswer = window.copy("survey.xml");
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    for (const char* next : {"Button2", "Button3", "Button1", "Edit1", "Button4", "ListBox1",
                             "Button5", "Button6", "CheckBox1", "CheckBox2", "Button2"}) {
        EXPECT_EQ(form.focusWidget()->objectName(), next);
        QTest::keyClick(form.focusWidget(), Qt::Key_Tab);
    }
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(window.events, (std::vector<std::string>{"open in ", "save in " + window.folder() +
                                                                       " after # removed"}));
    EXPECT_EQ(window.text("Edit1"), " ") << "saved";
    QTest::keyClick(&form, Qt::Key_F1);
    EXPECT_TRUE(form.findChild<QWidget*>("Manual")->isVisible());
    control<QCheckBox>(form, "CheckBox1")->setChecked(true);
    QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form.isVisible() || window.store.readOptions().driehoeken);
}
