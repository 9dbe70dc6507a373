// Shared helpers of the promotion-window scenarios.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace driver::promo_test {

// Every top-level promotion window of the process, visible or not.
std::vector<HWND> promoWindows(DWORD processId);
// The address the window's browser pane holds, through the tool's test query.
std::wstring locationUrl(HWND promo);

// Expected pixel positions, computed the way the tool rounds (nearest, halves away from 0).
struct Geometry {
    double tpp = 15;
    int screenWidth = 0, screenHeight = 0;  // pixels
    int width = 0, height = 0;              // the window's, pixels
    int px(double twips) const;
    int placedTop() const;
    int placedRightLeft() const;
    int hiddenRightLeft() const;
    int revealedRightLeft() const;
    int hiddenLeftLeft() const;
    int hiddenTop() const;
    int revealed() const { return px(-10); }
};
Geometry currentGeometry();

}  // namespace driver::promo_test
