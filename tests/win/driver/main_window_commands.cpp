// The main window after start-up and its small commands: centred and topmost, the
// instructions text, the help command's heights, the pale-green focus highlight read from
// the screen, and the two ways the tool ends (exit button, close box).
#include <cmath>
#include <string>

#include "app/main_window_ids.h"
#include "harness.h"

namespace driver {
namespace {

using namespace std::chrono_literals;

constexpr COLORREF kPaleGreen = RGB(192, 255, 192);

const std::wstring kInstructions =
    L"操作步骤：\r\n"
    L"  1、打开截面图-R2000以上版本\r\n"
    L"  2、点击初始化按钮，程序将切换到CAD，选取相对原点\r\n"
    L"  3、点击点取节点按钮，依次选择截面节点。\r\n"
    L"  更多软件尽在http://www.pontiro.example";

std::wstring hex(COLORREF c) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%06X", static_cast<unsigned>(c));
    return text;
}

// A pixel of the box's background: its lower right inner corner, away from the text and
// from a vertical scroll bar.
COLORREF backgroundOf(HWND edit) {
    RECT client{};
    GetClientRect(edit, &client);
    POINT p{client.right - 4, client.bottom - 3};
    ClientToScreen(edit, &p);
    return screenPixel(p.x, p.y);
}

bool colourBecomes(HWND edit, COLORREF wanted) {
    return waitFor([&] { return backgroundOf(edit) == wanted; }, 3s);
}

void checkStartUp(Checks& checks, HWND main, int dpi) {
    const RECT outer = windowRect(main);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // Twips are whole multiples of the pixel here, so centring lands on these pixels.
    const int left = static_cast<int>(std::lround((screenWidth - width) / 2.0));
    const int top = static_cast<int>(std::lround((screenHeight - height) / 3.0));
    checks.expectEqual<long>(outer.left, left, L"centred left to right (" + std::to_wstring(dpi) + L" DPI)");
    checks.expectEqual<long>(outer.top, top, L"a third of the free height above the window");
    checks.expect(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST, L"main window is topmost");
    const std::wstring text = windowText(GetDlgItem(main, app::IdLabel2));
    checks.expectEqual(text, kInstructions, L"instructions text byte for byte");
    size_t breaks = 0;
    for (size_t at = text.find(L"\r\n"); at != std::wstring::npos; at = text.find(L"\r\n", at + 2)) ++breaks;
    checks.expectEqual<unsigned>(static_cast<unsigned>(breaks), 4u, L"four CR LF breaks");
}

void checkFocusColours(Checks& checks, HWND main) {
    HWND text8 = GetDlgItem(main, app::IdText8);
    HWND text3 = GetDlgItem(main, app::IdText3);
    HWND text1 = GetDlgItem(main, app::IdText1);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    SetForegroundWindow(main);
    checks.expect(waitFor([&] { return focusedWindow(main) == text8; }, 5s), L"focus starts in the output box");
    checks.expect(colourBecomes(text8, kPaleGreen), L"empty output box pale green at start",
                  L"pixel " + hex(backgroundOf(text8)));
    checks.expect(colourBecomes(text3, window), L"scale box in the window colour while unfocused",
                  L"pixel " + hex(backgroundOf(text3)));

    SendMessageW(text3, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"12.5"));
    pressKey(VK_TAB);
    checks.expect(waitFor([&] { return focusedWindow(main) == text3; }, 3s), L"Tab moves to the scale box");
    checks.expect(colourBecomes(text3, kPaleGreen), L"scale box turns pale green", L"pixel " + hex(backgroundOf(text3)));
    Selection sel = editSelection(text3);
    checks.expect(sel.start == 0 && sel.end == 4, L"all four characters of 12.5 selected",
                  std::to_wstring(sel.start) + L".." + std::to_wstring(sel.end));
    checks.expect(colourBecomes(text8, window), L"output box back to the window colour",
                  L"pixel " + hex(backgroundOf(text8)));

    pressKey(VK_TAB);
    checks.expect(waitFor([&] { return focusedWindow(main) == text1; }, 3s), L"Tab moves to the decimals box");
    checks.expect(colourBecomes(text3, window), L"scale box back to the window colour on leaving",
                  L"pixel " + hex(backgroundOf(text3)));
    sel = editSelection(text3);
    checks.expect(sel.start == 0 && sel.end == 4, L"scale box keeps its selection on leaving",
                  std::to_wstring(sel.start) + L".." + std::to_wstring(sel.end));

    // Focus given by a program, not by the dialog manager's Tab: the box itself selects all.
    SendMessageW(text8, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"1.25\r\n2.5"));
    SendMessageW(text8, EM_SETSEL, 2, 2);
    checks.expect(focusControl(text8) && waitFor([&] { return focusedWindow(main) == text8; }, 3s),
                  L"focus set on the output box");
    sel = editSelection(text8);
    checks.expect(sel.start == 0 && sel.end == 9, L"output box selects its whole text on focus",
                  std::to_wstring(sel.start) + L".." + std::to_wstring(sel.end));
    checks.expect(colourBecomes(text8, kPaleGreen), L"output box pale green again");

    SendMessageW(text1, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    checks.expect(focusControl(text1) && waitFor([&] { return focusedWindow(main) == text1; }, 3s),
                  L"focus set on the emptied decimals box");
    checks.expect(colourBecomes(text1, kPaleGreen), L"an empty box still turns pale green",
                  L"pixel " + hex(backgroundOf(text1)));
    sel = editSelection(text1);
    checks.expect(sel.start == 0 && sel.end == 0, L"empty box: selection of length 0");
    checks.expect(colourBecomes(text8, window), L"output box in the window colour after leaving");
}

bool visibleInClient(HWND main, int id) {
    RECT client{};
    GetClientRect(main, &client);
    const RECT r = rectInParentClient(GetDlgItem(main, id));
    return r.bottom <= client.bottom && r.top >= 0;
}

bool hiddenBelowClient(HWND main, int id) {
    RECT client{};
    GetClientRect(main, &client);
    return rectInParentClient(GetDlgItem(main, id)).top >= client.bottom;
}

void checkHelp(Checks& checks, HWND main, int dpi, const std::wstring& outDir) {
    const RECT before = windowRect(main);
    HWND help = GetDlgItem(main, app::IdCommand4);
    checks.expect(hiddenBelowClient(main, app::IdImage1) && hiddenBelowClient(main, app::IdLabel2),
                  L"picture and instructions hidden at start");
    const int heights[] = {6700, 4080, 6700};
    for (int i = 0; i < 3; ++i) {
        const int wanted = twipsToPx(heights[i], dpi);
        PostMessageW(help, BM_CLICK, 0, 0);
        const bool changed = waitFor(
            [&] {
                const RECT r = windowRect(main);
                return r.bottom - r.top == wanted;
            },
            5s);
        const RECT now = windowRect(main);
        checks.expect(changed, L"help press " + std::to_wstring(i + 1) + L": outer height " +
                                   std::to_wstring(heights[i]) + L" twips",
                      L"got " + std::to_wstring(now.bottom - now.top) + L", expected " + std::to_wstring(wanted));
        checks.expect(now.left == before.left && now.top == before.top && now.right - now.left == before.right - before.left,
                      L"help press " + std::to_wstring(i + 1) + L" keeps top, left and width");
        const bool tall = heights[i] == 6700;
        if (tall) {
            checks.expect(visibleInClient(main, app::IdImage1) && visibleInClient(main, app::IdLabel2),
                          L"tall window shows the picture and the instructions");
        } else {
            // The short outer height leaves the frame's share of a few pixels below the
            // buttons, so the picture's top edge may peek in; its bulk and the text stay hidden.
            RECT client{};
            GetClientRect(main, &client);
            const RECT picture = rectInParentClient(GetDlgItem(main, app::IdImage1));
            checks.expect(hiddenBelowClient(main, app::IdLabel2) &&
                              picture.top >= client.bottom - (picture.bottom - picture.top) / 4,
                          L"short window hides the instructions and the picture's bulk",
                          L"client bottom " + std::to_wstring(client.bottom) + L", picture top " +
                              std::to_wstring(picture.top));
        }
    }
    // The picture is really drawn: not a plain button-face area.
    RECT picture{};
    GetWindowRect(GetDlgItem(main, app::IdImage1), &picture);
    SetForegroundWindow(main);
    Sleep(200);  // let the repaint after the resize finish before reading pixels
    int drawn = 0;
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (int y = picture.top; y < picture.bottom; y += 2)
        for (int x = picture.left; x < picture.right; x += 2)
            if (screenPixel(x, y) != face) ++drawn;
    checks.expect(drawn > 100, L"the section picture is drawn when tall", std::to_wstring(drawn) + L" pixels");
    checks.expect(saveScreenshot(outDir + L"\\main-window-tall-" + std::to_wstring(dpi) + L"dpi.bmp"),
                  L"screenshot of the tall window saved");
}

// Clicks the close box of a window at its real place on the screen.
bool clickCloseBox(HWND window) {
    const RECT r = windowRect(window);
    const int frame = GetSystemMetrics(SM_CXFIXEDFRAME);
    const int x = r.right - frame - GetSystemMetrics(SM_CXSIZE) / 2;
    const int y = r.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYSIZE) / 2;
    DWORD_PTR hit = 0;
    SendMessageTimeoutW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 3000, &hit);
    if (hit != HTCLOSE) return false;
    clickAt(x, y);
    return true;
}

}  // namespace

int mainWindowCommands(const std::wstring& tool, int dpi, const std::wstring& outDir) {
    Checks checks;
    checks.expectEqual(screenDpi(), dpi, L"screen DPI as the harness set it");
    {
        Process process;
        HWND main = launchTool(checks, process, tool);
        if (!main) return checks.summary();
        checkStartUp(checks, main, dpi);
        checkFocusColours(checks, main);
        checkHelp(checks, main, dpi, outDir);

        PostMessageW(GetDlgItem(main, app::IdCommand2), BM_CLICK, 0, 0);
        checks.expect(process.waitExit(10s), L"exit button ends the process");
        checks.expect(findTopLevel(process.id(), app::kMainWindowClass) == nullptr, L"no window of the tool left");
    }
    {
        Process process;
        HWND main = launchTool(checks, process, tool);
        if (!main) return checks.summary();
        SetForegroundWindow(main);
        checks.expect(clickCloseBox(main), L"close box found on the title bar");
        checks.expect(process.waitExit(10s), L"close box ends the process");
    }
    return checks.summary();
}

}  // namespace driver
