// The About window: the author, the organisation and the links; and the more-software
// command of the main window that shows it.
#pragma once

#include <windows.h>

#include <vector>

#include "win/gdi_owners.h"
#include "win/twips.h"
#include "win/window_proc.h"

namespace about {

class AboutWindow {
public:
    AboutWindow() = default;
    AboutWindow(const AboutWindow&) = delete;
    AboutWindow& operator=(const AboutWindow&) = delete;

    // Creates the window anew from its design, centres it and runs it modally over `owner`
    // (disabled meanwhile); returns once the window has been unloaded.
    void showModal(HINSTANCE instance, HWND owner);

private:
    friend LRESULT CALLBACK win::windowProcFor<AboutWindow>(HWND, UINT, WPARAM, LPARAM);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void onCreate();
    void createFonts();
    void createControls();
    void addTooltip(HWND control, const wchar_t* text);
    HFONT fontFor(int fontId) const;
    LRESULT onCtlColorStatic(HDC dc, HWND control);
    void onDrawItem(const DRAWITEMSTRUCT& item);
    void onPaint();
    void onCommand(int id, int notification);
    void unload();
    void disableOtherWindows();
    void enableOtherWindows();

    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    HWND tooltip_ = nullptr;
    std::vector<HWND> disabled_;  // the tool's other windows, disabled while this one is up
    win::TwipsPerPixel tpp_;
    win::Font windowFont_;        // Tahoma 8.25 pt: the window's default
    win::Font fieldNameFont_;     // Tahoma 9 pt: the red field names
    win::Font headerFont_;        // 宋体 9 pt bold
    win::Font organisationFont_;  // Tahoma 8.25 pt underlined
    win::Font mailFont_;          // Verdana 6.75 pt
    win::Font homePageFont_;      // Verdana 6.75 pt underlined
    win::Font buttonFont_;        // 宋体 9 pt
    win::Brush whiteBrush_;
    win::Pen borderPen_;
    HICON keyIcon_ = nullptr;      // shared resource: not destroyed
    HCURSOR handCursor_ = nullptr; // shared resource: not destroyed
};

// The main window's more-software command: open the home page, then show the one About
// window of the process modally, whether or not the page could be opened.
void moreSoftware(HINSTANCE instance, HWND mainWindow);

}  // namespace about
