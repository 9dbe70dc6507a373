// One owning type per handle kind: UniqueHandle<Traits> holds one handle, frees it once with
// Traits::free, and is moved, never copied. Kernel handles, global memory and registry keys
// here; COM and GDI kinds in com_owners.h and gdi_owners.h.
#pragma once

#include <windows.h>

#include <utility>

namespace win {

template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(Traits::valid(handle) ? handle : Handle{}) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    void reset(Handle handle = Handle{}) noexcept {
        if (handle_) Traits::free(handle_);
        handle_ = handle;
    }
    Handle get() const noexcept { return handle_; }
    // For out parameters and by-reference arguments: what is left there is owned here.
    Handle* address() noexcept { return &handle_; }
    // Hands the handle to a new owner (a stream, a VARIANT given away).
    Handle release() noexcept { return std::exchange(handle_, Handle{}); }
    explicit operator bool() const noexcept { return handle_ != Handle{}; }

private:
    Handle handle_{};
};

// Null and INVALID_HANDLE_VALUE both mean "none", so either failure value of the API that
// made it can be passed in.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static bool valid(HANDLE handle) noexcept { return handle != INVALID_HANDLE_VALUE; }
    static void free(HANDLE handle) noexcept { CloseHandle(handle); }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;

struct GlobalMemoryTraits {
    using Handle = HGLOBAL;
    static bool valid(HGLOBAL) noexcept { return true; }
    static void free(HGLOBAL memory) noexcept { GlobalFree(memory); }
};
using GlobalMemory = UniqueHandle<GlobalMemoryTraits>;

// An open registry key; the predefined roots are never owned.
struct RegistryKeyTraits {
    using Handle = HKEY;
    static bool valid(HKEY) noexcept { return true; }
    static void free(HKEY key) noexcept { RegCloseKey(key); }
};
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

}  // namespace win
