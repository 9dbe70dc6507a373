// Stands in for the browser and the mail program in the end-to-end tests: registered as the
// http and mailto handler of the test prefix, it appends one line per start to a log:
// its own creation time (FILETIME, 100 ns ticks) and the address it was given.
// Usage: url_recorder LOGFILE ADDRESS
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const unsigned long long ticks = (static_cast<unsigned long long>(created.dwHighDateTime) << 32) |
                                     created.dwLowDateTime;
    std::wstring line = std::to_wstring(ticks);
    // Every argument after the log, so that a stray extra argument shows in the log.
    for (int i = 2; i < argc; ++i) line += std::wstring(L"\t") + argv[i];
    line += L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), size, nullptr,
                        nullptr);
    // Several handlers may start close together: retry while another holds the file.
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE file = CreateFileW(argv[1], FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
            CloseHandle(file);
            break;
        }
        Sleep(20);
    }
    LocalFree(argv);
    return 0;
}
