// The scale-factor and decimals boxes' texts kept per user in the registry between runs.
// A registry that cannot be read or written costs the memory only: the boxes then keep
// their defaults, and nothing is reported.
#pragma once

#include <windows.h>

namespace app {

// Puts the stored texts back into the boxes; a box whose text is not usable keeps its own.
void restoreFields(HWND scaleFactorBox, HWND decimalsBox);

// Stores the boxes' texts as they stand.
void rememberFields(HWND scaleFactorBox, HWND decimalsBox);

// Removes the stored texts, and the maker's key when nothing else is left in it.
void forgetFields();

}  // namespace app
