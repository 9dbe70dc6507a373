// Process start: the main window and the message loop.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/field_memory.h"
#include "app/field_memory_rules.h"
#include "app/main_window.h"
#include "cad/cad_class.h"
#include "promo/promo_window.h"
#include "win/window_ops.h"

namespace {

// [cad] class=NAME in pontiro.ini beside the executable: a shortcut or a double-click then
// attaches to a compatible CAD without any argument.
std::wstring cadClassSetting() {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = 0;
    // A path longer than the buffer comes back cut short: grow it till the whole path fits.
    while ((length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()))) == path.size()) {
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
    if (length == 0) return {};
    path.resize(length);
    path.replace(path.find_last_of(L'\\') + 1, std::wstring::npos, L"pontiro.ini");
    wchar_t value[256] = L"";
    GetPrivateProfileStringW(L"cad", L"class", L"", value, 256, path.c_str());
    return value;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int showCommand) {
    // OLE is started by the first browser pane or picture, once the main window is up
    // (win::useOle); the CAD is reached from a thread of its own.
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    int exitCode = 1;
    if (app::asksForReset(arguments ? arguments : L"")) app::forgetFields();
    {
        app::MainWindow mainWindow;
        if (mainWindow.create(instance, cad::chooseCadClass(arguments ? arguments : L"", cadClassSetting()))) {
            mainWindow.show(showCommand);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                if (IsDialogMessageW(mainWindow.hwnd(), &msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            exitCode = static_cast<int>(msg.wParam);
        }
        // Their browser panes must go while COM is still initialised.
        promo::unloadPromotionWindows();
    }
    win::endOle();
    return exitCode;
}
