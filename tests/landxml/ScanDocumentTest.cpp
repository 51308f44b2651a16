// SPDX-License-Identifier: GPL-3.0-or-later
#include "landxml/ScanDocument.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using tidy::Document;
using tidytest::TempDir;

namespace {

// A surface with `faces` F elements.
std::string surface(const std::string& name, int faces) {
    std::string s =
        "<Surface name=\"" + name + "\"><Definition><Pnts><P id=\"1\">0 0 0</P></Pnts><Faces>";
    for (int i = 0; i < faces; ++i)
        s += "<F>1 1 1</F>";
    return s + "</Faces></Definition></Surface>";
}

std::string landxml(const std::string& inner) {
    return "<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\">" + inner + "</LandXML>";
}

// Everything the scan showed, in order.
struct Shown {
    std::vector<std::string> lines;
    std::vector<std::string> events;
    tidy::ScanCounts counts;
};

Shown scan(const std::string& xml, bool countTriangles) {
    TempDir dir;
    Document doc = Document::open(dir.write("s.xml", xml));
    Shown shown;
    shown.counts = tidy::ScanDocument(
        doc, countTriangles, [&](const std::string& l) { shown.lines.push_back(l); },
        [&](std::int32_t n) { shown.events.push_back("surfaces " + std::to_string(n)); },
        [&] { shown.events.push_back("begin"); },
        [&](std::int32_t n) { shown.events.push_back("triangles " + std::to_string(n)); });
    return shown;
}

} // namespace

TEST(ScanDocumentTest, ElevenSurfacesListTenAndCountAll) {
    std::string inner;
    for (int i = 1; i <= 11; ++i)
        inner += surface("S" + std::to_string(i), 100 * i);
    Shown s = scan(landxml("<Surfaces>" + inner + "</Surfaces>"), true);
    ASSERT_EQ(s.lines.size(), 10u);
    EXPECT_EQ(s.lines.front(), "S1");
    EXPECT_EQ(s.lines.back(), "S10");
    EXPECT_EQ(s.counts.surfaceCount, 11);
    EXPECT_EQ(s.counts.triangleCount, 6600);
    ASSERT_EQ(s.events.size(), 13u);
    EXPECT_EQ(s.events[0], "surfaces 11");
    EXPECT_EQ(s.events[1], "begin");
    EXPECT_EQ(s.events[2], "triangles 100");
    EXPECT_EQ(s.events[12], "triangles 6600");
}

TEST(ScanDocumentTest, CommentAmongSurfacesUsesAStepAndCounts) {
    std::string inner = "<!-- before -->" + surface("A", 2) + "<!-- between -->" + surface("", 3);
    for (int i = 0; i < 9; ++i)
        inner += surface("N" + std::to_string(i), 1);
    Shown s = scan(landxml("<Surfaces>" + inner + "</Surfaces>"), true);
    // Ten steps from the first Surface: A, the comment (no line), "", N0..N6.
    ASSERT_EQ(s.lines.size(), 9u);
    EXPECT_EQ(s.lines[0], "A");
    EXPECT_EQ(s.lines[1], "");
    EXPECT_EQ(s.lines[8], "N6");
    // Both comments are children of Surfaces; the counting walk runs out before its count.
    EXPECT_EQ(s.counts.surfaceCount, 13);
    EXPECT_EQ(s.counts.triangleCount, 2 + 3 + 9);
}

// A long name is cut to the list line.
TEST(ScanDocumentTest, CountingOffTouchesNoTriangleDisplay) {
    Shown s = scan(landxml("<Surfaces>" + surface(std::string(300, 'x'), 5) + surface("FG", 4) +
                           surface(std::string(255, 'y'), 1) + "</Surfaces>"),
                   false);
    EXPECT_EQ(s.lines,
              (std::vector<std::string>{std::string(255, 'x'), "FG", std::string(255, 'y')}));
    EXPECT_EQ(s.events, (std::vector<std::string>{"surfaces 3"}));
    EXPECT_EQ(s.counts.triangleCount, 0);
}

TEST(ScanDocumentTest, MissingOrEmptySurfaces) {
    Shown none =
        scan(landxml("<Other><Surfaces>" + surface("deep", 1) + "</Surfaces></Other>"), true);
    EXPECT_FALSE(none.counts.surfacesFound);
    EXPECT_TRUE(none.lines.empty());
    EXPECT_TRUE(none.events.empty()) << "Label8 stays as it was";

    Shown empty = scan(landxml("<Surfaces/>"), true);
    EXPECT_TRUE(empty.counts.surfacesFound);
    EXPECT_EQ(empty.counts.surfaceCount, 0);
    EXPECT_EQ(empty.events, (std::vector<std::string>{"surfaces 0", "begin"}));

    // A surface without Definition or Faces adds nothing.
    Shown bare = scan(landxml("<Surfaces><Surface name=\"a\"/><Surface "
                              "name=\"b\"><Definition/></Surface></Surfaces>"),
                      true);
    EXPECT_EQ(bare.counts.triangleCount, 0);
}

// Text before the first surface or face is a child like any other, as the counts have always
// shown it.
TEST(ScanDocumentTest, TextAmongSurfacesAndFacesCounts) {
    Shown shown = scan(landxml("<Surfaces>note<Surface name=\"a\"><Definition><Faces>x<F/><F/>"
                               "</Faces></Definition></Surface></Surfaces>"),
                       true);
    EXPECT_EQ(shown.counts.surfaceCount, 2);
    EXPECT_EQ(shown.counts.triangleCount, 3);
    EXPECT_EQ(shown.lines, std::vector<std::string>{"a"});
}
