#include "url_handler.h"

namespace driver {

HandlerOverride::HandlerOverride(const std::wstring& scheme, const std::wstring& command)
    : key_(scheme + L"\\shell\\open\\command") {
    HKEY k = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &k,
                        nullptr))
        return;
    wchar_t old[1024] = {};
    DWORD size = sizeof(old) - sizeof(wchar_t);
    DWORD type = 0;
    hadOld_ = RegQueryValueExW(k, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS &&
              type == REG_SZ;
    if (hadOld_) old_ = old;
    ok_ = RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                         static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    RegCloseKey(k);
}

HandlerOverride::~HandlerOverride() {
    HKEY k = nullptr;
    if (!ok_ || RegOpenKeyExW(HKEY_CLASSES_ROOT, key_.c_str(), 0, KEY_WRITE, &k)) return;
    if (hadOld_)
        RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.c_str()),
                       static_cast<DWORD>((old_.size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(k, nullptr);
    RegCloseKey(k);
}

}  // namespace driver
