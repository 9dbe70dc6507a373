#include "cad/com_values.h"

#include <limits>
#include <new>
#include <utility>

namespace cad {

namespace {

HRESULT makeVector(VARTYPE type, ULONG count, SafeArray& out) {
    SAFEARRAY* array = SafeArrayCreateVector(type, 0, count);
    if (!array) return E_OUTOFMEMORY;
    out = SafeArray(array);
    return S_OK;
}

bool isNumericType(VARTYPE type) {
    switch (type) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4:
    case VT_I8: case VT_UI8: case VT_INT: case VT_UINT: case VT_R4: case VT_R8:
    case VT_CY: case VT_DECIMAL:
        return true;
    default:
        return false;
    }
}

bool arrayHoldsType(SAFEARRAY* array, VARTYPE element) {
    VARTYPE stored = VT_EMPTY;
    if (SUCCEEDED(SafeArrayGetVartype(array, &stored))) return stored == element;
    // A server may build its array without recording the type: judge by the layout.
    constexpr USHORT kOwning = FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT | FADF_RECORD;
    if (element == VT_VARIANT) return (array->fFeatures & FADF_VARIANT) && array->cbElements == sizeof(VARIANT);
    return !(array->fFeatures & kOwning) && array->cbElements == sizeof(double);
}

// Arrays longer than this are not results the CAD gives; refuse before allocating.
constexpr LONG kMaxReadElements = 1 << 20;

}  // namespace

HRESULT makePointArray(double x, double y, double z, SafeArray& out) noexcept {
    SafeArray array;
    if (HRESULT hr = makeVector(VT_R8, 3, array); FAILED(hr)) return hr;
    double* data = nullptr;
    if (HRESULT hr = SafeArrayAccessData(array.get(), reinterpret_cast<void**>(&data)); FAILED(hr)) return hr;
    data[0] = x;
    data[1] = y;
    data[2] = z;
    (void)SafeArrayUnaccessData(array.get());
    out = std::move(array);
    return S_OK;
}

HRESULT makeDispatchArray(std::span<IDispatch* const> objects, SafeArray& out) noexcept {
    if (objects.size() > static_cast<std::size_t>(kMaxReadElements)) return E_INVALIDARG;
    for (IDispatch* object : objects) {
        if (!object) return E_POINTER;
    }
    SafeArray array;
    if (HRESULT hr = makeVector(VT_DISPATCH, static_cast<ULONG>(objects.size()), array); FAILED(hr)) return hr;
    for (LONG i = 0; i < static_cast<LONG>(objects.size()); ++i) {
        // SafeArrayPutElement AddRefs, and the array releases on destruction.
        if (HRESULT hr = SafeArrayPutElement(array.get(), &i, objects[static_cast<std::size_t>(i)]); FAILED(hr)) {
            return hr;
        }
    }
    out = std::move(array);
    return S_OK;
}

HRESULT readDoubles(const VARIANT& value, std::vector<double>& out) noexcept {
    VARTYPE type = V_VT(&value);
    if (!(type & VT_ARRAY)) return DISP_E_TYPEMISMATCH;
    SAFEARRAY* array = nullptr;
    if (type & VT_BYREF) {
        if (!V_ARRAYREF(&value)) return E_POINTER;
        array = *V_ARRAYREF(&value);
    } else {
        array = V_ARRAY(&value);
    }
    if (!array) return E_POINTER;
    VARTYPE element = static_cast<VARTYPE>(type & VT_TYPEMASK);
    if (element != VT_R8 && element != VT_VARIANT) return DISP_E_TYPEMISMATCH;
    // The array's own element type must agree with what the VARIANT claims.
    if (!arrayHoldsType(array, element)) return DISP_E_TYPEMISMATCH;
    if (SafeArrayGetDim(array) != 1) return DISP_E_TYPEMISMATCH;
    LONG lower = 0, upper = 0;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper))) {
        return DISP_E_BADINDEX;
    }
    if (upper < lower || static_cast<long long>(upper) - lower + 1 > kMaxReadElements) return DISP_E_BADINDEX;

    std::vector<double> values;
    try {
        values.reserve(static_cast<std::size_t>(upper - lower + 1));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    for (LONG i = lower; i <= upper; ++i) {
        if (element == VT_R8) {
            double number = 0;
            if (HRESULT hr = SafeArrayGetElement(array, &i, &number); FAILED(hr)) return hr;
            values.push_back(number);
            continue;
        }
        VARIANT item;
        VariantInit(&item);
        if (HRESULT hr = SafeArrayGetElement(array, &i, &item); FAILED(hr)) return hr;
        Variant owned = Variant::adopt(item);
        VARIANT number;
        VariantInit(&number);
        // VariantChangeType would also read numeric text; only numbers are accepted.
        if (!isNumericType(owned.type()) || FAILED(VariantChangeType(&number, owned.get(), 0, VT_R8))) {
            return DISP_E_TYPEMISMATCH;
        }
        values.push_back(V_R8(&number));
    }
    out = std::move(values);
    return S_OK;
}

HRESULT readPoint(const VARIANT& value, std::array<double, 3>& out) noexcept {
    std::vector<double> values;
    if (HRESULT hr = readDoubles(value, values); FAILED(hr)) return hr;
    if (values.size() != 3) return DISP_E_BADINDEX;
    out = {values[0], values[1], values[2]};
    return S_OK;
}

HRESULT readDispatch(const VARIANT& value, Microsoft::WRL::ComPtr<IDispatch>& out) noexcept {
    IUnknown* object = nullptr;
    switch (V_VT(&value)) {
    case VT_DISPATCH: object = V_DISPATCH(&value); break;
    case VT_UNKNOWN: object = V_UNKNOWN(&value); break;
    case VT_BYREF | VT_DISPATCH: object = V_DISPATCHREF(&value) ? *V_DISPATCHREF(&value) : nullptr; break;
    default: return DISP_E_TYPEMISMATCH;
    }
    if (!object) return E_POINTER;
    Microsoft::WRL::ComPtr<IDispatch> result;
    if (HRESULT hr = object->QueryInterface(IID_PPV_ARGS(&result)); FAILED(hr)) return hr;
    out = std::move(result);
    return S_OK;
}

}  // namespace cad
