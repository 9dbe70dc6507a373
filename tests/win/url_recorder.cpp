// Stands in for the browser and the mail program in the end-to-end tests: registered as the
// test prefix's http and mailto handler, it appends a line per start to a log: every argument
// after the log's path, tab-separated, so that a stray extra one shows.
// Usage: url_recorder LOGFILE ADDRESS
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "win/handle_owners.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    std::wstring line;
    for (int i = 2; i < argc; ++i) line += (i > 2 ? L"\t" : L"") + std::wstring(argv[i]);
    line += L"\n";
    char utf8[8192];
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8, sizeof utf8,
                                         nullptr, nullptr);
    // Several handlers may start close together: retry while another holds the file.
    for (int attempt = 0; attempt < 100; ++attempt, Sleep(20)) {
        const win::KernelHandle file(
            CreateFileW(argv[1], FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) continue;
        DWORD written = 0;
        WriteFile(file.get(), utf8, static_cast<DWORD>(size), &written, nullptr);
        break;
    }
    return 0;
}
