#include "rules/entities.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace standin {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxStep = 5 * kPi / 180;

Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

Vec3 unit(Vec3 v) {
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0 ? Vec3{v.x / length, v.y / length, v.z / length} : v;
}

Vec2 onPlan(Vec3 ocs, Vec3 normal) {
    const Vec3 w = ocsToWorld(ocs, normal);
    return {w.x, w.y};
}

// The points after `from` of the arc from `from` to `to` with `bulge`, in the OCS plane.
void appendArc(std::vector<Vec2>& out, Vec2 from, Vec2 to, double bulge) {
    const double sweep = 4 * std::atan(bulge);
    // The centre lies off the chord's midpoint, to the left of from->to for a positive bulge
    // under a half circle.
    const double k = (1 - bulge * bulge) / (4 * bulge);
    const Vec2 centre{(from.x + to.x) / 2 - (to.y - from.y) * k, (from.y + to.y) / 2 + (to.x - from.x) * k};
    const double radius = std::hypot(from.x - centre.x, from.y - centre.y);
    const double start = std::atan2(from.y - centre.y, from.x - centre.x);
    const int steps = std::max(1, static_cast<int>(std::ceil(std::abs(sweep) / kMaxStep - 1e-9)));
    for (int i = 1; i < steps; ++i) {
        const double a = start + sweep * i / steps;
        out.push_back({centre.x + radius * std::cos(a), centre.y + radius * std::sin(a)});
    }
    out.push_back(to);
}

std::vector<Vec2> polylinePath(const Polyline& p) {
    std::vector<Vec2> path;
    const size_t n = p.vertices.size();
    if (p.kind == PolylineKind::ThreeD) {
        for (const Vec3& v : p.vertices) path.push_back({v.x, v.y});
        if (p.closed && n > 1) path.push_back(path.front());
        return path;
    }
    // Drawn in the OCS plane, then each point taken to the world.
    std::vector<Vec2> plane;
    const size_t count = p.closed && n > 1 ? n : (n ? n - 1 : 0);
    if (n) plane.push_back({p.vertices[0].x, p.vertices[0].y});
    for (size_t i = 0; i < count; ++i) {
        const Vec3& a = p.vertices[i];
        const Vec3& b = p.vertices[(i + 1) % n];
        const double bulge = i < p.bulges.size() ? p.bulges[i] : 0;
        if (bulge == 0) plane.push_back({b.x, b.y});
        else appendArc(plane, {a.x, a.y}, {b.x, b.y}, bulge);
    }
    for (const Vec2& q : plane) path.push_back(onPlan({q.x, q.y, p.elevation}, p.normal));
    return path;
}

std::vector<Vec2> circlePath(const Circle& c) {
    std::vector<Vec2> path;
    const int steps = static_cast<int>(std::ceil(2 * kPi / kMaxStep - 1e-9));
    for (int i = 0; i <= steps; ++i) {
        const double a = 2 * kPi * (i % steps) / steps;
        path.push_back(onPlan({c.centre.x + c.radius * std::cos(a), c.centre.y + c.radius * std::sin(a), c.centre.z},
                              c.normal));
    }
    return path;
}

double distanceToSegment(Vec2 p, Vec2 a, Vec2 b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Whether the segment a-b crosses the square of half-side h around c (Liang-Barsky clipping).
bool crossesBox(Vec2 a, Vec2 b, Vec2 c, double h) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - (c.x - h), c.x + h - a.x, a.y - (c.y - h), c.y + h - a.y};
    double t0 = 0, t1 = 1;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    return true;
}

}  // namespace

Vec3 ocsToWorld(Vec3 p, Vec3 normal) {
    const Vec3 n = unit(normal);
    if (n.x == 0 && n.y == 0 && n.z == 0) return p;  // no normal: the world
    const bool nearZ = std::abs(n.x) < 1.0 / 64 && std::abs(n.y) < 1.0 / 64;
    const Vec3 ax = unit(cross(nearZ ? Vec3{0, 1, 0} : Vec3{0, 0, 1}, n));
    const Vec3 ay = unit(cross(n, ax));
    return {p.x * ax.x + p.y * ay.x + p.z * n.x, p.x * ax.y + p.y * ay.y + p.z * n.y,
            p.x * ax.z + p.y * ay.z + p.z * n.z};
}

const char* objectNameOf(const Entity& entity) {
    if (const auto* p = std::get_if<Polyline>(&entity.shape)) {
        return p->kind == PolylineKind::Lightweight ? "AcDbPolyline"
               : p->kind == PolylineKind::TwoD     ? "AcDb2dPolyline"
                                                   : "AcDb3dPolyline";
    }
    return std::holds_alternative<Circle>(entity.shape) ? "AcDbCircle" : "AcDbLine";
}

void assignHandles(std::vector<Entity>& entities) {
    std::uint64_t next = 0x2A;
    for (const Entity& e : entities) next = std::max(next, e.handle + 1);
    for (Entity& e : entities) {
        if (e.handle == 0) e.handle = next++;
    }
}

std::vector<Vec2> drawnPath(const Entity& entity) {
    if (const auto* p = std::get_if<Polyline>(&entity.shape)) return polylinePath(*p);
    if (const auto* c = std::get_if<Circle>(&entity.shape)) return circlePath(*c);
    const Line& l = std::get<Line>(entity.shape);
    return {{l.start.x, l.start.y}, {l.end.x, l.end.y}};
}

std::vector<Vec2> snapPoints(const Entity& entity) {
    std::vector<Vec2> points;
    if (const auto* p = std::get_if<Polyline>(&entity.shape)) {
        for (const Vec3& v : p->vertices) {
            points.push_back(p->kind == PolylineKind::ThreeD ? Vec2{v.x, v.y}
                                                             : onPlan({v.x, v.y, p->elevation}, p->normal));
        }
    } else if (const auto* c = std::get_if<Circle>(&entity.shape)) {
        const Vec3& o = c->centre;
        for (const Vec2 d : {Vec2{1, 0}, Vec2{0, 1}, Vec2{-1, 0}, Vec2{0, -1}})
            points.push_back(onPlan({o.x + c->radius * d.x, o.y + c->radius * d.y, o.z}, c->normal));
        points.push_back(onPlan(o, c->normal));
    } else {
        const Line& l = std::get<Line>(entity.shape);
        points = {{l.start.x, l.start.y}, {l.end.x, l.end.y}};
    }
    return points;
}

Geometry drawingOf(const std::vector<Entity>& entities) {
    Geometry g;
    for (const Entity& e : entities) {
        g.addPath(drawnPath(e));
        for (const Vec2& p : snapPoints(e)) g.addVertex(p);
    }
    return g;
}

std::optional<size_t> pickEntity(const std::vector<Entity>& entities, Vec2 at, double halfBox) {
    std::optional<size_t> best;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < entities.size(); ++i) {
        const std::vector<Vec2> path = drawnPath(entities[i]);
        // A path of one point counts as a segment of no length.
        const size_t segments = path.size() > 1 ? path.size() - 1 : path.size();
        for (size_t k = 0; k < segments; ++k) {
            const Vec2 a = path[k];
            const Vec2 b = path[std::min(k + 1, path.size() - 1)];
            if (!crossesBox(a, b, at, halfBox)) continue;
            const double d = distanceToSegment(at, a, b);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
    }
    return best;
}

std::vector<Entity> builtInSection() {
    const auto closed = [](std::uint64_t handle, const std::vector<Vec2>& points) {
        Polyline p;
        for (const Vec2& q : points) p.vertices.push_back({q.x, q.y, 0});
        p.bulges.assign(points.size(), 0);
        p.closed = true;
        return Entity{handle, p};
    };
    // Outer contour: deck top, cantilever tips 200 thick, inclined outer webs, soffit.
    const std::vector<Vec2> outline = {{0, 2000}, {12000, 2000}, {12000, 1800}, {9800, 1550},
                                       {9300, 0}, {2700, 0}, {2200, 1550}, {0, 1800}};
    // Two cells: top slab 250, bottom slab 220, centre web 400, haunched corners.
    const std::vector<Vec2> left = {{3100, 220}, {5500, 220}, {5800, 520}, {5800, 1450},
                                    {5500, 1750}, {2900, 1750}, {2650, 1600}};
    std::vector<Vec2> right;
    for (const Vec2& p : left) right.push_back({12000 - p.x, p.y});
    return {closed(0x2A, outline), closed(0x2B, left), closed(0x2C, right)};
}

}  // namespace standin
