// SPDX-License-Identifier: GPL-3.0-or-later
// What only the window sees of the pipeline: the plan features event and the save dialog, in
// their order with the messages. Counts, messages and files are the golden cases'
// (tests/cases/clean).
#include "core/cleaning/EditAndSave.h"
#include "core/cleaning/OutcomeMessages.h"

#include "TestSupport.h"
#include "core/landxml/Error.h"

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

TEST(EditAndSaveTest, TheSaveDialogAfterThePassesAndTheMessagesAfterTheSave) {
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
        Strings shown; // "curves" for plan features, "dialog" for the save dialog, the messages
        bool fails;
    };
    const Case cases[] = {
        {"in place", "5", false, "", {"curves", removed, adjusted}, false},
        {"save as", "5", true, "out.xml", {"curves", "dialog", removed, adjusted}, false},
        {"save dialog closed", "5", true, "", {"curves", "dialog"}, false},
        {"failing pass, in place", "five", false, "", {"curves"}, true},
        {"failing pass, save as: no dialog", "five", true, "out.xml", {"curves"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::string original = kFile;
        original.replace(original.find("RADIUS"), 6, c.radius);
        const std::string path = dir.write("a.xml", original);
        Strings shown;
        const tidy::EditAndSaveObserver observer{
            .curves = {.planFeaturesFound = [&] { shown.push_back("curves"); }},
            .chooseSaveFile = [&] {
                shown.push_back("dialog");
                return *c.answer ? dir.file(c.answer) : std::string();
            }};
        const tidy::EditAndSaveOptions options{true, true, c.saveAs};
        if (c.fails) {
            EXPECT_THROW(tidy::EditAndSave(path, options, observer), tidy::Error);
        } else {
            const tidy::EditAndSaveResult r = tidy::EditAndSave(path, options, observer);
            EXPECT_EQ(r.file,
                      *c.answer || !c.saveAs ? tidy::FileRun::Written : tidy::FileRun::NotWritten);
            for (const std::string& message : tidy::outcomeMessages(options, r))
                shown.push_back(message);
        }
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(dir.listing(), *c.answer && !c.fails ? "a.xml out.xml" : "a.xml");
        EXPECT_EQ(readFile(path) == original, c.saveAs || c.fails);
    }
}

} // namespace
