// The promotion window: a borderless topmost window at a screen edge holding a download
// page, with close and minimise glyphs, that docks behind its edge while not in use.
#pragma once

#include <windows.h>

#include <string>

#include "win/gdi_owners.h"
#include "win/picture.h"
#include "win/placement.h"
#include "win/twips.h"
#include "win/window_proc.h"
#include "promo/browser_host.h"
#include "promo/docking.h"

namespace promo {

class PromoWindow {
public:
    PromoWindow(Edge edge, const wchar_t* pagePath) : edge_(edge), pagePath_(pagePath) {}
    PromoWindow(const PromoWindow&) = delete;
    PromoWindow& operator=(const PromoWindow&) = delete;
    ~PromoWindow() { unload(); }

    // Shows the window modeless without activating it. The first show creates the window,
    // in its place at its edge and topmost.
    void show(HINSTANCE instance);
    // Destroys the on-screen window, its pane and its timers; a later show builds it anew.
    void unload();
    HWND hwnd() const { return hwnd_; }

    // The pointer is over this window or one of its children (seen by the thread's mouse hook).
    void pointerArrived();

private:
    friend LRESULT CALLBACK win::windowProcFor<PromoWindow>(HWND, UINT, WPARAM, LPARAM);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool create();
    void onCreate();
    void createControls();
    void createPane();
    win::TopmostPixels placementAtEdge() const;
    void onTimer(UINT_PTR id);
    void onWindowMoved(const WINDOWPOS& position);
    void armDocking();
    void dockNow();
    void onCommand(int id, int notification);
    void onDrawItem(const DRAWITEMSTRUCT& item);
    LRESULT answerLocationQuery() const;

    Edge edge_;
    const wchar_t* pagePath_;
    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND paneContainer_ = nullptr;
    win::TwipsPerPixel tpp_;
    win::Brush background_;
    win::Picture closeGlyph_;
    win::Picture minimiseGlyph_;
    BrowserPane pane_;
    bool dockingArmed_ = false;     // the start delay is over
    bool watchingPointer_ = false;  // revealed under the pointer: its leaving is watched for
    bool movingItself_ = false;     // a move of the docking's own, not one to react to
};

// The main window's start-up: shows the right edge window, then the left.
void showPromotionWindows(HINSTANCE instance);
// Takes both windows down (their panes with them) while COM is still initialised.
void unloadPromotionWindows();

}  // namespace promo
