#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/instructions.h"

namespace {

std::vector<std::wstring> splitOnCrLf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t at; (at = text.find(L"\r\n", start)) != std::wstring::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    lines.push_back(text.substr(start));
    return lines;
}

}  // namespace

TEST(Instructions, FiveLinesJoinedByCrLfEndingWithTheHomePage) {
    const std::wstring text = app::instructionsText();
    const auto lines = splitOnCrLf(text);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], L"操作步骤：");
    EXPECT_EQ(lines[1], L"  1、打开截面图-R2000以上版本");
    EXPECT_EQ(lines[2], L"  2、点击初始化按钮，程序将切换到CAD，选取相对原点");
    EXPECT_EQ(lines[3], L"  3、点击点取节点按钮，依次选择截面节点。");
    EXPECT_EQ(lines[4], std::wstring(L"  更多软件尽在") + app::kHomePageAddress);
    // No stray line feeds or carriage returns outside the four pairs, nothing after the address.
    for (const auto& line : lines) EXPECT_EQ(line.find_first_of(L"\r\n"), std::wstring::npos);
    EXPECT_NE(text.back(), L'\n');
}

TEST(Instructions, HomePageIsAPlainHttpAddressWithoutPath) {
    const std::wstring home = app::kHomePageAddress;
    ASSERT_EQ(home.rfind(L"http://", 0), 0u);
    EXPECT_EQ(home.find(L'/', 7), std::wstring::npos);
    EXPECT_NE(home.find(L".example"), std::wstring::npos);
}
