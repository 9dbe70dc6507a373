#include "cad/pick_commands.h"

#include "cad/number_rules.h"
#include "cad/outline_rules.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
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

std::wstring nodePrompt(int k, bool offerKeywords) {
    return L"点取第" + std::to_wstring(k) +
           (offerKeywords ? L"节点(右键或回车结束) [放弃(U)/轮廓(P)] " : L"节点(右键或回车结束) ");
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

bool cadDidNotAnswer(std::int32_t number) {
    return cadStoppedAnswering(number) || cadBusy(number);
}

std::wstring pickStoppedMessage(int k, const CadError& error) {
    const wchar_t* why = cadStoppedAnswering(error.number) ? L"CAD 已停止响应" : L"CAD 出错";
    return L"点取第" + std::to_wstring(k) + L"节点时" + why + numberAndText(error) + L"。" + listStopsBefore(k);
}

std::wstring takeBackFailedMessage(int k, int stepStart, const CadError& error) {
    return L"放弃第" + std::to_wstring(k) + L"节点时CAD 未能删除其标记" + numberAndText(error) + L"。" +
           listStopsBefore(stepStart);
}

std::wstring outlineTooLongMessage(std::size_t outlineNodes, std::size_t listed) {
    return L"该轮廓有" + std::to_wstring(outlineNodes) + L"个节点，节点列表最多" + std::to_wstring(kMaxNodes) +
           L"个，已有" + std::to_wstring(listed) + L"个。";
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
    auto run = [&]() -> bool {
        const Point2 at[] = {{origin[0], origin[1]}};
        auto mark = cad.addPoints(at, kRed);
        if (mark.failure) return false;
        if (!cad.setVariable(L"pdmode", 3).ok()) return false;
        groupName = groupNameFor(fraction());
        auto group = cad.addGroup(groupName);
        // A refused name is most likely one drawn before: draw again rather than fail.
        for (int tries = 1; !group.ok() && tries < kGroupNameTries && !cadStoppedAnswering(group.error().number);
             ++tries) {
            groupName = groupNameFor(fraction());
            group = cad.addGroup(groupName);
        }
        return group.ok() && cad.appendItems(group.value(), mark.made).ok();
    };

    if (!run()) {
        outcome.messages.push_back(stopBox(kUnknownError));
        return outcome;
    }
    state.origins.push_back({origin, groupName});
    outcome.enablePickNodes = true;
    return outcome;
}

namespace {

// What one selected entity gives as an outline: its nodes, or why it cannot be taken (told
// on the CAD's command line), or the CAD's failure to answer.
struct OutlineRead {
    std::vector<Point2> nodes;
    std::wstring refusal;
    std::optional<CadError> failure;
    bool unusable = false;  // numbers that are no coordinates
};

OutlineRead refused(const wchar_t* why) {
    return {{}, why, std::nullopt};
}

OutlineRead failed(const CadError& error) {
    return {{}, {}, error};
}

OutlineRead unusable() {
    return {{}, {}, std::nullopt, true};
}

bool finite(std::span<const double> values) {
    return std::ranges::all_of(values, [](double v) { return std::isfinite(v); });
}

OutlineRead readOutline(CadLink& cad, const EntityRef& entity, Point2 click) {
    auto name = cad.objectName(entity);
    if (!name.ok()) return failed(name.error());
    const std::wstring& kind = name.value();
    const bool lightweight = kind == L"AcDbPolyline";
    const bool plane2d = lightweight || kind == L"AcDb2dPolyline";
    const bool world3d = kind == L"AcDb3dPolyline";
    const bool circle = kind == L"AcDbCircle";
    if (!plane2d && !world3d && !circle) return refused(kNotAnOutline);

    // Polylines and circles of the drawing's plane, seen from above or mirrored.
    int side = 1;
    if (!world3d) {
        auto normal = cad.normal(entity);
        if (!normal.ok()) return failed(normal.error());
        const auto plane = planeSide(normal.value()[0], normal.value()[1], normal.value()[2]);
        if (!plane) return refused(kOutlineNotFlat);
        side = *plane;
    }
    if (circle) {
        auto centre = cad.center(entity);
        if (!centre.ok()) return failed(centre.error());
        auto radius = cad.radius(entity);
        if (!radius.ok()) return failed(radius.error());
        const double values[] = {centre.value()[0], centre.value()[1], radius.value()};
        if (!finite(values)) return unusable();
        // The centre is in world coordinates, and the nodes go round as the drawing shows them.
        return {circleNodes({values[0], values[1]}, std::fabs(values[2]), click), {}, std::nullopt};
    }

    auto coordinates = cad.coordinates(entity);
    if (!coordinates.ok()) return failed(coordinates.error());
    const std::vector<double>& flat = coordinates.value();
    const std::size_t stride = lightweight ? 2 : 3;
    if (flat.empty() || flat.size() % stride != 0 || !finite(flat)) return unusable();
    std::vector<Point2> vertices;
    for (std::size_t i = 0; i < flat.size(); i += stride) {
        // A 3D polyline lies in the drawing's plane only with every vertex at the same height.
        if (world3d && !samePoint({flat[i + 2], 0}, {flat[2], 0})) return refused(kOutlineNotFlat);
        vertices.push_back({side * flat[i], flat[i + 1]});
    }
    auto closed = cad.closed(entity);
    if (!closed.ok()) return failed(closed.error());

    std::vector<double> bulges;
    const std::size_t segments = closed.value() ? vertices.size() : vertices.size() - 1;
    for (std::size_t i = 0; plane2d && i < segments; ++i) {
        auto bulge = cad.bulge(entity, static_cast<int>(i));
        if (!bulge.ok()) {
            const std::int32_t number = bulge.error().number;
            if (cadDidNotAnswer(number)) return failed(bulge.error());
            return refused(kArcsUnreadable);  // a fitted or splined polyline has none to give
        }
        if (!std::isfinite(bulge.value())) return unusable();
        bulges.push_back(side * bulge.value());
    }
    return {polylineNodes(vertices, bulges, closed.value(), click), {}, std::nullopt};
}

// One run of the pick-nodes command: the nodes so far, the steps they came in (one picked
// node, or one outline) and why the list ends early, if it does.
class NodePick {
public:
    NodePick(CadLink& cad, const Point3& origin, double scaleFactor, const NodeListInputs& inputs)
        : cad_(cad), origin_(origin), scaleFactor_(scaleFactor), inputs_(inputs) {}

    void run() {
        while (!stopped_ && nodes_.size() < static_cast<std::size_t>(kMaxNodes)) {
            const int k = nextNode();
            // A CAD that takes no keywords still picks, with the prompt it can honour.
            const bool keywords = cad_.initializeUserInput(0, L"U P").ok();
            auto pick = cad_.getPoint(nodePrompt(k, keywords));
            if (!pick.ok()) {
                const std::int32_t number = pick.error().number;
                const std::wstring word = number == kEndOfInputCancel && keywords ? typedKeyword() : L"";
                if (word == L"U") takeBack();
                else if (word == L"P") takeOutline();
                else if (!isEndOfInput(number)) stopped_ = pickStoppedMessage(k, pick.error());
                else break;
                continue;
            }
            const double x = pick.value()[0];
            const double y = pick.value()[1];
            if (!std::isfinite(x) || !std::isfinite(y)) {
                stopped_ = unusableAnswerMessage(k);
                break;
            }
            const Point2 node[] = {{x, y}};
            mark(node);
        }
        // After node 100 the loop ends as if the user had ended the prompt.
    }

    const std::vector<Node>& nodes() const { return nodes_; }
    const std::optional<std::wstring>& stopped() const { return stopped_; }

private:
    int nextNode() const { return static_cast<int>(nodes_.size()) + 1; }

    // After a prompt ended by Enter or a keyword: the keyword typed, upper case. A GetInput
    // that fails is taken as a plain Enter.
    std::wstring typedKeyword() {
        auto input = cad_.getInput();
        if (!input.ok()) return L"";
        std::wstring word = input.value();
        for (wchar_t& c : word) c = static_cast<wchar_t>(std::towupper(c));
        return word;
    }

    // The list so far in the output box, as the final list writes it.
    void showSoFar() {
        if (!inputs_.showList) return;
        bool unused = false;
        const std::wstring decimals = inputs_.decimalsText ? inputs_.decimalsText() : std::wstring();
        inputs_.showList(writeList(nodes_, origin_, scaleFactor_, [&](double value) {
            return writeValue(value, patternFor(decimals, unused, unused), inputs_.decimalSeparator);
        }).text);
    }

    // Marks the points as one step; the nodes whose marks were made stay in the list.
    void mark(std::span<const Point2> points) {
        auto marks = cad_.addPoints(points, kGreen);
        if (!marks.made.empty()) steps_.push_back(nodes_.size());
        for (std::size_t i = 0; i < marks.made.size(); ++i)
            nodes_.push_back({points[i].x, points[i].y, std::move(marks.made[i])});
        if (marks.failure) stopped_ = pickStoppedMessage(nextNode(), *marks.failure);
        if (!marks.made.empty()) showSoFar();
    }

    // U: the last step's marks are erased, last first, and its nodes leave the list.
    void takeBack() {
        if (steps_.empty()) return;  // nothing to take back: node 1 again
        const std::size_t start = steps_.back();
        steps_.pop_back();
        for (std::size_t i = nodes_.size(); i-- > start;) {
            if (auto s = cad_.deleteEntity(nodes_[i].mark); !s.ok()) {
                stopped_ = takeBackFailedMessage(static_cast<int>(i) + 1, static_cast<int>(start) + 1, s.error());
                break;
            }
        }
        nodes_.resize(start);
        if (!stopped_) showSoFar();
    }

    // P: an outline selected in the drawing gives its nodes at once.
    void takeOutline() {
        const int k = nextNode();
        auto selected = cad_.getEntity(kOutlinePrompt);
        if (!selected.ok()) {
            // Esc, a click on nothing, Enter: back to the node prompt.
            if (!isEndOfInput(selected.error().number)) stopped_ = pickStoppedMessage(k, selected.error());
            return;
        }
        const Point3& at = selected.value().at;
        OutlineRead outline = readOutline(cad_, selected.value().entity, {at[0], at[1]});
        if (outline.failure) {
            stopped_ = pickStoppedMessage(k, *outline.failure);
            return;
        }
        if (outline.unusable) {
            stopped_ = unusableAnswerMessage(k);
            return;
        }
        std::vector<Point2>& points = outline.nodes;
        // An outline that starts where the list stands goes on from there.
        if (!points.empty() && !nodes_.empty() && samePoint(points.front(), {nodes_.back().x, nodes_.back().y}))
            points.erase(points.begin());
        if (outline.refusal.empty() && nodes_.size() + points.size() > static_cast<std::size_t>(kMaxNodes))
            outline.refusal = outlineTooLongMessage(points.size(), nodes_.size());
        if (!outline.refusal.empty()) {
            (void)cad_.prompt(outline.refusal);  // the CAD's own way to say so; the prompt comes again anyway
            return;
        }
        if (!points.empty()) mark(points);
    }

    CadLink& cad_;
    const Point3& origin_;
    double scaleFactor_;
    const NodeListInputs& inputs_;
    std::vector<Node> nodes_;
    std::vector<std::size_t> steps_;  // where each step's nodes begin in nodes_
    std::optional<std::wstring> stopped_;
};

}  // namespace

CommandOutcome pickNodes(CadLink& cad, const PickState& state, const NodeListInputs& inputs) {
    CommandOutcome outcome;
    // The button stays disabled until an origin exists; refuse rather than pick into nothing.
    if (state.origins.empty()) {
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
    // An origin belongs to the drawing it was picked in: the newest one whose group the active
    // drawing has is used; one of another drawing would measure the nodes from a foreign point.
    const Origin* origin = nullptr;
    std::optional<GroupRef> group;
    for (auto it = state.origins.rbegin(); it != state.origins.rend() && !group; ++it) {
        auto found = cad.findGroup(it->groupName);
        if (!found.ok()) {
            outcome.messages.push_back(stopBox(pickStoppedMessage(1, found.error())));
            return outcome;
        }
        if (found.value()) {
            group = std::move(found.value());
            origin = &*it;
        }
    }
    if (!group) {
        outcome.messages.push_back(noticeBox(kNoOriginInDrawing));
        return outcome;
    }

    NodePick pick(cad, origin->point, scaleFactor, inputs);
    pick.run();
    const std::vector<Node>& nodes = pick.nodes();
    const std::optional<std::wstring>& stopped = pick.stopped();

    if (nodes.empty()) {
        // A failure before the first node leaves the box as it was; a user's end empties it.
        if (stopped) outcome.messages.push_back(stopBox(*stopped));
        else outcome.outputText = L"";
        return outcome;
    }

    bool tooMany = false, tooNegative = false;
    const ListText list = writeList(nodes, origin->point, scaleFactor, [&](double value) {
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
    if (auto s = cad.appendItems(*group, grouped); !s.ok()) {
        outcome.messages.push_back(stopBox(kGroupFailed));
    }
    return outcome;
}

}  // namespace cad
