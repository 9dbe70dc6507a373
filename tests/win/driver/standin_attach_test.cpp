// Attaching to a running stand-in CAD the tool's way: GetActiveObject on the class a person's
// running CAD registered in the running object table, then late-bound property reads.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include "harness.h"

namespace driver {
namespace {

using Microsoft::WRL::ComPtr;

HRESULT attach(ComPtr<IDispatch>& app) {
    CLSID clsid{};
    ComPtr<IUnknown> unknown;
    HRESULT hr = CLSIDFromProgID(L"AutoCAD.Application", &clsid);
    if (SUCCEEDED(hr)) hr = GetActiveObject(clsid, nullptr, &unknown);
    return SUCCEEDED(hr) ? unknown.As(&app) : hr;
}

// The property by its name, found in any case.
VARIANT get(IDispatch* object, const wchar_t* name) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    if (SUCCEEDED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    return result;
}

TEST(Standin, AttachThroughTheRunningObjectTable) {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    Process standin;  // ended after its objects are released
    ComPtr<IDispatch> app;
    EXPECT_EQ(attach(app), MK_E_UNAVAILABLE) << "nothing to attach to before the stand-in runs";
    ASSERT_TRUE(standin.start(arg(0)));
    ASSERT_TRUE(waitFor([&] { return SUCCEEDED(attach(app)); }, 30s));
    VARIANT caption = get(app.Get(), L"caption"), document = get(app.Get(), L"ActiveDocument");
    const std::vector<HWND> windows = windowsOf(standin.id(), nullptr);
    ASSERT_TRUE(caption.vt == VT_BSTR && !windows.empty());
    EXPECT_EQ(std::wstring(caption.bstrVal, SysStringLen(caption.bstrVal)), windowText(windows[0])) << "window title";
    EXPECT_TRUE(document.vt == VT_DISPATCH && document.pdispVal) << "ActiveDocument is a drawing";
    VariantClear(&caption);
    VariantClear(&document);
}

}  // namespace
}  // namespace driver
