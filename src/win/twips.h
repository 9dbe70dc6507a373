// Twips (1/1440 inch) to screen pixels. Plain code: no windows.h.
#pragma once

namespace win {

struct TwipsPerPixel {
    double x = 15.0;  // 1440 / logical DPI
    double y = 15.0;
};

TwipsPerPixel twipsPerPixelForDpi(int dpiX, int dpiY);

// Nearest whole pixel, halves away from zero, so that small negative offsets such as
// -10 twips stay off-screen (-1 pixel) instead of collapsing to 0.
int twipsToPixels(double twips, double twipsPerPixel);

struct PixelRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const PixelRect&) const = default;
};

struct TwipsRect {
    double left = 0, top = 0, width = 0, height = 0;
};

// Each edge and extent converted on its own, the way a twips-based layout is placed.
PixelRect toPixels(const TwipsRect& r, const TwipsPerPixel& tpp);

}  // namespace win
