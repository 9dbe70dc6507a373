// Counts of a process's kernel, GDI and USER handles, read from outside the process.
// Windows has an API for each; Wine 8 stubs GetGuiResources (0), so each count also has a
// substitute that reads the same thing another way. `pick` takes the API's figure when it
// gives one and the substitute's otherwise, and says which it used.
#pragma once

#include <windows.h>

#include <string>

namespace driver {

struct HandleCounts {
    // Straight from the APIs: GetProcessHandleCount and GetGuiResources; 0 when not given.
    DWORD kernelApi = 0, gdiApi = 0, userApi = 0;
    // Substitutes: handle values that DuplicateHandle can copy out of the process, live
    // entries of its GDI handle table (PEB GdiSharedHandleTable), and its windows
    // (top-level, children and message-only). -1 when the substitute could not be read.
    long kernelProbe = -1, gdiTable = -1, windows = -1;

    long kernel() const { return kernelApi ? static_cast<long>(kernelApi) : kernelProbe; }
    long gdi() const { return gdiApi ? static_cast<long>(gdiApi) : gdiTable; }
    long user() const { return userApi ? static_cast<long>(userApi) : windows; }
    std::wstring kernelSource() const;
    std::wstring gdiSource() const;
    std::wstring userSource() const;
};

// `process` needs PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE.
HandleCounts countHandles(HANDLE process, DWORD processId);

}  // namespace driver
