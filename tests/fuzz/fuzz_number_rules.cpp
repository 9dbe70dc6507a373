// libFuzzer target for the node list's number rules: any text parses without reading past
// its end and without NaN, and every finite value is written in the pattern's shape.
#include "cad/number_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// [-]digits[,digits] with exactly the pattern's decimals, no minus on a zero, and reading
// back within half a unit of the last decimal.
void checkWritten(double value, std::int16_t count) {
    const auto text = cad::writeValue(value, cad::decimalPattern(count), L",");
    require(text.has_value() == std::isfinite(value), "written exactly when finite");
    if (!text) return;
    const std::size_t sign = (*text)[0] == L'-' ? 1 : 0, comma = text->find(L',');
    require(text->find_first_not_of(L"0123456789,", sign) == std::wstring::npos, "sign, digits, separator");
    require((comma == std::wstring::npos) == (count == 0), "separator iff the pattern has one");
    require(comma > sign && (comma == std::wstring::npos || text->size() - comma - 1 == std::size_t(std::max<int>(count, 0))),
            "a digit before the separator, the pattern's decimals after it");
    require(!sign || text->find_first_not_of(L"0,", 1) != std::wstring::npos, "no minus sign on a zero");
    std::wstring dotted = *text;
    std::replace(dotted.begin(), dotted.end(), L',', L'.');
    const double back = cad::lenientParse(dotted);
    if (std::isinf(back)) return require(std::fabs(value) > 1.797693134862315e308, "reads back finite");
    const double halfUnit = 0.5 * std::pow(10.0, -std::max<int>(count, 0));
    require(std::fabs(back - value) <= halfUnit + std::fabs(value) * 1e-14 + 1e-300, "reads back within half a unit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Bytes as characters, in an exact-size heap copy: reading past the end trips ASan.
    const std::vector<wchar_t> wide(data, data + size);
    const std::wstring_view text(wide.data(), wide.size());
    const double value = cad::lenientParse(text);
    require(!std::isnan(value), "parse never gives NaN");

    std::wstring compact;
    for (wchar_t c : text)
        if (c != L' ' && c != L'\t' && c != L'\r' && c != L'\n') compact.push_back(c);
    require(std::signbit(cad::lenientParse(compact)) == std::signbit(value) && cad::lenientParse(compact) == value,
            "blanks never matter");

    const auto count = cad::decimalCount(text);
    const double whole = std::floor(value);
    require(count.has_value() == (std::isfinite(whole) && whole >= -32768 && whole <= 32767), "count iff it fits 16 bits");
    if (count) require(*count == whole, "count is the floor of the parse");

    const std::int16_t bounded = count ? std::clamp<std::int16_t>(*count, -2, 400) : 2;
    checkWritten(value, bounded);
    checkWritten(-value, 0);
    if (double raw; size >= sizeof raw) {  // arbitrary doubles too: NaN, infinities, denormals
        std::memcpy(&raw, data, sizeof raw);
        checkWritten(raw, bounded);
    }
    return 0;
}
