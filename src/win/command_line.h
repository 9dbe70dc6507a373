// The words of the tool's command line. Plain code: no windows.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace win {

// Words of a command line; double quotes group blanks into a word and are dropped.
std::vector<std::wstring> commandLineWords(std::wstring_view line);

}  // namespace win
