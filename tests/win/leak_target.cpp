// Leaks on request, so that the soak can show each handle count it reads moves: every WM_APP
// leaks wParam events, pens and child windows. Its window (hidden, class "SoakLeakTarget")
// closes on WM_CLOSE.
#include <windows.h>

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    for (WPARAM i = 0; message == WM_APP && i < wParam; ++i) {
        CreateEventW(nullptr, TRUE, FALSE, nullptr);
        CreatePen(PS_SOLID, 1, RGB(i, 0, 0));
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 1, 1, hwnd, nullptr, nullptr, nullptr);
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return message == WM_APP ? 0 : DefWindowProcW(hwnd, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"SoakLeakTarget";
    if (!RegisterClassW(&wc) || !CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, 0, 0, instance, 0))
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
