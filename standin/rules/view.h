// The drawing view: zoom to fit, drawing <-> pixel coordinates (Y up in the drawing, down
// on screen), the endpoint snap and the point display style. Plain code: no windows.h.
#pragma once

#include <optional>
#include <vector>

#include "rules/geometry.h"

namespace standin {

struct PixelRect {
    double left = 0, top = 0, right = 0, bottom = 0;
};

class ViewTransform {
public:
    ViewTransform() = default;
    // Fits `bounds` into `canvas` leaving `marginPx` on every side, centred, same scale on
    // both axes. Empty or degenerate bounds get a scale of 1 around their centre.
    static ViewTransform fit(const Bounds& bounds, const PixelRect& canvas, double marginPx);

    Vec2 toPixel(Vec2 drawing) const;
    Vec2 toDrawing(Vec2 pixel) const;
    double pixelsPerUnit() const { return scale_; }

private:
    double scale_ = 1;       // pixels per drawing unit
    Vec2 drawingCentre_;     // drawn at pixelCentre_
    Vec2 pixelCentre_;
};

// The vertex nearest to the pixel position, if it lies within `radiusPx` on screen.
std::optional<Vec2> snapToVertex(const std::vector<Vec2>& vertices, const ViewTransform& view,
                                 Vec2 pixel, double radiusPx);

// How a point entity is drawn for a value of the point display mode "pdmode".
enum class PointFigure { Dot, None, Plus, Cross, Tick };
struct PointStyle {
    PointFigure figure = PointFigure::Dot;
    bool circle = false;
    bool square = false;
};
// Low bits 0-4 pick the figure, +32 adds a circle, +64 a square. Empty for values the
// CAD refuses (negative, or a figure number above 4).
std::optional<PointStyle> pointStyle(int pdmode);

}  // namespace standin
