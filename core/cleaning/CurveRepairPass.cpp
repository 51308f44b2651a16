// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/cleaning/CurveRepairPass.h"

#include "core/landxml/Error.h"
#include "core/landxml/Nodes.h"
#include "core/tin/Numbers.h"

#include <cmath>
#include <optional>
#include <string_view>

namespace tidy {

namespace {

// Stands in for the slope of a chord whose q difference is exactly 0.
constexpr double steepSlope = 999999999999.0;
// Ten digits, not 180/pi: a direction straight along q stays just below 90 degrees, and the
// decisions stay those the repair has always made.
constexpr double degreesPerRadian = 57.29577951;
// Compared with a difference of squared lengths, not of lengths.
constexpr double radiusTolerance = 0.005;

// The direction of a point seen from the centre, in degrees within [0, 360).
double directionDegrees(PointText point, PointText centre) {
    const double dp = point.p - centre.p;
    const double dq = point.q - centre.q;
    double a = std::atan(dq / dp) * degreesPerRadian;
    if (dp < 0)
        a = a + 180;
    if (a < 0)
        a = a + 360;
    return a;
}

enum class RotationDecision { Clockwise, CounterClockwise, Undecided };

RotationDecision decide(double turn) {
    if (turn > 0)
        return RotationDecision::Clockwise;
    if (turn < 0)
        return RotationDecision::CounterClockwise;
    return RotationDecision::Undecided; // exactly 0, or NaN
}

class CurveWalk {
public:
    CurveWalk(Document& document, const CurveRepairObserver& observer)
        : document_(document), observer_(observer) {}

    void planFeatures(pugi::xml_node planFeatures) {
        for (pugi::xml_node feature = findNode(planFeatures, "PlanFeature"); feature;
             feature = feature.next_sibling()) {
            const pugi::xml_node coordGeom = findNode(feature, "CoordGeom");
            if (!coordGeom)
                continue;
            // Whatever stands before the first Curve is not visited; after it, every element
            // with a radius is a curve.
            for (pugi::xml_node element = findNode(coordGeom, "Curve"); element;
                 element = element.next_sibling()) {
                if (hasAttribute(element, "radius"))
                    curve(element);
            }
        }
    }

    const CurveRepairCounts& counts() const { return counts_; }

private:
    void curve(pugi::xml_node curve) {
        ++counts_.curveCount;
        observer_.showCurveCount(counts_.curveCount);
        const std::string_view radiusText = attributeText(curve, "radius");
        // Converted for every curve, so a bad radius ends the run even on a curve left alone.
        const std::optional<double> radius = parseNumber(radiusText);
        if (!radius)
            throw Error(document_.where(curve) + ": curve " + std::to_string(counts_.curveCount) +
                        ": the radius " + quotedText(radiusText) + " is not a number");
        if (hasAttribute(curve, "rot"))
            return;

        ++counts_.adjustedCurveCount;
        observer_.showAdjustedCount(counts_.adjustedCurveCount);
        const std::string name = "curve " + std::to_string(counts_.curveCount) + " (radius " +
                                 std::string(radiusText) + ")";
        const PointText start = point(curve, "Start", name);
        const PointText middle = point(curve, "Center", name);
        const PointText end = point(curve, "End", name);

        const PointText centre = arcCentre(start, middle, end);
        if (!std::isfinite(centre.p) || !std::isfinite(centre.q)) {
            // No circle through the points: leave the curve as it is and flag it for checking.
            ++counts_.possibleDeviationCount;
            observer_.markDeviation();
            observer_.deviationAt(curve, false);
            return;
        }

        const double dp = start.p - centre.p;
        const double dq = start.q - centre.q;
        const double deviation = std::fabs(*radius * *radius - (dp * dp + dq * dq));
        if (deviation > radiusTolerance) {
            ++counts_.radiusDeviationCount;
            ++counts_.possibleDeviationCount;
            observer_.markDeviation();
            observer_.deviationAt(curve, true);
        }

        const RotationDecision decision = decide(turnDegrees(start, middle, centre));
        if (decision == RotationDecision::Clockwise)
            setAttribute(document_, curve, "rot", "cw");
        else if (decision == RotationDecision::CounterClockwise)
            setAttribute(document_, curve, "rot", "ccw");
        else {
            ++counts_.possibleDeviationCount;
            observer_.deviationAt(curve, false);
        }
        // The elevation, and anything after it, stays as it was.
        const pugi::xml_node centreElement = findNode(curve, "Center");
        setNodeText(document_, centreElement,
                    replacePlanCoordinates(nodeText(centreElement), centre.p, centre.q));
    }

    PointText point(pugi::xml_node curve, const char* elementName, const std::string& curveName) {
        const pugi::xml_node element = findNode(curve, elementName);
        const std::string what = std::string("the ") + elementName + " point";
        if (!element)
            throw Error(document_.where(curve) + ": " + curveName + ": " + what + " is missing");
        const std::string_view text = nodeText(element);
        if (std::string_view rest = text; nextToken(rest).empty())
            throw Error(
                document_.where(element) + ": " + curveName + ": " + what + " has no coordinates" +
                (hasAttribute(element, "pntRef") ? " (a pntRef reference is not followed)" : ""));
        const std::optional<PointText> point = SplitPointText(text);
        if (!point)
            throw Error(document_.where(element) + ": " + curveName + ": " + what + " " +
                        quotedText(text) + " does not begin with two numbers");
        return *point;
    }

    Document& document_;
    const CurveRepairObserver& observer_;
    CurveRepairCounts counts_;
};

} // namespace

PointText arcCentre(PointText s, PointText m, PointText e) {
    // Slopes of the chords with q as the abscissa; the centre is where their perpendicular
    // bisectors meet. Each operation is rounded on its own, in this grouping.
    const double dq1 = m.q - s.q;
    const double ma = dq1 == 0.0 ? steepSlope : (m.p - s.p) / dq1;
    const double dq2 = e.q - m.q;
    const double mb = dq2 == 0.0 ? steepSlope : (e.p - m.p) / dq2;
    const double cq =
        (ma * mb * (s.p - e.p) + mb * (s.q + m.q) - ma * (m.q + e.q)) / (2 * (mb - ma));
    const double cp = 0.5 * (s.p + m.p) - (cq - 0.5 * (s.q + m.q)) / ma;
    return {cp, cq};
}

double turnDegrees(PointText start, PointText middle, PointText centre) {
    const double a1 = directionDegrees(start, centre);
    double a2 = directionDegrees(middle, centre);
    if (a2 - a1 > 180)
        a2 = a2 - 360;
    if (a2 - a1 < -180)
        a2 = a2 + 360;
    return a2 - a1;
}

CurveRepairCounts CurveRepairPass(Document& document, const CurveRepairObserver& observer) {
    CurveWalk walk(document, observer);
    const pugi::xml_node first = findNode(document.root(), "PlanFeatures");
    if (!first)
        return walk.counts();
    observer.planFeaturesFound();
    for (pugi::xml_node node = first; node; node = node.next_sibling()) {
        if (localName(node) == "PlanFeatures")
            walk.planFeatures(node);
    }
    return walk.counts();
}

} // namespace tidy
