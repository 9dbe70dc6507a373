#include "win/placement.h"

#include <cmath>

namespace win {

CentredPosition centredPosition(float screenWidth, float windowWidth, float screenHeight,
                                float windowHeight) {
    CentredPosition p;
    p.top = (screenHeight - windowHeight) / 3.0f;
    p.left = (screenWidth - windowWidth) / 2.0f;
    return p;
}

double roundHalfEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction > 0.5) return lower + 1;
    if (fraction < 0.5) return lower;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

namespace {

// Integer division of rounded operands. A factor that rounds to 0 (beyond 2880 DPI) is
// taken as 1 rather than dividing by zero.
int integerDivide(double twips, double factor) {
    const double divisor = roundHalfEven(factor);
    const auto numerator = static_cast<long long>(roundHalfEven(twips));
    return static_cast<int>(numerator / static_cast<long long>(divisor >= 1 ? divisor : 1));
}

}  // namespace

TopmostPixels topmostPixels(double leftTwips, double topTwips, double widthTwips,
                            double heightTwips, const TwipsPerPixel& tpp) {
    TopmostPixels p;
    p.x = static_cast<int>(roundHalfEven(leftTwips / tpp.x));
    p.y = integerDivide(topTwips, tpp.y);
    p.cx = integerDivide(widthTwips, tpp.x);
    p.cy = integerDivide(heightTwips, tpp.y);
    return p;
}

TopmostPixels topmostAt(float leftTwips, float topTwips, int width, int height, const TwipsPerPixel& tpp) {
    const int left = twipsToPixels(leftTwips, tpp.x);
    const int top = twipsToPixels(topTwips, tpp.y);
    return topmostPixels(left * tpp.x, top * tpp.y, width * tpp.x, height * tpp.y, tpp);
}

double HelpToggle::press() {
    count_ = static_cast<std::int16_t>(static_cast<std::uint16_t>(count_) + 1u);
    return count_ % 2 != 0 ? kTallHeightTwips : kShortHeightTwips;
}

}  // namespace win
