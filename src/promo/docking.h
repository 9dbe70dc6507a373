// Where a promotion window goes: its place at a screen edge after loading, and the docking
// step that hides it behind that edge and brings it back under the pointer. Plain code: no
// windows.h.
#pragma once

#include <optional>

namespace promo {

// Both promotion windows share one outer size, in twips.
inline constexpr double kWindowWidthTwips = 1965;
inline constexpr double kWindowHeightTwips = 9135;

// Docking constants.
inline constexpr int kEdgeDistancePixels = 4;       // top and left edges, on the pixel rectangle
inline constexpr float kRightEdgeDistanceTwips = 4;  // right edge, on the twip position
inline constexpr double kVisibleStripTwips = 40;     // what a hidden window leaves on the screen
inline constexpr double kRevealOverlapTwips = 10;    // how far a revealed window lies beyond its edge

enum class Edge { Left, Right };

// Outer left and top in twips, single precision and unrounded: at the given edge, a third of
// the free height above the window. A screen less high than the window gives a negative top.
struct EdgePosition {
    float left = 0;
    float top = 0;
};
EdgePosition edgePosition(Edge edge, float screenWidth, float windowWidth, float screenHeight,
                          float windowHeight);

enum class WindowState { Normal, Minimised, Maximised };

struct PixelPoint {
    int x = 0, y = 0;
};

// Screen pixels; right and bottom exclusive.
struct PixelBounds {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct TwipsGeometry {
    double left = 0, top = 0, width = 0, height = 0;
};

// What one step asks of the window: its new outer left and top in twips, and whether to show
// it again (a reveal does, a hide does not).
struct DockMove {
    double left = 0;
    double top = 0;
    bool showAgain = false;
    bool operator==(const DockMove&) const = default;
};

// One tick of the docking timer. The edge a window is docked at follows from its position
// alone: top first, then left, then right; the bottom edge never docks. No move when the
// window is minimised or touches no edge.
std::optional<DockMove> dockingStep(PixelPoint pointer, PixelBounds rect, WindowState state,
                                    const TwipsGeometry& window, double screenWidthTwips);

}  // namespace promo
