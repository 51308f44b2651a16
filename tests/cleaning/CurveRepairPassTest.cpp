// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/CurveRepairPass.h"

#include "Locales.h"
#include "TestSupport.h"
#include "landxml/Nodes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using tidytest::TempDir;

// What the pass made of a document with one curve without "rot": its "rot" and Center text, the
// two deviation counts and how often it marked a deviation.
struct Outcome {
    std::string state;
    std::int32_t radiusDeviations;
    std::int32_t possibleDeviations;
    int marks;
    friend bool operator==(const Outcome&, const Outcome&) = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
    *os << '"' << o.state << "\", deviations " << o.radiusDeviations << '/' << o.possibleDeviations
        << ", marks " << o.marks;
}

Outcome repairOne(const std::string& radius, const std::string& start, const std::string& center,
                  const std::string& end) {
    TempDir dir;
    tidy::Document document = tidy::Document::open(dir.write(
        "c.xml", "<LandXML><PlanFeatures><PlanFeature><CoordGeom><Curve radius=\"" + radius +
                     "\"><Start>" + start + "</Start><Center>" + center + "</Center><End>" + end +
                     "</End></Curve></CoordGeom></PlanFeature></PlanFeatures></LandXML>"));
    int marks = 0;
    const tidy::CurveRepairCounts counts =
        tidy::CurveRepairPass(document, {.markDeviation = [&] { ++marks; }});
    pugi::xml_node curve = document.root();
    for (const char* name : {"PlanFeatures", "PlanFeature", "CoordGeom", "Curve"})
        curve = tidy::findNode(curve, name);
    EXPECT_EQ(tidy::nodeText(tidy::findNode(curve, "Start")), start);
    EXPECT_EQ(tidy::nodeText(tidy::findNode(curve, "End")), end);
    EXPECT_EQ(counts.curveCount, 1);
    EXPECT_EQ(counts.adjustedCurveCount, 1);
    const std::string rot = tidy::hasAttribute(curve, "rot")
                                ? std::string(tidy::attributeText(curve, "rot"))
                                : "(none)";
    return {rot + " | " + std::string(tidy::nodeText(tidy::findNode(curve, "Center"))),
            counts.radiusDeviationCount, counts.possibleDeviationCount, marks};
}

TEST(CurveRepairPassTest, RepairsACurveWithoutRot) {
    struct Case {
        const char* radius;
        const char* start;
        const char* center;
        const char* end;
        Outcome want;
    };
    const char* const centre = "1000.000000 2000.000000";
    const std::string cw = std::string("cw | ") + centre;
    const std::string ccw = std::string("ccw | ") + centre;
    const Case cases[] = {
        // The worked examples, radius check failing at 5.001 and passing at 5.0004.
        {"5", "1005 2000 0", "1004 2003 0", "1000 2005 0", {cw, 0, 0, 0}},
        {"5", "1000 2005 0", "1004 2003 0", "1005 2000 0", {ccw, 0, 0, 0}},
        {"5.001", "1005 2000 0", "1004 2003 0", "1000 2005 0", {cw, 1, 1, 1}},
        {"5.0004", "1005 2000 0", "1004 2003 0", "1000 2005 0", {cw, 0, 0, 0}},
        // q equal on the first chord, then on the second: the steep slope stands in.
        {"5", "1003 2004 0", "997 2004 0", "995 2000 0", {cw, 0, 0, 0}},
        {"5", "995 2000 0", "997 2004 0", "1003 2004 0", {ccw, 0, 0, 0}},
        // Point texts as exporters write them; only the first two tokens are read.
        {"5", "1005 2000", "\r\n1004  2003 0\r\n", "1000.\t2.005E+3", {cw, 0, 0, 0}},
        {"5", "1005 2000 0 extra", "1004 2003 x", "1000 2005 0 0", {cw, 0, 0, 0}},
        // Fractions, which a decimal comma would spoil.
        {"5.0",
         "1005.25 2000.5 0.125",
         "1004.25 2003.5 0",
         "1000.25 2005.5 0",
         {"cw | 1000.250000 2000.500000", 0, 0, 0}},
        // No circle through the points (collinear, all one point, collinear along q): the
        // curve is left as it was and marked as a possible deviation.
        {"5", "0 0 0", "1 1 0", "2 2 0", {"(none) | 1 1 0", 0, 1, 1}},
        {"5", "3 3 0", "3 3 0", "3 3 0", {"(none) | 3 3 0", 0, 1, 1}},
        {"5", "10 0 0", "10 5 0", "10 -7 0", {"(none) | 10 5 0", 0, 1, 1}},
        // The centre falls exactly on Start, then on the Center point: the direction is
        // undecided, the centre is written without "rot". Last, Start and the Center point
        // coincide away from the centre, so the turn is exactly 0.
        {"0",
         "1.0000000000000004 1.0000000000000004 0",
         "1.0000000000000004 1.0000000000000004 0",
         "1.0000000000000004 1.0000000000000002 0",
         {"(none) | 1.000000 1.000000", 0, 1, 0}},
        {"0",
         "1.0000000000000002 0.99999999999999978 0",
         "1 1 0",
         "1.0000000000000002 1.0000000000000002 0",
         {"(none) | 1.000000 1.000000", 0, 1, 0}},
        {"5",
         "1005 2000 0",
         "1005 2000 0",
         "1000 2005 0",
         {"(none) | 1005.000000 2005.000000", 0, 1, 0}},
    };
    // The centre is written with a point whatever the locale.
    tidytest::underBothLocales([&] {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.radius) + " / " + c.start + " / " + c.center + " / " +
                         c.end);
            EXPECT_EQ(repairOne(c.radius, c.start, c.center, c.end), c.want);
        }
    });
}

TEST(CurveRepairPassTest, TurnOfTheWorkedExamples) {
    struct Case {
        tidy::PointText start, middle, end;
        double turn;
    };
    const Case cases[] = {
        {{1005, 2000}, {1004, 2003}, {1000, 2005}, 36.87},
        {{1000, 2005}, {1004, 2003}, {1005, 2000}, -53.13},
        {{1003, 2004}, {997, 2004}, {995, 2000}, 73.74},
        {{995, 2000}, {997, 2004}, {1003, 2004}, -53.13},
    };
    for (const Case& c : cases) {
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
