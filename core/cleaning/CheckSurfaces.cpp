// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/cleaning/CheckSurfaces.h"

#include "core/cleaning/CurveRepairPass.h"
#include "core/landxml/Nodes.h"
#include "core/tin/Faces.h"
#include "core/tin/Numbers.h"
#include "core/tin/SurfaceWalk.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <set>
#include <tuple>

namespace tidy {

namespace {

constexpr const char* kNames[kFindingKinds] = {"missing-point",      "bad-face",
                                               "duplicate-point-id", "bad-point",
                                               "zero-area-face",     "duplicate-face",
                                               "non-manifold-edge",  "bad-neighbour",
                                               "coincident-points",  "duplicate-surface-name",
                                               "curve-radius",       "curve-possible-deviation",
                                               "unused-points",      "outside-faces",
                                               "statistics-differ"};

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// Counts findings by kind, keeping the first few places of each.
class Findings {
public:
    using Concerns = decltype(CheckObserver::concerns);
    explicit Findings(const Concerns* concerns = nullptr)
        : concerns_(concerns != nullptr && *concerns ? concerns : nullptr) {}

    void add(FindingKind kind, pugi::xml_node node, std::int64_t face = 0,
             std::optional<std::string> point = std::nullopt) {
        Finding& f = byKind_[std::size_t(kind)];
        f.kind = kind;
        // An edge's finding names one of its faces; edgesAndNeighbours hands over all of them.
        if (concerns_ != nullptr && kind != FindingKind::NonManifoldEdge && (face > 0 || point))
            (*concerns_)(kind, face, point ? std::string_view(*point) : std::string_view());
        if (++f.count <= std::int64_t(kExamplesPerFinding))
            f.examples.push_back({node, 0, face, std::move(point)});
    }
    const Concerns* concerns() const { return concerns_; }
    bool wantsExample(FindingKind kind) const {
        return byKind_[std::size_t(kind)].count < std::int64_t(kExamplesPerFinding);
    }
    std::vector<Finding> list() {
        std::vector<Finding> found;
        for (Finding& f : byKind_)
            if (f.count > 0)
                found.push_back(std::move(f));
        return found;
    }

private:
    const Concerns* concerns_;
    std::array<Finding, kFindingKinds> byKind_{};
};

struct Point {
    double p = 0, q = 0, z = 0;
    bool hasZ = false;
};

struct Face {
    std::array<std::uint32_t, 3> corners{kNone, kNone, kNone}; // point indices; kNone: unusable
    std::array<std::int32_t, 3> neighbours{};                  // 1-based positions, 0 for none
    bool outside = false;
    bool hasNeighbours = false;
    bool neighboursRead = false;
};

// Neighbour positions as written: any 32-bit integer, so that a wrong one is seen, not refused.
constexpr IntegerRules kNeighbourPosition{.plus = true, .minus = true};

// The check of one surface: its points and faces read once into flat arrays, each finding then
// a sort or a pass over them. The arrays are kept from one surface to the next: fresh memory
// for each would cost more than the check itself.
class SurfaceChecker {
public:
    explicit SurfaceChecker(const Document& document) : document_(document) {}

    void run(pugi::xml_node surface, SurfaceCheck& check, Findings& findings) {
        findings_ = &findings;
        for (auto* nodes : {&pointNodes_, &faceNodes_})
            nodes->clear();
        points_.clear();
        ids_.clear();
        byId_.clear();
        faces_.clear();
        insideFaces_ = 0;
        allZ_ = true;
        area2D_ = area3D_ = 0;
        elevMin_ = std::numeric_limits<double>::infinity();
        elevMax_ = -std::numeric_limits<double>::infinity();
        readPoints(pointsOf(surface));
        readFaces(facesOf(surface));
        check.points = std::int64_t(pointNodes_.size());
        check.faces = std::int64_t(faceNodes_.size());
        duplicateFaces();
        edgesAndNeighbours();
        unusedAndCoincident();
        statistics(findNode(surface, "Definition"));
    }

private:
    std::string pointId(std::uint32_t index) const {
        return std::string(attributeText(pointNodes_[index], "id"));
    }

    void readPoints(pugi::xml_node pnts) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> ids; // id, index
        for (pugi::xml_node node = pnts.first_child(); node; node = node.next_sibling()) {
            if (node.type() != pugi::node_element || localName(node) != "P")
                continue;
            const auto index = std::uint32_t(pointNodes_.size());
            pointNodes_.push_back(node);
            points_.emplace_back();
            const auto id = integerValue(attributeText(node, "id"), kPointId);
            Point& point = points_.back();
            std::string_view rest = nodeText(node);
            std::array<double, 3> values{};
            std::size_t n = 0;
            bool numbers = true;
            for (std::string_view token = nextToken(rest); !token.empty();
                 token = nextToken(rest), ++n) {
                const auto value = parseNumber(token);
                numbers = numbers && value && std::isfinite(*value) && n < 3;
                if (numbers)
                    values[n] = *value;
            }
            if (!id || !numbers || n < 2) {
                findings_->add(FindingKind::BadPoint, node, 0,
                               std::string(attributeText(node, "id")));
                continue;
            }
            point = {values[0], values[1], values[2], n == 3};
            ids.emplace_back(std::uint32_t(*id), index);
        }
        good_.assign(points_.size(), 0);
        std::sort(ids.begin(), ids.end());
        for (std::size_t k = 0; k < ids.size(); ++k) {
            if (k > 0 && ids[k].first == ids[k - 1].first) {
                findings_->add(FindingKind::DuplicatePointId, pointNodes_[ids[k].second], 0,
                               pointId(ids[k].second));
                continue;
            }
            good_[ids[k].second] = 1;
            ids_.push_back(ids[k]);
        }
        // Ids are nearly always dense from 0 or 1: then a face's corner is one array step away.
        if (!ids_.empty() && ids_.back().first <= 4 * ids_.size() + 1024) {
            byId_.assign(std::size_t(ids_.back().first) + 1, kNone);
            for (const auto& [id, index] : ids_)
                byId_[id] = index;
        }
    }

    std::uint32_t lookUp(std::int64_t id) const {
        if (!byId_.empty())
            return std::size_t(id) < byId_.size() ? byId_[std::size_t(id)] : kNone;
        const auto it = std::lower_bound(ids_.begin(), ids_.end(),
                                         std::pair{std::uint32_t(id), std::uint32_t(0)});
        return it != ids_.end() && it->first == id ? it->second : kNone;
    }

    void readFaces(pugi::xml_node faces) {
        for (pugi::xml_node node = faces.first_child(); node; node = node.next_sibling()) {
            if (!isFace(node))
                continue;
            faceNodes_.push_back(node);
            faces_.emplace_back();
            Face& face = faces_.back();
            const std::int64_t position = std::int64_t(faces_.size());
            face.outside = isOutside(document_, node);
            if (face.outside)
                findings_->add(FindingKind::OutsideFaces, node, position);
            if (const pugi::xml_attribute n = node.attribute("n")) {
                face.hasNeighbours = true;
                const auto read = readThreeIntegers(n.value(), kNeighbourPosition);
                face.neighboursRead = read.has_value();
                if (read)
                    for (std::size_t k = 0; k < 3; ++k)
                        face.neighbours[k] = std::int32_t((*read)[k]);
            }
            const auto ids = readThreeIntegers(nodeText(node), kPointId);
            if (!ids) {
                findings_->add(FindingKind::BadFace, node, position);
                continue;
            }
            std::array<std::uint32_t, 3> corners{};
            for (std::size_t c = 0; c < 3; ++c)
                corners[c] = lookUp((*ids)[c]);
            if (std::count(corners.begin(), corners.end(), kNone) > 0) {
                findings_->add(FindingKind::MissingPoint, node, position);
                continue;
            }
            face.corners = corners;
            planArea(face, node, position);
        }
    }

    // The zero test on the cross product, and the inside faces' share of the statistics.
    void planArea(const Face& face, pugi::xml_node node, std::int64_t position) {
        const Point& a = points_[face.corners[0]];
        const Point& b = points_[face.corners[1]];
        const Point& c = points_[face.corners[2]];
        const double bp = b.p - a.p, bq = b.q - a.q, bz = b.z - a.z;
        const double cp = c.p - a.p, cq = c.q - a.q, cz = c.z - a.z;
        const double cross = bp * cq - bq * cp;
        if (cross == 0.0)
            findings_->add(FindingKind::ZeroAreaFace, node, position);
        if (face.outside)
            return;
        ++insideFaces_;
        area2D_ += std::fabs(cross) / 2;
        const bool hasZ = a.hasZ && b.hasZ && c.hasZ;
        allZ_ = allZ_ && hasZ;
        if (!hasZ)
            return;
        const double x = bq * cz - bz * cq, y = bz * cp - bp * cz;
        area3D_ += std::sqrt(x * x + y * y + cross * cross) / 2;
        for (const Point* corner : {&a, &b, &c}) {
            elevMin_ = std::min(elevMin_, corner->z);
            elevMax_ = std::max(elevMax_, corner->z);
        }
    }

    void duplicateFaces() {
        std::vector<std::array<std::uint32_t, 4>>& keys = keys_; // sorted corners, face index
        keys.clear();
        for (std::size_t f = 0; f < faces_.size(); ++f) {
            std::array<std::uint32_t, 3> c = faces_[f].corners;
            if (c[0] == kNone)
                continue;
            std::sort(c.begin(), c.end());
            keys.push_back({c[0], c[1], c[2], std::uint32_t(f)});
        }
        std::sort(keys.begin(), keys.end());
        for (std::size_t k = 1; k < keys.size(); ++k)
            if (std::equal(keys[k].begin(), keys[k].begin() + 3, keys[k - 1].begin()))
                addFace(FindingKind::DuplicateFace, keys[k][3]);
    }

    void addFace(FindingKind kind, std::uint32_t f) {
        findings_->add(kind, faceNodes_[f], std::int64_t(f) + 1);
    }

    static bool shareAnEdge(const Face& a, const Face& b) {
        int shared = 0;
        for (const std::uint32_t c : a.corners)
            shared += int(std::count(b.corners.begin(), b.corners.end(), c));
        return shared >= 2;
    }

    // A face of three distinct points has three edges; one naming a point twice (a zero-area
    // fault already) is left out, as it would count its one edge twice.
    static bool hasEdges(const Face& face) {
        const auto& c = face.corners;
        return c[0] != kNone && c[0] != c[1] && c[1] != c[2] && c[0] != c[2];
    }

    // Edge k of a face (corner k to the next), the same key from either face.
    static std::uint64_t edgeKey(const Face& face, std::size_t k) {
        const std::uint32_t a = face.corners[k], b = face.corners[(k + 1) % 3];
        return std::uint64_t(std::min(a, b)) << 32 | std::max(a, b);
    }

    // The third face in file order on an edge; only the examples of a finding need it.
    std::uint32_t thirdFaceOn(std::uint64_t edge) const {
        int seen = 0;
        for (std::uint32_t f = 0; f < faces_.size(); ++f)
            for (std::size_t k = 0; k < 3 && hasEdges(faces_[f]); ++k)
                if (edgeKey(faces_[f], k) == edge && ++seen == 3)
                    return f;
        return 0;
    }

    void edgesAndNeighbours() {
        // Plain integers sort fastest; the few faces an example names are looked up afterwards.
        edges_.clear();
        for (const Face& face : faces_)
            for (std::size_t k = 0; k < 3 && hasEdges(face); ++k)
                edges_.push_back(edgeKey(face, k));
        std::sort(edges_.begin(), edges_.end());
        for (std::size_t k = 0; k < edges_.size();) {
            std::size_t end = k + 1;
            while (end < edges_.size() && edges_[end] == edges_[k])
                ++end;
            if (end - k > 2 && findings_->wantsExample(FindingKind::NonManifoldEdge))
                addFace(FindingKind::NonManifoldEdge, thirdFaceOn(edges_[k]));
            else if (end - k > 2)
                findings_->add(FindingKind::NonManifoldEdge, {});
            if (end - k > 2 && findings_->concerns() != nullptr)
                badEdges_.push_back(edges_[k]);
            k = end;
        }
        facesOnBadEdges();
        const auto count = std::int64_t(faces_.size());
        for (std::size_t f = 0; f < faces_.size(); ++f) {
            const Face& face = faces_[f];
            if (!face.hasNeighbours)
                continue;
            bool bad = !face.neighboursRead;
            for (const std::int64_t n : face.neighbours) {
                if (bad || n == 0)
                    continue;
                if (n < 0 || n > count) {
                    bad = true;
                    continue;
                }
                const Face& other = faces_[std::size_t(n - 1)];
                const bool comparable = face.corners[0] != kNone && other.corners[0] != kNone;
                const auto back = std::int64_t(f) + 1;
                const bool returned =
                    other.neighboursRead &&
                    std::count(other.neighbours.begin(), other.neighbours.end(), back) > 0;
                bad = (comparable && !shareAnEdge(face, other)) || !returned;
            }
            if (bad)
                addFace(FindingKind::BadNeighbour, std::uint32_t(f));
        }
    }

    // Every face on an edge of more than two, for whoever marks them all.
    void facesOnBadEdges() {
        for (std::uint32_t f = 0; f < faces_.size() && !badEdges_.empty(); ++f) {
            bool onOne = false;
            for (std::size_t k = 0; k < 3 && hasEdges(faces_[f]); ++k)
                onOne = onOne || std::binary_search(badEdges_.begin(), badEdges_.end(),
                                                    edgeKey(faces_[f], k));
            if (onOne)
                (*findings_->concerns())(FindingKind::NonManifoldEdge, std::int64_t(f) + 1, {});
        }
        badEdges_.clear();
    }

    void unusedAndCoincident() {
        std::vector<std::uint8_t> used(points_.size(), 0);
        for (const Face& face : faces_)
            if (face.corners[0] != kNone)
                for (const std::uint32_t c : face.corners)
                    used[c] = 1;
        std::vector<std::uint32_t> order;
        for (std::uint32_t k = 0; k < points_.size(); ++k) {
            if (!good_[k])
                continue;
            order.push_back(k);
            if (!used[k])
                findings_->add(FindingKind::UnusedPoints, pointNodes_[k], 0, pointId(k));
        }
        std::sort(order.begin(), order.end(), [this](std::uint32_t a, std::uint32_t b) {
            return std::tie(points_[a].p, points_[a].q, a) <
                   std::tie(points_[b].p, points_[b].q, b);
        });
        for (std::size_t k = 1; k < order.size(); ++k) {
            const Point& a = points_[order[k - 1]];
            const Point& b = points_[order[k]];
            if (a.p == b.p && a.q == b.q)
                findings_->add(FindingKind::CoincidentPoints, pointNodes_[order[k]], 0,
                               pointId(order[k]));
        }
    }

    // Each stated figure against what the inside faces give; exporters differ in these, so a
    // difference is information.
    void statistics(pugi::xml_node definition) {
        if (insideFaces_ == 0)
            return;
        const std::pair<const char*, double> computed[] = {{"area2DSurf", area2D_},
                                                           {"area3DSurf", area3D_},
                                                           {"elevMin", elevMin_},
                                                           {"elevMax", elevMax_}};
        for (std::size_t k = 0; k < 4; ++k) {
            if (k > 0 && !allZ_)
                break; // a face without elevations: only the plan area is known
            const auto stated = parseNumber(attributeText(definition, computed[k].first));
            if (!stated)
                continue;
            const double scale = std::max(std::fabs(*stated), std::fabs(computed[k].second));
            if (std::fabs(*stated - computed[k].second) > 1e-6 * scale)
                findings_->add(FindingKind::StatisticsDiffer, definition);
        }
    }

    const Document& document_;
    Findings* findings_ = nullptr;
    std::vector<std::uint64_t> edges_, badEdges_; // lower corner << 32 | higher corner
    std::vector<std::array<std::uint32_t, 4>> keys_;
    std::vector<pugi::xml_node> pointNodes_, faceNodes_;
    std::vector<Point> points_;
    std::vector<std::uint8_t> good_; // a usable point whose id was not taken before
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ids_; // id, index; sorted, unique
    std::vector<std::uint32_t> byId_;
    std::vector<Face> faces_;
    std::int64_t insideFaces_ = 0;
    bool allZ_ = true;
    double area2D_ = 0, area3D_ = 0;
    double elevMin_ = std::numeric_limits<double>::infinity();
    double elevMax_ = -std::numeric_limits<double>::infinity();
};

std::vector<pugi::xml_node> allSurfaces(const Document& document) {
    std::vector<pugi::xml_node> found;
    for (pugi::xml_node surfaces = document.root().first_child(); surfaces;
         surfaces = surfaces.next_sibling())
        if (surfaces.type() == pugi::node_element && localName(surfaces) == "Surfaces")
            for (pugi::xml_node s = surfaces.first_child(); s; s = s.next_sibling())
                if (s.type() == pugi::node_element && localName(s) == "Surface")
                    found.push_back(s);
    return found;
}

std::vector<Finding> curveFindings(Document& document) {
    Findings findings;
    CurveRepairPass(document, {.deviationAt = [&](pugi::xml_node curve, bool radius) {
                        if (radius)
                            findings.add(FindingKind::CurveRadius, curve);
                        findings.add(FindingKind::CurvePossibleDeviation, curve);
                    }});
    return findings.list();
}

} // namespace

const char* findingName(FindingKind kind) {
    return kNames[std::size_t(kind)];
}

bool isFault(FindingKind kind) {
    return kind != FindingKind::CurvePossibleDeviation && kind != FindingKind::UnusedPoints &&
           kind != FindingKind::OutsideFaces && kind != FindingKind::StatisticsDiffer;
}

CheckRun CheckSurfaces(Document& document, const std::optional<std::string>& onlySurface,
                       const CheckObserver& observer) {
    CheckRun run;
    {
        std::set<std::string> names;
        // Gone before the lines are read, so that its arrays and the file are not held at once.
        SurfaceChecker checker(document);
        for (const pugi::xml_node surface : allSurfaces(document)) {
            const std::string name(attributeText(surface, "name"));
            if (onlySurface && name != *onlySurface)
                continue;
            observer.checkingSurface(name);
            Findings findings(&observer.concerns);
            if (!names.insert(name).second)
                findings.add(FindingKind::DuplicateSurfaceName, surface);
            SurfaceCheck& check = run.surfaces.emplace_back();
            check.surface = surface;
            check.name = name;
            checker.run(surface, check, findings);
            check.findings = findings.list();
        }
    }
    if (!onlySurface)
        run.curves = curveFindings(document);

    for (const SurfaceCheck& check : run.surfaces)
        for (const Finding& finding : check.findings)
            run.faults += isFault(finding.kind) ? finding.count : 0;
    for (const Finding& finding : run.curves)
        run.faults += isFault(finding.kind) ? finding.count : 0;
    if (!observer.exampleLines)
        return run;

    // The lines of all examples in one reading of the file.
    std::vector<FindingExample*> examples;
    for (SurfaceCheck& check : run.surfaces)
        for (Finding& finding : check.findings)
            for (FindingExample& example : finding.examples)
                examples.push_back(&example);
    for (Finding& finding : run.curves)
        for (FindingExample& example : finding.examples)
            examples.push_back(&example);
    std::vector<pugi::xml_node> nodes;
    for (const FindingExample* example : examples)
        nodes.push_back(example->node);
    const std::vector<std::size_t> lines = document.lines(nodes);
    for (std::size_t k = 0; k < examples.size(); ++k)
        examples[k]->line = lines[k];
    return run;
}

int markOf(FindingKind kind) {
    switch (kind) {
    case FindingKind::NonManifoldEdge: // a higher mark wins; a zero-area face has none to spare
        return 0;
    case FindingKind::BadNeighbour:
        return 1;
    case FindingKind::DuplicateFace:
        return 2;
    case FindingKind::ZeroAreaFace:
        return 3;
    case FindingKind::DuplicatePointId:
        return 4;
    case FindingKind::CoincidentPoints:
        return 5;
    default: // a face that names no point or a point without coordinates cannot be drawn
        return -1;
    }
}

MarkedFindings findingsToMark(Document& document, pugi::xml_node surface) {
    // Surfaces of one name are all checked; the places of the others are dropped.
    MarkedFindings found;
    std::size_t index = 0, checked = 0;
    CheckObserver observer;
    observer.exampleLines = false; // a picture has no use for them
    std::vector<std::tuple<std::size_t, FindingKind, std::int64_t, std::string>> concerned;
    observer.checkingSurface = [&checked](const std::string&) { ++checked; };
    observer.concerns = [&](FindingKind kind, std::int64_t face, std::string_view point) {
        if (markOf(kind) >= 0)
            concerned.emplace_back(checked, kind, face, point);
    };
    CheckRun run = CheckSurfaces(document, std::string(attributeText(surface, "name")), observer);
    while (index < run.surfaces.size() && run.surfaces[index].surface != surface)
        ++index;
    if (index == run.surfaces.size())
        return found;
    found.check = std::move(run.surfaces[index]);
    for (const auto& [in, kind, face, point] : concerned) {
        if (in != index + 1)
            continue;
        if (face > 0)
            found.faces.emplace_back(face, markOf(kind));
        else if (const auto id = integerValue(point, kPointId))
            found.points.emplace_back(std::uint32_t(*id), markOf(kind));
    }
    std::stable_sort(found.faces.begin(), found.faces.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return found;
}

} // namespace tidy
