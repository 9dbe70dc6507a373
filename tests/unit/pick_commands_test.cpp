// The two picking commands against a fake CAD that logs every call.
#include "cad/pick_commands.h"

#include <gtest/gtest.h>

#include "cad/cad_class.h"
#include "cad/outline_rules.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <sstream>
#include <tuple>

namespace {

using namespace cad;

constexpr std::int32_t kOther = -2147417848;  // 0x80010108, object disconnected

// An entity GetEntity can select: what its properties answer.
struct FakeEntity {
    std::wstring name = L"AcDbPolyline";
    std::vector<double> coordinates = {};
    bool closed = true;
    std::vector<double> bulges = {};  // missing ones are 0
    Point3 normal = {0, 0, 1};
    Point3 center = {};
    double radius = 0;
    bool bulgesRefused = false;  // a fitted polyline: GetBulge fails
};

// A selection: the entity clicked and where, or the number GetEntity fails with.
struct FakeSelection {
    FakeEntity entity = {};
    Point2 at = {};
    std::int32_t failNumber = 0;
};

// Scripted picks, then Enter; the failNth-th call of failMember fails with failNumber. The
// prompts numbered in keywordsAt answer that keyword instead of a pick (takeBackAt: U); each P
// takes the next selection.
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
    std::map<int, std::wstring> keywordsAt;
    std::vector<FakeSelection> selections;
    std::vector<std::wstring> drawingGroups = {L"g"};  // the groups the active drawing has
    int promptsSeen = 0;
    std::wstring typed;  // what GetInput answers
    std::map<int, FakeEntity> entities;

    std::optional<CadError> call(const std::string& member, const std::wstring& args) {
        log.push_back(std::wstring(member.begin(), member.end()) + L" " + args);
        // failNth 0: every call of failMember fails.
        if (member == failMember && (failNth == 0 || ++counts[member] == failNth)) return CadError{failNumber, L"x"};
        return std::nullopt;
    }
    static CadStatus status(std::optional<CadError> e) { return e ? CadStatus(*e) : cadOk(); }
    static std::wstring id(const std::shared_ptr<void>& p) { return std::to_wstring(*static_cast<int*>(p.get())); }
    const FakeEntity& entity(const EntityRef& e) { return entities.at(*static_cast<int*>(e.object.get())); }
    template <class T>
    CadResult<T> read(const char* member, const EntityRef& e, T value) {
        if (auto error = call(member, id(e.object))) return *error;
        return value;
    }

    void connect() override { call("connect", L""); }
    CadResult<Point3> getPoint(std::wstring_view prompt) override {
        if (auto e = call("getPoint", std::wstring(prompt))) return *e;
        ++promptsSeen;
        typed = std::ranges::count(takeBackAt, promptsSeen) ? (promptsSeen % 2 ? L"u" : L"U") : L"";
        if (keywordsAt.contains(promptsSeen)) typed = keywordsAt[promptsSeen];
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
    CadResult<Selection> getEntity(std::wstring_view prompt) override {
        if (auto e = call("getEntity", std::wstring(prompt))) return *e;
        if (selections.empty()) return CadError{kEndOfInputEscape, L"none"};
        const FakeSelection next = selections.front();
        selections.erase(selections.begin());
        if (next.failNumber) return CadError{next.failNumber, L"x"};
        entities[++lastId] = next.entity;
        return Selection{EntityRef{std::make_shared<int>(lastId)}, {next.at.x, next.at.y, 0}};
    }
    CadStatus prompt(std::wstring_view text) override { return status(call("prompt", std::wstring(text))); }
    Marks addPoints(std::span<const Point2> points, std::int16_t colour) override {
        Marks marks;
        for (const Point2& p : points) {
            std::wostringstream s;
            s << p.x << L' ' << p.y << L' ' << 0;
            if (auto e = call("addPoint", s.str())) return marks.failure = *e, marks;
            EntityRef mark{std::make_shared<int>(++lastId)};
            if (auto e = call("setColor", id(mark.object) + L" " + std::to_wstring(colour))) return marks.failure = *e, marks;
            marks.made.push_back(mark);
        }
        return marks;
    }
    CadResult<std::wstring> objectName(const EntityRef& e) override { return read("objectName", e, entity(e).name); }
    CadResult<std::vector<double>> coordinates(const EntityRef& e) override {
        return read("coordinates", e, entity(e).coordinates);
    }
    CadResult<bool> closed(const EntityRef& e) override { return read("closed", e, entity(e).closed); }
    CadResult<double> bulge(const EntityRef& e, int i) override {
        const FakeEntity& f = entity(e);
        if (f.bulgesRefused) return CadError{kEndOfInputFail, L"refused"};
        return read("bulge", e, std::size_t(i) < f.bulges.size() ? f.bulges[i] : 0.0);
    }
    CadResult<Point3> normal(const EntityRef& e) override { return read("normal", e, entity(e).normal); }
    CadResult<Point3> center(const EntityRef& e) override { return read("center", e, entity(e).center); }
    CadResult<double> radius(const EntityRef& e) override { return read("radius", e, entity(e).radius); }
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
        const auto at = std::ranges::find(drawingGroups, name);
        if (at == drawingGroups.end()) return std::optional<GroupRef>();
        return std::optional(GroupRef{std::make_shared<int>(-static_cast<int>(at - drawingGroups.begin()))});
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
        PickState state;
        std::size_t clearedAt = 99;
        const auto o = initialiseOrigin(cad, state, [&] { clearedAt = cad.log.size(); },
                                        [] { return 0.7055475f; });
        EXPECT_EQ(clearedAt, 0u);
        EXPECT_EQ(o.outputText, L"");
        EXPECT_EQ(cad.log, std::vector<std::wstring>(fullLog.begin(), fullLog.begin() + r.calls));
        EXPECT_EQ(shown(o), r.error ? stop(kUnknownError) : L"");
        EXPECT_EQ(o.enablePickNodes, !*r.failMember);
        // The origin and the group change together, and only when the whole run succeeded.
        ASSERT_EQ(state.origins.size(), !*r.failMember ? 1u : 0u);
        if (!*r.failMember) {
            EXPECT_EQ(state.origins[0].point, (Point3{100, 50, 0}));
            EXPECT_EQ(state.origins[0].groupName, L".7055475");
        }
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
        EXPECT_EQ(state.origins.size(), r.ok ? 1u : 0u);
        if (r.ok) {
            EXPECT_EQ(L"addGroup " + state.origins[0].groupName, names.back());
        }
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
        PickState state;
        if (r.withGroup) state.origins.push_back({{100, 50, 0}, r.groupName});
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
        const wchar_t* ending = r.failMember == "initializeUserInput" ? L"节点(右键或回车结束) " : L"节点(右键或回车结束) [放弃(U)/轮廓(P)] ";
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

namespace {

std::vector<Point2> around(Point2 centre, double radius, double firstDegrees, double stepDegrees, int count) {
    std::vector<Point2> points;
    for (int j = 0; j < count; ++j) {
        const double a = (firstDegrees + stepDegrees * j) * std::numbers::pi / 180;
        points.push_back({centre.x + radius * std::cos(a), centre.y + radius * std::sin(a)});
    }
    return points;
}

// Polylines' and circles' nodes in list order: rotated to the click, arcs split into 15° steps
// either way round, repeated vertices taken once (reversal and half circles: PickOutline's rows).
TEST(OutlineNodes, Table) {
    const auto join = [](std::initializer_list<std::vector<Point2>> parts) {
        std::vector<Point2> all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    struct Row {
        std::vector<Point2> vertices;
        std::vector<double> bulges;
        bool closed;
        Point2 click;
        std::vector<Point2> nodes;
        double tolerance = 1e-9;
    };
    const Row rows[] = {
        // A quarter clockwise (bulge -tan 22.5°, as drawings store it): 5 points between.
        {{{10, 0}, {0, 10}}, {-0.4142}, false, {10, 0}, join({{{10, 0}}, around({10, 10}, 10, -105, -15, 5), {{0, 10}}}),
         1e-3},
        // Closed with arcs: the closing segment's arc comes last, after the rotation.
        {{{0, 0}, {10, 0}}, {1, 1}, true, {10, 0},
         join({{{10, 0}}, around({5, 0}, 5, 15, 15, 11), {{0, 0}}, around({5, 0}, 5, 195, 15, 11)})},
        // Repeated vertices once; a repeated vertex's arc is the kept one's; the closing copy dropped.
        {{{0, 0}, {0, 0}, {10, 0}, {10, 10}, {0, 0}}, {0, 1}, true, {0, 0},
         join({{{0, 0}}, around({5, 0}, 5, 195, 15, 11), {{10, 0}, {10, 10}}})},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(testing::Message() << "row " << i);
        const Row& r = rows[i];
        const auto nodes = polylineNodes(r.vertices, r.bulges, r.closed, r.click);
        ASSERT_EQ(nodes.size(), r.nodes.size());
        for (std::size_t j = 0; j < nodes.size(); ++j) {
            EXPECT_NEAR(nodes[j].x, r.nodes[j].x, r.tolerance) << j;
            EXPECT_NEAR(nodes[j].y, r.nodes[j].y, r.tolerance) << j;
        }
    }
    // A circle from its 15° node nearest the click, counterclockwise.
    const auto circle = circleNodes({5, 5}, 2, {6.8, 6.1});
    const auto expected = around({5, 5}, 2, 30, 15, 24);
    ASSERT_EQ(circle.size(), 24u);
    for (std::size_t j = 0; j < 24; ++j) EXPECT_TRUE(samePoint(circle[j], expected[j])) << j;
    EXPECT_EQ(planeSide(0, 0, 1), 1);
    EXPECT_EQ(planeSide(0, 0, -1), -1);
    EXPECT_EQ(planeSide(0, 0.6, 0.8), std::nullopt);
}

// P at the node prompt: an outline selected in the drawing is listed, marked and grouped as its
// nodes picked one by one would be; what cannot be taken is told on the CAD's command line.
TEST(PickOutline, Table) {
    const FakeEntity rectangle{.coordinates = {0, 0, 4, 0, 4, 3, 0, 3}};
    const std::wstring rectangleFrom3 = L"4 3\r\n0 3\r\n0 0\r\n4 0\r\n";
    const FakeEntity arcOpen{.coordinates = {0, 0, 2, 0}, .closed = false, .bulges = {1}, .normal = {0, 0, -1}};
    const std::wstring oneNode = L"9 9\r\n";
    std::vector<Point3> ninetyEight;
    for (int k = 0; k < 98; ++k) ninetyEight.push_back({double(k), 0, 0});
    struct Row {
        std::vector<FakeSelection> selections;
        std::map<int, std::wstring> keywords = {{1, L"P"}};  // prompt number: the keyword typed
        std::vector<Point3> picks = {};
        std::string failMember = ""; int failNth = 1;
        std::wstring decimals = L"0";
        std::size_t lines = 0;
        std::map<std::size_t, std::wstring> line = {};  // some lines of the list
        std::wstring messages = {};
        std::vector<std::wstring> told = {};  // Utility.Prompt texts
        std::wstring deleted = {};
        int grouped = -1;
    };
    const Row rows[] = {
        {.selections = {{rectangle, {4.2, 3.1}}}, .keywords = {{1, L"p"}}, .line = {{0, rectangleFrom3}}, .grouped = 4},
        // Mirrored (normal 0,0,-1): world x = -(OCS x), and the half circle turns the other way, through (-1,-1).
        {.selections = {{arcOpen, {0, 0}}}, .decimals = L"2", .lines = 13, .line = {{0, L"0.00 0.00\r\n"}, {6, L"-1.00 -1.00\r\n"},
                                                                      {12, L"-2.00 0.00\r\n"}}, .grouped = 13},
        {.selections = {{{.name = L"AcDbCircle", .center = {0, 0, 0}, .radius = 10}, {0.5, 10.2}}}, .lines = 24,
         .line = {{0, L"0 10\r\n"}, {6, L"-10 0\r\n"}, {23, L"3 10\r\n"}}, .grouped = 24},
        {.selections = {{{.name = L"AcDb3dPolyline", .coordinates = {0, 0, 5, 4, 0, 5, 4, 3, 5}, .closed = false}, {4, 3}}},
         .line = {{0, L"4 3\r\n4 0\r\n0 0\r\n"}}, .grouped = 3},
        // Refused, told, and the same node prompt again: the pick after it is node 1.
        {.selections = {{{.name = L"AcDb3dPolyline", .coordinates = {0, 0, 5, 4, 0, 6}, .closed = false}}}, .picks = {{9, 9, 0}},
         .line = {{0, oneNode}}, .told = {kOutlineNotFlat}, .grouped = 1},
        {.selections = {{{.coordinates = {0, 0, 4, 0}, .normal = {0, 0.6, 0.8}}}}, .picks = {{9, 9, 0}}, .line = {{0, oneNode}},
         .told = {kOutlineNotFlat}, .grouped = 1},
        {.selections = {{{.name = L"AcDbLine"}}}, .picks = {{9, 9, 0}}, .line = {{0, oneNode}}, .told = {kNotAnOutline}, .grouped = 1},
        {.selections = {{{.name = L"AcDb2dPolyline", .coordinates = {0, 0, 0, 4, 0, 0}, .bulgesRefused = true}}}, .picks = {{9, 9, 0}},
         .line = {{0, oneNode}}, .told = {kArcsUnreadable}, .grouped = 1},
        // Esc or a click on nothing, Enter, and the generic failure all lead back to the node prompt.
        {.selections = {{.failNumber = kEndOfInputEscape}, {.failNumber = kEndOfInputCancel}, {.failNumber = kEndOfInputFail}},
         .keywords = {{1, L"P"}, {2, L"P"}, {3, L"P"}}, .picks = {{9, 9, 0}}, .line = {{0, oneNode}}, .grouped = 1},
        {.selections = {{.failNumber = kOther}}, .keywords = {{2, L"P"}}, .picks = {{9, 9, 0}}, .line = {{0, oneNode}},
         .messages = stop(L"点取第2节点时CAD 已停止响应（0x80010108：x）。节点列表写到第1节点为止。"), .grouped = 1},
        // The square's first node is the last one picked: 3 more would make 101.
        {.selections = {{{.coordinates = {97, 0, 97, 5, 90, 5, 90, 0}}, {97, 0}}}, .keywords = {{99, L"P"}}, .picks = ninetyEight, .lines = 98,
         .told = {outlineTooLongMessage(3, 98)}, .grouped = 98},
        {.selections = {{{.coordinates = {97, 0, 97, 5, 95, 5}}, {97, 0}}}, .keywords = {{99, L"P"}}, .picks = ninetyEight, .lines = 100,
         .line = {{98, L"97 5\r\n95 5\r\n"}}, .grouped = 100},
        // U takes the whole outline back, last mark first; a pick follows.
        {.selections = {{rectangle, {4, 3}}}, .keywords = {{1, L"P"}, {2, L"U"}}, .picks = {{9, 9, 0}}, .line = {{0, oneNode}},
         .deleted = L" 5 4 3 2", .grouped = 1},
        {.selections = {{rectangle, {4, 3}}}, .keywords = {{2, L"P"}, {3, L"U"}}, .picks = {{9, 9, 0}}, .failMember = "deleteEntity", .failNth = 2,
         .line = {{0, oneNode}}, .messages = stop(L"放弃第4节点时CAD 未能删除其标记（0x80010108：x）。节点列表写到第1节点为止。"),
         .deleted = L" 6 5", .grouped = 1},
        // A mark that cannot be made ends the pick; the nodes marked before it are listed and grouped.
        {.selections = {{rectangle, {4, 3}}}, .failMember = "addPoint", .failNth = 3, .line = {{0, L"4 3\r\n0 3\r\n"}},
         .messages = stop(L"点取第3节点时CAD 已停止响应（0x80010108：x）。节点列表写到第2节点为止。"), .grouped = 2},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& r = rows[i];
        SCOPED_TRACE(testing::Message() << "row " << i);
        FakeCad cad(r.picks, r.failMember, r.failNth);
        cad.keywordsAt = r.keywords;
        cad.selections = r.selections;
        PickState state;
        state.origins.push_back({{0, 0, 0}, L"g"});
        std::vector<std::wstring> live;
        const auto o = pickNodes(cad, state, {L"1", [&] { return r.decimals; }, L".",
                                              [&](const std::wstring& list) { live.push_back(list); }});
        const std::wstring output = o.outputText.value_or(L"");
        const auto lines = std::ranges::count(output, L'\n');
        EXPECT_EQ(std::size_t(lines), r.lines ? r.lines : std::size_t(std::ranges::count(r.line.at(0), L'\n')));
        for (const auto& [index, text] : r.line) {
            std::size_t at = 0;
            for (std::size_t k = 0; k < index; ++k) at = output.find(L'\n', at) + 1;
            EXPECT_EQ(output.substr(at, text.size()), text) << "from line " << index;
        }
        EXPECT_EQ(shown(o), r.messages);
        // The live box shows a whole outline at once, never part of it.
        if (r.picks.empty() && r.keywords.size() == 1 && o.messages.empty()) {
            EXPECT_EQ(live, std::vector<std::wstring>{output});
        }
        std::vector<std::wstring> told;
        std::wstring deleted;
        int grouped = -1;
        for (const auto& entry : cad.log) {
            if (entry.starts_with(L"prompt ")) told.push_back(entry.substr(7));
            if (entry.starts_with(L"deleteEntity")) deleted += entry.substr(12);
            if (entry.starts_with(L"appendItems ")) grouped = int(std::ranges::count(entry, L' ')) - 1;
            if (entry.starts_with(L"getEntity ")) {
                EXPECT_EQ(entry, std::wstring(L"getEntity ") + kOutlinePrompt);
            }
            if (entry.starts_with(L"initializeUserInput ")) {
                EXPECT_EQ(entry, L"initializeUserInput 0 U P");
            }
        }
        EXPECT_EQ(told, r.told);
        EXPECT_EQ(deleted, r.deleted);
        EXPECT_EQ(grouped, r.grouped);
    }
}

// Every origin initialised is kept: a pick uses the newest whose group the active drawing has.
TEST(PickOutline, NewestOriginOfTheActiveDrawing) {
    FakeCad cad({{30, 30, 0}});
    cad.drawingGroups = {L"a", L"b"};
    PickState state;
    for (const auto& [at, name] : {std::pair{0.0, L"a"}, {10.0, L"b"}, {20.0, L"c"}}) state.origins.push_back({{at, at, 0}, name});
    const auto o = pickNodes(cad, state, {L"1", [] { return std::wstring(L"0"); }, L".", {}});
    EXPECT_EQ(o.outputText, L"20 20\r\n");
    std::vector<std::wstring> asked;
    for (const auto& entry : cad.log)
        if (entry.starts_with(L"findGroup ")) asked.push_back(entry);
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"findGroup c", L"findGroup b"}));
}

}  // namespace
