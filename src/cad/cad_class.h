// Which automation class the tool attaches to: the CAD's own by default, or a compatible
// CAD's, named on the command line or in the setting beside the executable. Plain code.
#pragma once

#include <string>
#include <string_view>

namespace cad {

inline constexpr wchar_t kDefaultCadClass[] = L"AutoCAD.Application";

// `--cad-class NAME` (or `--cad-class=NAME`) on the command line wins; then the setting's
// value; then the default. Blank names count as none.
std::wstring chooseCadClass(std::wstring_view commandLine, std::wstring_view setting);

}  // namespace cad
