// The user-interface thread's COM message filter: a busy CAD's rejected calls are retried
// by COM itself for a bounded time. Windows honours it; Wine never asks it, which is why
// the dispatch helper retries on its own as well.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <chrono>

#include "cad/dispatch.h"
#include "win/com_object.h"

namespace cad {

class MessageFilter final : public win::ComObject<IMessageFilter> {
public:
    // Heap-only: COM holds references to it.
    [[nodiscard]] static HRESULT create(std::chrono::milliseconds busyBound, IMessageFilter** out) noexcept;

    STDMETHODIMP_(DWORD) HandleInComingCall(DWORD callType, HTASK caller, DWORD tickCount,
                                            LPINTERFACEINFO info) override;
    STDMETHODIMP_(DWORD) RetryRejectedCall(HTASK callee, DWORD tickCount, DWORD rejectType) override;
    STDMETHODIMP_(DWORD) MessagePending(HTASK callee, DWORD tickCount, DWORD pendingType) override;

    static constexpr DWORD kRetryDelayMs = 100;

private:
    explicit MessageFilter(std::chrono::milliseconds busyBound) noexcept : busyBound_(busyBound) {}
    ~MessageFilter() override = default;

    std::chrono::milliseconds busyBound_;
};

// Registers a MessageFilter on this (STA) thread and puts the previous filter back when
// it ends.
class ScopedMessageFilter {
public:
    ScopedMessageFilter() = default;
    ScopedMessageFilter(const ScopedMessageFilter&) = delete;
    ScopedMessageFilter& operator=(const ScopedMessageFilter&) = delete;
    ~ScopedMessageFilter();

    [[nodiscard]] HRESULT install(std::chrono::milliseconds busyBound = kDefaultBusyBound) noexcept;

private:
    bool installed_ = false;
    Microsoft::WRL::ComPtr<IMessageFilter> previous_;
};

}  // namespace cad
