#include "win/registration.h"

#include <objbase.h>

#include <string>

#include "rules/text.h"
#include "win/com_util.h"
#include "win/session.h"

namespace standin {
namespace {

std::wstring clsidText() {
    wchar_t buffer[64] = {};
    StringFromGUID2(kStandinClsid, buffer, 64);
    return buffer;
}

class RegKey {
public:
    RegKey() = default;
    ~RegKey() {
        if (key_) RegCloseKey(key_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// The default value of a key, or empty when the key or value is missing.
std::wstring defaultValue(HKEY root, const std::wstring& path) {
    RegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS) return {};
    wchar_t buffer[512] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return buffer;
}

bool keyExists(HKEY root, const std::wstring& path) {
    RegKey key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.out()) == ERROR_SUCCESS;
}

LSTATUS setDefault(HKEY root, const std::wstring& path, const std::wstring& value) {
    RegKey key;
    LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.out(), nullptr);
    if (status != ERROR_SUCCESS) return status;
    return RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring modulePath() {
    wchar_t buffer[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH * 2);
    return buffer;
}

LSTATUS writeRegistration(HKEY classes, const std::wstring& progId) {
    const std::wstring clsid = clsidText();
    const std::wstring classKey = L"CLSID\\" + clsid;
    LSTATUS status = setDefault(classes, classKey, L"Stand-in CAD application");
    if (status == ERROR_SUCCESS) status = setDefault(classes, classKey + L"\\LocalServer32", L"\"" + modulePath() + L"\"");
    if (status == ERROR_SUCCESS) status = setDefault(classes, classKey + L"\\ProgID", progId);
    if (status == ERROR_SUCCESS) status = setDefault(classes, progId, L"Stand-in CAD application");
    if (status == ERROR_SUCCESS) status = setDefault(classes, progId + L"\\CLSID", clsid);
    return status;
}

HKEY openClasses(HKEY root) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

}  // namespace

int registerServer(const std::wstring& progId) {
    if (!isProgId(progId)) {
        report(L"cadstandin: not registering: \"" + progId + L"\" is not a class name");
        return 2;
    }
    const std::wstring clsid = clsidText();
    const std::wstring existing = defaultValue(HKEY_CLASSES_ROOT, progId + L"\\CLSID");
    // Any other key of that name (another class's, or no class at all, such as "Interface") stays.
    if (keyExists(HKEY_CLASSES_ROOT, progId) && !equalsIgnoreCase(existing, clsid)) {
        report(L"cadstandin: not registering: \"" + progId + L"\" is already registered to " +
               (existing.empty() ? L"something that is not a class"
                                 : existing + L" (" +
                                       defaultValue(HKEY_CLASSES_ROOT, L"CLSID\\" + existing + L"\\LocalServer32") +
                                       L")") +
               L"; the stand-in never replaces another program's registration");
        return 2;
    }
    // Machine-wide when allowed (Wine prefixes always are), else for the current user.
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        HKEY classes = openClasses(root);
        if (!classes) continue;
        const LSTATUS status = writeRegistration(classes, progId);
        RegCloseKey(classes);
        if (status == ERROR_SUCCESS) {
            report(L"cadstandin: registered " + progId + L" -> " + clsid + L" -> " + modulePath());
            return 0;
        }
    }
    report(L"cadstandin: the registry could not be written");
    return 1;
}

int unregisterServer(const std::wstring& progId) {
    if (!isProgId(progId)) {
        report(L"cadstandin: not unregistering: \"" + progId + L"\" is not a class name");
        return 2;
    }
    const std::wstring clsid = clsidText();
    const std::wstring classKey = L"CLSID\\" + clsid;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        HKEY classes = openClasses(root);
        if (!classes) continue;
        const std::wstring owner = defaultValue(classes, progId + L"\\CLSID");
        if (equalsIgnoreCase(owner, clsid)) {
            RegDeleteTreeW(classes, progId.c_str());
        } else if (!owner.empty()) {
            report(L"cadstandin: leaving \"" + progId + L"\" alone: it belongs to " + owner);
        }
        // The class stays while another of its names still leads to it: the default name, or
        // the name registered last.
        std::wstring kept;
        for (const std::wstring& name : {std::wstring(kDefaultProgId), defaultValue(classes, classKey + L"\\ProgID")})
            if (!name.empty() && equalsIgnoreCase(defaultValue(classes, name + L"\\CLSID"), clsid)) kept = name;
        if (kept.empty()) RegDeleteTreeW(classes, classKey.c_str());
        else (void)setDefault(classes, classKey + L"\\ProgID", kept);
        RegCloseKey(classes);
    }
    report(L"cadstandin: unregistered " + progId);
    return 0;
}

}  // namespace standin
