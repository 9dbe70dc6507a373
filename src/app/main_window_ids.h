// Control ids of the main window, shared with the end-to-end test driver.
#pragma once

namespace app {

inline constexpr wchar_t kMainWindowClass[] = L"PontiroMainWindow";

enum MainControlId : int {
    IdText8 = 108,     // output box: the node list
    IdText3 = 103,     // scale factor
    IdLabel3 = 203,    // "缩放因子"
    IdText1 = 101,     // number of decimals
    IdLabel1 = 201,    // "小数位数"
    IdCommand3 = 303,  // initialise the relative origin
    IdCommand1 = 301,  // pick nodes
    IdCommand4 = 304,  // help
    IdCommand5 = 305,  // more software
    IdCommand2 = 302,  // exit
    IdLabel2 = 202,    // instructions, below the short window
    IdImage1 = 401,    // section picture, below the short window
};

// Sent by the end-to-end tests (WM_APP range, invisible to users): non-zero while a picking
// command is running, its messages included.
inline constexpr unsigned kQueryCommandRunning = 0x8000 + 0x101;

}  // namespace app
