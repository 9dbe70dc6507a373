// The tool's fixed texts that several windows share. Plain code: no windows.h.
#pragma once

#include <string>

namespace win {

// The main window's caption, also the title of the tool's own message boxes.
inline constexpr wchar_t kToolCaption[] = L"Pontiro截面 V2.0";

// The maker's home page: shown in the instructions, opened by the more-software command
// and by the About window.
inline constexpr wchar_t kHomePageAddress[] = L"http://www.pontiro.example";

// The main window's step-by-step instructions: five lines joined by CR LF, none after the last.
std::wstring instructionsText();

}  // namespace win
