// The shared owners under the stand-in's short names, and UTF-8 to UTF-16 text.
#pragma once

#include <string>

#include "win/com_owners.h"
#include "win/gdi_owners.h"
#include "win/handle_owners.h"

namespace standin {

using win::Bstr;
using win::Variant;

std::wstring widen(const std::string& utf8);

}  // namespace standin
