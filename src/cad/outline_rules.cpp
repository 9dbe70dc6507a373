#include "cad/outline_rules.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cad {

namespace {

constexpr double kStep = kArcStepDegrees * std::numbers::pi / 180.0;

double distanceSquared(Point2 a, Point2 b) {
    return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}

std::size_t nearestIndex(std::span<const Point2> points, Point2 click) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
        if (distanceSquared(points[i], click) < distanceSquared(points[best], click)) best = i;
    return best;
}

}  // namespace

bool samePoint(Point2 a, Point2 b) {
    const double scale = std::max({1.0, std::fabs(a.x), std::fabs(a.y), std::fabs(b.x), std::fabs(b.y)});
    return std::fabs(a.x - b.x) <= 1e-9 * scale && std::fabs(a.y - b.y) <= 1e-9 * scale;
}

std::optional<int> planeSide(double nx, double ny, double nz) {
    constexpr double kTolerance = 1e-9;
    if (std::fabs(nx) > kTolerance || std::fabs(ny) > kTolerance || std::fabs(std::fabs(nz) - 1.0) > kTolerance)
        return std::nullopt;
    return nz > 0 ? 1 : -1;
}

std::vector<Point2> arcInnerPoints(Point2 a, Point2 b, double bulge) {
    std::vector<Point2> inner;
    const double sweep = 4.0 * std::atan(bulge);
    const double chord = std::sqrt(distanceSquared(a, b));
    if (bulge == 0.0 || !std::isfinite(sweep) || chord == 0.0) return inner;
    // A half circle is 12 steps exactly, not 13 for the last bit of rounding in atan.
    const int n = static_cast<int>(std::ceil(std::fabs(sweep) / kStep - 1e-9));
    // The centre lies off the chord's midpoint, to the left of a to b for a counterclockwise arc.
    const double offset = (1.0 - bulge * bulge) / (4.0 * bulge);
    const Point2 centre{(a.x + b.x) / 2 - (b.y - a.y) * offset, (a.y + b.y) / 2 + (b.x - a.x) * offset};
    const double radius = std::sqrt(distanceSquared(a, centre));
    const double start = std::atan2(a.y - centre.y, a.x - centre.x);
    for (int j = 1; j < n; ++j) {
        const double angle = start + sweep * j / n;
        inner.push_back({centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
    }
    return inner;
}

std::vector<Point2> polylineNodes(std::span<const Point2> vertices, std::span<const double> bulges, bool closed,
                                  Point2 click) {
    struct Vertex {
        Point2 at;
        double bulge;
    };
    std::vector<Vertex> kept;
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        const double bulge = i < bulges.size() ? bulges[i] : 0.0;
        // A repeated vertex ends a segment of no length: the arc after it is the kept one's.
        if (!kept.empty() && samePoint(kept.back().at, vertices[i])) kept.back().bulge = bulge;
        else kept.push_back({vertices[i], bulge});
    }
    if (closed && kept.size() > 1 && samePoint(kept.back().at, kept.front().at)) kept.pop_back();
    if (kept.empty()) return {};

    // Rotate a closed polyline to its vertex nearest the click, before the arcs are split.
    std::vector<Point2> corners;
    for (const Vertex& v : kept) corners.push_back(v.at);
    if (closed) std::rotate(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(nearestIndex(corners, click)), kept.end());

    std::vector<Point2> nodes;
    const std::size_t segments = closed ? kept.size() : kept.size() - 1;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        nodes.push_back(kept[i].at);
        if (i < segments) {
            const auto inner = arcInnerPoints(kept[i].at, kept[(i + 1) % kept.size()].at, kept[i].bulge);
            nodes.insert(nodes.end(), inner.begin(), inner.end());
        }
    }
    if (!closed && distanceSquared(kept.back().at, click) < distanceSquared(kept.front().at, click))
        std::reverse(nodes.begin(), nodes.end());
    return nodes;
}

std::vector<Point2> circleNodes(Point2 centre, double radius, Point2 click) {
    std::vector<Point2> nodes;
    for (int j = 0; j < kCircleNodes; ++j) {
        const double angle = kStep * j;
        nodes.push_back({centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
    }
    std::rotate(nodes.begin(), nodes.begin() + static_cast<std::ptrdiff_t>(nearestIndex(nodes, click)), nodes.end());
    return nodes;
}

}  // namespace cad
