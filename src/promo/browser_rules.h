// Rules of the promotion windows' browser panes: which document mode to ask the engine for,
// which addresses a pane may hand to the user's browser, the blank page's colour. Plain code:
// no windows.h.
#pragma once

#include <array>
#include <string_view>

namespace promo {

// The browser emulation value (FEATURE_BROWSER_EMULATION) for the newest document mode of the
// installed engine, from its svcVersion and Version registry values (either may be empty):
// 11001, 10001, 9999, 8888 or 7000; the newest when neither says which engine it is.
unsigned long browserEmulationFor(std::wstring_view svcVersion, std::wstring_view version);

// The file name at the end of a module path, as the emulation setting names a program.
std::wstring_view fileNameOf(std::wstring_view path);

// Only web addresses leave a pane for the user's browser: a page must not get the shell to
// open a local file or run a program.
bool opensInUserBrowser(std::wstring_view address);

// A COLORREF (0x00BBGGRR) as an HTML colour, "#RRGGBB" and a terminating zero.
std::array<wchar_t, 8> htmlColour(unsigned long colorref);

}  // namespace promo
