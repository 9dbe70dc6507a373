// Control ids of the main window, shared with the end-to-end test driver.
#pragma once

#include <windows.h>

namespace app {

inline constexpr wchar_t kMainWindowClass[] = L"PontiroMainWindow";

enum MainControlId : int {
    IdOutputBox = 108,  // the node list
    IdScaleFactorBox = 103, IdScaleFactorLabel = 203,
    IdDecimalsBox = 101, IdDecimalsLabel = 201,
    IdInitialiseOriginButton = 303, IdPickNodesButton = 301,
    IdHelpButton = 304, IdMoreSoftwareButton = 305, IdExitButton = 302,
    // below the short window
    IdInstructions = 202, IdSectionPicture = 401,
};

// Sent by the end-to-end tests (invisible to users): non-zero while a picking
// command is running, its messages included.
inline constexpr unsigned kQueryCommandRunning = WM_APP + 0x101;

}  // namespace app
