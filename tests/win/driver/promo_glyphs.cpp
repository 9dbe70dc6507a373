// The promotion window's own controls, clicked with the real pointer: the minimise glyph
// minimises that window for good, a double-click on Label1 closes that window alone, and
// the close glyph ends the whole tool.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window_ids.h"
#include "harness.h"
#include "promo_common.h"

namespace driver {
namespace {

using namespace std::chrono_literals;
using promo_test::Geometry;

POINT pointIn(HWND promo, const Geometry& g, double leftTwips, double topTwips) {
    const RECT r = windowRect(promo);
    return {r.left + g.px(leftTwips), r.top + g.px(topTwips)};
}

struct Started {
    HWND main = nullptr, adfrm = nullptr, ad1frm = nullptr;
};

Started startTool(Checks& checks, Process& process, const std::wstring& tool) {
    Started s;
    s.main = launchTool(checks, process, tool);
    if (!s.main) return s;
    const std::vector<HWND> promos = promo_test::promoWindows(process.id());
    checks.expectEqual<unsigned>(static_cast<unsigned>(promos.size()), 2u, L"two promotion windows");
    if (promos.size() == 2) {
        s.adfrm = windowRect(promos[0]).left > windowRect(promos[1]).left ? promos[0] : promos[1];
        s.ad1frm = s.adfrm == promos[0] ? promos[1] : promos[0];
    }
    return s;
}

}  // namespace

int promoGlyphs(const std::wstring& tool, const std::wstring& outDir) {
    Checks checks;
    const Geometry g = promo_test::currentGeometry();
    const POINT away{g.screenWidth / 2, g.screenHeight - 40};
    moveMouseTo(away.x, away.y);
    {
        Process process;
        const Started s = startTool(checks, process, tool);
        if (!s.adfrm) return checks.summary();

        // Minimise glyph of adfrm (Image1, 1155, 600, 435 x 435 twips).
        const RECT before = windowRect(s.adfrm);
        const POINT minimise = pointIn(s.adfrm, g, 1155 + 217, 600 + 217);
        clickAt(minimise.x, minimise.y);
        moveMouseTo(away.x, away.y);
        checks.expect(waitFor([&] { return IsIconic(s.adfrm) != 0; }, 3s), L"minimise glyph minimises adfrm");

        // Double-click on Label1 of ad1frm (0, 8760, 495 x 420 twips) closes ad1frm alone.
        const POINT label = pointIn(s.ad1frm, g, 240, 8760 + 200);
        clickAt(label.x, label.y);
        clickAt(label.x, label.y);
        moveMouseTo(away.x, away.y);
        checks.expect(waitFor([&] { return !IsWindow(s.ad1frm); }, 3s), L"Label1 double-click closes ad1frm");
        checks.expect(IsWindow(s.adfrm) != 0, L"adfrm goes on");
        checks.expect(findTopLevel(process.id(), app::kMainWindowClass) == s.main, L"main window goes on");
        checks.expect(!process.waitExit(0ms), L"the tool goes on");

        // With the docking armed (after 5 s), the minimised window is still minimised and unmoved.
        std::this_thread::sleep_for(6500ms);
        checks.expect(IsIconic(s.adfrm) != 0, L"adfrm stays minimised with docking armed");
        checks.expect(IsWindow(s.adfrm) && !IsWindow(s.ad1frm), L"no window came back");
        checks.expect(before.left != windowRect(s.adfrm).left || IsIconic(s.adfrm), L"minimised adfrm left alone");
        saveScreenshot(outDir + L"\\promo-glyphs.bmp");
    }
    {
        // Close glyph (Image2, 1680, 600; its visible part) ends the whole tool.
        Process process;
        const Started s = startTool(checks, process, tool);
        if (!s.ad1frm) return checks.summary();
        const POINT close = pointIn(s.ad1frm, g, 1680 + 120, 600 + 217);
        clickAt(close.x, close.y);
        moveMouseTo(away.x, away.y);
        checks.expect(process.waitExit(5s), L"close glyph ends the tool");
        checks.expect(findTopLevel(process.id(), app::kMainWindowClass) == nullptr, L"main window gone with it");
    }
    return checks.summary();
}

}  // namespace driver
