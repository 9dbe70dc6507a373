// The journal: one JSON object per line, appended and written through at once, so a test
// can read it while the stand-in runs and after it died.
#pragma once

#include <string>

#include "win/com_util.h"

namespace standin {

class Journal {
public:
    bool open(const std::wstring& path);
    bool isOpen() const { return static_cast<bool>(file_); }
    // Writes one line (a JSON object without its line end).
    void write(const std::string& line);

private:
    win::KernelHandle file_;
};

// A short JSON description of a VARIANT: {"vt":N,"type":"...","value":...}; by-reference
// values are followed to what they point at.
std::string variantJson(const VARIANT& v);

}  // namespace standin
