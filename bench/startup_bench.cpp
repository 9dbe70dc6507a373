// Start-up time and working set of the tool against a bare one-window program, measured in
// the same prefix and run, alternating. "Ready" is what a user waits for: the tool's main
// window shown with the focus in its output box and both promotion windows up; the bare
// program's window shown with the focus in its edit box. Time runs from just before
// CreateProcess. The state is checked again at every show and focus event of the process
// (an out-of-context event hook, so the program is not slowed by being watched) and every
// 10 ms in case an event is missed. A second build of the tool (an earlier one) may take
// turns with them in the same run, so that both are compared under the same conditions. The
// bare program also runs with the tool's manifest (themed common controls), which tells what
// of the tool's time is the controls' library and theme rather than its own work; and so does
// the program of the tool's shape (its main window with one edit box and the two promotion
// windows, nothing else), which tells what of it is the tool's own work beyond its windows.
// Usage: startup_bench RUNS TOOL.exe BARE.exe [THEMED_BARE.exe [SHAPE.exe [BEFORE.exe]]]
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
    const wchar_t* sideClass = nullptr;  // the promotion windows' class, or the shape program's
    HWND main = nullptr;
    int visibleSides = 0;
};

BOOL CALLBACK collect(HWND hwnd, LPARAM param) {
    auto& found = *reinterpret_cast<ProcessWindows*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != found.pid || !IsWindowVisible(hwnd)) return TRUE;
    wchar_t name[64]{};
    GetClassNameW(hwnd, name, 64);
    if (std::wstring(name) == found.mainClass) found.main = hwnd;
    if (found.sideClass && std::wstring(name) == found.sideClass) ++found.visibleSides;
    return TRUE;
}

bool focusIn(HWND main, HWND control) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return control && GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info) && info.hwndFocus == control;
}

// What a program shows once it is ready: its main window with the focus in its box and, for the
// tool and its shape, both side windows visible.
struct Readiness {
    const wchar_t* mainClass;
    const wchar_t* sideClass;  // none for the bare program
    HWND (*box)(HWND main);
};
HWND firstChild(HWND main) { return GetWindow(main, GW_CHILD); }
HWND outputBox(HWND main) { return GetDlgItem(main, app::IdOutputBox); }
const Readiness kTool{app::kMainWindowClass, promo::kPromoWindowClass, outputBox};
const Readiness kBare{L"BenchBareWindow", nullptr, firstChild};
const Readiness kShape{L"BenchShapeWindow", L"BenchShapeSide", firstChild};

struct ReadyState {
    bool shown = false, focused = false;
    int sides = 0;
};

ReadyState stateOf(DWORD pid, const Readiness& readiness) {
    ProcessWindows found{pid, readiness.mainClass, readiness.sideClass};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&found));
    return {found.main != nullptr, found.main && focusIn(found.main, readiness.box(found.main)), found.visibleSides};
}

bool isReady(const ReadyState& state, const Readiness& readiness) {
    return state.shown && state.focused && state.sides == (readiness.sideClass ? 2 : 0);
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
bool measureOnce(const wchar_t* exe, const Readiness& readiness, Sample& sample, DWORD settleMs = kSettleMs) {
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
        if (isReady(stateOf(info.dwProcessId, readiness), readiness)) {
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
        const ReadyState state = stateOf(info.dwProcessId, readiness);
        std::fprintf(stderr, "%ls did not become ready: main window %s, %d side windows shown, focus %s its box\n", exe,
                     state.shown ? "shown" : "not shown", state.sides, state.focused ? "in" : "not in");
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
    if (argc < 4 || argc > 7) {
        std::fputs("usage: startup_bench RUNS TOOL.exe BARE.exe [THEMED_BARE.exe [SHAPE.exe [BEFORE.exe]]]\n", stderr);
        return 2;
    }
    const bool setsOnly = _wtoi(argv[1]) == 0;
    const int runs = setsOnly ? 1 : _wtoi(argv[1]);
    struct Subject {
        const char* name;
        const wchar_t* exe;
        const Readiness& readiness;
        std::vector<Sample> samples;
    };
    std::vector<Subject> subjects{{"bare", argv[3], kBare, {}}, {"tool", argv[2], kTool, {}}};
    if (argc >= 5) subjects.push_back({"themed", argv[4], kBare, {}});
    if (argc >= 6) subjects.push_back({"shape", argv[5], kShape, {}});
    if (argc == 7) subjects.push_back({"before", argv[6], kTool, {}});
    const size_t count = subjects.size();

    // One start of each first, not counted: the first start of a program in a prefix pays
    // for loading its DLLs from disk.
    for (auto& subject : subjects) {
        Sample warmUp;
        if (!setsOnly && !measureOnce(subject.exe, subject.readiness, warmUp)) return 1;
    }
    for (int run = 0; run < runs; ++run) {
        // Taking turns, and the order rotated every round, so that drift hits all alike.
        for (size_t k = 0; k < count; ++k) {
            auto& subject = subjects[(static_cast<size_t>(run) + k) % count];
            Sample sample;
            if (!measureOnce(subject.exe, subject.readiness, sample, setsOnly ? 0 : kSettleMs)) return 1;
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
    if (count >= 4) {
        std::printf("ratio shape baseline/bare, time to ready: %.3f (the three windows alone)\n",
                    medianMs[3] / medianMs[0]);
        std::printf("ratio tool/shape baseline, time to ready: %.3f (target at most 1.10)\n", medianMs[1] / medianMs[3]);
        std::printf("ratio tool/shape baseline, working set: %.2f\n", medianWs[1] / medianWs[3]);
    }
    if (count == 5) {
        std::printf("ratio before/bare, time to ready: %.3f\n", medianMs[4] / medianMs[0]);
        std::printf("ratio before/shape baseline, time to ready: %.3f\n", medianMs[4] / medianMs[3]);
        std::printf("ratio before/bare, working set: %.2f\n", medianWs[4] / medianWs[0]);
    }
    return 0;
}
