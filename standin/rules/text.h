// Text rules of the stand-in CAD: group names, class names, case-insensitive member and variable names,
// numbers in its input files, and the JSON strings of the journal. Plain code: no windows.h, unit-tested natively.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace standin {

constexpr size_t kMaxGroupNameLength = 255;

// Why the CAD refuses a group name, or empty when the name can be used: empty names,
// names longer than 255 characters and names holding < > / \ " : ; ? * | , = or `.
std::string groupNameProblem(std::wstring_view name);

// Whether `name` can be registered as a class's programmatic name: a letter, then up to 38
// letters, digits, periods or underscores. Nothing else may become a registry path.
bool isProgId(std::wstring_view name);

// Case-insensitive equality for names: ASCII letters fold, everything else compares as is
// (the names compared here are member names, variable names and group names).
bool equalsIgnoreCase(std::wstring_view a, std::wstring_view b);

// UTF-16 (or UTF-32 where wchar_t is 32 bits wide) to UTF-8. Unpaired surrogates become
// U+FFFD.
std::string toUtf8(std::wstring_view text);

// A JSON string literal, quotes included: " \ and control characters escaped, the rest
// passed through as UTF-8.
std::string jsonString(std::string_view utf8);

// The number a whole field holds ("12.5", "-3e2"), or empty when anything else is in it;
// shared by the DXF reader and the answer script.
std::optional<double> wholeNumber(std::string_view text);

}  // namespace standin
