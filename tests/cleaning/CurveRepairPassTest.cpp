// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/CurveRepairPass.h"

#include "TestSupport.h"
#include "landxml/Error.h"
#include "landxml/Nodes.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
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
    int marks() const {
        int n = 0;
        for (const std::string& e : events)
            n += e == "mark" ? 1 : 0;
        return n;
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

// The curves of a document in walk order.
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

struct Outcome {
    std::string rot;
    std::string center;
    std::int32_t radiusDeviations;
    std::int32_t possibleDeviations;
    int marks;
};

// Runs the pass over a document with one curve without "rot".
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
    return {rotOf(curve), textOf(curve, "Center"), r.counts.radiusDeviationCount,
            r.counts.possibleDeviationCount, r.marks()};
}

void expectOutcome(const Outcome& got, const Outcome& want) {
    EXPECT_EQ(got.rot, want.rot);
    EXPECT_EQ(got.center, want.center);
    EXPECT_EQ(got.radiusDeviations, want.radiusDeviations);
    EXPECT_EQ(got.possibleDeviations, want.possibleDeviations);
    EXPECT_EQ(got.marks, want.marks);
}

TEST(CurveRepairPassTest, WorkedExamples) {
    struct Case {
        const char* radius;
        const char* start;
        const char* center;
        const char* end;
        Outcome want;
    };
    const char* centre = "1000.000000 2000.000000";
    const Case cases[] = {
        {"5", "1005 2000 0", "1004 2003 0", "1000 2005 0", {"cw", centre, 0, 0, 0}},
        {"5", "1000 2005 0", "1004 2003 0", "1005 2000 0", {"ccw", centre, 0, 0, 0}},
        {"5.001", "1005 2000 0", "1004 2003 0", "1000 2005 0", {"cw", centre, 1, 1, 1}},
        {"5.0004", "1005 2000 0", "1004 2003 0", "1000 2005 0", {"cw", centre, 0, 0, 0}},
        // q equal on the first chord, then on the second: the steep slope stands in.
        {"5", "1003 2004 0", "997 2004 0", "995 2000 0", {"cw", centre, 0, 0, 0}},
        {"5", "995 2000 0", "997 2004 0", "1003 2004 0", {"ccw", centre, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.radius) + " / " + c.start + " / " + c.center + " / " + c.end);
        expectOutcome(repairOne(c.radius, c.start, c.center, c.end), c.want);
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

TEST(CurveRepairPassTest, PointTextsInEveryUsualForm) {
    struct Case {
        const char* start;
        const char* center;
        const char* end;
    };
    const Case cases[] = {
        {"1005 2000", "1004 2003", "1000 2005"},                  // no elevations
        {"1005 2000 ", "1004 2003 ", "1000 2005 "},               // trailing blanks
        {"1005. 2000. 0.", "1004 2003. 0", "1000. 2005 0"},       // trimmed zeros
        {"1005\t2000\t0", "\r\n1004  2003 0\r\n", "1000   2005"}, // tabs, CRLF, runs of blanks
        {"1.005e3 2e3 0", "1004 2003 0", "1000 2.005E+3 0"},      // exponents
        {"1005 2000 0 extra", "1004 2003 x", "1000 2005 0 0"},    // later tokens are not read
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " / " + c.center + " / " + c.end);
        expectOutcome(repairOne("5", c.start, c.center, c.end),
                      {"cw", "1000.000000 2000.000000", 0, 0, 0});
    }
}

TEST(CurveRepairPassTest, PointsWithoutCircleLeaveTheCurveAlone) {
    struct Case {
        const char* start;
        const char* center;
        const char* end;
    };
    const Case cases[] = {
        {"0 0 0", "1 1 0", "2 2 0"},     // collinear
        {"3 3 0", "3 3 0", "3 3 0"},     // all one point
        {"10 0 0", "10 5 0", "10 -7 0"}, // collinear along q
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " / " + c.center + " / " + c.end);
        expectOutcome(repairOne("5", c.start, c.center, c.end), {"(none)", c.center, 0, 1, 1});
    }
}

TEST(CurveRepairPassTest, UndecidedDirectionWritesCentreWithoutRot) {
    // The centre falls exactly on Start (first case) or on the Center point (second): the
    // directions are NaN. In the third case Start and the Center point coincide away from the
    // centre, so the turn is exactly 0.
    struct Case {
        const char* radius;
        const char* start;
        const char* center;
        const char* end;
        const char* written;
    };
    const Case cases[] = {
        {"0", "1.0000000000000004 1.0000000000000004 0", "1.0000000000000004 1.0000000000000004 0",
         "1.0000000000000004 1.0000000000000002 0", "1.000000 1.000000"},
        {"0", "1.0000000000000002 0.99999999999999978 0", "1 1 0",
         "1.0000000000000002 1.0000000000000002 0", "1.000000 1.000000"},
        {"5", "1005 2000 0", "1005 2000 0", "1000 2005 0", "1005.000000 2005.000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        expectOutcome(repairOne(c.radius, c.start, c.center, c.end),
                      {"(none)", c.written, 0, 1, 0});
    }
}

// Runs the pass on the file and returns the error's message, or "" when there was none.
// `unchanged` tells whether the last curve, the failing one, was left as it was.
std::string errorOf(const std::string& path, bool* unchanged) {
    tidy::Document document = tidy::Document::open(path);
    Recorder r;
    std::string message;
    try {
        r.run(document);
    } catch (const tidy::Error& e) {
        message = e.what();
    }
    const pugi::xml_node curve = curves(document).back();
    const pugi::xml_node centre = tidy::findNode(curve, "Center");
    *unchanged = (rotOf(curve) == "(none)" || rotOf(curve) == "kept") &&
                 (!centre || tidy::nodeText(centre) != "1000.000000 2000.000000");
    return message;
}

void expectMentions(const std::string& message, const Strings& parts) {
    ASSERT_FALSE(message.empty()) << "no error";
    for (const std::string& part : parts)
        EXPECT_NE(message.find(part), std::string::npos) << "\"" << part << "\" in " << message;
}

TEST(CurveRepairPassTest, PointTextsThatAreNotPointsEndTheRun) {
    struct Case {
        const char* element;
        const char* text;
        const char* mention;
    };
    const Case cases[] = {
        {"Start", "inf 2000 0", "\"inf 2000 0\""},
        {"Center", "nan 2003 0", "\"nan 2003 0\""},
        {"End", "0x10 2005 0", "\"0x10 2005 0\""},
        {"Start", "1005", "\"1005\""},
        {"Center", "1004,5 2003,5 0", "\"1004,5 2003,5 0\""},
        {"End", "", "no coordinates"},
        {"Start", " \t", "no coordinates"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.element) + " \"" + c.text + "\"");
        const std::string element = c.element;
        auto text = [&](const char* name, const char* usual) {
            return element == name ? c.text : usual;
        };
        TempDir dir;
        const std::string path = dir.write(
            "bad.xml",
            landXml(planFeaturesXml(
                curveXml("radius=\"7.5\"", "1005 2000 0", "1004 2003 0", "1000 2005 0") + "\n" +
                curveXml("radius=\"5\"", text("Start", "1005 2000 0"),
                         text("Center", "1004 2003 0"), text("End", "1000 2005 0")))));
        bool unchanged = false;
        const std::string message = errorOf(path, &unchanged);
        expectMentions(message, {path + ": line 3", "curve 2 (radius 5)", c.element, c.mention});
        EXPECT_TRUE(unchanged);
    }
}

TEST(CurveRepairPassTest, MissingPointsEndTheRun) {
    struct Case {
        const char* curve;
        Strings mentions;
    };
    const Case cases[] = {
        {"<Curve radius=\"5\"><Center>1 2 0</Center><End>1 2 0</End></Curve>", {"Start"}},
        {"<Curve radius=\"5\"><Start>1 2 0</Start><End>1 2 0</End></Curve>", {"Center"}},
        {"<Curve radius=\"5\"><Start>1 2 0</Start><Center>1 2 0</Center></Curve>", {"End"}},
        {"<Curve radius=\"5\"><Start pntRef=\"P1\"/><Center>1 2 0</Center><End>1 2 0</End></Curve>",
         {"Start", "pntRef"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.curve);
        TempDir dir;
        const std::string path = dir.write("missing.xml", landXml(planFeaturesXml(c.curve)));
        bool unchanged = false;
        const std::string message = errorOf(path, &unchanged);
        Strings mentions = c.mentions;
        mentions.push_back(path + ": line 2");
        mentions.push_back("curve 1 (radius 5)");
        expectMentions(message, mentions);
        EXPECT_TRUE(unchanged);
    }
}

TEST(CurveRepairPassTest, RadiusThatIsNotANumberEndsTheRun) {
    for (const char* radius : {"abc", "inf", "", "5,0", "0x10", " 5"}) {
        for (const char* rot : {"", "rot=\"kept\""}) {
            SCOPED_TRACE(std::string("radius \"") + radius + "\" " + rot);
            TempDir dir;
            const std::string path = dir.write(
                "radius.xml", landXml(planFeaturesXml(
                                  curveXml("radius=\"5\" rot=\"cw\"", "1 0 0", "0 1 0", "-1 0 0") +
                                  curveXml(std::string("radius=\"") + radius + "\" " + rot,
                                           "1005 2000 0", "1004 2003 0", "1000 2005 0"))));
            bool unchanged = false;
            const std::string message = errorOf(path, &unchanged);
            expectMentions(message,
                           {path + ": line 2", "curve 2", std::string("\"") + radius + "\""});
            EXPECT_TRUE(unchanged);
        }
    }
}

TEST(CurveRepairPassTest, CurvesWithRotAreOnlyCounted) {
    TempDir dir;
    tidy::Document document = tidy::Document::open(dir.write(
        "rot.xml", landXml(planFeaturesXml(curveXml("radius=\"5\" rot=\"\"", "1005 2000 0",
                                                    "1004 2003 0", "1000 2005 0") +
                                           curveXml("radius=\"5\" rot=\"sideways\"", "1005 2000 0",
                                                    "1004 2003 0", "1000 2005 0")))));
    Recorder r;
    r.run(document, false);
    EXPECT_EQ(r.events, (Strings{"curves 1", "curves 2"}));
    EXPECT_EQ(r.counts.adjustedCurveCount, 0);
    const std::vector<pugi::xml_node> found = curves(document);
    EXPECT_EQ(rotOf(found[0]), "");
    EXPECT_EQ(rotOf(found[1]), "sideways");
    EXPECT_EQ(textOf(found[0], "Center"), "1004 2003 0");
}

TEST(CurveRepairPassTest, EveryPlanFeaturesAndEveryCurveAfterTheFirst) {
    const std::string curve = curveXml("radius=\"5\"", "1005 2000 0", "1004 2003 0", "1000 2005 0");
    const std::string body =
        planFeaturesXml(curve) + "<Surfaces/><!-- between -->" +
        "<PlanFeatures><PlanFeature name=\"no geometry\"/><!-- x -->"
        "<PlanFeature><CoordGeom>"
        // Before the first Curve: not visited, even with a radius.
        "<Line radius=\"3\"><Start>0 0</Start><End>1 1</End></Line>"
        "<Line><Start>0 0</Start><End>1 1</End></Line>" +
        curve + "<Line><Start>0 0</Start><End>1 1</End></Line><!-- c -->" +
        curveXml("radius=\"5\" rot=\"cw\"", "1 0", "0 1", "-1 0") +
        "<Line><Start>0 0</Start><End>1 1</End></Line></CoordGeom></PlanFeature>"
        "<PlanFeature><CoordGeom>" +
        curve + "</CoordGeom></PlanFeature></PlanFeatures>";
    TempDir dir;
    tidy::Document document = tidy::Document::open(dir.write("two.xml", landXml(body)));
    Recorder r;
    r.run(document, false);
    EXPECT_EQ(r.events, (Strings{"curves 1", "adjusted 1", "curves 2", "adjusted 2", "curves 3",
                                 "curves 4", "adjusted 3"}));
    EXPECT_EQ(r.counts.curveCount, 4);
    EXPECT_EQ(r.counts.adjustedCurveCount, 3);
    EXPECT_EQ(r.counts.radiusDeviationCount, 0);
    EXPECT_EQ(r.counts.possibleDeviationCount, 0);
    const std::vector<pugi::xml_node> found = curves(document);
    for (const std::size_t i : {0u, 2u, 4u}) // 1 is the Line before the first Curve
        EXPECT_EQ(textOf(found.at(i), "Center"), "1000.000000 2000.000000") << i;
    EXPECT_EQ(rotOf(found.at(1)), "(none)");
}

TEST(CurveRepairPassTest, CurvesFoundNoticeOnlyWhenAskedAndWithPlanFeatures) {
    const std::string oneCurve =
        planFeaturesXml(curveXml("radius=\"5.001\"", "1005 2000 0", "1004 2003 0", "1000 2005 0"));
    struct Case {
        std::string body;
        bool showNotice;
        Strings events;
    };
    const Case cases[] = {
        {oneCurve, true, {"inform \" curves gevonden \"", "curves 1", "adjusted 1", "mark"}},
        {oneCurve, false, {"curves 1", "adjusted 1", "mark"}},
        {"<PlanFeatures/>", true, {"inform \" curves gevonden \""}},
        {"<Surfaces/>", true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body + (c.showNotice ? " with notice" : ""));
        TempDir dir;
        tidy::Document document = tidy::Document::open(dir.write("n.xml", landXml(c.body)));
        Recorder r;
        r.run(document, c.showNotice);
        EXPECT_EQ(r.events, c.events);
    }
}

TEST(CurveRepairPassTest, CentreIsWrittenWithAPointUnderADecimalCommaLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "locale de_DE.UTF-8 missing";
    struct Restore {
        std::string locale;
        ~Restore() { std::setlocale(LC_ALL, locale.c_str()); }
    } restore{previous};
    char probe[16];
    std::snprintf(probe, sizeof probe, "%f", 0.5);
    ASSERT_EQ(std::string(probe), "0,500000");

    expectOutcome(repairOne("5.0", "1005.25 2000.5 0.125", "1004.25 2003.5 0", "1000.25 2005.5 0"),
                  {"cw", "1000.250000 2000.500000", 0, 0, 0});
    expectOutcome(repairOne("5.01", "1005.25 2000.5", "1004.25 2003.5", "1000.25 2005.5"),
                  {"cw", "1000.250000 2000.500000", 1, 1, 1});
}

} // namespace
