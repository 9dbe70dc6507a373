// The entities of a drawing as the CAD keeps them: polylines (lightweight, 2D and 3D), circles
// and lines, with their coordinates as the DXF stores them; their drawn curves and snap points
// in world coordinates projected on XY; and the entity a pick box selects.
// Plain code: no windows.h, unit-tested natively.
#pragma once

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "rules/geometry.h"

namespace standin {

struct Vec3 {
    double x = 0;
    double y = 0;
    double z = 0;
};

// World coordinates of a point given in the object coordinate system (OCS) of `normal`, by
// the arbitrary-axis algorithm: normal (0,0,1) is the world itself, (0,0,-1) mirrors x.
Vec3 ocsToWorld(Vec3 p, Vec3 normal);

enum class PolylineKind { Lightweight, TwoD, ThreeD };  // LWPOLYLINE; POLYLINE 2D or 3D

struct Polyline {
    PolylineKind kind = PolylineKind::Lightweight;
    // Lightweight: x, y in the OCS (z 0); 2D: x, y in the OCS, z the elevation; 3D: world.
    std::vector<Vec3> vertices;
    std::vector<double> bulges;  // one per vertex: the arc to the next one, 0 straight
    bool closed = false;
    Vec3 normal{0, 0, 1};
    double elevation = 0;        // OCS z of a lightweight or 2D polyline
    bool fitted = false;         // a curve-fit or spline-fit 2D polyline
};

struct Circle {
    Vec3 centre;  // in the OCS
    double radius = 0;
    Vec3 normal{0, 0, 1};
};

struct Line {
    Vec3 start, end;  // world
};

struct Entity {
    std::uint64_t handle = 0;  // 0 until one is given
    std::variant<Polyline, Circle, Line> shape;
};

// The CAD's class name for the entity: AcDbPolyline (lightweight), AcDb2dPolyline,
// AcDb3dPolyline, AcDbCircle, AcDbLine.
const char* objectNameOf(const Entity& entity);

// Entities without a handle get the next ones after the highest held, from 2A on.
void assignHandles(std::vector<Entity>& entities);

// The curve as drawn, projected on XY: arcs (bulge b: 4·atan(b), negative clockwise) and
// circles in steps of at most 5°; a closed curve ends where it started.
std::vector<Vec2> drawnPath(const Entity& entity);
// What the endpoint snap catches: polyline vertices and line ends; a circle's four quadrant
// points and its centre.
std::vector<Vec2> snapPoints(const Entity& entity);
// The whole drawing as the view draws it and the snap finds it.
Geometry drawingOf(const std::vector<Entity>& entities);

// The entity whose drawn curve comes nearest to `at` among those crossing the square pick box
// of half-side `halfBox` around it (drawing units); none when no curve crosses it.
std::optional<size_t> pickEntity(const std::vector<Entity>& entities, Vec2 at, double halfBox);

// The built-in drawing: a two-cell box-girder bridge section in millimetres, deck 12000 wide
// and 2000 deep, x from 0 to 12000 and y from 0 (soffit) to 2000 (deck top): three closed
// lightweight polylines, the outline and the two cells.
std::vector<Entity> builtInSection();

}  // namespace standin
