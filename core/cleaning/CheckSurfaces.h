// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tidy {

// What can be wrong with a triangulated surface, in the order a report lists them.
enum class FindingKind {
    MissingPoint,
    BadFace,
    DuplicatePointId,
    BadPoint,
    ZeroAreaFace,
    DuplicateFace,
    NonManifoldEdge,
    BadNeighbour,
    CoincidentPoints,
    DuplicateSurfaceName,
    CurveRadius,
    CurvePossibleDeviation,
    UnusedPoints,
    OutsideFaces,
    StatisticsDiffer,
};
inline constexpr std::size_t kFindingKinds = 15;
inline constexpr std::size_t kExamplesPerFinding = 5;

// The kind's name ("missing-point") and whether it is a fault (the rest is information).
const char* findingName(FindingKind kind);
bool isFault(FindingKind kind);

// One place a finding was seen: its line, and the face (1-based position among the F elements of
// its Faces) or the point (its id as the file writes it) when the finding concerns one.
struct FindingExample {
    pugi::xml_node node;
    std::size_t line = 0; // 0 when unknown
    std::int64_t face = 0;
    std::optional<std::string> point;
};

struct Finding {
    FindingKind kind = FindingKind::MissingPoint;
    std::int64_t count = 0;
    std::vector<FindingExample> examples; // the first kExamplesPerFinding
};

struct SurfaceCheck {
    pugi::xml_node surface;
    std::string name;
    std::int64_t points = 0;       // P elements
    std::int64_t faces = 0;        // F elements
    std::vector<Finding> findings; // kinds with a count, in the order of FindingKind
};

struct CheckRun {
    std::vector<SurfaceCheck> surfaces;
    std::vector<Finding> curves; // what the curve repair would report, file-wide
    std::int64_t faults = 0;     // the counts of all fault findings, added up
};

// What the check reports as it goes; a member left out does nothing.
struct CheckObserver {
    std::function<void(const std::string& name)> checkingSurface = [](const std::string&) {};
    // Every face (1-based position, or 0) or point (its id, or empty) a surface finding concerns,
    // not only the examples. Left empty, the check does not look for those beyond the examples.
    std::function<void(FindingKind kind, std::int64_t face, std::string_view point)> concerns;
    // Without them the file is not read again, and every example's line stays 0.
    bool exampleLines = true;
};

// Checks every Surface of every Surfaces element under the root, in file order, or only those
// named `onlySurface`; without `onlySurface` the curves too. The curve repair runs in `document`
// to find its deviations, so the caller must not save it.
CheckRun CheckSurfaces(Document& document, const std::optional<std::string>& onlySurface,
                       const CheckObserver& observer);

// The mark a picture gives the faces or points a kind concerns, from 0 to kMarks - 1; -1 for the
// kinds that concern no single drawable face or point, or are information.
inline constexpr int kMarks = 6;
int markOf(FindingKind kind);

// The findings of `surface` alone, and every face (by position) and point (by id) they concern
// with its mark, for a picture of it; faces in file order.
struct MarkedFindings {
    SurfaceCheck check;
    std::vector<std::pair<std::int64_t, int>> faces;
    std::vector<std::pair<std::uint32_t, int>> points;
};
MarkedFindings findingsToMark(Document& document, pugi::xml_node surface);

} // namespace tidy
