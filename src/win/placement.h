// Where a window goes on the screen: centring, the pixel arguments of the topmost
// placement, and the help command's two heights. Plain code: no windows.h.
#pragma once

#include <cstdint>

#include "win/twips.h"

namespace win {

// Outer left and top in twips. Single precision, no rounding, no clamping: a window larger
// than the screen gets a negative offset. A third of the free height lies above the window.
struct CentredPosition {
    float left = 0;
    float top = 0;
};
CentredPosition centredPosition(float screenWidth, float windowWidth, float screenHeight,
                                float windowHeight);

// Nearest integer, a half going to the even neighbour.
double roundHalfEven(double value);

// SetWindowPos arguments for a window whose outer geometry is given in twips. X alone is
// rounded; Y, cx and cy are integer divisions of rounded operands, truncated toward zero.
struct TopmostPixels {
    int x = 0, y = 0, cx = 0, cy = 0;
    bool operator==(const TopmostPixels&) const = default;
};
TopmostPixels topmostPixels(double leftTwips, double topTwips, double widthTwips,
                            double heightTwips, const TwipsPerPixel& tpp);

// The same for a window of this outer pixel size whose outer left and top in twips come from
// a position rule (centred, or at an edge): each is first rounded to a whole pixel.
TopmostPixels topmostAt(float leftTwips, float topTwips, int width, int height, const TwipsPerPixel& tpp);

// The help command: each press toggles between the tall and the short outer height.
inline constexpr double kTallHeightTwips = 6700;
inline constexpr double kShortHeightTwips = 4080;

class HelpToggle {
public:
    // Counts a press and returns the outer height (twips) it sets. The count wraps instead
    // of overflowing; its parity, and so the alternation, carries on across the wrap.
    double press();

protected:
    std::int16_t count_ = 0;
};

}  // namespace win
