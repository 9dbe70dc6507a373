// Owners of kernel handles (CloseHandle) and movable global memory (GlobalFree).
// Copy is deleted; moving hands over ownership.
#pragma once

#include <windows.h>

#include <utility>

namespace win {

// Null and INVALID_HANDLE_VALUE both mean "none", so either failure value of the API that
// made it can be passed in.
class KernelHandle {
public:
    KernelHandle() = default;
    explicit KernelHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    KernelHandle(KernelHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    KernelHandle& operator=(KernelHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    ~KernelHandle() { reset(); }

    void reset() {
        if (handle_) CloseHandle(handle_);
        handle_ = nullptr;
    }
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HANDLE handle_ = nullptr;
};

// GlobalAlloc'd memory, freed unless handed over (to a stream that frees it itself).
class GlobalMemory {
public:
    GlobalMemory(UINT flags, SIZE_T size) : memory_(GlobalAlloc(flags, size)) {}
    GlobalMemory(const GlobalMemory&) = delete;
    GlobalMemory& operator=(const GlobalMemory&) = delete;
    ~GlobalMemory() {
        if (memory_) GlobalFree(memory_);
    }
    HGLOBAL get() const { return memory_; }
    HGLOBAL release() { return std::exchange(memory_, nullptr); }

private:
    HGLOBAL memory_;
};

}  // namespace win
