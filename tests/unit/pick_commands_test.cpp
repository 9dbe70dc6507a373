#include "cad/pick_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace cad;

constexpr std::int32_t kOtherError = -2147417848;  // 0x80010108, object disconnected

// A CAD with scripted picks that records every call and can fail any call.
class FakeCad : public CadLink {
public:
    struct Call {
        std::string member;
        std::wstring text;          // prompt, variable or group name
        std::vector<double> nums;   // coordinates, colour or variable value
        std::vector<int> ids;       // entity ids (setColor, appendItems) / group id first
    };

    std::vector<Point3> picks;                       // answered from the front
    std::int32_t endNumber = kEndOfInputCancel;      // once the picks run out
    std::map<std::pair<std::string, int>, CadError> failures;  // (member, n-th call)
    std::vector<Call> calls;
    std::map<int, std::vector<int>> groupMembers;
    std::set<int> erasedGroups;

    void failOn(const std::string& member, int nth, std::int32_t number = kOtherError) {
        failures[{member, nth}] = CadError{number, L"scripted"};
    }
    std::vector<Call> callsTo(const std::string& member) const {
        std::vector<Call> out;
        for (const auto& c : calls)
            if (c.member == member) out.push_back(c);
        return out;
    }
    static int idOf(const std::shared_ptr<void>& p) { return *static_cast<int*>(p.get()); }

    void connect() override { record({"connect", {}, {}, {}}); }

    CadResult<Point3> getPoint(std::wstring_view prompt) override {
        if (auto e = record({"getPoint", std::wstring(prompt), {}, {}})) return *e;
        if (picks.empty()) return CadError{endNumber, L"end"};
        const Point3 next = picks.front();
        picks.erase(picks.begin());
        return next;
    }
    CadResult<EntityRef> addPoint(double x, double y, double z) override {
        if (auto e = record({"addPoint", {}, {x, y, z}, {}})) return *e;
        return EntityRef{std::make_shared<int>(++lastId_)};
    }
    CadStatus setColor(const EntityRef& entity, std::int16_t colour) override {
        if (auto e = record({"setColor", {}, {double(colour)}, {idOf(entity.object)}})) return *e;
        return cadOk();
    }
    CadStatus setVariable(std::wstring_view name, std::int16_t value) override {
        if (auto e = record({"setVariable", std::wstring(name), {double(value)}, {}})) return *e;
        return cadOk();
    }
    CadResult<GroupRef> addGroup(std::wstring_view name) override {
        if (auto e = record({"addGroup", std::wstring(name), {}, {}})) return *e;
        const int id = ++lastId_;
        groupMembers[id];
        return GroupRef{std::make_shared<int>(id)};
    }
    CadStatus appendItems(const GroupRef& group, std::span<const EntityRef> entities) override {
        Call c{"appendItems", {}, {}, {idOf(group.object)}};
        for (const auto& e : entities) c.ids.push_back(idOf(e.object));
        if (auto e = record(c)) return *e;
        if (erasedGroups.count(c.ids[0])) return CadError{kOtherError, L"group erased"};
        groupMembers[c.ids[0]].insert(groupMembers[c.ids[0]].end(), c.ids.begin() + 1, c.ids.end());
        return cadOk();
    }

private:
    std::optional<CadError> record(Call c) {
        const int nth = ++counts_[c.member];
        auto it = failures.find({c.member, nth});
        calls.push_back(std::move(c));
        if (it != failures.end()) return it->second;
        return std::nullopt;
    }
    int lastId_ = 0;
    std::map<std::string, int> counts_;
};

std::vector<std::wstring> texts(const CommandOutcome& o) {
    std::vector<std::wstring> out;
    for (const auto& m : o.messages) out.push_back(m.text);
    return out;
}

// ---------------------------------------------------------------------------------------
// Group name

TEST(GroupName, GeneralFormatWithoutLeadingZero) {
    EXPECT_EQ(groupNameFor(0.7055475f), L".7055475");
    EXPECT_EQ(groupNameFor(0.5f), L".5");
    EXPECT_EQ(groupNameFor(0.1234567f), L".1234567");
    EXPECT_EQ(groupNameFor(0.01f), L".01");
    EXPECT_EQ(groupNameFor(0.0f), L"0");
    EXPECT_EQ(groupNameFor(0.99999994f), L".9999999");  // the largest float below 1
}

TEST(GroupName, TinyValuesAreWrittenOutInsteadOfExponent) {
    EXPECT_EQ(groupNameFor(1e-5f), L".00001");
    EXPECT_EQ(groupNameFor(1.5e-5f), L".000015");
    EXPECT_EQ(groupNameFor(5.9604645e-8f), L".00000005960464");  // 2^-24, the smallest draw
}

TEST(GroupName, FreshFractionsLieInRangeAndGiveUsableNames) {
    for (int i = 0; i < 200; ++i) {
        const float r = freshRandomFraction();
        ASSERT_GE(r, 0.0f);
        ASSERT_LT(r, 1.0f);
        const std::wstring name = groupNameFor(r);
        ASSERT_FALSE(name.empty());
        EXPECT_EQ(name.find_first_not_of(L"0123456789."), std::wstring::npos) << name;
        EXPECT_EQ(name.find(L' '), std::wstring::npos);
    }
}

// ---------------------------------------------------------------------------------------
// Initialise origin

struct InitialiseOrigin : ::testing::Test {
    FakeCad cad;
    PickState state;
    bool cleared = false;
    CommandOutcome run() {
        return initialiseOrigin(cad, state, [&] {
            cleared = true;
            EXPECT_TRUE(cad.calls.empty()) << "output cleared after the CAD was reached";
        }, [] { return 0.7055475f; });
    }
};

TEST_F(InitialiseOrigin, MarksGroupsAndEnablesPicking) {
    cad.picks = {{100, 50, 7}};
    const auto o = run();
    EXPECT_TRUE(cleared);
    EXPECT_EQ(o.outputText, std::wstring());
    EXPECT_TRUE(o.messages.empty());
    EXPECT_TRUE(o.enablePickNodes);
    EXPECT_EQ(state.origin, (Point3{100, 50, 0}));

    std::vector<std::string> order;
    for (const auto& c : cad.calls) order.push_back(c.member);
    EXPECT_EQ(order, (std::vector<std::string>{"connect", "getPoint", "addPoint", "setColor",
                                               "setVariable", "addGroup", "appendItems"}));
    EXPECT_EQ(cad.calls[1].text, L"点取坐标原点 ");
    EXPECT_EQ(cad.calls[1].text.size(), 7u);
    EXPECT_EQ(cad.calls[2].nums, (std::vector<double>{100, 50, 0}));  // Z dropped
    EXPECT_EQ(cad.calls[3].nums, std::vector<double>{1});
    EXPECT_EQ(cad.calls[4].text, L"pdmode");
    EXPECT_EQ(cad.calls[4].nums, std::vector<double>{3});
    EXPECT_EQ(cad.calls[5].text, L".7055475");
    const int mark = cad.calls[3].ids[0];
    ASSERT_TRUE(state.nodeGroup);
    EXPECT_EQ(cad.groupMembers[FakeCad::idOf(state.nodeGroup->object)], std::vector<int>{mark});
}

TEST_F(InitialiseOrigin, AbandonedPickIsSilentAndChangesNothing) {
    // Esc and Enter/right-click both end the origin prompt without a message.
    for (std::int32_t end : {kEndOfInputFail, kEndOfInputCancel}) {
        SCOPED_TRACE(end);
        FakeCad fresh;
        fresh.endNumber = end;
        PickState kept;
        kept.origin = {1, 2, 0};
        bool wasCleared = false;
        const auto o = initialiseOrigin(fresh, kept, [&] { wasCleared = true; }, [] { return 0.5f; });
        EXPECT_TRUE(wasCleared);
        EXPECT_EQ(o.outputText, std::wstring());
        EXPECT_TRUE(o.messages.empty());
        EXPECT_FALSE(o.enablePickNodes);
        EXPECT_EQ(kept.origin, (Point3{1, 2, 0}));
        EXPECT_FALSE(kept.nodeGroup);
        EXPECT_EQ(fresh.calls.size(), 2u);
    }
}

TEST_F(InitialiseOrigin, OtherErrorsAreUnknownErrors) {
    cad.failOn("getPoint", 1, static_cast<std::int32_t>(0x80010001));
    const auto o = run();
    EXPECT_EQ(texts(o), std::vector<std::wstring>{kUnknownError});
    EXPECT_EQ(o.messages[0].caption, L"错误");
    EXPECT_EQ(o.messages[0].icon, MessageIcon::Stop);
}

TEST_F(InitialiseOrigin, FailureAtEachStepKeepsWhatEarlierStepsDid) {
    struct Case { const char* member; bool originSet; bool groupReplaced; };
    const Case cases[] = {{"getPoint", false, false}, {"addPoint", true, false},
                          {"setColor", true, false},  {"setVariable", true, false},
                          {"addGroup", true, false},  {"appendItems", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.member);
        FakeCad fresh;
        fresh.picks = {{100, 50, 0}};
        fresh.failOn(c.member, 1);
        PickState s;
        s.origin = {1, 2, 0};
        s.nodeGroup = GroupRef{std::make_shared<int>(999)};
        const auto o = initialiseOrigin(fresh, s, {}, [] { return 0.5f; });
        EXPECT_EQ(texts(o), std::vector<std::wstring>{kUnknownError});
        EXPECT_FALSE(o.enablePickNodes);
        EXPECT_EQ(o.outputText, std::wstring());
        EXPECT_EQ(s.origin, c.originSet ? (Point3{100, 50, 0}) : (Point3{1, 2, 0}));
        EXPECT_EQ(FakeCad::idOf(s.nodeGroup->object) != 999, c.groupReplaced);
        EXPECT_EQ(fresh.calls.back().member, c.member);  // nothing after the failure
    }
}

// ---------------------------------------------------------------------------------------
// Pick nodes

struct PickNodes : ::testing::Test {
    FakeCad cad;
    PickState state;
    int groupId = 0;
    NodeListInputs inputs{L"1", [this] { ++decimalsReads; return decimals; }, L"."};
    std::wstring decimals = L"2";
    int decimalsReads = 0;

    void SetUp() override {
        cad.picks = {{100, 50, 0}};
        const auto o = initialiseOrigin(cad, state, {}, [] { return 0.25f; });
        ASSERT_TRUE(o.enablePickNodes);
        groupId = FakeCad::idOf(state.nodeGroup->object);
        cad = FakeCad{};  // call counts start afresh; group ids stay valid in the new fake
    }
    void section() { cad.picks = {{100, 50, 0}, {400, 50, 0}, {400, 262.4, 0}, {82.75, 262.4, 0}}; }
    std::vector<int> grouped() { return cad.groupMembers[groupId]; }
};

TEST_F(PickNodes, WorkedSectionWithTwoDecimals) {
    section();
    const auto o = pickNodes(cad, state, inputs);
    EXPECT_EQ(o.outputText, L"0.00 0.00\r\n300.00 0.00\r\n300.00 212.40\r\n-17.25 212.40\r\n");
    EXPECT_TRUE(o.messages.empty());
    EXPECT_EQ(decimalsReads, 8);  // read afresh for every value
    // Marks are green, at Z 0, and all go to the group in one call after the origin mark.
    const auto colours = cad.callsTo("setColor");
    ASSERT_EQ(colours.size(), 4u);
    for (const auto& c : colours) EXPECT_EQ(c.nums, std::vector<double>{3});
    const auto appends = cad.callsTo("appendItems");
    ASSERT_EQ(appends.size(), 1u);
    EXPECT_EQ(appends[0].ids.size(), 5u);
    EXPECT_EQ(appends[0].ids[0], groupId);
    EXPECT_EQ(grouped().size(), 4u);
    EXPECT_EQ(cad.calls.front().member, "connect");
}

TEST_F(PickNodes, WorkedSectionOtherPatternsAndScale) {
    section();
    decimals = L"0";
    EXPECT_EQ(pickNodes(cad, state, inputs).outputText, L"0 0\r\n300 0\r\n300 212\r\n-17 212\r\n");
    cad = FakeCad{};
    section();
    decimals = L"3";
    inputs.scaleText = L"0.001";
    EXPECT_EQ(pickNodes(cad, state, inputs).outputText,
              L"0.000 0.000\r\n0.300 0.000\r\n0.300 0.212\r\n-0.017 0.212\r\n");
}

TEST_F(PickNodes, PromptsAndZDropped) {
    cad.picks = {{130, 60, 42.5}};
    const auto o = pickNodes(cad, state, inputs);
    EXPECT_EQ(o.outputText, L"30.00 10.00\r\n");
    const auto prompts = cad.callsTo("getPoint");
    ASSERT_EQ(prompts.size(), 2u);
    EXPECT_EQ(prompts[0].text, L"点取第1节点(右键或回车结束) ");
    EXPECT_EQ(prompts[1].text, L"点取第2节点(右键或回车结束) ");
    EXPECT_EQ(cad.callsTo("addPoint")[0].nums, (std::vector<double>{130, 60, 0}));
}

TEST_F(PickNodes, EndedAtFirstPromptEmptiesOutputAndLeavesGroup) {
    for (std::int32_t end : {kEndOfInputFail, kEndOfInputCancel}) {
        cad.endNumber = end;
        const auto o = pickNodes(cad, state, inputs);
        EXPECT_EQ(o.outputText, std::wstring());
        EXPECT_TRUE(o.messages.empty());
        EXPECT_TRUE(cad.callsTo("appendItems").empty());
    }
}

TEST_F(PickNodes, ScaleSignAndEmptyScale) {
    cad.picks = {{130, 40, 0}};
    inputs.scaleText = L"-2";
    EXPECT_EQ(pickNodes(cad, state, inputs).outputText, L"-60.00 20.00\r\n");
    cad = FakeCad{};
    cad.picks = {{130, 40, 0}, {90, 70, 0}};
    inputs.scaleText = L"";
    EXPECT_EQ(pickNodes(cad, state, inputs).outputText, L"0.00 0.00\r\n0.00 0.00\r\n");
}

TEST_F(PickNodes, HundredNodesStopWithoutLosingAny) {
    for (int k = 0; k < 101; ++k) cad.picks.push_back({100.0 + k, 50.0, 0});
    decimals = L"0";
    const auto o = pickNodes(cad, state, inputs);
    const auto prompts = cad.callsTo("getPoint");
    ASSERT_EQ(prompts.size(), 100u);  // no 101st prompt
    EXPECT_EQ(prompts.back().text, L"点取第100节点(右键或回车结束) ");
    ASSERT_TRUE(o.outputText);
    std::wstring expected;
    for (int k = 0; k < 100; ++k) expected += std::to_wstring(k) + L" 0\r\n";
    EXPECT_EQ(*o.outputText, expected);
    const auto appends = cad.callsTo("appendItems");
    ASSERT_EQ(appends.size(), 1u);
    EXPECT_EQ(appends[0].ids.size(), 101u);  // the group plus 100 marks
}

TEST_F(PickNodes, FailureDuringPickingLeavesOutputAndGroup) {
    for (const char* member : {"getPoint", "addPoint", "setColor"}) {
        SCOPED_TRACE(member);
        cad = FakeCad{};
        section();
        cad.failOn(member, 2);
        const auto o = pickNodes(cad, state, inputs);
        EXPECT_FALSE(o.outputText);
        EXPECT_EQ(texts(o), std::vector<std::wstring>{kUnknownError});
        EXPECT_TRUE(cad.callsTo("appendItems").empty());
        EXPECT_EQ(cad.callsTo("addPoint").size(), std::string(member) == "getPoint" ? 1u : 2u);
    }
}

TEST_F(PickNodes, EndNumberFromMarkingEndsNormallyWithoutThatNode) {
    section();
    cad.failOn("setColor", 3, kEndOfInputFail);
    const auto o = pickNodes(cad, state, inputs);
    EXPECT_EQ(o.outputText, L"0.00 0.00\r\n300.00 0.00\r\n");
    EXPECT_EQ(cad.callsTo("appendItems").at(0).ids.size(), 3u);
}

TEST_F(PickNodes, InfiniteScaleRefusedBeforeAnyPrompt) {
    section();
    inputs.scaleText = L"1e999";
    const auto o = pickNodes(cad, state, inputs);
    EXPECT_TRUE(cad.calls.empty());
    EXPECT_FALSE(o.outputText);
    EXPECT_EQ(texts(o), std::vector<std::wstring>{kBadScale});
    EXPECT_NE(o.messages[0].text.find(L"缩放因子"), std::wstring::npos);
}

TEST_F(PickNodes, DecimalsOutOfRangeWriteTheListThenReport) {
    struct Case { const wchar_t* text; const wchar_t* firstLine; const wchar_t* message; };
    const Case cases[] = {
        {L"40000", L"0.000000000000000 0.000000000000000\r\n", kDecimalsTooMany},
        {L"1e999", L"0.000000000000000 0.000000000000000\r\n", kDecimalsTooMany},
        {L"16", L"0.000000000000000 0.000000000000000\r\n", kDecimalsTooMany},
        {L"-40000", L"0. 0.\r\n", kDecimalsTooNegative},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        cad = FakeCad{};
        section();
        decimals = c.text;
        const auto o = pickNodes(cad, state, inputs);
        ASSERT_TRUE(o.outputText);
        EXPECT_EQ(o.outputText->substr(0, o.outputText->find(L'\n') + 1), c.firstLine);
        EXPECT_EQ(std::count(o.outputText->begin(), o.outputText->end(), L'\n'), 4);
        EXPECT_EQ(texts(o), std::vector<std::wstring>{c.message});
        EXPECT_EQ(cad.callsTo("appendItems").size(), 1u);
    }
    cad = FakeCad{};
    section();
    decimals = L"15";  // the limit itself is fine
    EXPECT_TRUE(pickNodes(cad, state, inputs).messages.empty());
}

TEST_F(PickNodes, ErasedGroupKeepsListAndReports) {
    section();
    cad.erasedGroups.insert(groupId);
    const auto o = pickNodes(cad, state, inputs);
    EXPECT_EQ(o.outputText, L"0.00 0.00\r\n300.00 0.00\r\n300.00 212.40\r\n-17.25 212.40\r\n");
    EXPECT_EQ(texts(o), std::vector<std::wstring>{kGroupFailed});
    EXPECT_EQ(o.messages[0].icon, MessageIcon::Stop);
}

TEST_F(PickNodes, OverflowingValueEndsListButKeepsGrouping) {
    cad.picks = {{130, 60, 0}, {1e308, 60, 0}, {140, 60, 0}};
    inputs.scaleText = L"10";
    const auto o = pickNodes(cad, state, inputs);
    EXPECT_EQ(o.outputText, L"300.00 100.00\r\n");
    EXPECT_EQ(texts(o), std::vector<std::wstring>{kValueTooLarge});
    EXPECT_EQ(grouped().size(), 3u);
}

TEST_F(PickNodes, WithoutGroupRefusesWithoutTouchingTheCad) {
    section();
    PickState none;
    const auto o = pickNodes(cad, none, inputs);
    EXPECT_TRUE(cad.calls.empty());
    EXPECT_FALSE(o.outputText);
    EXPECT_EQ(texts(o), std::vector<std::wstring>{kNoOrigin});
}

}  // namespace
