// Attaching to a running stand-in CAD the tool's way: GetActiveObject on the class a person's
// running CAD registered in the running object table, then late-bound calls across processes.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"
#include "win/com_object.h"
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

// A late-bound call; `args` in the caller's order. The EXCEPINFO's scode goes to `scode`.
static HRESULT invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
                      VARIANT* result = nullptr, HRESULT* scode = nullptr, UINT* argErr = nullptr) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr)) return hr;
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    EXCEPINFO info{};
    UINT err = 99;
    const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &info, &err);
    if (scode) *scode = info.scode;
    if (argErr) *argErr = err;
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    return hr;
}

// Argument views; the Bstr, pointer or Variant they refer to owns what is in them.
static VARIANT text(win::Bstr& b) {
    VARIANT v{};
    v.vt = VT_BSTR;
    v.bstrVal = b.get();
    return v;
}
static VARIANT ref(IDispatch** object) {
    VARIANT v{};
    v.vt = VT_BYREF | VT_DISPATCH;
    v.ppdispVal = object;
    return v;
}
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

// GetEntity across processes through the typelib-less proxy: the object and the clicked point
// come back through by-reference arguments, a miss and wrong shapes fail as the CAD's do, and
// a keyword from a list of several ends a point prompt.
TEST(Standin, GetEntityAcrossProcesses) {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring script = std::wstring(temp) + L"standin-entity.txt";
    const std::wstring journal = std::wstring(temp) + L"standin-entity.jsonl";
    DeleteFileW(journal.c_str());
    // The outline's deck top, the right cell's top, the centre web between the cells (nothing
    // within the pick box), then a keyword.
    ASSERT_TRUE(writeFile(script, "entity 4000 2000\nentity 7500 1750\npoint 6000 1000\nkeyword p\n"));
    Process standin;
    ComPtr<IDispatch> app;
    ASSERT_TRUE(standin.start(arg(0), L"--config \"" + std::wstring(temp) + L"none.ini\" --script \"" + script +
                                          L"\" --journal \"" + journal + L"\"") &&
                waitFor([&] { return SUCCEEDED(attach(app)); }, 30s));
    win::Variant document, utility;
    ASSERT_HRESULT_SUCCEEDED(invoke(app.Get(), L"ActiveDocument", DISPATCH_PROPERTYGET, {}, document.put()));
    ASSERT_HRESULT_SUCCEEDED(invoke(document.get()->pdispVal, L"Utility", DISPATCH_PROPERTYGET, {}, utility.put()));
    IDispatch* u = utility.get()->pdispVal;
    win::Bstr prompt(L"Select outline: "), keywords(L"U P"), none;
    VARIANT zero{};
    zero.vt = VT_I2;

    // By reference as VT_DISPATCH: the outline, and where it was clicked.
    IDispatch* raw = nullptr;
    win::Variant point, name, handle, closed, bulge, coordinates;
    ASSERT_EQ(invoke(u, L"GetEntity", DISPATCH_METHOD, {ref(&raw), ref(point), text(prompt)}), S_OK);
    ComPtr<IDispatch> outline;
    win::adopt(outline, raw);
    ASSERT_TRUE(outline);
    EXPECT_EQ(doubles(*point.get()), (std::vector<double>{4000, 2000, 0}));
    invoke(outline.Get(), L"ObjectName", DISPATCH_PROPERTYGET, {}, name.put());
    invoke(outline.Get(), L"Handle", DISPATCH_PROPERTYGET, {}, handle.put());
    invoke(outline.Get(), L"Closed", DISPATCH_PROPERTYGET, {}, closed.put());
    invoke(outline.Get(), L"GetBulge", DISPATCH_METHOD, {zero}, bulge.put());
    invoke(outline.Get(), L"Coordinates", DISPATCH_PROPERTYGET, {}, coordinates.put());
    EXPECT_EQ(std::wstring(name.get()->bstrVal), L"AcDbPolyline");
    EXPECT_EQ(std::wstring(handle.get()->bstrVal), L"2A");
    EXPECT_TRUE(closed.get()->vt == VT_BOOL && closed.get()->boolVal == VARIANT_TRUE);
    EXPECT_TRUE(bulge.get()->vt == VT_R8 && bulge.get()->dblVal == 0);
    const std::vector<double> xy = doubles(*coordinates.get());
    ASSERT_EQ(xy.size(), 16u) << "x, y of 8 vertices";
    EXPECT_EQ(std::vector<double>(xy.begin(), xy.begin() + 4), (std::vector<double>{0, 2000, 12000, 2000}));
    HRESULT scode = 0;
    VARIANT eight = zero;
    eight.iVal = 8;
    EXPECT_EQ(invoke(outline.Get(), L"GetBulge", DISPATCH_METHOD, {eight}, nullptr, &scode), DISP_E_EXCEPTION);
    EXPECT_EQ(scode, E_INVALIDARG) << "vertex 8 of 8";

    // By reference as VARIANT: the right cell; then a click on nothing, the CAD's miss.
    win::Variant object;
    EXPECT_EQ(invoke(u, L"GetEntity", DISPATCH_METHOD, {ref(object), ref(point)}), S_OK);
    ASSERT_EQ(object.type(), VT_DISPATCH);
    invoke(object.get()->pdispVal, L"Handle", DISPATCH_PROPERTYGET, {}, handle.put());
    EXPECT_EQ(std::wstring(handle.get()->bstrVal), L"2C");
    object.reset();
    EXPECT_EQ(invoke(u, L"GetEntity", DISPATCH_METHOD, {ref(object), ref(point)}, nullptr, &scode), DISP_E_EXCEPTION);
    EXPECT_EQ(scode, DISP_E_EXCEPTION);
    EXPECT_EQ(object.type(), VT_EMPTY);

    // Shapes a type library refuses, named by their index in rgvarg (last argument first).
    UINT argErr = 0;
    VARIANT byValue{};
    byValue.vt = VT_DISPATCH;
    EXPECT_EQ(invoke(u, L"GetEntity", DISPATCH_METHOD, {ref(object), zero, text(prompt)}, nullptr, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 1u) << "the point";
    EXPECT_EQ(invoke(u, L"GetEntity", DISPATCH_METHOD, {byValue, ref(point), text(prompt)}, nullptr, nullptr, &argErr),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argErr, 2u) << "the object";

    // "p" typed at a point prompt with the keywords "U P": Enter ends it as keyword P.
    win::Variant input;
    EXPECT_EQ(invoke(u, L"InitializeUserInput", DISPATCH_METHOD, {zero, text(keywords)}), S_OK);
    VARIANT omitted{};
    omitted.vt = VT_ERROR;
    omitted.scode = DISP_E_PARAMNOTFOUND;
    EXPECT_EQ(invoke(u, L"GetPoint", DISPATCH_METHOD, {omitted, text(prompt)}, nullptr, &scode), DISP_E_EXCEPTION);
    EXPECT_EQ(scode, static_cast<HRESULT>(0x80210020));
    invoke(u, L"GetInput", DISPATCH_METHOD, {}, input.put());
    EXPECT_EQ(std::wstring(input.get()->bstrVal), L"P");
    EXPECT_EQ(invoke(u, L"Prompt", DISPATCH_METHOD, {text(prompt)}), S_OK);

    const auto readJournal = [&] {
        std::string lines;
        if (FILE* file = _wfopen(journal.c_str(), L"rb")) {
            char buffer[4096];
            for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;) lines.append(buffer, n);
            fclose(file);
        }
        return lines;
    };
    // The script used up, the person's click: the real pointer on the outline's deck top at
    // (4000, 2000), placed by the journal's last view line, clicked until the prompt took it.
    std::string lines = readJournal();
    const size_t view = lines.rfind("\"origin_px\":[");
    ASSERT_NE(view, std::string::npos);
    double originX = 0, originY = 0, scale = 0;
    ASSERT_EQ(sscanf(lines.c_str() + view, "\"origin_px\":[%lf,%lf],\"px_per_unit\":%lf", &originX, &originY, &scale), 3);
    std::atomic<bool> answered = false;
    const int x = static_cast<int>(std::lround(originX + 4000 * scale));
    const int y = static_cast<int>(std::lround(originY - 2000 * scale));
    std::thread person([&] {
        for (int i = 0; i < 60 && !answered; ++i, Sleep(250)) clickAt(x, y);
    });
    EXPECT_EQ(invoke(u, L"GetEntity", DISPATCH_METHOD, {ref(object), ref(point)}), S_OK);
    answered = true;
    person.join();
    ASSERT_EQ(object.type(), VT_DISPATCH);
    invoke(object.get()->pdispVal, L"Handle", DISPATCH_PROPERTYGET, {}, handle.put());
    EXPECT_EQ(std::wstring(handle.get()->bstrVal), L"2A");
    const std::vector<double> clicked = doubles(*point.get());
    ASSERT_EQ(clicked.size(), 3u);
    EXPECT_LT(std::abs(clicked[0] - 4000) + std::abs(clicked[1] - 2000), 2 / scale) << "unsnapped, within a pixel";

    // The journal says how each selection ended.
    lines = readJournal();
    for (const char* source : {"user", "script"}) {
        EXPECT_NE(lines.find("\"source\":\"" + std::string(source) +
                             R"(","end":"entity","handle":"2A","object_name":"AcDbPolyline"})"),
                  std::string::npos) << source;
    }
    EXPECT_NE(lines.find(R"("source":"script","end":"miss"})"), std::string::npos);
    EXPECT_NE(lines.find(R"("value":{"object":"Polyline","handle":"2A"}})"), std::string::npos) << "the out argument";
}

// The entities of tests/win/hollow_slab.dxf as a client selects them: each kind's members in
// the CAD's coordinates (the mirrored void's in its own OCS, x negative).
TEST(Standin, HollowSlabEntities) {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    struct Row {
        const char* answer;
        const wchar_t* objectName;  // null: a miss
        const wchar_t* handle;
        const wchar_t* member;
        std::vector<double> value;
    };
    const Row rows[] = {
        {"entity 860 460", L"AcDbPolyline", L"2E", L"Coordinates", {-780, 220, -780, 380, -940, 380, -940, 220}},
        {"entity 940 300", L"AcDbPolyline", L"2E", L"Normal", {0, 0, -1}},
        {"entity 140 140", L"AcDbPolyline", L"2B", L"Coordinates", {220, 220, 220, 380, 60, 380, 60, 220}},
        {"entity 380 380", L"AcDbCircle", L"2D", L"Center", {380, 300, 0}},
        {"entity 500 300", L"AcDbLine", L"2F", L"StartPoint", {500, -50, 0}},
        {"entity 1000 300", L"AcDbPolyline", L"2A", L"Normal", {0, 0, 1}},
        {"entity 380 300", nullptr, nullptr, nullptr, {}},  // inside the circular void
    };
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring script = std::wstring(temp) + L"standin-slab.txt";
    std::string lines;
    for (const Row& row : rows) lines += std::string(row.answer) + "\n";
    ASSERT_TRUE(writeFile(script, lines));
    // Next to this source file: the driver runs from the build tree.
    const std::string source = __FILE__;
    std::wstring dxf = L"Z:" + std::wstring(source.begin(), source.end());
    dxf = dxf.substr(0, dxf.find_last_of(L"/\\")) + L"/../hollow_slab.dxf";
    Process standin;
    ComPtr<IDispatch> app;
    ASSERT_TRUE(standin.start(arg(0), L"--config \"" + std::wstring(temp) + L"none.ini\" --script \"" + script + L"\" \"" +
                                          dxf + L"\"") &&
                waitFor([&] { return SUCCEEDED(attach(app)); }, 30s));
    win::Variant document, utility;
    ASSERT_HRESULT_SUCCEEDED(invoke(app.Get(), L"ActiveDocument", DISPATCH_PROPERTYGET, {}, document.put()));
    ASSERT_HRESULT_SUCCEEDED(invoke(document.get()->pdispVal, L"Utility", DISPATCH_PROPERTYGET, {}, utility.put()));
    for (const Row& row : rows) {
        win::Variant object, point, name, handle, value;
        const HRESULT hr = invoke(utility.get()->pdispVal, L"GetEntity", DISPATCH_METHOD, {ref(object), ref(point)});
        if (!row.objectName) {
            EXPECT_EQ(hr, DISP_E_EXCEPTION) << row.answer;
            continue;
        }
        ASSERT_EQ(hr, S_OK) << row.answer;
        ASSERT_EQ(object.type(), VT_DISPATCH) << row.answer;
        IDispatch* entity = object.get()->pdispVal;
        invoke(entity, L"ObjectName", DISPATCH_PROPERTYGET, {}, name.put());
        invoke(entity, L"Handle", DISPATCH_PROPERTYGET, {}, handle.put());
        invoke(entity, row.member, DISPATCH_PROPERTYGET, {}, value.put());
        EXPECT_EQ(std::wstring(name.get()->bstrVal) + L" " + handle.get()->bstrVal,
                  std::wstring(row.objectName) + L" " + row.handle) << row.answer;
        EXPECT_EQ(doubles(*value.get()), row.value) << row.answer;
    }
}

}  // namespace driver
