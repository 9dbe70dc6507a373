// Window commands of the stand-in that other programs may send it (the end-to-end driver
// switches drawings as the Window menu does). No windows.h: the driver includes it too.
#pragma once

namespace standin {

// WM_COMMAND id of "make drawing N active" is kSwitchDrawingCommand + N - 1 (N from 1, in the
// order the drawings were opened).
constexpr unsigned kSwitchDrawingCommand = 0x100;
constexpr unsigned kMaxDrawingCommands = 64;

}  // namespace standin
