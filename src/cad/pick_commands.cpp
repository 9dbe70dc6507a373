#include "cad/pick_commands.h"

#include "cad/number_rules.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string_view>

namespace cad {

namespace {

constexpr std::int16_t kRed = 1;
constexpr std::int16_t kGreen = 3;

UserMessage stopBox(std::wstring text) {
    return {std::move(text), kErrorCaption, MessageIcon::Stop};
}

UserMessage noticeBox(std::wstring text) {
    return {std::move(text), kNoticeCaption, MessageIcon::Warning};
}

// Only a failed prompt can mean the user ended it; the same numbers from any other call are
// failures of the CAD.
bool isEndOfInput(std::int32_t number) {
    return number == kEndOfInputFail || number == kEndOfInputCancel || number == kEndOfInputEscape;
}

// After a prompt ended by Enter or a keyword: did the user type U? A GetInput that fails is
// taken as a plain Enter.
bool typedTakeBack(CadLink& cad) {
    auto input = cad.getInput();
    return input.ok() && (input.value() == L"U" || input.value() == L"u");
}

struct Node {
    double x, y;
    EntityRef mark;
};

struct ListText {
    std::wstring text;
    bool overflow = false;  // a value could not be written; the list stops before its node
};

// One line per node: X and Y relative to the origin, scaled, a blank between, CRLF after.
template <class Write>
ListText writeList(const std::vector<Node>& nodes, const Point3& origin, double scaleFactor, Write write) {
    ListText list;
    for (const Node& node : nodes) {
        auto x = write((node.x - origin[0]) * scaleFactor);
        auto y = x ? write((node.y - origin[1]) * scaleFactor) : std::nullopt;
        if (!x || !y) {
            list.overflow = true;
            break;
        }
        list.text += *x + L" " + *y + L"\r\n";
    }
    return list;
}

// "（0x80010108：description）"
std::wstring numberAndText(const CadError& error) {
    wchar_t number[16];
    std::swprintf(number, 16, L"0x%08X", static_cast<unsigned>(error.number));
    return L"（" + std::wstring(number) + (error.description.empty() ? L"" : L"：" + error.description) + L"）";
}

std::wstring listStopsBefore(int k) {
    return k > 1 ? L"节点列表写到第" + std::to_wstring(k - 1) + L"节点为止。" : L"没有写出节点。";
}

std::wstring nodePrompt(int k, bool offerTakeBack) {
    return L"点取第" + std::to_wstring(k) + (offerTakeBack ? L"节点(右键或回车结束) [放弃(U)] " : L"节点(右键或回车结束) ");
}

// The decimal pattern for the decimals box as it reads now, held to 0..kMaxDecimals
// (a negative count keeps its "0." pattern). Sets the flags when the text was out of range.
std::wstring patternFor(std::wstring_view decimalsText, bool& tooMany, bool& tooNegative) {
    std::optional<std::int16_t> count = decimalCount(decimalsText);
    if (!count) {
        // Does not fit 16 bits: take the side it fell off.
        if (lenientParse(decimalsText) > 0) {
            tooMany = true;
            count = kMaxDecimals;
        } else {
            tooNegative = true;
            count = -1;
        }
    } else if (*count > kMaxDecimals) {
        tooMany = true;
        count = kMaxDecimals;
    }
    return decimalPattern(*count);
}

}  // namespace

std::wstring groupNameFor(float r) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(r));
    std::string_view text(buf);

    // Split into significant digits and a decimal exponent, whatever form %g chose and
    // whichever decimal point the C locale uses.
    std::string digits;
    int pointAt = -1;
    int exponent = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c == 'e' || c == 'E') {
            exponent = std::atoi(buf + i + 1);
            break;
        } else {
            pointAt = static_cast<int>(digits.size());
        }
    }
    if (pointAt < 0) pointAt = static_cast<int>(digits.size());
    // digits = d1 d2 ... with the point after pointAt digits, times 10^exponent.
    int intDigits = pointAt + exponent;
    const auto firstNonZero = digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos) return L"0";
    intDigits -= static_cast<int>(firstNonZero);
    digits.erase(0, firstNonZero);
    while (digits.size() > 1 && digits.back() == '0' &&
           static_cast<int>(digits.size()) > intDigits) {
        digits.pop_back();
    }

    std::wstring name;
    if (intDigits <= 0) {
        name = L"." + std::wstring(static_cast<std::size_t>(-intDigits), L'0');
        name.append(digits.begin(), digits.end());
    } else {
        // Not reached for r in [0, 1); kept so any argument gives a plain number.
        std::string whole = digits.substr(0, std::min(digits.size(), static_cast<std::size_t>(intDigits)));
        whole.append(static_cast<std::size_t>(intDigits) - whole.size(), '0');
        name.assign(whole.begin(), whole.end());
        if (static_cast<int>(digits.size()) > intDigits) {
            name += L'.';
            name.append(digits.begin() + intDigits, digits.end());
        }
    }
    return name;
}

bool cadStoppedAnswering(std::int32_t number) {
    switch (static_cast<std::uint32_t>(number)) {
    case 0x80010007:  // RPC_E_SERVER_DIED
    case 0x80010012:  // RPC_E_SERVER_DIED_DNE
    case 0x80010108:  // RPC_E_DISCONNECTED
    case 0x800401FD:  // CO_E_OBJNOTCONNECTED
    case 0x800706BA:  // RPC_S_SERVER_UNAVAILABLE
    case 0x800706BE:  // RPC_S_CALL_FAILED
    case 0x800706BF:  // RPC_S_CALL_FAILED_DNE
        return true;
    default:
        return false;
    }
}

std::wstring pickStoppedMessage(int k, const CadError& error) {
    const wchar_t* why = cadStoppedAnswering(error.number) ? L"CAD 已停止响应" : L"CAD 出错";
    return L"点取第" + std::to_wstring(k) + L"节点时" + why + numberAndText(error) + L"。" + listStopsBefore(k);
}

std::wstring takeBackFailedMessage(int k, const CadError& error) {
    return L"放弃第" + std::to_wstring(k) + L"节点时CAD 未能删除其标记" + numberAndText(error) + L"。" +
           listStopsBefore(k);
}

std::wstring unusableAnswerMessage(int k) {
    return L"CAD 给出的第" + std::to_wstring(k) + L"节点坐标不是有效的数值。" + listStopsBefore(k);
}

float freshRandomFraction() {
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    std::mt19937 gen(static_cast<std::uint32_t>(now) ^ static_cast<std::uint32_t>(now >> 32));
    // 24 random bits over 2^24: exact in single precision and always below 1.
    return static_cast<float>(gen() >> 8) / 16777216.0f;
}

CommandOutcome unknownErrorOutcome() {
    CommandOutcome outcome;
    outcome.messages.push_back(stopBox(kUnknownError));
    return outcome;
}

CommandOutcome initialiseOrigin(CadLink& cad, PickState& state,
                                const std::function<void()>& clearOutput,
                                const std::function<float()>& drawFraction) {
    CommandOutcome outcome;
    outcome.outputText = L"";
    if (clearOutput) clearOutput();
    cad.connect();
    const auto fraction = [&] { return drawFraction ? drawFraction() : freshRandomFraction(); };

    auto pick = cad.getPoint(L"点取坐标原点 ");
    if (!pick.ok()) {
        // Enter or right-click at the origin prompt is the user giving up, not an error.
        if (!isEndOfInput(pick.error().number)) outcome.messages.push_back(stopBox(kUnknownError));
        return outcome;
    }
    const Point3 origin{pick.value()[0], pick.value()[1], 0.0};

    // The rest runs up to the first failure; what the CAD already did stays in the drawing.
    std::wstring groupName;
    auto run = [&]() -> std::optional<GroupRef> {
        auto mark = cad.addPoint(origin[0], origin[1], origin[2]);
        if (!mark.ok()) return std::nullopt;
        if (!cad.setColor(mark.value(), kRed).ok()) return std::nullopt;
        if (!cad.setVariable(L"pdmode", 3).ok()) return std::nullopt;
        groupName = groupNameFor(fraction());
        auto group = cad.addGroup(groupName);
        // A refused name is most likely one drawn before: draw again rather than fail.
        for (int tries = 1; !group.ok() && tries < kGroupNameTries && !cadStoppedAnswering(group.error().number);
             ++tries) {
            groupName = groupNameFor(fraction());
            group = cad.addGroup(groupName);
        }
        if (!group.ok()) return std::nullopt;
        const EntityRef members[] = {mark.value()};
        if (!cad.appendItems(group.value(), members).ok()) return std::nullopt;
        return group.value();
    };

    auto group = run();
    if (!group) {
        outcome.messages.push_back(stopBox(kUnknownError));
        return outcome;
    }
    state.origin = origin;
    state.nodeGroup = std::move(group);
    state.nodeGroupName = groupName;
    outcome.enablePickNodes = true;
    return outcome;
}

CommandOutcome pickNodes(CadLink& cad, const PickState& state, const NodeListInputs& inputs) {
    CommandOutcome outcome;
    // The button stays disabled until a group exists; refuse rather than pick into nothing.
    if (!state.nodeGroup) {
        outcome.messages.push_back(noticeBox(kNoOrigin));
        return outcome;
    }
    // Checked before the CAD is reached, so a bad factor costs the user no picks.
    const double scaleFactor = lenientParse(inputs.scaleText);
    if (!std::isfinite(scaleFactor)) {
        outcome.messages.push_back(noticeBox(kBadScale));
        return outcome;
    }

    cad.connect();
    // The origin belongs to the drawing it was picked in: with another drawing active (or the
    // group erased) the nodes would be measured from a point of another drawing.
    auto found = cad.findGroup(state.nodeGroupName);
    if (!found.ok() || !found.value()) {
        outcome.messages.push_back(found.ok() ? noticeBox(kNoOriginInDrawing)
                                              : stopBox(pickStoppedMessage(1, found.error())));
        return outcome;
    }
    const GroupRef group = *found.value();

    std::vector<Node> nodes;
    const auto showSoFar = [&] {
        if (!inputs.showList) return;
        bool unused = false;
        const std::wstring decimals = inputs.decimalsText ? inputs.decimalsText() : std::wstring();
        inputs.showList(writeList(nodes, state.origin, scaleFactor, [&](double value) {
            return writeValue(value, patternFor(decimals, unused, unused), inputs.decimalSeparator);
        }).text);
    };
    std::optional<std::wstring> stopped;  // why the list ends before the user ended it
    while (!stopped && nodes.size() < static_cast<std::size_t>(kMaxNodes)) {
        const int k = static_cast<int>(nodes.size()) + 1;
        // A CAD that takes no keywords still picks, with the prompt it can honour.
        const bool canTakeBack = cad.initializeUserInput(0, L"U").ok();
        auto pick = cad.getPoint(nodePrompt(k, canTakeBack));
        if (!pick.ok()) {
            const std::int32_t number = pick.error().number;
            if (number == kEndOfInputCancel && canTakeBack && typedTakeBack(cad)) {
                if (nodes.empty()) continue;  // nothing to take back: node 1 again
                const Node last = std::move(nodes.back());
                nodes.pop_back();
                if (auto s = cad.deleteEntity(last.mark); !s.ok()) stopped = takeBackFailedMessage(k - 1, s.error());
                else showSoFar();
                continue;
            }
            if (!isEndOfInput(number)) stopped = pickStoppedMessage(k, pick.error());
            break;
        }
        const double x = pick.value()[0];
        const double y = pick.value()[1];
        if (!std::isfinite(x) || !std::isfinite(y)) {
            stopped = unusableAnswerMessage(k);
            break;
        }
        auto mark = cad.addPoint(x, y, 0.0);
        if (!mark.ok()) {
            stopped = pickStoppedMessage(k, mark.error());
        } else if (auto s = cad.setColor(mark.value(), kGreen); !s.ok()) {
            stopped = pickStoppedMessage(k, s.error());
        } else {
            nodes.push_back({x, y, mark.value()});
            showSoFar();
        }
    }
    // After node 100 the loop ends as if the user had ended the prompt.

    if (nodes.empty()) {
        // A failure before the first node leaves the box as it was; a user's end empties it.
        if (stopped) outcome.messages.push_back(stopBox(*stopped));
        else outcome.outputText = L"";
        return outcome;
    }

    bool tooMany = false, tooNegative = false;
    const ListText list = writeList(nodes, state.origin, scaleFactor, [&](double value) {
        const std::wstring text = inputs.decimalsText ? inputs.decimalsText() : std::wstring();
        return writeValue(value, patternFor(text, tooMany, tooNegative), inputs.decimalSeparator);
    });
    outcome.outputText = list.text;

    if (stopped) outcome.messages.push_back(stopBox(*stopped));
    if (tooMany) outcome.messages.push_back(noticeBox(kDecimalsTooMany));
    if (tooNegative) outcome.messages.push_back(noticeBox(kDecimalsTooNegative));
    if (list.overflow) outcome.messages.push_back(noticeBox(kValueTooLarge));
    std::vector<EntityRef> grouped;
    for (const Node& node : nodes) grouped.push_back(node.mark);
    if (auto s = cad.appendItems(group, grouped); !s.ok()) {
        outcome.messages.push_back(stopBox(kGroupFailed));
    }
    return outcome;
}

}  // namespace cad
