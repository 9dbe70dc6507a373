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

void Geometry::addSegment(Vec2 a, Vec2 b) {
    segments.push_back({a, b});
    addVertex(a);
    addVertex(b);
}

void Geometry::addPolyline(const std::vector<Vec2>& points, bool closed) {
    if (points.size() == 1) addVertex(points[0]);
    for (size_t i = 1; i < points.size(); ++i) addSegment(points[i - 1], points[i]);
    if (closed && points.size() > 2) addSegment(points.back(), points.front());
}

Bounds Geometry::bounds() const {
    Bounds b;
    for (const Vec2& v : vertices) b.add(v);
    return b;
}

Geometry builtInSection() {
    Geometry g;
    // Outer contour: deck top, cantilever tips 200 thick, inclined outer webs, soffit.
    g.addPolyline({{0, 2000}, {12000, 2000}, {12000, 1800}, {9800, 1550},
                   {9300, 0}, {2700, 0}, {2200, 1550}, {0, 1800}},
                  true);
    // Two cells: top slab 250, bottom slab 220, centre web 400, haunched corners.
    const std::vector<Vec2> left = {{3100, 220}, {5500, 220}, {5800, 520}, {5800, 1450},
                                    {5500, 1750}, {2900, 1750}, {2650, 1600}};
    std::vector<Vec2> right;
    for (const Vec2& p : left) right.push_back({12000 - p.x, p.y});
    g.addPolyline(left, true);
    g.addPolyline(right, true);
    return g;
}

}  // namespace standin
