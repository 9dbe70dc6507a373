#include "win/window_ops.h"
#include "win/window_proc.h"

#include <ole2.h>
#include <shellapi.h>

#include <string>

#include "win/placement.h"
#include "win/texts.h"

namespace win {

TwipsPerPixel screenTwipsPerPixel() {
    WindowDc screen(nullptr);
    return twipsPerPixelForDpi(GetDeviceCaps(screen.get(), LOGPIXELSX), GetDeviceCaps(screen.get(), LOGPIXELSY));
}

namespace {

// Outer top-left in twips of a window of this outer pixel size, centred on the screen.
CentredPosition centredOnScreen(int width, int height, const TwipsPerPixel& tpp) {
    return centredPosition(static_cast<float>(GetSystemMetrics(SM_CXSCREEN) * tpp.x), static_cast<float>(width * tpp.x),
                           static_cast<float>(GetSystemMetrics(SM_CYSCREEN) * tpp.y), static_cast<float>(height * tpp.y));
}

}  // namespace

void centerWindow(HWND window) {
    RECT outer{};
    GetWindowRect(window, &outer);
    const TwipsPerPixel tpp = screenTwipsPerPixel();
    const CentredPosition p = centredOnScreen(outer.right - outer.left, outer.bottom - outer.top, tpp);
    SetWindowPos(window, nullptr, twipsToPixels(p.left, tpp.x), twipsToPixels(p.top, tpp.y), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TopmostPixels centredPlacement(int width, int height) {
    const TwipsPerPixel tpp = screenTwipsPerPixel();
    const CentredPosition p = centredOnScreen(width, height, tpp);
    return topmostAt(p.left, p.top, width, height, tpp);
}

HWND createChild(HWND parent, HINSTANCE instance, const TwipsPerPixel& tpp, const ChildControl& child) {
    const PixelRect px = toPixels(child.rect, tpp);
    return CreateWindowExW(child.exStyle, child.className, child.text, WS_CHILD | WS_VISIBLE | child.style, px.left,
                           px.top, px.width, px.height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(child.id)), instance, nullptr);
}

namespace {
thread_local bool oleStarted = false;
}  // namespace

bool useOle() {
    if (!oleStarted) oleStarted = SUCCEEDED(OleInitialize(nullptr));
    return oleStarted;
}

void endOle() {
    if (oleStarted) OleUninitialize();
    oleStarted = false;
}

decltype(&ShellExecuteW) shellExecuteFunction(LoadLibraryFunction load) {
    static decltype(&ShellExecuteW) shellExecute = nullptr;
    if (shellExecute) return shellExecute;
    // From the system folder only. LOAD_LIBRARY_SEARCH_SYSTEM32 needs an update some Windows 7
    // machines lack (the call then fails with ERROR_INVALID_PARAMETER): there the full path of
    // the system folder does the same.
    HMODULE shell = load(L"shell32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!shell) {
        wchar_t folder[MAX_PATH];
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            shell = load((std::wstring(folder, length) + L"\\shell32.dll").c_str(), nullptr, 0);
    }
    if (shell)
        shellExecute = reinterpret_cast<decltype(&ShellExecuteW)>(
            reinterpret_cast<void*>(GetProcAddress(shell, "ShellExecuteW")));
    return shellExecute;
}

void shellOpen(HWND owner, const wchar_t* address) {
    // The shell is loaded on the first link a user follows, not at every start of the tool;
    // a load that failed is tried again at the next link.
    // No parameters, no directory and a normal show: a browser or mail program must get the
    // address alone and come up visible.
    useOle();  // the shell's handlers may be COM objects
    if (auto shellExecute = shellExecuteFunction(LoadLibraryExW))
        shellExecute(owner, L"open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void sizeLabelToText(HWND label) {
    const std::wstring text = windowText(label);
    const int length = static_cast<int>(text.size());
    RECT extent{0, 0, 0, 0};
    {
        WindowDc dc(label);
        SelectionScope font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
        DrawTextW(dc.get(), text.c_str(), length, &extent, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    }
    SetWindowPos(label, nullptr, 0, 0, extent.right, extent.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Font fitLabelFont(HWND label, HFONT font) {
    const std::wstring text = windowText(label);
    LOGFONTW design{};
    RECT box{};
    if (!font || !GetObjectW(font, sizeof design, &design) || !GetClientRect(label, &box)) return Font();
    WindowDc dc(label);
    const auto fits = [&](HFONT candidate) {
        SelectionScope selected(dc.get(), candidate);
        RECT needed{0, 0, box.right, 0};
        DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &needed,
                  DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
        return needed.bottom <= box.bottom && needed.right <= box.right;
    };
    Font smaller;
    // Heights are negative (character height in pixels); a few pixels less is enough.
    for (LOGFONTW shrunk = design; !fits(smaller.get() ? smaller.get() : font) && shrunk.lfHeight < -6;) {
        ++shrunk.lfHeight;
        shrunk.lfWidth = 0;
        smaller.reset(CreateFontIndirectW(&shrunk));
        if (!smaller.get()) break;
    }
    return smaller;
}

void reportInternalErrorAndExit(HWND hwnd) {
    MessageBoxW(hwnd, L"内部错误", kToolCaption, MB_OK | MB_ICONSTOP);
    ExitProcess(1);
}

}  // namespace win
