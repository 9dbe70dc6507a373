#include "app/field_memory_rules.h"

#include "cad/cad_class.h"
#include "win/command_line.h"

namespace app {

std::optional<std::wstring> usableRememberedText(std::optional<std::wstring_view> stored) {
    if (!stored) return std::nullopt;
    // The registry does not promise a terminating zero, nor that it is the last character.
    const std::wstring_view text = stored->substr(0, stored->find(L'\0'));
    if (text.empty() || text.size() > kLongestRememberedText) return std::nullopt;
    return std::wstring(text);
}

bool asksForReset(std::wstring_view arguments) {
    const auto words = win::commandLineWords(arguments);
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == cad::kCadClassOption) ++i;  // its value, whatever it reads
        else if (words[i] == kResetOption) return true;
    }
    return false;
}

}  // namespace app
