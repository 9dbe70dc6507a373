// The two picking commands (initialise origin, pick nodes) written against CadLink.
// They return what the main window must show; the window applies it. Plain code.
#pragma once

#include "cad/cad_link.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cad {

// An initialised origin: its point and the group that holds its mark, found again by name
// in the drawing a pick runs in.
struct Origin {
    Point3 point{0.0, 0.0, 0.0};
    std::wstring groupName;
};

// Kept for the tool's whole life: every origin initialised, oldest first. A pick uses the
// newest one whose group the active drawing has.
struct PickState {
    std::vector<Origin> origins;
};

enum class MessageIcon { Stop, Warning };

struct UserMessage {
    std::wstring text;
    std::wstring caption;
    MessageIcon icon = MessageIcon::Stop;
};

// What the window does once a command has returned, in this order: replace the output
// text (if set), show the messages one after another, enable the pick-nodes button.
struct CommandOutcome {
    std::optional<std::wstring> outputText;  // empty: leave the output box as it is
    std::vector<UserMessage> messages;
    bool enablePickNodes = false;
};

// Texts the wording of the messages is tested against.
inline constexpr wchar_t kUnknownError[] = L"未知错误！";
inline constexpr wchar_t kErrorCaption[] = L"错误";
inline constexpr wchar_t kNoticeCaption[] = L"提示";
inline constexpr wchar_t kBadScale[] = L"缩放因子不是有效的数值。";
inline constexpr wchar_t kNoOrigin[] = L"请先初始化原点。";
inline constexpr wchar_t kNoOriginInDrawing[] = L"当前图形中没有初始化的原点，请先在本图中初始化原点。";
inline constexpr wchar_t kDecimalsTooMany[] = L"小数位数超出范围，节点已按 15 位小数写出。";
inline constexpr wchar_t kDecimalsTooNegative[] = L"小数位数超出范围，节点已按整数写出。";
inline constexpr wchar_t kValueTooLarge[] = L"节点坐标过大，无法写出；列表写到此节点之前为止。";
inline constexpr wchar_t kGroupFailed[] =
    L"节点已写出，但未能加入图形中的编组（编组可能已被删除）。";

// Told on the CAD's command line when an outline cannot be taken; the node prompt comes again.
inline constexpr wchar_t kOutlinePrompt[] = L"选择轮廓(多段线或圆) ";
inline constexpr wchar_t kNotAnOutline[] = L"所选对象不是多段线或圆。";
inline constexpr wchar_t kOutlineNotFlat[] = L"所选轮廓不在XY平面内。";
inline constexpr wchar_t kArcsUnreadable[] = L"无法读取所选多段线的圆弧。";
std::wstring outlineTooLongMessage(std::size_t outlineNodes, std::size_t listed);

// A pick that ended on a failure keeps the nodes before it; the message says where the list
// stops and why. k is the node the failure met.
std::wstring pickStoppedMessage(int k, const CadError& error);
std::wstring unusableAnswerMessage(int k);
// The CAD refused to erase the mark of node k while the user took back the step that
// begins at node `stepStart`; the list stops before that step.
std::wstring takeBackFailedMessage(int k, int stepStart, const CadError& error);

// Failure numbers that mean the CAD process is gone or no longer answers.
bool cadStoppedAnswering(std::int32_t number);
// The CAD is gone or still busy: a failure that says nothing of the question asked.
bool cadDidNotAnswer(std::int32_t number);

// Fresh group names tried when the CAD refuses one (a random name can repeat).
inline constexpr int kGroupNameTries = 5;

// Largest decimal count written; more digits than a double holds say nothing.
inline constexpr std::int16_t kMaxDecimals = 15;
inline constexpr int kMaxNodes = 100;

// The group name for r in [0, 1): general format with at most 7 significant digits,
// no zero before the point (0.7055475 -> ".7055475"). Where that format would switch to
// an exponent the digits are written out in full (1.5e-05 -> ".000015"); 0 gives "0".
std::wstring groupNameFor(float r);

// A fresh r in [0, 1) from a generator seeded from the clock.
float freshRandomFraction();

// A command that could not run at all (no thread, COM unusable, an exception): the output box
// stays as it was and the user is told.
CommandOutcome unknownErrorOutcome();

// The initialise command. `clearOutput` empties the output box before the CAD is
// reached, so a failure box of connect() shows over an empty box. Only a run that succeeds
// adds an origin; the earlier ones stay usable.
CommandOutcome initialiseOrigin(CadLink& cad, PickState& state,
                                const std::function<void()>& clearOutput,
                                const std::function<float()>& drawFraction = freshRandomFraction);

struct NodeListInputs {
    std::wstring scaleText;                      // read once, before the first prompt
    std::function<std::wstring()> decimalsText;  // read afresh for every value written
    std::wstring decimalSeparator = L".";
    // Called with the list so far after every pick and take-back, as the final list writes it.
    std::function<void(const std::wstring&)> showList;
};

// The pick-nodes command: node by node, or an outline's nodes at once (the keyword P).
CommandOutcome pickNodes(CadLink& cad, const PickState& state, const NodeListInputs& inputs);

}  // namespace cad
