// The test inputs of the stand-in CAD: the answer script for GetPoint prompts and the
// configuration file. Formats are described in standin/README.md.
// Plain code: no windows.h, unit-tested natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

enum class AnswerKind {
    Point,    // a pick at x, y, z
    Enter,    // Enter or right-click: the prompt fails with 0x80210020
    Escape,   // Esc: the prompt fails with the configured Esc number
    User,     // leave this prompt to the person at the screen
    Keyword,  // `word` typed and Enter pressed
    Switch,   // not an answer: drawing number `drawing` becomes active once the script gets here
    Entity,   // a click at x, y: selects at a GetEntity prompt, picks at a GetPoint prompt
};

struct Answer {
    AnswerKind kind = AnswerKind::User;
    double x = 0, y = 0, z = 0;
    int delayMs = 0;     // how long the prompt stays up before the answer comes
    std::string word;    // Keyword
    int drawing = 0;     // Switch: 1 for the first drawing opened
};

struct AnswerScript {
    std::vector<Answer> answers;
    std::vector<std::string> errors;  // "line N: why", one per line that was skipped
};

// One answer per line: "point X Y [Z]", "entity X Y", "enter" (or "rightclick"), "esc", "user",
// "keyword WORD", each optionally followed by "delay=MS"; or the step "switch N". Blank lines
// and lines starting with # are skipped.
AnswerScript parseAnswerScript(std::string_view text);

// A call named by its object and member ("ModelSpace", "AddPoint"), and which of the calls to
// that member counts (1 for the first).
struct MemberCall {
    std::string object;
    std::string member;
    int occurrence = 1;
};

// What the journal keeps: everything, or (for long runs) only the calls that did not
// succeed and the events other than answers.
enum class JournalLevel { All, Failures };

struct Config {
    std::string script;      // path of the answer script (UTF-8), empty for none
    std::string journal;     // path of the journal (UTF-8), empty for none
    std::string drawing;     // path of a DXF file to show instead of the built-in section
    std::string secondDrawing;  // path of a DXF file opened as a second drawing
    bool noDrawing = false;  // start with no drawing open
    int visible = -1;        // -1: shown only when started by a person, 0 hidden, 1 shown
    int secondDrawingAfterCall = 0;  // a second drawing opens and becomes active after call K
    int busyAfterCall = -1;          // calls are rejected for busyMs after call K (0: from start)
    int busyMs = 0;
    int dieAtCall = 0;               // the process ends inside call K, before answering
    std::optional<MemberCall> dieAt; // the process ends inside that call, before answering
    std::optional<MemberCall> failAt;  // that call fails through EXCEPINFO with failScode
    std::optional<MemberCall> hangAt;  // that call never answers; the window lives on
    std::uint32_t failScode = 0x80004005;
    std::uint32_t escScode = 0x80020009;  // what GetPoint fails with on Esc
    int closeDrawingAfterCall = 0;   // the active drawing closes after call K
    int openDrawingAfterCall = 0;    // after call K a drawing opens if none is active
    JournalLevel journalLevel = JournalLevel::All;
    int eraseGroupAfterCall = 0;     // the newest group is erased after call K
    std::vector<std::string> errors;
};

// "key = value" lines; blank lines, [sections] and lines starting with # or ; are skipped;
// keys are case-insensitive. Unknown keys and bad numbers are reported in `errors`.
Config parseConfig(std::string_view text);

// "Object.Member" or "Object.Member:K" (K >= 1); empty when malformed.
std::optional<MemberCall> parseMemberCall(std::string_view text);

// The keywords InitializeUserInput declares: its blank-separated list.
std::vector<std::wstring> parseKeywords(std::wstring_view list);

// What Enter makes of the text typed at a prompt: the keyword as declared when the text is one
// of them (letter case aside), "" when nothing was typed, and nothing when the text is no
// keyword: the CAD then keeps the prompt.
std::optional<std::wstring> keywordInput(const std::vector<std::wstring>& keywords, std::wstring_view typed);

}  // namespace standin
