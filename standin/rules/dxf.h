// Reading the entities of an ASCII DXF file: LINE, LWPOLYLINE, POLYLINE/VERTEX/SEQEND (2D and
// 3D; polygon and polyface meshes are skipped) and CIRCLE. Everything else is skipped.
// Plain code: no windows.h, unit-tested natively.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rules/entities.h"

namespace standin {

struct DxfResult {
    std::vector<Entity> entities;  // in file order, each with its handle (group 5, else given)
    std::string error;             // empty when the file could be read
};

// Reads the file's text (LF or CRLF lines, group codes with blanks around them, a missing
// EOF marker). Only the ENTITIES section is read; a file without sections is read whole.
// A group code that is not a number, or a code without a value line, is an error.
DxfResult readDxf(std::string_view text);

}  // namespace standin
