// cad::writeValue against oleaut32's VarFormat, the platform's own writer of the same "0" /
// "0." / "0.00" patterns, over fixed and random values. Runs under Wine.
#include <windows.h>
#include <oleauto.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "cad/com_values.h"
#include "cad/number_rules.h"

namespace {

// VarFormat in the prefix's locale; a probe below checks that its separator is ".".
std::wstring varFormat(double value, std::wstring pattern) {
    cad::Variant in = cad::Variant::fromR8(value);
    cad::Bstr out;
    return SUCCEEDED(VarFormat(in.get(), pattern.data(), 1, 1, 0, out.address())) ? out.str() : L"<failed>";
}

// What Wine's VarFormat writes where it is known to differ from our rule; a difference is
// excused only when Wine wrote exactly that.
std::optional<std::wstring> wineQuirk(double value, int count, const std::wstring& mine) {
    const std::wstring sign = std::signbit(value) ? L"-" : L"", separator = count < 0 ? L"." : L"";
    // A negative value that rounds to zero: Wine keeps the minus sign, we do not.
    if (!sign.empty() && mine.find_first_of(L"123456789") == std::wstring::npos) return L"-" + mine;
    // No decimals and 0.5 <= |value| < 1 on 15 digits: Wine loses the carry into a new first digit.
    char digits[40];
    std::snprintf(digits, sizeof digits, "%.14e", std::fabs(value));
    if (count <= 0 && digits[0] >= '5' && std::strstr(digits, "e-01") && mine == sign + L"1" + separator)
        return sign + L"0" + separator;
    return std::nullopt;
}

TEST(FormatOracle, WriteValueAgreesWithVarFormat) {
    ASSERT_EQ(varFormat(1.5, L"0.0"), L"1.5");
    std::vector<std::pair<double, int>> cases;
    for (double v : {0.0, -0.0, 0.5, -0.5, 0.7, 1.5, 2.5, -2.5, 0.285, 1.005, 2.675, 9.995, -0.001, -0.4, 300.0,
                     0.05, 0.95, 299.5, 999999.9999, 262.4 - 50, 82.75 - 100, 0.2124, 88900949716125.25})
        for (int count = -2; count <= 12; ++count) cases.emplace_back(v, count);
    // Random values of the kinds a node list meets, well inside +/-1e15 (Wine's VarFormat crashes
    // on huge ones): up to 15 digits with up to 6 decimals, halves at the pattern's last decimal,
    // tiny values, and anything in between.
    std::mt19937_64 rng(20240607);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto digits = [&](int n) { return std::floor(std::uniform_real_distribution<double>(0, std::pow(10, n))(rng)); };
    for (int i = 0; i < 20000; ++i) {
        const int count = pick(-2, 12), decimals = pick(0, 6);
        const double values[] = {digits(pick(0, 15 - decimals)) / std::pow(10, decimals),
                                 (digits(pick(0, 12)) + 0.5) / std::pow(10, std::max(count, 0)),
                                 (1 + digits(pick(0, 6))) * std::pow(10, -pick(5, 30)),
                                 std::uniform_real_distribution<double>(0, 1)(rng) * std::pow(10, pick(-6, 14))};
        cases.emplace_back((pick(0, 1) ? -1 : 1) * values[pick(0, 3)], count);
    }
    int failures = 0, excused = 0;
    for (const auto& [value, count] : cases) {
        const std::wstring pattern = cad::decimalPattern(static_cast<std::int16_t>(count));
        const std::wstring mine = cad::writeValue(value, pattern, L".").value_or(L"<refused>");
        const std::wstring wine = varFormat(value, pattern);
        if (mine == wine || (wineQuirk(value, count, mine) == wine && ++excused)) continue;
        if (++failures <= 40)
            ADD_FAILURE() << std::setprecision(17) << value << " " << pattern << ": ours " << mine << ", Wine " << wine;
    }
    EXPECT_EQ(failures, 0) << "of " << cases.size() << " values (" << excused << " where Wine is known to differ)";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
