#include "cad/message_filter.h"

#include <new>

namespace cad {

HRESULT MessageFilter::create(std::chrono::milliseconds busyBound, IMessageFilter** out) noexcept {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) MessageFilter(busyBound);
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP_(DWORD) MessageFilter::HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) {
    return SERVERCALL_ISHANDLED;
}

STDMETHODIMP_(DWORD) MessageFilter::RetryRejectedCall(HTASK, DWORD tickCount, DWORD rejectType) {
    // tickCount is the time since the call was first made.
    if (rejectType != SERVERCALL_REJECTED && rejectType != SERVERCALL_RETRYLATER) return static_cast<DWORD>(-1);
    if (tickCount >= static_cast<DWORD>(busyBound_.count())) return static_cast<DWORD>(-1);
    return kRetryDelayMs;
}

STDMETHODIMP_(DWORD) MessageFilter::MessagePending(HTASK, DWORD, DWORD) {
    return PENDINGMSG_WAITDEFPROCESS;
}

ScopedMessageFilter::~ScopedMessageFilter() {
    if (!installed_) return;
    IMessageFilter* ours = nullptr;
    if (SUCCEEDED(CoRegisterMessageFilter(previous_.Get(), &ours)) && ours) ours->Release();
}

HRESULT ScopedMessageFilter::install(std::chrono::milliseconds busyBound) noexcept {
    if (installed_) return S_FALSE;
    Microsoft::WRL::ComPtr<IMessageFilter> filter;
    if (HRESULT hr = MessageFilter::create(busyBound, filter.GetAddressOf()); FAILED(hr)) return hr;
    IMessageFilter* previous = nullptr;
    if (HRESULT hr = CoRegisterMessageFilter(filter.Get(), &previous); FAILED(hr)) return hr;
    win::adopt(previous_, previous);  // COM handed over its reference to the old filter
    installed_ = true;
    return S_OK;
}

}  // namespace cad
