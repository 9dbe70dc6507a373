// Measures the CPU time a program uses while idle: starts it, lets it settle, then, as a user
// who has gone on working elsewhere, brings a window of its own to the front with the pointer
// on it, reads the program's process times over a span, prints them and ends it.
// Usage: idle_cpu PROGRAM.exe SETTLE_SECONDS SPAN_SECONDS
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

// Kernel plus user time in milliseconds.
double cpuMs(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    const auto ticks = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 10000.0;
}

// Waits, answering this thread's window messages meanwhile.
void pumpFor(DWORD ms) {
    for (const ULONGLONG end = GetTickCount64() + ms; GetTickCount64() < end;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - GetTickCount64()), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fputs("usage: idle_cpu PROGRAM.exe SETTLE_SECONDS SPAN_SECONDS\n", stderr);
        return 2;
    }
    const DWORD settleMs = static_cast<DWORD>(_wtoi(argv[2])) * 1000;
    const DWORD spanMs = static_cast<DWORD>(_wtoi(argv[3])) * 1000;
    wchar_t commandLine[MAX_PATH + 2];
    std::swprintf(commandLine, MAX_PATH + 2, L"\"%ls\"", argv[1]);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(argv[1], commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        std::fprintf(stderr, "cannot start program: %lu\n", GetLastError());
        return 1;
    }
    pumpFor(settleMs / 2);
    // Another program in front, the pointer on it, away from the program's windows.
    HWND elsewhere = CreateWindowExW(0, L"STATIC", L"elsewhere", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 700, 800, 300, 200,
                                     nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(elsewhere);
    SetCursorPos(850, 900);
    pumpFor(settleMs - settleMs / 2);
    const double before = cpuMs(info.hProcess);
    const ULONGLONG start = GetTickCount64();
    pumpFor(spanMs);
    const double after = cpuMs(info.hProcess);
    const ULONGLONG elapsed = GetTickCount64() - start;
    const bool stillRunning = WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT;
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (before < 0 || after < 0 || !stillRunning) {
        std::fputs("could not read the program's times, or it ended early\n", stderr);
        return 1;
    }
    std::printf("cpu_ms %.1f wall_ms %llu\n", after - before, static_cast<unsigned long long>(elapsed));
    return 0;
}
