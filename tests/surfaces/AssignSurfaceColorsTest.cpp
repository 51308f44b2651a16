// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/AssignSurfaceColors.h"

#include "SurfaceXml.h"
#include "TestSupport.h"
#include "landxml/Error.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using surfacetest::canonical;
using surfacetest::canonicalFile;
using surfacetest::landXml;
using surfacetest::numberedSurfaces;
using surfacetest::surfacesFile;
using Strings = std::vector<std::string>;

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

// Stands in for the palette dialog and the list box. Answers are given in turn; once they run
// out the answer is what "Select" without a click gives: the preset, 0 for a negative one.
struct FakeWindow {
    std::vector<std::int32_t> answers;
    Questions asked;
    Strings lines;

    std::vector<tidy::SurfaceColor> run(const std::string& path) {
        return tidy::AssignSurfaceColors(
            path,
            [this](const std::string& name, std::int32_t preset) {
                asked.push_back({name, preset});
                if (asked.size() > answers.size())
                    return preset < 0 ? 0 : preset;
                return answers[asked.size() - 1];
            },
            [this](const std::string& line) { lines.push_back(line); });
    }
};

std::string surface(const std::string& name, const std::string& content = "") {
    return "<Surface name=\"" + name + "\">" + content + "</Surface>";
}

std::string feature(const std::string& code, const std::string& content) {
    return "<Feature code=\"" + code + "\">" + content + "</Feature>";
}

std::string colorProperty(const std::string& value) {
    return "<Property label=\"M_Color\" value=\"" + value + "\"/>";
}

// The colour record as this program creates it.
std::string record(const std::string& value) {
    return feature("Quillmarch", colorProperty(value));
}

TEST(AssignSurfaceColorsTest, ColourRecordsAreCreatedOrUpdatedAndListed) {
    const std::string layer = "<Property label=\"Layer\" value=\"C-TOPO\"/>";
    const std::string tin = "<Definition surfType=\"TIN\"><Faces><F>1 2 3</F></Faces></Definition>";
    const std::string longName(300, 'n');
    const std::string notColor =
        layer + "<Property value=\"3\"/><Property label=\"m_color\" value=\"3\"/>";
    struct Case {
        std::string what;
        std::string surfaces; // content of Surfaces; `after` empty: unchanged
        int runs;
        std::vector<std::int32_t> answers;
        Questions asked;
        Strings lines;
        std::string after;
    };
    std::vector<Case> cases = {
        {"no Feature: a new record after the other children",
         surface("EG", tin),
         1,
         {37},
         {{"EG", 0}},
         {" EG color 37 "},
         surface("EG", tin + record("37"))},
        {"second run: the stored index is offered and overwritten in place",
         surface("EG"),
         2,
         {12, 200},
         {{"EG", 0}, {"EG", 12}},
         {" EG color 12 ", " EG color 200 "},
         surface("EG", record("200"))},
        {"recognised code without M_Color: one with 0, unasked",
         surface("S", feature("Orvane attributes", notColor)),
         1,
         {},
         {},
         {" S color 0 "},
         surface("S", feature("Orvane attributes", notColor + colorProperty("0")))},
        {"recognised code without a Property: nothing added",
         surface("S", feature("Quillmarch", "<!-- empty --><Note label=\"M_Color\" value=\"4\"/>")),
         1,
         {},
         {},
         {" S color 0 "},
         ""},
        {"two M_Color properties: two questions, the second choice listed",
         surface("S", feature("Quillmarch", colorProperty("3") + "<!-- second one below -->" +
                                                layer + colorProperty("4"))),
         1,
         {10, 20},
         {{"S", 3}, {"S", 4}},
         {" S color 20 "},
         surface("S", feature("Quillmarch", colorProperty("10") + "<!-- second one below -->" +
                                                layer + colorProperty("20")))},
        {"M_Color without value is offered 0",
         surface("S", feature("Quillmarch", "<Property label=\"M_Color\"/>")),
         1,
         {44},
         {{"S", 0}},
         {" S color 44 "},
         surface("S", record("44"))},
        {"cancel stores -1 and the walk goes on",
         surface("A") + surface("B"),
         1,
         {-1, 5},
         {{"A", 0}, {"B", 0}},
         {" A color -1 ", " B color 5 "},
         surface("A", record("-1")) + surface("B", record("5"))},
        {"from the first Surface on, every element; a comment is passed over",
         "<Boundary name=\"before\"/><Surface name=\"A\"/><!-- note --><Other name=\"O\"/>"
         "<Surface/>",
         1,
         {1, 2, 3},
         {{"A", 0}, {"O", 0}, {"", 0}},
         {" A color 1 ", " O color 2 ", "  color 3 "},
         "<Boundary name=\"before\"/>" + surface("A", record("1")) +
             "<!-- note --><Other name=\"O\">" + record("2") + "</Other><Surface>" + record("3") +
             "</Surface>"},
        {"a long name is listed in at most 255 units",
         surface(longName),
         1,
         {},
         {{longName, 0}},
         {" " + std::string(254, 'n')},
         surface(longName, record("0"))},
        {"Surfaces without a Surface", "<Feature code='x'/>", 1, {}, {}, {}, ""},
    };
    // The other recognised code is updated alike; a stored index outside the palette is offered
    // as is.
    cases.push_back({"Orvane attributes",
                     surface("S", feature("Orvane attributes", layer + colorProperty("-4"))),
                     1,
                     {9},
                     {{"S", -4}},
                     {" S color 9 "},
                     surface("S", feature("Orvane attributes", layer + colorProperty("9")))});
    // Only the first Feature counts, and only with a code that matches exactly (case and blanks
    // count): a recognised code on a later Feature is not looked at.
    for (const char* code :
         {"Civil", "quillmarch", "Quillmarch ", "Orvane Attributes", " Orvane attributes", ""}) {
        const std::string first = *code ? feature(code, colorProperty("5"))
                                        : "<Feature>" + colorProperty("5") + "</Feature>";
        cases.push_back({"first Feature with code \"" + std::string(code) + "\"",
                         surface("S", first + record("7")),
                         1,
                         {},
                         {},
                         {" S color 0 "},
                         ""});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tidytest::TempDir dir;
        const std::string original = surfacesFile(c.surfaces);
        const std::string path = dir.write("a.xml", original);
        FakeWindow w;
        w.answers = c.answers;
        std::vector<tidy::SurfaceColor> visited;
        for (int run = 0; run < c.runs; ++run)
            visited = w.run(path);
        EXPECT_EQ(w.asked, c.asked);
        EXPECT_EQ(w.lines, c.lines);
        // What the call hands back is what the last run listed.
        ASSERT_LE(visited.size(), w.lines.size());
        for (std::size_t i = 0; i < visited.size(); ++i) {
            const std::string line =
                " " + visited[i].name + " color " + std::to_string(visited[i].color) + " ";
            EXPECT_EQ(line.substr(0, 255), w.lines[w.lines.size() - visited.size() + i]);
        }
        // The file is saved in every case, also when nothing was visited.
        EXPECT_NE(tidytest::readFile(path), original);
        EXPECT_EQ(canonicalFile(path),
                  canonical(c.after.empty() ? original : surfacesFile(c.after)));
    }
}

TEST(AssignSurfaceColorsTest, VisitsAtMostOneHundredNodes) {
    tidytest::TempDir dir;
    const std::string path = dir.write("many.xml", surfacesFile(numberedSurfaces(1, 150)));
    FakeWindow w;
    EXPECT_EQ(w.run(path).size(), 100u);
    ASSERT_EQ(w.asked.size(), 100u);
    EXPECT_EQ(w.asked.back().name, "S100");
    std::string expected;
    for (int i = 1; i <= 100; ++i)
        expected += surface("S" + std::to_string(i), record("0"));
    EXPECT_EQ(canonicalFile(path), canonical(surfacesFile(expected + numberedSurfaces(101, 150))));

    // A comment uses up a visit: S0, the comment and S1 to S98.
    FakeWindow w2;
    w2.run(dir.write("commented.xml",
                     surfacesFile("<Surface name=\"S0\"/><!-- c -->" + numberedSurfaces(1, 120))));
    ASSERT_EQ(w2.asked.size(), 99u);
    EXPECT_EQ(w2.asked.back().name, "S98");
}

// Which texts are whole numbers is the integer reader's own test; here, what the run does.
TEST(AssignSurfaceColorsTest, StoredIndexThatIsNotAWholeNumberEndsTheRunUnwritten) {
    tidytest::TempDir dir;
    const std::string content = surfacesFile(surface("First") + surface("Bad one", record("12.5")));
    const std::string path = dir.write("a.xml", content);
    FakeWindow w;
    try {
        w.run(path);
        ADD_FAILURE() << "no error";
    } catch (const tidy::Error& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("Bad one"), std::string::npos) << message;
        EXPECT_NE(message.find("\"12.5\""), std::string::npos) << message;
        EXPECT_NE(message.find("line 3"), std::string::npos) << message;
    }
    EXPECT_EQ(tidytest::readFile(path), content);
    EXPECT_EQ(dir.listing(), "a.xml");
}

TEST(AssignSurfaceColorsTest, MissingFileOrNoSurfacesIsNotWritten) {
    tidytest::TempDir dir;
    FakeWindow w;
    EXPECT_TRUE(w.run(dir.file("gone.xml")).empty());
    EXPECT_EQ(dir.listing(), "");
    const std::string content = landXml("<Units><Metric linearUnit='meter'/></Units>");
    const std::string path = dir.write("a.xml", content);
    EXPECT_TRUE(w.run(path).empty());
    EXPECT_EQ(tidytest::readFile(path), content);
    EXPECT_TRUE(w.asked.empty());
    EXPECT_TRUE(w.lines.empty());
}

} // namespace
