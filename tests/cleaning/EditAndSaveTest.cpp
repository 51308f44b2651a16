// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/EditAndSave.h"

#include "TestSupport.h"
#include "landxml/Error.h"

#include <gtest/gtest.h>

using tidy::EditAndSave;
using tidy::EditAndSaveOptions;
using tidytest::readFile;
using tidytest::TempDir;

namespace {

constexpr const char* kTriangleNone = " XML file checked, no triangles removed ";
constexpr const char* kDeviation =
    " calculated curves maybe not correct adjusted. please check the data before use ";
constexpr const char* kAdjusted =
    " The xml file is adjusted by correcting one or more curves. Missing data \n"
    "is added where needed. Check data before use!! \n"
    "Reading the adjusted XML file back into Civil3D will deliver incorrect data.";
constexpr const char* kNotAdjusted =
    " The xml file is not adjusted. There were no curves with missing data. ";

std::string curve(const char* radius, const char* rot = nullptr) {
    return std::string("<Curve") + (rot ? std::string(" rot=\"") + rot + "\"" : "") + " radius=\"" +
           radius +
           "\"><Start>1005 2000 0</Start><Center>1004 2003 0</Center><End>1000 2005 "
           "0</End></Curve>";
}

std::string file(int outsideFaces, const std::string& curves) {
    std::string faces;
    for (int i = 0; i < outsideFaces; ++i)
        faces += "<F i=\"1\">1 2 3</F>";
    faces += "<F>1 2 3</F>";
    std::string xml = "<LandXML><Surfaces><Surface name=\"EG\"><Definition><Faces>" + faces +
                      "</Faces></Definition></Surface></Surfaces>";
    if (!curves.empty())
        xml += "<PlanFeatures><PlanFeature><CoordGeom>" + curves +
               "</CoordGeom></PlanFeature></PlanFeatures>";
    return xml + "</LandXML>";
}

// Runs the pipeline and records every message box and list line in order.
struct Recorder {
    std::vector<std::string> informed;
    std::vector<std::string> lines;
    std::vector<std::string> dialogs;
    std::string saveAnswer;

    tidy::EditAndSaveView view() {
        auto ignore = [](std::int32_t) {};
        return {[this](const std::string& l) { lines.push_back(l); },
                ignore,
                ignore,
                ignore,
                ignore,
                ignore,
                [] {},
                [this](const std::string& m) { informed.push_back(m); },
                [this] {
                    dialogs.push_back("save");
                    return saveAnswer;
                }};
    }
};

} // namespace

struct MessageCase {
    const char* label;
    int outside;
    std::string curves;
    bool triangles, curvesOption;
    std::vector<std::string> expected;
};

class EditAndSaveMessagesTest : public ::testing::TestWithParam<MessageCase> {};

TEST_P(EditAndSaveMessagesTest, OutcomeMessagesFollowTheSaveInOrder) {
    const MessageCase& c = GetParam();
    TempDir dir;
    std::string path = dir.write("a.xml", file(c.outside, c.curves));
    Recorder r;
    tidy::EditAndSaveResult result =
        EditAndSave(path, {c.triangles, c.curvesOption, false}, r.view());
    EXPECT_TRUE(result.saved);
    std::vector<std::string> expected = c.expected;
    // "Edit and save" shows the notice first whenever the curve pass meets PlanFeatures.
    if (c.curvesOption && !c.curves.empty())
        expected.insert(expected.begin(), " curves gevonden ");
    EXPECT_EQ(r.informed, expected);
    EXPECT_EQ(result.messages,
              std::vector<std::string>(expected.end() - c.expected.size(), expected.end()));
    EXPECT_TRUE(r.dialogs.empty()) << "Edit and save never shows a save dialog";
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, EditAndSaveMessagesTest,
    ::testing::Values(
        MessageCase{"neither", 2, curve("5"), false, false, {}},
        MessageCase{"triangles_none", 0, "", true, false, {kTriangleNone}},
        MessageCase{
            "triangles_one", 1, "", true, false, {" XML file checked, 1 triangle removed "}},
        MessageCase{
            "triangles_many", 3, "", true, false, {" XML file checked, 3 triangles removed "}},
        MessageCase{"no_planfeatures", 0, "", false, true, {kNotAdjusted}},
        MessageCase{"only_curves_with_rot", 0, curve("5", "cw"), false, true, {kNotAdjusted}},
        MessageCase{"deviation", 0, curve("5.001"), false, true, {kDeviation, kAdjusted}},
        MessageCase{"both_everything",
                    2,
                    curve("5.001") + curve("5"),
                    true,
                    true,
                    {" XML file checked, 2 triangles removed ", kDeviation, kAdjusted}}),
    [](const auto& param) { return std::string(param.param.label); });

TEST(EditAndSaveTest, SaveAsAsksAfterThePassesAndShowsNoNotice) {
    TempDir dir;
    std::string path = dir.write("a.xml", file(1, curve("5")));
    std::string original = readFile(path);
    Recorder r;
    r.saveAnswer = dir.file("out.xml");
    tidy::EditAndSaveResult result = EditAndSave(path, {true, true, true}, r.view());
    EXPECT_TRUE(result.saved);
    EXPECT_EQ(result.destination, r.saveAnswer);
    EXPECT_EQ(r.lines, std::vector<std::string>{"EG"}) << "no .trm suffix for save as";
    EXPECT_EQ(r.informed,
              (std::vector<std::string>{" XML file checked, 1 triangle removed ", kAdjusted}));
    EXPECT_EQ(readFile(path), original);
    EXPECT_NE(readFile(r.saveAnswer).find("rot=\"cw\""), std::string::npos);
}

TEST(EditAndSaveTest, SaveAsOntoTheSourceItself) {
    TempDir dir;
    std::string path = dir.write("a.xml", file(1, ""));
    Recorder r;
    r.saveAnswer = path;
    EXPECT_TRUE(EditAndSave(path, {true, false, true}, r.view()).saved);
    EXPECT_EQ(readFile(path).find("i=\"1\""), std::string::npos);
    EXPECT_EQ(dir.listing(), "a.xml");
}

TEST(EditAndSaveTest, ClosedSaveDialogWritesNothingAndReportsNothing) {
    TempDir dir;
    std::string path = dir.write("a.xml", file(1, curve("5")));
    std::string original = readFile(path);
    Recorder r; // answers ""
    tidy::EditAndSaveResult result = EditAndSave(path, {true, true, true}, r.view());
    EXPECT_FALSE(result.saved);
    EXPECT_TRUE(r.informed.empty());
    EXPECT_EQ(r.dialogs.size(), 1u);
    EXPECT_EQ(readFile(path), original);
    EXPECT_EQ(dir.listing(), "a.xml");
}

TEST(EditAndSaveTest, MissingSourceIsAnErrorAndNothingIsWritten) {
    TempDir dir;
    Recorder r;
    r.saveAnswer = dir.file("out.xml");
    try {
        EditAndSave(dir.file("gone.xml"), {true, true, true}, r.view());
        FAIL() << "no error";
    } catch (const tidy::Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  dir.file("gone.xml") + ": no such file; nothing was written");
    }
    EXPECT_TRUE(r.dialogs.empty());
    EXPECT_EQ(dir.listing(), "");
}

TEST(EditAndSaveTest, FailingPassLeavesTheFileByteForByte) {
    // How a curve fails is CurveRepairPassTest's; here the pass fails after the triangles went.
    TempDir dir;
    const std::string bad = file(1, curve("five"));
    std::string path = dir.write("a.xml", bad);
    Recorder r;
    r.saveAnswer = dir.file("out.xml");
    EXPECT_THROW(EditAndSave(path, {true, true, false}, r.view()), tidy::Error);
    EXPECT_THROW(EditAndSave(path, {true, true, true}, r.view()), tidy::Error);
    EXPECT_EQ(readFile(path), bad);
    EXPECT_EQ(dir.listing(), "a.xml");
    EXPECT_TRUE(r.dialogs.empty()) << "the error comes before the save dialog";
    EXPECT_EQ(r.informed, std::vector<std::string>{" curves gevonden "})
        << "only the notice of the in-place run";
}
