#include "cad/cad_class.h"

#include <utility>
#include <vector>

namespace cad {
namespace {

std::wstring_view trimmed(std::wstring_view text) {
    const auto first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring_view::npos) return {};
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

// Words of a command line; double quotes group blanks into a word and are dropped.
std::vector<std::wstring> words(std::wstring_view line) {
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

}  // namespace

std::wstring chooseCadClass(std::wstring_view arguments, std::wstring_view setting) {
    constexpr std::wstring_view option = L"--cad-class";
    const auto args = words(arguments);
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::wstring_view name;
        if (args[i] == option && i + 1 < args.size()) name = args[++i];
        else if (args[i].starts_with(option) && args[i].substr(option.size(), 1) == L"=")
            name = std::wstring_view(args[i]).substr(option.size() + 1);
        if (!trimmed(name).empty()) return std::wstring(trimmed(name));
    }
    if (!trimmed(setting).empty()) return std::wstring(trimmed(setting));
    return kDefaultCadClass;
}

}  // namespace cad
