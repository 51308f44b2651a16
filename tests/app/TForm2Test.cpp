// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tidylandmain.h"

#include "AppTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <version.h>

// Reaches the window's error boundary and its message wrapper, which only handlers use.
struct TForm2TestAccess {
    static void runOperation(TForm2& form, const std::function<void()>& work) {
        form.runOperation(work);
    }
    static void informUser(TForm2& form, const QString& text) { form.informUser(text); }
};

namespace {

using tidytest::control;

// Shape of the cursor the application shows over every window, or nothing when none is forced.
std::optional<Qt::CursorShape> forcedCursor() {
    if (const QCursor* cursor = QApplication::overrideCursor())
        return cursor->shape();
    return std::nullopt;
}

void activate(TForm2& form) {
    QEvent activation(QEvent::WindowActivate);
    QApplication::sendEvent(&form, &activation);
}

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

    QCheckBox* box1() { return control<QCheckBox>(form_, "CheckBox1"); }
    QCheckBox* box2() { return control<QCheckBox>(form_, "CheckBox2"); }

    tidytest::TempSettings settings_;
    tidy::SettingsStore store_;
    TForm2 form_{store_};
    std::vector<QString> errors_;
    std::optional<Qt::CursorShape> cursorDuringError_;
};

// --- initial state -----------------------------------------------------------------------------

constexpr int kAutoSize = -1; // labels size themselves to their caption

struct ControlRow {
    const char* name;
    QString text;
    QRect geometry; // width and height kAutoSize: only the position is fixed
    int pixelSize;
    bool enabled;
    bool shown;
};

QRect at(int left, int top) {
    return {left, top, kAutoSize, kAutoSize};
}

TEST_F(TForm2Test, ControlsStartAsDesigned) {
    const QString counter = QStringLiteral("#");
    const ControlRow rows[] = {
        {"Label1", "Select *.xml file", at(135, 52), 23, true, true},
        {"Edit1", "*.xml", {127, 89, 866, 42}, 26, true, true},
        {"Button4", ". . .", {1026, 88, 75, 49}, 23, true, true},
        {"Label2", "Surfaces in xml file found:", at(135, 170), 23, true, true},
        {"Button5", "Edit surface names in XML", {127, 460, 433, 69}, 23, false, true},
        {"Button6", "Assign colors to surfaces", {127, 554, 433, 63}, 23, false, true},
        {"CheckBox1", "Remove triangles outside boundary", {610, 221, 562, 25}, 19, true, true},
        {"CheckBox2",
         "Correct curves for missing \"rot\" attribute",
         {610, 261, 562, 25},
         19,
         true,
         true},
        {"Label3", "Number of surfaces in XML file:", at(610, 308), 23, true, true},
        {"Label8", counter, at(1106, 308), 23, true, true},
        {"Label5", "Number of triangles in surfaces:", at(610, 339), 23, true, true},
        {"Label7", counter, at(1106, 339), 23, true, true},
        {"Label6", "Number of removed triangles outside boundary:", at(610, 370), 23, true, true},
        {"Label4", counter, at(1106, 371), 23, true, true},
        {"Label12", "Number of curves in XML file:", at(610, 401), 23, true, true},
        {"Label14", counter, at(1106, 400), 23, true, true},
        {"Label13", "Number of adjusted curves:", at(610, 432), 23, true, true},
        {"Label11", counter, at(1106, 432), 23, true, true},
        {"Label15", "Number of possible deviations in curves:", at(610, 463), 23, true, true},
        {"Label16", counter, at(1106, 463), 23, true, true},
        {"Button2", "Cancel", {577, 641, 105, 85}, 23, true, true},
        {"Button3", "Edit and save as", {737, 641, 197, 85}, 23, false, true},
        {"Button1", "Edit and save", {995, 641, 177, 85}, 23, false, true},
        {"Label9", "", at(135, 661), 19, true, false},
        {"Label10", "", at(127, 728), 23, true, false},
        {"Label17", QString::fromLatin1(tidy::kVersion), at(22, 733), 21, true, true},
    };
    const QWidget* previous = nullptr;
    for (const ControlRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto* widget = control<QWidget>(form_, row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->property("text").toString(), row.text);
        if (row.geometry.width() == kAutoSize)
            EXPECT_EQ(widget->pos(), row.geometry.topLeft());
        else
            EXPECT_EQ(widget->geometry(), row.geometry);
        EXPECT_EQ(widget->font().pixelSize(), row.pixelSize);
        EXPECT_EQ(widget->isEnabled(), row.enabled);
        EXPECT_EQ(!widget->isHidden(), row.shown);
        // Every caption fits on the window.
        EXPECT_LE(widget->geometry().right(), form_.width());
        EXPECT_LE(widget->geometry().bottom(), form_.height());
        // A label's own text, not just its box, fits; a counter follows its caption in the
        // table, and the caption ends before it.
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
        }
        if (row.text == counter) {
            EXPECT_LT(previous->geometry().right(), widget->x());
        }
        previous = widget;
    }
}

TEST_F(TForm2Test, WindowIsFixedCentredAndCaptioned) {
    EXPECT_EQ(form_.objectName(), QStringLiteral("Form2"));
    EXPECT_EQ(form_.windowTitle(), QStringLiteral("tidylander"));
    EXPECT_EQ(form_.minimumSize(), QSize(1263, 766));
    EXPECT_EQ(form_.maximumSize(), QSize(1263, 766));
    EXPECT_EQ(form_.size(), QSize(1263, 766));
    EXPECT_EQ(form_.font().pixelSize(), 19);
    const QPoint screenCentre = form_.screen()->availableGeometry().center();
    EXPECT_LE((form_.geometry().center() - screenCentre).manhattanLength(), 1);
    if (QFontDatabase::hasFamily(QStringLiteral("Segoe UI"))) {
        EXPECT_EQ(control<QLabel>(form_, "Label1")->font().family(), QStringLiteral("Segoe UI"));
    }
}

TEST_F(TForm2Test, FocusStartsOnButton2AndTabVisitsTheFiveTabStops) {
    EXPECT_EQ(form_.focusWidget(), control<QPushButton>(form_, "Button2"));

    QStringList tabStops;
    const QWidget* start = control<QWidget>(form_, "Button2");
    const QWidget* widget = start;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            tabStops << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != start && tabStops.size() < 100);
    EXPECT_EQ(tabStops, QStringList({"Button2", "Button5", "CheckBox1", "CheckBox2", "Button6"}));
}

TEST_F(TForm2Test, ListProgressBarAndTimersStartIdle) {
    EXPECT_FALSE(box1()->isChecked());
    EXPECT_FALSE(box2()->isChecked());
    auto* list = control<QListWidget>(form_, "ListBox1");
    EXPECT_EQ(list->count(), 0);
    EXPECT_FALSE(list->isSortingEnabled());
    list->addItem(QStringLiteral("Surface 1"));
    list->addItem(QStringLiteral("Surface 2"));
    EXPECT_EQ(list->visualItemRect(list->item(0)).height(), 25);
    EXPECT_EQ(list->visualItemRect(list->item(1)).top(), 25);

    auto* progress = control<QProgressBar>(form_, "ProgressBar1");
    EXPECT_EQ(progress->minimum(), 0);
    EXPECT_EQ(progress->maximum(), 100);
    EXPECT_EQ(progress->value(), 0);
    EXPECT_EQ(progress->geometry(), QRect(610, 534, 562, 17));
    // The bar is red, the rest of the groove not.
    progress->setValue(50);
    const QImage image = progress->grab().toImage();
    const QColor filled = image.pixelColor(progress->width() / 4, progress->height() / 2);
    EXPECT_GT(filled.red(), 180);
    EXPECT_LT(filled.green(), 80);
    EXPECT_LT(filled.blue(), 80);
    EXPECT_GT(image.pixelColor(progress->width() * 3 / 4, progress->height() / 2).green(), 150);

    const auto* timer1 = control<QTimer>(form_, "Timer1");
    EXPECT_TRUE(timer1->isActive());
    EXPECT_EQ(timer1->interval(), 10000);
    const auto* timer2 = control<QTimer>(form_, "Timer2");
    EXPECT_FALSE(timer2->isActive());
    EXPECT_EQ(timer2->interval(), 2000);
}

// --- options -----------------------------------------------------------------------------------

// Asymmetric pairs, so that a swapped, constant or inverted option shows.
constexpr std::pair<bool, bool> kOptionPairs[] = {{true, false}, {false, true}};

TEST_F(TForm2Test, ActivationRestoresTheOptionsAndOnlyButton2StoresThem) {
    for (const auto& [driehoeken, curve] : kOptionPairs) {
        SCOPED_TRACE(std::to_string(driehoeken) + "/" + std::to_string(curve));
        ASSERT_TRUE(store_.writeOptions(driehoeken, curve));
        // A change not stored with Button2 is undone, as on returning from a modal dialog.
        box1()->setChecked(!driehoeken);
        box2()->setChecked(!curve);
        activate(form_);
        EXPECT_EQ(box1()->isChecked(), driehoeken);
        EXPECT_EQ(box2()->isChecked(), curve);
    }

    // The same when the window really becomes active.
    ASSERT_TRUE(store_.writeOptions(true, false));
    form_.show();
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
    EXPECT_TRUE(box1()->isChecked());
    EXPECT_FALSE(box2()->isChecked());

    // The close box stores nothing.
    box1()->setChecked(false);
    box2()->setChecked(true);
    EXPECT_TRUE(form_.close());
    EXPECT_TRUE(store_.readOptions().driehoeken);
    EXPECT_FALSE(store_.readOptions().curve);

    for (const auto& [driehoeken, curve] : kOptionPairs) {
        SCOPED_TRACE(std::to_string(driehoeken) + "/" + std::to_string(curve));
        ASSERT_TRUE(store_.writeOptions(!driehoeken, !curve));
        form_.show();
        box1()->setChecked(driehoeken);
        box2()->setChecked(curve);
        QTest::mouseClick(control<QPushButton>(form_, "Button2"), Qt::LeftButton);
        EXPECT_FALSE(form_.isVisible());
        EXPECT_EQ(store_.readOptions().driehoeken, driehoeken);
        EXPECT_EQ(store_.readOptions().curve, curve);
    }

    // A folder where the settings file belongs makes every write fail; the window closes.
    std::filesystem::remove(settings_.dir().path() / "TQB55" / "tidyland.conf");
    std::filesystem::create_directories(settings_.dir().path() / "TQB55" / "tidyland.conf");
    form_.show();
    box1()->setChecked(true);
    form_.Button2Click();
    EXPECT_FALSE(form_.isVisible());
    EXPECT_TRUE(errors_.empty());
}

// --- wiring ------------------------------------------------------------------------------------

TEST_F(TForm2Test, ClickOnTheFileBoxClicksButton4) {
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

TEST_F(TForm2Test, SaveDialogAsksBeforeReplacingAFileAndClosedGivesNoPath) {
    TForm2 window{store_}; // with the real dialogs behind its hooks
    window.setUpdaterProgram(QStringLiteral("tidylander-test-no-such-updater"));
    std::optional<bool> asksBeforeReplacing;
    QString folder;
    QTimer::singleShot(0, &window, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr) << "no file dialog";
        asksBeforeReplacing = dialog->acceptMode() == QFileDialog::AcceptSave &&
                              !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        folder = dialog->directory().absolutePath();
        dialog->reject();
    });
    const QString start = QString::fromStdString(settings_.dir().path().string());
    EXPECT_EQ(window.hooks().chooseSaveFile(start), QString());
    EXPECT_EQ(asksBeforeReplacing, true);
    EXPECT_EQ(folder, start);
}

// --- error boundary ----------------------------------------------------------------------------

TEST_F(TForm2Test, ErrorThatEscapesAnOperationIsShownAndTheWindowStaysAsItWas) {
    // An error of the core reaches the box through the real handlers (OperationsTest); here, a
    // modal window that throws and a throw that is not a standard exception.
    form_.show();
    auto* edit = control<QLineEdit>(form_, "Edit1");
    edit->setText(QStringLiteral("/survey/road.xml"));
    form_.hooks().inform = [](const QString&) { throw std::runtime_error("box failed"); };
    const struct {
        const char* what;
        std::function<void()> work;
        QString message; // empty: any message
    } cases[] = {
        {"not a standard exception", [] { throw 42; }, ""},
        {"a modal window that throws", [&] { TForm2TestAccess::informUser(form_, "message"); },
         "box failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        errors_.clear();
        cursorDuringError_ = Qt::BusyCursor;
        TForm2TestAccess::runOperation(form_, c.work);
        ASSERT_EQ(errors_.size(), 1u);
        if (c.message.isEmpty()) {
            EXPECT_FALSE(errors_[0].isEmpty());
        } else {
            EXPECT_EQ(errors_[0], c.message);
        }
        EXPECT_EQ(cursorDuringError_, std::nullopt) << "the error box must show the normal cursor";
        EXPECT_EQ(forcedCursor(), std::nullopt);
        EXPECT_TRUE(form_.isVisible());
        EXPECT_EQ(edit->text(), QStringLiteral("/survey/road.xml"));
    }
}

} // namespace
