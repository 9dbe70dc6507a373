// Drawing geometry of the stand-in CAD: what it shows and what a pick can snap to, in world
// coordinates projected on XY. Plain code: no windows.h, unit-tested natively.
#pragma once

#include <vector>

namespace standin {

struct Vec2 {
    double x = 0;
    double y = 0;
};

struct Segment {
    Vec2 a;
    Vec2 b;
};

struct Bounds {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool empty = true;
    void add(Vec2 p);
};

// The drawn geometry: straight segments (arcs and circles come in short steps), plus the
// vertices an endpoint snap can catch, without duplicates, in drawing order.
struct Geometry {
    std::vector<Segment> segments;
    std::vector<Vec2> vertices;

    // The segments between consecutive points of `path`.
    void addPath(const std::vector<Vec2>& path);
    void addVertex(Vec2 p);
    // Of segments and vertices: an arc may reach beyond its polyline's vertices.
    Bounds bounds() const;
};

}  // namespace standin
