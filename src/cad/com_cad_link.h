// The CAD link over late-bound COM automation: attaches to (or starts) the running CAD,
// keeps the application and its active drawing, and makes every drawing call by name at
// the moment it is needed.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "cad/cad_class.h"
#include "cad/cad_link.h"

namespace cad {

// owner: the window that owns the failure box shown when the CAD cannot be started;
// className: the automation class attached to or started.
std::unique_ptr<CadLink> makeComCadLink(HWND owner, std::wstring className = kDefaultCadClass);

}  // namespace cad
