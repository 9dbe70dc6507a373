#include "cad/number_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using cad::decimalCount;
using cad::lenientParse;
using cad::writeValue;
using cad::wstr;

constexpr double kInf = std::numeric_limits<double>::infinity();

// Writes with a full stop; "<none>" stands for a refused value or pattern.
std::wstring write(double value, std::wstring_view pattern) {
    return writeValue(value, pattern, L".").value_or(L"<none>");
}

// ---------------------------------------------------------------------------------------
// Lenient parse

TEST(LenientParse, ReadsSignDigitsPointAndExponent) {
    EXPECT_EQ(lenientParse(L"1"), 1.0);
    EXPECT_EQ(lenientParse(L"-2.5"), -2.5);
    EXPECT_EQ(lenientParse(L"+7"), 7.0);
    EXPECT_EQ(lenientParse(L"0.5"), 0.5);
    EXPECT_EQ(lenientParse(L".5"), 0.5);
    EXPECT_EQ(lenientParse(L"5."), 5.0);
    EXPECT_EQ(lenientParse(L"000262.4000"), 262.4);
    EXPECT_EQ(lenientParse(L"0.001"), 0.001);
    EXPECT_EQ(lenientParse(L"1e1"), 10.0);
    EXPECT_EQ(lenientParse(L"2.5E-3"), 0.0025);
    EXPECT_EQ(lenientParse(L"-1e+2"), -100.0);
    EXPECT_EQ(lenientParse(L"1.7976931348623157e308"), std::numeric_limits<double>::max());
}

TEST(LenientParse, SkipsBlanksTabsAndLineBreaksAnywhere) {
    EXPECT_EQ(lenientParse(L"1 5"), 15.0);
    EXPECT_EQ(lenientParse(L" \t-\r\n 1 2 . 5 "), -12.5);
    EXPECT_EQ(lenientParse(L"- 5"), -5.0);
    EXPECT_EQ(lenientParse(L"1 e - 2"), 0.01);
    EXPECT_EQ(lenientParse(L"\n\n0.5\n"), 0.5);
}

TEST(LenientParse, StopsAtTheFirstCharacterThatCannotContinue) {
    EXPECT_EQ(lenientParse(L"2 m"), 2.0);
    EXPECT_EQ(lenientParse(L"1.2.3"), 1.2);
    EXPECT_EQ(lenientParse(L"3-4"), 3.0);
    EXPECT_EQ(lenientParse(L"1e5x"), 1e5);
    EXPECT_EQ(lenientParse(L"1,5"), 1.0);        // the comma is never a decimal point
    EXPECT_EQ(lenientParse(L"1\u00a05"), 1.0);   // only blank, tab, CR and LF are skipped
    EXPECT_EQ(lenientParse(L"\uff11"), 0.0);     // full-width digits are not digits
    // An exponent needs a digit; without one the mantissa stands alone.
    EXPECT_EQ(lenientParse(L"1E"), 1.0);
    EXPECT_EQ(lenientParse(L"1E+"), 1.0);
    EXPECT_EQ(lenientParse(L"1e-x"), 1.0);
    EXPECT_EQ(lenientParse(L"1e e5"), 1.0);
}

TEST(LenientParse, TextWithoutLeadingNumberGivesPositiveZero) {
    for (const wchar_t* text : {L"", L" ", L"-", L"+", L".", L"-.", L"abc", L"e5", L"-e5",
                                L"nan", L"inf", L"-0", L"-0.000", L"0e5", L"+-1"}) {
        const double v = lenientParse(text);
        EXPECT_EQ(v, 0.0) << text;
        EXPECT_FALSE(std::signbit(v)) << text;
    }
}

TEST(LenientParse, ExponentOverflowGivesInfinityAndUnderflowZero) {
    EXPECT_EQ(lenientParse(L"1e308"), 1e308);
    EXPECT_EQ(lenientParse(L"1e309"), kInf);
    EXPECT_EQ(lenientParse(L"-1e309"), -kInf);
    EXPECT_EQ(lenientParse(L"1e99999999999999999999"), kInf);
    EXPECT_EQ(lenientParse(L"-9e99999999999999999999999999999999"), -kInf);
    EXPECT_EQ(lenientParse(L"1e-400"), 0.0);
    EXPECT_EQ(lenientParse(L"-1e-99999999999999999999"), 0.0);
    EXPECT_FALSE(std::signbit(lenientParse(L"-1e-350")));  // underflow gives +0, not -0
    EXPECT_EQ(lenientParse(L"0e99999999999"), 0.0);
    EXPECT_EQ(lenientParse(L"4.9e-324"), std::numeric_limits<double>::denorm_min());
}

TEST(LenientParse, HandlesVeryLongDigitStrings) {
    const std::wstring zeros(99999, L'0');
    EXPECT_EQ(lenientParse(L"1" + zeros), kInf);                 // 10^99999
    EXPECT_EQ(lenientParse(L"0." + zeros + L"1"), 0.0);          // 10^-100000
    EXPECT_EQ(lenientParse(L"0." + zeros + L"15e100000"), 1.5);  // scales cancel
    EXPECT_EQ(lenientParse(L"1" + std::wstring(300, L'0')), 1e300);
    EXPECT_EQ(lenientParse(L"0." + std::wstring(100000, L'9')), 1.0);
    EXPECT_EQ(lenientParse(std::wstring(100000, L' ') + L"7"), 7.0);

    // 2^53 + 1 lies halfway between two doubles: exact ties go to even, but a non-zero
    // digit far beyond the kept digits must still tip it upwards.
    EXPECT_EQ(lenientParse(L"9007199254740993"), 9007199254740992.0);
    EXPECT_EQ(lenientParse(L"9007199254740993." + std::wstring(5000, L'0') + L"1"),
              9007199254740994.0);
    EXPECT_EQ(lenientParse(L"9007199254740993" + std::wstring(5000, L'0') + L"1e-5001"),
              9007199254740994.0);
    // A tie that only the 55th digit decides: every digit must be kept, not just 17.
    EXPECT_EQ(lenientParse(L"1.00000000000000011102230246251565404236316680908203125"), 1.0);
    EXPECT_EQ(lenientParse(L"1.00000000000000011102230246251565404236316680908203126"),
              std::nextafter(1.0, 2.0));
}

TEST(LenientParse, NeverReadsPastTheEndOfTheView) {
    const std::wstring text = L"12345e7";
    const std::wstring_view view = text;
    EXPECT_EQ(lenientParse(view.substr(0, 2)), 12.0);
    EXPECT_EQ(lenientParse(view.substr(0, 6)), 12345.0);
    EXPECT_EQ(lenientParse(view.substr(0, 0)), 0.0);
}

// ---------------------------------------------------------------------------------------
// Decimal count and pattern

TEST(DecimalCount, RoundsDownAndFitsSixteenBits) {
    EXPECT_EQ(decimalCount(L"2.9"), 2);
    EXPECT_EQ(decimalCount(L"2.7"), 2);
    EXPECT_EQ(decimalCount(L"-0.5"), -1);
    EXPECT_EQ(decimalCount(L"1e1"), 10);
    EXPECT_EQ(decimalCount(L""), 0);
    EXPECT_EQ(decimalCount(L"abc"), 0);
    EXPECT_EQ(decimalCount(L"3 decimals"), 3);
    EXPECT_EQ(decimalCount(L"32767.9"), 32767);
    EXPECT_EQ(decimalCount(L"-32768"), -32768);

    EXPECT_EQ(decimalCount(L"32768"), std::nullopt);
    EXPECT_EQ(decimalCount(L"40000"), std::nullopt);
    EXPECT_EQ(decimalCount(L"-32768.5"), std::nullopt);
    EXPECT_EQ(decimalCount(L"1e999"), std::nullopt);
    EXPECT_EQ(decimalCount(L"-1e999"), std::nullopt);
}

TEST(Wstr, BuildsThePatternForACount) {
    EXPECT_EQ(wstr(0), L"0");
    EXPECT_EQ(wstr(1), L"0.0");
    EXPECT_EQ(wstr(3), L"0.000");
    EXPECT_EQ(wstr(-1), L"0.");
    EXPECT_EQ(wstr(-32768), L"0.");
    const std::wstring longest = wstr(32767);
    EXPECT_EQ(longest.size(), 32769u);
    EXPECT_EQ(longest.find_first_not_of(L'0', 2), std::wstring::npos);
}

// ---------------------------------------------------------------------------------------
// Writing a value

TEST(WriteValue, WritesExactlyThePatternsDecimals) {
    EXPECT_EQ(write(0.25, L"0.000"), L"0.250");
    EXPECT_EQ(write(3, L"0.00"), L"3.00");
    EXPECT_EQ(write(0, L"0"), L"0");
    EXPECT_EQ(write(0, L"0.0"), L"0.0");
    EXPECT_EQ(write(300, L"0."), L"300.");
    EXPECT_EQ(write(299.7, L"0."), L"300.");
    EXPECT_EQ(write(-42.25, L"0.0000"), L"-42.2500");
    EXPECT_EQ(write(1e1, wstr(*decimalCount(L"1e1"))), L"10.0000000000");
    EXPECT_EQ(write(1234567, wstr(*decimalCount(L"-3"))), L"1234567.");
}

TEST(WriteValue, RoundsHalvesAwayFromZeroOnFifteenDigits) {
    EXPECT_EQ(write(2.5, L"0"), L"3");
    EXPECT_EQ(write(-2.5, L"0"), L"-3");
    EXPECT_EQ(write(1.5, L"0"), L"2");
    EXPECT_EQ(write(0.5, L"0"), L"1");
    EXPECT_EQ(write(-0.5, L"0"), L"-1");
    EXPECT_EQ(write(0.5, L"0."), L"1.");
    EXPECT_EQ(write(2.4999, L"0"), L"2");
    // Stored just below the half; the 15-digit form is the half itself.
    EXPECT_EQ(write(0.285, L"0.00"), L"0.29");
    EXPECT_EQ(write(1.005, L"0.00"), L"1.01");
    EXPECT_EQ(write(2.675, L"0.00"), L"2.68");
    EXPECT_EQ(write(0.15, L"0.0"), L"0.2");
    EXPECT_EQ(write(0.05, L"0.0"), L"0.1");
    EXPECT_EQ(write(-0.125, L"0.00"), L"-0.13");
    EXPECT_EQ(write(0.49999999999999994, L"0"), L"1");
    // Beyond the 15th digit nothing counts: this is 0.499999999999999 and stays below.
    EXPECT_EQ(write(0.4999999999999991, L"0"), L"0");
    // A tie in the 16th digit rounds away from zero as well, even out of the first digit.
    EXPECT_EQ(write(-88900949716125.25, L"0.000000000"), L"-88900949716125.300000000");
    EXPECT_EQ(write(999999999999998.5, L"0.0"), L"999999999999999.0");
    EXPECT_EQ(write(999999999999999.5, L"0.0"), L"1000000000000000.0");
}

TEST(WriteValue, CarriesAcrossTheSeparatorAndAddsDigits) {
    EXPECT_EQ(write(9.995, L"0.00"), L"10.00");
    EXPECT_EQ(write(99.5, L"0"), L"100");
    EXPECT_EQ(write(0.96, L"0.0"), L"1.0");
    EXPECT_EQ(write(-9.9999, L"0.0"), L"-10.0");
    EXPECT_EQ(write(999999.9999, L"0.00"), L"1000000.00");
    EXPECT_EQ(write(0.0095, L"0.00"), L"0.01");
}

TEST(WriteValue, ZeroAfterRoundingHasNoMinusSign) {
    EXPECT_EQ(write(-0.001, L"0.00"), L"0.00");
    EXPECT_EQ(write(-0.4, L"0"), L"0");
    EXPECT_EQ(write(-0.3, L"0."), L"0.");
    EXPECT_EQ(write(-0.0, L"0.0"), L"0.0");
    EXPECT_EQ(write(-1e-300, L"0.000"), L"0.000");
    EXPECT_EQ(write(-0.005, L"0.00"), L"-0.01");
}

TEST(WriteValue, TinyValues) {
    EXPECT_EQ(write(1e-300, L"0.00"), L"0.00");
    EXPECT_EQ(write(0.005, L"0.00"), L"0.01");
    EXPECT_EQ(write(0.0049, L"0.00"), L"0.00");
    EXPECT_EQ(write(1e-5, L"0.00000"), L"0.00001");
    EXPECT_EQ(write(1.5e-7, L"0.000000"), L"0.000000");
    EXPECT_EQ(write(5e-7, L"0.000000"), L"0.000001");
}

TEST(WriteValue, HugeValuesWriteZerosBeyondFifteenDigits) {
    EXPECT_EQ(write(1e300, L"0.00"), L"1" + std::wstring(300, L'0') + L".00");
    EXPECT_EQ(write(123456789012345678.0, L"0"), L"123456789012346000");
    EXPECT_EQ(write(-1e15 - 0.5, L"0.0"), L"-1000000000000000.0");  // the .5 is the 17th digit
    const std::wstring max = write(std::numeric_limits<double>::max(), L"0");
    EXPECT_EQ(max.size(), 309u);
    EXPECT_EQ(max.substr(0, 16), L"1797693134862320");
    EXPECT_EQ(max.find_first_not_of(L'0', 15), std::wstring::npos);
}

TEST(WriteValue, HugeDecimalCounts) {
    const std::wstring pattern = wstr(32767);
    const std::wstring onePointFive = write(1.5, pattern);
    EXPECT_EQ(onePointFive, L"1.5" + std::wstring(32766, L'0'));

    // The smallest denormal: its 15 digits start at the 324th decimal.
    const std::wstring tiny = write(std::numeric_limits<double>::denorm_min(), pattern);
    ASSERT_EQ(tiny.size(), 2u + 32767u);
    EXPECT_EQ(tiny.substr(0, 325), L"0." + std::wstring(323, L'0'));
    EXPECT_EQ(tiny.substr(325, 15), L"494065645841247");
    EXPECT_EQ(tiny.find_first_not_of(L'0', 340), std::wstring::npos);
}

TEST(WriteValue, SeparatorIsWrittenAsGiven) {
    EXPECT_EQ(writeValue(1.5, L"0.0", L","), L"1,5");
    EXPECT_EQ(writeValue(-300, L"0.", L","), L"-300,");
    EXPECT_EQ(writeValue(2.25, L"0.00", L"<>"), L"2<>25");
    EXPECT_EQ(writeValue(7, L"0", L","), L"7");  // no decimals, no separator
}

TEST(WriteValue, RefusesNonFiniteValuesAndForeignPatterns) {
    for (double v : {kInf, -kInf, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(writeValue(v, L"0.00", L"."), std::nullopt);
    for (const wchar_t* p : {L"", L"00", L"0,00", L"#", L"0.0#", L".0", L"0.0 ", L"1", L"0.00."})
        EXPECT_EQ(writeValue(1.0, p, L"."), std::nullopt) << p;
}

// Any written value reads back within half a unit of its last decimal, and has the shape
// [-]digits[.digits] with exactly the pattern's decimals.
TEST(WriteValue, RandomValuesReadBackWithinHalfAUnit) {
    std::mt19937_64 rng(20240607);
    std::uniform_int_distribution<int> countDist(-1, 8), digitsDist(0, 14);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int i = 0; i < 20000; ++i) {
        const double value = unit(rng) * std::pow(10.0, digitsDist(rng) - 4);
        const std::int16_t count = static_cast<std::int16_t>(countDist(rng));
        const std::wstring text = write(value, wstr(count));
        const int decimals = count > 0 ? count : 0;

        const std::size_t point = text.find(L'.');
        ASSERT_EQ(point == std::wstring::npos, count == 0) << text;
        if (point != std::wstring::npos) {
            ASSERT_EQ(text.size() - point - 1, static_cast<std::size_t>(decimals)) << text;
        }
        ASSERT_EQ(text.find_first_not_of(L"-0123456789."), std::wstring::npos) << text;
        ASSERT_NE(text[text[0] == L'-' ? 1 : 0], L'.') << text;

        const double back = lenientParse(text);
        const double unitStep = std::pow(10.0, -decimals);
        EXPECT_LE(std::fabs(back - value), unitStep / 2 + std::fabs(value) * 1e-14)
            << value << " count " << count << " -> " << std::string(text.begin(), text.end());
    }
}

// ---------------------------------------------------------------------------------------
// The node list: (node - origin) * scale, each coordinate written with the pattern.

std::vector<std::wstring> nodeLines(std::wstring_view scaleText, std::wstring_view decimalsText) {
    const double originX = 100, originY = 50;
    const std::vector<std::pair<double, double>> nodes = {
        {100, 50}, {400, 50}, {400, 262.4}, {82.75, 262.4}};
    const double scale = lenientParse(scaleText);
    const std::wstring pattern = wstr(decimalCount(decimalsText).value());
    std::vector<std::wstring> lines;
    for (const auto& [x, y] : nodes) {
        lines.push_back(*writeValue((x - originX) * scale, pattern, L".") + L" " +
                        *writeValue((y - originY) * scale, pattern, L"."));
    }
    return lines;
}

TEST(NodeList, ExampleWithTwoDecimals) {
    EXPECT_EQ(nodeLines(L"1", L"2"),
              (std::vector<std::wstring>{L"0.00 0.00", L"300.00 0.00", L"300.00 212.40",
                                         L"-17.25 212.40"}));
}

TEST(NodeList, ExampleWithoutDecimals) {
    EXPECT_EQ(nodeLines(L"1", L"0"),
              (std::vector<std::wstring>{L"0 0", L"300 0", L"300 212", L"-17 212"}));
}

TEST(NodeList, ExampleScaledToThousandthsWithThreeDecimals) {
    EXPECT_EQ(nodeLines(L"0.001", L"3"),
              (std::vector<std::wstring>{L"0.000 0.000", L"0.300 0.000", L"0.300 0.212",
                                         L"-0.017 0.212"}));
}

TEST(NodeList, ScaleWithoutNumberAndNegativeScale) {
    EXPECT_EQ(nodeLines(L"m", L"1"),
              (std::vector<std::wstring>{L"0.0 0.0", L"0.0 0.0", L"0.0 0.0", L"0.0 0.0"}));
    EXPECT_EQ(nodeLines(L"-1", L"-2"),
              (std::vector<std::wstring>{L"0. 0.", L"-300. 0.", L"-300. -212.", L"17. -212."}));
}

}  // namespace
