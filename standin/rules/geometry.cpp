#include "rules/geometry.h"

#include <algorithm>
#include <cmath>

namespace standin {

void Bounds::add(Vec2 p) {
    if (empty) {
        minX = maxX = p.x;
        minY = maxY = p.y;
        empty = false;
        return;
    }
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
}

void Geometry::addVertex(Vec2 p) {
    // Linear search: drawings here have hundreds of vertices, not millions.
    for (const Vec2& v : vertices) {
        if (std::abs(v.x - p.x) < 1e-9 && std::abs(v.y - p.y) < 1e-9) return;
    }
    vertices.push_back(p);
}

void Geometry::addPath(const std::vector<Vec2>& path) {
    for (size_t i = 1; i < path.size(); ++i) segments.push_back({path[i - 1], path[i]});
}

Bounds Geometry::bounds() const {
    Bounds b;
    for (const Vec2& v : vertices) b.add(v);
    for (const Segment& s : segments) {
        b.add(s.a);
        b.add(s.b);
    }
    return b;
}

}  // namespace standin
