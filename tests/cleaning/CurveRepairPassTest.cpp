// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/cleaning/CurveRepairPass.h"

#include "Locales.h"
#include "TestSupport.h"
#include "core/landxml/Nodes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the pass made of a document with one curve without "rot" (radius, Start, Center, End):
// its "rot" ("-" for none), its Center text, the two deviation counts and how often it marked a
// deviation, in the order of tests/data/curves.csv.
std::vector<std::string> repairOne(const std::vector<std::string>& curveIn) {
    tidytest::TempDir dir;
    tidy::Document document = tidy::Document::open(dir.write(
        "c.xml", "<LandXML><PlanFeatures><PlanFeature><CoordGeom><Curve radius=\"" + curveIn[0] +
                     "\"><Start>" + curveIn[1] + "</Start><Center>" + curveIn[2] +
                     "</Center><End>" + curveIn[3] +
                     "</End></Curve></CoordGeom></PlanFeature></PlanFeatures></LandXML>"));
    int marks = 0;
    const tidy::CurveRepairCounts counts =
        tidy::CurveRepairPass(document, {.markDeviation = [&] { ++marks; }});
    pugi::xml_node curve = document.root();
    for (const char* name : {"PlanFeatures", "PlanFeature", "CoordGeom", "Curve"})
        curve = tidy::findNode(curve, name);
    EXPECT_EQ(tidy::nodeText(tidy::findNode(curve, "Start")), curveIn[1]);
    EXPECT_EQ(tidy::nodeText(tidy::findNode(curve, "End")), curveIn[3]);
    EXPECT_EQ(counts.curveCount, 1);
    EXPECT_EQ(counts.adjustedCurveCount, 1);
    return {tidy::hasAttribute(curve, "rot") ? std::string(tidy::attributeText(curve, "rot")) : "-",
            std::string(tidy::nodeText(tidy::findNode(curve, "Center"))),
            std::to_string(counts.radiusDeviationCount),
            std::to_string(counts.possibleDeviationCount), std::to_string(marks)};
}

TEST(CurveRepairPassTest, RepairsEveryCurveOfTheTableUnderBothLocales) {
    const auto rows = tidytest::dataTable("curves.csv");
    tidytest::underBothLocales([&] {
        for (const auto& row : rows) {
            ASSERT_EQ(row.size(), 9u);
            SCOPED_TRACE(row[0] + " / " + row[1] + " / " + row[2] + " / " + row[3]);
            EXPECT_EQ(repairOne({row.begin(), row.begin() + 4}),
                      std::vector<std::string>(row.begin() + 4, row.end()));
        }
    });
}

TEST(CurveRepairPassTest, TurnOfTheWorkedExamples) {
    const struct {
        tidy::PointText start, middle, end;
        double turn;
    } cases[] = {
        {{1005, 2000}, {1004, 2003}, {1000, 2005}, 36.87},
        {{1000, 2005}, {1004, 2003}, {1005, 2000}, -53.13},
        {{1003, 2004}, {997, 2004}, {995, 2000}, 73.74},
        {{995, 2000}, {997, 2004}, {1003, 2004}, -53.13},
    };
    for (const auto& c : cases) {
        const tidy::PointText centre = tidy::arcCentre(c.start, c.middle, c.end);
        EXPECT_NEAR(centre.p, 1000.0, 1e-6);
        EXPECT_NEAR(centre.q, 2000.0, 1e-6);
        EXPECT_NEAR(tidy::turnDegrees(c.start, c.middle, centre), c.turn, 0.005);
    }
    // Straight along q a direction is 90 degrees times the ten-digit factor, just short of 90;
    // straight against p it is 180.
    EXPECT_NEAR(tidy::turnDegrees({0, 5}, {-5, 0}, {0, 0}), 180 - 89.99999999516, 1e-10);
}

} // namespace
