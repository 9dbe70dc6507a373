#include "rules/script.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <optional>

#include "rules/text.h"

namespace standin {
namespace {

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        out.push_back(trim(text.substr(start, end - start)));
        start = end + 1;
    }
    return out;
}

template <class Char>
std::vector<std::basic_string_view<Char>> words(std::basic_string_view<Char> line) {
    std::vector<std::basic_string_view<Char>> out;
    const auto blank = [](Char c) { return c == ' ' || c == '\t'; };
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && blank(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && !blank(line[i])) ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

std::optional<int> toInt(std::string_view s) {
    int v = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

}  // namespace

AnswerScript parseAnswerScript(std::string_view text) {
    AnswerScript script;
    int lineNumber = 0;
    for (std::string_view line : lines(text)) {
        ++lineNumber;
        if (line.empty() || line.front() == '#') continue;
        std::vector<std::string_view> w = words(line);
        const auto fail = [&](const std::string& why) {
            script.errors.push_back("line " + std::to_string(lineNumber) + ": " + why);
        };
        Answer answer;
        if (w.size() > 1 && lower(w.back()).rfind("delay=", 0) == 0) {
            const auto delay = toInt(w.back().substr(6));
            if (!delay || *delay < 0) {
                fail("bad delay");
                continue;
            }
            answer.delayMs = *delay;
            w.pop_back();
        }
        const std::string verb = lower(w[0]);
        if (verb == "point" || verb == "entity") {
            const bool point = verb == "point";
            if (w.size() != 3 && !(point && w.size() == 4)) {
                fail(point ? "point needs X Y [Z]" : "entity needs X Y");
                continue;
            }
            const auto x = wholeNumber(w[1]);
            const auto y = wholeNumber(w[2]);
            const auto z = w.size() == 4 ? wholeNumber(w[3]) : std::optional<double>(0.0);
            if (!x || !y || !z) {
                fail(verb + " needs numbers");
                continue;
            }
            answer.kind = point ? AnswerKind::Point : AnswerKind::Entity;
            answer.x = *x;
            answer.y = *y;
            answer.z = *z;
        } else if (verb == "keyword" || verb == "switch") {
            if (w.size() != 2) {
                fail(verb + " needs one word");
                continue;
            }
            if (verb == "keyword") {
                answer.kind = AnswerKind::Keyword;
                answer.word = w[1];
            } else {
                const auto number = toInt(w[1]);
                if (!number || *number < 1 || answer.delayMs) {
                    fail("switch needs a drawing number from 1, and no delay");
                    continue;
                }
                answer.kind = AnswerKind::Switch;
                answer.drawing = *number;
            }
        } else if (w.size() != 1) {
            fail("unexpected words after " + verb);
            continue;
        } else if (verb == "enter" || verb == "rightclick") {
            answer.kind = AnswerKind::Enter;
        } else if (verb == "esc") {
            answer.kind = AnswerKind::Escape;
        } else if (verb == "user") {
            answer.kind = AnswerKind::User;
        } else {
            fail("unknown answer \"" + std::string(w[0]) + "\"");
            continue;
        }
        script.answers.push_back(answer);
    }
    return script;
}

Config parseConfig(std::string_view text) {
    Config config;
    int lineNumber = 0;
    for (std::string_view line : lines(text)) {
        ++lineNumber;
        if (line.empty() || line.front() == '#' || line.front() == ';' || line.front() == '[') continue;
        const auto fail = [&](const std::string& why) {
            config.errors.push_back("line " + std::to_string(lineNumber) + ": " + why);
        };
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            fail("key = value expected");
            continue;
        }
        const std::string key = lower(trim(line.substr(0, eq)));
        const std::string_view value = trim(line.substr(eq + 1));
        if (key == "script") {
            config.script = value;
        } else if (key == "journal") {
            config.journal = value;
        } else if (key == "drawing") {
            config.drawing = value;
        } else if (key == "second_drawing") {
            config.secondDrawing = value;
        } else if (key == "die_at") {
            config.dieAt = parseMemberCall(value);
            if (!config.dieAt) fail("Object.Member[:K] expected for die_at");
        } else if (key == "fail_at") {
            config.failAt = parseMemberCall(value);
            if (!config.failAt) fail("Object.Member[:K] expected for fail_at");
        } else if (key == "hang_at") {
            config.hangAt = parseMemberCall(value);
            if (!config.hangAt) fail("Object.Member[:K] expected for hang_at");
        } else if (key == "fail_scode" || key == "esc_scode") {
            const std::string hex(value);
            char* end = nullptr;
            const auto number = static_cast<std::uint32_t>(std::strtoul(hex.c_str(), &end, 16));
            if (hex.empty() || *end != '\0') fail("hexadecimal number expected for " + key);
            else (key == "fail_scode" ? config.failScode : config.escScode) = number;
        } else if (key == "journal_level") {
            const std::string level = lower(value);
            if (level == "all") config.journalLevel = JournalLevel::All;
            else if (level == "failures") config.journalLevel = JournalLevel::Failures;
            else fail("all or failures expected for journal_level");
        } else {
            const auto number = toInt(value);
            if (!number) {
                fail("whole number expected for " + key);
                continue;
            }
            if (key == "no_drawing") config.noDrawing = *number != 0;
            else if (key == "visible") config.visible = *number != 0 ? 1 : 0;
            else if (key == "second_drawing_after_call") config.secondDrawingAfterCall = *number;
            else if (key == "busy_after_call") config.busyAfterCall = *number;
            else if (key == "busy_ms") config.busyMs = *number;
            else if (key == "die_at_call") config.dieAtCall = *number;
            else if (key == "erase_group_after_call") config.eraseGroupAfterCall = *number;
            else if (key == "close_drawing_after_call") config.closeDrawingAfterCall = *number;
            else if (key == "open_drawing_after_call") config.openDrawingAfterCall = *number;
            else fail("unknown key " + key);
        }
    }
    // Busy without a starting call means busy from the start.
    if (config.busyMs > 0 && config.busyAfterCall < 0) config.busyAfterCall = 0;
    return config;
}

std::optional<MemberCall> parseMemberCall(std::string_view text) {
    MemberCall call;
    const size_t colon = text.find(':');
    if (colon != std::string_view::npos) {
        const auto occurrence = toInt(trim(text.substr(colon + 1)));
        if (!occurrence || *occurrence < 1) return std::nullopt;
        call.occurrence = *occurrence;
        text = trim(text.substr(0, colon));
    }
    const size_t dot = text.find('.');
    if (dot == std::string_view::npos) return std::nullopt;
    call.object = trim(text.substr(0, dot));
    call.member = trim(text.substr(dot + 1));
    const auto isName = [](const std::string& s) {
        if (s.empty()) return false;
        for (char c : s)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
        return true;
    };
    if (!isName(call.object) || !isName(call.member)) return std::nullopt;
    return call;
}

std::vector<std::wstring> parseKeywords(std::wstring_view list) {
    std::vector<std::wstring> keywords;
    for (std::wstring_view word : words(list)) keywords.emplace_back(word);
    return keywords;
}

std::optional<std::wstring> keywordInput(const std::vector<std::wstring>& keywords, std::wstring_view typed) {
    if (typed.empty()) return std::wstring();
    for (const std::wstring& keyword : keywords) {
        if (equalsIgnoreCase(keyword, typed)) return keyword;
    }
    return std::nullopt;
}

}  // namespace standin
