// Start-up time and working set of the tool against a bare one-window program, measured in
// the same prefix and run, alternating. "Ready" is what a user waits for: the tool's main
// window shown with the focus in its output box and both promotion windows up; the bare
// program's window shown with the focus in its edit box. Time runs from just before
// CreateProcess. The state is checked again at every show and focus event of the process
// (an out-of-context event hook, so the program is not slowed by being watched) and every
// 10 ms in case an event is missed. A second build of the tool (an earlier one) may take
// turns with them in the same run, so that both are compared under the same conditions. The
// bare program also runs with the tool's manifest (themed common controls), which tells what
// of the tool's time is the controls' library and theme rather than its own work.
// Usage: startup_bench RUNS TOOL.exe BARE.exe [THEMED_BARE.exe [BEFORE.exe]]
// RUNS 0: one start of each, without the warm-up and the pauses, for their working sets alone
// (the footprint test's use; its times are not comparable).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/main_window_ids.h"
#include "win/handle_owners.h"
#include "promo/promo_window_ids.h"

namespace {

// The desktop repaints where the windows were; the next start should not pay for that.
constexpr DWORD kSettleMs = 3000;

struct Sample {
    double readyMs = 0;
    double workingSetMiB = 0;
};

struct ProcessWindows {
    DWORD pid = 0;
    const wchar_t* mainClass = nullptr;
    HWND main = nullptr;
    int visiblePromos = 0;
};

BOOL CALLBACK collect(HWND hwnd, LPARAM param) {
    auto& found = *reinterpret_cast<ProcessWindows*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != found.pid || !IsWindowVisible(hwnd)) return TRUE;
    wchar_t name[64]{};
    GetClassNameW(hwnd, name, 64);
    if (std::wstring(name) == found.mainClass) found.main = hwnd;
    if (std::wstring(name) == promo::kPromoWindowClass) ++found.visiblePromos;
    return TRUE;
}

bool focusIn(HWND main, HWND control) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return control && GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info) && info.hwndFocus == control;
}

bool toolReady(DWORD pid) {
    ProcessWindows found{pid, app::kMainWindowClass};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&found));
    return found.main && found.visiblePromos == 2 && focusIn(found.main, GetDlgItem(found.main, app::IdOutputBox));
}

bool bareReady(DWORD pid) {
    ProcessWindows found{pid, L"BenchBareWindow"};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&found));
    return found.main && focusIn(found.main, GetWindow(found.main, GW_CHILD));
}

double nowMs() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency);
}

// Only wakes the wait loop, which checks the state itself.
void CALLBACK onWinEvent(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) {}

// One start: the time to ready, then the memory once the program has settled.
bool measureOnce(const wchar_t* exe, bool (*ready)(DWORD), Sample& sample, DWORD settleMs = kSettleMs) {
    std::wstring commandLine = L"\"" + std::wstring(exe) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    const double start = nowMs();
    if (!CreateProcessW(exe, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        std::fprintf(stderr, "cannot start %ls: %lu\n", exe, GetLastError());
        return false;
    }
    win::KernelHandle process(info.hProcess), thread(info.hThread);
    bool ok = false;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_FOCUS, nullptr, onWinEvent,
                                         info.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    while (nowMs() - start < 30000) {
        if (ready(info.dwProcessId)) {
            sample.readyMs = nowMs() - start;
            ok = true;
            break;
        }
        HANDLE waitFor = process.get();
        if (MsgWaitForMultipleObjects(1, &waitFor, FALSE, 10, QS_ALLINPUT) == WAIT_OBJECT_0) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    if (hook) UnhookWinEvent(hook);
    if (ok) {
        Sleep(1000);
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof(memory);
        if (GetProcessMemoryInfo(process.get(), &memory, sizeof(memory))) {
            sample.workingSetMiB = static_cast<double>(memory.WorkingSetSize) / (1024.0 * 1024.0);
        }
    } else {
        std::fprintf(stderr, "%ls did not become ready\n", exe);
    }
    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 10000);
    Sleep(settleMs);
    return ok;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4 || argc > 6) {
        std::fputs("usage: startup_bench RUNS TOOL.exe BARE.exe [THEMED_BARE.exe [BEFORE.exe]]\n", stderr);
        return 2;
    }
    const bool setsOnly = _wtoi(argv[1]) == 0;
    const int runs = setsOnly ? 1 : _wtoi(argv[1]);
    struct Subject {
        const char* name;
        const wchar_t* exe;
        bool (*ready)(DWORD);
        std::vector<Sample> samples;
    };
    std::vector<Subject> subjects{{"bare", argv[3], bareReady, {}}, {"tool", argv[2], toolReady, {}}};
    if (argc >= 5) subjects.push_back({"themed", argv[4], bareReady, {}});
    if (argc == 6) subjects.push_back({"before", argv[5], toolReady, {}});
    const size_t count = subjects.size();

    // One start of each first, not counted: the first start of a program in a prefix pays
    // for loading its DLLs from disk.
    for (auto& subject : subjects) {
        Sample warmUp;
        if (!setsOnly && !measureOnce(subject.exe, subject.ready, warmUp)) return 1;
    }
    for (int run = 0; run < runs; ++run) {
        // Taking turns, and the order rotated every round, so that drift hits all alike.
        for (size_t k = 0; k < count; ++k) {
            auto& subject = subjects[(static_cast<size_t>(run) + k) % count];
            Sample sample;
            if (!measureOnce(subject.exe, subject.ready, sample, setsOnly ? 0 : kSettleMs)) return 1;
            std::printf("run %2d %-4s ready %8.1f ms  working set %6.1f MiB\n", run + 1, subject.name,
                        sample.readyMs, sample.workingSetMiB);
            std::fflush(stdout);
            subject.samples.push_back(sample);
        }
    }
    std::vector<double> medianMs(count), medianWs(count);
    for (size_t k = 0; k < count; ++k) {
        std::vector<double> ms, ws;
        for (const Sample& s : subjects[k].samples) {
            ms.push_back(s.readyMs);
            ws.push_back(s.workingSetMiB);
        }
        medianMs[k] = median(ms);
        medianWs[k] = median(ws);
        std::printf("median %-4s ready %8.1f ms  working set %6.1f MiB  (%d runs)\n", subjects[k].name,
                    medianMs[k], medianWs[k], runs);
    }
    std::printf("ratio tool/bare, time to ready: %.3f (target at most 1.15)\n", medianMs[1] / medianMs[0]);
    std::printf("ratio tool/bare, working set: %.2f\n", medianWs[1] / medianWs[0]);
    if (count >= 3) {
        std::printf("ratio themed bare/bare, time to ready: %.3f (the manifest alone)\n", medianMs[2] / medianMs[0]);
        std::printf("ratio tool/themed bare, time to ready: %.3f\n", medianMs[1] / medianMs[2]);
    }
    if (count == 4) {
        std::printf("ratio before/bare, time to ready: %.3f\n", medianMs[3] / medianMs[0]);
        std::printf("ratio before/bare, working set: %.2f\n", medianWs[3] / medianWs[0]);
    }
    return 0;
}
