#include "win/registration.h"

#include <objbase.h>

#include <string>

#include "rules/text.h"
#include "win/com_util.h"
#include "win/session.h"

namespace standin {
namespace {

// Messages go to standard error when there is one (a console or a redirected run) and to
// standin.log in the data folder, since a GUI program started from a shell may have none.
void report(const std::wstring& message) {
    const std::string line = toUtf8(message) + "\r\n";
    DWORD written = 0;
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err && err != INVALID_HANDLE_VALUE) WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    const std::wstring folder = dataFolder();
    CreateDirectoryW(folder.c_str(), nullptr);
    Handle log(CreateFileW((folder + L"\\standin.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (log) WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

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
    const std::wstring clsid = clsidText();
    const std::wstring existing = defaultValue(HKEY_CLASSES_ROOT, progId + L"\\CLSID");
    if (!existing.empty() && !equalsIgnoreCase(existing, clsid)) {
        report(L"cadstandin: not registering: \"" + progId + L"\" is already registered to " + existing +
               L" (" + defaultValue(HKEY_CLASSES_ROOT, L"CLSID\\" + existing + L"\\LocalServer32") +
               L"); the stand-in never replaces another program's registration");
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
    const std::wstring clsid = clsidText();
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        HKEY classes = openClasses(root);
        if (!classes) continue;
        const std::wstring owner = defaultValue(classes, progId + L"\\CLSID");
        if (equalsIgnoreCase(owner, clsid)) {
            RegDeleteTreeW(classes, progId.c_str());
        } else if (!owner.empty()) {
            report(L"cadstandin: leaving \"" + progId + L"\" alone: it belongs to " + owner);
        }
        RegDeleteTreeW(classes, (L"CLSID\\" + clsid).c_str());
        RegCloseKey(classes);
    }
    report(L"cadstandin: unregistered " + clsid);
    return 0;
}

}  // namespace standin
