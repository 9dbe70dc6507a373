#include "promo/docking.h"

#include "win/placement.h"

namespace promo {

EdgePosition edgePosition(Edge edge, float screenWidth, float windowWidth, float screenHeight,
                          float windowHeight) {
    EdgePosition p;
    // As high as a centred window.
    p.top = win::centredPosition(screenWidth, windowWidth, screenHeight, windowHeight).top;
    p.left = edge == Edge::Right ? screenWidth - windowWidth : 0.0f;
    return p;
}

std::optional<DockMove> dockingStep(PixelPoint pointer, PixelBounds rect, WindowState state,
                                    const TwipsGeometry& window, double screenWidthTwips) {
    if (state == WindowState::Minimised) return std::nullopt;

    // The rectangle's left and top column and row count as outside, its right and bottom
    // (exclusive) as inside.
    const bool inside = rect.left < pointer.x && pointer.x < rect.right && rect.top < pointer.y &&
                        pointer.y < rect.bottom;
    // The right-edge tests run in single precision, as the position properties hold it.
    const float rightEdge = static_cast<float>(window.left) + static_cast<float>(window.width);
    const float screenWidth = static_cast<float>(screenWidthTwips);

    DockMove move{window.left, window.top, inside};
    if (inside) {
        if (window.top < 0) {
            move.top = -kRevealOverlapTwips;
        } else if (window.left < 0) {
            move.left = -kRevealOverlapTwips;
        } else if (rightEdge >= screenWidth) {
            move.left = screenWidthTwips - window.width + kRevealOverlapTwips;
        } else {
            return std::nullopt;
        }
    } else {
        // Looser than the inside tests, so a window near an edge snaps to it.
        if (rect.top <= kEdgeDistancePixels) {
            move.top = kVisibleStripTwips - window.height;
        } else if (rect.left <= kEdgeDistancePixels) {
            move.left = kVisibleStripTwips - window.width;
        } else if (screenWidth - kRightEdgeDistanceTwips <= rightEdge) {
            move.left = screenWidthTwips - kVisibleStripTwips;
        } else {
            return std::nullopt;
        }
    }
    return move;
}

}  // namespace promo
