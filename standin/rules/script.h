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
    Point,   // a pick at x, y, z
    Enter,   // Enter or right-click: the prompt fails with 0x80210020
    Escape,  // Esc: the prompt fails with 0x80004005
    User,    // leave this prompt to the person at the screen
};

struct Answer {
    AnswerKind kind = AnswerKind::User;
    double x = 0, y = 0, z = 0;
    int delayMs = 0;  // how long the prompt stays up before the answer comes
};

struct AnswerScript {
    std::vector<Answer> answers;
    std::vector<std::string> errors;  // "line N: why", one per line that was skipped
};

// One answer per line: "point X Y [Z]", "enter" (or "rightclick"), "esc", "user", each
// optionally followed by "delay=MS". Blank lines and lines starting with # are skipped.
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
    bool noDrawing = false;  // start with no drawing open
    int visible = -1;        // -1: shown only when started by a person, 0 hidden, 1 shown
    int secondDrawingAfterCall = 0;  // a second drawing opens and becomes active after call K
    int busyAfterCall = -1;          // calls are rejected for busyMs after call K (0: from start)
    int busyMs = 0;
    int dieAtCall = 0;               // the process ends inside call K, before answering
    std::optional<MemberCall> dieAt; // the process ends inside that call, before answering
    std::optional<MemberCall> failAt;  // that call fails through EXCEPINFO with failScode
    std::uint32_t failScode = 0x80004005;
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

}  // namespace standin
