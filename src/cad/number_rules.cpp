#include "cad/number_rules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace cad {
namespace {

bool isSkippedBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Walks a text, stepping over the blanks the lenient parse ignores.
class BlankSkippingReader {
public:
    explicit BlankSkippingReader(std::wstring_view text) : text_(text) { skipBlanks(); }

    bool atEnd() const { return pos_ >= text_.size(); }
    wchar_t peek() const { return atEnd() ? L'\0' : text_[pos_]; }
    void advance() {
        ++pos_;
        skipBlanks();
    }

private:
    void skipBlanks() {
        while (pos_ < text_.size() && isSkippedBlank(text_[pos_])) ++pos_;
    }

    std::wstring_view text_;
    std::size_t pos_ = 0;
};

// More significant digits than any double needs for correct rounding (the worst case is
// 767); the rest of a longer digit string only matters as "some non-zero digit follows".
constexpr std::size_t kKeptDigits = 800;

// Past these decimal magnitudes the result is certainly infinite or zero, so the exponent
// can saturate far below its own overflow.
constexpr std::int64_t kOverflowMagnitude = 400;
constexpr std::int64_t kUnderflowMagnitude = -400;
constexpr std::int64_t kExponentCap = 1'000'000'000;

// Adds one unit in the last place of a digit string; true when the carry runs out of the
// first digit (all digits are then zeros).
bool incrementDigits(std::string& digits) {
    std::size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) return true;
    ++digits[i - 1];
    return false;
}

constexpr std::int64_t kSignificantDigits = 15;
// Enough for the exact decimal expansion of any double (at most 767 significant digits).
constexpr int kExactPrecision = 770;

struct SignificantDigits {
    std::string digits;     // exactly 15
    std::int64_t exponent;  // power of ten of the first digit
};

// The 15 significant digits of a positive finite value, rounded half away from zero on
// its exact digits (a plain 15-digit to_chars or printf would take a tie to even, e.g.
// 88900949716125.25 to ...125.2). No locale is involved.
std::optional<SignificantDigits> fifteenDigits(double magnitude) {
    char buffer[kExactPrecision + 16];  // d.ddd...de-xxx
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                         std::chars_format::scientific, kExactPrecision);
    if (ec != std::errc()) return std::nullopt;
    const char* e = std::find(buffer, end, 'e');
    if (e + 2 >= end) return std::nullopt;

    // buffer is "d.ddd...": take the 15 characters from the point on, then put the first
    // digit over the point (an append here trips a 32-bit GCC -Wrestrict false positive).
    SignificantDigits result{std::string(buffer + 1, buffer + 1 + kSignificantDigits), 0};
    result.digits[0] = buffer[0];
    for (const char* p = e + 2; p < end; ++p) result.exponent = result.exponent * 10 + (*p - '0');
    if (e[1] == '-') result.exponent = -result.exponent;
    if (buffer[1 + kSignificantDigits] >= '5' && incrementDigits(result.digits)) {
        result.digits.insert(result.digits.begin(), '1');
        result.digits.pop_back();
        ++result.exponent;
    }
    return result;
}

}  // namespace

double lenientParse(std::wstring_view text) {
    BlankSkippingReader in(text);

    bool negative = false;
    if (in.peek() == L'+' || in.peek() == L'-') {
        negative = in.peek() == L'-';
        in.advance();
    }

    // The value is kept as: significant digits (without leading zeros) times 10^scale.
    std::string digits;
    std::int64_t scale = 0;
    bool sawDigit = false;
    bool droppedNonZero = false;

    auto takeDigit = [&](wchar_t c, bool fractional) {
        sawDigit = true;
        if (digits.empty() && c == L'0') {
            if (fractional) --scale;
            return;
        }
        if (digits.size() < kKeptDigits) {
            digits.push_back(static_cast<char>(c));
            if (fractional) --scale;
        } else {
            if (c != L'0') droppedNonZero = true;
            if (!fractional) ++scale;
        }
    };

    while (isDigit(in.peek())) {
        takeDigit(in.peek(), false);
        in.advance();
    }
    if (in.peek() == L'.') {
        in.advance();
        while (isDigit(in.peek())) {
            takeDigit(in.peek(), true);
            in.advance();
        }
    }
    if (!sawDigit) return 0.0;

    // The exponent counts only with at least one digit; otherwise "1E+" reads as 1.
    if (in.peek() == L'E' || in.peek() == L'e') {
        in.advance();
        bool exponentNegative = false;
        if (in.peek() == L'+' || in.peek() == L'-') {
            exponentNegative = in.peek() == L'-';
            in.advance();
        }
        if (isDigit(in.peek())) {
            std::int64_t exponent = 0;
            while (isDigit(in.peek())) {
                exponent = std::min<std::int64_t>(exponent * 10 + (in.peek() - L'0'), kExponentCap);
                in.advance();
            }
            scale += exponentNegative ? -exponent : exponent;
        }
    }

    if (digits.empty()) return 0.0;  // only zeros: no negative zero either
    if (droppedNonZero) {
        // A trailing 1 stands for the dropped digits so that rounding still sees "above".
        digits.push_back('1');
        --scale;
    }

    const double infinity = std::numeric_limits<double>::infinity();
    const std::int64_t magnitude = scale + static_cast<std::int64_t>(digits.size()) - 1;
    if (magnitude > kOverflowMagnitude) return negative ? -infinity : infinity;
    if (magnitude < kUnderflowMagnitude) return 0.0;

    // Digits and an exponent only: the conversion cannot depend on a locale's decimal point.
    digits.push_back('e');
    digits += std::to_string(scale);
    double value = 0.0;
    const auto [end, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value untouched here; the magnitude says which way it went.
        value = magnitude > 0 ? infinity : 0.0;
    } else if (ec != std::errc() || end != digits.data() + digits.size()) {
        return 0.0;
    }
    if (value == 0.0) return 0.0;
    return negative ? -value : value;
}

std::optional<std::int16_t> decimalCount(std::wstring_view text) {
    const double whole = std::floor(lenientParse(text));
    if (!std::isfinite(whole) || whole < std::numeric_limits<std::int16_t>::min() ||
        whole > std::numeric_limits<std::int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(whole);
}

std::wstring decimalPattern(std::int16_t count) {
    if (count == 0) return L"0";
    std::wstring pattern = L"0.";
    if (count > 0) pattern.append(static_cast<std::size_t>(count), L'0');
    return pattern;
}

std::optional<std::wstring> writeValue(double value, std::wstring_view pattern,
                                       std::wstring_view separator) {
    if (!std::isfinite(value)) return std::nullopt;

    // Pattern: "0" (no separator), "0." (separator, no decimals) or "0." and n zeros.
    if (pattern.empty() || pattern[0] != L'0') return std::nullopt;
    const bool writeSeparator = pattern.size() > 1;
    if (writeSeparator && pattern[1] != L'.') return std::nullopt;
    const std::wstring_view decimalZeros = writeSeparator ? pattern.substr(2) : std::wstring_view{};
    if (decimalZeros.find_first_not_of(L'0') != std::wstring_view::npos) return std::nullopt;
    const std::int64_t decimals = static_cast<std::int64_t>(decimalZeros.size());

    // scaled = |value| * 10^decimals as a whole number, rounded half away from zero on the
    // 15 digits; `kept` is how many of them lie at or above the last written decimal.
    std::string scaled;
    std::optional<SignificantDigits> significant;
    if (value != 0.0) {
        significant = fifteenDigits(std::fabs(value));
        if (!significant) return std::nullopt;
    }
    const std::int64_t kept = significant ? significant->exponent + 1 + decimals : -1;
    if (!significant || kept < 0) {
        scaled.assign(1, '0');
    } else if (kept >= kSignificantDigits) {
        scaled = significant->digits;
        scaled.append(static_cast<std::size_t>(kept - kSignificantDigits), '0');
    } else {
        scaled = significant->digits.substr(0, static_cast<std::size_t>(kept));
        if (significant->digits[static_cast<std::size_t>(kept)] >= '5' && incrementDigits(scaled))
            scaled.insert(scaled.begin(), '1');
        if (scaled.empty()) scaled.push_back('0');
    }

    const bool isZero = scaled.find_first_not_of('0') == std::string::npos;
    // At least one digit before the separator.
    if (static_cast<std::int64_t>(scaled.size()) < decimals + 1)
        scaled.insert(0, static_cast<std::size_t>(decimals + 1) - scaled.size(), '0');
    const std::size_t wholeDigits = scaled.size() - static_cast<std::size_t>(decimals);

    std::wstring out;
    out.reserve(scaled.size() + separator.size() + 1);
    if (value < 0 && !isZero) out.push_back(L'-');
    for (std::size_t i = 0; i < wholeDigits; ++i) out.push_back(static_cast<wchar_t>(scaled[i]));
    if (writeSeparator) out.append(separator);
    for (std::size_t i = wholeDigits; i < scaled.size(); ++i)
        out.push_back(static_cast<wchar_t>(scaled[i]));
    return out;
}

}  // namespace cad
