// The promotion windows with the real pointer: placed at their edges before the main window
// shows, docking about 5 s later, revealed while the pointer is on their strip; docking at the
// top on a screen less high than they are; their glyphs. Their browser panes: quiet, contained,
// a blank page where the page fails, the document mode asked for by the program's own name.
#include <gtest/gtest.h>
#include <mshtmdid.h>
#include <shobjidl.h>

#include <map>
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
    {"right promotion window", true, L"http://www.pontiro.example/gdownload.htm"},
    {"left promotion window", false, L"http://www.pontiro.example/bdownload.htm"}};

static std::wstring takeAtom(LRESULT answer) {
    const auto atom = static_cast<ATOM>(answer);
    wchar_t name[256] = {};
    const UINT length = atom ? GlobalGetAtomNameW(atom, name, 256) : 0;
    GlobalDeleteAtom(atom);
    return {name, length};
}
// The address in the window's browser pane, through the tool's test query.
static std::wstring locationUrl(HWND promo) {
    return takeAtom(sendTimeout(promo, RegisterWindowMessageW(promo::kLocationQueryMessage)));
}
static LRESULT probe(HWND promo, int what, LPARAM argument = 0) {
    return sendTimeout(promo, RegisterWindowMessageW(promo::kPaneProbeMessage), what, argument);
}
// Under Wine the page never loads (no such host), so the pane may already show the blank page.
static bool holdsPage(HWND promo, const wchar_t* address) {
    return locationUrl(promo) == address || takeAtom(probe(promo, promo::ProbeFailedAddress)) == address;
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
        EXPECT_TRUE(waitFor([&] { return holdsPage(w, kWindows[i].address); }, 5s)) << "the page";
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

    // The glyphs, clicked on revealed windows: a double click on the close label closes the
    // left window alone, the minimise glyph minimises the right one for good; restored, its
    // close glyph closes it
    // alone: the node list lives on in the main window, whose exit button ends the tool.
    const auto clickIn = [&](int i, double x, double y, int clicks) {  // twips in the window
        EXPECT_TRUE(reveal(i));
        while (clicks--) clickAt(windowRect(promos[i]).left + g.px(x), windowRect(promos[i]).top + g.px(y));
        moveMouseTo(g.away().x, g.away().y);
    };
    if (g.screenHeight > g.height) {  // the close label (495 x 420 twips) lies below a short screen
        clickIn(1, 240, 8760 + 200, 2);
        EXPECT_TRUE(waitFor([&] { return !IsWindow(promos[1]); }, 3s)) << "left window closed";
    }
    clickIn(0, 1155 + 217, 600 + 217, 1);  // the minimise glyph, 435 twips square
    EXPECT_TRUE(waitFor([&] { return IsIconic(promos[0]) != 0; }, 3s)) << "right window minimised";
    Sleep(500);
    EXPECT_TRUE(IsIconic(promos[0])) << "the docking leaves a minimised window alone";
    EXPECT_EQ(findTopLevel(process.id(), app::kMainWindowClass), main) << "the main window goes on";
    ShowWindow(promos[0], SW_RESTORE);
    EXPECT_TRUE(waitFor([&] { return xy(promos[0]) == g.edge(1).docked; }, 3s)) << "restored, it docks again";
    clickIn(0, 1680 + 120, 600 + 217, 1);  // the close glyph, its visible part
    EXPECT_TRUE(waitFor([&] { return !IsWindow(promos[0]); }, 3s)) << "right window closed";
    EXPECT_FALSE(process.waitExit(1s)) << "the tool goes on";
    EXPECT_EQ(findTopLevel(process.id(), app::kMainWindowClass), main);
    PostMessageW(GetDlgItem(main, app::IdExitButton), BM_CLICK, 0, 0);
    EXPECT_TRUE(process.waitExit(5s)) << "退出 ends it";
}

// The per-program document mode setting, value name -> DWORD.
static const wchar_t kEmulation[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
static std::map<std::wstring, DWORD> emulationValues() {  // other types as ~0
    std::map<std::wstring, DWORD> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kEmulation, 0, KEY_READ, &key)) return values;
    wchar_t name[256];
    BYTE data[512];
    for (DWORD i = 0, length = 256, type = 0, size = sizeof data;
         !RegEnumValueW(key, i, name, &length, nullptr, &type, data, &size); ++i, length = 256, size = sizeof data)
        values[name] = type == REG_DWORD ? *reinterpret_cast<DWORD*>(data) : ~0ul;
    RegCloseKey(key);
    return values;
}

// A renamed copy of the tool, so that a name written by any other means than the program's own
// file name shows. Its panes: silent, the site's download control, the page's real failure
// under Wine covered by the blank page, new windows and downloads as the control raises them.
// Wine has no HTML engine here: that the blank page takes the window's colour is not seen.
TEST(PromoPane, QuietContainedAndNeverAnErrorPage) {
    const std::wstring name = L"pontiro-pane.exe", tool = arg(2) + L"\\" + name;
    ASSERT_TRUE(CopyFileW(arg(0).c_str(), tool.c_str(), FALSE));
    const std::wstring log = arg(2) + L"\\url-log-pane.txt", recorder = L"\"" + arg(3) + L"\" \"" + log + L"\" \"%1\"";
    DeleteFileW(log.c_str());
    const HandlerOverride http(L"http", recorder), mailto(L"mailto", recorder);
    ASSERT_TRUE(http.ok && mailto.ok);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kEmulation, L"pontiro.exe");
    // Wine's engine says 11 (svcVersion 11.0.9600): the newest mode; a value already there stays.
    for (const DWORD preset : {0ul, 8888ul}) {
        SCOPED_TRACE(preset);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kEmulation, name.c_str());
        if (preset) RegSetKeyValueW(HKEY_CURRENT_USER, kEmulation, name.c_str(), REG_DWORD, &preset, 4);
        auto expected = emulationValues();
        expected[name] = preset ? preset : 11001;
        Process process;
        HWND main = launchTool(process, tool);
        std::vector<HWND> promos = windowsOf(process.id(), promo::kPromoWindowClass, true);
        std::sort(promos.begin(), promos.end(), [](HWND a, HWND b) { return windowRect(a).left > windowRect(b).left; });
        ASSERT_TRUE(main && promos.size() == 2);
        for (HWND w : promos) EXPECT_TRUE(waitFor([&] { return !locationUrl(w).empty(); }, 10s)) << "a pane";
        EXPECT_EQ(emulationValues(), expected) << "for this name alone";
        for (int i = 0; !preset && i < 2; ++i) {
            SCOPED_TRACE(kWindows[i].name);
            EXPECT_TRUE(waitFor([&] {
                return locationUrl(promos[i]) == L"about:blank" &&
                       takeAtom(probe(promos[i], promo::ProbeFailedAddress)) == kWindows[i].address;
            }, 30s)) << "the page failed: the blank page, no error page";
            const LONG downloads = DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS | DLCTL_SILENT | DLCTL_NO_DLACTIVEXCTLS |
                                   DLCTL_NO_RUNACTIVEXCTLS | DLCTL_NO_JAVA | DLCTL_NO_BEHAVIORS;
            const LPARAM asked = NWMF_USERINITED << 16;
            const struct { int what; const wchar_t* address; LPARAM flag; LRESULT answer; } probes[] = {
                {promo::ProbeSilent, nullptr, 0, 1},
                {promo::ProbeDownloadControl, nullptr, 0, downloads},
                // Cancelled each; opened only a web address that the user asked for.
                {promo::ProbeNewWindow3, L"mailto:someone@pontiro.example", asked, 1},
                {promo::ProbeNewWindow3, L"http://www.pontiro.example/popup.htm", 0, 1},
                {promo::ProbeNewWindow3, L"http://www.pontiro.example/new.htm?from=pane", asked, 1},
                {promo::ProbeNewWindow2, nullptr, 0, 0},  // NewWindow3 follows with the address
                {promo::ProbeFileDownload, nullptr, 0, 1},
                {promo::ProbeFileDownload, nullptr, 1, 0},  // ActiveDocument: a page, not a download
            };
            for (const auto& p : probes) {
                const ATOM atom = p.address ? GlobalAddAtomW(p.address) : 0;
                EXPECT_EQ(probe(promos[i], p.what, atom | p.flag), p.answer) << p.what;
                GlobalDeleteAtom(atom);
            }
            const std::vector<std::string> wanted(i + 1, "http://www.pontiro.example/new.htm?from=pane");
            EXPECT_TRUE(waitFor([&] { return opened(log) == wanted; }, 10s)) << "opened in the user's browser alone";
        }
        PostMessageW(GetDlgItem(main, app::IdExitButton), BM_CLICK, 0, 0);
        EXPECT_TRUE(process.waitExit(5s));
    }
}

}  // namespace driver
