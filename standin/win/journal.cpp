#include "win/journal.h"

#include <cstdio>

#include "rules/text.h"
#include "win/dispatch.h"

namespace standin {

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

bool Journal::open(const std::wstring& path) {
    // Shared for reading and writing: tests read it live, and a second stand-in (started
    // after the first one ended) appends to the same file.
    file_ = win::KernelHandle(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file_);
}

void Journal::write(const std::string& line) {
    if (!file_) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    FlushFileBuffers(file_.get());
}

namespace {

std::string number(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

std::string hex(unsigned long v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lx", v);
    return buffer;
}

std::string typeName(VARTYPE vt) {
    std::string prefix;
    if (vt & VT_BYREF) prefix += "BYREF|";
    if (vt & VT_ARRAY) prefix += "ARRAY|";
    switch (vt & VT_TYPEMASK) {
    case VT_EMPTY: return prefix + "EMPTY";
    case VT_NULL: return prefix + "NULL";
    case VT_I2: return prefix + "I2";
    case VT_I4: return prefix + "I4";
    case VT_R4: return prefix + "R4";
    case VT_R8: return prefix + "R8";
    case VT_BSTR: return prefix + "BSTR";
    case VT_DISPATCH: return prefix + "DISPATCH";
    case VT_ERROR: return prefix + "ERROR";
    case VT_BOOL: return prefix + "BOOL";
    case VT_VARIANT: return prefix + "VARIANT";
    case VT_UNKNOWN: return prefix + "UNKNOWN";
    case VT_UI1: return prefix + "UI1";
    case VT_I8: return prefix + "I8";
    default: return prefix + std::to_string(vt & VT_TYPEMASK);
    }
}

std::string valueJson(const VARIANT& v, int depth);

std::string arrayJson(SAFEARRAY* array, VARTYPE elementType, int depth) {
    if (!array) return "null";
    if (SafeArrayGetDim(array) != 1) return "\"(array of " + std::to_string(SafeArrayGetDim(array)) + " dimensions)\"";
    LONG low = 0, high = -1;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    std::string out = "[";
    for (LONG i = low; i <= high; ++i) {
        if (i > low) out += ",";
        // Long enough for the largest selection the tool groups (100 marks), short enough
        // to keep a line readable.
        if (i - low >= 256) {
            out += "\"...\"";
            break;
        }
        Variant element;
        if (elementType == VT_VARIANT) {
            SafeArrayGetElement(array, &i, element.get());
        } else {
            // Wrap the element in a VARIANT of its type to describe it like any value.
            V_VT(element.get()) = elementType;
            if (FAILED(SafeArrayGetElement(array, &i, &V_I8(element.get())))) V_VT(element.get()) = VT_EMPTY;
        }
        out += valueJson(*element.get(), depth + 1);
    }
    return out + "]";
}

std::string valueJson(const VARIANT& v, int depth) {
    if (depth > 4) return "\"...\"";
    const VARTYPE vt = V_VT(&v);
    if ((vt & VT_BYREF) != 0 && (vt & ~VT_BYREF) == VT_VARIANT) {
        return V_VARIANTREF(&v) ? valueJson(*V_VARIANTREF(&v), depth + 1) : "null";
    }
    if ((vt & VT_BYREF) != 0 && !V_BYREF(&v)) return "null";
    if (vt & VT_ARRAY) {
        SAFEARRAY* array = (vt & VT_BYREF) ? (V_ARRAYREF(&v) ? *V_ARRAYREF(&v) : nullptr) : V_ARRAY(&v);
        return arrayJson(array, vt & VT_TYPEMASK, depth);
    }
    const bool ref = (vt & VT_BYREF) != 0;
    switch (vt & VT_TYPEMASK) {
    case VT_EMPTY: return "null";
    case VT_NULL: return "null";
    case VT_I2: return std::to_string(ref ? *V_I2REF(&v) : V_I2(&v));
    case VT_I4: return std::to_string(ref ? *V_I4REF(&v) : V_I4(&v));
    case VT_UI1: return std::to_string(ref ? *V_UI1REF(&v) : V_UI1(&v));
    case VT_R4: return number(ref ? *V_R4REF(&v) : V_R4(&v));
    case VT_R8: return number(ref ? *V_R8REF(&v) : V_R8(&v));
    case VT_BOOL: return (ref ? *V_BOOLREF(&v) : V_BOOL(&v)) ? "true" : "false";
    case VT_ERROR: return jsonString(hex(static_cast<unsigned long>(ref ? *V_ERRORREF(&v) : V_ERROR(&v))));
    case VT_BSTR: {
        const BSTR b = ref ? *V_BSTRREF(&v) : V_BSTR(&v);
        return jsonString(toUtf8(std::wstring_view(b ? b : L"", b ? SysStringLen(b) : 0)));
    }
    case VT_DISPATCH: {
        IDispatch* d = ref ? *V_DISPATCHREF(&v) : V_DISPATCH(&v);
        return describeObject(d);
    }
    default: return "\"?\"";
    }
}

}  // namespace

std::string variantJson(const VARIANT& v) {
    std::string out = "{\"vt\":" + std::to_string(V_VT(&v)) + ",\"type\":" + jsonString(typeName(V_VT(&v)));
    // A variable passed by a script: say what the referenced VARIANT holds.
    if (V_VT(&v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&v)) out += ",\"ref\":" + variantJson(*V_VARIANTREF(&v));
    return out + ",\"value\":" + valueJson(v, 0) + "}";
}

}  // namespace standin
