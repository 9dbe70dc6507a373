// libFuzzer target for the node list's number rules: any text parses without reading past
// its end and without NaN, and every finite value is written in the pattern's shape.
#include "cad/number_rules.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace {

void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// Bytes as wide characters: most bytes stand for themselves (dense in digits, signs and
// blanks); 0xFF takes the next two bytes as one arbitrary UTF-16 unit.
std::vector<wchar_t> toWide(const std::uint8_t* data, std::size_t size) {
    std::vector<wchar_t> text;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && i + 2 < size) {
            text.push_back(static_cast<wchar_t>(data[i + 1] | (data[i + 2] << 8)));
            i += 2;
        } else {
            text.push_back(static_cast<wchar_t>(data[i]));
        }
    }
    return text;
}

// Checks the shape [-]digits[separator digits] with exactly the pattern's decimals, and
// that the text reads back within half a unit of the last decimal.
void checkWritten(double value, std::int16_t count) {
    const std::wstring pattern = cad::wstr(count);
    const auto dot = cad::writeValue(value, pattern, L".");
    const auto other = cad::writeValue(value, pattern, L"<,>");
    require(dot.has_value() == std::isfinite(value), "written exactly when finite");
    require(other.has_value() == dot.has_value(), "separator does not decide refusal");
    if (!dot) return;

    const std::wstring& text = *dot;
    const std::size_t decimals = count > 0 ? static_cast<std::size_t>(count) : 0;
    const std::size_t start = !text.empty() && text[0] == L'-' ? 1 : 0;
    const std::size_t point = text.find(L'.');
    require(text.find_first_not_of(L"-.0123456789") == std::wstring::npos, "only sign, digits, separator");
    require(text.find(L'-', 1) == std::wstring::npos, "minus sign only in front");
    require((point == std::wstring::npos) == (count == 0), "separator iff the pattern has one");
    const std::size_t wholeEnd = point == std::wstring::npos ? text.size() : point;
    require(wholeEnd > start, "a digit before the separator");
    if (point != std::wstring::npos) {
        require(text.size() - point - 1 == decimals, "exactly the pattern's decimals");
        require(text.find(L'.', point + 1) == std::wstring::npos, "one separator");
    }
    require(text.find_first_not_of(L"0.", start) != std::wstring::npos || start == 0,
            "no minus sign on a zero");

    std::wstring swapped = text;
    if (point != std::wstring::npos) swapped.replace(point, 1, L"<,>");
    require(swapped == *other, "separator written as given");

    const double back = cad::lenientParse(text);
    if (std::isinf(back)) {
        // Only the largest doubles round up past the double range at 15 digits.
        require(std::fabs(value) > 1.797693134862315e308, "reads back finite");
        return;
    }
    const double halfUnit = 0.5 * std::pow(10.0, -static_cast<double>(decimals));
    const double slack = std::fabs(value) * 1e-14 + std::numeric_limits<double>::min();
    require(std::fabs(back - value) <= halfUnit + slack, "reads back within half a unit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size heap copy without terminator: reading past the end trips the sanitizer.
    const std::vector<wchar_t> wide = toWide(data, size);
    const std::wstring_view text(wide.data(), wide.size());

    const double value = cad::lenientParse(text);
    require(!std::isnan(value), "parse never gives NaN");

    std::wstring withoutBlanks;
    for (wchar_t c : text)
        if (c != L' ' && c != L'\t' && c != L'\r' && c != L'\n') withoutBlanks.push_back(c);
    const double compact = cad::lenientParse(withoutBlanks);
    require(compact == value && std::signbit(compact) == std::signbit(value), "blanks never matter");

    const auto count = cad::decimalCount(text);
    const double whole = std::floor(value);
    const bool fits = std::isfinite(whole) && whole >= -32768 && whole <= 32767;
    require(count.has_value() == fits, "count present exactly when it fits 16 bits");
    if (count) require(*count == whole, "count is the floor of the parse");

    // Patterns of bounded size keep each run fast.
    const std::int16_t bounded = count ? std::clamp<std::int16_t>(*count, -2, 400) : 2;
    checkWritten(value, bounded);
    checkWritten(-value, 0);

    // Arbitrary doubles too (NaN, infinities, denormals) that text rarely reaches.
    if (size >= sizeof(double)) {
        double raw;
        std::memcpy(&raw, data, sizeof raw);
        checkWritten(raw, bounded);
    }
    return 0;
}
