// The one window procedure of the tool's window classes, and their registration. It ties the
// window handle to its C++ object at WM_NCCREATE, unties it at WM_NCDESTROY (the object's
// hwnd_ becomes null), cracks the messages every window handles alike for the handlers the
// object has (onCreate, onCommand, onDrawItem, onCtlColorStatic), and forwards everything
// else to the object's handleMessage. No exception passes through.
#pragma once

#include <windows.h>

namespace win {

// An exception escaping a handler is a fault of the tool: say so and end, never unwind
// through the system's message dispatcher.
[[noreturn]] void reportInternalErrorAndExit(HWND hwnd);

template <typename Window>
LRESULT CALLBACK windowProcFor(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    try {
        switch (message) {
        case WM_CREATE:
            if constexpr (requires { self->onCreate(); }) {
                self->onCreate();
                return 0;
            }
            break;
        case WM_COMMAND:
            if constexpr (requires { self->onCommand(0, 0); }) {
                self->onCommand(LOWORD(wParam), HIWORD(wParam));
                return 0;
            }
            break;
        case WM_DRAWITEM:
            if constexpr (requires(const DRAWITEMSTRUCT& item) { self->onDrawItem(item); }) {
                self->onDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                return TRUE;
            }
            break;
        case WM_CTLCOLORSTATIC:
            if constexpr (requires { self->onCtlColorStatic(HDC{}, HWND{}); })
                return self->onCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
            break;
        default:
            break;
        }
        return self->handleMessage(message, wParam, lParam);
    } catch (...) {
        reportInternalErrorAndExit(hwnd);
    }
}

// Registers a window class of Window's, bound to windowProcFor<Window>, with the arrow
// pointer; a class registered before counts as registered.
template <typename Window>
bool registerClassFor(HINSTANCE instance, const wchar_t* className, HBRUSH background, HICON icon = nullptr,
                      HICON smallIcon = nullptr) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &windowProcFor<Window>;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace win
