// The two picking commands against a fake CAD that logs every call.
#include "cad/pick_commands.h"

#include <gtest/gtest.h>

#include "cad/cad_class.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <tuple>

namespace {

using namespace cad;

constexpr std::int32_t kOther = -2147417848;  // 0x80010108, object disconnected

// Scripted picks, then Enter; the failNth-th call of failMember fails with failNumber. The
// prompts numbered in takeBackAt answer the keyword U instead of a pick.
struct FakeCad : CadLink {
    FakeCad(std::vector<Point3> picks, std::string failMember = "", int failNth = 1, std::int32_t failNumber = kOther)
        : picks(std::move(picks)), failMember(std::move(failMember)), failNth(failNth), failNumber(failNumber) {}
    std::vector<Point3> picks;
    std::string failMember;
    int failNth;
    std::int32_t failNumber;
    std::vector<std::wstring> log;
    std::map<std::string, int> counts;
    int lastId = 0;
    std::vector<int> takeBackAt;
    int promptsSeen = 0;
    std::wstring typed;  // what GetInput answers

    std::optional<CadError> call(const std::string& member, const std::wstring& args) {
        log.push_back(std::wstring(member.begin(), member.end()) + L" " + args);
        // failNth 0: every call of failMember fails.
        if (member == failMember && (failNth == 0 || ++counts[member] == failNth)) return CadError{failNumber, L"x"};
        return std::nullopt;
    }
    static CadStatus status(std::optional<CadError> e) { return e ? CadStatus(*e) : cadOk(); }
    static std::wstring id(const std::shared_ptr<void>& p) { return std::to_wstring(*static_cast<int*>(p.get())); }

    void connect() override { call("connect", L""); }
    CadResult<Point3> getPoint(std::wstring_view prompt) override {
        if (auto e = call("getPoint", std::wstring(prompt))) return *e;
        typed = std::ranges::count(takeBackAt, ++promptsSeen) ? (promptsSeen % 2 ? L"u" : L"U") : L"";
        if (picks.empty() || !typed.empty()) return CadError{kEndOfInputCancel, L"end"};
        const Point3 p = picks.front();
        picks.erase(picks.begin());
        return p;
    }
    CadStatus initializeUserInput(std::int16_t bits, std::wstring_view keywords) override {
        return status(call("initializeUserInput", std::to_wstring(bits) + L" " + std::wstring(keywords)));
    }
    CadResult<std::wstring> getInput() override {
        if (auto e = call("getInput", L"")) return *e;
        return typed;
    }
    CadResult<EntityRef> addPoint(double x, double y, double z) override {
        std::wostringstream s;
        s << x << L' ' << y << L' ' << z;
        if (auto e = call("addPoint", s.str())) return *e;
        return EntityRef{std::make_shared<int>(++lastId)};
    }
    CadStatus setColor(const EntityRef& e, std::int16_t c) override {
        return status(call("setColor", id(e.object) + L" " + std::to_wstring(c)));
    }
    CadStatus deleteEntity(const EntityRef& e) override { return status(call("deleteEntity", id(e.object))); }
    CadStatus setVariable(std::wstring_view name, std::int16_t v) override {
        return status(call("setVariable", std::wstring(name) + L" " + std::to_wstring(v)));
    }
    CadResult<GroupRef> addGroup(std::wstring_view name) override {
        if (auto e = call("addGroup", std::wstring(name))) return *e;
        return GroupRef{std::make_shared<int>(++lastId)};
    }
    CadResult<std::optional<GroupRef>> findGroup(std::wstring_view name) override {
        if (auto e = call("findGroup", std::wstring(name))) return *e;
        if (name != L"g") return std::optional<GroupRef>();
        return std::optional(GroupRef{std::make_shared<int>(0)});
    }
    CadStatus appendItems(const GroupRef& group, std::span<const EntityRef> items) override {
        std::wstring args = id(group.object) + L":";
        for (const auto& e : items) args += L" " + id(e.object);
        return status(call("appendItems", args));
    }
};

// Messages in order, each as "[icon caption] text".
std::wstring shown(const CommandOutcome& o) {
    std::wstring out;
    for (const auto& m : o.messages)
        out += (m.icon == MessageIcon::Stop ? L"[stop " : L"[warn ") + m.caption + L"] " + m.text;
    return out;
}
std::wstring stop(const std::wstring& text) { return L"[stop 错误] " + text; }
std::wstring warn(const wchar_t* text) { return std::wstring(L"[warn 提示] ") + text; }

// The arguments after the program's name and the setting beside it: the first named class on the
// command line, else the setting, else the default; blank counts as none.
TEST(CadClass, CommandLineThenSettingThenDefault) {
    const wchar_t *kDefault = kDefaultCadClass, *kSet = L"Set.Cad";
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*> rows[] = {
        {L"", L"", kDefault}, {L"--cad-class Other.Cad", L"", L"Other.Cad"}, {L"--cad-class=Other", kSet, L"Other"},
        {L"\"--cad-class\"\t\"My Cad.App\"", kSet, L"My Cad.App"}, {L"--cad-class=\" Quoted \" a.dxf", L"", L"Quoted"},
        {L"a.dxf --cad-class \"\" --cad-class Second.Cad", L"", L"Second.Cad"}, {L"--cad-class \"\"", kSet, kSet},
        {L"--cad-class=   ", kSet, kSet}, {L"--cad-class", kSet, kSet}, {L"--cad-classic Other.Cad", L"", kDefault},
        {L"Other.Cad", L" \tSet.Cad \t", kSet}, {L"", L"   ", kDefault},
    };
    for (const auto& [arguments, setting, expected] : rows)
        EXPECT_EQ(chooseCadClass(arguments, setting), expected) << arguments << L" | " << setting;
}

TEST(GroupName, GeneralFormatWithoutLeadingZeroOrExponent) {
    const std::pair<float, const wchar_t*> rows[] = {
        {0.7055475f, L".7055475"}, {0.5f, L".5"}, {0.01f, L".01"}, {0.0f, L"0"},
        {0.99999994f, L".9999999"}, {1.5e-5f, L".000015"}, {5.9604645e-8f, L".00000005960464"}};
    for (const auto& [r, name] : rows) EXPECT_EQ(groupNameFor(r), name) << r;
    for (int i = 0; i < 100; ++i) ASSERT_LT(freshRandomFraction(), 1.0f);
}

TEST(InitialiseOrigin, Table) {
    // The full run; a failing step ends the log early.
    const std::vector<std::wstring> fullLog = {
        L"connect ", L"getPoint 点取坐标原点 ", L"addPoint 100 50 0", L"setColor 1 1",
        L"setVariable pdmode 3", L"addGroup .7055475", L"appendItems 2: 1"};
    struct Row { const char* failMember; std::int32_t number; std::size_t calls; bool error; };
    const Row rows[] = {
        {"", 0, 7, false}, {"getPoint", kEndOfInputFail, 2, false},
        {"getPoint", kEndOfInputCancel, 2, false}, {"getPoint", kEndOfInputEscape, 2, false}, {"getPoint", kOther, 2, true},
        {"addPoint", kOther, 3, true}, {"addPoint", kEndOfInputFail, 3, true},
        {"setColor", kEndOfInputCancel, 4, true}, {"setVariable", kOther, 5, true},
        {"addGroup", kOther, 6, true}, {"appendItems", kOther, 7, true}, {"appendItems", kEndOfInputFail, 7, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.failMember << " " << r.number);
        FakeCad cad({{100, 50, 7}}, r.failMember, 1, r.number);
        PickState state{{1, 2, 0}, std::nullopt, L""};
        std::size_t clearedAt = 99;
        const auto o = initialiseOrigin(cad, state, [&] { clearedAt = cad.log.size(); },
                                        [] { return 0.7055475f; });
        EXPECT_EQ(clearedAt, 0u);
        EXPECT_EQ(o.outputText, L"");
        EXPECT_EQ(cad.log, std::vector<std::wstring>(fullLog.begin(), fullLog.begin() + r.calls));
        EXPECT_EQ(shown(o), r.error ? stop(kUnknownError) : L"");
        EXPECT_EQ(o.enablePickNodes, !*r.failMember);
        // The origin and the group change together, and only when the whole run succeeded.
        EXPECT_EQ(state.origin, (!*r.failMember ? Point3{100, 50, 0} : Point3{1, 2, 0}));
        EXPECT_EQ(state.nodeGroup.has_value(), !*r.failMember);
        EXPECT_EQ(state.nodeGroupName, !*r.failMember ? L".7055475" : L"");
    }
}

TEST(InitialiseOrigin, RefusedGroupNameIsDrawnAgain) {
    constexpr std::int32_t kRefused = -2145320702;  // 0x80210102, the name exists
    struct Row { int failNth; std::int32_t number; int tries; bool ok; };
    const Row rows[] = {{1, kRefused, 2, true}, {0, kRefused, kGroupNameTries, false}, {1, kOther, 1, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.failNth << " " << r.number);
        FakeCad cad({{100, 50, 0}}, "addGroup", r.failNth, r.number);
        PickState state;
        float next = 0.5f;
        const auto o = initialiseOrigin(cad, state, {}, [&] { return next /= 2; });
        std::vector<std::wstring> names;
        for (const auto& entry : cad.log)
            if (entry.starts_with(L"addGroup ")) names.push_back(entry);
        ASSERT_EQ(names.size(), std::size_t(r.tries));
        if (r.tries > 1) {
            EXPECT_NE(names[0], names[1]);
        }
        EXPECT_EQ(shown(o), r.ok ? L"" : stop(kUnknownError));
        EXPECT_EQ(state.nodeGroup.has_value(), r.ok);
        EXPECT_EQ(L"addGroup " + state.nodeGroupName, r.ok ? names.back() : L"addGroup ");
    }
}

TEST(PickNodes, Table) {
    const std::vector<Point3> section = {{100, 50, 0}, {400, 50, 0}, {400, 262.4, 0}, {82.75, 262.4, 0}};
    const std::wstring sectionList = L"0.00 0.00\r\n300.00 0.00\r\n300.00 212.40\r\n-17.25 212.40\r\n";
    std::vector<Point3> many;
    std::wstring hundred;
    for (int k = 0; k < 101; ++k) many.push_back({100.0 + k, 50, 0});
    for (int k = 0; k < 100; ++k) hundred += std::to_wstring(k) + L" 0\r\n";
    const std::wstring d15 = L"30.000000000000000 10.000000000000000\r\n";
    const std::wstring n1 = L"30.00 10.00\r\n";
    std::vector<std::wstring> sectionSoFar;  // the box after each pick
    for (std::size_t end = 0; (end = sectionList.find(L'\n', end) + 1) != 0;) sectionSoFar.push_back(sectionList.substr(0, end));
    struct Row {
        std::vector<Point3> picks = {};
        std::wstring scale = L"1";
        std::vector<std::wstring> decimals = {L"2"};  // read in turn, once per value written
        std::string failMember = ""; int failNth = 1; std::int32_t failNumber = kOther;  // one failing call
        bool withGroup = true;
        std::wstring groupName = L"g";  // the origin's group as the drawing names it
        std::optional<std::wstring> output = {};
        std::wstring messages = {};
        int prompts = 0;
        int grouped = -1;  // marks appended to the node group in its one call; -1: no call
        std::vector<int> takeBackAt = {};      // prompts answered with U
        std::vector<int> promptedNodes = {};   // node number of each prompt; empty: 1, 2, … prompts
        std::wstring deleted = {};             // marks taken back, in order
        int firstGrouped = 1;                  // the marks grouped are firstGrouped, firstGrouped + 1, …
        std::vector<std::wstring> live = {};   // the box while picking, when checked
    };
    const Row rows[] = {
        {.picks = section, .output = sectionList, .prompts = 5, .grouped = 4, .live = sectionSoFar},
        // Esc ends the list as Enter does.
        {.picks = section, .failMember = "getPoint", .failNth = 3, .failNumber = kEndOfInputEscape,
         .output = sectionSoFar[1], .prompts = 3, .grouped = 2},
        // U takes back the last node and asks for its number again; with none, node 1 again.
        {.picks = {{130, 60, 0}}, .output = n1, .prompts = 3, .grouped = 1, .takeBackAt = {1},
         .promptedNodes = {1, 1, 2}, .live = {n1}},
        {.picks = section, .output = L"300.00 212.40\r\n-17.25 212.40\r\n", .prompts = 7, .grouped = 2,
         .takeBackAt = {3, 4}, .promptedNodes = {1, 2, 3, 2, 1, 2, 3}, .deleted = L" 2 1", .firstGrouped = 3,
         .live = {sectionSoFar[0], sectionSoFar[1], sectionSoFar[0], L"", L"300.00 212.40\r\n",
                  L"300.00 212.40\r\n-17.25 212.40\r\n"}},
        {.picks = {{130, 60, 0}, {140, 60, 0}}, .output = n1, .prompts = 4, .grouped = 1, .takeBackAt = {3},
         .promptedNodes = {1, 2, 3, 2}, .deleted = L" 2"},
        // Without GetInput or keywords the CAD's Enter is the end.
        {.picks = section, .failMember = "getInput", .output = sectionSoFar[0], .prompts = 2, .grouped = 1,
         .takeBackAt = {2}},
        {.picks = section, .failMember = "initializeUserInput", .failNth = 0, .output = sectionSoFar[0],
         .prompts = 2, .grouped = 1, .takeBackAt = {2}},
        // A mark the CAD will not erase ends the pick; the list stops before the node taken back.
        {.picks = section, .failMember = "deleteEntity", .output = sectionSoFar[0],
         .messages = stop(L"放弃第2节点时CAD 未能删除其标记（0x80010108：x）。节点列表写到第1节点为止。"), .prompts = 3,
         .grouped = 1, .takeBackAt = {3}, .deleted = L" 2"},
        // The origin's group is looked for in the drawing picked in, before any prompt.
        {.picks = section, .groupName = L"other", .messages = warn(kNoOriginInDrawing)},
        {.picks = section, .failMember = "findGroup", .messages = stop(pickStoppedMessage(1, {kOther, L"x"}))},
        {.picks = section, .scale = L"0.001", .decimals = {L"3"},
         .output = L"0.000 0.000\r\n0.300 0.000\r\n0.300 0.212\r\n-0.017 0.212\r\n", .prompts = 5, .grouped = 4},
        {.picks = {{130, 60, 42.5}}, .scale = L"-2", .decimals = {L"1", L"0"}, .output = L"-60 -20.0\r\n",
         .prompts = 2, .grouped = 1},
        {.picks = {{130, 40, 0}, {90, 70, 0}}, .scale = L"", .output = L"0.00 0.00\r\n0.00 0.00\r\n",
         .prompts = 3, .grouped = 2},
        {.failMember = "getPoint", .failNumber = kEndOfInputFail, .output = L"", .prompts = 1},
        {.output = L"", .prompts = 1},
        {.picks = many, .decimals = {L"0"}, .output = hundred, .prompts = 100, .grouped = 100},
        // A failure keeps the nodes before it, written as a normal end writes them.
        {.picks = section, .failMember = "getPoint", .failNth = 2, .output = L"0.00 0.00\r\n",
         .messages = stop(L"点取第2节点时CAD 已停止响应（0x80010108：x）。节点列表写到第1节点为止。"),
         .prompts = 2, .grouped = 1},
        {.picks = section, .failMember = "getPoint", .failNth = 1,
         .messages = stop(L"点取第1节点时CAD 已停止响应（0x80010108：x）。没有写出节点。"), .prompts = 1},
        {.picks = section, .failMember = "setColor", .failNth = 2, .output = L"0.00 0.00\r\n",
         .messages = stop(pickStoppedMessage(2, {kOther, L"x"})), .prompts = 2, .grouped = 1},
        // The end-of-input numbers end a pick only when the prompt fails with them.
        {.picks = section, .failMember = "setColor", .failNth = 3, .failNumber = kEndOfInputFail,
         .output = L"0.00 0.00\r\n300.00 0.00\r\n",
         .messages = stop(L"点取第3节点时CAD 出错（0x80004005：x）。节点列表写到第2节点为止。"),
         .prompts = 3, .grouped = 2},
        {.picks = section, .failMember = "addPoint", .failNth = 1, .failNumber = kEndOfInputCancel,
         .messages = stop(pickStoppedMessage(1, {kEndOfInputCancel, L"x"})), .prompts = 1},
        {.picks = {{130, 60, 0}, {std::nan(""), 60, 0}}, .output = L"30.00 10.00\r\n",
         .messages = stop(L"CAD 给出的第2节点坐标不是有效的数值。节点列表写到第1节点为止。"), .prompts = 2, .grouped = 1},
        {.picks = {{130, 60, 0}, {1, HUGE_VAL, 0}}, .output = L"30.00 10.00\r\n",
         .messages = stop(unusableAnswerMessage(2)), .prompts = 2, .grouped = 1},
        {.picks = section, .scale = L"1e999", .messages = warn(kBadScale)},
        {.picks = section, .withGroup = false, .messages = warn(kNoOrigin)},
        {.picks = {{130, 60, 0}}, .decimals = {L"40000"}, .output = d15, .messages = warn(kDecimalsTooMany),
         .prompts = 2, .grouped = 1},
        {.picks = {{130, 60, 0}}, .decimals = {L"16"}, .output = d15, .messages = warn(kDecimalsTooMany),
         .prompts = 2, .grouped = 1},
        {.picks = {{130, 60, 0}}, .decimals = {L"15"}, .output = d15, .prompts = 2, .grouped = 1},
        {.picks = {{130, 60, 0}}, .decimals = {L"-40000"}, .output = L"30. 10.\r\n",
         .messages = warn(kDecimalsTooNegative), .prompts = 2, .grouped = 1},
        {.picks = section, .failMember = "appendItems", .output = sectionList,
         .messages = stop(kGroupFailed), .prompts = 5, .grouped = 4},
        {.picks = {{130, 60, 0}, {1e308, 60, 0}, {140, 60, 0}}, .scale = L"10", .output = L"300.00 100.00\r\n",
         .messages = warn(kValueTooLarge), .prompts = 4, .grouped = 3},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& r = rows[i];
        SCOPED_TRACE(testing::Message() << "row " << i);
        FakeCad cad(r.picks, r.failMember, r.failNth, r.failNumber);
        cad.takeBackAt = r.takeBackAt;
        const PickState state{{100, 50, 0}, r.withGroup ? std::optional(GroupRef{std::make_shared<int>(0)}) : std::nullopt,
                              r.groupName};
        std::size_t reads = 0;
        std::vector<std::wstring> live;
        const auto o = pickNodes(cad, state, {r.scale, [&] { return r.decimals[reads++ % r.decimals.size()]; }, L".",
                                              [&](const std::wstring& list) { live.push_back(list); }});
        EXPECT_EQ(o.outputText, r.output);
        EXPECT_EQ(shown(o), r.messages);
        EXPECT_EQ(cad.log.empty(), r.prompts == 0 && r.failMember.empty() && r.groupName == L"g");  // refusals reach no CAD
        if (!r.live.empty()) {
            EXPECT_EQ(live, r.live);
        }
        std::vector<int> expectedNodes = r.promptedNodes;
        for (int k = 1; r.promptedNodes.empty() && k <= r.prompts; ++k) expectedNodes.push_back(k);
        const wchar_t* ending = r.failMember == "initializeUserInput" ? L"节点(右键或回车结束) " : L"节点(右键或回车结束) [放弃(U)] ";
        std::vector<std::wstring> expectedPrompts, prompts, appends;
        for (int k : expectedNodes) expectedPrompts.push_back(L"getPoint 点取第" + std::to_wstring(k) + ending);
        std::wstring deleted;
        for (const auto& entry : cad.log) {
            if (entry.starts_with(L"getPoint ")) prompts.push_back(entry);
            if (entry.starts_with(L"addPoint ") || entry.starts_with(L"setColor ")) {
                EXPECT_TRUE(entry.ends_with(entry[0] == L'a' ? L" 0" : L" 3")) << entry;  // Z 0, green
            }
            if (entry.starts_with(L"appendItems ")) appends.push_back(entry);
            if (entry.starts_with(L"deleteEntity")) deleted += entry.substr(12);
            if (entry.starts_with(L"findGroup ")) {
                EXPECT_EQ(entry, L"findGroup " + r.groupName);
            }
        }
        EXPECT_EQ(prompts, expectedPrompts);
        EXPECT_EQ(deleted, r.deleted);
        std::vector<std::wstring> expectedAppends;
        if (r.grouped >= 0) expectedAppends.push_back(L"appendItems 0:");
        for (int k = r.firstGrouped; k < r.firstGrouped + r.grouped; ++k) expectedAppends.back() += L" " + std::to_wstring(k);
        EXPECT_EQ(appends, expectedAppends);
    }
}

}  // namespace
