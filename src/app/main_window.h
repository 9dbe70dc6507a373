// The main window: inputs, output box, command buttons, and the picture and instructions
// that lie below the short window.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "win/gdi_owners.h"
#include "win/picture.h"
#include "win/placement.h"
#include "win/twips.h"
#include "win/window_proc.h"
#include "cad/cad_worker.h"
#include "cad/pick_commands.h"

namespace app {

class MainWindow {
public:
    MainWindow() = default;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // cadClass: the automation class the picking commands attach to.
    bool create(HINSTANCE instance, std::wstring cadClass);
    void show(int showCommand);
    HWND hwnd() const { return hwnd_; }

private:
    friend LRESULT CALLBACK win::windowProcFor<MainWindow>(HWND, UINT, WPARAM, LPARAM);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void onCreate();
    void createControls();
    void startUp();
    void buildBelowShortWindow();
    LRESULT onCtlColorStatic(HDC dc, HWND control);
    LRESULT onCtlColorEdit(HDC dc, HWND control);
    void onDrawItem(const DRAWITEMSTRUCT& item);
    void onActivate(bool active);
    void onCommand(int id, int notification);
    void onFieldFocus(HWND field, bool gained);
    void onHelp();
    // Remembers the two boxes' texts and ends the process: it never returns.
    [[noreturn]] void onExit();
    void onInitialiseOrigin();
    void onPickNodes();
    // False when a command already runs or the CAD's thread could not take it.
    bool startCommand(cad::CadWorker::Command command);
    void onCommandDone(LPARAM carried);
    void applyOutcome(const cad::CommandOutcome& outcome);
    std::wstring controlText(int id) const;

    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND lastFocus_ = nullptr;
    bool reactivating_ = false;  // the focus goes back where it was, not moved by the user
    win::TwipsPerPixel tpp_;
    win::Font uiFont_;
    win::Font buttonFont_;
    win::Font instructionsFont_;  // set only where the instructions need a smaller font to fit
    win::Picture sectionPicture_;
    win::Brush highlightBrush_;        // the pale green of the text box holding the focus
    HWND highlighted_ = nullptr;  // that text box, if one of the three holds the focus
    win::HelpToggle help_;
    std::wstring cadClass_;  // the automation class the CAD link attaches to or starts
    // The thread that holds the CAD link, the relative origin and the group; made at the
    // first command, it lives as long as the window.
    std::unique_ptr<cad::CadWorker> cad_;
    bool commandRunning_ = false;  // a picking command is on the CAD's thread
};

}  // namespace app
