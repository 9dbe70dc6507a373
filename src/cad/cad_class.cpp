#include "cad/cad_class.h"

#include "win/command_line.h"

namespace cad {
namespace {

std::wstring_view trimmed(std::wstring_view text) {
    const auto first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring_view::npos) return {};
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

}  // namespace

std::wstring chooseCadClass(std::wstring_view arguments, std::wstring_view setting) {
    constexpr std::wstring_view option = kCadClassOption;
    const auto args = win::commandLineWords(arguments);
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
