// Operations every window of the tool shares: centring, topmost placement, opening an
// address with the user's program, and labels that fit their text.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "win/gdi_owners.h"
#include "win/placement.h"
#include "win/twips.h"

namespace win {

// The primary display's twips-per-pixel factors, from its real logical DPI.
TwipsPerPixel screenTwipsPerPixel();

// Centred left to right, a third of the way down the free height; size unchanged.
void centerWindow(HWND window);

// Where a window of this outer pixel size goes when centred and then placed topmost: the
// SetWindowPos arguments, with the topmost placement's own rounding.
TopmostPixels centredPlacement(int width, int height);

// One child control as a window's design gives it: its window class, its styles besides
// WS_CHILD | WS_VISIBLE, and its rectangle in twips.
struct ChildControl {
    int id;
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
    TwipsRect rect;
    const wchar_t* text;
};

// A visible child control of `parent`; null when it cannot be made.
HWND createChild(HWND parent, HINSTANCE instance, const TwipsPerPixel& tpp, const ChildControl& child);

// One child per row of a window's design table, in the table's order (the tab order, and the
// order overlapping controls lie in): `describe` turns a row into a ChildControl, `made`
// finishes each control made (font, subclass, tooltip). A control that cannot be made is
// left out.
template <typename Table, typename Describe, typename Made>
void createChildren(HWND parent, HINSTANCE instance, const TwipsPerPixel& tpp, const Table& table,
                    Describe describe, Made made) {
    for (const auto& row : table)
        if (HWND control = createChild(parent, instance, tpp, describe(row))) made(row, control);
}

// OLE on this thread, started by the first thing that needs it (a browser pane, a picture,
// the shell) rather than before the main window: true when it is usable. endOle ends what
// useOle started, once every OLE object of the thread is gone.
bool useOle();
void endOle();

// Opens a web or mail address with the user's default program; failures are silent.
void shellOpen(HWND owner, const wchar_t* address);

// ShellExecuteW from shell32, loaded through `load` on first use; a failed load is not kept,
// so the next call tries again.
using LoadLibraryFunction = HMODULE(WINAPI*)(LPCWSTR, HANDLE, DWORD);
decltype(&ShellExecuteW) shellExecuteFunction(LoadLibraryFunction load);

// A window's text; from another thread of the tool it is asked of the window's own thread.
std::wstring windowText(HWND window);

// Resizes a label to its text on one line in its present font, keeping its top-left corner.
void sizeLabelToText(HWND label);

// A fixed-size multi-line label whose text does not fit at this DPI in `font` (glyphs do not
// grow in step with the twips layout) gets the largest smaller font in which it does; the
// returned font is empty when `font` fits.
Font fitLabelFont(HWND label, HFONT font);

}  // namespace win
