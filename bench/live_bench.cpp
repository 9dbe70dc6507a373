// How live the tool is, with the real pointer: from a click on 帮助 to the window's new height,
// with nothing running (the baseline) and while the CAD holds a prompt; how fast a docked
// promotion window shows when the pointer reaches its strip and hides when it leaves (during
// the prompt); and how long 退出 takes to end the tool while the prompt is still up.
// Usage: live_bench TOOL.exe CONFIG_DIR ROUNDS   (the stand-in CAD registered, see live.sh)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window_ids.h"
#include "promo/promo_window_ids.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Polls every millisecond; the time it took, or a negative number after `boundMs`.
double timeUntil(const std::function<bool()>& condition, double boundMs = 5000) {
    const auto start = Clock::now();
    while (!condition()) {
        if (msSince(start) > boundMs) return -1;
        Sleep(1);
    }
    return msSince(start);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

void pointerTo(int x, int y, bool click = false) {
    SetCursorPos(x, y);
    const int dx = MulDiv(x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    const int dy = MulDiv(y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    for (DWORD button : {DWORD{0}, DWORD{MOUSEEVENTF_LEFTDOWN}, DWORD{MOUSEEVENTF_LEFTUP}})
        if (click || !button) mouse_event(button | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, dx, dy, 0, 0);
}

RECT rectOf(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

HWND windowOf(DWORD pid, const wchar_t* cls, bool rightmost = false) {
    HWND best = nullptr;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, cls, nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && (!best || (rightmost && rectOf(w).left > rectOf(best).left))) best = w;
    }
    return best;
}

// Clicks 帮助 `rounds` times; the median time from the click to the window's new height.
double helpLatency(HWND main, int rounds) {
    const RECT button = rectOf(GetDlgItem(main, app::IdHelpButton));
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const long height = rectOf(main).bottom - rectOf(main).top;
        const auto start = Clock::now();
        pointerTo((button.left + button.right) / 2, (button.top + button.bottom) / 2, true);
        if (timeUntil([&] { return rectOf(main).bottom - rectOf(main).top != height; }) >= 0)
            times.push_back(msSince(start));
        Sleep(100);
    }
    std::printf("  (%zu of %d clicks answered)\n", times.size(), rounds);
    return median(times);
}

std::string shown(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", ms);
    return ms < 0 ? "no answer" : text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fputs("usage: live_bench TOOL.exe CONFIG_DIR ROUNDS\n", stderr);
        return 2;
    }
    SetProcessDPIAware();
    const int rounds = _wtoi(argv[3]);
    const long screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    const std::wstring dir = argv[2];
    CreateDirectoryW(dir.c_str(), nullptr);
    // The origin prompt waits for a person who never comes.
    HANDLE f = CreateFileW((dir + L"\\live-answers.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, "user\n", 5, &written, nullptr);
    CloseHandle(f);
    const std::string config = "script = " + std::string(dir.begin(), dir.end()) + "\\live-answers.txt\r\n";
    f = CreateFileW((dir + L"\\config.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    WriteFile(f, config.data(), static_cast<DWORD>(config.size()), &written, nullptr);
    CloseHandle(f);

    pointerTo(screenW / 2, screenH - 40);
    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION tool{};
    if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &tool)) {
        std::fputs("cannot start the tool\n", stderr);
        return 1;
    }
    HWND main = nullptr;
    timeUntil([&] { return (main = windowOf(tool.dwProcessId, app::kMainWindowClass)) != nullptr; }, 30000);
    if (!main) return 1;
    Sleep(1000);

    std::puts("help, nothing running:");
    const double idleHelp = helpLatency(main, rounds);
    PostMessageW(GetDlgItem(main, app::IdInitialiseOriginButton), BM_CLICK, 0, 0);
    const auto running = [&] {
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(main, app::kQueryCommandRunning, 0, 0, SMTO_ABORTIFHUNG, 500, &result) && result;
    };
    Sleep(3000);  // the CAD started and its prompt up
    std::puts("help, during the prompt:");
    const double promptHelp = helpLatency(main, rounds);

    HWND right = windowOf(tool.dwProcessId, promo::kPromoWindowClass, true);
    const auto docked = [&] { return rectOf(right).left >= screenW - 4; };
    const auto revealed = [&] { return rectOf(right).left < screenW - 50; };
    timeUntil(docked, 15000);
    const long middle = (rectOf(right).top + rectOf(right).bottom) / 2;
    std::vector<double> reveals, hides;
    for (int i = 0; i < rounds && right; ++i) {
        auto start = Clock::now();
        pointerTo(screenW - 2, middle);
        if (timeUntil(revealed) >= 0) reveals.push_back(msSince(start));
        Sleep(200);
        start = Clock::now();
        pointerTo(screenW / 2, screenH - 40);
        if (timeUntil(docked) >= 0) hides.push_back(msSince(start));
        Sleep(200);
    }
    const bool stillPrompting = running();
    const RECT exitButton = rectOf(GetDlgItem(main, app::IdExitButton));
    const auto exitStart = Clock::now();
    pointerTo((exitButton.left + exitButton.right) / 2, (exitButton.top + exitButton.bottom) / 2, true);
    const bool ended = WaitForSingleObject(tool.hProcess, 10000) == WAIT_OBJECT_0;
    const double exitMs = msSince(exitStart);
    if (!ended) TerminateProcess(tool.hProcess, 9);

    std::printf("help click to new height, median of %d: nothing running %s, during the prompt %s, ratio %.2f "
                "(target under 50 ms)\n",
                rounds, shown(idleHelp).c_str(), shown(promptHelp).c_str(),
                idleHelp > 0 && promptHelp > 0 ? promptHelp / idleHelp : 0);
    std::printf("promotion window, during the prompt, median of %d rounds: shown %s after the pointer reached its "
                "strip (target 50 ms), docked %s after it left (target 100 ms)\n",
                rounds, shown(median(reveals)).c_str(), shown(median(hides)).c_str());
    std::printf("prompt still up at the end: %s; 退出 ended the tool in %.0f ms%s\n", stillPrompting ? "yes" : "NO",
                exitMs, ended ? "" : " (NOT ended: killed)");
    return ended && stillPrompting ? 0 : 1;
}
