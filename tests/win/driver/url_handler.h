// Points a URL scheme of the test prefix at another program for the life of the object.
#pragma once

#include <windows.h>

#include <string>

namespace driver {

// Wine 8 reads URL handlers from HKCR only (HKCU\Software\Classes is not merged in), so the
// recorder replaces the prefix's handler for the run and the old command is put back after.
class HandlerOverride {
public:
    HandlerOverride(const std::wstring& scheme, const std::wstring& command);
    HandlerOverride(const HandlerOverride&) = delete;
    HandlerOverride& operator=(const HandlerOverride&) = delete;
    ~HandlerOverride();
    bool ok() const { return ok_; }

private:
    std::wstring key_;
    std::wstring old_;
    bool hadOld_ = false;
    bool ok_ = false;
};

}  // namespace driver
