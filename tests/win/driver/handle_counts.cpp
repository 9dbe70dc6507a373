#include "handle_counts.h"

#include <winternl.h>

#include <cstdint>
#include <vector>

namespace driver {
namespace {

// One entry of the GDI handle table as Wine lays it out (24 bytes); Type 0 is a free slot.
#pragma pack(push, 1)
struct GdiTableEntry {
    std::uint64_t object;
    std::uint32_t owner;
    std::uint16_t unique;
    std::uint8_t type;
    std::uint8_t flags;
    std::uint64_t userPointer;
};
#pragma pack(pop)
static_assert(sizeof(GdiTableEntry) == 24);
constexpr size_t kGdiTableEntries = 0x10000;
constexpr size_t kPebGdiTableOffset = 0xF8;  // PEB.GdiSharedHandleTable of a 64-bit process

using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

long liveGdiEntries(HANDLE process) {
    static const auto query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    if (!query) return -1;
    PROCESS_BASIC_INFORMATION basic{};
    if (query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 || !basic.PebBaseAddress)
        return -1;
    std::uint64_t table = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<const BYTE*>(basic.PebBaseAddress) + kPebGdiTableOffset, &table,
                           sizeof table, &read) ||
        read != sizeof table || table == 0)
        return -1;
    std::vector<GdiTableEntry> entries(kGdiTableEntries);
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(table)), entries.data(),
                           entries.size() * sizeof(GdiTableEntry), &read) ||
        read != entries.size() * sizeof(GdiTableEntry))
        return -1;
    long live = 0;
    for (const GdiTableEntry& entry : entries) live += entry.type != 0 ? 1 : 0;
    return live;
}

// Handle values are multiples of 4 handed out lowest first, so a long run of values that
// cannot be duplicated means the table ends.
long duplicableHandles(HANDLE process) {
    constexpr std::uintptr_t kGiveUpAfter = 4096;
    long count = 0;
    std::uintptr_t misses = 0;
    for (std::uintptr_t value = 4; misses < kGiveUpAfter; value += 4) {
        HANDLE copy = nullptr;
        if (DuplicateHandle(process, reinterpret_cast<HANDLE>(value), GetCurrentProcess(), &copy, 0, FALSE,
                            DUPLICATE_SAME_ACCESS)) {
            CloseHandle(copy);
            ++count;
            misses = 0;
        } else {
            ++misses;
        }
    }
    return count;
}

struct WindowCount {
    DWORD processId;
    long count = 0;
};

BOOL CALLBACK countChild(HWND hwnd, LPARAM param) {
    auto* c = reinterpret_cast<WindowCount*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == c->processId) ++c->count;
    return TRUE;
}

BOOL CALLBACK countTopLevel(HWND hwnd, LPARAM param) {
    countChild(hwnd, param);
    EnumChildWindows(hwnd, countChild, param);  // every descendant, not only direct children
    return TRUE;
}

long processWindows(DWORD processId) {
    WindowCount c{processId};
    EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&c));
    // Message-only windows are not top-level windows: walk them apart.
    for (HWND hwnd = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); hwnd;
         hwnd = FindWindowExW(HWND_MESSAGE, hwnd, nullptr, nullptr)) {
        countTopLevel(hwnd, reinterpret_cast<LPARAM>(&c));
    }
    return c.count;
}

}  // namespace

std::wstring HandleCounts::kernelSource() const {
    return kernelApi ? L"GetProcessHandleCount" : L"DuplicateHandle probe (GetProcessHandleCount gave 0)";
}

std::wstring HandleCounts::gdiSource() const {
    return gdiApi ? L"GetGuiResources(GR_GDIOBJECTS)"
                  : L"live entries of the PEB GDI handle table (GetGuiResources gave 0)";
}

std::wstring HandleCounts::userSource() const {
    return userApi ? L"GetGuiResources(GR_USEROBJECTS)"
                   : L"windows of the process, message-only ones included (GetGuiResources gave 0)";
}

HandleCounts countHandles(HANDLE process, DWORD processId) {
    HandleCounts counts;
    DWORD kernel = 0;
    if (GetProcessHandleCount(process, &kernel)) counts.kernelApi = kernel;
    counts.gdiApi = GetGuiResources(process, GR_GDIOBJECTS);
    counts.userApi = GetGuiResources(process, GR_USEROBJECTS);
    counts.kernelProbe = duplicableHandles(process);
    counts.gdiTable = liveGdiEntries(process);
    counts.windows = processWindows(processId);
    return counts;
}

}  // namespace driver
