#include "app/field_memory.h"

#include <optional>
#include <string>

#include "app/field_memory_rules.h"
#include "win/handle_owners.h"
#include "win/window_ops.h"

namespace app {
namespace {

// The value's data as text: nullopt when it is missing or not a string.
std::optional<std::wstring> readString(HKEY key, const wchar_t* name) {
    DWORD bytes = 0;
    LSTATUS status = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes);  // its size
    // Read again when the value grew between the size and the read.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
        bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        status = RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, data.data(), &bytes);
        if (status == ERROR_SUCCESS) {
            data.resize(bytes / sizeof(wchar_t));
            return data;
        }
    }
    return std::nullopt;
}

void restore(HKEY key, const wchar_t* name, HWND box) {
    const std::optional<std::wstring> stored = readString(key, name);
    if (const auto text = usableRememberedText(stored ? std::optional<std::wstring_view>(*stored) : std::nullopt))
        SetWindowTextW(box, text->c_str());
}

void store(HKEY key, const wchar_t* name, HWND box) {
    const std::wstring text = win::windowText(box);
    // A text too long to be put back is not kept either: the next start has the default.
    if (text.size() > kLongestRememberedText) {
        (void)RegDeleteValueW(key, name);
        return;
    }
    (void)RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

void restoreFields(HWND scaleFactorBox, HWND decimalsBox) {
    win::RegistryKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kFieldsKey, 0, KEY_QUERY_VALUE, key.address()) != ERROR_SUCCESS) return;
    restore(key.get(), kScaleFactorValue, scaleFactorBox);
    restore(key.get(), kDecimalsValue, decimalsBox);
}

void rememberFields(HWND scaleFactorBox, HWND decimalsBox) {
    win::RegistryKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kFieldsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        key.address(), nullptr) != ERROR_SUCCESS)
        return;
    store(key.get(), kScaleFactorValue, scaleFactorBox);
    store(key.get(), kDecimalsValue, decimalsBox);
}

void forgetFields() {
    (void)RegDeleteTreeW(HKEY_CURRENT_USER, kFieldsKey);
    DWORD subkeys = 1, values = 1;
    {
        win::RegistryKey maker;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kMakerKey, 0, KEY_QUERY_VALUE, maker.address()) != ERROR_SUCCESS ||
            RegQueryInfoKeyW(maker.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
    }
    if (subkeys == 0 && values == 0) (void)RegDeleteKeyW(HKEY_CURRENT_USER, kMakerKey);
}

}  // namespace app
