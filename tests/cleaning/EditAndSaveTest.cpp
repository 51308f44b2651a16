// SPDX-License-Identifier: GPL-3.0-or-later
// What only the window sees of the pipeline: the curve notice and the save dialog. Counts,
// messages and files are the golden cases' (tests/cases/clean).
#include "cleaning/EditAndSave.h"

#include "TestSupport.h"
#include "landxml/Error.h"

#include <gtest/gtest.h>

using tidytest::readFile;
using tidytest::TempDir;
using Strings = std::vector<std::string>;

namespace {

const std::string kFile = "<LandXML><Surfaces><Surface name=\"EG\"><Definition><Faces><F i=\"1\">"
                          "1 2 3</F></Faces></Definition></Surface></Surfaces><PlanFeatures>"
                          "<PlanFeature><CoordGeom><Curve radius=\"RADIUS\"><Start>1005 2000 0"
                          "</Start><Center>1004 2003 0</Center><End>1000 2005 0</End></Curve>"
                          "</CoordGeom></PlanFeature></PlanFeatures></LandXML>";

TEST(EditAndSaveTest, NoticeOnlyInPlaceAndTheSaveDialogAfterThePasses) {
    const std::string adjusted = " The xml file is adjusted by correcting one or more curves. "
                                 "Missing data \nis added where needed. Check data before use!! "
                                 "\nReading the adjusted XML file back into Civil3D will deliver "
                                 "incorrect data.";
    const std::string removed = " XML file checked, 1 triangle removed ";
    struct Case {
        const char* what;
        const char* radius;
        bool saveAs;
        const char* answer; // of the save dialog
        Strings shown;      // "dialog" for the save dialog, then what was informed
        bool fails;
    };
    const Case cases[] = {
        {"in place", "5", false, "", {" curves gevonden ", removed, adjusted}, false},
        {"save as", "5", true, "out.xml", {"dialog", removed, adjusted}, false},
        {"save dialog closed", "5", true, "", {"dialog"}, false},
        {"failing pass, in place", "five", false, "", {" curves gevonden "}, true},
        {"failing pass, save as: no dialog", "five", true, "out.xml", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::string original = kFile;
        original.replace(original.find("RADIUS"), 6, c.radius);
        const std::string path = dir.write("a.xml", original);
        Strings shown;
        auto ignore = [](std::int32_t) {};
        const tidy::EditAndSaveView view{[](const std::string&) {},
                                         ignore,
                                         ignore,
                                         ignore,
                                         ignore,
                                         ignore,
                                         [] {},
                                         [&](const std::string& m) { shown.push_back(m); },
                                         [&] {
                                             shown.push_back("dialog");
                                             return *c.answer ? dir.file(c.answer) : std::string();
                                         }};
        if (c.fails) {
            EXPECT_THROW(tidy::EditAndSave(path, {true, true, c.saveAs}, view), tidy::Error);
        } else {
            const tidy::EditAndSaveResult r = tidy::EditAndSave(path, {true, true, c.saveAs}, view);
            EXPECT_EQ(r.saved, *c.answer || !c.saveAs);
        }
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(dir.listing(), *c.answer && !c.fails ? "a.xml out.xml" : "a.xml");
        EXPECT_EQ(readFile(path) == original, c.saveAs || c.fails);
    }
}

} // namespace
