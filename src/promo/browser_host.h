// The browser pane of a promotion window: the shell's WebBrowser control in a small
// hand-written OLE site, inside a child window of the promotion window.
#pragma once

#include <windows.h>
#include <exdisp.h>
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

    // Creates the control, sized to the client area of `container`, and activates it in
    // place. On failure nothing is left behind and the pane stays empty.
    [[nodiscard]] HRESULT create(HWND container);
    // Starts loading the address; returns at once.
    [[nodiscard]] HRESULT navigate(const wchar_t* url);
    // The address the control holds, empty without a control.
    std::wstring locationUrl() const;
    bool created() const { return browser_ != nullptr; }
    // Deactivates, detaches the site, closes and releases the control: creation in reverse.
    void close();

private:
    Microsoft::WRL::ComPtr<IOleObject> object_;
    Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
    Microsoft::WRL::ComPtr<IOleClientSite> site_;
};

}  // namespace promo
