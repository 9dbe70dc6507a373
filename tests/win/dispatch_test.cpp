// Checks the late-bound dispatch helper and the COM value wrappers under Wine: against
// Wine's own Scripting.Dictionary, and against in-process test objects that are busy for a
// while or fail through EXCEPINFO. Prints one line per check and "N passed, M failed".
#include <windows.h>
#include <oleauto.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "cad/com_values.h"
#include "cad/dispatch.h"
#include "cad/message_filter.h"

using Microsoft::WRL::ComPtr;
using namespace cad;
using namespace std::chrono_literals;

namespace {

int g_passed = 0;
int g_failed = 0;

void check(bool ok, const char* name, const std::wstring& detail = {}) {
    ok ? ++g_passed : ++g_failed;
    std::printf("%s %s%s%ls\n", ok ? "PASS" : "FAIL", name, detail.empty() ? "" : ": ", detail.c_str());
    std::fflush(stdout);
}

std::wstring hex(std::int32_t number) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08X", static_cast<unsigned>(number));
    return text;
}

std::wstring describe(const DispatchResult& r) {
    return r.ok() ? L"ok, vt " + std::to_wstring(r.value().type())
                  : hex(r.error().number) + L" \"" + r.error().description + L"\"";
}

bool failsWith(const DispatchResult& r, HRESULT hr) {
    return !r.ok() && r.error().number == static_cast<std::int32_t>(hr);
}

double asDouble(const DispatchResult& r) {
    if (!r.ok()) return -1e300;
    VARIANT d;
    VariantInit(&d);
    // MinGW declares the source non-const.
    if (FAILED(VariantChangeType(&d, const_cast<VARIANT*>(r.value().get()), 0, VT_R8))) return -1e300;
    return V_R8(&d);
}

bool isTrue(const DispatchResult& r) {
    return r.ok() && r.value().type() == VT_BOOL && V_BOOL(r.value().get()) == VARIANT_TRUE;
}

Variant str(const wchar_t* text) {
    Variant v;
    if (FAILED(v.assignString(text))) std::abort();
    return v;
}

// The system's text for an HRESULT, trimmed; empty when it has none.
std::wstring systemText(HRESULT hr) {
    wchar_t buffer[512] = {};
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             static_cast<DWORD>(hr), 0, buffer, 512, nullptr);
    std::wstring text(buffer, n);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

// An in-process object whose members misbehave on demand and record what they receive.
class TestObject final : public IDispatch {
public:
    enum : DISPID { kEcho = 1, kBusy = 2, kFail = 3 };

    // Busy: the first busyCalls Invokes of Busy are rejected (directly, or through
    // EXCEPINFO with busyScode when busyViaExcepInfo); the first busyLookups
    // GetIDsOfNames are rejected directly.
    int busyCalls = 0;
    int busyLookups = 0;
    bool busyViaExcepInfo = false;
    HRESULT busyScode = RPC_E_CALL_REJECTED;
    // Fail: what the EXCEPINFO says.
    SCODE failScode = 0;
    WORD failWCode = 0;
    const wchar_t* failDescription = nullptr;
    bool failDeferred = false;

    int lookups = 0;
    int invokes = 0;
    // What the last Echo received.
    WORD lastFlags = 0;
    std::vector<VARTYPE> lastTypes;
    std::vector<DISPID> lastNamed;
    bool lastHadResult = false;
    VARIANT lastFirst{};  // rgvarg[0], shallow

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }  // lives on the test's stack
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        ++lookups;
        if (lookups <= busyLookups) return RPC_E_CALL_REJECTED;
        static const struct { const wchar_t* name; DISPID id; } members[] = {
            {L"Echo", kEcho}, {L"Busy", kBusy}, {L"Fail", kFail}};
        for (const auto& m : members) {
            if (std::wcscmp(names[0], m.name) == 0) {
                ids[0] = m.id;
                return S_OK;
            }
        }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* info, UINT*) override {
        ++invokes;
        if (id == kEcho) return echo(flags, params, result);
        if (id == kBusy) {
            if (invokes <= busyCalls) {
                if (!busyViaExcepInfo) return busyScode;
                info->scode = busyScode;
                return DISP_E_EXCEPTION;
            }
            V_VT(result) = VT_I4;
            V_I4(result) = 42;
            return S_OK;
        }
        if (id == kFail) {
            info->wCode = failWCode;
            info->bstrSource = SysAllocString(L"TestObject");
            if (failDescription) info->bstrDescription = SysAllocString(failDescription);
            if (failDeferred) {
                info->pfnDeferredFillIn = &deferredFillIn;
            } else {
                info->scode = failScode;
            }
            return DISP_E_EXCEPTION;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    static HRESULT STDAPICALLTYPE deferredFillIn(EXCEPINFO* info) {
        ++deferredCalls;
        info->scode = static_cast<SCODE>(0x80210020);
        info->bstrDescription = SysAllocString(L"filled in later");
        return S_OK;
    }

    static inline int deferredCalls = 0;
    ULONG refs = 1;

private:
    // Records the call; by-reference arguments are replaced the way an in/out callee does.
    HRESULT echo(WORD flags, DISPPARAMS* params, VARIANT* result) {
        lastFlags = flags;
        lastHadResult = result != nullptr;
        lastTypes.clear();
        lastNamed.assign(params->rgdispidNamedArgs, params->rgdispidNamedArgs + params->cNamedArgs);
        for (UINT i = 0; i < params->cArgs; ++i) {
            VARIANT& arg = params->rgvarg[i];
            lastTypes.push_back(V_VT(&arg));
            if (V_VT(&arg) == (VT_BYREF | VT_BSTR)) {
                std::wstring changed = L"changed:" + std::wstring(*V_BSTRREF(&arg) ? *V_BSTRREF(&arg) : L"");
                SysFreeString(*V_BSTRREF(&arg));
                *V_BSTRREF(&arg) = SysAllocString(changed.c_str());
            } else if (V_VT(&arg) == (VT_BYREF | VT_ARRAY | VT_R8)) {
                SafeArray fresh;
                if (FAILED(makePointArray(10, 20, 30, fresh))) return E_OUTOFMEMORY;
                SafeArrayDestroy(*V_ARRAYREF(&arg));
                *V_ARRAYREF(&arg) = fresh.release();
            }
        }
        lastFirst = params->cArgs ? params->rgvarg[0] : VARIANT{};
        if (result) {
            V_VT(result) = VT_I4;
            V_I4(result) = static_cast<LONG>(params->cArgs);
        }
        return S_OK;
    }
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void dictionaryChecks() {
    CLSID clsid;
    ComPtr<IDispatch> dict;
    HRESULT hr = CLSIDFromProgID(L"Scripting.Dictionary", &clsid);
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dict));
    check(SUCCEEDED(hr), "dictionary: created by ProgID", hex(hr));
    if (FAILED(hr)) return;
    IDispatch* d = dict.Get();

    Variant k1 = str(L"k1"), k2 = str(L"k2"), two = str(L"two");
    Variant x = Variant::fromR8(1.5);
    auto add1 = callMethod(d, L"Add", {k1.get(), x.get()});
    auto add2 = callMethod(d, L"Add", {k2.get(), two.get()});
    check(add1.ok() && add2.ok(), "dictionary: Add two entries", describe(add1) + L" / " + describe(add2));
    auto count = getProperty(d, L"Count");
    check(asDouble(count) == 2, "dictionary: Count is 2", describe(count));
    auto item = getProperty(d, L"Item", {k1.get()});
    check(asDouble(item) == 1.5, "dictionary: Item(k1) is the value added with it", describe(item));

    // A put with an index: the key stays positional, the value is the named argument.
    Variant seven = Variant::fromI4(7);
    auto put = putProperty(d, L"Item", {k1.get(), seven.get()});
    auto after = getProperty(d, L"Item", {k1.get()});
    check(put.ok() && asDouble(after) == 7, "dictionary: put Item(k1) = 7", describe(put) + L" / " + describe(after));

    auto exists = callMethod(d, L"Exists", {k2.get()});
    auto removed = callMethod(d, L"Remove", {k2.get()});
    auto gone = callMethod(d, L"Exists", {k2.get()});
    auto count1 = getProperty(d, L"Count");
    check(isTrue(exists) && removed.ok() && gone.ok() && !isTrue(gone) && asDouble(count1) == 1,
          "dictionary: Exists / Remove / Count", describe(exists) + L" " + describe(removed) + L" " + describe(gone));

    Variant zero = Variant::fromI4(0);
    auto dup = callMethod(d, L"Add", {k1.get(), zero.get()});
    check(!dup.ok() && FAILED(dup.error().number) && dup.error().number != static_cast<std::int32_t>(DISP_E_EXCEPTION) &&
              !dup.error().description.empty(),
          "dictionary: duplicate Add fails with a number and description (Windows: 0x800A01C9)", describe(dup));

    auto unknown = callMethod(d, L"NoSuchMember");
    check(failsWith(unknown, DISP_E_UNKNOWNNAME) && !unknown.error().description.empty(),
          "dictionary: unknown member is DISP_E_UNKNOWNNAME", describe(unknown));

    // The left-out argument arrives as VT_ERROR/DISP_E_PARAMNOTFOUND and is stored as such.
    Variant k3 = str(L"k3"), missing = Variant::omitted();
    auto addMissing = callMethod(d, L"Add", {k3.get(), missing.get()});
    auto missingItem = getProperty(d, L"Item", {k3.get()});
    check(addMissing.ok() && missingItem.ok() && missingItem.value().type() == VT_ERROR &&
              V_ERROR(missingItem.value().get()) == DISP_E_PARAMNOTFOUND,
          "dictionary: omitted argument arrives as DISP_E_PARAMNOTFOUND", describe(missingItem));

    Bstr key;
    if (FAILED(key.assign(L"k4"))) std::abort();
    Variant keyRef = Variant::refToString(key);
    Variant four = Variant::fromI4(4);
    Variant k4 = str(L"k4");
    auto addRef = callMethod(d, L"Add", {keyRef.get(), four.get()});
    auto found = callMethod(d, L"Exists", {k4.get()});
    auto value4 = getProperty(d, L"Item", {k4.get()});
    check(addRef.ok() && isTrue(found) && asDouble(value4) == 4 && key.str() == L"k4",
          "dictionary: key passed as a by-reference BSTR", describe(addRef) + L" " + describe(found));

    // CompareMode can only change on an empty dictionary.
    Variant textCompare = Variant::fromI4(1);
    auto busyMode = putProperty(d, L"CompareMode", {textCompare.get()});
    check(!busyMode.ok(), "dictionary: CompareMode put on a filled dictionary fails", describe(busyMode));

    ComPtr<IDispatch> fresh;
    if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&fresh)))) {
        auto mode = putProperty(fresh.Get(), L"CompareMode", {textCompare.get()});
        auto modeBack = getProperty(fresh.Get(), L"CompareMode");
        Variant lower = str(L"key"), upper = str(L"KEY"), none = Variant::fromI4(0);
        auto addLower = callMethod(fresh.Get(), L"Add", {lower.get(), none.get()});
        auto findUpper = callMethod(fresh.Get(), L"Exists", {upper.get()});
        check(mode.ok() && asDouble(modeBack) == 1 && addLower.ok() && isTrue(findUpper),
              "dictionary: CompareMode = text compare takes effect", describe(mode) + L" " + describe(findUpper));
    }

    resetRoundTrips();
    auto counted = getProperty(d, L"Count");
    check(counted.ok() && roundTrips() == 2, "dictionary: one call is two round trips",
          std::to_wstring(roundTrips()));
}

void argumentChecks() {
    TestObject o;
    Variant one = Variant::fromI4(1), b = str(L"b"), missing = Variant::omitted();
    auto r = callMethod(&o, L"Echo", {one.get(), b.get(), missing.get()});
    check(r.ok() && o.lastTypes == std::vector<VARTYPE>{VT_ERROR, VT_BSTR, VT_I4} && o.lastNamed.empty() &&
              o.lastHadResult && V_ERROR(&o.lastFirst) == DISP_E_PARAMNOTFOUND,
          "arguments: reversed, omitted one is VT_ERROR/DISP_E_PARAMNOTFOUND", describe(r));

    Variant index = Variant::fromI2(5), value = Variant::fromR8(2.5);
    auto p = putProperty(&o, L"Echo", {index.get(), value.get()});
    check(p.ok() && o.lastFlags == DISPATCH_PROPERTYPUT && o.lastNamed == std::vector<DISPID>{DISPID_PROPERTYPUT} &&
              o.lastTypes == std::vector<VARTYPE>{VT_R8, VT_I2} && V_R8(&o.lastFirst) == 2.5,
          "arguments: put passes the value as the named DISPID_PROPERTYPUT argument", describe(p));

    SafeArray point;
    Bstr name;
    if (FAILED(makePointArray(1, 2, 3, point)) || FAILED(name.assign(L"g"))) std::abort();
    Variant pointRef = Variant::refToArray(VT_R8, point), nameRef = Variant::refToString(name);
    auto byRef = callMethod(&o, L"Echo", {pointRef.get(), nameRef.get()});
    std::array<double, 3> back{};
    HRESULT read = readPoint(*pointRef.get(), back);
    check(byRef.ok() && o.lastTypes == std::vector<VARTYPE>{VT_BYREF | VT_BSTR, VT_BYREF | VT_ARRAY | VT_R8} &&
              SUCCEEDED(read) && back[0] == 10 && back[2] == 30 && name.str() == L"changed:g",
          "arguments: by-reference array and BSTR see the callee's replacements", name.str());

    auto nullArg = callMethod(&o, L"Echo", {one.get(), nullptr});
    auto noObject = callMethod(nullptr, L"Echo");
    auto emptyPut = putProperty(&o, L"Echo", {});
    check(failsWith(nullArg, E_INVALIDARG) && failsWith(noObject, E_POINTER) && failsWith(emptyPut, DISP_E_BADPARAMCOUNT),
          "arguments: null argument, null object and a put without value are refused");
}

void busyChecks() {
    const auto bound = 1500ms;
    {
        TestObject o;
        o.busyCalls = 3;
        resetRoundTrips();
        auto start = std::chrono::steady_clock::now();
        auto r = callMethod(&o, L"Busy", {}, CallOptions{bound});
        double took = secondsSince(start);
        check(asDouble(r) == 42 && o.invokes == 4 && took < 1.5 && roundTrips() == 5,
              "busy: rejected 3 times then answers, within the bound",
              describe(r) + L", " + std::to_wstring(took) + L" s, " + std::to_wstring(roundTrips()) + L" trips");
    }
    {
        TestObject o;
        o.busyCalls = 1 << 30;
        auto start = std::chrono::steady_clock::now();
        auto r = callMethod(&o, L"Busy", {}, CallOptions{bound});
        double took = secondsSince(start);
        check(failsWith(r, RPC_E_CALL_REJECTED) && took >= 1.5 && took < 6.5 && o.invokes > 3,
              "busy: still rejected past the bound reports 0x80010001",
              describe(r) + L", " + std::to_wstring(took) + L" s, " + std::to_wstring(o.invokes) + L" attempts");
    }
    {
        TestObject o;
        o.busyCalls = 2;
        o.busyViaExcepInfo = true;
        o.busyScode = RPC_E_SERVERCALL_RETRYLATER;
        auto r = callMethod(&o, L"Busy", {}, CallOptions{bound});
        check(asDouble(r) == 42 && o.invokes == 3, "busy: retry-later through EXCEPINFO is retried", describe(r));
    }
    {
        TestObject o;
        o.busyCalls = 1 << 30;
        o.busyViaExcepInfo = true;
        o.busyScode = RPC_E_SERVERCALL_RETRYLATER;
        auto start = std::chrono::steady_clock::now();
        auto r = callMethod(&o, L"Busy", {}, CallOptions{500ms});
        double took = secondsSince(start);
        check(failsWith(r, RPC_E_SERVERCALL_RETRYLATER) && took >= 0.5 && took < 5.5,
              "busy: retry-later through EXCEPINFO past the bound reports its scode",
              describe(r) + L", " + std::to_wstring(took) + L" s");
    }
    {
        TestObject o;
        o.busyLookups = 2;
        resetRoundTrips();
        auto r = callMethod(&o, L"Busy", {}, CallOptions{bound});
        check(asDouble(r) == 42 && o.lookups == 3 && roundTrips() == 4, "busy: a rejected name lookup is retried",
              describe(r) + L", " + std::to_wstring(roundTrips()) + L" trips");
    }
}

LRESULT CALLBACK paintCounter(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    static int* counts = nullptr;
    if (message == WM_CREATE) counts = static_cast<int*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    if (message == WM_PAINT) {
        ++counts[0];
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    if (message == WM_APP) ++counts[1];
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void paintWhileBusyCheck() {
    int counts[2] = {0, 0};  // WM_PAINT, WM_APP seen
    WNDCLASSW wc{};
    wc.lpfnWndProc = paintCounter;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"DispatchTestWindow";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowW(wc.lpszClassName, L"dispatch test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                              100, nullptr, nullptr, wc.hInstance, counts);
    UpdateWindow(hwnd);
    counts[0] = 0;
    InvalidateRect(hwnd, nullptr, TRUE);
    PostMessageW(hwnd, WM_APP, 0, 0);
    TestObject o;
    o.busyCalls = 1 << 30;
    auto r = callMethod(&o, L"Busy", {}, CallOptions{400ms});
    MSG msg;
    bool stillQueued = PeekMessageW(&msg, hwnd, WM_APP, WM_APP, PM_REMOVE) != 0;
    check(!r.ok() && counts[0] >= 1 && counts[1] == 0 && stillQueued,
          "busy: the window is painted while waiting, other messages wait",
          L"paints " + std::to_wstring(counts[0]) + L", WM_APP dispatched " + std::to_wstring(counts[1]));
    DestroyWindow(hwnd);
}

void exceptionChecks() {
    {
        TestObject o;
        o.failScode = static_cast<SCODE>(0x80210020);
        o.failDescription = L"cancelled";
        auto r = callMethod(&o, L"Fail");
        check(!r.ok() && r.error().number == -2145320928 && r.error().description == L"cancelled",
              "exception: scode and description of EXCEPINFO", describe(r));
    }
    {
        TestObject o;
        o.failDeferred = true;
        TestObject::deferredCalls = 0;
        auto r = callMethod(&o, L"Fail");
        check(!r.ok() && r.error().number == -2145320928 && r.error().description == L"filled in later" &&
                  TestObject::deferredCalls == 1,
              "exception: deferred fill-in is called once", describe(r));
    }
    {
        TestObject o;
        o.failScode = E_FAIL;
        auto r = callMethod(&o, L"Fail");
        std::wstring expected = systemText(E_FAIL);
        check(!r.ok() && r.error().number == static_cast<std::int32_t>(E_FAIL) && !expected.empty() &&
                  r.error().description == expected,
              "exception: no description falls back to the system's text", describe(r));
    }
    {
        TestObject o;
        o.failScode = static_cast<SCODE>(0x80210020);
        auto r = callMethod(&o, L"Fail");
        std::wstring expected = systemText(0x80210020);
        if (expected.empty()) expected = L"0x80210020";
        check(!r.ok() && r.error().description == expected, "exception: no text anywhere gives the hex number",
              describe(r));
    }
    {
        TestObject o;
        o.failWCode = 457;
        TestObject p;  // neither scode nor wCode
        auto r = callMethod(&o, L"Fail");
        auto q = callMethod(&p, L"Fail");
        check(failsWith(r, 0x800A01C9) && failsWith(q, DISP_E_EXCEPTION), "exception: wCode and empty EXCEPINFO mapping",
              describe(r) + L" / " + describe(q));
    }
}

void arrayChecks() {
    SafeArray point;
    std::array<double, 3> xyz{};
    bool built = SUCCEEDED(makePointArray(1.25, -2.5, 3, point));
    Variant v = Variant::fromArray(VT_R8, std::move(point));
    check(built && v.type() == (VT_ARRAY | VT_R8) && SUCCEEDED(readPoint(*v.get(), xyz)) && xyz[0] == 1.25 &&
              xyz[1] == -2.5 && xyz[2] == 3 && point.get() == nullptr,
          "arrays: point array round trip");

    // VT_ARRAY|VT_VARIANT of numbers, lower bound 1 as some servers make them.
    SAFEARRAYBOUND oneBased{3, 1};
    SafeArray mixed(SafeArrayCreate(VT_VARIANT, 1, &oneBased));
    Variant parts[3] = {Variant::fromI2(4), Variant::fromR8(5.5), str(L"6")};
    for (LONG i = 0; i < 3; ++i) {
        LONG at = i + 1;
        if (FAILED(SafeArrayPutElement(mixed.get(), &at, parts[i].get()))) std::abort();
    }
    Variant textInside = Variant::fromArray(VT_VARIANT, std::move(mixed));
    check(readPoint(*textInside.get(), xyz) == DISP_E_TYPEMISMATCH, "arrays: text element refused");
    SafeArray numbers(SafeArrayCreate(VT_VARIANT, 1, &oneBased));
    for (LONG i = 0; i < 3; ++i) {
        LONG at = i + 1;
        Variant n = i == 1 ? Variant::fromR8(5.5) : Variant::fromI2(static_cast<std::int16_t>(4 + i));
        if (FAILED(SafeArrayPutElement(numbers.get(), &at, n.get()))) std::abort();
    }
    Variant numeric = Variant::fromArray(VT_VARIANT, std::move(numbers));
    check(SUCCEEDED(readPoint(*numeric.get(), xyz)) && xyz[0] == 4 && xyz[1] == 5.5 && xyz[2] == 6,
          "arrays: VT_VARIANT numbers with lower bound 1 read");

    SAFEARRAYBOUND square[2] = {{3, 0}, {3, 0}};
    Variant twoD = Variant::fromArray(VT_R8, SafeArray(SafeArrayCreate(VT_R8, 2, square)));
    Variant shortOne = Variant::fromArray(VT_R8, SafeArray(SafeArrayCreateVector(VT_R8, 0, 2)));
    Variant empty = Variant::fromArray(VT_R8, SafeArray(SafeArrayCreateVector(VT_R8, 0, 0)));
    Variant ints = Variant::fromArray(VT_I4, SafeArray(SafeArrayCreateVector(VT_I4, 0, 3)));
    Variant lying = Variant::fromArray(VT_R8, SafeArray(SafeArrayCreateVector(VT_BSTR, 0, 3)));
    Variant scalar = Variant::fromR8(1);
    Variant nullArray = Variant::fromArray(VT_R8, SafeArray());
    std::vector<double> two;
    check(readPoint(*twoD.get(), xyz) == DISP_E_TYPEMISMATCH && readPoint(*shortOne.get(), xyz) == DISP_E_BADINDEX &&
              SUCCEEDED(readDoubles(*shortOne.get(), two)) && two.size() == 2 && FAILED(readPoint(*empty.get(), xyz)) &&
              readPoint(*ints.get(), xyz) == DISP_E_TYPEMISMATCH && readPoint(*lying.get(), xyz) == DISP_E_TYPEMISMATCH &&
              readPoint(*scalar.get(), xyz) == DISP_E_TYPEMISMATCH && readPoint(*nullArray.get(), xyz) == E_POINTER,
          "arrays: 2-D, short, empty, wrong-type, mislabelled, scalar and null arrays refused");

    TestObject a, b;
    IDispatch* objects[] = {&a, &b};
    IDispatch* withNull[] = {&a, nullptr};
    SafeArray list, refused;
    bool made = SUCCEEDED(makeDispatchArray(objects, list));
    bool held = a.refs == 2 && b.refs == 2;
    VARTYPE type = VT_EMPTY;
    (void)SafeArrayGetVartype(list.get(), &type);
    list.reset();
    check(made && held && type == VT_DISPATCH && a.refs == 1 && makeDispatchArray(withNull, refused) == E_POINTER &&
              a.refs == 1,
          "arrays: dispatch array holds and releases its objects, refuses null");

    Variant moved = Variant::fromDispatch(&a);
    Variant target = std::move(moved);
    ComPtr<IDispatch> out;
    bool readOk = SUCCEEDED(readDispatch(*target.get(), out)) && out.Get() == &a;
    out.Reset();
    target.reset();
    check(readOk && moved.type() == VT_EMPTY && a.refs == 1, "values: moved Variant owns one reference");
}

void messageFilterChecks() {
    ComPtr<IMessageFilter> filter;
    bool made = SUCCEEDED(MessageFilter::create(1000ms, filter.GetAddressOf()));
    check(made && filter->RetryRejectedCall(nullptr, 0, SERVERCALL_REJECTED) == MessageFilter::kRetryDelayMs &&
              filter->RetryRejectedCall(nullptr, 999, SERVERCALL_RETRYLATER) == MessageFilter::kRetryDelayMs &&
              filter->RetryRejectedCall(nullptr, 1000, SERVERCALL_REJECTED) == static_cast<DWORD>(-1) &&
              filter->HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr) == SERVERCALL_ISHANDLED &&
              filter->MessagePending(nullptr, 0, PENDINGTYPE_TOPLEVEL) == PENDINGMSG_WAITDEFPROCESS,
          "message filter: retries until the bound, then cancels");

    HRESULT installed = E_FAIL;
    IMessageFilter* during = nullptr;
    {
        ScopedMessageFilter scoped;
        installed = scoped.install(1000ms);
        IMessageFilter* ours = nullptr;
        // Swap out and back to see what is registered.
        if (SUCCEEDED(CoRegisterMessageFilter(nullptr, &ours))) {
            during = ours;
            IMessageFilter* none = nullptr;
            (void)CoRegisterMessageFilter(ours, &none);
        }
    }
    IMessageFilter* afterwards = nullptr;
    (void)CoRegisterMessageFilter(nullptr, &afterwards);
    check(installed == S_OK && during != nullptr && afterwards == nullptr,
          "message filter: registered while in scope, removed after", hex(installed));
    if (during) during->Release();
    if (afterwards) afterwards->Release();
}

}  // namespace

int wmain() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::printf("CoInitializeEx failed\n0 passed, 1 failed\n");
        return 1;
    }
    dictionaryChecks();
    argumentChecks();
    busyChecks();
    paintWhileBusyCheck();
    exceptionChecks();
    arrayChecks();
    messageFilterChecks();
    CoUninitialize();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
