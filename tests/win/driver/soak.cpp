// Soak: many initialise + pick-nodes cycles against the stand-in CAD (scripted answers),
// then help toggles and About showings, with the tool's and the CAD's kernel, GDI and USER
// handle counts taken after the first cycle and at the end. Before that, a program that
// leaks on request shows that each count used really moves when handles leak.
// Writes RESULT.json (per-phase counts, the message boxes seen and in which cycle, timings)
// for soak_test.py, which also checks the CAD's journal.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "about/about_window_ids.h"
#include "app/main_window_ids.h"
#include "handle_counts.h"
#include "harness.h"
#include "url_handler.h"

namespace driver {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Growth allowed between the count after the first cycle and the one at the end. Below
// the shortest loop (50 About showings), so one handle kept per repetition of any loop
// fails; above the one-off growth the first help toggle and first About showing bring
// (caches that stay for the process's life).
constexpr long kAllowedGrowth = 24;
constexpr WPARAM kDeliberateLeak = 10;
constexpr wchar_t kStandinClass[] = L"PontiroStandinCad";

struct SeenBox {
    int cycle;
    std::wstring phase;
    std::wstring caption;
    std::wstring text;
};

class OpenedProcess {
public:
    explicit OpenedProcess(DWORD id)
        : id_(id), handle_(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE, FALSE, id)) {}
    OpenedProcess(const OpenedProcess&) = delete;
    OpenedProcess& operator=(const OpenedProcess&) = delete;
    ~OpenedProcess() {
        if (handle_) CloseHandle(handle_);
    }
    bool ok() const { return handle_ != nullptr; }
    HandleCounts counts() const { return countHandles(handle_, id_); }

private:
    DWORD id_;
    HANDLE handle_;
};

HWND windowOfClass(DWORD processId, const wchar_t* className) {
    for (HWND hwnd = FindWindowExW(nullptr, nullptr, className, nullptr); hwnd;
         hwnd = FindWindowExW(nullptr, hwnd, className, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (processId == 0 || owner == processId) return hwnd;
    }
    return nullptr;
}

std::string countsJson(const HandleCounts& c) {
    char buffer[256];
    snprintf(buffer, sizeof buffer,
             "{\"kernel\":%ld,\"gdi\":%ld,\"user\":%ld,\"kernel_api\":%lu,\"gdi_api\":%lu,\"user_api\":%lu}", c.kernel(),
             c.gdi(), c.user(), c.kernelApi, c.gdiApi, c.userApi);
    return buffer;
}

class Soak {
public:
    Soak(HWND main, DWORD toolId) : main_(main), toolId_(toolId) {}

    // Polls fast (the soak runs thousands of commands) until `done` holds while the tool
    // runs no command, answering and noting message boxes meanwhile.
    bool waitDone(const std::function<bool()>& done, int cycle, const wchar_t* phase) {
        const auto end = Clock::now() + 60s;
        bool boxSeen = false;
        while (Clock::now() < end) {
            if (HWND box = findTopLevel(toolId_, L"#32770")) {
                Sleep(50);
                boxes_.push_back({cycle, phase, windowText(box), windowText(GetDlgItem(box, 0xFFFF))});
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                waitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5s);
                boxSeen = true;
                continue;
            }
            DWORD_PTR running = 1;
            if (SendMessageTimeoutW(main_, app::kQueryCommandRunning, 0, 0, SMTO_ABORTIFHUNG, 500, &running) &&
                running == 0 && (boxSeen || done()))
                return true;
            Sleep(2);
        }
        return false;
    }

    std::wstring text8() const { return windowText(GetDlgItem(main_, app::IdText8)); }

    // One initialise + pick-nodes run; false when the node list is not the expected one.
    bool cycle(int n, const std::wstring& expected) {
        // Initialise always empties the output box first: a marker there shows it ran.
        SendMessageW(GetDlgItem(main_, app::IdText8), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"-"));
        PostMessageW(GetDlgItem(main_, app::IdCommand3), BM_CLICK, 0, 0);
        if (!waitDone([&] { return text8().empty(); }, n, L"initialise")) return false;
        PostMessageW(GetDlgItem(main_, app::IdCommand1), BM_CLICK, 0, 0);
        if (!waitDone([&] { return text8() == expected; }, n, L"pick")) return false;
        return text8() == expected;
    }

    const std::vector<SeenBox>& boxes() const { return boxes_; }

private:
    HWND main_;
    DWORD toolId_;
    std::vector<SeenBox> boxes_;
};

// A count source is only trusted if a deliberate leak moves it.
void checkCountsMove(Checks& checks, const std::wstring& leakTarget, std::string& out) {
    Process target;
    HWND window = nullptr;
    const bool started = target.start(leakTarget) &&
                         waitFor([&] { return (window = windowOfClass(target.id(), L"SoakLeakTarget")) != nullptr; }, 20s);
    checks.expect(started, L"leak target started");
    if (!started) return;
    OpenedProcess opened(target.id());
    checks.expect(opened.ok(), L"leak target opened for reading");
    const HandleCounts before = opened.counts();
    SendMessageW(window, WM_APP, kDeliberateLeak, 0);
    const HandleCounts after = opened.counts();
    const long leak = static_cast<long>(kDeliberateLeak);
    print(L"self-check: kernel " + std::to_wstring(before.kernel()) + L" -> " + std::to_wstring(after.kernel()) +
          L" by " + after.kernelSource());
    print(L"self-check: GDI " + std::to_wstring(before.gdi()) + L" -> " + std::to_wstring(after.gdi()) + L" by " +
          after.gdiSource());
    print(L"self-check: USER " + std::to_wstring(before.user()) + L" -> " + std::to_wstring(after.user()) + L" by " +
          after.userSource());
    checks.expect(before.kernel() >= 0 && after.kernel() - before.kernel() >= leak,
                  L"kernel count moves with 10 leaked events");
    checks.expect(before.gdi() >= 0 && after.gdi() - before.gdi() >= leak, L"GDI count moves with 10 leaked pens");
    checks.expect(before.user() >= 0 && after.user() - before.user() >= leak,
                  L"USER count moves with 10 leaked windows");
    out += "\"self_check\":{\"before\":" + countsJson(before) + ",\"after\":" + countsJson(after) + "},";
    PostMessageW(window, WM_CLOSE, 0, 0);
    target.waitExit(5s);
}

void compare(Checks& checks, const wchar_t* who, const HandleCounts& first, const HandleCounts& last) {
    struct Row {
        const wchar_t* kind;
        long first, last;
        std::wstring source;
    } rows[] = {{L"kernel", first.kernel(), last.kernel(), last.kernelSource()},
                {L"GDI", first.gdi(), last.gdi(), last.gdiSource()},
                {L"USER", first.user(), last.user(), last.userSource()}};
    for (const Row& row : rows) {
        const std::wstring what = std::wstring(who) + L" " + row.kind + L" handles: " + std::to_wstring(row.first) +
                                  L" after the first cycle, " + std::to_wstring(row.last) + L" at the end (" +
                                  row.source + L")";
        checks.expect(row.first >= 0 && row.last - row.first <= kAllowedGrowth, what,
                      L"grew by " + std::to_wstring(row.last - row.first) + L", more than " +
                          std::to_wstring(kAllowedGrowth));
    }
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int soak(const std::wstring& tool, const std::wstring& leakTarget, const std::wstring& recorder,
         const std::wstring& resultPath, const std::wstring& expectedList, int cycles, int helpToggles, int aboutShowings) {
    Checks checks;
    std::string out = "{";
    checkCountsMove(checks, leakTarget, out);

    // The About window opens the home page first: a recorder stands in for the browser.
    const std::wstring urlLog = resultPath + L".urls.txt";
    DeleteFileW(urlLog.c_str());
    const HandlerOverride http(L"http", L"\"" + recorder + L"\" \"" + urlLog + L"\" \"%1\"");
    checks.expect(http.ok(), L"recorder registered as http handler");

    Process process;
    HWND main = launchTool(checks, process, tool);
    if (!main) return checks.summary();
    Soak soak(main, process.id());
    std::wstring expected;  // the list's lines come separated by '|'
    for (wchar_t c : expectedList) expected += c == L'|' ? std::wstring(L"\r\n") : std::wstring(1, c);
    expected += L"\r\n";

    const auto start = Clock::now();
    int wrong = 0;
    std::string wrongCycles;
    HandleCounts toolFirst, standinFirst;
    DWORD standinId = 0;
    double firstCycleSeconds = 0;
    for (int n = 1; n <= cycles && wrong < 5; ++n) {
        if (!soak.cycle(n, expected)) {
            ++wrong;
            if (!wrongCycles.empty()) wrongCycles += ',';
            wrongCycles += std::to_string(n);
            print(L"cycle " + std::to_wstring(n) + L": output box holds \"" + soak.text8() + L"\"");
        }
        if (n == 1) {
            firstCycleSeconds = secondsSince(start);
            if (HWND cad = windowOfClass(0, kStandinClass)) GetWindowThreadProcessId(cad, &standinId);
            toolFirst = OpenedProcess(process.id()).counts();
            if (standinId) standinFirst = OpenedProcess(standinId).counts();
        }
    }
    const double cycleSeconds = secondsSince(start);
    checks.expect(wrong == 0, L"every cycle wrote the expected node list",
                  L"wrong in cycles " + std::wstring(wrongCycles.begin(), wrongCycles.end()));
    checks.expect(standinId != 0, L"the stand-in CAD found after the first cycle");
    const HandleCounts toolAfterCycles = OpenedProcess(process.id()).counts();

    // Help: the window grows and shrinks at its bottom edge, one step per press, between
    // the two heights the first two presses set.
    const auto helpStart = Clock::now();
    std::vector<LONG> heights;
    int helpWrong = 0;
    for (int i = 0; i < helpToggles; ++i) {
        const LONG before = windowRect(main).bottom - windowRect(main).top;
        PostMessageW(GetDlgItem(main, app::IdCommand4), BM_CLICK, 0, 0);
        const bool changed = waitFor([&] { return windowRect(main).bottom - windowRect(main).top != before; }, 5s);
        heights.push_back(windowRect(main).bottom - windowRect(main).top);
        if ((i > 0 && !changed) || (i >= 2 && heights[i] != heights[i - 2])) ++helpWrong;
    }
    checks.expect(helpWrong == 0 && heights.size() >= 2 && heights[0] > heights[1],
                  L"help toggled " + std::to_wstring(helpToggles) + L" times between two heights",
                  std::to_wstring(helpWrong) + L" presses went wrong");
    const double helpSeconds = secondsSince(helpStart);
    const HandleCounts toolAfterHelp = OpenedProcess(process.id()).counts();

    const auto aboutStart = Clock::now();
    int aboutWrong = 0;
    for (int i = 0; i < aboutShowings; ++i) {
        PostMessageW(GetDlgItem(main, app::IdCommand5), BM_CLICK, 0, 0);
        HWND about = nullptr;
        if (!waitFor([&] { return (about = findTopLevel(process.id(), about::kAboutWindowClass)) != nullptr; }, 10s)) {
            ++aboutWrong;
            continue;
        }
        PostMessageW(GetDlgItem(about, about::IdCommand1), BM_CLICK, 0, 0);
        if (!waitFor([&] { return !IsWindow(about) && IsWindowEnabled(main); }, 10s)) ++aboutWrong;
    }
    checks.expect(aboutWrong == 0, L"About shown and closed " + std::to_wstring(aboutShowings) + L" times",
                  std::to_wstring(aboutWrong) + L" showings went wrong");
    const double aboutSeconds = secondsSince(aboutStart);

    // The home page handlers started by the About showings have ended by now or soon.
    Sleep(1000);
    const HandleCounts toolLast = OpenedProcess(process.id()).counts();
    HandleCounts standinLast;
    if (standinId) standinLast = OpenedProcess(standinId).counts();
    compare(checks, L"tool", toolFirst, toolLast);
    compare(checks, L"stand-in CAD", standinFirst, standinLast);
    checks.expect(WaitForSingleObject(process.handle(), 0) == WAIT_TIMEOUT, L"tool still running");

    char timing[200];
    snprintf(timing, sizeof timing,
             "\"seconds\":{\"first_cycle\":%.3f,\"cycles\":%.3f,\"help\":%.3f,\"about\":%.3f},\"cycles\":%d,", firstCycleSeconds,
             cycleSeconds, helpSeconds, aboutSeconds, cycles);
    out += timing;
    out += "\"allowed_growth\":" + std::to_string(kAllowedGrowth) + ",";
    out += "\"sources\":{\"kernel\":" + json(toolLast.kernelSource()) + ",\"gdi\":" + json(toolLast.gdiSource()) +
           ",\"user\":" + json(toolLast.userSource()) + "},";
    out += "\"tool\":{\"first\":" + countsJson(toolFirst) + ",\"after_cycles\":" + countsJson(toolAfterCycles) +
           ",\"after_help\":" + countsJson(toolAfterHelp) + ",\"last\":" + countsJson(toolLast) + "},";
    out += "\"standin\":{\"first\":" + countsJson(standinFirst) + ",\"last\":" + countsJson(standinLast) + "},";
    out += "\"wrong_cycles\":[" + wrongCycles + "],\"boxes\":[";
    for (size_t i = 0; i < soak.boxes().size(); ++i) {
        const SeenBox& b = soak.boxes()[i];
        if (i) out += ',';
        out += "{\"cycle\":";
        out += std::to_string(b.cycle);
        out += ",\"phase\":" + json(b.phase) + ",\"caption\":" + json(b.caption) + ",\"text\":" + json(b.text) + "}";
    }
    out += "]}\n";
    writeResult(checks, resultPath, out);
    return checks.summary();
}

}  // namespace driver
