// The browser pane of a promotion window: the shell's WebBrowser control in a small
// hand-written OLE site, inside a child window of the promotion window. The pane is quiet
// (no dialog, no ActiveX, no download), keeps its pages to itself (a new window opens in the
// user's browser) and shows a blank page in the window's colour where a page fails to load.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <oleidl.h>
#include <wrl/client.h>

#include <string>

namespace promo {

class BrowserPane {
public:
    BrowserPane() = default;
    BrowserPane(const BrowserPane&) = delete;
    BrowserPane& operator=(const BrowserPane&) = delete;
    ~BrowserPane() { close(); }

    // Creates the control, sized to the client area of `container`, silent and connected to
    // the pane's events, and activates it in place; `background` is the colour of the blank
    // page. On failure nothing is left behind and the pane stays empty.
    [[nodiscard]] HRESULT create(HWND container, COLORREF background);
    // Starts loading the address; returns at once.
    [[nodiscard]] HRESULT navigate(const wchar_t* url);
    // The address the control holds, empty without a control.
    std::wstring locationUrl() const;
    bool created() const { return browser_ != nullptr; }
    // Disconnects the events, deactivates, detaches the site, closes and releases the
    // control: creation in reverse.
    void close();

    // The end-to-end tests' way in (the probes of promo_window_ids.h); 0 without a control.
    LRESULT answerProbe(WPARAM probe, LPARAM argument);

private:
    Microsoft::WRL::ComPtr<IOleObject> object_;
    Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
    Microsoft::WRL::ComPtr<IOleClientSite> site_;
    Microsoft::WRL::ComPtr<IConnectionPoint> events_;
    DWORD eventsCookie_ = 0;
};

}  // namespace promo
