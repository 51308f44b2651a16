// SPDX-License-Identifier: GPL-3.0-or-later
// The window's operations end to end: what the user sees after open and scan, edit and save,
// renaming and colouring, with every dialog answered by an injected hook.
#include "app/tidylandmain.h"

#include "AppTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
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
            record("save in " + folder.toStdString());
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

    // The next dialog starts in that folder; without the curve option Label7 stays.
    tick(false, false);
    scan();
    EXPECT_EQ(events_.back(), "open in " + settings_.dir().path().string());
    EXPECT_EQ(text("Label7"), "4");
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

TEST_F(OperationsTest, MalformedFileShowsAnErrorAndChangesNoCounter) {
    std::string bad = settings_.dir().write("bad.xml", "<LandXML>\n<Surfaces>\n</LandXML>\n");
    openAnswer_ = QString::fromStdString(bad);
    tick(true, true);
    form_.Button4Click();
    ASSERT_FALSE(events_.empty());
    EXPECT_EQ(events_.back().rfind("error " + bad + ": line 3, column", 0), 0u) << events_.back();
    EXPECT_TRUE(listed().isEmpty());
    EXPECT_EQ(text("Label8"), "#");
    EXPECT_EQ(text("Label7"), "#");
    EXPECT_FALSE(button("Button1")->isEnabled());
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
    tick(true, false);
    scan();
    const std::string folder = settings_.dir().path().string();
    // Closed without a choice: nothing written, nothing said, the path and buttons stay.
    events_.clear();
    form_.Button3Click();
    EXPECT_EQ(events_, std::vector<std::string>{"save in " + folder});
    EXPECT_EQ(readFile(path_), kFile);
    EXPECT_TRUE(enabled({"Button1", "Button3"}));
    EXPECT_EQ(control<QLineEdit>(form_, "Edit1")->text().toStdString(), path_);

    events_.clear();
    saveAnswer_ = QString::fromStdString(settings_.dir().file("clean.xml"));
    form_.Button3Click();
    EXPECT_EQ(events_, (std::vector<std::string>{"save in " + folder,
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
