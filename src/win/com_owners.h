// Owners of the COM values that cross an automation boundary: BSTR, SAFEARRAY and VARIANT.
// Copy is deleted; moving hands over ownership. Nothing here throws but Bstr::str, which
// makes a std::wstring.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "win/handle_owners.h"

namespace win {

class Bstr {
public:
    Bstr() noexcept = default;
    // Null when the copy cannot be made; check get().
    explicit Bstr(std::wstring_view text) noexcept { (void)assign(text); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        if (this != &other) {
            SysFreeString(value_);
            value_ = std::exchange(other.value_, nullptr);
        }
        return *this;
    }
    ~Bstr() { SysFreeString(value_); }

    [[nodiscard]] HRESULT assign(std::wstring_view text) noexcept {
        if (text.size() > std::numeric_limits<UINT>::max() / 4) return E_OUTOFMEMORY;
        BSTR fresh = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!fresh) return E_OUTOFMEMORY;
        SysFreeString(value_);
        value_ = fresh;
        return S_OK;
    }
    void reset() noexcept { SysFreeString(std::exchange(value_, nullptr)); }
    BSTR get() const noexcept { return value_; }
    // For out and by-reference parameters: whatever the callee leaves there is owned here.
    BSTR* address() noexcept { return &value_; }
    // Emptied first, for an out parameter that is filled in whole.
    BSTR* put() noexcept {
        reset();
        return &value_;
    }
    // Hands the string to a caller that frees it (an EXCEPINFO, a VARIANT given away).
    BSTR release() noexcept { return std::exchange(value_, nullptr); }
    std::wstring str() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring(); }

private:
    BSTR value_ = nullptr;
};

struct SafeArrayTraits {
    using Handle = SAFEARRAY*;
    static bool valid(SAFEARRAY*) noexcept { return true; }
    // Fails only for a locked array: nothing to do.
    static void free(SAFEARRAY* array) noexcept { (void)SafeArrayDestroy(array); }
};
using SafeArray = UniqueHandle<SafeArrayTraits>;

class Variant {
public:
    Variant() noexcept { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            VariantClear(&value_);
            value_ = other.value_;
            VariantInit(&other.value_);
        }
        return *this;
    }
    ~Variant() { VariantClear(&value_); }

    static Variant fromBool(bool value) noexcept {
        Variant v;
        V_VT(&v.value_) = VT_BOOL;
        V_BOOL(&v.value_) = value ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    static Variant fromI2(std::int16_t value) noexcept {
        Variant v;
        V_VT(&v.value_) = VT_I2;
        V_I2(&v.value_) = value;
        return v;
    }
    static Variant fromI4(std::int32_t value) noexcept {
        Variant v;
        V_VT(&v.value_) = VT_I4;
        V_I4(&v.value_) = value;
        return v;
    }
    static Variant fromR8(double value) noexcept {
        Variant v;
        V_VT(&v.value_) = VT_R8;
        V_R8(&v.value_) = value;
        return v;
    }
    static Variant fromDispatch(IDispatch* object) noexcept {  // AddRefs
        Variant v;
        V_VT(&v.value_) = VT_DISPATCH;
        V_DISPATCH(&v.value_) = object;
        if (object) object->AddRef();
        return v;
    }
    // An optional argument left out: VT_ERROR holding DISP_E_PARAMNOTFOUND.
    static Variant omitted() noexcept {
        Variant v;
        V_VT(&v.value_) = VT_ERROR;
        V_ERROR(&v.value_) = DISP_E_PARAMNOTFOUND;
        return v;
    }
    // VT_ARRAY|elementType owning the array.
    static Variant fromArray(VARTYPE elementType, SafeArray array) noexcept {
        Variant v;
        V_VT(&v.value_) = static_cast<VARTYPE>(VT_ARRAY | elementType);
        V_ARRAY(&v.value_) = array.release();
        return v;
    }
    // By-reference arguments point into storage the caller keeps alive across the call;
    // a callee may replace what is there, and the wrapper then owns the new value.
    static Variant refToArray(VARTYPE elementType, SafeArray& array) noexcept {
        Variant v;
        V_VT(&v.value_) = static_cast<VARTYPE>(VT_BYREF | VT_ARRAY | elementType);
        V_ARRAYREF(&v.value_) = array.address();
        return v;
    }
    static Variant refToString(Bstr& text) noexcept {
        Variant v;
        V_VT(&v.value_) = VT_BYREF | VT_BSTR;
        V_BSTRREF(&v.value_) = text.address();
        return v;
    }
    // An object the callee writes back (an out parameter): the slot owns what it gets.
    static Variant refToDispatch(IDispatch** slot) noexcept {
        Variant v;
        V_VT(&v.value_) = VT_BYREF | VT_DISPATCH;
        V_DISPATCHREF(&v.value_) = slot;
        return v;
    }
    static Variant refToVariant(Variant& target) noexcept {
        Variant v;
        V_VT(&v.value_) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&v.value_) = &target.value_;
        return v;
    }
    // Takes over a raw VARIANT and leaves it VT_EMPTY.
    static Variant adopt(VARIANT& raw) noexcept {
        Variant v;
        v.value_ = raw;
        VariantInit(&raw);
        return v;
    }

    [[nodiscard]] HRESULT assignString(std::wstring_view text) noexcept {
        Bstr s;
        if (HRESULT hr = s.assign(text); FAILED(hr)) return hr;
        VariantClear(&value_);
        V_VT(&value_) = VT_BSTR;
        V_BSTR(&value_) = s.release();
        return S_OK;
    }
    void reset() noexcept { VariantClear(&value_); }
    const VARIANT* get() const noexcept { return &value_; }
    VARIANT* get() noexcept { return &value_; }
    VARIANT* put() noexcept {  // cleared, for out parameters
        VariantClear(&value_);
        return &value_;
    }
    // Hands the value to a VARIANT the caller owns (an Invoke result) and is left empty.
    void detachTo(VARIANT* out) noexcept {
        *out = value_;
        VariantInit(&value_);
    }
    VARTYPE type() const noexcept { return V_VT(&value_); }

private:
    VARIANT value_;
};

}  // namespace win
