// Text rules of the stand-in CAD: group names, case-insensitive member and variable names,
// and the JSON strings of the journal. Plain code: no windows.h, unit-tested natively.
#pragma once

#include <string>
#include <string_view>

namespace standin {

constexpr size_t kMaxGroupNameLength = 255;

// Why the CAD refuses a group name, or empty when the name can be used: empty names,
// names longer than 255 characters and names holding < > / \ " : ; ? * | , = or `.
std::string groupNameProblem(std::wstring_view name);

// Case-insensitive equality for names: ASCII letters fold, everything else compares as is
// (the names compared here are member names, variable names and group names).
bool equalsIgnoreCase(std::wstring_view a, std::wstring_view b);

// UTF-16 (or UTF-32 where wchar_t is 32 bits wide) to UTF-8. Unpaired surrogates become
// U+FFFD.
std::string toUtf8(std::wstring_view text);

// A JSON string literal, quotes included: " \ and control characters escaped, the rest
// passed through as UTF-8.
std::string jsonString(std::string_view utf8);

}  // namespace standin
