// What the main window keeps between runs: the texts of the scale-factor and decimals boxes,
// per user. Which stored text is usable, and the option that forgets them. Plain code: no
// windows.h.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace app {

// Under HKEY_CURRENT_USER; two REG_SZ values, the boxes' texts exactly as typed.
inline constexpr wchar_t kMakerKey[] = L"Software\\Pontiro";
inline constexpr wchar_t kFieldsKey[] = L"Software\\Pontiro\\Section";
inline constexpr wchar_t kScaleFactorValue[] = L"ScaleFactor";
inline constexpr wchar_t kDecimalsValue[] = L"Decimals";
inline constexpr std::size_t kLongestRememberedText = 64;
inline constexpr wchar_t kResetOption[] = L"--reset";

// The text a box gets back from a stored string value (its data up to the first zero):
// none, so that the box keeps its default, when the value is missing or not a string
// (nullopt), empty or longer than kLongestRememberedText characters.
std::optional<std::wstring> usableRememberedText(std::optional<std::wstring_view> stored);

// arguments: the command line after the program's name. True when a word is --reset, not
// counting the class name that follows --cad-class.
bool asksForReset(std::wstring_view arguments);

}  // namespace app
