// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/RenameSurfaces.h"

#include "SurfaceXml.h"
#include "TestSupport.h"
#include "landxml/Error.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <vector>

using surfacetest::canonical;
using surfacetest::canonicalFile;
using surfacetest::landXml;
using surfacetest::numberedSurfaces;
using surfacetest::surfaceNames;
using Strings = std::vector<std::string>;

namespace {

// Stands in for the dialog and the list box: answers from a queue (Cancel once it is empty) and
// records what it was asked and what was listed.
struct FakeWindow {
    std::deque<tidy::NameAnswer> answers;
    Strings asked;
    Strings lines;

    Strings run(const std::string& path) {
        return tidy::RenameSurfaces(
            path,
            [this](const std::string& current) {
                asked.push_back(current);
                if (answers.empty())
                    return tidy::NameAnswer{false, "typed but cancelled"};
                tidy::NameAnswer a = answers.front();
                answers.pop_front();
                return a;
            },
            [this](const std::string& line) { lines.push_back(line); });
    }
};

TEST(RenameSurfacesTest, OkRenamesCancelKeepsAndEveryLineShowsTheFinalName) {
    tidytest::TempDir dir;
    const std::string surfaces =
        "<Surfaces>"
        "<Surface name=\"Ground\"><Definition surfType=\"TIN\"><Pnts><P id=\"1\">1 2 3</P></Pnts>"
        "<Faces><F>1 1 1</F></Faces></Definition></Surface>"
        "<Surface name=\"Design\" desc=\"kept\"/>"
        "<Surface name=\"Final\"/>"
        "</Surfaces>";
    const std::string path = dir.write("a.xml", landXml(surfaces));

    FakeWindow w;
    w.answers = {{true, "Existing ground"}, {false, "not this"}, {true, "Final"}};
    const Strings result = w.run(path);

    EXPECT_EQ(w.asked, (Strings{"Ground", "Design", "Final"}));
    EXPECT_EQ(w.lines, (Strings{" Existing ground.trm ", " Design.trm ", " Final.trm "}));
    EXPECT_EQ(result, (Strings{"Existing ground", "Design", "Final"}));
    std::string expected = surfaces;
    expected.replace(expected.find("\"Ground\""), 8, "\"Existing ground\"");
    EXPECT_EQ(canonicalFile(path), canonical(landXml(expected)));
}

TEST(RenameSurfacesTest, VisitsAtMostOneHundredSurfaces) {
    tidytest::TempDir dir;
    const std::string path =
        dir.write("many.xml", landXml("<Surfaces>" + numberedSurfaces(150) + "</Surfaces>"));

    FakeWindow w;
    for (int i = 1; i <= 150; ++i)
        w.answers.push_back({true, "R" + std::to_string(i)});
    w.run(path);

    ASSERT_EQ(w.asked.size(), 100u);
    EXPECT_EQ(w.asked.back(), "S100");
    ASSERT_EQ(w.lines.size(), 100u);
    EXPECT_EQ(w.lines.back(), " R100.trm ");
    const Strings names = surfaceNames(path);
    ASSERT_EQ(names.size(), 150u);
    EXPECT_EQ(names[99], "R100");
    EXPECT_EQ(names[100], "S101");
    EXPECT_EQ(names[149], "S150");
}

TEST(RenameSurfacesTest, WalkStartsAtFirstSurfaceAndTakesEveryFollowingElement) {
    tidytest::TempDir dir;
    const std::string surfaces = "<Surfaces>"
                                 "<SourceData name=\"before\"/>"
                                 "<Surface name=\"A\"/>"
                                 "<Boundary name=\"between\"/>"
                                 "<Surface name=\"B\"/>"
                                 "</Surfaces>";
    const std::string path = dir.write("a.xml", landXml(surfaces));

    FakeWindow w;
    w.answers = {{true, "A2"}, {true, "between2"}, {true, "B2"}};
    w.run(path);

    EXPECT_EQ(w.asked, (Strings{"A", "between", "B"}));
    EXPECT_EQ(surfaceNames(path), (Strings{"before", "A2", "between2", "B2"}));
}

TEST(RenameSurfacesTest, CommentAmongSurfacesIsSkippedButUsesUpAVisit) {
    tidytest::TempDir dir;
    const std::string path =
        dir.write("a.xml", landXml("<Surfaces><Surface name=\"S0\"/><!-- exported by hand -->" +
                                   numberedSurfaces(120) + "</Surfaces>"));

    FakeWindow w;
    w.run(path);

    // S0, the comment, then S1 to S98: one hundred visits, ninety-nine of them surfaces.
    ASSERT_EQ(w.asked.size(), 99u);
    EXPECT_EQ(w.asked.back(), "S98");
    EXPECT_EQ(w.lines.size(), 99u);
    EXPECT_NE(tidytest::readFile(path).find("<!-- exported by hand -->"), std::string::npos);
}

TEST(RenameSurfacesTest, ConfirmedTextIsStoredAndListedExactly) {
    struct Case {
        const char* typed;
        const char* line;
    };
    const Case cases[] = {
        {"", " .trm "},
        {"  padded  ", "   padded  .trm "},
        {"Zürich Ω-1", " Zürich Ω-1.trm "},
        {"a=b & <c> \"d\"", " a=b & <c> \"d\".trm "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        tidytest::TempDir dir;
        const std::string path =
            dir.write("a.xml", landXml("<Surfaces><Surface name=\"old\"/></Surfaces>"));
        FakeWindow w;
        w.answers = {{true, c.typed}};
        w.run(path);
        EXPECT_EQ(w.lines, Strings{c.line});
        EXPECT_EQ(surfaceNames(path), Strings{c.typed});
    }
}

TEST(RenameSurfacesTest, SurfaceWithoutNameIsOfferedAnEmptyNameAndGetsOne) {
    tidytest::TempDir dir;
    const std::string path =
        dir.write("a.xml", landXml("<Surfaces><Surface desc=\"unnamed\"/></Surfaces>"));

    FakeWindow w;
    w.run(path);

    EXPECT_EQ(w.asked, Strings{""});
    EXPECT_EQ(w.lines, Strings{" .trm "});
    EXPECT_EQ(canonicalFile(path),
              canonical(landXml("<Surfaces><Surface desc=\"unnamed\" name=\"\"/></Surfaces>")));
}

TEST(RenameSurfacesTest, LongNameIsStoredWholeButListedInAtMost255Units) {
    tidytest::TempDir dir;
    const std::string path =
        dir.write("a.xml", landXml("<Surfaces><Surface name=\"x\"/></Surfaces>"));
    const std::string longName(300, 'n');

    FakeWindow w;
    w.answers = {{true, longName}};
    w.run(path);

    ASSERT_EQ(w.lines.size(), 1u);
    EXPECT_EQ(w.lines[0], " " + std::string(254, 'n'));
    EXPECT_EQ(surfaceNames(path), Strings{longName});
}

TEST(RenameSurfacesTest, FileWithoutSurfacesIsRewrittenWithoutAsking) {
    // Single quotes and a blank before '>' do not survive a rewrite, so the bytes show whether
    // the file was written; the content must stay the same.
    const std::string bodies[] = {
        "<Units><Metric linearUnit='meter' /></Units>",
        "<Surfaces ><!-- none yet --></Surfaces>",
        "<Surfaces><Feature code='x' /></Surfaces>",
    };
    for (const std::string& body : bodies) {
        SCOPED_TRACE(body);
        tidytest::TempDir dir;
        const std::string original = landXml(body);
        const std::string path = dir.write("a.xml", original);
        FakeWindow w;
        EXPECT_TRUE(w.run(path).empty());
        EXPECT_TRUE(w.asked.empty());
        EXPECT_TRUE(w.lines.empty());
        EXPECT_NE(tidytest::readFile(path), original);
        EXPECT_EQ(canonicalFile(path), canonical(original));
    }
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

TEST(RenameSurfacesTest, UnreadableDocumentEndsTheRunAndLeavesTheFile) {
    const std::string contents[] = {
        "<?xml version=\"1.0\"?>\n<LandXML><Surfaces><Surface name=\"A\"></Surfaces>",
        "<?xml version=\"1.0\"?>\n<!-- no root element -->\n",
    };
    for (const std::string& content : contents) {
        SCOPED_TRACE(content);
        tidytest::TempDir dir;
        const std::string path = dir.write("bad.xml", content);
        FakeWindow w;
        EXPECT_THROW(w.run(path), tidy::Error);
        EXPECT_TRUE(w.asked.empty());
        EXPECT_EQ(tidytest::readFile(path), content);
    }
}

// ISO-8859-1 bytes of a file whose one surface is called "Müll".
std::string latin1File() {
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
           "<LandXML><Surfaces><Surface name=\"M\xFCll\"/></Surfaces></LandXML>\n";
}

TEST(RenameSurfacesTest, NonAsciiNameIsStoredInTheFilesOwnEncoding) {
    tidytest::TempDir dir;
    {
        const std::string path =
            dir.write("utf8.xml", landXml("<Surfaces><Surface name=\"A\"/></Surfaces>"));
        FakeWindow w;
        w.answers = {{true, "Straße Ø"}};
        w.run(path);
        EXPECT_EQ(surfaceNames(path), Strings{"Straße Ø"});
        EXPECT_NE(tidytest::readFile(path).find("name=\"Straße Ø\""), std::string::npos);
    }
    {
        const std::string path = dir.write("latin1.xml", latin1File());
        FakeWindow w;
        w.answers = {{true, "Müll Straße"}};
        w.run(path);
        EXPECT_EQ(w.asked, Strings{"Müll"});
        EXPECT_EQ(surfaceNames(path), Strings{"Müll Straße"});
        // One byte per letter, as the declaration promises.
        EXPECT_NE(tidytest::readFile(path).find("name=\"M\xFCll Stra\xDF"
                                                "e\""),
                  std::string::npos);
    }
}

TEST(RenameSurfacesTest, NameTheEncodingCannotHoldIsRefusedAndNothingIsWritten) {
    tidytest::TempDir dir;
    const std::string content = latin1File();
    const std::string path = dir.write("latin1.xml", content);

    FakeWindow w;
    w.answers = {{true, "Ωmega"}};
    try {
        w.run(path);
        FAIL() << "the name was accepted";
    } catch (const tidy::Error& e) {
        EXPECT_NE(std::string(e.what()).find("Ωmega"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("encoding"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(w.lines.empty());
    EXPECT_EQ(tidytest::readFile(path), content);
    EXPECT_EQ(dir.listing(), "latin1.xml");
}

} // namespace
