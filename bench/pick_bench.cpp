// A 100-node pick run against the stand-in CAD: the tool's own CAD link and pick-nodes
// command, against the floor of the same CAD calls made with names resolved once. Prints
// the cross-process round trips per node and the median times of both and their ratio,
// runs alternating. Then an outline of 48 nodes taken whole (P): the time from the CAD's
// answer to GetEntity to the next node prompt. Usage (under Wine):
// pick_bench CADSTANDIN.exe WORKDIR [RUNS]
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "cad/com_cad_link.h"
#include "cad/com_values.h"
#include "cad/dispatch.h"
#include "cad/pick_commands.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr int kNodes = 100;
constexpr int kCallsPerNode = 7;  // the CAD calls the tool makes for one picked node

double seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A stand-in answering an origin and kNodes picks from a script, started by hand.
class Standin {
public:
    Standin(const std::wstring& exe, const std::wstring& script, const std::wstring& drawing = {}) {
        std::wstring command = L"\"" + exe + L"\" --script \"" + script + L"\"";
        if (!drawing.empty()) command += L" \"" + drawing + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        started_ = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &info_) != 0;
    }
    ~Standin() {
        if (!started_) return;
        TerminateProcess(info_.hProcess, 0);
        WaitForSingleObject(info_.hProcess, 10000);
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
    Standin(const Standin&) = delete;
    Standin& operator=(const Standin&) = delete;

    // The application object once the stand-in has registered it.
    ComPtr<IDispatch> attach() const {
        CLSID clsid{};
        if (!started_ || FAILED(CLSIDFromProgID(L"AutoCAD.Application", &clsid))) return nullptr;
        for (int i = 0; i < 300; ++i) {
            ComPtr<IUnknown> running;
            ComPtr<IDispatch> app;
            if (SUCCEEDED(GetActiveObject(clsid, nullptr, &running)) && SUCCEEDED(running.As(&app))) return app;
            Sleep(50);
        }
        return nullptr;
    }

private:
    bool started_ = false;
    PROCESS_INFORMATION info_{};
};

struct Run {
    double seconds = 0;
    std::uint64_t roundTrips = 0;
    bool ok = false;
};

// The tool's way: its CAD link and its pick-nodes command (each member name looked up once a command).
Run toolRun(const std::wstring& standin, const std::wstring& script) {
    Standin cad(standin, script);
    Run run;
    if (!cad.attach()) return run;
    auto link = cad::makeComCadLink(nullptr);
    cad::PickState state;
    const cad::CommandOutcome origin = cad::initialiseOrigin(*link, state, {});
    if (!origin.enablePickNodes) return run;
    cad::NodeListInputs inputs{L"1", [] { return std::wstring(L"2"); }, L".", {}};
    cad::resetRoundTrips();
    const double start = seconds();
    const cad::CommandOutcome outcome = cad::pickNodes(*link, state, inputs);
    run.seconds = seconds() - start;
    run.roundTrips = cad::roundTrips();
    run.ok = outcome.messages.empty() && outcome.outputText &&
             std::count(outcome.outputText->begin(), outcome.outputText->end(), L'\n') == kNodes;
    return run;
}

// The floor: the same CAD calls per node (Utility, InitializeUserInput, Utility, GetPoint,
// ModelSpace, AddPoint, Color), names resolved once, arguments built once.
Run floorRun(const std::wstring& standin, const std::wstring& script) {
    Standin cad(standin, script);
    Run run;
    ComPtr<IDispatch> app = cad.attach();
    if (!app) return run;
    auto dispid = [](IDispatch* object, const wchar_t* name) {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        return id;
    };
    auto call = [](IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
        std::reverse(args.begin(), args.end());
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{args.data(), flags == DISPATCH_PROPERTYPUT ? &named : nullptr,
                          static_cast<UINT>(args.size()), flags == DISPATCH_PROPERTYPUT ? 1u : 0u};
        return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
    };
    cad::Variant document;
    call(app.Get(), dispid(app.Get(), L"ActiveDocument"), DISPATCH_PROPERTYGET, {}, document.put());
    IDispatch* doc = document.type() == VT_DISPATCH ? document.get()->pdispVal : nullptr;
    if (!doc) return run;
    const DISPID utilityId = dispid(doc, L"Utility"), modelSpaceId = dispid(doc, L"ModelSpace");
    DISPID keywordsId = DISPID_UNKNOWN, getPointId = DISPID_UNKNOWN, addPointId = DISPID_UNKNOWN,
           colorId = DISPID_UNKNOWN;
    cad::Variant omitted = cad::Variant::omitted();
    cad::Variant prompt;
    (void)prompt.assignString(L"点取第1节点(右键或回车结束) [放弃(U)/轮廓(P)] ");
    cad::Variant noBits = cad::Variant::fromI2(0), keywords;
    (void)keywords.assignString(L"U P");
    cad::SafeArray point;
    (void)cad::makePointArray(0, 0, 0, point);
    cad::Variant pointRef = cad::Variant::refToArray(VT_R8, point);
    cad::Variant green = cad::Variant::fromI2(3);

    double begin = 0;
    for (int k = 0; k <= kNodes; ++k) {
        if (k == 1) begin = seconds();  // pick 0 stands for the origin: not timed
        cad::Variant utility, keywordsUtility, picked, modelSpace, entity, ignored;
        call(doc, utilityId, DISPATCH_PROPERTYGET, {}, keywordsUtility.put());
        if (keywordsId == DISPID_UNKNOWN) keywordsId = dispid(keywordsUtility.get()->pdispVal, L"InitializeUserInput");
        call(keywordsUtility.get()->pdispVal, keywordsId, DISPATCH_METHOD, {*noBits.get(), *keywords.get()}, ignored.put());
        call(doc, utilityId, DISPATCH_PROPERTYGET, {}, utility.put());
        if (getPointId == DISPID_UNKNOWN) getPointId = dispid(utility.get()->pdispVal, L"GetPoint");
        if (FAILED(call(utility.get()->pdispVal, getPointId, DISPATCH_METHOD, {*omitted.get(), *prompt.get()}, picked.put())))
            return run;
        call(doc, modelSpaceId, DISPATCH_PROPERTYGET, {}, modelSpace.put());
        if (addPointId == DISPID_UNKNOWN) addPointId = dispid(modelSpace.get()->pdispVal, L"AddPoint");
        call(modelSpace.get()->pdispVal, addPointId, DISPATCH_METHOD, {*pointRef.get()}, entity.put());
        if (entity.type() != VT_DISPATCH) return run;
        if (colorId == DISPID_UNKNOWN) colorId = dispid(entity.get()->pdispVal, L"Color");
        call(entity.get()->pdispVal, colorId, DISPATCH_PROPERTYPUT, {*green.get()}, ignored.put());
    }
    run.seconds = seconds() - begin;
    run.roundTrips = kCallsPerNode * kNodes;
    run.ok = true;
    return run;
}

constexpr int kOutlineNodes = 48;

// The tool's link, timing the span from GetEntity's answer to the next prompt.
class TimedLink final : public cad::CadLink {
public:
    explicit TimedLink(cad::CadLink& link) : link_(link) {}
    double span = -1;  // seconds; -1 until a GetEntity was answered and a prompt followed

    void connect() override { link_.connect(); }
    cad::CadResult<cad::Point3> getPoint(std::wstring_view prompt) override {
        if (answered_ > 0 && span < 0) span = seconds() - answered_;
        return link_.getPoint(prompt);
    }
    cad::CadStatus initializeUserInput(std::int16_t bits, std::wstring_view keywords) override {
        if (answered_ > 0 && span < 0) span = seconds() - answered_;  // the next prompt begins here
        return link_.initializeUserInput(bits, keywords);
    }
    cad::CadResult<std::wstring> getInput() override { return link_.getInput(); }
    cad::CadResult<Selection> getEntity(std::wstring_view prompt) override {
        auto result = link_.getEntity(prompt);
        answered_ = seconds();
        return result;
    }
    cad::CadStatus prompt(std::wstring_view text) override { return link_.prompt(text); }
    Marks addPoints(std::span<const cad::Point2> points, std::int16_t colour) override {
        return link_.addPoints(points, colour);
    }
    cad::CadResult<std::wstring> objectName(const cad::EntityRef& e) override { return link_.objectName(e); }
    cad::CadResult<std::vector<double>> coordinates(const cad::EntityRef& e) override { return link_.coordinates(e); }
    cad::CadResult<bool> closed(const cad::EntityRef& e) override { return link_.closed(e); }
    cad::CadResult<double> bulge(const cad::EntityRef& e, int i) override { return link_.bulge(e, i); }
    cad::CadResult<cad::Point3> normal(const cad::EntityRef& e) override { return link_.normal(e); }
    cad::CadResult<cad::Point3> center(const cad::EntityRef& e) override { return link_.center(e); }
    cad::CadResult<double> radius(const cad::EntityRef& e) override { return link_.radius(e); }
    cad::CadStatus deleteEntity(const cad::EntityRef& e) override { return link_.deleteEntity(e); }
    cad::CadStatus setVariable(std::wstring_view name, std::int16_t value) override {
        return link_.setVariable(name, value);
    }
    cad::CadResult<cad::GroupRef> addGroup(std::wstring_view name) override { return link_.addGroup(name); }
    cad::CadResult<std::optional<cad::GroupRef>> findGroup(std::wstring_view name) override {
        return link_.findGroup(name);
    }
    cad::CadStatus appendItems(const cad::GroupRef& group, std::span<const cad::EntityRef> items) override {
        return link_.appendItems(group, items);
    }

private:
    cad::CadLink& link_;
    double answered_ = 0;
};

// A closed polyline of 48 straight segments (the most calls an outline of 48 nodes costs:
// one GetBulge a vertex), taken with P; the seconds from GetEntity's answer to the next prompt.
Run outlineRun(const std::wstring& standin, const std::wstring& script, const std::wstring& drawing) {
    Standin cad(standin, script, drawing);
    Run run;
    if (!cad.attach()) return run;
    auto comLink = cad::makeComCadLink(nullptr);
    TimedLink link(*comLink);
    cad::PickState state;
    if (!cad::initialiseOrigin(link, state, {}).enablePickNodes) return run;
    cad::NodeListInputs inputs{L"1", [] { return std::wstring(L"2"); }, L".", [](const std::wstring&) {}};
    cad::resetRoundTrips();
    const cad::CommandOutcome outcome = cad::pickNodes(link, state, inputs);
    run.seconds = link.span;
    run.roundTrips = cad::roundTrips();
    run.ok = link.span >= 0 && outcome.messages.empty() && outcome.outputText &&
             std::count(outcome.outputText->begin(), outcome.outputText->end(), L'\n') == kOutlineNodes;
    return run;
}

// The DXF of that polyline (radius 1000 about the origin) and the answers that take it.
void writeOutlineFiles(const std::wstring& drawing, const std::wstring& script) {
    std::ofstream dxf(drawing.c_str());
    dxf << "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n5\n30\n90\n" << kOutlineNodes << "\n70\n1\n";
    for (int k = 0; k < kOutlineNodes; ++k) {
        const double a = 2 * 3.14159265358979323846 * k / kOutlineNodes;
        dxf << "10\n" << 1000 * std::cos(a) << "\n20\n" << 1000 * std::sin(a) << "\n";
    }
    dxf << "0\nENDSEC\n0\nEOF\n";
    std::ofstream answers(script.c_str());
    answers << "point 0 0\nkeyword P\nentity 1000 0\nenter\n";
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::printf("usage: pick_bench CADSTANDIN.exe WORKDIR [RUNS]\n");
        return 2;
    }
    const std::wstring standin = argv[1], work = argv[2];
    const int runs = argc > 3 ? std::max(1, _wtoi(argv[3])) : 5;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    const std::wstring script = work + L"\\pick_bench_answers.txt";
    {
        std::ofstream out(script.c_str());
        for (int k = 0; k <= kNodes; ++k) out << "point " << k * 10 << " " << k * 5 << "\n";
        out << "enter\n";
    }
    std::vector<double> tool, floor;
    std::uint64_t toolTrips = 0;
    bool ok = true;
    for (int i = 0; i < runs; ++i) {
        const Run a = toolRun(standin, script);
        const Run b = floorRun(standin, script);
        ok = ok && a.ok && b.ok;
        tool.push_back(a.seconds);
        floor.push_back(b.seconds);
        toolTrips = a.roundTrips;
        std::printf("run %d: tool %.3f s, floor %.3f s\n", i + 1, a.seconds, b.seconds);
        std::fflush(stdout);
    }
    // Late binding costs one name look-up per call: two round trips a call at most.
    std::printf("round trips per node: tool %.2f (target at most %d), floor %.2f\n",
                static_cast<double>(toolTrips) / kNodes, 2 * kCallsPerNode, static_cast<double>(kCallsPerNode));
    std::printf("100-node run, median of %d: tool %.3f s, floor %.3f s, ratio %.3f (target at most 1.2)\n", runs,
                median(tool), median(floor), median(floor) > 0 ? median(tool) / median(floor) : 0.0);
    std::printf("per node: tool %.1f ms, floor %.1f ms\n", median(tool) * 1000 / kNodes, median(floor) * 1000 / kNodes);

    const std::wstring drawing = work + L"\\pick_bench_outline.dxf", outlineScript = work + L"\\pick_bench_outline.txt";
    writeOutlineFiles(drawing, outlineScript);
    std::vector<double> outline;
    std::uint64_t outlineTrips = 0;
    for (int i = 0; i < std::max(runs, 10); ++i) {
        const Run r = outlineRun(standin, outlineScript, drawing);
        ok = ok && r.ok;
        outline.push_back(r.seconds);
        outlineTrips = r.roundTrips;
        std::printf("outline run %d: %.1f ms\n", i + 1, r.seconds * 1000);
        std::fflush(stdout);
    }
    std::printf("outline of %d nodes taken whole, GetEntity's answer to the next prompt, median of %zu: %.1f ms "
                "(%.2f ms a node; target at most 250 ms); round trips in the whole pick: %llu\n",
                kOutlineNodes, outline.size(), median(outline) * 1000, median(outline) * 1000 / kOutlineNodes,
                static_cast<unsigned long long>(outlineTrips));
    CoUninitialize();
    return ok ? 0 : 1;
}
