// SPDX-License-Identifier: GPL-3.0-or-later
// The window's operations end to end: what the user sees after open and scan, edit and save,
// renaming and colouring, with every dialog answered by an injected hook.
#include "app/tidylandmain.h"

#include "AppTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <gtest/gtest.h>

using tidytest::control;
using tidytest::readFile;

namespace {

// Shape of the cursor the application shows over every window, or nothing when none is forced.
std::optional<Qt::CursorShape> forcedCursor() {
    if (const QCursor* cursor = QApplication::overrideCursor())
        return cursor->shape();
    return std::nullopt;
}

// Two surfaces (two of EG's three faces outside) and one curve without "rot".
const char* kFile = R"(<?xml version="1.0" encoding="UTF-8"?>
<LandXML xmlns="http://www.landxml.org/schema/LandXML-1.2">
<Surfaces>
<Surface name="EG"><Definition surfType="TIN"><Faces>
<F i="1">1 2 3</F><F>2 3 4</F><F i="1">3 4 5</F>
</Faces></Definition></Surface>
<Surface name="FG"><Definition surfType="TIN"><Faces><F>1 2 3</F></Faces></Definition></Surface>
</Surfaces>
<PlanFeatures><PlanFeature><CoordGeom>
<Curve radius="5.001"><Start>1005 2000 0</Start><Center>1004 2003 0</Center>
<End>1000 2005 0</End></Curve>
</CoordGeom></PlanFeature></PlanFeatures>
</LandXML>
)";

class OperationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = settings_.dir().write("survey.xml", kFile);
        form_.setUpdaterProgram(QStringLiteral("tidylander-test-no-such-updater"));
        auto& h = form_.hooks();
        h.chooseOpenFile = [this](const QString& folder) -> std::optional<QString> {
            record("open in " + folder.toStdString());
            return openAnswer_;
        };
        h.chooseSaveFile = [this](const QString& folder) {
            // The counters behind the dialog show the run's exact values.
            record("save in " + folder.toStdString() + " after " + text("Label4").toStdString() +
                   " removed");
            return saveAnswer_;
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
        QObject::connect(control<QListWidget>(form_, "ListBox1")->model(),
                         &QAbstractItemModel::rowsInserted, &form_,
                         [] { EXPECT_EQ(forcedCursor(), Qt::WaitCursor) << "while listing"; });
    }

    // Every modal window of an operation shows the normal cursor.
    void record(const std::string& event) {
        EXPECT_EQ(forcedCursor(), std::nullopt) << event;
        events_.push_back(event);
    }

    QString text(const char* label) { return control<QLabel>(form_, label)->text(); }
    QPushButton* button(const char* name) { return control<QPushButton>(form_, name); }
    QStringList listed() {
        QStringList lines;
        auto* list = control<QListWidget>(form_, "ListBox1");
        for (int i = 0; i < list->count(); ++i)
            lines << list->item(i)->text();
        return lines;
    }
    void tick(bool triangles, bool curves) {
        control<QCheckBox>(form_, "CheckBox1")->setChecked(triangles);
        control<QCheckBox>(form_, "CheckBox2")->setChecked(curves);
    }
    void scan() {
        openAnswer_ = QString::fromStdString(path_);
        form_.Button4Click();
    }
    bool enabled(std::initializer_list<const char*> names) {
        for (const char* n : names)
            if (!button(n)->isEnabled())
                return false;
        return true;
    }

    tidytest::TempSettings settings_;
    tidy::SettingsStore store_;
    TForm2 form_{store_};
    std::string path_;
    std::optional<QString> openAnswer_;
    QString saveAnswer_;
    std::vector<std::string> events_;
};

} // namespace

TEST_F(OperationsTest, ScanShowsTheFileAndEnablesTheOperations) {
    tick(false, true);
    scan();
    EXPECT_EQ(control<QLineEdit>(form_, "Edit1")->text().toStdString(), path_);
    EXPECT_EQ(listed(), (QStringList{"EG", "FG"}));
    EXPECT_EQ(text("Label8"), "2");
    EXPECT_EQ(text("Label7"), "4");
    EXPECT_EQ(control<QProgressBar>(form_, "ProgressBar1")->maximum(), 4);
    EXPECT_FALSE(control<QLabel>(form_, "Label9")->isVisible());
    EXPECT_TRUE(enabled({"Button1", "Button3", "Button5", "Button6"}));
    EXPECT_EQ(store_.readInitialFolder().toStdString(), settings_.dir().path().string());

    // The next dialog starts in that folder; without the curve option nothing is counted.
    tick(false, false);
    scan();
    EXPECT_EQ(events_.back(), "open in " + settings_.dir().path().string());
    EXPECT_EQ(text("Label7"), "#");
    EXPECT_EQ(control<QProgressBar>(form_, "ProgressBar1")->maximum(), 0);
}

TEST_F(OperationsTest, TypedPathOfNoFileOrCancelledDialogLoadsNothing) {
    // A typed path of no file is shown and its folder stored; nothing is loaded or enabled.
    openAnswer_ = QString::fromStdString(settings_.dir().file("typed.xml"));
    form_.Button4Click();
    EXPECT_EQ(control<QLineEdit>(form_, "Edit1")->text(), *openAnswer_);
    EXPECT_EQ(store_.readInitialFolder().toStdString(), settings_.dir().path().string());
    EXPECT_EQ(text("Label8"), "#");
    EXPECT_FALSE(button("Button1")->isEnabled());

    // After a scan, a cancelled dialog empties the path, the list and the stored folder.
    scan();
    openAnswer_.reset();
    form_.Button4Click();
    EXPECT_EQ(control<QLineEdit>(form_, "Edit1")->text(), "");
    EXPECT_TRUE(listed().isEmpty());
    EXPECT_EQ(store_.readInitialFolder(), "");
    EXPECT_TRUE(enabled({"Button1", "Button3", "Button5", "Button6"})) << "a scan disables nothing";
    // Saving now finds no file: an error, and nothing is written.
    form_.Button1Click();
    EXPECT_EQ(events_.back(), "error (no file): no such file; nothing was written");
}

// After a run that wrote all six counters, the next scan starts them afresh, whatever it finds.
TEST_F(OperationsTest, EveryScanStartsTheCountersAfresh) {
    const struct {
        const char* what;
        const char* content;  // nullptr: the dialog is cancelled
        QStringList counters; // Label8, Label7, Label4, Label14, Label11, Label16
        const char* error;    // start of the error shown, or nullptr
    } cases[] = {
        {"a file without surfaces",
         "<LandXML><Units/></LandXML>\n",
         {"#", "#", "#", "#", "#", "#"},
         nullptr},
        {"a malformed file",
         "<LandXML>\n<Surfaces>\n</LandXML>\n",
         {"#", "#", "#", "#", "#", "#"},
         ": line 3, column"},
        {"a cancelled dialog", nullptr, {"#", "#", "#", "#", "#", "#"}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tick(true, true);
        scan();
        form_.Button1Click();
        tidytest::writeFile(path_, kFile);
        ASSERT_EQ(text("Label16"), "#1");
        events_.clear();
        const std::string other = settings_.dir().write("other.xml", c.content ? c.content : "");
        openAnswer_ = c.content ? std::optional(QString::fromStdString(other)) : std::nullopt;
        form_.Button4Click();
        QStringList shown;
        for (const char* counter : {"Label8", "Label7", "Label4", "Label14", "Label11", "Label16"})
            shown << text(counter);
        EXPECT_EQ(shown, c.counters);
        EXPECT_TRUE(listed().isEmpty());
        if (c.error) {
            ASSERT_FALSE(events_.empty());
            EXPECT_EQ(events_.back().rfind("error " + other + c.error, 0), 0u) << events_.back();
            EXPECT_FALSE(button("Button1")->isEnabled());
        }
    }
}

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

// Every way in other than the dialog opens and scans the file as the dialog does, with the
// stored options restored first when the window was never active.
TEST_F(OperationsTest, EveryWayInOpensAndScans) {
    store_.writeOptions(false, true);
    auto* edit = control<QLineEdit>(form_, "Edit1");
    const QString path = QString::fromStdString(path_);
    const struct {
        const char* what;
        std::function<void()> open;
    } ways[] = {
        {"named on the command line, relative to the working folder",
         [&] {
             QDir::setCurrent(QString::fromStdString(settings_.dir().path().string()));
             form_.openFile(QStringLiteral("survey.xml"));
         }},
        {"typed into the file box, then Enter",
         [&] {
             edit->clear();
             QTest::keyClicks(edit, path);
             QTest::keyClick(edit, Qt::Key_Return);
         }},
        {"pasted as a file URL, then Enter",
         [&] {
             edit->setText(QUrl::fromLocalFile(path).toString());
             QTest::keyClick(edit, Qt::Key_Return);
         }},
        {"dropped on the file box", [&] { dropFile(edit, path); }},
        {"dropped on the window", [&] { dropFile(&form_, path); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.what);
        edit->setText(QStringLiteral("/elsewhere/old.xml"));
        store_.writeInitialFolder(QString());
        events_.clear();
        way.open();
        EXPECT_TRUE(events_.empty()) << "no dialog, no error: " << events_.front();
        EXPECT_EQ(edit->text(), path);
        EXPECT_EQ(listed(), (QStringList{"EG", "FG"}));
        EXPECT_EQ(text("Label8"), "2");
        EXPECT_EQ(text("Label7"), "4");
        EXPECT_EQ(store_.readInitialFolder().toStdString(), settings_.dir().path().string());
        EXPECT_TRUE(enabled({"Button1", "Button3", "Button5", "Button6"}));
    }
}

TEST_F(OperationsTest, EditAndSaveReportsAfterTheSaveAndEndsReady) {
    tick(true, true);
    scan();
    events_.clear();
    form_.Button1Click();
    EXPECT_EQ(
        events_,
        (std::vector<std::string>{
            "inform curves gevonden ", "inform XML file checked, 2 triangles removed ",
            "inform calculated curves maybe not correct adjusted. please check the data before "
            "use ",
            "inform The xml file is adjusted by correcting one or more curves. Missing data \n"
            "is added where needed. Check data before use!! \n"
            "Reading the adjusted XML file back into Civil3D will deliver incorrect data."}));
    EXPECT_EQ(listed(), (QStringList{"EG.trm", "FG.trm"}));
    EXPECT_EQ(text("Label4"), "2");
    EXPECT_EQ(text("Label14"), "1");
    EXPECT_EQ(text("Label11"), "1");
    EXPECT_EQ(text("Label16"), "#1");
    EXPECT_EQ(control<QProgressBar>(form_, "ProgressBar1")->value(), 0)
        << "the last surface has one face";
    EXPECT_EQ(control<QLineEdit>(form_, "Edit1")->text(), " ");
    EXPECT_EQ(button("Button2")->text(), " Ready ");
    for (const char* b : {"Button1", "Button3", "Button5", "Button6"})
        EXPECT_FALSE(button(b)->isEnabled()) << b;
    std::string saved = readFile(path_);
    EXPECT_EQ(saved.find("i=\"1\""), std::string::npos);
    EXPECT_NE(saved.find("rot=\"cw\""), std::string::npos);
}

TEST_F(OperationsTest, EditAndSaveAsAsksInTheScannedFolder) {
    tick(true, true);
    scan();
    const std::string folder = settings_.dir().path().string();
    // Closed without a choice: nothing written, nothing said (not even the curve notice), the
    // path and buttons stay.
    events_.clear();
    form_.Button3Click();
    EXPECT_EQ(events_, std::vector<std::string>{"save in " + folder + " after 2 removed"});
    EXPECT_EQ(readFile(path_), kFile);
    EXPECT_TRUE(enabled({"Button1", "Button3"}));
    EXPECT_EQ(control<QLineEdit>(form_, "Edit1")->text().toStdString(), path_);

    events_.clear();
    tick(true, false);
    saveAnswer_ = QString::fromStdString(settings_.dir().file("clean.xml"));
    form_.Button3Click();
    EXPECT_EQ(events_, (std::vector<std::string>{"save in " + folder + " after 2 removed",
                                                 "inform XML file checked, 2 triangles removed "}));
    EXPECT_EQ(listed(), (QStringList{"EG", "FG"}));
    EXPECT_EQ(readFile(path_), kFile);
    EXPECT_EQ(readFile(settings_.dir().file("clean.xml")).find("i=\"1\""), std::string::npos);
}

TEST_F(OperationsTest, FailingPassLeavesTheFileAndTheButtons) {
    std::string bad = kFile;
    bad.replace(bad.find("radius=\"5.001\""), 14, "radius=\"5,001\"");
    tidytest::writeFile(path_, bad);
    tick(true, true);
    scan();
    events_.clear();
    form_.Button1Click();
    // The error names the Curve element's place.
    const std::size_t curve = bad.find("<Curve");
    const auto line = std::count(bad.begin(), bad.begin() + curve, '\n') + 1;
    const std::size_t column = curve - bad.rfind('\n', curve);
    const std::string place =
        ": line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
    ASSERT_EQ(events_.size(), 2u);
    EXPECT_EQ(events_[0], "inform curves gevonden ");
    EXPECT_EQ(events_[1].rfind("error " + path_ + place, 0), 0u) << events_[1];
    EXPECT_EQ(readFile(path_), bad);
    EXPECT_EQ(text("Label4"), "2") << "counters keep what the run showed";
    EXPECT_TRUE(enabled({"Button1", "Button3", "Button5", "Button6"}));
    EXPECT_EQ(button("Button2")->text(), "Cancel");
}

TEST_F(OperationsTest, RenameAndColourAnswerThroughTheDialogs) {
    scan();
    events_.clear();
    form_.Button5Click();
    EXPECT_EQ(events_, (std::vector<std::string>{"name EG", "name FG"}));
    EXPECT_EQ(listed(), (QStringList{" EG-2.trm ", " FG-2.trm "}));
    events_.clear();
    form_.Button6Click();
    EXPECT_EQ(events_, (std::vector<std::string>{"color EG-2 0", "color FG-2 0"}));
    EXPECT_EQ(listed(), (QStringList{" EG-2 color 7 ", " FG-2 color 7 "}));
    std::string saved = readFile(path_);
    EXPECT_NE(saved.find("<Surface name=\"EG-2\">"), std::string::npos);
    EXPECT_NE(saved.find("<Property label=\"M_Color\" value=\"7\" />"), std::string::npos);
}
