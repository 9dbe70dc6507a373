// The main window as a user first sees it: caption, frame, client size, every control's
// place, texts and state, the first focus, the tab order, the icon and the version block.
#include <cmath>
#include <string>

#include "app/main_window_ids.h"
#include "harness.h"

namespace driver {
namespace {

using namespace std::chrono_literals;

struct Expected {
    int id;
    const wchar_t* className;
    int left, top, width, height;  // twips
    const wchar_t* text;           // null: not checked here
    bool sizesToText;
};

// The layout as designed, in twips.
constexpr Expected kExpected[] = {
    {app::IdText8, L"Edit", 1920, 240, 2055, 3015, L"", false},
    {app::IdText3, L"Edit", 1080, 240, 615, 270, L"1", false},
    {app::IdLabel3, L"Static", 240, 285, 720, 180, L"缩放因子", true},
    {app::IdText1, L"Edit", 1080, 600, 615, 270, L"0", false},
    {app::IdLabel1, L"Static", 240, 645, 720, 180, L"小数位数", true},
    {app::IdCommand3, L"Button", 360, 1080, 1215, 375, L"  初始化原点", false},
    {app::IdCommand1, L"Button", 360, 1560, 1215, 375, L"  点取节点", false},
    {app::IdCommand5, L"Button", 360, 2040, 1215, 375, L"  更多软件", false},
    {app::IdCommand4, L"Button", 360, 2520, 1215, 375, L"  帮  助", false},
    {app::IdCommand2, L"Button", 360, 3000, 1215, 375, L"  退  出", false},
    {app::IdImage1, L"Static", 360, 3600, 3495, 960, nullptr, false},
    {app::IdLabel2, L"Static", 480, 4680, 3255, 1455, nullptr, false},
};

int px(int twips, int dpi) { return static_cast<int>(std::lround(twips * dpi / 1440.0)); }

std::wstring name(int id) { return L"control " + std::to_wstring(id); }

void checkVersionBlock(Checks& checks, const std::wstring& exe) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    std::wstring block(size / sizeof(wchar_t) + 1, L'\0');
    const bool read = size && GetFileVersionInfoW(exe.c_str(), 0, size, block.data());
    checks.expect(read, L"version block present");
    if (!read) return;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        checks.expectEqual<unsigned>(fixed->dwFileVersionMS, 0x00010000u, L"file version 1.0");
        checks.expectEqual<unsigned>(fixed->dwFileVersionLS, 0u, L"file version .0.0");
        checks.expectEqual<unsigned>(fixed->dwProductVersionMS, 0x00010000u, L"product version 1.0");
    } else {
        checks.expect(false, L"fixed version info");
    }
    wchar_t* text = nullptr;
    const bool hasFileVersion = VerQueryValueW(block.data(), L"\\StringFileInfo\\080404B0\\FileVersion",
                                               reinterpret_cast<void**>(&text), &length);
    checks.expectEqual(std::wstring(hasFileVersion && text ? text : L""), std::wstring(L"1.00"),
                       L"string table 080404B0 FileVersion");
    const bool hasProductVersion = VerQueryValueW(block.data(), L"\\StringFileInfo\\080404B0\\ProductVersion",
                                                  reinterpret_cast<void**>(&text), &length);
    checks.expectEqual(std::wstring(hasProductVersion && text ? text : L""), std::wstring(L"1.00"),
                       L"string table 080404B0 ProductVersion");
    WORD* translation = nullptr;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) &&
        length >= 4) {
        checks.expectEqual<unsigned>(translation[0], 0x0804u, L"translation language");
        checks.expectEqual<unsigned>(translation[1], 1200u, L"translation code page");
    } else {
        checks.expect(false, L"translation entry");
    }
}

// The application icon: one 32 x 32 image of 16 colours in the executable.
void checkIcon(Checks& checks, const std::wstring& exe) {
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    checks.expect(module != nullptr, L"executable readable as data");
    if (!module) return;
#pragma pack(push, 2)
    struct GroupIconEntry {
        BYTE width, height, colorCount, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
    struct GroupIconHeader {
        WORD reserved, type, count;
        GroupIconEntry entries[1];
    };
#pragma pack(pop)
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14) /*RT_GROUP_ICON*/);
    const auto* group = info ? static_cast<const GroupIconHeader*>(LockResource(LoadResource(module, info))) : nullptr;
    checks.expect(group && group->count == 1, L"one application icon image");
    if (group && group->count == 1) {
        const GroupIconEntry& e = group->entries[0];
        checks.expect(e.width == 32 && e.height == 32, L"icon 32 x 32");
        checks.expect(e.bitCount == 4 || e.colorCount == 16, L"icon of 16 colours",
                      L"bit count " + std::to_wstring(e.bitCount));
    }
    FreeLibrary(module);
}

}  // namespace

int mainWindowLayout(const std::wstring& tool, int dpi, const std::wstring& outDir) {
    Checks checks;
    checks.expectEqual(screenDpi(), dpi, L"screen DPI as the harness set it");

    Process process;
    HWND main = launchTool(checks, process, tool);
    if (!main) return checks.summary();
    HWND text8 = GetDlgItem(main, app::IdText8);
    checks.expect(waitFor([&] { return focusedWindow(main) == text8; }, 5s), L"focus starts in the output box");

    checks.expectEqual(windowText(main), std::wstring(L"Pontiro截面 V2.0"), L"caption");
    const LONG style = GetWindowLongW(main, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(main, GWL_EXSTYLE);
    checks.expect((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU), L"title bar with close box");
    checks.expect(style & WS_MINIMIZEBOX, L"minimise box");
    checks.expect(!(style & WS_MAXIMIZEBOX), L"no maximise box");
    checks.expect(!(style & WS_THICKFRAME), L"fixed border");
    checks.expect(!(exStyle & WS_EX_TOOLWINDOW) && !GetWindow(main, GW_OWNER), L"has a task-bar button");

    RECT client{};
    GetClientRect(main, &client);
    checks.expectEqual<long>(client.right, px(4140, dpi), L"client width");
    checks.expectEqual<long>(client.bottom, px(3600, dpi), L"client height");

    for (const Expected& e : kExpected) {
        HWND control = GetDlgItem(main, e.id);
        checks.expect(control != nullptr, name(e.id) + L" exists");
        if (!control) continue;
        const std::wstring label = e.text && *e.text ? std::wstring(e.text) : name(e.id);
        checks.expectEqual(className(control), std::wstring(e.className), label + L" class");
        const RECT r = rectInParentClient(control);
        checks.expectEqual<long>(r.left, px(e.left, dpi), label + L" left");
        checks.expectEqual<long>(r.top, px(e.top, dpi), label + L" top");
        if (e.sizesToText) {
            // A self-sizing label is as wide as its text, which ends before its input box.
            checks.expect(r.right > r.left + 4 * dpi / 96 && r.right <= px(1080, dpi), label + L" sized to its text",
                          L"right " + std::to_wstring(r.right));
            checks.expect(r.bottom - r.top >= 8 * dpi / 96 && r.bottom - r.top <= 24 * dpi / 96,
                          label + L" one line high", L"height " + std::to_wstring(r.bottom - r.top));
        } else {
            checks.expectEqual<long>(r.right - r.left, px(e.width, dpi), label + L" width");
            checks.expectEqual<long>(r.bottom - r.top, px(e.height, dpi), label + L" height");
        }
        if (e.text) checks.expectEqual(windowText(control), std::wstring(e.text), label + L" text");
        checks.expectEqual<bool>(IsWindowEnabled(control) != 0, e.id != app::IdCommand1, label + L" enabled state");
    }
    const LONG text8Style = GetWindowLongW(text8, GWL_STYLE);
    checks.expect((text8Style & ES_MULTILINE) && (text8Style & WS_VSCROLL), L"output box multi-line with scroll bar");
    checks.expect(rectInParentClient(GetDlgItem(main, app::IdImage1)).top >= client.bottom &&
                      rectInParentClient(GetDlgItem(main, app::IdLabel2)).top >= client.bottom,
                  L"picture and instructions lie below the short window");

    // Tab order; the disabled pick-nodes button and the labels are skipped.
    SetForegroundWindow(main);
    const int tabOrder[] = {app::IdText3, app::IdText1, app::IdCommand3, app::IdCommand4,
                            app::IdCommand5, app::IdCommand2, app::IdText8};
    for (int id : tabOrder) {
        pressKey(VK_TAB);
        HWND expected = GetDlgItem(main, id);
        checks.expect(waitFor([&] { return focusedWindow(main) == expected; }, 3s),
                      L"Tab moves to " + windowText(expected) + L" (" + name(id) + L")",
                      L"focus on control " + std::to_wstring(GetDlgCtrlID(focusedWindow(main))));
    }
    pressKey(VK_TAB, true);
    checks.expect(waitFor([&] { return focusedWindow(main) == GetDlgItem(main, app::IdCommand2); }, 3s),
                  L"Shift+Tab moves back to the exit button");
    checks.expectEqual(windowText(text8), std::wstring(L""), L"Tab typed nothing into the output box");

    // A real click puts the focus where the user clicked.
    RECT decimals{};
    GetWindowRect(GetDlgItem(main, app::IdText1), &decimals);
    clickAt((decimals.left + decimals.right) / 2, (decimals.top + decimals.bottom) / 2);
    checks.expect(waitFor([&] { return focusedWindow(main) == GetDlgItem(main, app::IdText1); }, 3s),
                  L"a click moves the focus to the decimals box");

    // The two field names are drawn in blue, read back from the screen.
    for (int id : {app::IdLabel3, app::IdLabel1}) {
        RECT r{};
        GetWindowRect(GetDlgItem(main, id), &r);
        int bluePixels = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                const COLORREF c = screenPixel(x, y);
                if (GetBValue(c) > 200 && GetRValue(c) < 90 && GetGValue(c) < 90) ++bluePixels;
            }
        checks.expect(bluePixels > 10, windowText(GetDlgItem(main, id)) + L" drawn in blue",
                      std::to_wstring(bluePixels) + L" blue pixels");
    }

    checkVersionBlock(checks, tool);
    checkIcon(checks, tool);

    // Back to the first state for the picture people look at.
    SetFocus(nullptr);
    clickAt(1, 1);
    SetForegroundWindow(main);
    Sleep(300);
    checks.expect(saveScreenshot(outDir + L"\\main-window-" + std::to_wstring(dpi) + L"dpi.bmp"), L"screenshot saved");

    PostMessageW(main, WM_CLOSE, 0, 0);
    checks.expect(process.waitExit(10s), L"tool ends when its window is closed");
    return checks.summary();
}

}  // namespace driver
