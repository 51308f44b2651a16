// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tidylandmain.h"

#include "WindowFixture.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <new>

namespace {

using tidytest::control;
using tidytest::forcedCursor;

class TForm2Test : public ::testing::Test, public tidytest::WindowFixture {
protected:
    QCheckBox* box(const char* name) { return control<QCheckBox>(form, name); }
    void expectStored(bool driehoeken, bool curve) const {
        EXPECT_EQ(store.readOptions().driehoeken, driehoeken);
        EXPECT_EQ(store.readOptions().curve, curve);
    }
};

// Every caption still ends before its counter on every screen.
TEST_F(TForm2Test, FitsEveryScreenWithEveryCaptionBeforeItsCounter) {
    for (const QSize available : tidytest::kScreens) {
        SCOPED_TRACE(std::to_string(available.width()) + "x" + std::to_string(available.height()));
        TForm2 fitted{store};
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

TEST_F(TForm2Test, StartsOnButton2AndFirstActivationRestoresTheOptionsThatOnlyButton2Stores) {
    EXPECT_EQ(form.focusWidget(), control<QPushButton>(form, "Button2"));
    store.writeOptions(true, false);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    EXPECT_TRUE(box("CheckBox1")->isChecked());
    EXPECT_FALSE(box("CheckBox2")->isChecked());

    // The user's ticks survive a modal dialog and the activation that follows it, also when
    // the stored options changed meanwhile.
    box("CheckBox1")->setChecked(false);
    box("CheckBox2")->setChecked(true);
    store.writeOptions(true, true);
    QDialog dialog(&form);
    QTimer::singleShot(0, &dialog, &QDialog::reject);
    dialog.exec();
    QEvent activation(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activation);
    EXPECT_FALSE(box("CheckBox1")->isChecked());
    EXPECT_TRUE(box("CheckBox2")->isChecked());

    EXPECT_TRUE(form.close());
    expectStored(true, true); // the close box stores nothing

    // Button2 stores them, clicked or pressed with Enter; asymmetric pairs show a swap.
    for (const auto& [driehoeken, curve] : {std::pair{true, false}, {false, true}}) {
        store.writeOptions(!driehoeken, !curve);
        form.show();
        box("CheckBox1")->setChecked(driehoeken);
        box("CheckBox2")->setChecked(curve);
        tidytest::act(form, driehoeken ? "click:Button2" : "focus:Button2|key:Return");
        EXPECT_FALSE(form.isVisible());
        expectStored(driehoeken, curve);
    }

    // A folder where the settings file belongs makes every write fail; the window closes.
    std::filesystem::remove(settings.dir().path() / "TQB55" / "tidyland.conf");
    std::filesystem::create_directories(settings.dir().path() / "TQB55" / "tidyland.conf");
    form.show();
    form.Button2Click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(events.empty());
}

TEST_F(TForm2Test, LeftClickOnTheFileBoxClicksButton4) {
    form.show();
    auto* edit = control<QLineEdit>(form, "Edit1");
    QTest::mouseClick(edit, Qt::RightButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(events.empty());
    QTest::mouseClick(edit, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !events.empty(); }));
    EXPECT_EQ(events, std::vector<std::string>{"open in "}) << "the click runs open and scan";
}

// Whatever escapes an operation, here from the open dialog, is shown once with the normal
// cursor; the window stays as it was.
TEST_F(TForm2Test, ErrorThatEscapesAnOperationIsShownAndTheWindowStaysAsItWas) {
    form.show();
    auto* edit = control<QLineEdit>(form, "Edit1");
    edit->setText(QStringLiteral("/survey/road.xml"));
    const struct {
        std::function<void()> fail;
        std::string message;
    } cases[] = {
        {[] { throw 42; }, "The operation failed with an unknown error."},
        {[] { throw std::runtime_error("box failed"); }, "box failed"},
        {[] { throw std::bad_alloc(); }, "/survey/road.xml: not enough memory to load it"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        events.clear();
        form.hooks().chooseOpenFile = [&](const QString&) -> std::optional<QString> {
            c.fail();
            return std::nullopt;
        };
        QTest::mouseClick(control<QPushButton>(form, "Button4"), Qt::LeftButton);
        // The fixture checks that the error box shows the normal cursor.
        EXPECT_EQ(events, std::vector<std::string>{"error " + c.message});
        EXPECT_EQ(forcedCursor(), std::nullopt);
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(edit->text(), QStringLiteral("/survey/road.xml"));
    }
}

// The hooks' own dialogs: the save dialog asks before replacing a file and gives "" when closed;
// a message shows each of its lines on one line.
TEST_F(TForm2Test, RealDialogsBehindTheHooks) {
    TForm2 window{store};
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

} // namespace
