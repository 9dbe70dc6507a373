#include "promo/browser_host.h"

#include <exdispid.h>
#include <idispids.h>
#include <mshtml.h>
#include <mshtmdid.h>
#include <mshtmhst.h>
#include <shobjidl.h>

#include <cwchar>
#include <new>
#include <utility>

#include "win/window_ops.h"
#include "promo/browser_rules.h"
#include "promo/promo_window_ids.h"
#include "win/com_object.h"
#include "win/com_owners.h"

namespace promo {
namespace {

using Microsoft::WRL::ComPtr;

using win::Bstr;
using win::Variant;

constexpr wchar_t kBlankPage[] = L"about:blank";

// Images, video and background sound as by default; no ActiveX, Java or behaviours, and the
// engine's own prompts kept quiet.
constexpr LONG kDownloadControl = DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS | DLCTL_SILENT |
                                  DLCTL_NO_DLACTIVEXCTLS | DLCTL_NO_RUNACTIVEXCTLS | DLCTL_NO_JAVA |
                                  DLCTL_NO_BEHAVIORS;

HRESULT navigateTo(IWebBrowser2* browser, const wchar_t* url) {
    Bstr address(url);
    if (!address.get()) return E_OUTOFMEMORY;
    // The address alone: flags, target frame, post data and headers stay empty.
    Variant flags, frame, postData, headers;
    return browser->Navigate(address.get(), flags.get(), frame.get(), postData.get(), headers.get());
}

// Event arguments arrive last first; each is read only when it has the expected type.
const wchar_t* textArgument(const DISPPARAMS& params, UINT index) {
    if (index >= params.cArgs) return nullptr;
    const VARIANT& v = params.rgvarg[index];
    if (v.vt == VT_BSTR) return v.bstrVal;
    if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal && v.pvarVal->vt == VT_BSTR) return v.pvarVal->bstrVal;
    return nullptr;
}

void cancel(DISPPARAMS& params, UINT index) {
    if (index < params.cArgs && params.rgvarg[index].vt == (VT_BYREF | VT_BOOL) && params.rgvarg[index].pboolVal)
        *params.rgvarg[index].pboolVal = VARIANT_TRUE;
}

bool sameObject(IUnknown* a, IUnknown* b) {
    ComPtr<IUnknown> first, second;
    return a && b && SUCCEEDED(a->QueryInterface(IID_PPV_ARGS(&first))) &&
           SUCCEEDED(b->QueryInterface(IID_PPV_ARGS(&second))) && first == second;
}

// The engine picks its document mode when it loads, from the per-program setting under the
// user's key: written before the first pane, for this program's own file name. A value that
// is there already (the user's, or an earlier start's) is kept.
void requestNewestDocumentMode() {
    static bool requested = false;
    if (std::exchange(requested, true)) return;
    wchar_t path[1024];
    const DWORD length = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    if (length == 0 || length >= ARRAYSIZE(path)) return;
    const wchar_t* name = fileNameOf({path, length}).data();  // the end of `path`: zero-terminated
    constexpr wchar_t kSetting[] =
        L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
    DWORD value = 0, size = sizeof(value);
    if (!*name || RegGetValueW(HKEY_CURRENT_USER, kSetting, name, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
                      ERROR_SUCCESS)
        return;
    constexpr wchar_t kEngine[] = L"Software\\Microsoft\\Internet Explorer";
    wchar_t service[64] = L"", version[64] = L"";
    size = sizeof(service);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kEngine, L"svcVersion", RRF_RT_REG_SZ, nullptr, service, &size)) service[0] = 0;
    size = sizeof(version);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kEngine, L"Version", RRF_RT_REG_SZ, nullptr, version, &size)) version[0] = 0;
    value = browserEmulationFor(service, version);
    (void)RegSetKeyValueW(HKEY_CURRENT_USER, kSetting, name, REG_DWORD, &value, sizeof(value));
}

// The site the control talks to, and the sink of its events. It lives on the heap and goes
// when the control and the pane have both released it. Every method is noexcept: nothing may
// unwind into the control.
class Site final : public win::ComObject<IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame, IDocHostUIHandler,
                                         IDocHostShowUI, IDispatch> {
public:
    Site(HWND container, COLORREF background) : container_(container), background_(background) {}

    // The control, not owned: the pane holds it, and detaches it before letting it go.
    void attach(IWebBrowser2* browser) { browser_ = browser; }
    void detach() { browser_ = nullptr; }
    // The address whose failure the blank page covers; empty while none failed.
    const wchar_t* failedAddress() const { return failedAddress_; }

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

    // IDocHostShowUI: the page's message boxes and help are taken as shown; a question is
    // answered with Cancel.
    STDMETHODIMP ShowMessage(HWND, LPOLESTR, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT* result) noexcept override {
        if (result) *result = IDCANCEL;
        return S_OK;
    }
    STDMETHODIMP ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) noexcept override { return S_OK; }

    // IDispatch: the ambient properties the control asks its site for, and DWebBrowserEvents2.
    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) noexcept override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) noexcept override {
        if (id == DISPID_AMBIENT_DLCONTROL || id == DISPID_AMBIENT_SILENT) {
            if (!result) return E_POINTER;
            VariantInit(result);
            if (id == DISPID_AMBIENT_SILENT) {
                result->vt = VT_BOOL;
                result->boolVal = VARIANT_TRUE;
            } else {
                result->vt = VT_I4;
                result->lVal = kDownloadControl;
            }
            return S_OK;
        }
        if (id < 0) return DISP_E_MEMBERNOTFOUND;  // other ambient properties: the control's defaults
        if (params) onEvent(id, *params);
        return S_OK;
    }

private:
    ~Site() override = default;  // only Release deletes

    // IOleWindow is the base of both the in-place site and the frame; the control's events
    // come to the IDispatch.
    void* otherInterface(REFIID iid) noexcept override {
        if (iid == IID_IOleWindow) return static_cast<IOleInPlaceSite*>(this);
        if (iid == IID_IOleInPlaceUIWindow) return static_cast<IOleInPlaceFrame*>(this);
        if (iid == DIID_DWebBrowserEvents2) return static_cast<IDispatch*>(this);
        return nullptr;
    }

    void onEvent(DISPID id, DISPPARAMS& params) {
        switch (id) {
        case DISPID_NEWWINDOW3: {
            // The pane opens no window of its own. A web address the user asked for goes to the
            // user's browser; a window that a script opens by itself goes nowhere.
            cancel(params, 3);
            const wchar_t* address = textArgument(params, 0);
            const VARIANT* flags = params.cArgs > 2 ? &params.rgvarg[2] : nullptr;
            const bool userAsked = flags && (flags->vt == VT_I4 || flags->vt == VT_UI4) && flags->lVal & NWMF_USERINITED;
            if (userAsked && address && opensInUserBrowser(address)) win::shellOpen(container_, address);
            break;
        }
        case DISPID_NEWWINDOW2:
            // It brings no address: where NewWindow3 follows with one, that one decides.
            if (!engineRaisesNewWindow3()) cancel(params, 0);
            break;
        case DISPID_FILEDOWNLOAD:
            // Raised for every page too, with ActiveDocument true: only a download is stopped.
            if (params.cArgs >= 2 && !(params.rgvarg[1].vt == VT_BOOL && params.rgvarg[1].boolVal)) cancel(params, 0);
            break;
        case DISPID_NAVIGATEERROR:
            onNavigateError(params);
            break;
        case DISPID_DOCUMENTCOMPLETE:
            onDocumentComplete(params);
            break;
        default:
            break;
        }
    }

    bool isTopLevel(const DISPPARAMS& params, UINT index) const {
        return index < params.cArgs && params.rgvarg[index].vt == VT_DISPATCH &&
               sameObject(params.rgvarg[index].pdispVal, browser_);
    }

    // Never the engine's error page. A page that failed gives way to the blank page; a frame
    // that failed stays empty; the blank page failing too is left at that.
    void onNavigateError(DISPPARAMS& params) {
        cancel(params, 0);
        const wchar_t* address = textArgument(params, 3);
        if (!browser_ || !isTopLevel(params, 4) || !address || !std::wcscmp(address, kBlankPage)) return;
        (void)wcsncpy_s(failedAddress_, address, _TRUNCATE);
        (void)navigateTo(browser_, kBlankPage);
    }

    // The blank page takes the window's colour.
    void onDocumentComplete(const DISPPARAMS& params) {
        const wchar_t* address = textArgument(params, 0);
        if (!browser_ || !isTopLevel(params, 1) || !address || std::wcscmp(address, kBlankPage)) return;
        ComPtr<IDispatch> document;
        ComPtr<IHTMLDocument2> page;
        if (FAILED(browser_->get_Document(&document)) || !document || FAILED(document.As(&page))) return;
        Bstr colour(htmlColour(background_).data());
        VARIANT value;  // borrows colour's string
        VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = colour.get();
        (void)page->put_bgColor(value);
    }

    // Whether the engine's event interface has NewWindow3; asked once. Every Windows the tool
    // supports has it, so an engine that cannot say is taken to have it.
    bool engineRaisesNewWindow3() {
        if (newWindow3Known_) return newWindow3_;
        newWindow3Known_ = true;
        ComPtr<ITypeInfo> browserType, events;
        ComPtr<ITypeLib> library;
        UINT index = 0;
        if (!browser_ || FAILED(browser_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &browserType)) ||
            FAILED(browserType->GetContainingTypeLib(&library, &index)) ||
            FAILED(library->GetTypeInfoOfGuid(DIID_DWebBrowserEvents2, &events)))
            return newWindow3_ = true;
        wchar_t name[] = L"NewWindow3";
        LPOLESTR names[] = {name};
        MEMBERID member = 0;
        return newWindow3_ = SUCCEEDED(events->GetIDsOfNames(names, 1, &member));
    }

    HWND container_;
    COLORREF background_;
    IWebBrowser2* browser_ = nullptr;
    wchar_t failedAddress_[2084] = L"";  // the longest address the engine takes
    bool newWindow3Known_ = false;
    bool newWindow3_ = true;
};

Site& siteOf(IOleClientSite* site) { return *static_cast<Site*>(site); }

}  // namespace

HRESULT BrowserPane::create(HWND container, COLORREF background) {
    close();
    if (!win::useOle()) return CO_E_NOTINITIALIZED;
    requestNewestDocumentMode();
    ComPtr<IOleClientSite> site = win::makeComObject<Site>(container, background);
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
    object_ = std::move(object);
    site_ = std::move(site);
    // A pane that cannot be kept quiet and to itself is not shown at all.
    ComPtr<IWebBrowser2> browser;
    ComPtr<IConnectionPointContainer> points;
    if (FAILED(hr = object_.As(&browser)) || FAILED(hr = browser->put_Silent(VARIANT_TRUE)) ||
        FAILED(hr = browser.As(&points)) || FAILED(hr = points->FindConnectionPoint(DIID_DWebBrowserEvents2, &events_)) ||
        FAILED(hr = events_->Advise(static_cast<IDispatch*>(&siteOf(site_.Get())), &eventsCookie_))) {
        close();
        return hr;
    }
    siteOf(site_.Get()).attach(browser.Get());
    browser_ = std::move(browser);
    return S_OK;
}

HRESULT BrowserPane::navigate(const wchar_t* url) {
    if (!browser_) return E_UNEXPECTED;
    return navigateTo(browser_.Get(), url);
}

std::wstring BrowserPane::locationUrl() const {
    if (!browser_) return {};
    Bstr url;
    if (FAILED(browser_->get_LocationURL(url.put())) || !url.get()) return {};
    return std::wstring(url.get(), SysStringLen(url.get()));
}

void BrowserPane::close() {
    if (events_) {
        (void)events_->Unadvise(eventsCookie_);
        events_.Reset();
        eventsCookie_ = 0;
    }
    if (site_) siteOf(site_.Get()).detach();
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

LRESULT BrowserPane::answerProbe(WPARAM probe, LPARAM argument) {
    if (!browser_) return 0;
    switch (probe) {
    case ProbeSilent: {
        VARIANT_BOOL silent = VARIANT_FALSE;
        return SUCCEEDED(browser_->get_Silent(&silent)) && silent == VARIANT_TRUE;
    }
    case ProbeDownloadControl: {  // asked as the control asks: of the site it holds
        ComPtr<IOleClientSite> site;
        ComPtr<IDispatch> ambient;
        DISPPARAMS none{};
        Variant value;
        if (FAILED(object_->GetClientSite(&site)) || !site || FAILED(site.As(&ambient)) ||
            FAILED(ambient->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                   value.get(), nullptr, nullptr)) ||
            value.get()->vt != VT_I4)
            return 0;
        return value.get()->lVal;
    }
    case ProbeFailedAddress: {
        const wchar_t* address = siteOf(site_.Get()).failedAddress();
        return *address ? GlobalAddAtomW(address) : 0;
    }
    default:
        break;
    }
    // The rest raise an event as the control does: through its connection to the pane.
    wchar_t address[256] = L"";
    if (probe == ProbeNewWindow3) GlobalGetAtomNameW(LOWORD(argument), address, ARRAYSIZE(address));
    Bstr url(address), context(L"");
    VARIANT_BOOL cancelled = VARIANT_FALSE;
    IDispatch* newWindow = nullptr;
    VARIANT args[5];  // last first; Cancel comes first in FileDownload and NewWindow2
    for (VARIANT& arg : args) VariantInit(&arg);
    args[0].vt = VT_BYREF | VT_BOOL;
    args[0].pboolVal = &cancelled;
    args[1].vt = VT_BYREF | VT_DISPATCH;  // the new window, for NewWindow2
    args[1].ppdispVal = &newWindow;
    DISPPARAMS params{args, nullptr, 2, 0};
    DISPID id = DISPID_NEWWINDOW2;
    if (probe == ProbeNewWindow3) {
        id = DISPID_NEWWINDOW3;
        args[4] = args[1];
        args[3] = args[0];
        args[2].vt = VT_I4;
        args[2].lVal = HIWORD(argument);
        args[1].vt = VT_BSTR, args[1].bstrVal = context.get();
        args[0].vt = VT_BSTR, args[0].bstrVal = url.get();
        params.cArgs = 5;
    } else if (probe == ProbeFileDownload) {
        id = DISPID_FILEDOWNLOAD;
        args[1].vt = VT_BOOL, args[1].boolVal = argument ? VARIANT_TRUE : VARIANT_FALSE;  // ActiveDocument
    } else if (probe != ProbeNewWindow2) {
        return 0;
    }
    ComPtr<IEnumConnections> sinks;
    CONNECTDATA sink{};
    if (events_ && SUCCEEDED(events_->EnumConnections(&sinks)))
        while (sinks->Next(1, &sink, nullptr) == S_OK) {
            ComPtr<IUnknown> held;
            win::adopt(held, sink.pUnk);
            ComPtr<IDispatch> target;
            if (SUCCEEDED(held.As(&target)))
                (void)target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        }
    if (newWindow) newWindow->Release();
    return cancelled == VARIANT_TRUE;
}

}  // namespace promo
