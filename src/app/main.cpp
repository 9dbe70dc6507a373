// Process start: the main window and the message loop.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "app/main_window.h"
#include "promo/promo_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // The browser panes and the pictures use COM on the user-interface thread; the CAD is
    // reached from a thread of its own.
    if (FAILED(OleInitialize(nullptr))) return 1;
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    int exitCode = 1;
    {
        app::MainWindow mainWindow;
        if (mainWindow.create(instance)) {
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
    OleUninitialize();
    return exitCode;
}
