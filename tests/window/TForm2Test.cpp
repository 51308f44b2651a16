// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: what it adds to the core's operations (the list lines, counters and buttons,
// the messages and their order, the stored options and folder, the ways a file comes in, the one
// error boundary), every dialog answered by the fixture's hooks; its fit on every screen and the
// real dialogs behind the hooks.
#include "WindowFixture.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>

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

const char* const kSurvey = "survey.xml|EG,FG|2 4 # # # #|0/4|1356|Cancel";
const char* const kSaved = " |EG.trm,FG.trm|2 4 2 1 1 #1|0/4|| Ready ";

} // namespace

// A scan lists the surfaces, counts the triangles for the curve option only, sets the bar's
// maximum to them, enables the operations and stores the folder, where the next dialog starts.
TEST(TForm2Test, ScanListsEnablesAndRemembersTheFolder) {
    WindowFixture w;
    w.tick(false, true);
    w.scan("survey.xml");
    EXPECT_EQ(w.state(), kSurvey);
    EXPECT_TRUE(control<QWidget>(w.form, "Label9")->isHidden()) << "the wait message";
    EXPECT_EQ(w.store.readInitialFolder().toStdString(), w.folder());
    w.tick(false, false);
    w.form.Button4Click();
    EXPECT_EQ(w.state(), "survey.xml|EG,FG|2 # # # # #|0/0|1356|Cancel");
    EXPECT_EQ(w.takeEvents(), "open in |open in " + w.folder());
}

// A path of no file is shown and its folder stored; scan, rename and colour then do nothing and
// say nothing, and both save commands refuse without a dialog. A dialog cancelled after a scan
// empties the path, the list and the stored folder and disables nothing.
TEST(TForm2Test, NoFileAndACancelledDialog) {
    WindowFixture w;
    w.openAnswer = w.copy("gone.xml");
    w.saveAnswer = QString::fromStdString(w.file("out.xml"));
    w.tick(true, true);
    for (const char* click :
         {"Button4Click", "Button5Click", "Button6Click", "Button1Click", "Button3Click"})
        QMetaObject::invokeMethod(&w.form, click);
    const std::string refused =
        "error " + w.file("gone.xml") + ": no such file; nothing was written";
    EXPECT_EQ(w.takeEvents(), "open in |" + refused + "|" + refused);
    EXPECT_EQ(w.state(), "gone.xml||# # # # # #|0/100||Cancel");
    EXPECT_EQ(w.store.readInitialFolder().toStdString(), w.folder());
    EXPECT_EQ(w.settings.dir().listing(), "TQB55") << "nothing created";

    w.scan("survey.xml");
    w.openAnswer.reset();
    w.form.Button4Click();
    EXPECT_EQ(w.state(), "||# # # # # #|0/4|1356|Cancel");
    EXPECT_EQ(w.store.readInitialFolder(), QString());
    w.form.Button1Click();
    EXPECT_EQ(w.takeEvents(), "open in " + w.folder() + "|open in " + w.folder() +
                                  "|error (no file): no such file; nothing was written");
}

// Edit and save tells of the curves found, then the outcome; it marks the list lines ".trm",
// keeps the run's counters and ends ready for the next file. The next scan starts the counters
// afresh, also when the file fails to load or holds no surface.
TEST(TForm2Test, EditAndSaveReportsInOrderAndEndsReady) {
    WindowFixture w;
    const auto editAndSave = [&w] {
        w.tick(true, true);
        w.scan("survey.xml");
        w.form.Button1Click();
        EXPECT_EQ(w.state(), kSaved);
    };
    editAndSave();
    EXPECT_EQ(w.takeEvents(),
              "open in |inform curves gevonden |inform XML file checked, 2 triangles removed "
              "|inform calculated curves maybe not correct adjusted. please check the data before "
              "use |inform The xml file is adjusted by correcting one or more curves. Missing "
              "data \nis added where needed. Check data before use!! \nReading the adjusted XML "
              "file back into Civil3D will deliver incorrect data.");
    w.scan("malformed.xml");
    EXPECT_EQ(w.state(), "malformed.xml||# # # # # #|0/4|| Ready ");
    EXPECT_EQ(w.errors().size(), 1u);
    editAndSave();
    w.scan("no-surfaces.xml");
    EXPECT_EQ(w.state(), "no-surfaces.xml||# # # # # #|0/0|13| Ready ");
}

// Edit and save as asks in the scanned folder, with the counters of the run behind the dialog.
// Closed without a choice it writes and says nothing; given one, it leaves the source and
// neither tells of curves nor marks the list.
TEST(TForm2Test, EditAndSaveAsLeavesTheSource) {
    WindowFixture w;
    w.tick(true, true);
    w.scan("survey.xml");
    w.form.Button3Click();
    const std::string asked = "save in " + w.folder() + " after 2 removed";
    EXPECT_EQ(w.takeEvents(), "open in |" + asked);
    EXPECT_EQ(w.state(), "survey.xml|EG,FG|2 4 2 1 1 #1|0/4|1356|Cancel");
    EXPECT_EQ(w.settings.dir().listing(), "TQB55 survey.xml");
    w.tick(true, false);
    w.saveAnswer = QString::fromStdString(w.file("clean.xml"));
    w.form.Button3Click();
    EXPECT_EQ(w.takeEvents(), asked + "|inform XML file checked, 2 triangles removed ");
    EXPECT_EQ(w.state(), " |EG,FG|2 4 2 1 1 #1|0/4|| Ready ");
    EXPECT_TRUE(readFile(w.file("survey.xml")) == readFile(dataPath("window/survey.xml")));
    EXPECT_NE(readFile(w.file("clean.xml")), readFile(w.file("survey.xml")));
}

// A pass that fails shows its error once, before any save dialog; the file, the run's counters
// and the buttons stay.
TEST(TForm2Test, FailingPassLeavesTheFileAndShowsTheError) {
    WindowFixture w;
    w.tick(true, true);
    w.scan("bad-radius.xml");
    w.form.Button1Click();
    const std::string error = "|error " + w.file("bad-radius.xml") +
                              ": line 10, column 1: curve 1: the radius \"5,001\" is not a number";
    EXPECT_EQ(w.takeEvents(), "open in |inform curves gevonden " + error);
    EXPECT_EQ(w.state(), "bad-radius.xml|EG.trm,FG.trm|2 4 2 1 # #|0/4|1356|Cancel");
    w.form.Button3Click();
    EXPECT_EQ(w.takeEvents(), error.substr(1));
    EXPECT_TRUE(readFile(w.file("bad-radius.xml")) == readFile(dataPath("window/bad-radius.xml")));
    EXPECT_EQ(w.settings.dir().listing(), "TQB55 bad-radius.xml");
}

// Renaming and colouring ask once per surface and list the answers.
TEST(TForm2Test, RenameAndColourAskPerSurfaceAndListTheAnswers) {
    WindowFixture w;
    w.scan("survey.xml");
    w.form.Button5Click();
    EXPECT_EQ(w.state(), "survey.xml| EG-2.trm , FG-2.trm |2 # # # # #|0/0|1356|Cancel");
    w.form.Button6Click();
    EXPECT_EQ(w.state(), "survey.xml| EG-2 color 7 , FG-2 color 7 |2 # # # # #|0/0|1356|Cancel");
    EXPECT_EQ(w.takeEvents(), "open in |name EG|name FG|color EG-2 0|color FG-2 0");
    const std::string saved = readFile(w.file("survey.xml"));
    EXPECT_NE(saved.find("<Surface name=\"EG-2\">"), std::string::npos);
    EXPECT_NE(saved.find("<Property label=\"M_Color\" value=\"7\""), std::string::npos);
}

// A list line holds 255 UTF-16 units, cut between characters: here before the emoji's surrogate
// pair, which would end on the 256th.
TEST(TForm2Test, AListLineIsCutAt255Units) {
    WindowFixture w;
    w.scan("long-name.xml");
    EXPECT_EQ(w.state(),
              "long-name.xml|" + std::string(253, 'a') + "é|1 # # # # #|0/0|1356|Cancel");
}

// Every way in other than the dialog scans as the dialog does, with the stored options restored
// first when the window was never shown.
TEST(TForm2Test, EveryWayInScansWithTheStoredOptions) {
    using Way = std::function<void(TForm2&, QLineEdit&, const QString& path)>;
    const std::pair<const char*, Way> ways[] = {
        {"command line, relative to the current folder",
         [](TForm2& form, QLineEdit&, const QString& path) {
             const QString current = QDir::currentPath();
             QDir::setCurrent(QFileInfo(path).path());
             form.openFile(QFileInfo(path).fileName());
             QDir::setCurrent(current);
         }},
        {"typed",
         [](TForm2&, QLineEdit& box, const QString& path) {
             box.clear();
             QTest::keyClicks(&box, path);
             QTest::keyClick(&box, Qt::Key_Return);
         }},
        {"pasted URL",
         [](TForm2&, QLineEdit& box, const QString& path) {
             box.setText(QUrl::fromLocalFile(path).toString());
             QTest::keyClick(&box, Qt::Key_Return);
         }},
        {"dropped on the file box",
         [](TForm2&, QLineEdit& box, const QString& path) { dropFile(&box, path); }},
        {"dropped on the window",
         [](TForm2& form, QLineEdit&, const QString& path) { dropFile(&form, path); }},
    };
    for (const auto& [way, enter] : ways) {
        SCOPED_TRACE(way);
        WindowFixture w;
        w.store.writeOptions(false, true);
        auto* box = control<QLineEdit>(w.form, "Edit1");
        box->setText(QStringLiteral("/elsewhere/old.xml"));
        box->setFocus();
        enter(w.form, *box, w.copy("survey.xml"));
        EXPECT_EQ(w.state(), kSurvey);
        EXPECT_EQ(w.store.readInitialFolder().toStdString(), w.folder());
        EXPECT_EQ(w.takeEvents(), "");
    }
}

// A left click on the file box opens and scans; a right click does not.
TEST(TForm2Test, LeftClickOnTheFileBoxOpens) {
    WindowFixture w;
    w.form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.form));
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::LeftButton}) {
        QTest::mouseClick(control<QWidget>(w.form, "Edit1"), button);
        QCoreApplication::processEvents(); // the click's operation follows it queued
    }
    EXPECT_EQ(w.takeEvents(), "open in ");
}

// The window starts on Button2 and restores the stored options when first shown. The ticks
// survive a modal dialog and the activation after it, also when the stored options changed
// meanwhile. Only Button2 stores them, clicked or pressed with Enter; the close box stores
// nothing. A failed store neither keeps the window open nor says anything.
TEST(TForm2Test, OptionsRestoredOnceAndStoredByButton2Only) {
    WindowFixture w;
    TForm2& form = w.form;
    auto* button2 = control<QPushButton>(form, "Button2");
    EXPECT_EQ(form.focusWidget(), button2);
    w.store.writeOptions(true, false);
    form.show();
    EXPECT_EQ(w.options(), "10 stored 10");
    w.tick(false, true);
    w.store.writeOptions(true, true);
    QDialog dialog(&form);
    QTimer::singleShot(0, &dialog, &QDialog::reject);
    dialog.exec();
    QEvent activation(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activation);
    EXPECT_EQ(w.options(), "01 stored 11");
    form.close();
    form.show();
    EXPECT_EQ(w.options(), "01 stored 11")
        << "the close box stores nothing, a show restores no more";
    w.tick(true, false);
    QTest::mouseClick(button2, Qt::LeftButton);
    EXPECT_EQ(w.options(), "10 stored 10");
    EXPECT_FALSE(form.isVisible());
    form.show();
    w.tick(false, true);
    button2->setFocus();
    QTest::keyClick(button2, Qt::Key_Return);
    EXPECT_EQ(w.options(), "01 stored 01");
    EXPECT_FALSE(form.isVisible());

    const auto conf = w.settings.dir().path() / "TQB55" / "tidyland.conf";
    std::filesystem::remove(conf);
    std::filesystem::create_directories(conf); // the store cannot be written
    form.show();
    form.Button2Click();
    EXPECT_EQ(w.options(), "01 stored 00");
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(w.takeEvents(), "");
}

// Whatever escapes an operation is shown once with the normal cursor; the window stays as it was.
TEST(TForm2Test, WhateverEscapesAnOperationIsShownOnce) {
    WindowFixture w;
    control<QLineEdit>(w.form, "Edit1")->setText(QStringLiteral("/survey/road.xml"));
    const std::pair<std::function<void()>, std::string> escapes[] = {
        {[] { throw 42; }, "The operation failed with an unknown error."},
        {[] { throw std::runtime_error("box failed"); }, "box failed"},
        {[] { throw std::bad_alloc(); }, "/survey/road.xml: not enough memory to load it"}};
    for (const auto& [escape, shown] : escapes) {
        w.form.hooks().chooseOpenFile = [&escape](const QString&) -> std::optional<QString> {
            escape();
            return std::nullopt;
        };
        w.form.Button4Click();
        EXPECT_EQ(w.takeEvents(), "error " + shown);
    }
    EXPECT_EQ(w.state(), "/survey/road.xml||# # # # # #|0/100||Cancel");
    EXPECT_EQ(w.store.readInitialFolder(), QString());
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

// A name another surface has is refused with a message, and the dialog asks again.
TEST(TForm2Test, RenameRefusesATakenNameAndAsksAgain) {
    WindowFixture window;
    const tidy::NameAnswer answers[] = {{true, "FG"}, {true, "EG 2"}, {false, ""}};
    window.form.hooks().askName = [&, asked = 0](const std::string& name) mutable {
        window.record("name " + name);
        return answers[asked++];
    };
    window.scan("survey.xml");
    window.form.Button5Click();
    EXPECT_EQ(window.takeEvents(),
              "open in |name EG|informThe new name \"FG\" of surface \"EG\" is "
              "already the name of surface 2 of the file|name FG|name FG");
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
    EXPECT_EQ(window.takeEvents(), "open in |save in " + window.folder() + " after # removed");
    EXPECT_EQ(window.text("Edit1"), " ") << "saved";
    QTest::keyClick(&form, Qt::Key_F1);
    EXPECT_TRUE(form.findChild<QWidget*>("Manual")->isVisible());
    control<QCheckBox>(form, "CheckBox1")->setChecked(true);
    QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form.isVisible() || window.store.readOptions().driehoeken);
}
