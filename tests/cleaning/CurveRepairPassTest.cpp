// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/CurveRepairPass.h"

#include "TestSupport.h"
#include "landxml/Error.h"
#include "landxml/Nodes.h"

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tidytest::TempDir;
using Strings = std::vector<std::string>;

// Everything the pass tells the window, in order.
struct Recorder {
    Strings events;
    tidy::CurveRepairCounts counts;

    void run(tidy::Document& document, bool showNotice = true) {
        counts = tidy::CurveRepairPass(
            document, showNotice,
            [this](std::int32_t n) { events.push_back("curves " + std::to_string(n)); },
            [this](std::int32_t n) { events.push_back("adjusted " + std::to_string(n)); },
            [this] { events.push_back("mark"); },
            [this](const std::string& text) { events.push_back("inform \"" + text + "\""); });
    }
    std::array<std::int32_t, 4> allCounts() const {
        return {counts.curveCount, counts.adjustedCurveCount, counts.radiusDeviationCount,
                counts.possibleDeviationCount};
    }
};

std::string curveXml(std::string_view attributes, std::string_view start, std::string_view center,
                     std::string_view end) {
    return "<Curve " + std::string(attributes) + "><Start>" + std::string(start) +
           "</Start><Center>" + std::string(center) + "</Center><End>" + std::string(end) +
           "</End></Curve>";
}

std::string planFeaturesXml(std::string_view coordGeom) {
    return "<PlanFeatures name=\"figures\"><PlanFeature name=\"f\"><CoordGeom>" +
           std::string(coordGeom) + "</CoordGeom></PlanFeature></PlanFeatures>";
}

std::string landXml(std::string_view body) {
    return "<?xml version=\"1.0\"?>\n<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\">"
           "<Units/>" +
           std::string(body) + "</LandXML>\n";
}

// The elements with a radius of every CoordGeom, in walk order.
std::vector<pugi::xml_node> curves(const tidy::Document& document) {
    std::vector<pugi::xml_node> out;
    for (pugi::xml_node features : document.root().children())
        for (pugi::xml_node feature : features.children())
            for (pugi::xml_node element : tidy::findNode(feature, "CoordGeom").children())
                if (tidy::hasAttribute(element, "radius"))
                    out.push_back(element);
    return out;
}

std::string rotOf(pugi::xml_node curve) {
    return tidy::hasAttribute(curve, "rot") ? std::string(tidy::attributeText(curve, "rot"))
                                            : "(none)";
}

std::string textOf(pugi::xml_node curve, const char* child) {
    return std::string(tidy::nodeText(tidy::findNode(curve, child)));
}

// A curve after the pass: its "rot" and the text of its Center.
std::string stateOf(pugi::xml_node curve) {
    return rotOf(curve) + " | " + textOf(curve, "Center");
}

// What the pass made of a document with one curve without "rot".
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

Outcome repairOne(std::string_view radius, std::string_view start, std::string_view center,
                  std::string_view end) {
    TempDir dir;
    tidy::Document document = tidy::Document::open(
        dir.write("c.xml", landXml(planFeaturesXml(curveXml(
                               "radius=\"" + std::string(radius) + "\"", start, center, end)))));
    Recorder r;
    r.run(document, false);
    const pugi::xml_node curve = curves(document).at(0);
    EXPECT_EQ(textOf(curve, "Start"), start);
    EXPECT_EQ(textOf(curve, "End"), end);
    EXPECT_EQ(tidy::attributeText(curve, "radius"), radius);
    EXPECT_EQ(r.counts.curveCount, 1);
    EXPECT_EQ(r.counts.adjustedCurveCount, 1);
    int marks = 0;
    for (const std::string& e : r.events)
        marks += e == "mark" ? 1 : 0;
    return {stateOf(curve), r.counts.radiusDeviationCount, r.counts.possibleDeviationCount, marks};
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
    const struct {
        const char* name;
        const char* half; // how printf writes 0.5 there
    } locales[] = {{"C", "0.500000"}, {tidytest::kDecimalCommaLocale, "0,500000"}};
    for (const auto& locale : locales) {
        SCOPED_TRACE(locale.name);
        const struct Restore {
            std::string previous;
            ~Restore() { std::setlocale(LC_ALL, previous.c_str()); }
        } restore{std::setlocale(LC_ALL, nullptr)};
        ASSERT_NE(std::setlocale(LC_ALL, locale.name), nullptr) << "locale missing";
        char half[16];
        std::snprintf(half, sizeof half, "%f", 0.5);
        ASSERT_EQ(std::string(half), locale.half);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.radius) + " / " + c.start + " / " + c.center + " / " +
                         c.end);
            EXPECT_EQ(repairOne(c.radius, c.start, c.center, c.end), c.want);
        }
    }
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

TEST(CurveRepairPassTest, CurveThatCannotBeReadEndsTheRunUnchanged) {
    struct Case {
        std::string curve; // the second curve, the one that fails
        Strings mentions;
    };
    // Which texts are numbers is PointTextTest's; here one case of each way a curve fails.
    std::vector<Case> cases;
    const char* const usual[] = {"1005 2000 0", "1004 2003 0", "1000 2005 0"};
    const struct {
        int point; // 0 Start, 1 Center, 2 End
        const char* text;
        const char* mention;
    } badPoints[] = {
        {0, "1005", "\"1005\""},
        {1, "1004,5 2003,5 0", "\"1004,5 2003,5 0\""},
        {2, "", "no coordinates"},
        {0, " \t", "no coordinates"},
    };
    const char* const names[] = {"Start", "Center", "End"};
    for (const auto& b : badPoints) {
        const auto text = [&](int point) { return point == b.point ? b.text : usual[point]; };
        cases.push_back({curveXml("radius=\"5\"", text(0), text(1), text(2)),
                         {"curve 2 (radius 5)", names[b.point], b.mention}});
    }
    cases.push_back({"<Curve radius=\"5\"><Center>1 2 0</Center><End>1 2 0</End></Curve>",
                     {"curve 2 (radius 5)", "Start"}});
    cases.push_back({"<Curve radius=\"5\"><Start>1 2 0</Start><End>1 2 0</End></Curve>",
                     {"curve 2 (radius 5)", "Center"}});
    cases.push_back({"<Curve radius=\"5\"><Start>1 2 0</Start><Center>1 2 0</Center></Curve>",
                     {"curve 2 (radius 5)", "End"}});
    cases.push_back({"<Curve radius=\"5\"><Start pntRef=\"P1\"/><Center>1 2 0</Center>"
                     "<End>1 2 0</End></Curve>",
                     {"curve 2 (radius 5)", "Start", "pntRef"}});
    // The radius is read also where "rot" is there already.
    for (const char* radius : {"5,0", ""})
        for (const char* rot : {"", "rot=\"kept\""})
            cases.push_back({curveXml(std::string("radius=\"") + radius + "\" " + rot, usual[0],
                                      usual[1], usual[2]),
                             {"curve 2", std::string("\"") + radius + "\""}});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.curve);
        TempDir dir;
        const std::string path = dir.write(
            "bad.xml",
            landXml(planFeaturesXml(curveXml("radius=\"7.5\"", usual[0], usual[1], usual[2]) +
                                    "\n" + c.curve)));
        tidy::Document document = tidy::Document::open(path);
        Recorder r;
        try {
            r.run(document);
            ADD_FAILURE() << "no error";
        } catch (const tidy::Error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(path + ": line 3"), std::string::npos) << message;
            for (const std::string& part : c.mentions)
                EXPECT_NE(message.find(part), std::string::npos) << part << " in " << message;
        }
        const pugi::xml_node failed = curves(document).back();
        EXPECT_TRUE(rotOf(failed) == "(none)" || rotOf(failed) == "kept") << rotOf(failed);
        EXPECT_NE(textOf(failed, "Center"), "1000.000000 2000.000000");
    }
}

TEST(CurveRepairPassTest, WalksEveryCurveOfEveryPlanFeatures) {
    const std::string curve = curveXml("radius=\"5\"", "1005 2000 0", "1004 2003 0", "1000 2005 0");
    const std::string line = "<Line><Start>0 0</Start><End>1 1</End></Line>";
    const std::string repaired = "cw | 1000.000000 2000.000000";
    const std::string oneCurve =
        planFeaturesXml(curveXml("radius=\"5.001\"", "1005 2000 0", "1004 2003 0", "1000 2005 0"));
    struct Case {
        const char* what;
        std::string body;
        bool showNotice;
        Strings events;
        std::array<std::int32_t, 4> counts; // curves, adjusted, radius and possible deviations
        Strings after;                      // stateOf every element with a radius
    };
    const Case cases[] = {
        {"Edit and save shows the notice",
         oneCurve,
         true,
         {"inform \" curves gevonden \"", "curves 1", "adjusted 1", "mark"},
         {1, 1, 1, 1},
         {repaired}},
        {"plan features without curves",
         "<PlanFeatures/>",
         true,
         {"inform \" curves gevonden \""},
         {0, 0, 0, 0},
         {}},
        {"no plan features", "<Surfaces/>", true, {}, {0, 0, 0, 0}, {}},
        {"curves with rot are only counted",
         planFeaturesXml(
             curveXml("radius=\"5\" rot=\"\"", "1005 2000 0", "1004 2003 0", "1000 2005 0") +
             curveXml("radius=\"5\" rot=\"sideways\"", "1005 2000 0", "1004 2003 0",
                      "1000 2005 0")),
         false,
         {"curves 1", "curves 2"},
         {2, 0, 0, 0},
         {" | 1004 2003 0", "sideways | 1004 2003 0"}},
        // Elements before the first Curve of a CoordGeom are not visited, even with a radius.
        {"two PlanFeatures, lines around the curves",
         planFeaturesXml(curve) + "<Surfaces/><!-- between -->" +
             "<PlanFeatures><PlanFeature name=\"no geometry\"/><!-- x -->"
             "<PlanFeature><CoordGeom><Line radius=\"3\"><Start>0 0</Start><End>1 1</End></Line>" +
             line + curve + line + "<!-- c -->" +
             curveXml("radius=\"5\" rot=\"cw\"", "1 0", "0 1", "-1 0") + line +
             "</CoordGeom></PlanFeature><PlanFeature><CoordGeom>" + curve +
             "</CoordGeom></PlanFeature></PlanFeatures>",
         false,
         {"curves 1", "adjusted 1", "curves 2", "adjusted 2", "curves 3", "curves 4", "adjusted 3"},
         {4, 3, 0, 0},
         {repaired, "(none) | ", repaired, "cw | 0 1", repaired}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        tidy::Document document = tidy::Document::open(dir.write("n.xml", landXml(c.body)));
        Recorder r;
        r.run(document, c.showNotice);
        EXPECT_EQ(r.events, c.events);
        EXPECT_EQ(r.allCounts(), c.counts);
        Strings after;
        for (const pugi::xml_node element : curves(document))
            after.push_back(stateOf(element));
        EXPECT_EQ(after, c.after);
    }
}

} // namespace
