#include "promo/browser_host.h"

#include <mshtmhst.h>

#include <new>
#include <utility>

namespace promo {
namespace {

using Microsoft::WRL::ComPtr;

// Owns one BSTR; never copied.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : value_(SysAllocString(text)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }
    BSTR get() const { return value_; }
    BSTR* receive() {
        SysFreeString(std::exchange(value_, nullptr));
        return &value_;
    }

private:
    BSTR value_ = nullptr;
};

// Owns one VARIANT; never copied.
class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { (void)VariantClear(&value_); }
    VARIANT* get() { return &value_; }

private:
    VARIANT value_;
};

// The site the control talks to. It lives on the heap and goes when the control and the
// pane have both released it. Every method is noexcept: nothing may unwind into the control.
class Site final : public IOleClientSite,
                   public IOleInPlaceSite,
                   public IOleInPlaceFrame,
                   public IDocHostUIHandler {
public:
    explicit Site(HWND container) : container_(container) {}

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleClientSite)
            *out = static_cast<IOleClientSite*>(this);
        else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
            *out = static_cast<IOleInPlaceSite*>(this);
        else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
            *out = static_cast<IOleInPlaceFrame*>(this);
        else if (iid == IID_IDocHostUIHandler)
            *out = static_cast<IDocHostUIHandler*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() noexcept override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() noexcept override { return E_NOTIMPL; }

    // IOleWindow (shared by the in-place site and the frame)
    STDMETHODIMP GetWindow(HWND* out) noexcept override {
        if (!out) return E_POINTER;
        *out = container_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() noexcept override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() noexcept override { return S_OK; }
    STDMETHODIMP OnUIActivate() noexcept override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                  RECT* clip, OLEINPLACEFRAMEINFO* info) noexcept override {
        if (!frame || !document || !position || !clip || !info) return E_POINTER;
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *document = nullptr;
        GetClientRect(container_, position);
        *clip = *position;
        info->fMDIApp = FALSE;
        info->hwndFrame = container_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() noexcept override { return S_OK; }
    STDMETHODIMP DiscardUndoState() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() noexcept override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) noexcept override { return S_OK; }  // the pane's size is fixed

    // IOleInPlaceUIWindow / IOleInPlaceFrame: no menus, tool space or status bar to share.
    STDMETHODIMP GetBorder(LPRECT) noexcept override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) noexcept override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) noexcept override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) noexcept override { return S_OK; }
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) noexcept override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) noexcept override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) noexcept override { return S_OK; }  // also IDocHostUIHandler's
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) noexcept override { return S_FALSE; }

    // IDocHostUIHandler: no context menu, no 3-D border; everything else as the control likes.
    STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) noexcept override { return S_OK; }
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) noexcept override {
        if (!info) return E_POINTER;
        info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_NO3DOUTERBORDER;
        info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
        return S_OK;
    }
    STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                        IOleInPlaceUIWindow*) noexcept override {
        return S_OK;
    }
    STDMETHODIMP HideUI() noexcept override { return S_OK; }
    STDMETHODIMP UpdateUI() noexcept override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP OnFrameWindowActivate(BOOL) noexcept override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) noexcept override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) noexcept override { return S_FALSE; }
    STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD) noexcept override {
        if (key) *key = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetExternal(IDispatch** out) noexcept override {
        if (out) *out = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* out) noexcept override {
        if (out) *out = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** out) noexcept override {
        if (out) *out = nullptr;
        return S_FALSE;
    }

private:
    ~Site() = default;  // only Release deletes
    LONG refs_ = 1;
    HWND container_;
};

}  // namespace

HRESULT BrowserPane::create(HWND container) {
    close();
    ComPtr<IOleClientSite> site;
    site.Attach(new (std::nothrow) Site(container));  // starts with the one reference we keep
    if (!site) return E_OUTOFMEMORY;

    ComPtr<IOleObject> object;
    HRESULT hr = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
    if (FAILED(hr)) return hr;
    hr = object->SetClientSite(site.Get());
    if (FAILED(hr)) return hr;
    RECT area{};
    GetClientRect(container, &area);
    hr = object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, container, &area);
    if (FAILED(hr)) {
        (void)object->SetClientSite(nullptr);
        (void)object->Close(OLECLOSE_NOSAVE);
        return hr;
    }
    ComPtr<IWebBrowser2> browser;
    hr = object.As(&browser);
    object_ = std::move(object);
    site_ = std::move(site);
    if (FAILED(hr)) {
        close();
        return hr;
    }
    browser_ = std::move(browser);
    return S_OK;
}

HRESULT BrowserPane::navigate(const wchar_t* url) {
    if (!browser_) return E_UNEXPECTED;
    Bstr address(url);
    if (!address.get()) return E_OUTOFMEMORY;
    // The address alone: flags, target frame, post data and headers stay empty.
    Variant flags, frame, postData, headers;
    return browser_->Navigate(address.get(), flags.get(), frame.get(), postData.get(), headers.get());
}

std::wstring BrowserPane::locationUrl() const {
    if (!browser_) return {};
    Bstr url;
    if (FAILED(browser_->get_LocationURL(url.receive())) || !url.get()) return {};
    return std::wstring(url.get(), SysStringLen(url.get()));
}

void BrowserPane::close() {
    browser_.Reset();
    if (object_) {
        ComPtr<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(object_.As(&inPlace))) (void)inPlace->InPlaceDeactivate();
        (void)object_->SetClientSite(nullptr);
        (void)object_->Close(OLECLOSE_NOSAVE);
        object_.Reset();
    }
    site_.Reset();
}

}  // namespace promo
