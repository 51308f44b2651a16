// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/landxml/Document.h"
#include "core/tin/PointText.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tidy {

// What one curve repair run found and changed.
struct CurveRepairCounts {
    std::int32_t curveCount = 0;             // elements with "radius" met on the walk
    std::int32_t adjustedCurveCount = 0;     // of those, the ones without "rot"
    std::int32_t radiusDeviationCount = 0;   // repaired curves whose radius check failed
    std::int32_t possibleDeviationCount = 0; // radius failures, undecided or unsolvable curves
};

// Centre of the circle through three points on an arc, computed from the slopes of the chords
// start-middle and middle-end. Infinite or NaN when the points are collinear or coincide.
PointText arcCentre(PointText start, PointText middle, PointText end);

// Turn in degrees from the start's direction to the middle's as seen from the centre, within
// (-180, 180]; above 0 is clockwise for northing-easting points. NaN when the centre lies on
// either point.
double turnDegrees(PointText start, PointText middle, PointText centre);

// What the curve repair reports as it goes; a member left out does nothing.
struct CurveRepairObserver {
    // Once, before any curve is examined, when the root has a PlanFeatures child.
    std::function<void()> planFeaturesFound = [] {};
    // Each new value of curveCount and of adjustedCurveCount.
    std::function<void(std::int32_t)> showCurveCount = [](std::int32_t) {};
    std::function<void(std::int32_t)> showAdjustedCount = [](std::int32_t) {};
    // Once per repaired curve whose radius does not fit or whose centre cannot be computed.
    std::function<void()> markDeviation = [] {};
    // The curve of each possible deviation as it is counted; `radius` for a radius failure.
    std::function<void(pugi::xml_node curve, bool radius)> deviationAt = [](pugi::xml_node, bool) {
    };
};

// Walks every curve of every PlanFeatures element under the root and repairs each one without
// "rot": it takes Start, Center and End as three points on the arc, writes the circle's centre
// into Center and the turning direction into "rot". Throws Error, naming the curve and the
// place, for a radius or point that is not a number and for a curve to repair that lacks a
// point.
CurveRepairCounts CurveRepairPass(Document& document, const CurveRepairObserver& observer);

} // namespace tidy
