// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/AssignSurfaceColors.h"

#include "SurfaceXml.h"
#include "TestSupport.h"
#include "landxml/Error.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

using surfacetest::canonical;
using surfacetest::canonicalFile;
using surfacetest::landXml;
using surfacetest::numberedSurfaces;
using tidy::SurfaceColor;
using Strings = std::vector<std::string>;

namespace tidy {
void PrintTo(const SurfaceColor& s, std::ostream* os) {
    *os << '{' << s.name << ", " << s.color << '}';
}
} // namespace tidy

namespace {

struct Question {
    std::string name;
    std::int32_t preset;
    friend bool operator==(const Question&, const Question&) = default;
};

void PrintTo(const Question& q, std::ostream* os) {
    *os << '(' << q.name << ", " << q.preset << ')';
}

using Questions = std::vector<Question>;

// Stands in for the palette dialog and the list box. Answers come from a queue; once it is
// empty the answer is what "Select" without a click gives: the preset, 0 for a negative one.
struct FakeWindow {
    std::deque<std::int32_t> answers;
    Questions asked;
    Strings lines;

    std::vector<SurfaceColor> run(const std::string& path) {
        return tidy::AssignSurfaceColors(
            path,
            [this](const std::string& name, std::int32_t preset) {
                asked.push_back({name, preset});
                if (answers.empty())
                    return preset < 0 ? 0 : preset;
                const std::int32_t a = answers.front();
                answers.pop_front();
                return a;
            },
            [this](const std::string& line) { lines.push_back(line); });
    }
};

std::string surfacesFile(const std::string& surfaces) {
    return landXml("<Surfaces>" + surfaces + "</Surfaces>");
}

TEST(AssignSurfaceColorsTest, SurfaceWithoutFeatureGetsANewColourRecordAtTheEnd) {
    tidytest::TempDir dir;
    const std::string path =
        dir.write("a.xml", surfacesFile("<Surface name=\"EG\"><Definition surfType=\"TIN\">"
                                        "<Faces><F>1 2 3</F></Faces></Definition></Surface>"));

    FakeWindow w;
    w.answers = {37};
    const auto visited = w.run(path);

    EXPECT_EQ(w.asked, (Questions{{"EG", 0}}));
    EXPECT_EQ(w.lines, Strings{" EG color 37 "});
    EXPECT_EQ(visited, (std::vector<SurfaceColor>{{"EG", 37}}));
    EXPECT_EQ(canonicalFile(path),
              canonical(surfacesFile("<Surface name=\"EG\"><Definition surfType=\"TIN\">"
                                     "<Faces><F>1 2 3</F></Faces></Definition>"
                                     "<Feature code=\"Quillmarch\">"
                                     "<Property label=\"M_Color\" value=\"37\"/>"
                                     "</Feature></Surface>")));
    // "label" before "value", as the record has always been written.
    EXPECT_NE(tidytest::readFile(path).find("<Property label=\"M_Color\" value=\"37\""),
              std::string::npos);
}

TEST(AssignSurfaceColorsTest, SecondRunOffersTheStoredIndexAndOverwritesItInPlace) {
    tidytest::TempDir dir;
    const std::string path = dir.write("a.xml", surfacesFile("<Surface name=\"EG\"/>"));

    FakeWindow first;
    first.answers = {12};
    first.run(path);
    FakeWindow second;
    second.answers = {200};
    second.run(path);

    EXPECT_EQ(second.asked, (Questions{{"EG", 12}}));
    EXPECT_EQ(second.lines, Strings{" EG color 200 "});
    EXPECT_EQ(canonicalFile(path),
              canonical(surfacesFile("<Surface name=\"EG\"><Feature code=\"Quillmarch\">"
                                     "<Property label=\"M_Color\" value=\"200\"/>"
                                     "</Feature></Surface>")));
}

TEST(AssignSurfaceColorsTest, RecognisedCodesAreUpdatedAlike) {
    for (const char* code : {"Quillmarch", "Orvane attributes"}) {
        SCOPED_TRACE(code);
        tidytest::TempDir dir;
        const auto surface = [&](const char* value) {
            return "<Surface name=\"S\"><Feature code=\"" + std::string(code) +
                   "\"><Property label=\"Layer\" value=\"C-TOPO\"/>"
                   "<Property label=\"M_Color\" value=\"" +
                   value + "\"/></Feature></Surface>";
        };
        const std::string path = dir.write("a.xml", surfacesFile(surface("-4")));
        FakeWindow w;
        w.answers = {9};
        w.run(path);
        EXPECT_EQ(w.asked, (Questions{{"S", -4}}));
        EXPECT_EQ(w.lines, Strings{" S color 9 "});
        EXPECT_EQ(canonicalFile(path), canonical(surfacesFile(surface("9"))));
    }
}

TEST(AssignSurfaceColorsTest, OnlyTheFirstFeatureWithAnExactCodeCounts) {
    // Letter case and blanks matter; a recognised code on a later Feature is not looked at.
    const std::string firstFeatures[] = {
        "<Feature code=\"Civil\"><Property label=\"M_Color\" value=\"5\"/></Feature>",
        "<Feature code=\"quillmarch\"><Property label=\"M_Color\" value=\"5\"/></Feature>",
        "<Feature code=\"Quillmarch \"><Property label=\"M_Color\" value=\"5\"/></Feature>",
        "<Feature code=\"Orvane Attributes\"><Property label=\"M_Color\" value=\"5\"/></Feature>",
        "<Feature code=\" Orvane attributes\"><Property label=\"M_Color\" value=\"5\"/></Feature>",
        "<Feature><Property label=\"M_Color\" value=\"5\"/></Feature>",
    };
    for (const std::string& feature : firstFeatures) {
        SCOPED_TRACE(feature);
        tidytest::TempDir dir;
        const std::string original = surfacesFile(
            "<Surface name=\"S\">" + feature +
            "<Feature code=\"Quillmarch\"><Property label=\"M_Color\" value=\"7\"/></Feature>"
            "</Surface>");
        const std::string path = dir.write("a.xml", original);
        FakeWindow w;
        w.run(path);
        EXPECT_TRUE(w.asked.empty());
        EXPECT_EQ(w.lines, Strings{" S color 0 "});
        EXPECT_EQ(canonicalFile(path), canonical(original));
    }
}

TEST(AssignSurfaceColorsTest, RecognisedFeatureWithoutColourPropertyGainsOneUnasked) {
    tidytest::TempDir dir;
    const std::string path =
        dir.write("a.xml", surfacesFile("<Surface name=\"S\"><Feature code=\"Orvane attributes\">"
                                        "<Property label=\"Layer\" value=\"C-TOPO\"/>"
                                        "<Property value=\"3\"/>"
                                        "<Property label=\"m_color\" value=\"3\"/>"
                                        "</Feature></Surface>"));
    FakeWindow w;
    w.run(path);
    EXPECT_TRUE(w.asked.empty());
    EXPECT_EQ(w.lines, Strings{" S color 0 "});
    EXPECT_EQ(canonicalFile(path),
              canonical(surfacesFile("<Surface name=\"S\"><Feature code=\"Orvane attributes\">"
                                     "<Property label=\"Layer\" value=\"C-TOPO\"/>"
                                     "<Property value=\"3\"/>"
                                     "<Property label=\"m_color\" value=\"3\"/>"
                                     "<Property label=\"M_Color\" value=\"0\"/>"
                                     "</Feature></Surface>")));
}

TEST(AssignSurfaceColorsTest, RecognisedFeatureWithoutPropertiesIsLeftAlone) {
    const std::string features[] = {
        "<Feature code=\"Orvane attributes\"/>",
        "<Feature code=\"Quillmarch\"><!-- empty --><Note label=\"M_Color\" "
        "value=\"4\"/></Feature>",
    };
    for (const std::string& feature : features) {
        SCOPED_TRACE(feature);
        tidytest::TempDir dir;
        const std::string original = surfacesFile("<Surface name=\"S\">" + feature + "</Surface>");
        const std::string path = dir.write("a.xml", original);
        FakeWindow w;
        w.run(path);
        EXPECT_TRUE(w.asked.empty());
        EXPECT_EQ(w.lines, Strings{" S color 0 "});
        EXPECT_EQ(canonicalFile(path), canonical(original));
    }
}

TEST(AssignSurfaceColorsTest, EveryColourPropertyIsAskedForAndTheLastChoiceIsListed) {
    tidytest::TempDir dir;
    const auto surface = [](const char* first, const char* second) {
        return "<Surface name=\"S\"><Feature code=\"Quillmarch\">"
               "<Property label=\"M_Color\" value=\"" +
               std::string(first) +
               "\"/><!-- second one below --><Property label=\"Layer\" value=\"x\"/>"
               "<Property label=\"M_Color\" value=\"" +
               second + "\"/></Feature></Surface>";
    };
    const std::string path = dir.write("a.xml", surfacesFile(surface("3", "4")));
    FakeWindow w;
    w.answers = {10, 20};
    const auto visited = w.run(path);
    EXPECT_EQ(w.asked, (Questions{{"S", 3}, {"S", 4}}));
    EXPECT_EQ(w.lines, Strings{" S color 20 "});
    EXPECT_EQ(visited, (std::vector<SurfaceColor>{{"S", 20}}));
    EXPECT_EQ(canonicalFile(path), canonical(surfacesFile(surface("10", "20"))));
}

TEST(AssignSurfaceColorsTest, CancelStoresMinusOneAndTheWalkGoesOn) {
    tidytest::TempDir dir;
    const std::string path =
        dir.write("a.xml", surfacesFile("<Surface name=\"A\"/><Surface name=\"B\"/>"));
    FakeWindow w;
    w.answers = {-1, 5};
    w.run(path);
    EXPECT_EQ(w.lines, (Strings{" A color -1 ", " B color 5 "}));
    const auto record = [](const char* value) {
        return "<Feature code=\"Quillmarch\"><Property label=\"M_Color\" value=\"" +
               std::string(value) + "\"/></Feature>";
    };
    EXPECT_EQ(canonicalFile(path), canonical(surfacesFile("<Surface name=\"A\">" + record("-1") +
                                                          "</Surface><Surface name=\"B\">" +
                                                          record("5") + "</Surface>")));
}

TEST(AssignSurfaceColorsTest, VisitsAtMostOneHundredSurfaces) {
    tidytest::TempDir dir;
    const std::string path = dir.write("many.xml", surfacesFile(numberedSurfaces(150)));
    FakeWindow w;
    const auto visited = w.run(path);
    ASSERT_EQ(w.asked.size(), 100u);
    EXPECT_EQ(w.asked.back().name, "S100");
    EXPECT_EQ(w.lines.size(), 100u);
    EXPECT_EQ(visited.size(), 100u);
    const std::string saved = canonicalFile(path);
    EXPECT_NE(saved.find(canonical("<Surface name=\"S100\"><Feature code=\"Quillmarch\">"
                                   "<Property label=\"M_Color\" value=\"0\"/></Feature>"
                                   "</Surface>")),
              std::string::npos);
    EXPECT_NE(saved.find(canonical("<Surface name=\"S101\"/>")), std::string::npos);
    EXPECT_NE(saved.find(canonical("<Surface name=\"S150\"/>")), std::string::npos);
}

TEST(AssignSurfaceColorsTest, WalkSkipsCommentsButCountsThemAndTakesOtherElements) {
    tidytest::TempDir dir;
    const std::string path = dir.write(
        "a.xml", surfacesFile("<Boundary name=\"before\"/><Surface name=\"A\"/><!-- note -->"
                              "<Other name=\"O\"/><Surface/>"));
    FakeWindow w;
    w.answers = {1, 2, 3};
    w.run(path);
    EXPECT_EQ(w.asked, (Questions{{"A", 0}, {"O", 0}, {"", 0}}));
    EXPECT_EQ(w.lines, (Strings{" A color 1 ", " O color 2 ", "  color 3 "}));
    const std::string saved = canonicalFile(path);
    EXPECT_NE(saved.find(canonical("<Boundary name=\"before\"/>")), std::string::npos);
    EXPECT_NE(saved.find("<!-- note -->"), std::string::npos);

    // With the comment using up a visit, 100 visits reach only 99 surfaces.
    const std::string many = dir.write(
        "many.xml", surfacesFile("<Surface name=\"S0\"/><!-- c -->" + numberedSurfaces(120)));
    FakeWindow w2;
    w2.run(many);
    ASSERT_EQ(w2.asked.size(), 99u);
    EXPECT_EQ(w2.asked.back().name, "S98");
}

TEST(AssignSurfaceColorsTest, ColourPropertyWithoutValueIsOfferedIndexZero) {
    tidytest::TempDir dir;
    const std::string path =
        dir.write("a.xml", surfacesFile("<Surface name=\"S\"><Feature code=\"Quillmarch\">"
                                        "<Property label=\"M_Color\"/></Feature></Surface>"));
    FakeWindow w;
    w.answers = {44};
    w.run(path);
    EXPECT_EQ(w.asked, (Questions{{"S", 0}}));
    EXPECT_EQ(canonicalFile(path),
              canonical(surfacesFile("<Surface name=\"S\"><Feature code=\"Quillmarch\">"
                                     "<Property label=\"M_Color\" value=\"44\"/>"
                                     "</Feature></Surface>")));
}

TEST(AssignSurfaceColorsTest, StoredIndexThatIsNotAWholeNumberEndsTheRunUnwritten) {
    for (const char* value : {"abc", "12.5", "", " 7", "7 ", "0x10", "99999999999"}) {
        SCOPED_TRACE(value);
        tidytest::TempDir dir;
        const std::string content =
            surfacesFile("<Surface name=\"First\"/>"
                         "<Surface name=\"Bad one\"><Feature code=\"Quillmarch\">"
                         "<Property label=\"M_Color\" value=\"" +
                         std::string(value) + "\"/></Feature></Surface>");
        const std::string path = dir.write("a.xml", content);
        FakeWindow w;
        try {
            w.run(path);
            FAIL() << "no error";
        } catch (const tidy::Error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("Bad one"), std::string::npos) << message;
            EXPECT_NE(message.find("\"" + std::string(value) + "\""), std::string::npos) << message;
            EXPECT_NE(message.find("line 3"), std::string::npos) << message;
        }
        EXPECT_EQ(tidytest::readFile(path), content);
        EXPECT_EQ(dir.listing(), "a.xml");
    }
}

TEST(AssignSurfaceColorsTest, NoSurfacesLeavesTheFileUnwrittenButAnEmptyOneIsRewritten) {
    tidytest::TempDir dir;
    // Single quotes do not survive a rewrite, so the bytes show whether the file was written.
    const std::string without = landXml("<Units><Metric linearUnit='meter'/></Units>");
    const std::string withoutPath = dir.write("without.xml", without);
    const std::string empty = landXml("<Surfaces><Feature code='x'/></Surfaces>");
    const std::string emptyPath = dir.write("empty.xml", empty);

    FakeWindow w;
    EXPECT_TRUE(w.run(withoutPath).empty());
    EXPECT_EQ(tidytest::readFile(withoutPath), without);
    EXPECT_TRUE(w.run(emptyPath).empty());
    EXPECT_NE(tidytest::readFile(emptyPath), empty);
    EXPECT_EQ(canonicalFile(emptyPath), canonical(empty));
    EXPECT_TRUE(w.asked.empty());
    EXPECT_TRUE(w.lines.empty());
}

TEST(AssignSurfaceColorsTest, MissingFileDoesNothing) {
    tidytest::TempDir dir;
    FakeWindow w;
    EXPECT_TRUE(w.run(dir.file("gone.xml")).empty());
    EXPECT_TRUE(w.asked.empty());
    EXPECT_TRUE(w.lines.empty());
    EXPECT_EQ(dir.listing(), "");
}

TEST(AssignSurfaceColorsTest, LongNameIsListedInAtMost255Units) {
    tidytest::TempDir dir;
    const std::string name(300, 'n');
    const std::string path = dir.write("a.xml", surfacesFile("<Surface name=\"" + name + "\"/>"));
    FakeWindow w;
    const auto visited = w.run(path);
    EXPECT_EQ(w.lines, Strings{" " + std::string(254, 'n')});
    ASSERT_EQ(visited.size(), 1u);
    EXPECT_EQ(visited[0].name, name);
}

} // namespace
