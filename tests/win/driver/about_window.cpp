// The About window through the more-software button: the home page opened first, the
// window's design (rectangles, texts, colours on screen), tooltips, the hand pointer, where
// each click goes, Esc, OK, modality and recentring. A small recorder registered as the
// prefix's http and mailto handler shows what the shell was asked to open.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "about/about_window_ids.h"
#include "app/main_window_ids.h"
#include "harness.h"
#include "url_handler.h"

namespace driver {
namespace {

using namespace std::chrono_literals;
using namespace about;

constexpr wchar_t kHome[] = L"http://www.pontiro.example";
constexpr wchar_t kOrgSite[] = L"http://www.toravel.example";
constexpr wchar_t kMail[] = L"mailto:lin.chuan@toravel.example";

struct Expected {
    int id;
    int left, top, width, height;  // twips
    const wchar_t* text;           // null: the implementer's value, not checked here
    bool sizesToText;
};

constexpr Expected kDesign[] = {
    {IdPicBGHead, 0, 0, 5790, 615, L"", false},
    {IdPicBGHeadIcon, 240, 120, 480, 480, nullptr, false},
    {IdLblBGHeadInfo1, 960, 240, 3855, 255, L"Toravel－原创、专业、免费、无限制", false},
    {IdLabel2, 600, 720, 600, 210, L"作 者：", true},
    {IdLabel7, 1320, 720, 540, 195, nullptr, true},
    {IdLabel3, 600, 1080, 600, 210, L"单 位：", true},
    {IdLabel9, 1320, 1080, 1800, 195, nullptr, true},
    {IdLabel5, 555, 1440, 645, 210, L"E-mail：", true},
    {IdLblHomepage, 1320, 1440, 1950, 180, L"lin.chuan@toravel.example", true},
    {IdLabel6, 300, 1800, 900, 210, L"软件下载：", true},
    {IdLabel4, 1320, 1800, 1395, 180, kHome, true},
    {IdCommand1, 3480, 1440, 1335, 375, L"  确  定", false},
};

struct Entry {
    unsigned long long created = 0;  // FILETIME ticks of the recorder's start
    std::wstring arguments;          // everything the handler got after the log path
};

std::wstring fromUtf8(const std::string& s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

std::vector<Entry> readLog(const std::wstring& path) {
    std::vector<Entry> entries;
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    const std::string text = content.str();
    // Only whole lines: the recorder may be writing the next one.
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0) continue;
        entries.push_back({std::strtoull(line.substr(0, tab).c_str(), nullptr, 10), fromUtf8(line.substr(tab + 1))});
    }
    return entries;
}

unsigned long long now() {
    FILETIME t{};
    GetSystemTimeAsFileTime(&t);
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

POINT centreOf(HWND hwnd) {
    const RECT r = windowRect(hwnd);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The pixels of a control where one channel clearly dominates (small fonts are smoothed).
int pixelsDominatedBy(HWND control, int channel) {
    const RECT r = windowRect(control);
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const COLORREF c = screenPixel(x, y);
            const int v[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
            if (v[channel] > v[(channel + 1) % 3] + 60 && v[channel] > v[(channel + 2) % 3] + 60) ++count;
        }
    return count;
}

// The pixels of a control that have a colour close to `wanted`.
int pixelsLike(HWND control, COLORREF wanted, int tolerance = 40) {
    const RECT r = windowRect(control);
    int count = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const COLORREF c = screenPixel(x, y);
            if (std::abs(GetRValue(c) - GetRValue(wanted)) <= tolerance &&
                std::abs(GetGValue(c) - GetGValue(wanted)) <= tolerance &&
                std::abs(GetBValue(c) - GetBValue(wanted)) <= tolerance)
                ++count;
        }
    return count;
}

HWND visibleTooltip(DWORD processId) {
    return findTopLevel(processId, L"tooltips_class32");
}

// The pointer's cursor handle after moving onto a point (the tool sets it on the move).
HCURSOR cursorAt(POINT p) {
    moveMouseTo(p.x + 1, p.y);
    moveMouseTo(p.x, p.y);
    Sleep(100);  // the pointer shape follows the move asynchronously
    CURSORINFO info{};
    info.cbSize = sizeof(info);
    GetCursorInfo(&info);
    return info.hCursor;
}

class Scenario {
public:
    Scenario(Checks& checks, Process& process, HWND main, std::wstring log)
        : checks_(checks), process_(process), main_(main), log_(std::move(log)) {}

    // Presses the more-software button; returns the About window once it shows.
    HWND open(const std::wstring& what) {
        const size_t before = readLog(log_).size();
        const unsigned long long pressed = now();
        PostMessageW(GetDlgItem(main_, app::IdCommand5), BM_CLICK, 0, 0);
        HWND about = nullptr;
        checks_.expect(waitFor([&] { return (about = findTopLevel(process_.id(), kAboutWindowClass)) != nullptr; }, 10s),
                       what + L": About window shown");
        const unsigned long long seen = now();
        if (!about) return nullptr;
        std::vector<Entry> log;
        checks_.expect(waitFor([&] { return (log = readLog(log_)).size() > before; }, 10s),
                       what + L": home page opened");
        if (log.size() > before) {
            checks_.expectEqual(log[before].arguments, std::wstring(kHome), what + L": the home page, nothing else");
            checks_.expect(log[before].created >= pressed - 10'000'000ull && log[before].created <= seen,
                           what + L": home page opened before the About window appeared");
        }
        checks_.expect(IsWindow(about) && IsWindowVisible(about), what + L": About window still open meanwhile");
        checks_.expect(!IsWindowEnabled(main_), what + L": main window disabled while About is open");
        return about;
    }

    // Clicks a point; expects exactly one new log entry with `address`.
    void clickOpens(POINT p, const std::wstring& address, const std::wstring& what) {
        const size_t before = readLog(log_).size();
        // A fresh single click, never read as the second half of a double click.
        Sleep(GetDoubleClickTime() + 50);
        clickAt(p.x, p.y);
        std::vector<Entry> log;
        const bool opened = waitFor([&] { return (log = readLog(log_)).size() > before; }, 10s);
        checks_.expect(opened && log.size() == before + 1 && log.back().arguments == address,
                       what + L" opens " + address,
                       opened ? L"got \"" + log.back().arguments + L"\" as entry " + std::to_wstring(log.size()) +
                                    L" (before: " + std::to_wstring(before) + L")"
                              : L"nothing opened");
    }

    size_t logSize() const { return readLog(log_).size(); }

private:
    Checks& checks_;
    Process& process_;
    HWND main_;
    std::wstring log_;
};

void checkDesign(Checks& checks, HWND about, int dpi) {
    checks.expectEqual(windowText(about), std::wstring(L"Toravel"), L"About caption");
    const LONG style = GetWindowLongW(about, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(about, GWL_EXSTYLE);
    checks.expect(!(style & WS_THICKFRAME) && (exStyle & WS_EX_DLGMODALFRAME), L"fixed dialog border");
    checks.expect(!(style & WS_MINIMIZEBOX) && !(style & WS_MAXIMIZEBOX), L"no minimise or maximise box");
    checks.expect(GetWindow(about, GW_OWNER) != nullptr && !(exStyle & WS_EX_APPWINDOW), L"no task-bar button");
    RECT client{};
    GetClientRect(about, &client);
    checks.expectEqual<long>(client.right, twipsToPx(5100, dpi), L"About client width");
    checks.expectEqual<long>(client.bottom, twipsToPx(2160, dpi), L"About client height");

    for (const Expected& e : kDesign) {
        HWND control = GetDlgItem(about, e.id);
        const std::wstring label = L"About control " + std::to_wstring(e.id);
        checks.expect(control != nullptr, label + L" exists");
        if (!control) continue;
        const RECT r = rectInParentClient(control);
        checks.expectEqual<long>(r.left, twipsToPx(e.left, dpi), label + L" left");
        checks.expectEqual<long>(r.top, twipsToPx(e.top, dpi), label + L" top");
        if (e.sizesToText) {
            checks.expect(r.right - r.left > 10 * dpi / 96 && r.right <= client.right, label + L" as wide as its text",
                          L"width " + std::to_wstring(r.right - r.left));
            checks.expect(r.bottom - r.top >= 8 * dpi / 96 && r.bottom - r.top <= 24 * dpi / 96,
                          label + L" one line high", L"height " + std::to_wstring(r.bottom - r.top));
        } else {
            checks.expectEqual<long>(r.right - r.left, twipsToPx(e.width, dpi), label + L" width");
            checks.expectEqual<long>(r.bottom - r.top, twipsToPx(e.height, dpi), label + L" height");
        }
        if (e.text) checks.expectEqual(windowText(control), std::wstring(e.text), label + L" text");
    }
    // Red field names stand left of the blue values, on the same rows.
    for (auto [name, value] : {std::pair{IdLabel2, IdLabel7}, std::pair{IdLabel3, IdLabel9},
                               std::pair{IdLabel5, IdLblHomepage}, std::pair{IdLabel6, IdLabel4}})
        checks.expect(rectInParentClient(GetDlgItem(about, name)).right <= twipsToPx(1320, dpi),
                      L"field name " + std::to_wstring(name) + L" ends before its value");
}

void checkColours(Checks& checks, HWND about, int dpi) {
    for (int id : {IdLabel2, IdLabel3, IdLabel5, IdLabel6})
        checks.expect(pixelsDominatedBy(GetDlgItem(about, id), 0) > 5,
                      L"field name " + std::to_wstring(id) + L" drawn in red");
    for (int id : {IdLabel7, IdLabel9, IdLblHomepage, IdLabel4})
        checks.expect(pixelsDominatedBy(GetDlgItem(about, id), 2) > 5,
                      L"value " + std::to_wstring(id) + L" drawn in blue");
    HWND header = GetDlgItem(about, IdPicBGHead);
    const RECT h = windowRect(header);
    POINT clientRight{twipsToPx(5100, dpi), 0};
    ClientToScreen(about, &clientRight);  // the strip is cut at the window's right edge
    checks.expectEqual<unsigned>(screenPixel(clientRight.x - 3, h.top + 2), RGB(255, 255, 255),
                                 L"header strip white up to the right edge");
    checks.expectEqual<unsigned>(screenPixel(h.left + 2, h.bottom - 2), RGB(255, 255, 255),
                                 L"header strip white at its lower left");
    HWND headerText = GetDlgItem(about, IdLblBGHeadInfo1);
    checks.expect(pixelsLike(headerText, RGB(0, 0, 0), 30) > 20, L"header text drawn in black");
    checks.expect(pixelsLike(headerText, RGB(255, 255, 255), 0) > 20, L"header text on white");
    HWND icon = GetDlgItem(about, IdPicBGHeadIcon);
    // A gold key: reddish-yellow pixels in the icon box.
    const RECT ir = windowRect(icon);
    int gold = 0;
    for (int y = ir.top; y < ir.bottom; ++y)
        for (int x = ir.left; x < ir.right; ++x) {
            const COLORREF c = screenPixel(x, y);
            if (GetRValue(c) > 170 && GetGValue(c) > 110 && GetBValue(c) < 110) ++gold;
        }
    checks.expect(gold > 20, L"key icon drawn in gold", std::to_wstring(gold) + L" gold pixels");
    POINT line{twipsToPx(2000, dpi), twipsToPx(615, dpi)};
    ClientToScreen(about, &line);
    checks.expectEqual<unsigned>(screenPixel(line.x, line.y), RGB(128, 128, 128), L"grey line under the header");
}

void checkTooltips(Checks& checks, HWND about, DWORD processId) {
    const std::pair<int, const wchar_t*> tips[] = {
        {IdLabel4, L"Toravel"}, {IdLabel9, kOrgSite}, {IdLblBGHeadInfo1, kOrgSite}};
    for (auto [id, text] : tips) {
        POINT away = centreOf(GetDlgItem(about, IdCommand1));
        moveMouseTo(away.x, away.y + 40);
        waitFor([&] { return visibleTooltip(processId) == nullptr; }, 3s);
        const POINT p = centreOf(GetDlgItem(about, id));
        moveMouseTo(p.x, p.y);
        HWND tip = nullptr;
        const bool shown = waitFor(
            [&] {
                tip = visibleTooltip(processId);
                return tip && windowText(tip) == text;
            },
            5s);
        checks.expect(shown, L"tooltip of control " + std::to_wstring(id) + L": " + text,
                      tip ? L"got \"" + windowText(tip) + L"\"" : L"no tooltip");
    }
}

void checkPointer(Checks& checks, HWND about) {
    const HCURSOR hand = cursorAt(centreOf(GetDlgItem(about, IdLabel4)));
    checks.expectEqual(cursorAt(centreOf(GetDlgItem(about, IdLabel9))) == hand, true,
                       L"organisation link shows the same pointer as the home page link");
    checks.expectEqual(cursorAt(centreOf(GetDlgItem(about, IdLblHomepage))) == hand, true,
                       L"mail link shows the same pointer as the home page link");
    const RECT header = windowRect(GetDlgItem(about, IdPicBGHead));
    const std::pair<POINT, const wchar_t*> plain[] = {
        {centreOf(GetDlgItem(about, IdLblBGHeadInfo1)), L"header text"},
        {centreOf(GetDlgItem(about, IdPicBGHeadIcon)), L"key icon"},
        {POINT{windowRect(about).right - 30, header.top + 5}, L"header strip"},
        {centreOf(GetDlgItem(about, IdLabel7)), L"author's name"},
        {centreOf(GetDlgItem(about, IdLabel2)), L"red field name"},
        {centreOf(GetDlgItem(about, IdCommand1)), L"OK button"},
    };
    for (auto [p, what] : plain)
        checks.expect(cursorAt(p) != hand, std::wstring(L"no hand pointer over the ") + what);
}

// The pointer's own shape is not readable across processes under Wine: check the cursor
// resource the tool carries instead (32 x 32, hot spot at the fingertip).
void checkHandResource(Checks& checks, const std::wstring& exe) {
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        checks.expect(false, L"executable readable as data");
        return;
    }
#pragma pack(push, 2)
    struct CursorDirEntry {
        WORD width, height, planes, bitCount;
        DWORD bytes;
        WORD id;
    };
    struct CursorDir {
        WORD reserved, type, count;
        CursorDirEntry entries[1];
    };
#pragma pack(pop)
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(12) /*RT_GROUP_CURSOR*/);
    const auto* dir = group ? static_cast<const CursorDir*>(LockResource(LoadResource(module, group))) : nullptr;
    checks.expect(dir && dir->count == 1, L"one hand pointer image");
    if (dir && dir->count == 1) {
        // A cursor's height counts both masks.
        checks.expect(dir->entries[0].width == 32 && dir->entries[0].height == 64, L"hand pointer 32 x 32");
        HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(dir->entries[0].id), MAKEINTRESOURCEW(1) /*RT_CURSOR*/);
        const auto* hotspot = image ? static_cast<const WORD*>(LockResource(LoadResource(module, image))) : nullptr;
        checks.expect(hotspot && hotspot[0] == 6 && hotspot[1] == 0, L"hand pointer hot spot (6, 0)",
                      hotspot ? std::to_wstring(hotspot[0]) + L", " + std::to_wstring(hotspot[1]) : L"no image");
    }
    FreeLibrary(module);
}

}  // namespace

int aboutWindow(const std::wstring& tool, int dpi, const std::wstring& outDir, const std::wstring& recorder) {
    Checks checks;
    checks.expectEqual(screenDpi(), dpi, L"screen DPI as the harness set it");
    const std::wstring log = outDir + L"\\url-log-" + std::to_wstring(dpi) + L".txt";
    DeleteFileW(log.c_str());
    const std::wstring command = L"\"" + recorder + L"\" \"" + log + L"\" \"%1\"";
    const HandlerOverride http(L"http", command), mailto(L"mailto", command);
    checks.expect(http.ok() && mailto.ok(), L"recorder registered as http and mailto handler");

    Process process;
    HWND main = launchTool(checks, process, tool);
    if (!main) return checks.summary();
    Scenario scenario(checks, process, main, log);

    HWND about = scenario.open(L"first showing");
    if (about) {
        const RECT r = windowRect(about);
        const int left = static_cast<int>(std::lround((GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2.0));
        const int top = static_cast<int>(std::lround((GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 3.0));
        checks.expectEqual<long>(r.left, left, L"About centred left to right");
        checks.expectEqual<long>(r.top, top, L"About a third of the way down");
        SetForegroundWindow(about);
        Sleep(300);  // first paint after activation
        checkDesign(checks, about, dpi);
        checkColours(checks, about, dpi);
        checks.expect(saveScreenshot(outDir + L"\\about-window-" + std::to_wstring(dpi) + L"dpi.bmp"),
                      L"screenshot of the About window saved");
        checkTooltips(checks, about, process.id());
        checkPointer(checks, about);
        checkHandResource(checks, tool);

        // Clicks on the author's name and a red label come first: if they opened anything,
        // the next link's entry would not be the only new one.
        clickAt(centreOf(GetDlgItem(about, IdLabel7)).x, centreOf(GetDlgItem(about, IdLabel7)).y);
        clickAt(centreOf(GetDlgItem(about, IdLabel3)).x, centreOf(GetDlgItem(about, IdLabel3)).y);
        scenario.clickOpens(centreOf(GetDlgItem(about, IdLabel4)), kHome,
                            L"after clicks on the name and a field name, the home page link");
        scenario.clickOpens(centreOf(GetDlgItem(about, IdLblHomepage)), kMail, L"e-mail link");
        scenario.clickOpens(centreOf(GetDlgItem(about, IdLabel9)), kOrgSite, L"organisation link");
        const RECT header = windowRect(GetDlgItem(about, IdPicBGHead));
        scenario.clickOpens(POINT{windowRect(about).right - 30, header.top + 5}, kHome, L"header strip");
        scenario.clickOpens(centreOf(GetDlgItem(about, IdPicBGHeadIcon)), kHome, L"key icon");
        scenario.clickOpens(centreOf(GetDlgItem(about, IdLblBGHeadInfo1)), kHome, L"header text");

        // Esc and Enter do not close it.
        SetForegroundWindow(about);
        checks.expect(waitFor([&] { return focusedWindow(about) == GetDlgItem(about, IdCommand1); }, 3s),
                      L"focus on the OK button");
        pressKey(VK_ESCAPE);
        checks.expect(!waitFor([&] { return !IsWindow(about); }, 1500ms), L"Esc leaves the About window open");
        pressKey(VK_SPACE);  // keyboard press of the focused OK button closes it
        checks.expect(waitFor([&] { return !IsWindow(about); }, 5s), L"OK pressed by keyboard closes it");
        checks.expect(waitFor([&] { return IsWindowEnabled(main) != 0; }, 5s), L"main window enabled again");

        // Moved by the user, then shown again: centred again.
        about = scenario.open(L"second showing");
        if (about) {
            SetWindowPos(about, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
            waitFor([&] { return windowRect(about).left == 40; }, 3s);
            const POINT ok = centreOf(GetDlgItem(about, IdCommand1));
            clickAt(ok.x, ok.y);
            checks.expect(waitFor([&] { return !IsWindow(about); }, 5s), L"OK click closes the About window");
            about = scenario.open(L"third showing");
            if (about) {
                const RECT again = windowRect(about);
                checks.expect(again.left == left && again.top == top, L"reopened About window is centred again",
                              std::to_wstring(again.left) + L", " + std::to_wstring(again.top));
                const POINT ok2 = centreOf(GetDlgItem(about, IdCommand1));
                clickAt(ok2.x, ok2.y);
                checks.expect(waitFor([&] { return !IsWindow(about); }, 5s), L"OK closes it again");
            }
        }
        const std::vector<Entry> entries = readLog(log);
        checks.expectEqual<unsigned>(static_cast<unsigned>(entries.size()), 9u, L"nine addresses opened in all");
    }
    PostMessageW(GetDlgItem(main, app::IdCommand2), BM_CLICK, 0, 0);
    checks.expect(process.waitExit(10s), L"exit ends the tool");
    return checks.summary();
}

}  // namespace driver
