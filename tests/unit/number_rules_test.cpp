// The node list's number rules: lenient parse, decimal count, pattern, writing a value.
#include "cad/number_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace cad;

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
std::wstring zeros(std::size_t n) { return std::wstring(n, L'0'); }

TEST(LenientParse, Table) {
    const std::vector<std::pair<std::wstring, double>> rows = {
        {L"-2.5", -2.5}, {L".5", 0.5}, {L"5.", 5}, {L"000262.4000", 262.4}, {L"-1e+2", -100},
        {L"2.5E-3", 0.0025}, {L" \t-\r\n 1 2 . 5 ", -12.5}, {L"1 e - 2", 0.01},
        // Stops at the first character that cannot continue; only blank, tab, CR, LF skipped.
        {L"2 m", 2}, {L"1.2.3", 1.2}, {L"3-4", 3}, {L"1,5", 1}, {L"1\u00a05", 1}, {L"\uff11", 0},
        {L"1E+", 1}, {L"1e-x", 1},
        // No number is +0, never -0 or NaN.
        {L"", 0}, {L"-", 0}, {L"abc", 0}, {L"-0.000", 0}, {L"nan", 0}, {L"inf", 0}, {L"+-1", 0},
        {L"1e308", 1e308}, {L"1e309", kInf}, {L"-1e309", -kInf}, {L"1e99999999999999999999", kInf},
        {L"-1e-350", 0}, {L"4.9e-324", std::numeric_limits<double>::denorm_min()},
        {L"1" + zeros(99999), kInf}, {L"0." + zeros(99999) + L"15e100000", 1.5},
        // Integer digits past the kept ones still count in the scale; fractional ones do not.
        {L"1" + zeros(900) + L"e-850", 1e50}, {L"1" + zeros(900) + L".5e-850", 1e50},
        // Ties between doubles: exact ones go to even, a far non-zero digit tips them up.
        {L"9007199254740993", 9007199254740992.0},
        {L"9007199254740993." + zeros(5000) + L"1", 9007199254740994.0},
        {L"1.00000000000000011102230246251565404236316680908203125", 1.0},
        {L"1.00000000000000011102230246251565404236316680908203126", std::nextafter(1.0, 2.0)},
    };
    for (const auto& [text, expected] : rows) {
        SCOPED_TRACE(text.substr(0, 60));
        const double v = lenientParse(text);
        EXPECT_EQ(v, expected);
        EXPECT_EQ(std::signbit(v), std::signbit(expected));
    }
    EXPECT_EQ(lenientParse(std::wstring_view(L"12345e7").substr(0, 6)), 12345.0);
}

TEST(DecimalCount, FloorThatFitsSixteenBitsThenPattern) {
    const std::vector<std::pair<std::wstring, std::optional<std::int16_t>>> rows = {
        {L"2.9", 2}, {L"-0.5", -1}, {L"1e1", 10}, {L"abc", 0}, {L"3 decimals", 3},
        {L"32767.9", 32767}, {L"-32768", -32768}, {L"32768", std::nullopt},
        {L"-32768.5", std::nullopt}, {L"1e999", std::nullopt}, {L"-1e999", std::nullopt}};
    for (const auto& [text, expected] : rows) EXPECT_EQ(decimalCount(text), expected) << text;
    for (const auto& [count, pattern] : std::vector<std::pair<std::int16_t, std::wstring>>{
             {0, L"0"}, {1, L"0.0"}, {3, L"0.000"}, {-1, L"0."}, {-32768, L"0."}, {32767, L"0." + zeros(32767)}})
        EXPECT_EQ(decimalPattern(count), pattern) << count;
}

TEST(WriteValue, Table) {
    struct Row { double value; std::int16_t count; std::wstring expected; };
    const std::vector<Row> rows = {
        {0.25, 3, L"0.250"}, {0, 0, L"0"}, {299.7, -1, L"300."}, {-42.25, 4, L"-42.2500"},
        // Halves away from zero, judged on 15 significant digits.
        {2.5, 0, L"3"}, {-2.5, 0, L"-3"}, {0.5, -1, L"1."}, {2.4999, 0, L"2"}, {0.285, 2, L"0.29"},
        {1.005, 2, L"1.01"}, {0.15, 1, L"0.2"}, {-0.125, 2, L"-0.13"}, {0.49999999999999994, 0, L"1"},
        {0.4999999999999991, 0, L"0"}, {-88900949716125.25, 9, L"-88900949716125.300000000"},
        {999999999999999.5, 1, L"1000000000000000.0"}, {9.995, 2, L"10.00"}, {-9.9999, 1, L"-10.0"},
        {0.0095, 2, L"0.01"}, {5e-7, 6, L"0.000001"}, {1.5e-7, 6, L"0.000000"},
        // No minus sign on a value that rounds to zero.
        {-0.001, 2, L"0.00"}, {-0.4, 0, L"0"}, {-0.3, -1, L"0."}, {-0.0, 1, L"0.0"},
        {-1e-300, 3, L"0.000"}, {-0.005, 2, L"-0.01"},
        // Digits past the 15th are written as zeros.
        {123456789012345678.0, 0, L"123456789012346000"}, {1e300, 2, L"1" + zeros(300) + L".00"},
        {std::numeric_limits<double>::max(), 0, L"179769313486232" + zeros(294)},
        {1.5, 32767, L"1.5" + zeros(32766)},
        {std::numeric_limits<double>::denorm_min(), 32767,
         L"0." + zeros(323) + L"494065645841247" + zeros(32429)},
        {kInf, 2, L"<none>"}, {-kInf, 0, L"<none>"}, {kNaN, 2, L"<none>"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.value << " with " << r.count);
        EXPECT_EQ(writeValue(r.value, decimalPattern(r.count), L".").value_or(L"<none>"), r.expected);
    }
    EXPECT_EQ(writeValue(-300, L"0.", L","), L"-300,");
    EXPECT_EQ(writeValue(2.25, L"0.00", L"<>"), L"2<>25");
    EXPECT_EQ(writeValue(7, L"0", L","), L"7");
    for (const wchar_t* p : {L"", L"00", L"0,00", L"#", L".0", L"1", L"0.00."})
        EXPECT_EQ(writeValue(1.0, p, L"."), std::nullopt) << p;
}

}  // namespace
