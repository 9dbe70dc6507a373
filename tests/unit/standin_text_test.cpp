// Text rules of the stand-in: group names, answer script, configuration and JSON strings.
#include <gtest/gtest.h>

#include <string>

#include "rules/script.h"
#include "rules/text.h"

namespace {

using namespace standin;

TEST(StandinGroupName, NamesTheToolDrawsAreAccepted) {
    EXPECT_EQ(groupNameProblem(L".7055475"), "");
    EXPECT_EQ(groupNameProblem(L"节点组 1"), "");
    EXPECT_EQ(groupNameProblem(std::wstring(255, L'x')), "");
}

TEST(StandinGroupName, RefusedNames) {
    EXPECT_NE(groupNameProblem(L""), "");
    EXPECT_NE(groupNameProblem(std::wstring(256, L'x')), "");
    for (wchar_t c : std::wstring(L"<>/\\\":;?*|,=`")) {
        const std::wstring name = std::wstring(L"a") + c + L"b";
        EXPECT_NE(groupNameProblem(name), "") << static_cast<int>(c);
    }
    EXPECT_NE(groupNameProblem(L"tab\there"), "");
}

TEST(StandinNames, CaseInsensitiveForAsciiOnly) {
    EXPECT_TRUE(equalsIgnoreCase(L"PDMODE", L"pdmode"));
    EXPECT_TRUE(equalsIgnoreCase(L"GetPoint", L"getpoint"));
    EXPECT_FALSE(equalsIgnoreCase(L"pdmode", L"pdmod"));
    EXPECT_FALSE(equalsIgnoreCase(L"a[", L"A{"));  // '[' and '{' are not a case pair
}

TEST(StandinJson, EscapesQuotesBackslashesAndControls) {
    EXPECT_EQ(jsonString("C:\\x \"y\""), "\"C:\\\\x \\\"y\\\"\"");
    EXPECT_EQ(jsonString("a\r\n\tb"), "\"a\\r\\n\\tb\"");
    EXPECT_EQ(jsonString(std::string("\x01", 1)), "\"\\u0001\"");
}

TEST(StandinJson, WideTextBecomesUtf8) {
    EXPECT_EQ(toUtf8(L"点取坐标原点 "), "\xE7\x82\xB9\xE5\x8F\x96\xE5\x9D\x90\xE6\xA0\x87\xE5\x8E\x9F\xE7\x82\xB9 ");
    EXPECT_EQ(toUtf8(L"\u00e9"), "\xC3\xA9");
    // A lone surrogate cannot be written as UTF-8: replacement character.
    const wchar_t lone[] = {static_cast<wchar_t>(0xD800), L'x', 0};
    EXPECT_EQ(toUtf8(lone), "\xEF\xBF\xBDx");
}

TEST(StandinAnswerScript, AllAnswerKinds) {
    const auto script = parseAnswerScript(
        "# origin first\r\npoint 100 50\r\npoint -17.25 262.4 3 delay=250\r\n\r\nENTER\r\nrightclick\r\nesc delay=10\r\nuser\r\n");
    ASSERT_TRUE(script.errors.empty()) << script.errors[0];
    ASSERT_EQ(script.answers.size(), 6u);
    EXPECT_EQ(script.answers[0].kind, AnswerKind::Point);
    EXPECT_DOUBLE_EQ(script.answers[0].x, 100);
    EXPECT_DOUBLE_EQ(script.answers[0].z, 0);
    EXPECT_DOUBLE_EQ(script.answers[1].x, -17.25);
    EXPECT_DOUBLE_EQ(script.answers[1].z, 3);
    EXPECT_EQ(script.answers[1].delayMs, 250);
    EXPECT_EQ(script.answers[2].kind, AnswerKind::Enter);
    EXPECT_EQ(script.answers[3].kind, AnswerKind::Enter);
    EXPECT_EQ(script.answers[4].kind, AnswerKind::Escape);
    EXPECT_EQ(script.answers[4].delayMs, 10);
    EXPECT_EQ(script.answers[5].kind, AnswerKind::User);
}

TEST(StandinAnswerScript, BadLinesAreReportedAndSkipped) {
    const auto script = parseAnswerScript("point 1\npoint a b\nesc now\njump\npoint 1 2 delay=-5\npoint 1 2\n");
    EXPECT_EQ(script.errors.size(), 5u);
    ASSERT_EQ(script.answers.size(), 1u);
    EXPECT_NE(script.errors[0].find("line 1"), std::string::npos);
    EXPECT_NE(script.errors[3].find("line 4"), std::string::npos);
}

TEST(StandinConfig, KeysValuesAndFaults) {
    const auto config = parseConfig(
        "[standin]\r\n; comment\r\nScript = C:\\t\\answers.txt\r\njournal= Z:\\tmp\\j.jsonl \r\n"
        "no_drawing = 1\r\nsecond_drawing_after_call = 4\r\nerase_group_after_call=12\r\n"
        "busy_after_call = 16\r\nbusy_ms = 1500\r\ndie_at_call = 30\r\nvisible = 0\r\n");
    EXPECT_TRUE(config.errors.empty());
    EXPECT_EQ(config.script, "C:\\t\\answers.txt");
    EXPECT_EQ(config.journal, "Z:\\tmp\\j.jsonl");
    EXPECT_TRUE(config.noDrawing);
    EXPECT_EQ(config.secondDrawingAfterCall, 4);
    EXPECT_EQ(config.eraseGroupAfterCall, 12);
    EXPECT_EQ(config.busyAfterCall, 16);
    EXPECT_EQ(config.busyMs, 1500);
    EXPECT_EQ(config.dieAtCall, 30);
    EXPECT_EQ(config.visible, 0);
}

TEST(StandinConfig, MemberFaultsDrawingFaultsAndJournalLevel) {
    const auto config = parseConfig(
        "die_at = ModelSpace.AddPoint:2\nclose_drawing_after_call = 12\nopen_drawing_after_call = 16\n"
        "journal_level = Failures\n");
    EXPECT_TRUE(config.errors.empty());
    ASSERT_TRUE(config.dieAt);
    EXPECT_EQ(config.dieAt->object, "ModelSpace");
    EXPECT_EQ(config.dieAt->member, "AddPoint");
    EXPECT_EQ(config.dieAt->occurrence, 2);
    EXPECT_EQ(config.closeDrawingAfterCall, 12);
    EXPECT_EQ(config.openDrawingAfterCall, 16);
    EXPECT_EQ(config.journalLevel, JournalLevel::Failures);
    EXPECT_EQ(parseConfig("").journalLevel, JournalLevel::All);
    EXPECT_FALSE(parseConfig("").dieAt);
}

TEST(StandinConfig, MemberCallForms) {
    const auto first = parseMemberCall("Groups.Add");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->occurrence, 1);
    EXPECT_EQ(parseMemberCall(" Group.AppendItems : 3 ")->occurrence, 3);
    for (const char* bad : {"AddPoint", "Groups.", ".Add", "Groups.Add:0", "Groups.Add:x", "Gr oups.Add", "a.b.c"}) {
        EXPECT_FALSE(parseMemberCall(bad)) << bad;
    }
    const auto config = parseConfig("die_at = AddPoint\njournal_level = some\n");
    EXPECT_EQ(config.errors.size(), 2u);
    EXPECT_FALSE(config.dieAt);
}

TEST(StandinConfig, BusyWithoutStartMeansFromTheStart) {
    EXPECT_EQ(parseConfig("busy_ms = 200\n").busyAfterCall, 0);
    EXPECT_EQ(parseConfig("").busyAfterCall, -1);
}

TEST(StandinConfig, UnknownKeysAndBadNumbersReported) {
    const auto config = parseConfig("die_at_call = soon\ncolour = red\njust text\n");
    EXPECT_EQ(config.errors.size(), 3u);
    EXPECT_EQ(config.dieAtCall, 0);
}

}  // namespace
