// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tidylandmain.h"

#include "AppTestSupport.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <new>

namespace {

using tidytest::control;
using tidytest::forcedCursor;

// No real dialog may open in a test: every hook records what it was asked.
class TForm2Test : public ::testing::Test {
protected:
    void SetUp() override {
        form_.hooks().chooseOpenFile = [](const QString&) -> std::optional<QString> {
            ADD_FAILURE() << "unexpected open dialog";
            return std::nullopt;
        };
        form_.hooks().chooseSaveFile = [](const QString&) {
            ADD_FAILURE() << "unexpected save dialog";
            return QString();
        };
        form_.hooks().inform = [](const QString& text) {
            ADD_FAILURE() << "unexpected message " << text.toStdString();
        };
        form_.hooks().showError = [this](const QString& message) {
            errors_.push_back(message);
            cursorDuringError_ = forcedCursor();
        };
        // The update check is not what these tests are about.
        form_.setUpdaterProgram(QStringLiteral("tidylander-test-no-such-updater"));
    }

    QCheckBox* box(const char* name) { return control<QCheckBox>(form_, name); }
    void expectStored(bool driehoeken, bool curve) const {
        EXPECT_EQ(store_.readOptions().driehoeken, driehoeken);
        EXPECT_EQ(store_.readOptions().curve, curve);
    }

    tidytest::TempSettings settings_;
    tidy::SettingsStore store_;
    TForm2 form_{store_};
    std::vector<QString> errors_;
    std::optional<Qt::CursorShape> cursorDuringError_;
};

// Every caption still ends before its counter on every screen.
TEST_F(TForm2Test, FitsEveryScreenWithEveryCaptionBeforeItsCounter) {
    for (const QSize available : tidytest::kScreens) {
        SCOPED_TRACE(std::to_string(available.width()) + "x" + std::to_string(available.height()));
        TForm2 form{store_};
        form.fitInto(QRect(QPoint(0, 0), available));
        const double factor = tidytest::expectFitted(form, {1263, 766}, available, "Label1");
        EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the size stays fixed";
        auto* list = control<QListWidget>(form, "ListBox1");
        list->addItem(QStringLiteral("Surface 1"));
        EXPECT_NEAR(list->visualItemRect(list->item(0)).height(), 25 * factor, 1.0);
        for (const auto& [caption, counter] : {std::pair{"Label3", "Label8"},
                                               {"Label5", "Label7"},
                                               {"Label6", "Label4"},
                                               {"Label12", "Label14"},
                                               {"Label13", "Label11"},
                                               {"Label15", "Label16"}}) {
            const auto* label = control<QLabel>(form, caption);
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
            EXPECT_LT(label->geometry().right(), control<QLabel>(form, counter)->x()) << caption;
        }
    }
}

TEST_F(TForm2Test, StartsOnButton2AndFirstActivationRestoresTheOptionsThatOnlyButton2Stores) {
    EXPECT_EQ(form_.focusWidget(), control<QPushButton>(form_, "Button2"));
    EXPECT_TRUE(control<QTimer>(form_, "Timer1")->isActive());
    EXPECT_EQ(control<QTimer>(form_, "Timer1")->interval(), 10000);
    EXPECT_EQ(control<QTimer>(form_, "Timer2")->interval(), 2000);
    store_.writeOptions(true, false);
    form_.show();
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
    EXPECT_TRUE(box("CheckBox1")->isChecked());
    EXPECT_FALSE(box("CheckBox2")->isChecked());

    // The user's ticks survive a modal dialog and the activation that follows it, also when
    // the stored options changed meanwhile.
    box("CheckBox1")->setChecked(false);
    box("CheckBox2")->setChecked(true);
    store_.writeOptions(true, true);
    QDialog dialog(&form_);
    QTimer::singleShot(0, &dialog, &QDialog::reject);
    dialog.exec();
    QEvent activation(QEvent::WindowActivate);
    QApplication::sendEvent(&form_, &activation);
    EXPECT_FALSE(box("CheckBox1")->isChecked());
    EXPECT_TRUE(box("CheckBox2")->isChecked());

    EXPECT_TRUE(form_.close());
    expectStored(true, true); // the close box stores nothing

    // Button2 stores them, clicked or pressed with Enter; asymmetric pairs show a swap.
    for (const auto& [driehoeken, curve] : {std::pair{true, false}, {false, true}}) {
        store_.writeOptions(!driehoeken, !curve);
        form_.show();
        box("CheckBox1")->setChecked(driehoeken);
        box("CheckBox2")->setChecked(curve);
        tidytest::act(form_, driehoeken ? "click:Button2" : "focus:Button2|key:Return");
        EXPECT_FALSE(form_.isVisible());
        expectStored(driehoeken, curve);
    }

    // A folder where the settings file belongs makes every write fail; the window closes.
    std::filesystem::remove(settings_.dir().path() / "TQB55" / "tidyland.conf");
    std::filesystem::create_directories(settings_.dir().path() / "TQB55" / "tidyland.conf");
    form_.show();
    form_.Button2Click();
    EXPECT_FALSE(form_.isVisible());
    EXPECT_TRUE(errors_.empty());
}

TEST_F(TForm2Test, LeftClickOnTheFileBoxClicksButton4) {
    form_.show();
    auto* edit = control<QLineEdit>(form_, "Edit1");
    QSignalSpy button4(control<QPushButton>(form_, "Button4"), &QPushButton::clicked);
    int openDialogs = 0;
    form_.hooks().chooseOpenFile = [&](const QString&) -> std::optional<QString> {
        ++openDialogs;
        return std::nullopt;
    };
    QTest::mouseClick(edit, Qt::RightButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(button4.count(), 0);
    QTest::mouseClick(edit, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return button4.count() == 1; }));
    EXPECT_EQ(openDialogs, 1) << "the click runs open and scan";
    EXPECT_TRUE(errors_.empty());
}

// Whatever escapes an operation, here from the open dialog, is shown once with the normal
// cursor; the window stays as it was.
TEST_F(TForm2Test, ErrorThatEscapesAnOperationIsShownAndTheWindowStaysAsItWas) {
    form_.show();
    auto* edit = control<QLineEdit>(form_, "Edit1");
    edit->setText(QStringLiteral("/survey/road.xml"));
    const struct {
        std::function<void()> fail;
        QString message;
    } cases[] = {
        {[] { throw 42; }, "The operation failed with an unknown error."},
        {[] { throw std::runtime_error("box failed"); }, "box failed"},
        {[] { throw std::bad_alloc(); }, "/survey/road.xml: not enough memory to load it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        errors_.clear();
        cursorDuringError_ = Qt::BusyCursor;
        form_.hooks().chooseOpenFile = [&](const QString&) -> std::optional<QString> {
            c.fail();
            return std::nullopt;
        };
        QTest::mouseClick(control<QPushButton>(form_, "Button4"), Qt::LeftButton);
        EXPECT_EQ(errors_, std::vector<QString>{c.message});
        EXPECT_EQ(cursorDuringError_, std::nullopt) << "the error box must show the normal cursor";
        EXPECT_EQ(forcedCursor(), std::nullopt);
        EXPECT_TRUE(form_.isVisible());
        EXPECT_EQ(edit->text(), QStringLiteral("/survey/road.xml"));
    }
}

// The hooks' own dialogs: the save dialog asks before replacing a file and gives "" when closed;
// a message shows each of its lines on one line.
TEST_F(TForm2Test, RealDialogsBehindTheHooks) {
    TForm2 window{store_};
    window.setUpdaterProgram(QStringLiteral("tidylander-test-no-such-updater"));
    const QString start = QString::fromStdString(settings_.dir().path().string());
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

} // namespace
