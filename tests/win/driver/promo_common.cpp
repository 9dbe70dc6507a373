#include "promo_common.h"

#include <cmath>

#include "harness.h"
#include "promo/docking.h"
#include "promo/promo_window_ids.h"

namespace driver::promo_test {

std::vector<HWND> promoWindows(DWORD processId) {
    struct Search {
        DWORD processId;
        std::vector<HWND> found;
    } search{processId, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner == s->processId && className(hwnd) == promo::kPromoWindowClass) s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring locationUrl(HWND promo) {
    const UINT message = RegisterWindowMessageW(promo::kLocationQueryMessage);
    DWORD_PTR atom = 0;
    if (!SendMessageTimeoutW(promo, message, 0, 0, SMTO_ABORTIFHUNG, 5000, &atom) || atom == 0) return L"";
    wchar_t name[256] = {};
    const UINT length = GlobalGetAtomNameW(static_cast<ATOM>(atom), name, 256);
    GlobalDeleteAtom(static_cast<ATOM>(atom));
    return std::wstring(name, length);
}

int Geometry::px(double twips) const { return static_cast<int>(std::lround(twips / tpp)); }
int Geometry::placedTop() const {
    return px((screenHeight * tpp - height * tpp) / 3.0);
}
int Geometry::placedRightLeft() const { return px(screenWidth * tpp - width * tpp); }
int Geometry::hiddenRightLeft() const { return px(screenWidth * tpp - 40); }
int Geometry::revealedRightLeft() const { return px(screenWidth * tpp - width * tpp + 10); }
int Geometry::hiddenLeftLeft() const { return px(40 - width * tpp); }
int Geometry::hiddenTop() const { return px(40 - height * tpp); }

Geometry currentGeometry() {
    Geometry g;
    g.tpp = 1440.0 / screenDpi();
    g.screenWidth = GetSystemMetrics(SM_CXSCREEN);
    g.screenHeight = GetSystemMetrics(SM_CYSCREEN);
    g.width = g.px(promo::kWindowWidthTwips);
    g.height = g.px(promo::kWindowHeightTwips);
    return g;
}

}  // namespace driver::promo_test
