// Reading the straight-line geometry of an ASCII DXF file: LINE, LWPOLYLINE (bulges are
// ignored: arcs are drawn as their chords) and POLYLINE/VERTEX/SEQEND. Everything else is
// skipped. Plain code: no windows.h, unit-tested natively.
#pragma once

#include <string>
#include <string_view>

#include "rules/geometry.h"

namespace standin {

struct DxfResult {
    Geometry geometry;
    int entitiesRead = 0;   // LINE, LWPOLYLINE and POLYLINE entities taken over
    std::string error;      // empty when the file could be read
};

// Reads the file's text (LF or CRLF lines, group codes with blanks around them, a missing
// EOF marker). Only the ENTITIES section is drawn; a file without sections is read whole.
// A group code that is not a number, or a code without a value line, is an error.
DxfResult readDxf(std::string_view text);

}  // namespace standin
