// Which automation class the tool attaches to: the CAD's own by default, or a compatible
// CAD's, named on the command line or in the setting beside the executable. Plain code.
#pragma once

#include <string>
#include <string_view>

namespace cad {

inline constexpr wchar_t kDefaultCadClass[] = L"AutoCAD.Application";
// Takes the class name as its value: the next word, or after "=".
inline constexpr wchar_t kCadClassOption[] = L"--cad-class";

// arguments: the command line after the program's name. `--cad-class NAME` (or
// `--cad-class=NAME`, either quoted) wins, the first one that names something; then the
// setting's value; then the default. Blank names count as none.
std::wstring chooseCadClass(std::wstring_view arguments, std::wstring_view setting);

}  // namespace cad
