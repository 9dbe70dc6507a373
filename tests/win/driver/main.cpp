// End-to-end test driver: runs one scenario against the real tool and prints a line per
// check and a closing "N passed, M failed". Usage: driver SCENARIO ARGS...
#include <windows.h>

#include <string>
#include <vector>

#include "harness.h"

namespace driver {
int mainWindowLayout(const std::wstring& tool, int dpi, const std::wstring& outDir);
int mainWindowCommands(const std::wstring& tool, int dpi, const std::wstring& outDir);
int aboutWindow(const std::wstring& tool, int dpi, const std::wstring& outDir, const std::wstring& recorder);
int standinAttach(const std::wstring& standin);
int promoDocking(const std::wstring& tool, int dpi, const std::wstring& outDir);
int promoShortScreen(const std::wstring& tool, const std::wstring& outDir);
int promoGlyphs(const std::wstring& tool, const std::wstring& outDir);
int pickSession(const std::wstring& tool, const std::wstring& resultPath, const std::vector<std::wstring>& steps);
int soak(const std::wstring& tool, const std::wstring& leakTarget, const std::wstring& recorder,
         const std::wstring& resultPath, const std::wstring& expectedList, int cycles, int helpToggles, int aboutShowings);
}

int wmain(int argc, wchar_t** argv) {
    SetProcessDPIAware();
    const std::wstring scenario = argc > 1 ? argv[1] : L"";
    if (scenario == L"layout" && argc == 5) return driver::mainWindowLayout(argv[2], _wtoi(argv[3]), argv[4]);
    if (scenario == L"commands" && argc == 5) return driver::mainWindowCommands(argv[2], _wtoi(argv[3]), argv[4]);
    if (scenario == L"about" && argc == 6)
        return driver::aboutWindow(argv[2], _wtoi(argv[3]), argv[4], argv[5]);
    if (scenario == L"standin-attach" && argc == 3) return driver::standinAttach(argv[2]);
    if (scenario == L"promo" && argc == 5) return driver::promoDocking(argv[2], _wtoi(argv[3]), argv[4]);
    if (scenario == L"promo-short" && argc == 4) return driver::promoShortScreen(argv[2], argv[3]);
    if (scenario == L"promo-glyphs" && argc == 4) return driver::promoGlyphs(argv[2], argv[3]);
    if (scenario == L"pick-session" && argc >= 4)
        return driver::pickSession(argv[2], argv[3], std::vector<std::wstring>(argv + 4, argv + argc));
    if (scenario == L"soak" && argc == 10)
        return driver::soak(argv[2], argv[3], argv[4], argv[5], argv[6], _wtoi(argv[7]), _wtoi(argv[8]), _wtoi(argv[9]));
    driver::print(L"usage: driver layout|commands TOOL.exe DPI OUTDIR, driver about TOOL.exe DPI OUTDIR RECORDER.exe,"
                  L" driver standin-attach CADSTANDIN.exe, driver pick-session TOOL.exe RESULT.json STEP...,"
                  L" or driver soak TOOL.exe LEAK_TARGET.exe RECORDER.exe RESULT.json LIST CYCLES HELPS ABOUTS");
    return 2;
}
