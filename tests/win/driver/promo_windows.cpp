// The promotion windows with the real pointer: shown before the main window at their
// edges, topmost and without task-bar buttons, loading their pages; docking after about
// 5 s, revealed when the pointer touches the strip, steady on the outermost column; and,
// on a screen less high than the window, docking at the top edge.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window_ids.h"
#include "harness.h"
#include "promo/promo_window_ids.h"
#include "promo_common.h"

namespace driver {
namespace {

using namespace std::chrono_literals;
using promo_test::Geometry;
using Clock = std::chrono::steady_clock;

// The poll in which each of the tool's top-level windows was first seen visible. Polled
// without sleeping, so that windows shown one after another land in different polls.
struct ShowOrder {
    std::vector<HWND> windows;
    std::vector<long> firstPoll;
    long poll = 0;

    void observe(DWORD processId) {
        ++poll;
        struct Ctx {
            ShowOrder* self;
            DWORD processId;
        } ctx{this, processId};
        EnumWindows(
            [](HWND hwnd, LPARAM param) -> BOOL {
                auto* c = reinterpret_cast<Ctx*>(param);
                DWORD owner = 0;
                GetWindowThreadProcessId(hwnd, &owner);
                if (owner != c->processId || !IsWindowVisible(hwnd)) return TRUE;
                for (HWND known : c->self->windows)
                    if (known == hwnd) return TRUE;
                c->self->windows.push_back(hwnd);
                c->self->firstPoll.push_back(c->self->poll);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&ctx));
    }
    long seenAt(HWND hwnd) const {
        for (size_t i = 0; i < windows.size(); ++i)
            if (windows[i] == hwnd) return firstPoll[i];
        return -1;
    }
};

void checkWindow(Checks& checks, HWND hwnd, const std::wstring& name, int left, int top, const Geometry& g,
                 const wchar_t* url) {
    const RECT r = windowRect(hwnd);
    checks.expectEqual<long>(r.left, left, name + L" left");
    checks.expectEqual<long>(r.top, top, name + L" top");
    checks.expectEqual<long>(r.right - r.left, g.width, name + L" width (1965 twips)");
    checks.expectEqual<long>(r.bottom - r.top, g.height, name + L" height (9135 twips)");
    RECT client{};
    GetClientRect(hwnd, &client);
    checks.expect(client.right == r.right - r.left && client.bottom == r.bottom - r.top,
                  name + L" has no frame: client area is the whole window");
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(hwnd, GWL_EXSTYLE);
    checks.expect((style & WS_CAPTION) == 0 && (style & WS_POPUP), name + L" is a borderless popup");
    checks.expect(exStyle & WS_EX_TOPMOST, name + L" is topmost");
    // No task-bar button: a tool window with no owner and no app-window flag.
    checks.expect((exStyle & WS_EX_TOOLWINDOW) && !(exStyle & WS_EX_APPWINDOW), name + L" has no task-bar button");
    checks.expect(GetWindow(hwnd, GW_OWNER) == nullptr, name + L" has no owner");
    checks.expectEqual(windowText(hwnd), std::wstring(promo::kPromoTitle), name + L" title");
    // The pane is built just after the window comes up.
    waitFor([&] { return promo_test::locationUrl(hwnd) == url; }, 5s);
    checks.expectEqual(promo_test::locationUrl(hwnd), std::wstring(url), name + L" pane LocationURL");
    HWND pane = GetDlgItem(hwnd, promo::IdBrowserPane);
    checks.expect(pane != nullptr, name + L" has its browser pane");
    if (pane) {
        const RECT p = rectInParentClient(pane);
        checks.expect(p.left == g.px(-100) && p.top == g.px(-200) && p.right - p.left == g.px(2400) &&
                          p.bottom - p.top == g.px(9690),
                      name + L" pane at -100, -200, 2400 x 9690 twips");
    }
}

// Colours on the screen: the glyphs lie above the pane, the label shows the window colour.
void checkGlyphColours(Checks& checks, HWND hwnd, const std::wstring& name, const Geometry& g) {
    const RECT r = windowRect(hwnd);
    COLORREF close = 0, minimise = 0, label = 0;
    const auto isRed = [](COLORREF c) { return GetRValue(c) > 150 && GetGValue(c) < 100 && GetBValue(c) < 100; };
    const auto isBlue = [](COLORREF c) { return GetBValue(c) > 120 && GetRValue(c) < 100; };
    // Polled: the windows may not have painted yet when they are first seen.
    waitFor([&] {
        close = screenPixel(r.left + g.px(1680 + 100), r.top + g.px(600 + 60));
        minimise = screenPixel(r.left + g.px(1155 + 60), r.top + g.px(600 + 60));
        label = screenPixel(r.left + g.px(240), r.top + g.px(8760 + 200));
        return isRed(close) && isBlue(minimise) && label == 0x00F0D2C5u;
    }, 2s);
    checks.expect(isRed(close), name + L" close glyph (red) visible above the pane", L"colour " + std::to_wstring(close));
    checks.expect(isBlue(minimise), name + L" minimise glyph (blue) visible above the pane",
                  L"colour " + std::to_wstring(minimise));
    checks.expectEqual<unsigned>(label, 0x00F0D2C5u, name + L" Label1 in the window colour");
}

// Samples the window's left edge every 10 ms for `span`; true when it never moved from `expected`.
bool staysAt(HWND hwnd, long expected, std::chrono::milliseconds span, int* samples, long* seen) {
    const auto end = Clock::now() + span;
    *samples = 0;
    bool steady = true;
    while (Clock::now() < end) {
        const long left = windowRect(hwnd).left;
        ++*samples;
        if (left != expected) {
            steady = false;
            *seen = left;
        }
        std::this_thread::sleep_for(10ms);
    }
    return steady;
}

}  // namespace

int promoDocking(const std::wstring& tool, int dpi, const std::wstring& outDir) {
    Checks checks;
    checks.expectEqual(screenDpi(), dpi, L"screen DPI as the harness set it");
    const Geometry g = promo_test::currentGeometry();
    // The pointer away from both edges while the tool starts.
    moveMouseTo(g.screenWidth / 2, g.screenHeight - 40);

    Process process;
    if (!process.start(tool)) {
        checks.expect(false, L"start " + tool);
        return checks.summary();
    }
    const auto started = Clock::now();
    ShowOrder order;
    HWND main = nullptr;
    while (!(main = findTopLevel(process.id(), app::kMainWindowClass)) && Clock::now() - started < 30s) {
        order.observe(process.id());
        std::this_thread::yield();
    }
    order.observe(process.id());
    checks.expect(main != nullptr, L"main window shown");
    const auto mainSeen = Clock::now();
    const std::vector<HWND> promos = promo_test::promoWindows(process.id());
    checks.expectEqual<unsigned>(static_cast<unsigned>(promos.size()), 2u, L"two promotion windows");
    if (!main || promos.size() != 2) return checks.summary();
    HWND adfrm = windowRect(promos[0]).left > windowRect(promos[1]).left ? promos[0] : promos[1];
    HWND ad1frm = adfrm == promos[0] ? promos[1] : promos[0];

    // Start-up order: adfrm, then ad1frm, both on screen before the main window.
    const long a = order.seenAt(adfrm), b = order.seenAt(ad1frm), m = order.seenAt(main);
    checks.expect(a > 0 && b > 0 && m > 0 && a <= b && b < m,
                  L"on screen in the order adfrm, ad1frm, then the main window",
                  L"first seen in polls " + std::to_wstring(a) + L", " + std::to_wstring(b) + L", " +
                      std::to_wstring(m) + L" of " + std::to_wstring(order.poll));
    checks.expect(m > 1, L"the main window appeared after polling began", std::to_wstring(m));

    checks.expect(mainSeen - started < 4500ms, L"checked before the docking starts");
    const wchar_t* rightUrl = L"http://www.pontiro.example/gdownload.htm";
    const wchar_t* leftUrl = L"http://www.pontiro.example/bdownload.htm";
    checkWindow(checks, adfrm, L"adfrm", g.placedRightLeft(), g.placedTop(), g, rightUrl);
    checks.expectEqual<long>(windowRect(adfrm).right, g.screenWidth, L"adfrm right edge on the screen's right edge");
    checkWindow(checks, ad1frm, L"ad1frm", 0, g.placedTop(), g, leftUrl);
    checkGlyphColours(checks, adfrm, L"adfrm", g);
    checkGlyphColours(checks, ad1frm, L"ad1frm", g);
    saveScreenshot(outDir + L"\\promo-start-" + std::to_wstring(dpi) + L".bmp");

    // About 5 s after loading both hide to their strips.
    const bool hidden = waitFor([&] {
        return windowRect(adfrm).left == g.hiddenRightLeft() && windowRect(ad1frm).left == g.hiddenLeftLeft();
    }, 12s);
    const auto hiddenAfter = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    checks.expect(hidden, L"both hidden at their edges",
                  L"adfrm " + std::to_wstring(windowRect(adfrm).left) + L" (expected " +
                      std::to_wstring(g.hiddenRightLeft()) + L"), ad1frm " + std::to_wstring(windowRect(ad1frm).left) +
                      L" (expected " + std::to_wstring(g.hiddenLeftLeft()) + L")");
    checks.expect(hiddenAfter >= 4500ms, L"docking starts about 5 s after start",
                  std::to_wstring(hiddenAfter.count()) + L" ms");
    checks.expectEqual<long>(windowRect(adfrm).top, g.placedTop(), L"hiding keeps the top");
    checks.expect(waitFor([&] { return promo_test::locationUrl(ad1frm) == leftUrl; }, 1s),
                  L"hidden window keeps its page");

    // Right strip: the pointer on it reveals adfrm 10 twips beyond the edge; away, it hides.
    const int midY = g.placedTop() + g.height / 2;
    moveMouseTo(g.screenWidth - 2, midY);
    checks.expect(waitFor([&] { return windowRect(adfrm).left == g.revealedRightLeft(); }, 3s),
                  L"adfrm revealed when the pointer touches its strip",
                  L"left " + std::to_wstring(windowRect(adfrm).left) + L", expected " +
                      std::to_wstring(g.revealedRightLeft()));
    checks.expectEqual<long>(windowRect(ad1frm).left, g.hiddenLeftLeft(), L"ad1frm stays hidden meanwhile");
    moveMouseTo(g.screenWidth / 2, g.screenHeight - 40);
    checks.expect(waitFor([&] { return windowRect(adfrm).left == g.hiddenRightLeft(); }, 3s),
                  L"adfrm hides again when the pointer leaves");

    // Left strip, then the outermost column: revealed at -10 twips (-1 pixel) and steady.
    moveMouseTo(1, midY);
    checks.expect(waitFor([&] { return windowRect(ad1frm).left == g.revealed(); }, 3s),
                  L"ad1frm revealed at -10 twips", L"left " + std::to_wstring(windowRect(ad1frm).left));
    moveMouseTo(0, midY);
    int samples = 0;
    long seen = 0;
    checks.expect(staysAt(ad1frm, g.revealed(), 1000ms, &samples, &seen),
                  L"pointer on the outermost column keeps ad1frm revealed without flicker",
                  L"left " + std::to_wstring(seen) + L" seen among " + std::to_wstring(samples) + L" samples");
    checks.expect(samples >= 20, L"positions sampled over a second", std::to_wstring(samples) + L" samples");
    // One revealed, one hidden: the picture for people to look at.
    checks.expectEqual<long>(windowRect(adfrm).left, g.hiddenRightLeft(), L"adfrm hidden for the screenshot");
    saveScreenshot(outDir + L"\\promo-one-revealed-" + std::to_wstring(dpi) + L".bmp");
    moveMouseTo(g.screenWidth / 2, g.screenHeight - 40);
    checks.expect(waitFor([&] { return windowRect(ad1frm).left == g.hiddenLeftLeft(); }, 3s),
                  L"ad1frm hides again when the pointer leaves");
    checks.expect(findTopLevel(process.id(), app::kMainWindowClass) == main, L"main window still up");
    return checks.summary();
}

// Run on a screen less high than the window: both windows start partly above it and dock
// at the top edge instead of their side edges.
int promoShortScreen(const std::wstring& tool, const std::wstring& outDir) {
    Checks checks;
    const Geometry g = promo_test::currentGeometry();
    checks.expect(g.screenHeight < g.height, L"screen less high than the window",
                  std::to_wstring(g.screenHeight) + L" pixels");
    moveMouseTo(g.screenWidth / 2, g.screenHeight - 20);
    Process process;
    if (!launchTool(checks, process, tool)) return checks.summary();
    const std::vector<HWND> promos = promo_test::promoWindows(process.id());
    checks.expectEqual<unsigned>(static_cast<unsigned>(promos.size()), 2u, L"two promotion windows");
    if (promos.size() != 2) return checks.summary();
    HWND adfrm = windowRect(promos[0]).left > windowRect(promos[1]).left ? promos[0] : promos[1];
    HWND ad1frm = adfrm == promos[0] ? promos[1] : promos[0];
    checks.expectEqual<long>(windowRect(adfrm).top, g.placedTop(), L"adfrm placed with a negative top");
    checks.expect(g.placedTop() < 0, L"placed top is negative", std::to_wstring(g.placedTop()));
    checks.expectEqual<long>(windowRect(ad1frm).top, g.placedTop(), L"ad1frm placed with a negative top");

    const bool docked = waitFor([&] {
        return windowRect(adfrm).top == g.hiddenTop() && windowRect(ad1frm).top == g.hiddenTop();
    }, 12s);
    checks.expect(docked, L"both hidden at the top edge",
                  L"tops " + std::to_wstring(windowRect(adfrm).top) + L", " + std::to_wstring(windowRect(ad1frm).top) +
                      L", expected " + std::to_wstring(g.hiddenTop()));
    checks.expectEqual<long>(windowRect(adfrm).left, g.placedRightLeft(), L"adfrm keeps its left");
    checks.expectEqual<long>(windowRect(ad1frm).left, 0L, L"ad1frm keeps its left");

    // The pointer on the top row over the left window reveals it at -10 twips and keeps it.
    moveMouseTo(g.width / 2, 0);
    checks.expect(waitFor([&] { return windowRect(ad1frm).top == g.revealed(); }, 3s),
                  L"ad1frm revealed at the top", L"top " + std::to_wstring(windowRect(ad1frm).top));
    int samples = 0;
    long seen = 0;
    const auto topSteady = [&] {
        const auto end = Clock::now() + 1000ms;
        bool steady = true;
        while (Clock::now() < end) {
            ++samples;
            if (windowRect(ad1frm).top != g.revealed()) {
                steady = false;
                seen = windowRect(ad1frm).top;
            }
            std::this_thread::sleep_for(10ms);
        }
        return steady;
    };
    checks.expect(topSteady(), L"pointer on the top row keeps it revealed",
                  L"top " + std::to_wstring(seen) + L" among " + std::to_wstring(samples) + L" samples");
    checks.expectEqual<long>(windowRect(adfrm).top, g.hiddenTop(), L"adfrm stays hidden");
    saveScreenshot(outDir + L"\\promo-short-screen.bmp");
    moveMouseTo(g.screenWidth / 2, g.screenHeight - 20);
    checks.expect(waitFor([&] { return windowRect(ad1frm).top == g.hiddenTop(); }, 3s), L"ad1frm hides upwards again");
    return checks.summary();
}

}  // namespace driver
