// The late-bound dispatch helper and the COM value owners under Wine, against Wine's own
// Scripting.Dictionary and an in-process object that shows what it receives, stays busy or
// fails through EXCEPINFO on request.
#include <windows.h>
#include <oleauto.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "cad/com_values.h"
#include "win/window_ops.h"
#include "cad/cad_worker.h"
#include "cad/dispatch.h"
#include "win/com_object.h"

using namespace cad;
using Microsoft::WRL::ComPtr;
using namespace std::chrono_literals;

namespace {

template <class... T> std::wstring fmt(const wchar_t* format, T... values) {
    wchar_t text[64];
    std::swprintf(text, 64, format, values...);
    return text;
}

// "vt:value", vt in hex; a by-reference point as its numbers.
std::wstring show(VARIANT& v) {
    std::array<double, 3> p{};
    Variant text;
    const std::wstring s = fmt(L"%x:", V_VT(&v));
    if (V_VT(&v) == VT_ERROR) return s + fmt(L"%lx", V_ERROR(&v));
    if (V_VT(&v) & VT_ARRAY) return s + (FAILED(readPoint(v, p)) ? L"?" : fmt(L"%g,%g,%g", p[0], p[1], p[2]));
    return s + (SUCCEEDED(VariantChangeType(text.put(), &v, 0, VT_BSTR)) ? V_BSTR(text.get()) : L"?");
}

// The test object's one member is rejected `busy` times (directly or in EXCEPINFO), its name
// lookup `busyLookups` times; then it fails through EXCEPINFO, or shows what it received.
struct Setup {
    int busy = 0, busyLookups = 0;
    HRESULT busyHr = RPC_E_CALL_REJECTED;
    bool viaExcepInfo = false, fail = false, deferred = false;
    unsigned long scode = 0, wCode = 0;
    const wchar_t* text = nullptr;
};

struct Obj final : win::ComObject<IDispatch> {
    explicit Obj(Setup setup = {}) : s(setup) {}
    Setup s;
    std::wstring seen;  // flags, named DISPIDs and rgvarg, in its order

    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* id) override {
        if (s.busyLookups-- > 0) return RPC_E_CALL_REJECTED;
        return std::wcscmp(names[0], L"Echo") ? DISP_E_UNKNOWNNAME : (*id = 1, S_OK);
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result, EXCEPINFO* info,
                        UINT*) override {
        const bool busy = s.busy-- > 0;
        if (busy && !s.viaExcepInfo) return s.busyHr;
        if (busy || s.fail) {
            *info = {static_cast<WORD>(s.wCode), 0, nullptr, s.text ? SysAllocString(s.text) : nullptr,
                     nullptr, 0, nullptr, s.deferred ? fillIn : nullptr, busy ? s.busyHr : static_cast<SCODE>(s.scode)};
            return DISP_E_EXCEPTION;
        }
        seen = std::to_wstring(flags) + L" ";
        for (UINT i = 0; i < p->cNamedArgs; ++i) seen += fmt(L"#%ld ", p->rgdispidNamedArgs[i]);
        for (UINT i = 0; i < p->cArgs; ++i) {
            VARIANT& a = p->rgvarg[i];
            seen += show(a) + L" ";
            SafeArray fresh;  // an in/out callee replaces what a by-reference argument points at
            if (V_VT(&a) == (VT_BYREF | VT_BSTR)) SysReAllocString(V_BSTRREF(&a), L"new");
            if (V_VT(&a) == (VT_BYREF | VT_ARRAY | VT_R8) && SUCCEEDED(makePointArray(7, 8, 9, fresh)))
                std::swap(*V_ARRAYREF(&a), *fresh.address());
        }
        if (result) *result = *Variant::fromI4(static_cast<int>(p->cArgs)).get();
        return S_OK;
    }
    static HRESULT STDAPICALLTYPE fillIn(EXCEPINFO* info) {
        info->scode = static_cast<SCODE>(0x80210020);
        return (info->bstrDescription = SysAllocString(L"later")) ? S_OK : E_OUTOFMEMORY;
    }
};

ULONG refs(IUnknown& object) {
    object.AddRef();
    return object.Release();
}

// "value", or "number description" where <sys> is the system's text for the number (or the
// hex number where there is none).
std::wstring outcome(CadResult<Variant>& r) {
    if (r.ok()) return show(*r.value().get());
    wchar_t text[512] = {};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(r.error().number), 0, text, 512, nullptr);
    while (n > 0 && text[n - 1] < L' ') text[--n] = 0;  // the line break at the end
    const std::wstring& got = r.error().description;
    return fmt(L"%x ", r.error().number) + (got == (n ? text : fmt(L"0x%08X", r.error().number)) ? L"<sys>" : got);
}

// I4 1, I2 5, R8 2.5, "b", omitted, by-reference "g", by-reference point 1,2,3
constexpr const char* kArgs = "ihdsoSA";

struct Call {
    const char* name;
    decltype(&callMethod) how;
    const wchar_t* member;  // Echo: a fresh test object; others: the dictionary (rows run in order)
    const char* args;       // letters of kArgs
    const wchar_t* want;    // what the object saw "=" outcome, then the by-reference arguments after
    Setup setup = {};       // still busy after the 1 s bound when busy is 1 << 30
    bool inProcess = false;
};

const Call kCalls[] = {
    {"dictionary Add", callMethod, L"Add", "sd", L"= 0:"},
    {"dictionary Item", getProperty, L"Item", "s", L"= 5:2.5"},
    {"dictionary put Item", putProperty, L"Item", "si", L"= 0:"},
    {"dictionary Item after put", getProperty, L"Item", "s", L"= 3:1"},
    {"dictionary duplicate Add", callMethod, L"Add", "si", L"= 800a01c9 <sys>"},
    {"dictionary by-reference key", callMethod, L"Add", "So", L"= 0: 4008:g"},
    {"dictionary kept the omitted", getProperty, L"Item", "S", L"= a:80020004 4008:g"},
    {"dictionary unknown member", callMethod, L"Nothing", "", L"= 80020006 <sys>"},
    {"arguments right to left", callMethod, L"Echo", "iso", L"3 a:80020004 8:b 3:1 = 3:3"},
    {"put value is the named argument", putProperty, L"Echo", "hd", L"4 #-3 5:2.5 2:5 = 0:"},
    {"by reference", callMethod, L"Echo", "AS", L"3 4008:g 6005:1,2,3 = 3:2 6005:7,8,9 4008:new"},
    {"put without value", putProperty, L"Echo", "", L"= 8002000e <sys>"},
    {"busy 3 times, its lookup 2", callMethod, L"Echo", "", L"3 = 3:0", {3, 2}},
    {"busy past the bound", callMethod, L"Echo", "", L"= 80010001 <sys>", {1 << 30}},
    {"retry later in EXCEPINFO", callMethod, L"Echo", "", L"3 = 3:0", {2, 0, RPC_E_SERVERCALL_RETRYLATER, true}},
    {"retry later past the bound", callMethod, L"Echo", "", L"= 8001010a <sys>",
     {1 << 30, 0, RPC_E_SERVERCALL_RETRYLATER, true}},
    {"EXCEPINFO", callMethod, L"Echo", "", L"= 80210020 stop", {.fail = true, .scode = 0x80210020, .text = L"stop"}},
    {"deferred fill-in in this process", callMethod, L"Echo", "", L"= 80210020 later", {.fail = true, .deferred = true},
     true},
    {"deferred fill-in of another process never called", callMethod, L"Echo", "", L"= 80020009 <sys>",
     {.fail = true, .deferred = true}},
    {"system text", callMethod, L"Echo", "", L"= 80004005 <sys>", {.fail = true, .scode = 0x80004005}},
    {"wCode", callMethod, L"Echo", "", L"= 800a01c9 <sys>", {.fail = true, .wCode = 457}},
    {"empty EXCEPINFO", callMethod, L"Echo", "", L"= 80020009 <sys>", {.fail = true}},
};

// The busy waits keep the window drawn but run no other message (no command is re-entered).
int paints = 0, others = 0;
LRESULT CALLBACK countingWindow(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    paints += m == WM_PAINT && ValidateRect(w, nullptr);
    others += m == WM_APP;
    return m == WM_PAINT ? 0 : DefWindowProcW(w, m, wp, lp);
}

TEST(Dispatch, CallTable) {
    CLSID clsid;
    ComPtr<IDispatch> dictionary;
    ASSERT_EQ(CLSIDFromProgID(L"Scripting.Dictionary", &clsid), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dictionary)), S_OK);
    const WNDCLASSW wc{0, countingWindow, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"Counting"};
    HWND w = CreateWindowW(MAKEINTATOM(RegisterClassW(&wc)), L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                           nullptr, nullptr, nullptr, nullptr);  // shown, not yet painted
    ASSERT_TRUE(PostMessageW(w, WM_APP, 0, 0));
    for (const Call& c : kCalls) {
        SCOPED_TRACE(c.name);
        ComPtr<Obj> o = win::makeComObject<Obj>(c.setup);
        Bstr g;
        SafeArray point;
        Variant pool[] = {Variant::fromI4(1), Variant::fromI2(5), Variant::fromR8(2.5), {}, Variant::omitted(),
                          Variant::refToString(g), Variant::refToArray(VT_R8, point)};
        ASSERT_TRUE(SUCCEEDED(g.assign(L"g")) && SUCCEEDED(makePointArray(1, 2, 3, point)) &&
                    SUCCEEDED(pool[3].assignString(L"b")));
        std::vector<VARIANT*> a;
        for (const char* letter = c.args; *letter; ++letter)
            a.push_back(pool[std::strchr(kArgs, *letter) - kArgs].get());
        IDispatch* target = std::wcscmp(c.member, L"Echo") ? dictionary.Get() : o.Get();
        const auto start = std::chrono::steady_clock::now();
        const CallOptions options{1000ms, c.inProcess};
        CadResult<Variant> r = a.size() == 0   ? c.how(target, c.member, {}, options)
                               : a.size() == 1 ? c.how(target, c.member, {a[0]}, options)
                               : a.size() == 2 ? c.how(target, c.member, {a[0], a[1]}, options)
                                               : c.how(target, c.member, {a[0], a[1], a[2]}, options);
        const auto took = std::chrono::steady_clock::now() - start;
        std::wstring got = o->seen + L"= " + outcome(r);
        for (VARIANT* v : a)
            if (V_VT(v) & VT_BYREF) got += L" " + show(*v);
        EXPECT_EQ(got, c.want);
        EXPECT_TRUE(c.setup.busy == 1 << 30 ? took >= 1000ms && took < 4000ms : took < 1000ms) << took / 1ms << " ms";
    }
    MSG msg;
    EXPECT_TRUE(paints >= 1 && others == 0 && PeekMessageW(&msg, w, WM_APP, WM_APP, PM_REMOVE)) << paints << others;
    DestroyWindow(w);
}

// Links load shell32 where LOAD_LIBRARY_SEARCH_SYSTEM32 is refused (Windows 7 without its
// loader update) and try again after a failed load instead of keeping the failure.
int loads = 0;
HMODULE WINAPI failingLoad(LPCWSTR, HANDLE, DWORD) { return ++loads, SetLastError(ERROR_FILE_NOT_FOUND), nullptr; }
HMODULE WINAPI oldLoader(LPCWSTR name, HANDLE, DWORD flags) {
    ++loads;
    if (flags & LOAD_LIBRARY_SEARCH_SYSTEM32) return SetLastError(ERROR_INVALID_PARAMETER), nullptr;
    return std::wcschr(name, L'\\') ? LoadLibraryW(name) : nullptr;  // the full path only
}

TEST(Shell, LoadedWithoutTheSearchFlagAndNeverAFailureKept) {
    EXPECT_EQ(win::shellExecuteFunction(failingLoad), nullptr);
    EXPECT_EQ(loads, 2) << "the search flag, then the system folder's path";
    const auto found = win::shellExecuteFunction(oldLoader);
    EXPECT_EQ(reinterpret_cast<void*>(found), GetProcAddress(GetModuleHandleW(L"shell32.dll"), "ShellExecuteW"));
    EXPECT_EQ(win::shellExecuteFunction(failingLoad), found) << "a found function is kept";
    EXPECT_EQ(loads, 4);
}

TEST(Values, OwnersReleaseWhatTheyHoldOnce) {
    ComPtr<Obj> object = win::makeComObject<Obj>();
    Obj& a = *object.Get();
    IDispatch *two[] = {&a, &a}, *withNull[] = {&a, nullptr};
    {
        Variant v = Variant::fromDispatch(&a), w = std::move(v);
        SafeArray list, moved;
        Bstr s, t;
        w = Variant::fromDispatch(&a);  // the reference it held goes
        EXPECT_TRUE(v.type() == VT_EMPTY && makeDispatchArray(two, list) == S_OK && s.assign(L"x") == S_OK &&
                    makeDispatchArray(withNull, list) == E_POINTER);
        moved = std::move(list);
        t = std::move(s);
        EXPECT_TRUE(refs(a) == 4 && !list.get() && !s.get() && t.str() == L"x") << refs(a);
    }
    EXPECT_EQ(refs(a), 1u);
}

// The COM base answers its listed interfaces and IUnknown as one object, nothing else, and
// deletes the object with its last reference.
TEST(Values, ComObjectAnswersItsInterfacesAndGoesWithItsLastReference) {
    struct Both final : win::ComObject<IMessageFilter, IClassFactory> {
        explicit Both(bool* gone) : gone(gone) {}
        ~Both() override { *gone = true; }
        bool* gone;
        STDMETHODIMP_(DWORD) HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override { return 0; }
        STDMETHODIMP_(DWORD) RetryRejectedCall(HTASK, DWORD, DWORD) override { return 0; }
        STDMETHODIMP_(DWORD) MessagePending(HTASK, DWORD, DWORD) override { return 0; }
        STDMETHODIMP CreateInstance(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
        STDMETHODIMP LockServer(BOOL) override { return S_OK; }
    };
    bool gone = false;
    {
        ComPtr<IMessageFilter> filter = win::makeComObject<Both>(&gone);
        ComPtr<IClassFactory> factory;
        ComPtr<IUnknown> viaFilter, viaFactory;
        ComPtr<IDispatch> none;
        ASSERT_TRUE(filter && SUCCEEDED(filter.As(&factory)) && SUCCEEDED(filter.As(&viaFilter)) &&
                    SUCCEEDED(factory.As(&viaFactory)));
        EXPECT_EQ(viaFilter.Get(), viaFactory.Get()) << "one identity";
        EXPECT_EQ(filter.As(&none), E_NOINTERFACE);
        EXPECT_TRUE(!none && refs(*filter.Get()) == 4) << refs(*filter.Get());
    }
    EXPECT_TRUE(gone);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    testing::InitGoogleTest(&argc, argv);
    return FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) ? 1 : RUN_ALL_TESTS();
}

// The CAD's thread: each command runs there in a single-threaded apartment, with the link made
// once; its outcome reaches the window, an exception becomes the unknown-error box, and ending
// the worker does not wait for a command the CAD holds.
TEST(CadWorker, RunsCommandsOnItsOwnThreadAndReportsEachOutcome) {
    struct NoCad : CadLink {
        void connect() override {}
        CadResult<Point3> getPoint(std::wstring_view) override { return CadError{}; }
        CadStatus initializeUserInput(std::int16_t, std::wstring_view) override { return cadOk(); }
        CadResult<std::wstring> getInput() override { return CadError{}; }
        CadStatus deleteEntity(const EntityRef&) override { return cadOk(); }
        CadResult<std::optional<GroupRef>> findGroup(std::wstring_view) override { return CadError{}; }
        CadResult<Selection> getEntity(std::wstring_view) override { return CadError{}; }
        CadStatus prompt(std::wstring_view) override { return cadOk(); }
        Marks addPoints(std::span<const Point2>, std::int16_t) override { return {{}, CadError{}}; }
        CadResult<std::wstring> objectName(const EntityRef&) override { return CadError{}; }
        CadResult<std::vector<double>> coordinates(const EntityRef&) override { return CadError{}; }
        CadResult<bool> closed(const EntityRef&) override { return CadError{}; }
        CadResult<double> bulge(const EntityRef&, int) override { return CadError{}; }
        CadResult<Point3> normal(const EntityRef&) override { return CadError{}; }
        CadResult<Point3> center(const EntityRef&) override { return CadError{}; }
        CadResult<double> radius(const EntityRef&) override { return CadError{}; }
        CadStatus setVariable(std::wstring_view, std::int16_t) override { return cadOk(); }
        CadResult<GroupRef> addGroup(std::wstring_view) override { return CadError{}; }
        CadStatus appendItems(const GroupRef&, std::span<const EntityRef>) override { return cadOk(); }
    };
    constexpr UINT kDone = WM_APP + 7;
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    int linksMade = 0;
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        CadWorker worker(window, kDone, [&] { return ++linksMade, std::make_unique<NoCad>(); });
        const auto outcomeOf = [&](CadWorker::Command command) {
            EXPECT_TRUE(worker.run(std::move(command)));
            MSG msg{};
            while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != kDone) DispatchMessageW(&msg);
            return CadWorker::takeOutcome(msg.lParam);
        };
        const DWORD self = GetCurrentThreadId();
        const CommandOutcome first = outcomeOf([&](CadLink&, PickState& state) {
            APTTYPE type{};
            APTTYPEQUALIFIER qualifier{};
            state.origins.push_back({{1, 2, 0}, L"g"});
            const bool sta = SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && type == APTTYPE_STA;
            return CommandOutcome{GetCurrentThreadId() != self && sta ? L"apart" : L"same", {}, true};
        });
        EXPECT_EQ(first.outputText, L"apart");
        EXPECT_TRUE(first.enablePickNodes);
        const CommandOutcome second = outcomeOf([](CadLink&, PickState& state) -> CommandOutcome {
            if (state.origins.size() == 1) throw std::bad_alloc();  // the state is kept between commands
            return {};
        });
        ASSERT_EQ(second.messages.size(), 1u);
        EXPECT_EQ(second.messages[0].text, kUnknownError);
        EXPECT_EQ(linksMade, 1);
        const auto hold = [&](CadLink&, PickState&) { return WaitForSingleObject(held, INFINITE), CommandOutcome{}; };
        EXPECT_TRUE(worker.run(hold));
    }  // ends with the command still held
    SetEvent(held);
    DestroyWindow(window);
}
