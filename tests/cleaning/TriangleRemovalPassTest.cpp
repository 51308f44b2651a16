// SPDX-License-Identifier: GPL-3.0-or-later
// Neighbour references after the removal, and the check's view of them before, checked against
// the adjacency rebuilt from the vertices of the faces. What the pass lists, counts and keeps is
// the golden cases' (tests/cases/clean).
#include "core/cleaning/TriangleRemovalPass.h"

#include "core/cleaning/CheckSurfaces.h"

#include "TestSupport.h"
#include "core/landxml/Nodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Triple = std::array<long, 3>;

Triple threeNumbers(std::string_view text) {
    Triple t{};
    std::istringstream in{std::string(text)};
    in >> t[0] >> t[1] >> t[2];
    EXPECT_TRUE(static_cast<bool>(in)) << "\"" << text << "\"";
    return t;
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

// The corners and the neighbour list of every F of the document's first Faces element, and
// whether it is marked outside.
struct Faces {
    std::vector<Triple> corners, neighbours;
    std::vector<bool> outside;
};

pugi::xml_node facesNode(const tidy::Document& document) {
    return document.root().select_node("//*[local-name()='Faces']").node();
}

Faces facesOf(const tidy::Document& document) {
    Faces out;
    for (pugi::xml_node f = facesNode(document).first_child(); f; f = f.next_sibling())
        if (tidy::localName(f) == "F") {
            out.corners.push_back(threeNumbers(tidy::nodeText(f)));
            out.neighbours.push_back(threeNumbers(tidy::attributeText(f, "n")));
            out.outside.push_back(tidy::attributeText(f, "i") == "1");
        }
    return out;
}

// What the check counts of one kind over all surfaces.
std::int64_t checkCount(const std::string& path, tidy::FindingKind kind) {
    tidy::Document document = tidy::Document::open(path);
    std::int64_t count = 0;
    for (const tidy::SurfaceCheck& s : tidy::CheckSurfaces(document, std::nullopt, {}).surfaces)
        for (const tidy::Finding& f : s.findings)
            count += f.kind == kind ? f.count : 0;
    return count;
}

// Runs the pass on the file and checks the faces that stay, their neighbours and the bar.
void expectNeighboursRebuilt(const std::string& path) {
    tidy::Document document = tidy::Document::open(path);
    const Faces before = facesOf(document);
    // Before the removal every neighbour is the one across an edge, so the check finds none amiss.
    EXPECT_EQ(before.neighbours, neighboursBySharedEdges(before.corners));
    EXPECT_EQ(checkCount(path, tidy::FindingKind::BadNeighbour), 0);
    std::vector<Triple> kept;
    for (std::size_t f = 0; f < before.corners.size(); ++f)
        if (!before.outside[f])
            kept.push_back(before.corners[f]);
    ASSERT_LT(kept.size(), before.corners.size());
    std::vector<std::int32_t> progress;
    const tidy::TriangleRemovalObserver observer{
        .setProgress = [&](std::int32_t p) { progress.push_back(p); }};
    const std::int32_t removed = tidy::TriangleRemovalPass(document, observer).removedTriangleCount;
    // The bar starts at 0 and then shows the step of the walk over the children of Faces.
    std::vector<std::int32_t> steps(1 + tidy::childCount(facesNode(document)) + removed);
    std::iota(steps.begin() + 1, steps.end(), 0);
    EXPECT_EQ(progress, steps);
    const Faces after = facesOf(document);
    ASSERT_EQ(after.corners, kept);
    EXPECT_EQ(removed, static_cast<std::int32_t>(before.corners.size() - kept.size()));
    EXPECT_EQ(checkCount(path, tidy::FindingKind::OutsideFaces), removed);
    EXPECT_EQ(after.neighbours, neighboursBySharedEdges(kept));
}

// tests/data/tin-9x7.xml: a grid of cells, two triangles each, with faces outside in runs and
// scattered.
TEST(TriangleRemovalPassTest, NeighboursFollowTheFacesThatStay) {
    expectNeighboursRebuilt(tidytest::dataPath("tin-9x7.xml"));
}

// A real export: 44 094 faces, 8 001 of them outside, every one with its neighbours.
TEST(TriangleRemovalPassTest, NeighboursOfARealExportFollowTheFacesThatStay) {
    const std::string path =
        tidytest::realDataPath("lutraconsulting-qgis-landxml-mesh-plugin__Total_topp.xml");
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "the real exports are not available";
    expectNeighboursRebuilt(path);
}

// Every real export is a sound TIN: the check finds no fault in any of them.
TEST(TriangleRemovalPassTest, RealExportsHaveNoFaults) {
    const std::filesystem::path folder = tidytest::realDataPath("");
    if (!std::filesystem::exists(folder))
        GTEST_SKIP() << "the real exports are not available";
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".xml") {
            tidy::Document document = tidy::Document::open(entry.path().string());
            EXPECT_EQ(tidy::CheckSurfaces(document, std::nullopt, {}).faults, 0) << entry.path();
        }
}

} // namespace
