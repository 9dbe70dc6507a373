// Number and text rules of the node list: how the scale-factor and decimals boxes are
// read, and how a coordinate is written. Plain code: no windows.h, unit-tested natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cad {

// Reads the leading number of a text the lenient way: blanks, tabs, CR and LF are skipped
// wherever they stand ("1 5" reads 15), then an optional sign, digits, an optional full
// stop and digits, and an optional exponent (E or e, optional sign, at least one digit).
// Reading stops at the first character that cannot continue the number. A text without
// a leading number gives 0; an exponent too large gives +/-infinity (never NaN).
double lenientParse(std::wstring_view text);

// The decimal count typed into the decimals box: the largest whole number not above the
// lenient parse. Empty when that does not fit a signed 16-bit integer (infinity included).
std::optional<std::int16_t> decimalCount(std::wstring_view text);

// The decimal pattern for a count: "0" for 0, "0." followed by count zeros otherwise
// (a negative count gives "0.").
std::wstring decimalPattern(std::int16_t count);

// Writes a value with a pattern of the form "0", "0." or "0.00…0". Rounds half away from
// zero, judged on the value's 15-significant-digit decimal form (itself rounded half away
// from zero), so 0.285 gives 0.29 with two decimals; digits past the 15th are written as
// zeros. No minus sign on a value that rounds to zero; the pattern's full stop is written
// as `separator`. Empty for a value that is not finite or a pattern not of that form.
std::optional<std::wstring> writeValue(double value, std::wstring_view pattern,
                                       std::wstring_view separator);

}  // namespace cad
