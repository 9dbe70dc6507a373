// Toolkit of the end-to-end driver: the tool's process and windows, texts and rectangles read
// across processes, the real pointer and keyboard, and the screen read back.
#pragma once

#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window_ids.h"
#include "win/gdi_owners.h"
#include "win/handle_owners.h"

namespace driver {

using namespace std::chrono_literals;

// The helper modes the Python tests call (pick_session.cpp, soak.cpp).
int pickSession(const std::wstring& tool, const std::wstring& resultPath, const std::vector<std::wstring>& steps);
int soak(wchar_t** argv);

// What follows the GoogleTest arguments: TOOL DPI OUTDIR RECORDER, or STANDIN alone.
inline std::vector<std::wstring> args;
inline std::wstring arg(size_t i) { return i < args.size() ? args[i] : L""; }
inline int argDpi() { return _wtoi(arg(1).c_str()); }

inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    for (const auto end = std::chrono::steady_clock::now() + timeout;; Sleep(20)) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
    }
}

// A started program, ended with the object if it still runs.
struct Process {
    PROCESS_INFORMATION info{};
    ~Process() {
        const win::KernelHandle process(info.hProcess), thread(info.hThread);
        if (info.hProcess && !waitExit(0ms)) TerminateProcess(info.hProcess, 99), waitExit(5s);
    }
    bool start(const std::wstring& exe, const std::wstring& arguments = L"") {
        std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        return CreateProcessW(exe.c_str(), commandLine.data(), 0, 0, 0, 0, 0, 0, &startup, &info);
    }
    bool waitExit(std::chrono::milliseconds t) const { return !WaitForSingleObject(info.hProcess, DWORD(t.count())); }
    DWORD id() const { return info.dwProcessId; }
};

// Top-level windows of the process in Z order, of that class (any when null).
inline std::vector<HWND> windowsOf(DWORD processId, const wchar_t* className, bool hiddenToo = false) {
    std::vector<HWND> found;
    for (HWND hwnd = nullptr; (hwnd = FindWindowExW(nullptr, hwnd, className, nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == processId && (hiddenToo || IsWindowVisible(hwnd))) found.push_back(hwnd);
    }
    return found;
}
inline HWND findTopLevel(DWORD id, const wchar_t* className) {
    const std::vector<HWND> found = windowsOf(id, className);
    return found.empty() ? nullptr : found[0];
}

// Starts the tool; its main window, or null when none showed within 30 s. What an earlier run
// remembered is forgotten first, so that every test starts from the defaults, unless kept.
inline HWND launchTool(Process& process, const std::wstring& exe, const std::wstring& arguments = L"",
                       bool keepRemembered = false) {
    if (!keepRemembered) RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Pontiro");
    HWND main = nullptr;
    if (process.start(exe, arguments))
        waitFor([&] { return (main = findTopLevel(process.id(), app::kMainWindowClass)) != nullptr; }, 30s);
    return main;
}

inline DWORD_PTR sendTimeout(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result) ? result : 0;
}
inline std::wstring windowText(HWND hwnd) {
    std::wstring text(sendTimeout(hwnd, WM_GETTEXTLENGTH) + 1, L'\0');
    text.resize(sendTimeout(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    return text;
}
inline RECT windowRect(HWND hwnd, bool client = false) {
    RECT r{};
    client ? GetClientRect(hwnd, &r) : GetWindowRect(hwnd, &r);
    return r;
}
inline RECT rectInParentClient(HWND child) {
    RECT r = windowRect(child);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}
inline POINT centreOf(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
inline HWND focusedWindow(HWND anyWindowOfThread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(anyWindowOfThread, nullptr), &info) ? info.hwndFocus : nullptr;
}
// Focus given the way a program gives it (SetFocus from its input queue), not by Tab.
inline void focusControl(HWND control) {
    const DWORD target = GetWindowThreadProcessId(control, nullptr), self = GetCurrentThreadId();
    AttachThreadInput(self, target, TRUE);
    SetFocus(control);
    AttachThreadInput(self, target, FALSE);
}

inline void pressKey(WORD virtualKey) {
    keybd_event(virtualKey, 0, 0, 0);
    keybd_event(virtualKey, 0, KEYEVENTF_KEYUP, 0);
}
// The real pointer, moved by input events so that the window under it reacts. Each event
// carries the point: a click sent right after SetCursorPos alone may land where it was before.
inline void moveMouseTo(int x, int y, bool click = false) {
    SetCursorPos(x, y);
    const int dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    const int dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    for (DWORD button : {0, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP})
        if (click || !button) mouse_event(button | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, dx, dy, 0, 0);
}
inline void clickAt(int x, int y) { moveMouseTo(x, y, true); }

inline int screenDpi() { return static_cast<int>(GetDpiForSystem()); }
inline long twipsToPx(double twips, int dpi) { return std::lround(twips * dpi / 1440.0); }
using Box = std::array<long, 4>;  // left, top, width, height
inline Box box(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }
inline Box pxBox(const Box& t, int dpi) {
    return {twipsToPx(t[0], dpi), twipsToPx(t[1], dpi), twipsToPx(t[2], dpi), twipsToPx(t[3], dpi)};
}

// One read of a rectangle of the screen or of a drawing in memory, 0x00RRGGBB, top row first.
struct Capture {
    RECT r{};
    std::vector<DWORD> px;
    COLORREF at(int x, int y) const {
        const DWORD p = px[(y - r.top) * (r.right - r.left) + x - r.left];
        return RGB(p >> 16 & 255, p >> 8 & 255, p & 255);
    }
    // The bounding box of the pixels of `area` that pass `test`; empty (right < left) when none.
    RECT ink(const RECT& area, const std::function<bool(COLORREF)>& test) const {
        RECT b{area.right, area.bottom, area.left, area.top};
        for (long y = area.top; y < area.bottom; ++y)
            for (long x = area.left; x < area.right; ++x)
                if (test(at(x, y)))
                    b = {std::min(b.left, x), std::min(b.top, y), std::max(b.right, x + 1), std::max(b.bottom, y + 1)};
        return b;
    }
};
// `draw` into a memory bitmap the size of `r`, read back.
inline Capture paint(const RECT& r, const std::function<void(HDC)>& draw) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right - r.left, r.top - r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    DWORD* bits = nullptr;
    const win::MemoryDc dc(nullptr);
    const win::Bitmap bitmap(
        CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0));
    const win::SelectionScope selected(dc.get(), bitmap.get());
    draw(dc.get());
    GdiFlush();
    return Capture{r, std::vector<DWORD>(bits, bits + (r.right - r.left) * (r.bottom - r.top))};
}
inline Capture capture(const RECT& r) {
    return paint(r, [&](HDC dc) {
        const win::WindowDc screen(nullptr);
        BitBlt(dc, 0, 0, r.right - r.left, r.bottom - r.top, screen.get(), r.left, r.top, SRCCOPY);
    });
}

// The whole screen as X shows it (Wine's own screen reads miss most of what other programs
// drew), saved as a PNG. Wine cannot wait for a Unix program, so the file's arrival is awaited.
inline bool saveScreenshot(const std::wstring& unixPath) {
    const std::wstring png = L"Z:" + unixPath;
    WIN32_FILE_ATTRIBUTE_DATA file{};
    const auto written = [&] { return GetFileAttributesExW(png.c_str(), GetFileExInfoStandard, &file) && file.nFileSizeLow; };
    DeleteFileW(png.c_str());
    Process program;
    const bool saved = program.start(L"Z:\\usr\\bin\\import", L"-window root " + unixPath) && waitFor(written, 30s);
    Sleep(500);
    return saved;
}

inline bool writeFile(const std::wstring& path, const std::string& text) {
    FILE* file = _wfopen(path.c_str(), L"wb");
    return file && fwrite(text.data(), 1, text.size(), file) == text.size() && fclose(file) == 0;
}

// For the helper modes: JSON string literals, and PASS/FAIL lines that the Python tests read.
inline std::string json(const std::wstring& text) {
    std::string out = "\"", utf8(text.size() * 3, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(), int(utf8.size()), 0, 0));
    for (char c : utf8) {
        char escaped[8] = {c};
        if (c == '"' || c == '\\') snprintf(escaped, sizeof escaped, "\\%c", c);
        if (static_cast<unsigned char>(c) < 0x20) snprintf(escaped, sizeof escaped, "\\u%04x", c);
        out += escaped;
    }
    return out + "\"";
}
struct Checks {
    int failed = 0;
    bool operator()(bool ok, const std::wstring& what, const std::wstring& why = L"") {
        const std::string line = json((ok ? L"PASS " : L"FAIL ") + what + (ok || why.empty() ? L"" : L": " + why));
        printf("%s\n", line.substr(1, line.size() - 2).c_str());  // escaped: one line whatever it holds
        fflush(stdout);
        failed += !ok;
        return ok;
    }
};

// Answers the tool's message boxes with OK, noting caption and text, until it runs no command
// and `done` holds (or a box was answered).
struct SeenBox { std::wstring caption, text; };
inline bool waitIdle(HWND main, DWORD processId, std::vector<SeenBox>& boxes, std::chrono::milliseconds bound,
                     const std::function<bool()>& done = [] { return true; }) {
    bool answered = false;
    for (const auto end = std::chrono::steady_clock::now() + bound; std::chrono::steady_clock::now() < end; Sleep(2)) {
        if (HWND box = findTopLevel(processId, L"#32770")) {
            Sleep(100);  // let it finish drawing
            boxes.push_back({windowText(box), windowText(GetDlgItem(box, 0xFFFF))});
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            waitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5s);
            answered = true;
        } else {
            // `done` first: the command runs on its own thread and may change what `done` reads
            // between the question and the answer, so only "done, then not running" is idle.
            const bool finished = answered || done();
            DWORD_PTR running = 1;
            if (SendMessageTimeoutW(main, app::kQueryCommandRunning, 0, 0, SMTO_ABORTIFHUNG, 500, &running) &&
                !running && finished)
                return true;
        }
    }
    return false;
}

// The addresses in the URL recorder's log, whole lines only (it may be writing the next one).
inline std::vector<std::string> opened(const std::wstring& log) {
    std::vector<std::string> addresses;
    std::ifstream in(std::filesystem::path(log), std::ios::binary);
    for (std::string line; std::getline(in, line) && !in.eof();) addresses.push_back(line);
    return addresses;
}

// Wine 8 reads URL handlers from HKCR only: the scheme's handler is replaced for the object's
// life and the old command put back after.
struct HandlerOverride {
    HandlerOverride(const std::wstring& scheme, const std::wstring& command) : key(scheme + L"\\shell\\open\\command") {
        hadOld = !RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, old, &size);
        ok = !RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, command.c_str(), bytes(command.c_str()));
    }
    ~HandlerOverride() {
        if (ok && hadOld) RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, old, bytes(old));
        if (ok && !hadOld) RegDeleteKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr);
    }
    static DWORD bytes(const wchar_t* text) { return static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)); }
    std::wstring key;
    wchar_t old[1024] = {};
    DWORD size = sizeof(old) - sizeof(wchar_t);
    bool hadOld = false, ok = false;
};

}  // namespace driver
