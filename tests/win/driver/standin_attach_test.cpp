// Attaching to a running stand-in CAD the tool's way: GetActiveObject on the class a person's
// running CAD registered in the running object table, then late-bound calls across processes.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// A late-bound call; `args` in the caller's order.
static HRESULT invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
                      VARIANT* result = nullptr) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr)) return hr;
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    EXCEPINFO info{};
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &info, nullptr);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    return hr;
}

// A by-reference argument; the Variant it refers to owns what is in it.
static VARIANT ref(win::Variant& variable) {
    VARIANT v{};
    v.vt = VT_BYREF | VT_VARIANT;
    v.pvarVal = variable.get();
    return v;
}
static std::vector<double> doubles(const VARIANT& v) {
    std::vector<double> out;
    if (v.vt != (VT_ARRAY | VT_R8)) return out;
    for (LONG i = 0; i <= LONG(v.parray->rgsabound[0].cElements) - 1; ++i) {
        double d = 0;
        SafeArrayGetElement(v.parray, &i, &d);
        out.push_back(d);
    }
    return out;
}

// GetEntity across processes through the typelib-less proxy, with the object as a VARIANT by
// reference (the tool passes VT_BYREF|VT_DISPATCH, which the picking table covers): the
// mirrored void of tests/win/hollow_slab.dxf answers in its own coordinates, as the CAD does.
TEST(Standin, GetEntityAcrossProcesses) {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring script = std::wstring(temp) + L"standin-entity.txt";
    ASSERT_TRUE(writeFile(script, "entity 860 460\n"));
    // Next to this source file: the driver runs from the build tree.
    const std::string source = __FILE__;
    std::wstring dxf = L"Z:" + std::wstring(source.begin(), source.end());
    dxf = dxf.substr(0, dxf.find_last_of(L"/\\")) + L"/../hollow_slab.dxf";
    Process standin;
    ComPtr<IDispatch> app;
    ASSERT_TRUE(standin.start(arg(0), L"--config \"" + std::wstring(temp) + L"none.ini\" --script \"" + script +
                                          L"\" \"" + dxf + L"\"") &&
                waitFor([&] { return SUCCEEDED(attach(app)); }, 30s));
    win::Variant document, utility, object, point, coordinates, normal;
    ASSERT_HRESULT_SUCCEEDED(invoke(app.Get(), L"ActiveDocument", DISPATCH_PROPERTYGET, {}, document.put()));
    ASSERT_HRESULT_SUCCEEDED(invoke(document.get()->pdispVal, L"Utility", DISPATCH_PROPERTYGET, {}, utility.put()));
    IDispatch* u = utility.get()->pdispVal;
    ASSERT_EQ(invoke(u, L"GetEntity", DISPATCH_METHOD, {ref(object), ref(point)}), S_OK);
    ASSERT_EQ(object.type(), VT_DISPATCH);
    EXPECT_EQ(doubles(*point.get()), (std::vector<double>{860, 460, 0}));
    invoke(object.get()->pdispVal, L"Coordinates", DISPATCH_PROPERTYGET, {}, coordinates.put());
    invoke(object.get()->pdispVal, L"Normal", DISPATCH_PROPERTYGET, {}, normal.put());
    EXPECT_EQ(doubles(*coordinates.get()), (std::vector<double>{-780, 220, -780, 380, -940, 380, -940, 220}));
    EXPECT_EQ(doubles(*normal.get()), (std::vector<double>{0, 0, -1}));
}

}  // namespace driver
