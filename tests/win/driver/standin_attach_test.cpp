// Attaching to a running stand-in CAD the tool's way: GetActiveObject on the class a person's
// running CAD registered in the running object table, then late-bound property reads.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include "harness.h"
#include "win/com_owners.h"

namespace driver {

using Microsoft::WRL::ComPtr;

static HRESULT attach(ComPtr<IDispatch>& app) {
    CLSID clsid{};
    ComPtr<IUnknown> unknown;
    HRESULT hr = CLSIDFromProgID(L"AutoCAD.Application", &clsid);
    if (SUCCEEDED(hr)) hr = GetActiveObject(clsid, nullptr, &unknown);
    return SUCCEEDED(hr) ? unknown.As(&app) : hr;
}

TEST(Standin, AttachThroughTheRunningObjectTable) {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    Process standin;  // ended after its objects are released
    ComPtr<IDispatch> app;
    EXPECT_EQ(attach(app), MK_E_UNAVAILABLE) << "nothing to attach to before the stand-in runs";
    ASSERT_TRUE(standin.start(arg(0)) && waitFor([&] { return SUCCEEDED(attach(app)); }, 30s));
    // Properties by name, found in any case.
    win::Variant answers[2];
    for (auto [name, value] : {std::pair{L"caption", answers[0].put()}, {L"ActiveDocument", answers[1].put()}}) {
        DISPID id = 0;
        DISPPARAMS none{};
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        if (SUCCEEDED(app->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
            app->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value, nullptr, nullptr);
    }
    const VARIANT values[2] = {*answers[0].get(), *answers[1].get()};  // views; `answers` owns them
    const std::vector<HWND> windows = windowsOf(standin.id(), nullptr);
    ASSERT_TRUE(values[0].vt == VT_BSTR && !windows.empty());
    EXPECT_EQ(std::wstring(values[0].bstrVal, SysStringLen(values[0].bstrVal)), windowText(windows[0])) << "title";
    EXPECT_TRUE(values[1].vt == VT_DISPATCH && values[1].pdispVal) << "ActiveDocument is a drawing";
}

}  // namespace driver
