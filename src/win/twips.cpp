#include "win/twips.h"

#include <cmath>

namespace win {

TwipsPerPixel twipsPerPixelForDpi(int dpiX, int dpiY) {
    // A broken device context must not give a division by zero.
    return {dpiX > 0 ? 1440.0 / dpiX : 15.0, dpiY > 0 ? 1440.0 / dpiY : 15.0};
}

int twipsToPixels(double twips, double twipsPerPixel) {
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

PixelRect toPixels(const TwipsRect& r, const TwipsPerPixel& tpp) {
    return {twipsToPixels(r.left, tpp.x), twipsToPixels(r.top, tpp.y),
            twipsToPixels(r.width, tpp.x), twipsToPixels(r.height, tpp.y)};
}

}  // namespace win
