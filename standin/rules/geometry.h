// Drawing geometry of the stand-in CAD: what it shows and what a pick can snap to.
// Plain code: no windows.h, unit-tested natively.
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

// The drawn geometry: straight segments, plus the vertices an endpoint snap can catch
// (segment ends, without duplicates).
struct Geometry {
    std::vector<Segment> segments;
    std::vector<Vec2> vertices;

    void addSegment(Vec2 a, Vec2 b);
    // Adds the segments of a polyline through `points`, closing it back to the first point.
    void addPolyline(const std::vector<Vec2>& points, bool closed);
    Bounds bounds() const;

private:
    void addVertex(Vec2 p);
};

// The built-in drawing: a two-cell box-girder bridge section in millimetres, deck 12000
// wide and 2000 deep, x from 0 to 12000 and y from 0 (soffit) to 2000 (deck top).
Geometry builtInSection();

}  // namespace standin
