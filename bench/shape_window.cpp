// Baseline of the tool's shape for the start-up benchmark: the three top-level windows the tool
// makes before it is ready, and nothing else. A main window of the tool's size and styles,
// centred and topmost, with one edit box where the output box is; then the two promotion
// windows' size and styles at the right and left screen edges, shown without activation; then
// the main window shown with the focus in its box (sizes from src/app/main_window.cpp and
// src/promo/promo_window.cpp, placed by the tool's own rules). Built with the tool's manifest.
#include <windows.h>

#include "promo/docking.h"
#include "win/placement.h"
#include "win/twips.h"

namespace {

// As the tool's main window: its client area and the output box, in twips.
constexpr double kClientWidthTwips = 4140;
constexpr double kClientHeightTwips = 3600;
constexpr win::TwipsRect kBoxTwips{1920, 240, 2055, 3015};
constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// As a promotion window: borderless, no task-bar button, painted in its colour.
constexpr DWORD kSideStyle = WS_POPUP | WS_CLIPCHILDREN;
constexpr DWORD kSideExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr COLORREF kSideColour = 0x00F0D2C5;

LRESULT CALLBACK mainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK sideProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        RECT client{};
        GetClientRect(hwnd, &client);
        HBRUSH brush = CreateSolidBrush(kSideColour);
        FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        DeleteObject(brush);
        return 1;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

int px(double twips, double tpp) { return win::twipsToPixels(twips, tpp); }

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    HDC screen = GetDC(nullptr);
    const win::TwipsPerPixel tpp =
        win::twipsPerPixelForDpi(GetDeviceCaps(screen, LOGPIXELSX), GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    const float screenWidth = static_cast<float>(GetSystemMetrics(SM_CXSCREEN) * tpp.x);
    const float screenHeight = static_cast<float>(GetSystemMetrics(SM_CYSCREEN) * tpp.y);

    WNDCLASSW main{};
    main.lpfnWndProc = mainProc;
    main.hInstance = instance;
    main.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    main.lpszClassName = L"BenchShapeWindow";
    WNDCLASSW side{};
    side.lpfnWndProc = sideProc;
    side.hInstance = instance;
    side.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    side.lpszClassName = L"BenchShapeSide";
    if (!RegisterClassW(&main) || !RegisterClassW(&side)) return 1;

    RECT outer{0, 0, px(kClientWidthTwips, tpp.x), px(kClientHeightTwips, tpp.y)};
    AdjustWindowRectEx(&outer, kMainStyle, FALSE, 0);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    const win::CentredPosition centre =
        win::centredPosition(screenWidth, static_cast<float>(width * tpp.x), screenHeight, static_cast<float>(height * tpp.y));
    const win::TopmostPixels at = win::topmostAt(centre.left, centre.top, width, height, tpp);
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, main.lpszClassName, L"shape window", kMainStyle, at.x, at.y, at.cx, at.cy,
                                nullptr, nullptr, instance, nullptr);
    if (!hwnd) return 1;
    const win::PixelRect r = win::toPixels(kBoxTwips, tpp);
    HWND box = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                               r.left, r.top, r.width, r.height, hwnd, nullptr, instance, nullptr);

    // Right, then left, as the tool makes them.
    const int sideWidth = px(promo::kWindowWidthTwips, tpp.x), sideHeight = px(promo::kWindowHeightTwips, tpp.y);
    for (promo::Edge edge : {promo::Edge::Right, promo::Edge::Left}) {
        const promo::EdgePosition p = promo::edgePosition(edge, screenWidth, static_cast<float>(sideWidth * tpp.x),
                                                          screenHeight, static_cast<float>(sideHeight * tpp.y));
        const win::TopmostPixels place = win::topmostAt(p.left, p.top, sideWidth, sideHeight, tpp);
        HWND window = CreateWindowExW(kSideExStyle, side.lpszClassName, L"shape side", kSideStyle, place.x, place.y,
                                      place.cx, place.cy, nullptr, nullptr, instance, nullptr);
        if (window) ShowWindow(window, SW_SHOWNA);
    }

    ShowWindow(hwnd, showCommand);
    UpdateWindow(hwnd);
    SetFocus(box);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
