#include "rules/view.h"

#include <algorithm>
#include <cmath>

namespace standin {

ViewTransform ViewTransform::fit(const Bounds& bounds, const PixelRect& canvas, double marginPx) {
    ViewTransform t;
    t.pixelCentre_ = {(canvas.left + canvas.right) / 2, (canvas.top + canvas.bottom) / 2};
    if (bounds.empty) return t;
    t.drawingCentre_ = {(bounds.minX + bounds.maxX) / 2, (bounds.minY + bounds.maxY) / 2};
    const double width = bounds.maxX - bounds.minX;
    const double height = bounds.maxY - bounds.minY;
    const double roomX = std::max(1.0, canvas.right - canvas.left - 2 * marginPx);
    const double roomY = std::max(1.0, canvas.bottom - canvas.top - 2 * marginPx);
    double scale = 0;
    if (width > 0) scale = roomX / width;
    if (height > 0) scale = scale > 0 ? std::min(scale, roomY / height) : roomY / height;
    t.scale_ = scale > 0 ? scale : 1;
    return t;
}

Vec2 ViewTransform::toPixel(Vec2 d) const {
    return {pixelCentre_.x + (d.x - drawingCentre_.x) * scale_,
            pixelCentre_.y - (d.y - drawingCentre_.y) * scale_};
}

Vec2 ViewTransform::toDrawing(Vec2 p) const {
    return {drawingCentre_.x + (p.x - pixelCentre_.x) / scale_,
            drawingCentre_.y - (p.y - pixelCentre_.y) / scale_};
}

std::optional<Vec2> snapToVertex(const std::vector<Vec2>& vertices, const ViewTransform& view,
                                 Vec2 pixel, double radiusPx) {
    std::optional<Vec2> best;
    double bestDistance = radiusPx;
    for (const Vec2& v : vertices) {
        const Vec2 p = view.toPixel(v);
        const double distance = std::hypot(p.x - pixel.x, p.y - pixel.y);
        if (distance <= bestDistance) {
            bestDistance = distance;
            best = v;
        }
    }
    return best;
}

std::optional<PointStyle> pointStyle(int pdmode) {
    if (pdmode < 0 || (pdmode & ~(31 | 32 | 64)) != 0) return std::nullopt;
    const int figure = pdmode & 31;
    if (figure > 4) return std::nullopt;
    PointStyle style;
    style.figure = static_cast<PointFigure>(figure);
    style.circle = (pdmode & 32) != 0;
    style.square = (pdmode & 64) != 0;
    return style;
}

}  // namespace standin
