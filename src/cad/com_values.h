// The array shapes the CAD uses: points as VT_ARRAY|VT_R8, entity lists as
// VT_ARRAY|VT_DISPATCH. What can fail returns an HRESULT.
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

#include "win/com_owners.h"

namespace cad {

// The owners live with the rest of the shared ones; the CAD side names them as its own.
using win::Bstr;
using win::SafeArray;
using win::Variant;

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
