#include "win/command_line.h"

#include <utility>

namespace win {

std::vector<std::wstring> commandLineWords(std::wstring_view line) {
    std::vector<std::wstring> out;
    std::wstring word;
    bool quoted = false, any = false;
    for (wchar_t c : line) {
        if (c == L'"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == L' ' || c == L'\t')) {
            if (any) out.push_back(std::exchange(word, {}));
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) out.push_back(word);
    return out;
}

}  // namespace win
