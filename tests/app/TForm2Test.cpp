// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/tidylandmain.h"

#include "AppTestSupport.h"
#include "app/ScreenFit.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

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

// Available screen areas in device-independent pixels; 1920 x 1080 at scale factor 2 offers
// 960 x 540 of them.
const struct {
    const char* what;
    QSize available;
} kScreens[] = {{"1920x1080", {1920, 1080}},
                {"1366x768", {1366, 768}},
                {"1280x720", {1280, 720}},
                {"1024x768", {1024, 768}},
                {"1920x1080 at scale factor 2", {960, 540}}};

// The full-size layout where it fits; elsewhere the whole of it shrunk by one factor, inside the
// screen, every caption still ending before its counter.
TEST_F(TForm2Test, FitsEveryScreenWithEveryCaptionBeforeItsCounter) {
    const QSize full(1263, 766);
    for (const auto& screen : kScreens) {
        SCOPED_TRACE(screen.what);
        TForm2 form{store_};
        const QRect area(QPoint(0, 0), screen.available);
        form.fitInto(area);
        const double factor = double(form.width()) / full.width();
        if (screen.available.width() >= 1920) {
            EXPECT_EQ(form.size(), full);
        } else {
            EXPECT_LT(factor, 1.0);
        }
        EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the size stays fixed";
        EXPECT_TRUE(area.contains(QRect(form.pos(), form.size() + tidy::kFrameAllowance)));
        EXPECT_NEAR(form.height(), full.height() * factor, 1.0) << "proportions kept";
        const QRect button1(995, 641, 177, 85);
        EXPECT_NEAR(control<QWidget>(form, "Button1")->x(), button1.x() * factor, 1.0);
        EXPECT_NEAR(control<QWidget>(form, "Button1")->width(), button1.width() * factor, 1.0);
        EXPECT_NEAR(control<QLabel>(form, "Label1")->font().pixelSize(), 23 * factor, 1.0);
        for (const QWidget* child : form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_TRUE(form.rect().contains(child->geometry()))
                << child->objectName().toStdString() << " " << child->y() << "+" << child->height()
                << " in " << form.height();
        }
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
    // An empty range, as after a scan without counting, is an empty bar that stays still.
    progress->setRange(0, 0);
    const QImage still = progress->grab().toImage();
    QTest::qWait(120);
    EXPECT_EQ(progress->grab().toImage(), still);
    int red = 0;
    for (int x = 0; x < still.width(); ++x)
        red += still.pixelColor(x, still.height() / 2).green() < 80 ? 1 : 0;
    EXPECT_EQ(red, 0);

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

TEST_F(TForm2Test, FirstActivationRestoresTheOptionsAndOnlyButton2StoresThem) {
    ASSERT_TRUE(store_.writeOptions(true, false));
    form_.show();
    form_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form_));
    EXPECT_TRUE(box1()->isChecked());
    EXPECT_FALSE(box2()->isChecked());

    // The user's ticks survive a modal dialog and the activation that follows it, also when
    // the stored options changed meanwhile.
    box1()->setChecked(false);
    box2()->setChecked(true);
    ASSERT_TRUE(store_.writeOptions(true, true));
    QDialog dialog(&form_);
    QTimer::singleShot(0, &dialog, &QDialog::reject);
    dialog.exec();
    activate(form_);
    QTest::qWait(20);
    EXPECT_FALSE(box1()->isChecked());
    EXPECT_TRUE(box2()->isChecked());

    // The close box stores nothing.
    EXPECT_TRUE(form_.close());
    EXPECT_TRUE(store_.readOptions().driehoeken);
    EXPECT_TRUE(store_.readOptions().curve);

    // Button2 stores them, clicked or pressed with Enter.
    for (const auto& [driehoeken, curve] : kOptionPairs) {
        SCOPED_TRACE(std::to_string(driehoeken) + "/" + std::to_string(curve));
        ASSERT_TRUE(store_.writeOptions(!driehoeken, !curve));
        form_.show();
        box1()->setChecked(driehoeken);
        box2()->setChecked(curve);
        auto* button2 = control<QPushButton>(form_, "Button2");
        if (driehoeken) {
            QTest::mouseClick(button2, Qt::LeftButton);
        } else {
            button2->setFocus();
            QTest::keyClick(button2, Qt::Key_Return);
        }
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

TEST_F(TForm2Test, MessageShowsEachLineOnOneLine) {
    TForm2 window{store_}; // with the real message box behind its hooks
    const QString text = QStringLiteral(
        "The xml file is adjusted by correcting one or more curves. Missing data \n"
        "is added where needed. Check data before use!! \n"
        "Reading the adjusted XML file back into Civil3D will deliver incorrect data.");
    int linesShown = 0;
    QTimer::singleShot(0, &window, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr) << "no message box";
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), text);
        const QFontMetrics metrics = label->fontMetrics();
        linesShown = label->heightForWidth(label->contentsRect().width()) / metrics.lineSpacing();
        box->accept();
    });
    window.hooks().inform(text);
    EXPECT_EQ(linesShown, 3);
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
