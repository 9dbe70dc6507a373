// Small toolkit of the end-to-end driver: start and stop the tool, find its windows,
// read texts and rectangles across processes, press keys, record checks, save screenshots.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace driver {

// Collects named checks and prints one line per check plus the closing summary.
class Checks {
public:
    void expect(bool ok, const std::wstring& what, const std::wstring& detail = L"");
    template <typename T>
    void expectEqual(const T& actual, const T& expected, const std::wstring& what) {
        expect(actual == expected, what, L"got " + show(actual) + L", expected " + show(expected));
    }
    int failed() const { return failed_; }
    int summary() const;  // prints "N passed, M failed"; returns the process exit code

private:
    static std::wstring show(int v) { return std::to_wstring(v); }
    static std::wstring show(long v) { return std::to_wstring(v); }
    static std::wstring show(unsigned v) { return std::to_wstring(v); }
    static std::wstring show(bool v) { return v ? L"true" : L"false"; }
    static std::wstring show(const std::wstring& v) { return L"\"" + v + L"\""; }
    int passed_ = 0;
    int failed_ = 0;
};

void print(const std::wstring& line);  // UTF-8 line to stdout
std::string utf8(const std::wstring& text);
std::string json(const std::wstring& text);  // a JSON string literal, quotes included
// Writes a scenario's result file for the script that started the driver (checked).
void writeResult(Checks& checks, const std::wstring& path, const std::string& text);

// Polls `condition` every 20 ms until it holds or `timeout` passes.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

class Process {
public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();
    bool start(const std::wstring& exe, const std::wstring& arguments = L"");
    bool waitExit(std::chrono::milliseconds timeout) const;
    void kill();
    DWORD id() const { return info_.dwProcessId; }
    HANDLE handle() const { return info_.hProcess; }

private:
    PROCESS_INFORMATION info_{};
};

// Starts the tool and waits for its main window (checked); null when it did not come up.
HWND launchTool(Checks& checks, Process& process, const std::wstring& exe);

// The visible top-level window of the process with that class, or null.
HWND findTopLevel(DWORD processId, const wchar_t* className);
std::wstring windowText(HWND hwnd);
std::wstring className(HWND hwnd);
RECT rectInParentClient(HWND child);
HWND focusedWindow(HWND anyWindowOfThread);
void pressKey(WORD virtualKey, bool shift = false);
int screenDpi();
bool saveScreenshot(const std::wstring& bmpPath);

}  // namespace driver

namespace driver {

// A real left click at a screen point (moves the pointer there first).
void clickAt(int x, int y);
// The colour of a screen pixel as drawn, 0x00BBGGRR.
COLORREF screenPixel(int x, int y);

}  // namespace driver

namespace driver {

// Twips to pixels at a DPI, nearest pixel.
int twipsToPx(double twips, int dpi);
RECT windowRect(HWND hwnd);
// Moves the real pointer with a mouse-move event, so that the window under it reacts.
void moveMouseTo(int x, int y);
// Start and end of an edit control's selection.
struct Selection {
    DWORD start = 0, end = 0;
};
Selection editSelection(HWND edit);
// Gives the focus to a control of another process the way a program would (SetFocus from
// its own input queue), not through the dialog manager.
bool focusControl(HWND control);

}  // namespace driver
