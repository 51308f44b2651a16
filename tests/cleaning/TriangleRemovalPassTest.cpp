// SPDX-License-Identifier: GPL-3.0-or-later
#include "cleaning/TriangleRemovalPass.h"

#include "TestSupport.h"
#include "landxml/Error.h"
#include "landxml/Nodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using tidytest::TempDir;
using Strings = std::vector<std::string>;
using Ints = std::vector<std::int32_t>;

// Everything the pass tells the window, in the order it tells it.
struct Recorder {
    Strings lines;
    Ints surfaceCounts;
    Ints removedCounts;
    Ints progress;

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

std::vector<pugi::xml_node> facesElements(const tidy::Document& document) {
    std::vector<pugi::xml_node> out;
    for (const pugi::xpath_node& n : document.root().select_nodes("//*[local-name()='Faces']"))
        out.push_back(n.node());
    return out;
}

// The children of each Faces element, joined by ",": a face by its text and, after "|", its
// neighbour list where it has one; a comment as "#" and its text.
Strings facesLeft(const tidy::Document& document) {
    Strings out;
    for (const pugi::xml_node faces : facesElements(document)) {
        std::string entry;
        for (pugi::xml_node child = faces.first_child(); child; child = child.next_sibling()) {
            entry += entry.empty() ? "" : ",";
            entry += child.type() == pugi::node_comment ? "#" + std::string(child.value())
                                                        : std::string(tidy::nodeText(child));
            if (tidy::hasAttribute(child, "n"))
                entry += "|" + std::string(tidy::attributeText(child, "n"));
        }
        out.push_back(entry);
    }
    return out;
}

// What the pass showed, one kind after the other: "lines ... | surfaces ... | removed ... |
// progress ...", the list lines joined by ",".
std::string shown(const Recorder& r) {
    auto join = [](const auto& items, const char* between) {
        std::string out;
        for (const auto& item : items) {
            if constexpr (std::is_integral_v<std::decay_t<decltype(item)>>)
                out += (out.empty() ? "" : between) + std::to_string(item);
            else
                out += (&item == &items.front() ? "" : between) + item;
        }
        return out;
    };
    return "lines " + join(r.lines, ",") + " | surfaces " + join(r.surfaceCounts, " ") +
           " | removed " + join(r.removedCounts, " ") + " | progress " + join(r.progress, " ");
}

TEST(TriangleRemovalPassTest, RemovesOutsideFacesAndReportsAsItGoes) {
    struct Case {
        std::string what;
        std::string document;
        bool trmSuffix;
        std::string shown;
        Strings left;
    };
    std::vector<Case> cases = {
        {"four faces with i 1, absent, 0 and 1",
         surfacesXml(surfaceXml("EG", "<F i=\"1\">1 2 3</F><F>2 3 4</F><F i=\"0\">3 4 5</F>"
                                      "<F i=\"1\">4 5 6</F>")),
         true,
         "lines EG.trm | surfaces 1 | removed 1 2 | progress 0 0 1 2 3",
         {"2 3 4,3 4 5"}},
        {"consecutive outside faces; a surface that loses all keeps its Faces",
         surfacesXml(surfaceXml("A", "<F>1 2 3</F><F i=\"1\">a</F><F i=\"1\">b</F>"
                                     "<F i=\"1\">c</F><F>4 5 6</F>") +
                     surfaceXml("B", "<F i=\"1\">d</F><F i=\"1\">e</F>")),
         true,
         "lines A.trm,B.trm | surfaces 2 | removed 1 2 3 4 5 | progress 0 0 1 2 3 4 0 1",
         {"1 2 3,4 5 6", ""}},
        // Three steps in A, but its walk starts at the first F and runs out after two.
        {"a comment first in Faces counts but is not walked",
         surfacesXml(surfaceXml("A", "<!-- faces --><F i=\"1\">a</F><F>b</F>") +
                     surfaceXml("B", "<F i=\"1\">c</F><F>d</F>")),
         true,
         "lines A.trm,B.trm | surfaces 2 | removed 1 2 | progress 0 0 1 0 1",
         {"# faces ,b", "d"}},
        // The name with its suffix is cut to the list line.
        {"nothing outside: neighbour lists untouched",
         surfacesXml(surfaceXml(std::string(300, 'a'),
                                "<F i=\"0\" n=\"2  0 0\">1 2 3</F><F n=\"1 0 0\">2 3 4</F>")),
         true,
         "lines " + std::string(255, 'a') + " | surfaces 1 | removed  | progress 0 0 1",
         {"1 2 3|2  0 0,2 3 4|1 0 0"}},
        // Nine faces before, so 9 is in range and 10 is not; the well-formed lists are renumbered.
        {"neighbour lists that are not three positions are left alone",
         surfacesXml(surfaceXml("EG", "<F i=\"1\" n=\"0 2 0\">a</F><F n=\"1 3\">b</F>"
                                      "<F n=\"a b c\">c</F><F n=\"0 0 9\">d</F>"
                                      "<F n=\"10 2 3\">e</F><F n=\"1 2 3 4\">f</F>"
                                      "<F n=\"-1 2 3\">g</F><F n=\" 1 2\t8 \">h</F><F>i</F>")),
         true,
         "lines EG.trm | surfaces 1 | removed 1 | progress 0 0 1 2 3 4 5 6 7 8",
         {"b|1 3,c|a b c,d|0 0 8,e|10 2 3,f|1 2 3 4,g|-1 2 3,h|0 1 7,i"}},
        {"no Surfaces: nothing at all",
         landXml("<Other/>"),
         true,
         "lines  | surfaces  | removed  | progress ",
         {}},
        {"Surfaces without a Surface",
         surfacesXml("<!-- none --><Other/>"),
         true,
         "lines  | surfaces 2 | removed  | progress 0",
         {}},
    };
    {
        std::string surfaces, lines, progress;
        for (int i = 1; i <= 12; ++i) {
            surfaces += surfaceXml("S" + std::to_string(i), "<F>keep</F><F i=\"1\">drop</F>");
            if (i <= 10)
                lines += (i > 1 ? ",S" : "S") + std::to_string(i);
            progress += " 0 1";
        }
        cases.push_back({"twelve surfaces by Edit and save as: ten listed, all cleaned",
                         surfacesXml(surfaces), false,
                         "lines " + lines +
                             " | surfaces 12 | removed 1 2 3 4 5 6 7 8 9 10 11 12 | "
                             "progress 0" +
                             progress,
                         Strings(12, "keep")});
    }
    {
        // The comment uses up one of the ten list steps and one surface step; nodes without
        // Definition or Faces are passed over, every surface after them is cleaned. The
        // element without a name lists as an empty name, as the scan lists it.
        std::string surfaces =
            surfaceXml("S1", "<F i=\"1\">x</F>") + "<!-- note --><Surface name=\"bare\"/><Other/>";
        for (int i = 2; i <= 9; ++i)
            surfaces += surfaceXml("S" + std::to_string(i), "<F i=\"1\">x</F>");
        cases.push_back({"other nodes among the surfaces use up steps", surfacesXml(surfaces), true,
                         "lines S1.trm,bare.trm,.trm,S2.trm,S3.trm,S4.trm,S5.trm,S6.trm,S7.trm | "
                         "surfaces 12 | removed 1 2 3 4 5 6 7 8 9 | progress 0 0 0 0 0 0 0 0 0 0",
                         Strings(9, "")});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        tidy::Document document = tidy::Document::open(dir.write("a.xml", c.document));
        Recorder r;
        r.run(document, c.trmSuffix);
        EXPECT_EQ(shown(r), c.shown);
        EXPECT_EQ(facesLeft(document), c.left);
    }
}

// "i" is read as an integer, whatever shortcut the pass takes for "0" and "1": any text that
// reads as 1 marks the face, any other integer keeps it, a text that is no integer ends the pass.
TEST(TriangleRemovalPassTest, OutsideMeansIReadsAsOne) {
    struct Case {
        const char* i;
        const char* left; // nullptr: the pass fails
    };
    // Which texts are integers is NodesTest's; here each side of the shortcut.
    for (const Case& c : {Case{"1", "b"}, Case{"01", "b"}, Case{"0", "a,b"}, Case{"10", "a,b"},
                          Case{"", nullptr}, Case{"1 ", nullptr}}) {
        SCOPED_TRACE(std::string("i=\"") + c.i + "\"");
        TempDir dir;
        tidy::Document document = tidy::Document::open(dir.write(
            "a.xml",
            surfacesXml(surfaceXml("EG", std::string("<F i=\"") + c.i + "\">a</F><F>b</F>"))));
        Recorder r;
        if (!c.left) {
            EXPECT_THROW(r.run(document), tidy::Error);
            continue;
        }
        r.run(document);
        EXPECT_EQ(facesLeft(document), Strings{c.left});
    }
}

// ---- neighbour references checked against adjacency rebuilt from the vertices ---------------

using Triple = std::array<long, 3>;

Triple threeNumbers(std::string_view text) {
    Triple t{};
    std::istringstream in{std::string(text)};
    in >> t[0] >> t[1] >> t[2];
    EXPECT_TRUE(static_cast<bool>(in)) << "\"" << text << "\"";
    return t;
}

std::string join(const Triple& t) {
    return std::to_string(t[0]) + " " + std::to_string(t[1]) + " " + std::to_string(t[2]);
}

// For each face and each of its edges (corner k to corner k+1), the 1-based position of the
// other face on that edge, 0 for none.
std::vector<Triple> neighboursBySharedEdges(const std::vector<Triple>& faces) {
    std::map<std::pair<long, long>, std::vector<long>> edgeFaces;
    auto edge = [](long a, long b) { return std::make_pair(std::min(a, b), std::max(a, b)); };
    for (std::size_t f = 0; f < faces.size(); ++f)
        for (std::size_t k = 0; k < 3; ++k)
            edgeFaces[edge(faces[f][k], faces[f][(k + 1) % 3])].push_back(static_cast<long>(f + 1));
    std::vector<Triple> out(faces.size(), Triple{});
    for (std::size_t f = 0; f < faces.size(); ++f)
        for (std::size_t k = 0; k < 3; ++k)
            for (const long other : edgeFaces[edge(faces[f][k], faces[f][(k + 1) % 3])])
                if (other != static_cast<long>(f + 1))
                    out[f][k] = other;
    return out;
}

// The corners and the neighbour list of every F of the document's first Faces element.
std::pair<std::vector<Triple>, std::vector<Triple>>
cornersAndNeighbours(const tidy::Document& document) {
    std::pair<std::vector<Triple>, std::vector<Triple>> out;
    for (pugi::xml_node f = facesElements(document).at(0).first_child(); f; f = f.next_sibling())
        if (tidy::localName(f) == "F") {
            out.first.push_back(threeNumbers(tidy::nodeText(f)));
            out.second.push_back(threeNumbers(tidy::attributeText(f, "n")));
        }
    return out;
}

TEST(TriangleRemovalPassTest, NeighboursFollowTheFacesThatStay) {
    // A 9 by 7 grid of cells, two triangles each.
    constexpr long width = 9, height = 7;
    std::vector<Triple> triangles;
    auto vertex = [](long x, long y) { return y * (width + 1) + x + 1; };
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) {
            triangles.push_back({vertex(x, y), vertex(x + 1, y), vertex(x + 1, y + 1)});
            triangles.push_back({vertex(x, y), vertex(x + 1, y + 1), vertex(x, y + 1)});
        }
    const std::vector<Triple> before = neighboursBySharedEdges(triangles);
    // Outside: a run at the start, a run in the middle, the last face, and a scattered few.
    auto outside = [&](std::size_t f) {
        return f < 3 || (f >= 40 && f < 47) || f + 1 == triangles.size() || f % 11 == 5;
    };
    std::string faces;
    std::vector<Triple> kept;
    for (std::size_t f = 0; f < triangles.size(); ++f) {
        if (f == 20)
            faces += "<!-- break line -->";
        faces += std::string("<F") + (outside(f) ? " i=\"1\"" : (f % 2 ? " i=\"0\"" : "")) +
                 " n=\"" + join(before[f]) + "\">" + join(triangles[f]) + "</F>";
        if (!outside(f))
            kept.push_back(triangles[f]);
    }
    TempDir dir;
    tidy::Document document =
        tidy::Document::open(dir.write("tin.xml", surfacesXml(surfaceXml("TIN", faces))));
    Recorder r;
    r.run(document);

    const auto [corners, neighbours] = cornersAndNeighbours(document);
    ASSERT_EQ(corners, kept);
    EXPECT_EQ(r.removedCounts.back(), static_cast<std::int32_t>(triangles.size() - kept.size()));
    const std::vector<Triple> expected = neighboursBySharedEdges(kept);
    for (std::size_t f = 0; f < kept.size(); ++f)
        EXPECT_EQ(join(neighbours[f]), join(expected[f])) << "face " << f + 1;
}

} // namespace
