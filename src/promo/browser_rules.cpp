#include "promo/browser_rules.h"

#include <cwctype>
#include <optional>

namespace promo {
namespace {

// The leading number of a dotted version, and what follows its dot.
std::optional<unsigned long> leadingNumber(std::wstring_view text, std::wstring_view* rest = nullptr) {
    size_t digits = 0;
    unsigned long value = 0;
    for (; digits < text.size() && digits < 6 && std::iswdigit(text[digits]); ++digits)
        value = value * 10 + static_cast<unsigned long>(text[digits] - L'0');
    if (digits == 0) return std::nullopt;
    if (rest) *rest = text.substr(digits < text.size() && text[digits] == L'.' ? digits + 1 : digits);
    return value;
}

bool startsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (static_cast<wchar_t>(std::towlower(text[i])) != prefix[i]) return false;
    return true;
}

}  // namespace

unsigned long browserEmulationFor(std::wstring_view svcVersion, std::wstring_view version) {
    std::optional<unsigned long> major = leadingNumber(svcVersion);
    if (!major) {
        // Engines 10 and 11 without svcVersion still say "9.10..." or "9.11..." in Version.
        std::wstring_view minor;
        major = leadingNumber(version, &minor);
        const std::optional<unsigned long> second = leadingNumber(minor);
        if (major == 9ul && second && *second >= 10) major = second;
    }
    if (!major || *major >= 11) return 11001;
    if (*major == 10) return 10001;
    if (*major == 9) return 9999;
    if (*major == 8) return 8888;
    return 7000;
}

std::wstring_view fileNameOf(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

bool opensInUserBrowser(std::wstring_view address) {
    return startsWithNoCase(address, L"http://") || startsWithNoCase(address, L"https://");
}

std::array<wchar_t, 8> htmlColour(unsigned long colorref) {
    constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    std::array<wchar_t, 8> text{L'#'};
    for (int i = 0; i < 3; ++i) {  // red, green, blue: the low byte first
        const unsigned long channel = colorref >> (8 * i) & 0xFF;
        text[1 + 2 * i] = kHex[channel >> 4];
        text[2 + 2 * i] = kHex[channel & 0xF];
    }
    return text;
}

}  // namespace promo
