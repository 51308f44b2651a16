// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/RenameSurfaces.h"

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
using tidy::NameAnswer;
using Strings = std::vector<std::string>;

namespace {

// Stands in for the dialog and the list box: gives the answers in turn (Cancel once they run
// out) and records what it was asked and what was listed.
struct FakeWindow {
    std::vector<NameAnswer> answers;
    Strings asked;
    Strings lines;

    Strings run(const std::string& path) {
        return tidy::RenameSurfaces(
            path,
            [this](const std::string& current) {
                asked.push_back(current);
                return asked.size() <= answers.size() ? answers[asked.size() - 1]
                                                      : NameAnswer{false, "typed but cancelled"};
            },
            [this](const std::string& line) { lines.push_back(line); });
    }
};

std::string inSurfaces(const std::string& surfaces) {
    return "<Surfaces>" + surfaces + "</Surfaces>";
}

TEST(RenameSurfacesTest, WritesTheFinalNameOfEveryVisitedSurfaceAndListsIt) {
    const std::string ground = "<Definition surfType=\"TIN\"><Faces/></Definition></Surface>";
    const std::string longName(300, 'n');
    struct Case {
        const char* what;
        std::string body; // the root's content; `after` empty: the same content afterwards
        std::vector<NameAnswer> answers;
        Strings asked;
        Strings lines;
        std::string after;
    };
    const Case cases[] = {
        {"OK with a new name, Cancel, OK unchanged",
         inSurfaces("<Surface name=\"Ground\">" + ground +
                    "<Surface name=\"Design\" desc=\"kept\"/><Surface name=\"Final\"/>"),
         {{true, "Existing ground"}, {false, "not this"}, {true, "Final"}},
         {"Ground", "Design", "Final"},
         {" Existing ground.trm ", " Design.trm ", " Final.trm "},
         inSurfaces("<Surface name=\"Existing ground\">" + ground +
                    "<Surface name=\"Design\" desc=\"kept\"/><Surface name=\"Final\"/>")},
        {"from the first Surface on, every element; a comment is passed over",
         inSurfaces("<SourceData name=\"before\"/><Surface name=\"A\"/><!-- by hand -->"
                    "<Boundary name=\"between\"/><Surface name=\"B\"/>"),
         {{true, "A2"}, {true, "between2"}, {true, "B2"}},
         {"A", "between", "B"},
         {" A2.trm ", " between2.trm ", " B2.trm "},
         inSurfaces("<SourceData name=\"before\"/><Surface name=\"A2\"/><!-- by hand -->"
                    "<Boundary name=\"between2\"/><Surface name=\"B2\"/>")},
        {"typed text is stored whole and listed as typed, cut at 255 units",
         inSurfaces(numberedSurfaces(1, 5, "old")),
         {{true, ""},
          {true, "  padded  "},
          {true, "Zürich Ω-1"},
          {true, "a=b & <c> \"d\""},
          {true, longName}},
         {"old1", "old2", "old3", "old4", "old5"},
         {" .trm ", "   padded  .trm ", " Zürich Ω-1.trm ", " a=b & <c> \"d\".trm ",
          " " + std::string(254, 'n')},
         inSurfaces(
             "<Surface name=\"\"/><Surface name=\"  padded  \"/>"
             "<Surface name=\"Zürich Ω-1\"/><Surface name=\"a=b &amp; &lt;c&gt; &quot;d&quot;\"/>"
             "<Surface name=\"" +
             longName + "\"/>")},
        {"a surface without a name is offered the empty one",
         inSurfaces("<Surface desc=\"unnamed\"/>"),
         {},
         {""},
         {" .trm "},
         inSurfaces("<Surface desc=\"unnamed\" name=\"\"/>")},
        {"no Surfaces", "<Units><Metric linearUnit='meter' /></Units>", {}, {}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tidytest::TempDir dir;
        const std::string original = landXml(c.body);
        const std::string path = dir.write("a.xml", original);
        FakeWindow w;
        w.answers = c.answers;
        const Strings result = w.run(path);
        EXPECT_EQ(w.asked, c.asked);
        EXPECT_EQ(w.lines, c.lines);
        Strings finalNames;
        for (std::size_t i = 0; i < c.asked.size(); ++i)
            finalNames.push_back(i < c.answers.size() && c.answers[i].ok ? c.answers[i].text
                                                                         : c.asked[i]);
        EXPECT_EQ(result, finalNames);
        // The file is saved in every case, also when nothing was visited.
        EXPECT_NE(tidytest::readFile(path), original);
        EXPECT_EQ(canonicalFile(path), canonical(c.after.empty() ? original : landXml(c.after)));
    }
}

TEST(RenameSurfacesTest, VisitsAtMostOneHundredNodes) {
    tidytest::TempDir dir;
    const std::string path = dir.write("many.xml", surfacesFile(numberedSurfaces(1, 150)));
    FakeWindow w;
    for (int i = 1; i <= 150; ++i)
        w.answers.push_back({true, "R" + std::to_string(i)});
    w.run(path);
    ASSERT_EQ(w.asked.size(), 100u);
    EXPECT_EQ(w.asked.back(), "S100");
    EXPECT_EQ(canonicalFile(path),
              canonical(surfacesFile(numberedSurfaces(1, 100, "R") + numberedSurfaces(101, 150))));

    // A comment uses up a visit: S0, the comment and S1 to S98.
    FakeWindow w2;
    w2.run(dir.write("commented.xml",
                     surfacesFile("<Surface name=\"S0\"/><!-- c -->" + numberedSurfaces(1, 120))));
    ASSERT_EQ(w2.asked.size(), 99u);
    EXPECT_EQ(w2.asked.back(), "S98");
}

TEST(RenameSurfacesTest, MissingFileDoesNothing) {
    tidytest::TempDir dir;
    FakeWindow w;
    EXPECT_TRUE(w.run(dir.file("gone.xml")).empty());
    EXPECT_TRUE(w.run(dir.path().string()).empty()); // a folder is not a file
    EXPECT_TRUE(w.asked.empty());
    EXPECT_TRUE(w.lines.empty());
    EXPECT_EQ(dir.listing(), "");
}

TEST(RenameSurfacesTest, NameIsStoredInTheFilesOwnEncodingOrRefused) {
    // ISO-8859-1 bytes of a file whose one surface is called "Müll".
    const std::string latin1 =
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
        "<LandXML><Surfaces><Surface name=\"M\xFCll\"/></Surfaces></LandXML>\n";
    tidytest::TempDir dir;
    const std::string path = dir.write("latin1.xml", latin1);
    FakeWindow w;
    w.answers = {{true, "Müll Straße"}};
    w.run(path);
    EXPECT_EQ(w.asked, Strings{"Müll"});
    // The new name, one byte per letter, as the declaration promises.
    EXPECT_NE(tidytest::readFile(path).find("name=\"M\xFCll Stra\xDF"
                                            "e\""),
              std::string::npos);

    // A name XML cannot hold (U+FFFE): refused before anything is written. One the encoding
    // cannot hold is written as a reference.
    const std::string refused = dir.write("refused.xml", latin1);
    FakeWindow w2;
    w2.answers = {{true, "\xEF\xBF\xBEmega"}};
    try {
        w2.run(refused);
        ADD_FAILURE() << "the name was accepted";
    } catch (const tidy::Error& e) {
        EXPECT_NE(std::string(e.what()).find("\xEF\xBF\xBEmega"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("XML does not allow"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(w2.lines.empty());
    EXPECT_EQ(tidytest::readFile(refused), latin1);
    EXPECT_EQ(dir.listing(), "latin1.xml refused.xml");
}

} // namespace
