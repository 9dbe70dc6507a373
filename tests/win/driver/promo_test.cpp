// The promotion windows with the real pointer: placed at their edges before the main window
// shows, docking about 5 s later, revealed while the pointer is on their strip; docking at the
// top on a screen less high than they are; their glyphs.
#include <gtest/gtest.h>

#include <set>

#include "harness.h"
#include "promo/promo_window_ids.h"

namespace driver {

using Clock = std::chrono::steady_clock;
using XY = std::pair<long, long>;  // a window's left and top
static XY xy(HWND hwnd) { return {windowRect(hwnd).left, windowRect(hwnd).top}; }

// Expected pixels, rounded as the tool rounds: from twips to the nearest pixel. A window is
// 1965 x 9135 twips; docked, 40 twips of it stay on the screen; revealed, 10 lie beyond the edge.
struct Geometry {
    double tpp = 1440.0 / screenDpi();
    long screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    long px(double twips) const { return std::lround(twips / tpp); }
    long width = px(1965), height = px(9135), top = px((screenHeight * tpp - height * tpp) / 3);
    POINT away() const { return {screenWidth / 2, screenHeight - 40}; }
    // A window's place, docked and revealed, and where the pointer reveals it and keeps it
    // revealed: at its side edge, or at the top edge on a screen less high than the window.
    struct Edge { XY placed, docked, revealed; POINT strip, outermost; };
    Edge edge(bool right) const {
        const double screen = screenWidth * tpp, w = width * tpp;
        const long left = right ? px(screen - w) : 0, middle = top + height / 2;
        const POINT topRow{left + width / 2, 0};
        if (screenHeight < height) return {{left, top}, {left, px(40 - height * tpp)}, {left, px(-10)}, topRow, topRow};
        if (!right) return {{left, top}, {px(40 - w), top}, {px(-10), top}, {1, middle}, {0, middle}};
        return {{left, top}, {px(screen - 40), top}, {px(screen - w + 10), top}, {screenWidth - 2, middle},
                {screenWidth - 1, middle}};
    }
};

// The two windows: the edge they keep and the page they show.
static const struct { const char* name; bool right; const wchar_t* address; } kWindows[] = {
    {"adfrm", true, L"http://www.pontiro.example/gdownload.htm"},
    {"ad1frm", false, L"http://www.pontiro.example/bdownload.htm"}};

// The address in the window's browser pane, through the tool's test query.
static std::wstring locationUrl(HWND promo) {
    const auto atom = static_cast<ATOM>(sendTimeout(promo, RegisterWindowMessageW(promo::kLocationQueryMessage)));
    wchar_t name[256] = {};
    const UINT length = atom ? GlobalGetAtomNameW(atom, name, 256) : 0;
    GlobalDeleteAtom(atom);
    return {name, length};
}

TEST(Docking, WithTheRealPointer) {
    ASSERT_EQ(screenDpi(), argDpi()) << "screen DPI as the harness set it";
    const Geometry g;
    moveMouseTo(g.away().x, g.away().y);
    Process process;
    const auto started = Clock::now();
    HWND main = launchTool(process, arg(0));
    std::vector<HWND> promos = windowsOf(process.id(), promo::kPromoWindowClass, true);  // as in kWindows: right first
    std::sort(promos.begin(), promos.end(), [](HWND a, HWND b) { return windowRect(a).left > windowRect(b).left; });
    ASSERT_TRUE(main && promos.size() == 2) << "main window and two promotion windows";
    ASSERT_LT(Clock::now() - started, 4500ms) << "checked before the docking starts";
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(kWindows[i].name);
        HWND w = promos[i];
        const XY placed = g.edge(kWindows[i].right).placed;
        EXPECT_EQ(box(windowRect(w)), (Box{placed.first, placed.second, g.width, g.height}));
        const LONG exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_APPWINDOW;
        EXPECT_EQ(GetWindowLongW(w, GWL_EXSTYLE) & exStyle, WS_EX_TOPMOST | WS_EX_TOOLWINDOW) << "no task-bar button";
        EXPECT_EQ(windowText(w), L"休息一下，马上回来！");
        EXPECT_TRUE(waitFor([&] { return locationUrl(w) == kWindows[i].address; }, 5s)) << "the page";
    }
    const auto bothDocked = [&] { return xy(promos[0]) == g.edge(1).docked && xy(promos[1]) == g.edge(0).docked; };
    EXPECT_TRUE(waitFor(bothDocked, 12s)) << testing::PrintToString(std::pair(xy(promos[0]), xy(promos[1])));
    EXPECT_GE(Clock::now() - started, 4500ms) << "docking starts about 5 s after start";

    // The pointer on a strip reveals that window alone, steady while the pointer stays on the
    // outermost row or column; when it leaves, the window docks again.
    const auto reveal = [&](int i) {
        const Geometry::Edge e = g.edge(kWindows[i].right);
        moveMouseTo(e.strip.x, e.strip.y);
        return waitFor([&] { return xy(promos[i]) == e.revealed; }, 3s);
    };
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(kWindows[i].name);
        const Geometry::Edge e = g.edge(kWindows[i].right);
        EXPECT_TRUE(reveal(i)) << testing::PrintToString(xy(promos[i]));
        moveMouseTo(e.outermost.x, e.outermost.y);
        std::set<XY> seen;  // sampled every 10 ms for a second
        for (const auto end = Clock::now() + 1s; Clock::now() < end; Sleep(10)) seen.insert(xy(promos[i]));
        EXPECT_EQ(seen, std::set<XY>{e.revealed}) << "no flicker";
        EXPECT_EQ(xy(promos[1 - i]), g.edge(kWindows[1 - i].right).docked) << "the other stays docked";
        moveMouseTo(g.away().x, g.away().y);
        EXPECT_TRUE(waitFor([&] { return xy(promos[i]) == e.docked; }, 3s)) << "docked again";
    }

    // The glyphs, clicked on revealed windows: a double click on Label1 closes ad1frm alone,
    // the minimise glyph minimises adfrm for good; restored, adfrm's close glyph closes adfrm
    // alone: the node list lives on in the main window, whose exit button ends the tool.
    const auto clickIn = [&](int i, double x, double y, int clicks) {  // twips in the window
        EXPECT_TRUE(reveal(i));
        while (clicks--) clickAt(windowRect(promos[i]).left + g.px(x), windowRect(promos[i]).top + g.px(y));
        moveMouseTo(g.away().x, g.away().y);
    };
    if (g.screenHeight > g.height) {  // Label1 (495 x 420 twips) lies below a short screen
        clickIn(1, 240, 8760 + 200, 2);
        EXPECT_TRUE(waitFor([&] { return !IsWindow(promos[1]); }, 3s)) << "ad1frm closed";
    }
    clickIn(0, 1155 + 217, 600 + 217, 1);  // Image1, 435 twips square
    EXPECT_TRUE(waitFor([&] { return IsIconic(promos[0]) != 0; }, 3s)) << "adfrm minimised";
    Sleep(500);
    EXPECT_TRUE(IsIconic(promos[0])) << "the docking leaves a minimised window alone";
    EXPECT_EQ(findTopLevel(process.id(), app::kMainWindowClass), main) << "the main window goes on";
    ShowWindow(promos[0], SW_RESTORE);
    clickIn(0, 1680 + 120, 600 + 217, 1);  // Image2, its visible part
    EXPECT_TRUE(waitFor([&] { return !IsWindow(promos[0]); }, 3s)) << "adfrm closed";
    EXPECT_FALSE(process.waitExit(1s)) << "the tool goes on";
    EXPECT_EQ(findTopLevel(process.id(), app::kMainWindowClass), main);
    PostMessageW(GetDlgItem(main, app::IdCommand2), BM_CLICK, 0, 0);
    EXPECT_TRUE(process.waitExit(5s)) << "退出 ends it";
}

}  // namespace driver
