// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/TriangleRemovalPass.h"

#include "TestSupport.h"
#include "landxml/Error.h"
#include "landxml/Nodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using tidytest::TempDir;

// Everything the pass tells the window, in the order it tells it.
struct Recorder {
    std::vector<std::string> lines;
    std::vector<std::int32_t> surfaceCounts;
    std::vector<std::int32_t> removedCounts;
    std::vector<std::int32_t> progress;

    void run(tidy::Document& document, bool trmSuffix = true) {
        tidy::TriangleRemovalPass(
            document, trmSuffix, [this](const std::string& line) { lines.push_back(line); },
            [this](std::int32_t n) { surfaceCounts.push_back(n); },
            [this](std::int32_t n) { removedCounts.push_back(n); },
            [this](std::int32_t p) { progress.push_back(p); });
    }
};

std::string landXml(std::string_view body) {
    return "<?xml version=\"1.0\"?>\n<LandXML xmlns=\"http://www.landxml.org/schema/LandXML-1.2\">"
           "<Project name=\"p\"/>" +
           std::string(body) + "</LandXML>\n";
}

std::string surfaceXml(std::string_view name, std::string_view faces) {
    return "<Surface name=\"" + std::string(name) +
           "\"><Definition surfType=\"TIN\"><Pnts><P id=\"1\">0 0 0</P></Pnts><Faces>" +
           std::string(faces) + "</Faces></Definition></Surface>";
}

std::string surfacesXml(std::string_view surfaces) {
    return landXml("<Surfaces>" + std::string(surfaces) + "</Surfaces>");
}

pugi::xml_node facesOf(const tidy::Document& document, int surfaceIndex) {
    pugi::xml_node surface = tidy::findNode(tidy::findNode(document.root(), "Surfaces"), "Surface");
    for (int i = 0; i < surfaceIndex; ++i)
        surface = surface.next_sibling("Surface");
    return tidy::findNode(tidy::findNode(surface, "Definition"), "Faces");
}

// The children of a Faces element: a face by its text, a comment as "#" and its text.
std::vector<std::string> children(pugi::xml_node faces) {
    std::vector<std::string> out;
    for (pugi::xml_node child = faces.first_child(); child; child = child.next_sibling())
        out.push_back(child.type() == pugi::node_comment ? "#" + std::string(child.value())
                                                         : std::string(tidy::nodeText(child)));
    return out;
}

using Strings = std::vector<std::string>;
using Ints = std::vector<std::int32_t>;

TEST(TriangleRemovalPassTest, FourFacesLoseTheOutsideOnesInOrder) {
    TempDir dir;
    tidy::Document document = tidy::Document::open(dir.write(
        "a.xml", surfacesXml(surfaceXml("EG", "<F i=\"1\">1 2 3</F><F>2 3 4</F>"
                                              "<F i=\"0\">3 4 5</F><F i=\"1\">4 5 6</F>"))));
    Recorder r;
    r.run(document);
    EXPECT_EQ(children(facesOf(document, 0)), (Strings{"2 3 4", "3 4 5"}));
    EXPECT_EQ(r.lines, Strings{"EG.trm"});
    EXPECT_EQ(r.surfaceCounts, Ints{1});
    EXPECT_EQ(r.removedCounts, (Ints{1, 2}));
    EXPECT_EQ(r.progress, (Ints{0, 0, 1, 2, 3}));
}

TEST(TriangleRemovalPassTest, ConsecutiveAndAllOutsideFacesAreRemoved) {
    TempDir dir;
    tidy::Document document = tidy::Document::open(dir.write(
        "a.xml",
        surfacesXml(surfaceXml("A", "<F>1 2 3</F><F i=\"1\">a</F><F i=\"1\">b</F><F i=\"1\">c</F>"
                                    "<F>4 5 6</F>") +
                    surfaceXml("B", "<F i=\"1\">d</F><F i=\"1\">e</F>"))));
    Recorder r;
    r.run(document);
    EXPECT_EQ(children(facesOf(document, 0)), (Strings{"1 2 3", "4 5 6"}));
    // B keeps its Faces element, now empty.
    ASSERT_TRUE(facesOf(document, 1));
    EXPECT_EQ(children(facesOf(document, 1)), Strings{});
    EXPECT_EQ(r.removedCounts, (Ints{1, 2, 3, 4, 5}));
    EXPECT_EQ(r.progress, (Ints{0, 0, 1, 2, 3, 4, 0, 1}));
    EXPECT_EQ(r.lines, (Strings{"A.trm", "B.trm"}));
    EXPECT_EQ(r.surfaceCounts, Ints{2});
}

TEST(TriangleRemovalPassTest, CommentFirstInFacesCountsButIsNotWalked) {
    TempDir dir;
    tidy::Document document = tidy::Document::open(
        dir.write("a.xml", surfacesXml(surfaceXml("A", "<!-- faces --><F i=\"1\">a</F><F>b</F>") +
                                       surfaceXml("B", "<F i=\"1\">c</F><F>d</F>"))));
    Recorder r;
    r.run(document);
    EXPECT_EQ(children(facesOf(document, 0)), (Strings{"# faces ", "b"}));
    EXPECT_EQ(children(facesOf(document, 1)), Strings{"d"});
    // Three steps are allowed in A, but its walk starts at the first F and runs out after two.
    EXPECT_EQ(r.progress, (Ints{0, 0, 1, 0, 1}));
    EXPECT_EQ(r.removedCounts, (Ints{1, 2}));
}

TEST(TriangleRemovalPassTest, TwelveSurfacesListTenAndCleanAll) {
    std::string surfaces;
    for (int i = 1; i <= 12; ++i)
        surfaces += surfaceXml("S" + std::to_string(i), "<F>keep</F><F i=\"1\">drop</F>");
    TempDir dir;
    tidy::Document document = tidy::Document::open(dir.write("a.xml", surfacesXml(surfaces)));
    Recorder r;
    r.run(document, false);
    EXPECT_EQ(r.lines, (Strings{"S1", "S2", "S3", "S4", "S5", "S6", "S7", "S8", "S9", "S10"}));
    EXPECT_EQ(r.surfaceCounts, Ints{12});
    EXPECT_EQ(r.removedCounts.size(), 12u);
    EXPECT_EQ(r.removedCounts.back(), 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(children(facesOf(document, i)), Strings{"keep"}) << "surface " << i + 1;
}

TEST(TriangleRemovalPassTest, OtherNodesAmongSurfacesUseUpSteps) {
    std::string surfaces =
        surfaceXml("S1", "<F i=\"1\">x</F>") + "<!-- note -->" + "<Surface name=\"bare\"/><Other/>";
    for (int i = 2; i <= 9; ++i)
        surfaces += surfaceXml("S" + std::to_string(i), "<F i=\"1\">x</F>");
    TempDir dir;
    tidy::Document document = tidy::Document::open(dir.write("a.xml", surfacesXml(surfaces)));
    Recorder r;
    r.run(document);
    // The comment uses up one of the ten steps without a line; the element without a name
    // lists as an empty name, as the scan lists it.
    EXPECT_EQ(r.lines, (Strings{"S1.trm", "bare.trm", ".trm", "S2.trm", "S3.trm", "S4.trm",
                                "S5.trm", "S6.trm", "S7.trm"}));
    EXPECT_EQ(r.surfaceCounts, Ints{12});
    // Nodes without Definition or Faces are passed over; every surface after them is cleaned.
    EXPECT_EQ(r.removedCounts.size(), 9u);
    EXPECT_EQ(children(facesOf(document, 9)), Strings{});
}

TEST(TriangleRemovalPassTest, SuffixOnlyForEditAndSave) {
    for (const bool trmSuffix : {true, false}) {
        TempDir dir;
        tidy::Document document =
            tidy::Document::open(dir.write("a.xml", surfacesXml(surfaceXml("EG", "<F>1 2 3</F>"))));
        Recorder r;
        r.run(document, trmSuffix);
        EXPECT_EQ(r.lines, Strings{trmSuffix ? "EG.trm" : "EG"});
    }
}

TEST(TriangleRemovalPassTest, LongNamesAreCutToTheListLine) {
    TempDir dir;
    tidy::Document document = tidy::Document::open(
        dir.write("a.xml", surfacesXml(surfaceXml(std::string(300, 'a'), "<F>1 2 3</F>"))));
    Recorder r;
    r.run(document);
    EXPECT_EQ(r.lines, Strings{std::string(255, 'a')});
}

TEST(TriangleRemovalPassTest, RunWithoutOutsideFacesChangesNothing) {
    const std::string text =
        surfacesXml(surfaceXml("EG", "<F i=\"0\" n=\"2  0 0\">1 2 3</F><F n=\"1 0 0\">2 3 4</F>"));
    TempDir dir;
    tidy::Document document = tidy::Document::open(dir.write("a.xml", text));
    Recorder r;
    r.run(document);
    EXPECT_TRUE(r.removedCounts.empty());
    EXPECT_EQ(r.progress, (Ints{0, 0, 1}));
    const pugi::xml_node faces = facesOf(document, 0);
    EXPECT_EQ(tidy::attributeText(faces.first_child(), "n"), "2  0 0");
    EXPECT_EQ(tidy::attributeText(faces.last_child(), "n"), "1 0 0");
}

TEST(TriangleRemovalPassTest, DocumentsWithoutSurfacesOrWithoutSurface) {
    {
        TempDir dir;
        tidy::Document document = tidy::Document::open(dir.write("a.xml", landXml("<Other/>")));
        Recorder r;
        r.run(document);
        EXPECT_TRUE(r.lines.empty());
        EXPECT_TRUE(r.surfaceCounts.empty());
        EXPECT_TRUE(r.progress.empty());
    }
    {
        TempDir dir;
        tidy::Document document =
            tidy::Document::open(dir.write("a.xml", surfacesXml("<!-- none --><Other/>")));
        Recorder r;
        r.run(document);
        EXPECT_TRUE(r.lines.empty());
        EXPECT_EQ(r.surfaceCounts, Ints{2});
        EXPECT_EQ(r.progress, Ints{0});
        EXPECT_TRUE(r.removedCounts.empty());
    }
}

TEST(TriangleRemovalPassTest, OutsideMarkThatIsNotAnIntegerEndsThePass) {
    for (const char* mark : {"x", "1.0", "", "1 ", "one"}) {
        SCOPED_TRACE(std::string("\"") + mark + "\"");
        TempDir dir;
        const std::string path =
            dir.write("marks.xml", surfacesXml(surfaceXml("EG", std::string("<F>1 2 3</F><F i=\"") +
                                                                    mark + "\">2 3 4</F>")));
        tidy::Document document = tidy::Document::open(path);
        Recorder r;
        try {
            r.run(document);
            ADD_FAILURE() << "no error";
        } catch (const tidy::Error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(path), std::string::npos) << message;
            EXPECT_NE(message.find("line 2"), std::string::npos) << message;
            EXPECT_NE(message.find(std::string("\"") + mark + "\""), std::string::npos) << message;
        }
    }
}

// ---- neighbour references -------------------------------------------------------------------

using Triangle = std::array<long, 3>;
using Neighbours = std::array<std::int32_t, 3>;

// For each face and each of its edges (corner k to corner k+1), the 1-based position of the
// other face on that edge, 0 for none: adjacency from the vertices alone.
std::vector<Neighbours> neighboursBySharedEdges(const std::vector<Triangle>& faces) {
    std::map<std::pair<long, long>, std::vector<std::int32_t>> edgeFaces;
    auto edge = [](long a, long b) { return std::make_pair(std::min(a, b), std::max(a, b)); };
    for (std::size_t f = 0; f < faces.size(); ++f)
        for (int k = 0; k < 3; ++k)
            edgeFaces[edge(faces[f][k], faces[f][(k + 1) % 3])].push_back(
                static_cast<std::int32_t>(f + 1));
    std::vector<Neighbours> out(faces.size(), Neighbours{});
    for (std::size_t f = 0; f < faces.size(); ++f)
        for (int k = 0; k < 3; ++k)
            for (const std::int32_t other : edgeFaces[edge(faces[f][k], faces[f][(k + 1) % 3])])
                if (other != static_cast<std::int32_t>(f + 1))
                    out[f][static_cast<std::size_t>(k)] = other;
    return out;
}

std::string join(const Neighbours& n) {
    return std::to_string(n[0]) + " " + std::to_string(n[1]) + " " + std::to_string(n[2]);
}

Neighbours parseNeighbours(std::string_view text) {
    Neighbours n{};
    std::istringstream in{std::string(text)};
    in >> n[0] >> n[1] >> n[2];
    EXPECT_TRUE(static_cast<bool>(in)) << "n=\"" << text << "\"";
    return n;
}

Triangle parseTriangle(std::string_view text) {
    Triangle t{};
    std::istringstream in{std::string(text)};
    in >> t[0] >> t[1] >> t[2];
    EXPECT_TRUE(static_cast<bool>(in)) << "F \"" << text << "\"";
    return t;
}

struct FaceRecord {
    Triangle corners;
    Neighbours n;
};

std::vector<FaceRecord> facesWithNeighbours(pugi::xml_node faces) {
    std::vector<FaceRecord> out;
    for (pugi::xml_node f = faces.first_child(); f; f = f.next_sibling())
        if (tidy::localName(f) == "F")
            out.push_back(
                {parseTriangle(tidy::nodeText(f)), parseNeighbours(tidy::attributeText(f, "n"))});
    return out;
}

TEST(TriangleRemovalPassTest, NeighboursFollowTheFacesThatStay) {
    // A 9 by 7 grid of cells, two triangles each; neighbours worked out from the vertices.
    constexpr long width = 9, height = 7;
    std::vector<Triangle> triangles;
    auto vertex = [](long x, long y) { return y * (width + 1) + x + 1; };
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) {
            triangles.push_back({vertex(x, y), vertex(x + 1, y), vertex(x + 1, y + 1)});
            triangles.push_back({vertex(x, y), vertex(x + 1, y + 1), vertex(x, y + 1)});
        }
    const std::vector<Neighbours> before = neighboursBySharedEdges(triangles);
    // Outside: a run at the start, a run in the middle, the last face, and a scattered few.
    auto outside = [&](std::size_t f) {
        return f < 3 || (f >= 40 && f < 47) || f + 1 == triangles.size() || f % 11 == 5;
    };
    std::string faces;
    for (std::size_t f = 0; f < triangles.size(); ++f) {
        if (f == 20)
            faces += "<!-- break line -->";
        faces += std::string("<F") + (outside(f) ? " i=\"1\"" : (f % 2 ? " i=\"0\"" : "")) +
                 " n=\"" + join(before[f]) + "\">" + std::to_string(triangles[f][0]) + " " +
                 std::to_string(triangles[f][1]) + " " + std::to_string(triangles[f][2]) + "</F>";
    }
    TempDir dir;
    tidy::Document document =
        tidy::Document::open(dir.write("tin.xml", surfacesXml(surfaceXml("TIN", faces))));
    Recorder r;
    r.run(document);

    const std::vector<FaceRecord> after = facesWithNeighbours(facesOf(document, 0));
    std::vector<Triangle> kept;
    for (std::size_t f = 0; f < triangles.size(); ++f)
        if (!outside(f))
            kept.push_back(triangles[f]);
    ASSERT_EQ(after.size(), kept.size());
    EXPECT_EQ(r.removedCounts.back(), static_cast<std::int32_t>(triangles.size() - kept.size()));
    const std::vector<Neighbours> expected = neighboursBySharedEdges(kept);
    for (std::size_t f = 0; f < after.size(); ++f) {
        ASSERT_EQ(after[f].corners, kept[f]) << "face " << f + 1;
        EXPECT_EQ(join(after[f].n), join(expected[f])) << "face " << f + 1;
    }
}

TEST(TriangleRemovalPassTest, MalformedNeighbourListsAreLeftAlone) {
    TempDir dir;
    tidy::Document document = tidy::Document::open(
        dir.write("a.xml", surfacesXml(surfaceXml("EG", "<F i=\"1\" n=\"0 2 0\">a</F>"
                                                        "<F n=\"1 3\">b</F>"
                                                        "<F n=\"a b c\">c</F>"
                                                        "<F n=\"0 0 9\">d</F>"
                                                        "<F n=\"10 2 3\">e</F>"
                                                        "<F n=\"1 2 3 4\">f</F>"
                                                        "<F n=\"-1 2 3\">g</F>"
                                                        "<F n=\" 1 2\t8 \">h</F>"
                                                        "<F>i</F>"))));
    Recorder r;
    r.run(document);
    Strings n;
    for (pugi::xml_node f = facesOf(document, 0).first_child(); f; f = f.next_sibling())
        n.push_back(tidy::hasAttribute(f, "n") ? std::string(tidy::attributeText(f, "n")) : "-");
    // Nine faces before, so 9 is in range and 10 is not. The well-formed lists are renumbered.
    EXPECT_EQ(n, (Strings{"1 3", "a b c", "0 0 8", "10 2 3", "1 2 3 4", "-1 2 3", "0 1 7", "-"}));
}

TEST(TriangleRemovalPassTest, RealExportKeepsItsAdjacency) {
    const std::string path =
        tidytest::realDataPath("lutraconsulting-qgis-landxml-mesh-plugin__Total_topp.xml");
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << path << " is not there";
    tidy::Document document = tidy::Document::open(path);
    const std::vector<FaceRecord> original = facesWithNeighbours(facesOf(document, 0));
    std::vector<Triangle> originalCorners;
    for (const FaceRecord& f : original)
        originalCorners.push_back(f.corners);
    // The exporter's order of neighbours is its own; compare them as sets.
    auto sorted = [](Neighbours n) {
        std::sort(n.begin(), n.end());
        return n;
    };
    const std::vector<Neighbours> exported = neighboursBySharedEdges(originalCorners);
    std::size_t agreeing = 0;
    for (std::size_t f = 0; f < original.size(); ++f)
        agreeing += sorted(original[f].n) == sorted(exported[f]) ? 1 : 0;
    ASSERT_EQ(agreeing, original.size()) << "the file's own neighbours differ from its edges";

    Recorder r;
    r.run(document);
    EXPECT_EQ(r.removedCounts.back(), 8001);
    const std::vector<FaceRecord> after = facesWithNeighbours(facesOf(document, 0));
    ASSERT_EQ(after.size(), original.size() - 8001);
    std::vector<Triangle> keptCorners;
    for (const FaceRecord& f : after)
        keptCorners.push_back(f.corners);
    const std::vector<Neighbours> expected = neighboursBySharedEdges(keptCorners);
    std::size_t wrong = 0;
    for (std::size_t f = 0; f < after.size(); ++f)
        if (sorted(after[f].n) != sorted(expected[f]) && ++wrong <= 5)
            ADD_FAILURE() << "face " << f + 1 << ": n=\"" << join(after[f].n) << "\", edges give \""
                          << join(expected[f]) << "\"";
    EXPECT_EQ(wrong, 0u);
}

} // namespace
