// Late-bound calls on an IDispatch: the member is looked up by name at the moment of the
// call, arguments are passed as VARIANTs, and a failure comes back as the error number and
// description a VB-style client would see. A busy server is retried for a bounded time.
// No exception leaves these functions.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "cad/cad_link.h"
#include "cad/com_values.h"

namespace cad {

inline constexpr std::chrono::milliseconds kDefaultBusyBound{10000};

struct CallOptions {
    // How long a server answering "call rejected" / "retry later" is retried before the
    // error is reported.
    std::chrono::milliseconds busyBound = kDefaultBusyBound;
    // EXCEPINFO's deferred fill-in is a function pointer of the object's own process: it is
    // called only for an object known to live in this one.
    bool inProcess = false;
};

// Calls member on object. flags is DISPATCH_METHOD, DISPATCH_PROPERTYGET (they may be
// combined) or DISPATCH_PROPERTYPUT. args are in natural (left to right) order; none may
// be null: pass Variant::omitted() for a left-out optional argument, and Variant::refTo...
// for by-reference ones. A put takes the new value as its last argument.
[[nodiscard]] CadResult<Variant> invoke(IDispatch* object, const wchar_t* member, WORD flags,
                                        std::initializer_list<const VARIANT*> args,
                                        const CallOptions& options = {}) noexcept;

// The two halves of invoke, for a caller that calls one member many times: the member's
// DISPID by name, and the call by DISPID.
[[nodiscard]] CadResult<DISPID> lookUp(IDispatch* object, const wchar_t* member, const CallOptions& options = {}) noexcept;
[[nodiscard]] CadResult<Variant> invoke(IDispatch* object, DISPID id, WORD flags,
                                        std::initializer_list<const VARIANT*> args,
                                        const CallOptions& options = {}) noexcept;

[[nodiscard]] inline CadResult<Variant> callMethod(IDispatch* object, const wchar_t* member,
                                                   std::initializer_list<const VARIANT*> args = {},
                                                   const CallOptions& options = {}) noexcept {
    return invoke(object, member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, options);
}
[[nodiscard]] inline CadResult<Variant> getProperty(IDispatch* object, const wchar_t* member,
                                                    std::initializer_list<const VARIANT*> args = {},
                                                    const CallOptions& options = {}) noexcept {
    return invoke(object, member, DISPATCH_PROPERTYGET, args, options);
}
[[nodiscard]] inline CadResult<Variant> putProperty(IDispatch* object, const wchar_t* member,
                                                    std::initializer_list<const VARIANT*> args,
                                                    const CallOptions& options = {}) noexcept {
    return invoke(object, member, DISPATCH_PROPERTYPUT, args, options);
}

// The error a VB-style client reports for a call that returned hr with this EXCEPINFO
// (already filled in): the scode for DISP_E_EXCEPTION, else a FACILITY_CONTROL number
// made from wCode, else hr. Description: the EXCEPINFO's, else the system's text for the
// number, else "0x%08X".
[[nodiscard]] CadError errorFromCall(HRESULT hr, const EXCEPINFO* info) noexcept;

// A server answering "call rejected" or "retry later": retried by invoke up to its bound.
[[nodiscard]] bool isBusy(HRESULT hr) noexcept;

// The system's message for an HRESULT without trailing line breaks, or "0x%08X".
std::wstring describeHresult(HRESULT hr);

// Cross-process round trips made by invoke (each GetIDsOfNames and each Invoke attempt),
// process-wide, for benchmarks.
std::uint64_t roundTrips() noexcept;
void resetRoundTrips() noexcept;

}  // namespace cad
