#include "win/dispatch.h"

#include <cstdio>
#include <cwchar>

#include "rules/text.h"
#include "win/com_util.h"
#include "win/journal.h"
#include "win/session.h"

namespace standin {

// {5E0C2F61-0B8D-4B57-9C4A-7A1E3D2B9F10}
const IID IID_StandinObject = {0x5e0c2f61, 0x0b8d, 0x4b57, {0x9c, 0x4a, 0x7a, 0x1e, 0x3d, 0x2b, 0x9f, 0x10}};

// ---- Call ----

UINT Call::count() const {
    return params_ ? params_->cArgs - params_->cNamedArgs : 0;
}

const VARIANT& Call::arg(UINT i) const {
    // rgvarg holds the arguments last first, named ones at the front.
    const VARIANT& raw = params_->rgvarg[params_->cArgs - 1 - i];
    if (V_VT(&raw) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&raw)) return *V_VARIANTREF(&raw);
    return raw;
}

bool Call::omitted(UINT i) const {
    if (i >= count()) return true;
    const VARIANT& v = arg(i);
    return V_VT(&v) == VT_ERROR && V_ERROR(&v) == DISP_E_PARAMNOTFOUND;
}

const VARIANT* Call::putValue() const {
    if (!params_) return nullptr;
    for (UINT i = 0; i < params_->cNamedArgs; ++i) {
        if (params_->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) {
            const VARIANT& raw = params_->rgvarg[i];
            if (V_VT(&raw) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&raw)) return V_VARIANTREF(&raw);
            return &raw;
        }
    }
    return nullptr;
}

HRESULT Call::fail(HRESULT scode, const std::wstring& description) {
    scode_ = scode;
    description_ = description;
    return DISP_E_EXCEPTION;
}

// ---- DispatchObject ----

void* DispatchObject::otherInterface(REFIID riid) noexcept {
    return riid == IID_StandinObject ? static_cast<IDispatch*>(this) : nullptr;
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids || count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    // Only the member name is known; named arguments (names[1..]) are not.
    for (const MemberName& m : members_) {
        if (names[0] && equalsIgnoreCase(names[0], m.name)) ids[0] = m.id;
    }
    if (ids[0] == DISPID_UNKNOWN || count > 1) hr = DISP_E_UNKNOWNNAME;
    return hr;
}

const wchar_t* DispatchObject::memberName(DISPID id) const {
    for (const MemberName& m : members_) {
        if (m.id == id) return m.name;
    }
    return nullptr;
}

std::string DispatchObject::describe() const {
    return "{\"object\":" + jsonString(toUtf8(typeName_)) + "}";
}

namespace {

std::string hex(HRESULT hr) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lx", static_cast<unsigned long>(hr));
    return buffer;
}

std::string flagsText(WORD flags) {
    std::string out;
    const auto add = [&](const char* s) { out += out.empty() ? s : std::string("|") + s; };
    if (flags & DISPATCH_METHOD) add("method");
    if (flags & DISPATCH_PROPERTYGET) add("get");
    if (flags & DISPATCH_PROPERTYPUT) add("put");
    if (flags & DISPATCH_PROPERTYPUTREF) add("putref");
    return out;
}

}  // namespace

HRESULT DispatchObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    Session& s = session();
    const int n = s.beginCall();
    const wchar_t* name = memberName(id);

    // The journal line: what came in, then how it ended.
    std::string line = "{\"n\":";
    line += std::to_string(n);
    line += ",\"ms\":";
    line += std::to_string(s.elapsedMs());
    line += ",\"object\":";
    line += jsonString(toUtf8(typeName_));
    line += ",\"self\":";
    line += describe();
    line += ",\"member\":";
    // A member the stand-in does not name is journalled by its number.
    std::string memberText = "#";
    if (name) memberText = toUtf8(name);
    else memberText += std::to_string(id);
    line += jsonString(memberText);
    line += ",\"flags\":";
    line += jsonString(flagsText(flags));
    line += ",\"args\":[";
    if (params) {
        for (UINT i = 0; i < params->cArgs; ++i) {
            if (i > 0) line += ",";
            // Caller's order: positional ones first, the property-put value last.
            line += variantJson(params->rgvarg[params->cArgs - 1 - i]);
        }
    }
    line += "]";

    if (n == s.config().dieAtCall || s.diesAt(typeName_, name)) {
        s.journal().write(line + ",\"fault\":\"die\"}");
        ExitProcess(3);
    }
    if (s.hangsAt(typeName_, name)) {
        // A CAD that stopped answering: the call never returns, the window still works and
        // closing it ends the process.
        s.journal().write(line + ",\"fault\":\"hang\"}");
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        PostQuitMessage(static_cast<int>(msg.wParam));  // the main loop ends the process cleanly
        return RPC_E_DISCONNECTED;
    }
    if (s.isBusy()) {
        s.journal().write(line + ",\"fault\":\"busy\",\"hr\":" + jsonString(hex(RPC_E_CALL_REJECTED)) + "}");
        s.afterCall(n);
        return RPC_E_CALL_REJECTED;
    }

    if (result) VariantInit(result);
    Call call(flags, params, result);
    HRESULT hr = S_OK;
    if (!name) {
        hr = DISP_E_MEMBERNOTFOUND;
    } else if (params && params->cNamedArgs > 0 && !call.isPut()) {
        hr = DISP_E_NONAMEDARGS;
    } else if (inClosedDrawing()) {
        hr = call.fail(kErrDrawingClosed, L"The drawing was closed");
    } else if (s.failsAt(typeName_, name)) {
        hr = call.fail(static_cast<HRESULT>(s.config().failScode), L"Scripted failure");
        line += ",\"fault\":\"fail\"";
    } else {
        hr = invokeMember(id, call);
    }
    if (hr == DISP_E_EXCEPTION) {
        if (excepInfo) {
            ZeroMemory(excepInfo, sizeof *excepInfo);
            excepInfo->scode = call.scode();
            excepInfo->bstrSource = Bstr(L"Stand-in CAD").release();
            excepInfo->bstrDescription = Bstr(call.description()).release();
        }
    }
    // rgvarg holds the arguments last first; a property put's value is at 0.
    if (argErr && (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND))
        *argErr = call.badArgumentIndex() ? params->cArgs - 1 - *call.badArgumentIndex() : 0;

    line += ",\"hr\":" + jsonString(hex(hr));
    if (hr == DISP_E_EXCEPTION) {
        line += ",\"scode\":" + jsonString(hex(call.scode())) +
                ",\"description\":" + jsonString(toUtf8(call.description()));
    }
    if (SUCCEEDED(hr) && result && V_VT(result) != VT_EMPTY) line += ",\"result\":" + variantJson(*result);
    if (SUCCEEDED(hr) && call.argumentsWritten()) {
        line += ",\"out\":[";
        for (UINT i = 0; i < params->cArgs; ++i) {
            if (i > 0) line += ",";
            line += variantJson(params->rgvarg[params->cArgs - 1 - i]);
        }
        line += "]";
    }
    if (s.journals(hr)) s.journal().write(line + "}");
    s.afterCall(n);
    return hr;
}

DispatchObject* ownObject(IDispatch* dispatch) {
    if (!dispatch) return nullptr;
    void* raw = nullptr;
    if (FAILED(dispatch->QueryInterface(IID_StandinObject, &raw)) || !raw) return nullptr;
    auto* object = static_cast<DispatchObject*>(static_cast<IDispatch*>(raw));
    object->Release();  // the caller's reference keeps it alive
    return object;
}

std::string describeObject(IDispatch* dispatch) {
    if (!dispatch) return "null";
    if (DispatchObject* own = ownObject(dispatch)) return own->describe();
    return "{\"object\":\"foreign\"}";
}

// ---- argument helpers ----

std::optional<std::vector<double>> readPoint(const VARIANT& v) {
    const VARTYPE vt = V_VT(&v);
    if ((vt & VT_ARRAY) == 0) return std::nullopt;
    const VARTYPE element = vt & VT_TYPEMASK;
    if (element != VT_R8 && element != VT_VARIANT) return std::nullopt;
    SAFEARRAY* array = (vt & VT_BYREF) ? (V_ARRAYREF(&v) ? *V_ARRAYREF(&v) : nullptr) : V_ARRAY(&v);
    if (!array || SafeArrayGetDim(array) != 1) return std::nullopt;
    LONG low = 0, high = -1;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    if (high - low + 1 != 3) return std::nullopt;
    std::vector<double> values;
    for (LONG i = low; i <= high; ++i) {
        if (element == VT_R8) {
            double d = 0;
            if (FAILED(SafeArrayGetElement(array, &i, &d))) return std::nullopt;
            values.push_back(d);
            continue;
        }
        Variant item, asDouble;
        if (FAILED(SafeArrayGetElement(array, &i, item.get()))) return std::nullopt;
        const VARTYPE t = V_VT(item.get());
        // Numbers only: a text that happens to read as a number is still a wrong argument.
        if (t != VT_R8 && t != VT_R4 && t != VT_I2 && t != VT_I4 && t != VT_UI1 && t != VT_I8) return std::nullopt;
        if (FAILED(VariantChangeType(asDouble.get(), item.get(), 0, VT_R8))) return std::nullopt;
        values.push_back(V_R8(asDouble.get()));
    }
    return values;
}

HRESULT makeDoubleArray(const std::vector<double>& values, VARIANT* out) {
    win::SafeArray array(SafeArrayCreateVector(VT_R8, 0, static_cast<ULONG>(values.size())));
    if (!array.get()) return E_OUTOFMEMORY;
    for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
        double d = values[static_cast<size_t>(i)];
        if (const HRESULT hr = SafeArrayPutElement(array.get(), &i, &d); FAILED(hr)) return hr;
    }
    V_VT(out) = VT_ARRAY | VT_R8;
    V_ARRAY(out) = array.release();
    return S_OK;
}

HRESULT returnObject(Call& call, IDispatch* object) {
    if (VARIANT* result = call.result()) {
        object->AddRef();
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = object;
    }
    return S_OK;
}

HRESULT returnText(Call& call, const std::wstring& text) {
    if (VARIANT* result = call.result()) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = Bstr(text).release();
    }
    return S_OK;
}

HRESULT returnLong(Call& call, long value) {
    if (VARIANT* result = call.result()) {
        V_VT(result) = VT_I4;
        V_I4(result) = value;
    }
    return S_OK;
}

HRESULT returnDouble(Call& call, double value) {
    if (VARIANT* result = call.result()) {
        V_VT(result) = VT_R8;
        V_R8(result) = value;
    }
    return S_OK;
}

HRESULT returnBool(Call& call, bool value) {
    if (VARIANT* result = call.result()) {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = value ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return S_OK;
}

HRESULT returnDoubles(Call& call, const std::vector<double>& values) {
    return call.result() ? makeDoubleArray(values, call.result()) : S_OK;
}

std::optional<long> readInteger(const VARIANT& v) {
    const VARTYPE vt = V_VT(&v) & ~VT_BYREF;
    if (vt != VT_I2 && vt != VT_I4 && vt != VT_UI1) return std::nullopt;
    Variant copy;
    if (FAILED(VariantChangeType(copy.get(), const_cast<VARIANT*>(&v), 0, VT_I4))) return std::nullopt;
    return V_I4(copy.get());
}

std::wstring hexHandle(std::uint64_t handle) {
    wchar_t buffer[24];
    std::swprintf(buffer, 24, L"%llX", static_cast<unsigned long long>(handle));
    return buffer;
}

std::optional<std::wstring> readText(const VARIANT& v) {
    if (V_VT(&v) == VT_BSTR) return std::wstring(V_BSTR(&v) ? V_BSTR(&v) : L"", SysStringLen(V_BSTR(&v)));
    if (V_VT(&v) == (VT_BSTR | VT_BYREF) && V_BSTRREF(&v)) {
        const BSTR b = *V_BSTRREF(&v);
        return std::wstring(b ? b : L"", SysStringLen(b));
    }
    return std::nullopt;
}

}  // namespace standin
