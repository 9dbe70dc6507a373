// Attaching to a running stand-in CAD through the running object table, the way the tool
// does (GetActiveObject on the class's CLSID), and reading its caption late-bound.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <utility>

#include "harness.h"

namespace driver {
namespace {

using Microsoft::WRL::ComPtr;
using namespace std::chrono_literals;

HRESULT attach(ComPtr<IDispatch>& app) {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(L"AutoCAD.Application", &clsid);
    if (FAILED(hr)) return hr;
    ComPtr<IUnknown> unknown;
    hr = GetActiveObject(clsid, nullptr, &unknown);
    return SUCCEEDED(hr) ? unknown.As(&app) : hr;
}

HRESULT getProperty(IDispatch* object, const wchar_t* name, VARIANT& result) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    DISPPARAMS none{};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
}

HWND visibleWindowOf(DWORD processId) {
    std::pair<DWORD, HWND> search{processId, nullptr};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<std::pair<DWORD, HWND>*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner != s->first || !IsWindowVisible(hwnd)) return TRUE;
            s->second = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

}  // namespace

int standinAttach(const std::wstring& standin) {
    Checks checks;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        checks.expect(false, L"COM initialised");
        return checks.summary();
    }
    {
        ComPtr<IDispatch> app;
        checks.expectEqual<unsigned>(static_cast<unsigned>(attach(app)), 0x800401E3u /*MK_E_UNAVAILABLE*/,
                                     L"nothing to attach to before the stand-in runs");
        Process process;
        checks.expect(process.start(standin), L"stand-in started by hand");
        checks.expect(waitFor([&] { return SUCCEEDED(attach(app)); }, 30s), L"attached through the running object table");
        if (app) {
            VARIANT caption;
            VariantInit(&caption);
            const HRESULT hr = getProperty(app.Get(), L"caption", caption);
            checks.expect(SUCCEEDED(hr) && caption.vt == VT_BSTR, L"Caption read late-bound (name in any case)");
            if (caption.vt == VT_BSTR) {
                const std::wstring text(caption.bstrVal, SysStringLen(caption.bstrVal));
                checks.expectEqual(text, windowText(visibleWindowOf(process.id())), L"Caption is the window's title");
            }
            VariantClear(&caption);
            VARIANT document;
            VariantInit(&document);
            checks.expect(SUCCEEDED(getProperty(app.Get(), L"ActiveDocument", document)) && document.vt == VT_DISPATCH &&
                              document.pdispVal,
                          L"ActiveDocument is a drawing");
            VariantClear(&document);
            app.Reset();
        }
        process.kill();
    }
    CoUninitialize();
    return checks.summary();
}

}  // namespace driver
