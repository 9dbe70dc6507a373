#include "cad/dispatch.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <new>
#include <vector>

namespace cad {
namespace {

std::atomic<std::uint64_t> g_roundTrips{0};

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kFirstBusyDelay{50};
constexpr std::chrono::milliseconds kMaxBusyDelay{250};

// Owns the strings a server leaves in an EXCEPINFO.
struct ExcepInfo {
    EXCEPINFO info{};
    ExcepInfo() = default;
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() { clear(); }
    void clear() noexcept {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
        info = EXCEPINFO{};
    }
    EXCEPINFO* reset() noexcept {
        clear();
        return &info;
    }
};

// Waits without running other commands: only WM_PAINT is dispatched, so the user
// interface stays drawn while the CAD is busy.
void waitPainting(std::chrono::milliseconds delay) {
    const auto until = Clock::now() + delay;
    for (;;) {
        const auto now = Clock::now();
        if (now >= until) return;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1;
        DWORD wait = MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left), QS_PAINT, 0);
        if (wait == WAIT_OBJECT_0) {
            // One at a time: a window whose WM_PAINT does not validate comes back at once,
            // and only the time check above may end that.
            MSG msg;
            if (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
        } else if (wait != WAIT_TIMEOUT) {
            Sleep(static_cast<DWORD>(left));
        }
    }
}

// Sleeps before the next attempt if the bound allows one; false when it is spent.
bool backOff(Clock::time_point deadline, std::chrono::milliseconds& delay) {
    const auto now = Clock::now();
    if (now >= deadline) return false;
    waitPainting(std::min(delay, std::chrono::ceil<std::chrono::milliseconds>(deadline - now)));
    delay = std::min(delay * 2, kMaxBusyDelay);
    return true;
}

CadResult<Variant> failure(HRESULT hr, const EXCEPINFO* info = nullptr) noexcept {
    return errorFromCall(hr, info);
}

CadResult<DISPID> lookUpChecked(IDispatch* object, const wchar_t* member, const CallOptions& options) {
    if (!object || !member) return errorFromCall(E_POINTER, nullptr);
    const auto deadline = Clock::now() + options.busyBound;
    auto delay = kFirstBusyDelay;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(member);  // the API takes a non-const array
    for (;;) {
        ++g_roundTrips;
        HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        if (SUCCEEDED(hr)) return id;
        if (isBusy(hr) && backOff(deadline, delay)) continue;
        return errorFromCall(hr, nullptr);
    }
}

CadResult<Variant> invokeChecked(IDispatch* object, DISPID id, WORD flags, std::initializer_list<const VARIANT*> args,
                                 const CallOptions& options) {
    if (!object) return failure(E_POINTER);
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (put && args.size() == 0) return failure(DISP_E_BADPARAMCOUNT);

    // DISPPARAMS wants the arguments right to left. The copies are shallow: the caller
    // keeps ownership, and by-reference arguments still point at the caller's storage.
    std::vector<VARIANTARG> reversed(args.size());
    std::size_t slot = args.size();
    for (const VARIANT* arg : args) {
        if (!arg) return failure(E_INVALIDARG);
        reversed[--slot] = *arg;
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    if (put) {
        // The new value (rgvarg[0]) is the named argument of a put.
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }

    const auto deadline = Clock::now() + options.busyBound;
    auto delay = kFirstBusyDelay;
    ExcepInfo excep;
    for (;;) {
        Variant result;
        UINT badArg = 0;
        ++g_roundTrips;
        HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                    put ? nullptr : result.put(), excep.reset(), &badArg);
        if (SUCCEEDED(hr)) return result;
        if (hr == DISP_E_EXCEPTION && excep.info.pfnDeferredFillIn && options.inProcess) {
            (void)excep.info.pfnDeferredFillIn(&excep.info);
        }
        excep.info.pfnDeferredFillIn = nullptr;
        CadError error = errorFromCall(hr, &excep.info);
        if (isBusy(static_cast<HRESULT>(error.number)) && backOff(deadline, delay)) continue;
        return error;
    }
}

}  // namespace

std::wstring describeHresult(HRESULT hr) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0,
                                  nullptr);
    std::wstring out;
    if (text) {
        try {
            out.assign(text, length);
        } catch (...) {
            LocalFree(text);
            throw;
        }
        LocalFree(text);
    }
    while (!out.empty() && (out.back() == L'\r' || out.back() == L'\n')) out.pop_back();
    if (out.empty()) {
        wchar_t hex[16];
        std::swprintf(hex, 16, L"0x%08X", static_cast<unsigned>(hr));
        out = hex;
    }
    return out;
}

CadError errorFromCall(HRESULT hr, const EXCEPINFO* info) noexcept {
    CadError error;
    HRESULT number = hr;
    const bool useInfo = hr == DISP_E_EXCEPTION && info;
    if (useInfo) {
        if (info->scode != 0) {
            number = info->scode;
        } else if (info->wCode != 0) {
            // A VB-style client turns a bare wCode into an automation error number.
            number = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info->wCode);
        }
    }
    error.number = static_cast<std::int32_t>(number);
    try {
        if (useInfo && info->bstrDescription && SysStringLen(info->bstrDescription) > 0) {
            error.description.assign(info->bstrDescription, SysStringLen(info->bstrDescription));
        } else {
            error.description = describeHresult(number);
        }
    } catch (const std::bad_alloc&) {
        error.description.clear();  // the number alone still tells what failed
    }
    return error;
}

CadResult<DISPID> lookUp(IDispatch* object, const wchar_t* member, const CallOptions& options) noexcept {
    try {
        return lookUpChecked(object, member, options);
    } catch (const std::bad_alloc&) {
        return CadError{static_cast<std::int32_t>(E_OUTOFMEMORY), {}};
    }
}

CadResult<Variant> invoke(IDispatch* object, DISPID id, WORD flags, std::initializer_list<const VARIANT*> args,
                          const CallOptions& options) noexcept {
    try {
        return invokeChecked(object, id, flags, args, options);
    } catch (const std::bad_alloc&) {
        return CadError{static_cast<std::int32_t>(E_OUTOFMEMORY), {}};
    }
}

CadResult<Variant> invoke(IDispatch* object, const wchar_t* member, WORD flags,
                          std::initializer_list<const VARIANT*> args, const CallOptions& options) noexcept {
    CadResult<DISPID> id = lookUp(object, member, options);
    if (!id.ok()) return id.error();
    return invoke(object, id.value(), flags, args, options);
}

std::uint64_t roundTrips() noexcept {
    return g_roundTrips.load();
}

void resetRoundTrips() noexcept {
    g_roundTrips.store(0);
}

bool isBusy(HRESULT hr) noexcept {
    return cadBusy(static_cast<std::int32_t>(hr));
}

}  // namespace cad
