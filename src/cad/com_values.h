// Owning wrappers for the values that cross the CAD boundary (VARIANT, BSTR, SAFEARRAY)
// and the array shapes the CAD uses: points as VT_ARRAY|VT_R8, entity lists as
// VT_ARRAY|VT_DISPATCH. What can fail returns an HRESULT; only Bstr::str, which makes a
// std::wstring, may throw std::bad_alloc.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cad {

class Bstr {
public:
    Bstr() noexcept = default;
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : value_(other.value_) { other.value_ = nullptr; }
    Bstr& operator=(Bstr&& other) noexcept;
    ~Bstr() { SysFreeString(value_); }

    [[nodiscard]] HRESULT assign(std::wstring_view text) noexcept;
    void reset() noexcept;
    BSTR get() const noexcept { return value_; }
    // For out and by-reference parameters: whatever the callee leaves there is owned here.
    BSTR* address() noexcept { return &value_; }
    std::wstring str() const;

private:
    BSTR value_ = nullptr;
};

class SafeArray {
public:
    SafeArray() noexcept = default;
    explicit SafeArray(SAFEARRAY* adopted) noexcept : value_(adopted) {}
    SafeArray(const SafeArray&) = delete;
    SafeArray& operator=(const SafeArray&) = delete;
    SafeArray(SafeArray&& other) noexcept : value_(other.value_) { other.value_ = nullptr; }
    SafeArray& operator=(SafeArray&& other) noexcept;
    ~SafeArray() { reset(); }

    void reset() noexcept;
    SAFEARRAY* get() const noexcept { return value_; }
    SAFEARRAY** address() noexcept { return &value_; }
    SAFEARRAY* release() noexcept;

private:
    SAFEARRAY* value_ = nullptr;
};

class Variant {
public:
    Variant() noexcept { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant&& other) noexcept;
    ~Variant() { VariantClear(&value_); }

    static Variant fromBool(bool value) noexcept;
    static Variant fromI2(std::int16_t value) noexcept;
    static Variant fromI4(std::int32_t value) noexcept;
    static Variant fromR8(double value) noexcept;
    static Variant fromDispatch(IDispatch* object) noexcept;  // AddRefs
    // An optional argument left out: VT_ERROR holding DISP_E_PARAMNOTFOUND.
    static Variant omitted() noexcept;
    // VT_ARRAY|elementType owning the array.
    static Variant fromArray(VARTYPE elementType, SafeArray array) noexcept;
    // By-reference arguments point into storage the caller keeps alive across the call;
    // a callee may replace what is there, and the wrapper then owns the new value.
    static Variant refToArray(VARTYPE elementType, SafeArray& array) noexcept;
    static Variant refToString(Bstr& text) noexcept;
    // Takes over a raw VARIANT and leaves it VT_EMPTY.
    static Variant adopt(VARIANT& raw) noexcept;

    [[nodiscard]] HRESULT assignString(std::wstring_view text) noexcept;
    void reset() noexcept;
    const VARIANT* get() const noexcept { return &value_; }
    VARIANT* get() noexcept { return &value_; }
    VARIANT* put() noexcept;  // cleared, for out parameters
    VARTYPE type() const noexcept { return V_VT(&value_); }

private:
    VARIANT value_;
};

// Builds a one-dimensional zero-based VT_R8 array of the three coordinates.
[[nodiscard]] HRESULT makePointArray(double x, double y, double z, SafeArray& out) noexcept;
// Builds a one-dimensional zero-based VT_DISPATCH array; null entries are refused.
[[nodiscard]] HRESULT makeDispatchArray(std::span<IDispatch* const> objects, SafeArray& out) noexcept;

// Reads a one-dimensional array of numbers from a VT_ARRAY|VT_R8 value, or a
// VT_ARRAY|VT_VARIANT whose elements are all numeric (by reference or not). Any other
// shape fails: DISP_E_TYPEMISMATCH for wrong types or more than one dimension,
// DISP_E_BADINDEX for wrong bounds.
[[nodiscard]] HRESULT readDoubles(const VARIANT& value, std::vector<double>& out) noexcept;
// Same, requiring exactly three elements (a point).
[[nodiscard]] HRESULT readPoint(const VARIANT& value, std::array<double, 3>& out) noexcept;

// The object in a VT_DISPATCH (or VT_UNKNOWN answering IDispatch) value.
[[nodiscard]] HRESULT readDispatch(const VARIANT& value, Microsoft::WRL::ComPtr<IDispatch>& out) noexcept;

}  // namespace cad
