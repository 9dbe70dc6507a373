// Measures the CPU time a program uses while idle: starts it, lets it settle, reads its
// process times over a span, prints them and ends it.
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
    Sleep(settleMs);
    const double before = cpuMs(info.hProcess);
    const ULONGLONG start = GetTickCount64();
    Sleep(spanMs);
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
