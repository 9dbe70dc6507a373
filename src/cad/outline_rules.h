// The nodes of an outline taken whole: a polyline's vertices with its arcs split into
// 15-degree steps, or a circle's 24 nodes, in the order the list takes them. Plain code.
#pragma once

#include "cad/cad_link.h"

#include <optional>
#include <span>
#include <vector>

namespace cad {

// One arc step: an arc of more than this is split into equal arcs of at most this.
inline constexpr double kArcStepDegrees = 15.0;
inline constexpr int kCircleNodes = 24;

// Equal as node coordinates: the same point up to rounding of the CAD's own arithmetic.
bool samePoint(Point2 a, Point2 b);

// The polyline's plane from its normal: the drawing's own, seen from above (1), seen from
// below as a mirrored polyline has it (-1, world x = -(OCS x), arcs turn the other way), or
// another plane (nullopt).
std::optional<int> planeSide(double nx, double ny, double nz);

// The points of the arc from a to b with this bulge (sweep 4·atan(bulge), negative turns
// clockwise) that lie strictly between them: n - 1 points for n = ceil(|sweep| / 15°).
std::vector<Point2> arcInnerPoints(Point2 a, Point2 b, double bulge);

// A polyline's nodes in world XY. bulges[i] belongs to the segment after vertex i (missing
// ones count as straight). A vertex equal to the one before is taken once; a closed
// polyline's last vertex equal to its first is dropped. A closed polyline starts at the
// vertex nearest the click and keeps its direction; an open one runs from the end nearer
// the click.
std::vector<Point2> polylineNodes(std::span<const Point2> vertices, std::span<const double> bulges, bool closed,
                                  Point2 click);

// A circle's 24 nodes at 0°, 15°, … from the world X axis, counterclockwise, starting at the
// one nearest the click.
std::vector<Point2> circleNodes(Point2 centre, double radius, Point2 click);

}  // namespace cad
