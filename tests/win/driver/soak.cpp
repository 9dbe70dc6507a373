// Soak: many initialise + pick-nodes cycles against the stand-in CAD (scripted answers), then
// help toggles and About showings, with the kernel, GDI and USER handle counts of the tool and
// the CAD after the first cycle and at the end; before that, a program that leaks on request
// shows that each count moves. Writes RESULT.json for soak_test.py, which checks the journal.
#include <winternl.h>

#include <cstdint>

#include "about/about_window_ids.h"
#include "harness.h"

namespace driver {

// Kernel, GDI and USER counts: the API's figure (GetProcessHandleCount, GetGuiResources), or
// where it gives 0, as under Wine 8, a substitute read another way (-1: unreadable).
struct Counts {
    long api[3] = {}, substitute[3] = {-1, -1, -1};
    long operator[](int kind) const { return api[kind] ? api[kind] : substitute[kind]; }
    std::string source(int kind) const {
        static const wchar_t* const sources[3][2] = {
            {L"DuplicateHandle probe (GetProcessHandleCount gave 0)", L"GetProcessHandleCount"},
            {L"live entries of the PEB GDI handle table (GetGuiResources gave 0)", L"GetGuiResources(GR_GDIOBJECTS)"},
            {L"windows of the process, message-only ones included (GetGuiResources gave 0)",
             L"GetGuiResources(GR_USEROBJECTS)"}};
        return driver::json(sources[kind][api[kind] != 0]);
    }
    std::string json() const {
        char text[160];
        snprintf(text, sizeof text, R"({"kernel":%ld,"gdi":%ld,"user":%ld,"kernel_api":%ld,"gdi_api":%ld,)"
                 R"("user_api":%ld})", (*this)[0], (*this)[1], (*this)[2], api[0], api[1], api[2]);
        return text;
    }
};

static Counts countsOf(DWORD processId) {
    Counts c;
    const win::KernelHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE, FALSE, processId));
    if (!process) return c;
    DWORD kernel = 0;
    c.api[0] = GetProcessHandleCount(process.get(), &kernel) ? static_cast<long>(kernel) : 0;
    c.api[1] = static_cast<long>(GetGuiResources(process.get(), GR_GDIOBJECTS));
    c.api[2] = static_cast<long>(GetGuiResources(process.get(), GR_USEROBJECTS));
    // Handle values are multiples of 4 handed out lowest first: a long run of values that
    // cannot be duplicated means the table ends.
    c.substitute[0] = 0;
    for (std::uintptr_t value = 4, misses = 0; misses < 4096; value += 4) {
        HANDLE dup = nullptr;
        const bool ok =
            DuplicateHandle(process.get(), HANDLE(value), GetCurrentProcess(), &dup, 0, 0, DUPLICATE_SAME_ACCESS);
        const win::KernelHandle duplicate(ok ? dup : nullptr);
        c.substitute[0] += ok;
        misses = ok ? 0 : misses + 1;
    }
    // PEB.GdiSharedHandleTable of a 64-bit process: 0x10000 entries of 24 bytes as Wine lays
    // them out, the type byte at 14 (0: a free slot).
    PROCESS_BASIC_INFORMATION basic{};
    std::uint64_t table = 0;
    std::vector<std::uint8_t> entries(0x10000 * 24);
    SIZE_T read = 0;
    if (!NtQueryInformationProcess(process.get(), ProcessBasicInformation, &basic, sizeof basic, nullptr) &&
        ReadProcessMemory(process.get(), reinterpret_cast<BYTE*>(basic.PebBaseAddress) + 0xF8, &table, 8, nullptr) &&
        ReadProcessMemory(process.get(), reinterpret_cast<void*>(table), entries.data(), entries.size(), &read) &&
        read == entries.size()) {
        c.substitute[1] = 0;
        for (size_t at = 14; at < entries.size(); at += 24) c.substitute[1] += entries[at] != 0;
    }
    // Its windows: top-level and message-only ones with all their descendants.
    const std::function<long(HWND)> tree = [&](HWND w) {
        long n = 1;
        for (HWND child = GetWindow(w, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) n += tree(child);
        return n;
    };
    c.substitute[2] = 0;
    for (HWND parent : {HWND(nullptr), HWND_MESSAGE})
        for (HWND top = nullptr; (top = FindWindowExW(parent, top, nullptr, nullptr));) {
            DWORD owner = 0;
            GetWindowThreadProcessId(top, &owner);
            c.substitute[2] += owner == processId ? tree(top) : 0;
        }
    return c;
}

// argv: TOOL LEAK_TARGET RECORDER RESULT.json LIST CYCLES HELP_TOGGLES ABOUT_SHOWINGS
int soak(wchar_t** argv) {
    // Growth allowed from the first cycle to the end: below the shortest loop (50 About
    // showings), so a handle kept per repetition fails; above the caches that the first help
    // toggle and About showing make for the process's life.
    constexpr long kAllowedGrowth = 24;
    const int cycles = _wtoi(argv[5]), helpToggles = _wtoi(argv[6]), aboutShowings = _wtoi(argv[7]);
    const std::wstring kinds[] = {L"kernel", L"GDI", L"USER"}, resultPath = argv[3], urlLog = resultPath + L".urls.txt";
    Checks check;
    std::string out = "{";
    // A count is only trusted if a deliberate leak of 10 events, pens and windows moves it.
    Process target;
    std::vector<HWND> leaker;
    const auto leakerUp = [&] { return !(leaker = windowsOf(target.id(), L"SoakLeakTarget", true)).empty(); };
    if (check(target.start(argv[1]) && waitFor(leakerUp, 20s), L"leak target started")) {
        const Counts before = countsOf(target.id());
        SendMessageW(leaker[0], WM_APP, 10, 0);
        const Counts after = countsOf(target.id());
        for (int k = 0; k < 3; ++k)
            check(before[k] >= 0 && after[k] - before[k] >= 10, kinds[k] + L" count moves with a leak");
        out += R"("self_check":{"before":)" + before.json() + R"(,"after":)" + after.json() + "},";
    }

    // The About window opens the home page first: a recorder stands in for the browser.
    DeleteFileW(urlLog.c_str());
    const HandlerOverride http(L"http", L"\"" + std::wstring(argv[2]) + L"\" \"" + urlLog + L"\" \"%1\"");
    Process process;
    HWND main = launchTool(process, argv[0]);
    if (!check(http.ok && main, L"recorder registered, tool started")) return 1;
    const auto press = [&](int id) { PostMessageW(GetDlgItem(main, id), BM_CLICK, 0, 0); };
    const auto outputText = [&] { return windowText(GetDlgItem(main, app::IdOutputBox)); };
    std::wstring expected;  // the list's lines come separated by '|'
    for (const wchar_t* c = argv[4]; *c; ++c) expected += *c == L'|' ? std::wstring(L"\r\n") : std::wstring(1, *c);
    expected += L"\r\n";
    std::string boxes, wrongCycles;
    // One command; the message boxes answered meanwhile are noted.
    const auto run = [&](int command, int cycle, const char* phase, const std::function<bool()>& done) {
        std::vector<SeenBox> seen;
        press(command);
        const bool idle = waitIdle(main, process.id(), seen, 60s, done);
        for (const SeenBox& b : seen)
            boxes += std::string(boxes.empty() ? "" : ",") + R"({"cycle":)" + std::to_string(cycle) + R"(,"phase":")" +
                     phase + R"(","caption":)" + json(b.caption) + R"(,"text":)" + json(b.text) + "}";
        return idle;
    };
    using Clock = std::chrono::steady_clock;
    const auto since = [](Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); };
    auto start = Clock::now();
    double seconds[4] = {};  // the first cycle, all cycles, help, About
    Counts first[2], last[2], toolAfter[2];  // tool, stand-in; tool after the cycles and after help
    DWORD standinId = 0;
    for (int n = 1, wrong = 0; n <= cycles && wrong < 5; ++n) {
        // Initialise always empties the output box first: a marker there shows it ran.
        SendMessageW(GetDlgItem(main, app::IdOutputBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"-"));
        if (!run(app::IdInitialiseOriginButton, n, "initialise", [&] { return outputText().empty(); }) ||
            !run(app::IdPickNodesButton, n, "pick", [&] { return outputText() == expected; }) || outputText() != expected) {
            wrong += !check(false, L"cycle " + std::to_wstring(n) + L": the node list", L"got " + outputText());
            wrongCycles += std::string(wrongCycles.empty() ? "" : ",") + std::to_string(n);
        }
        if (n > 1) continue;
        seconds[0] = since(start);
        GetWindowThreadProcessId(FindWindowW(L"PontiroStandinCad", nullptr), &standinId);
        first[0] = countsOf(process.id());
        first[1] = countsOf(standinId);
    }
    seconds[1] = since(start);
    toolAfter[0] = countsOf(process.id());
    // Help: the window grows and shrinks between the two heights the first two presses set.
    start = Clock::now();
    std::vector<long> heights;
    int wrongPresses = 0, wrongShowings = 0;
    for (int i = 0; i < helpToggles; ++i) {
        const auto height = [&] { return box(windowRect(main))[3]; };
        const long before = height();
        press(app::IdHelpButton);
        wrongPresses += !waitFor([&] { return height() != before; }, 5s) || (i >= 2 && height() != heights[i - 2]);
        heights.push_back(height());
    }
    check(!wrongPresses && helpToggles >= 2 && heights[0] > heights[1], L"help toggled between two heights");
    seconds[2] = since(start);
    toolAfter[1] = countsOf(process.id());
    start = Clock::now();
    for (int i = 0; i < aboutShowings; ++i) {
        press(app::IdMoreSoftwareButton);
        HWND about = nullptr;
        waitFor([&] { return (about = findTopLevel(process.id(), about::kAboutWindowClass)) != nullptr; }, 10s);
        PostMessageW(GetDlgItem(about, about::IdOkButton), BM_CLICK, 0, 0);
        wrongShowings += !about || !waitFor([&] { return !IsWindow(about) && IsWindowEnabled(main); }, 10s);
    }
    check(!wrongShowings, L"About shown and closed every time");
    seconds[3] = since(start);
    Sleep(1000);  // the home page handlers the About showings started end
    last[0] = countsOf(process.id());
    last[1] = countsOf(standinId);
    for (int who = 0; who < 2; ++who)
        for (int k = 0; k < 3; ++k)
            check(first[who][k] >= 0 && last[who][k] - first[who][k] <= kAllowedGrowth,
                  (who ? L"stand-in CAD " : L"tool ") + kinds[k] + L" handles: " + std::to_wstring(first[who][k]) +
                      L" after the first cycle, " + std::to_wstring(last[who][k]) + L" at the end");
    check(!process.waitExit(0ms), L"tool still running");

    char t[160];
    snprintf(t, sizeof t, R"("seconds":{"first_cycle":%.3f,"cycles":%.3f,"help":%.3f,"about":%.3f},"cycles":%d,)"
             R"("allowed_growth":%ld,)", seconds[0], seconds[1], seconds[2], seconds[3], cycles, kAllowedGrowth);
    out += t + (R"("sources":{"kernel":)" + last[0].source(0)) + R"(,"gdi":)" + last[0].source(1) + R"(,"user":)" +
           last[0].source(2) + R"(},"tool":{"first":)" + first[0].json() + R"(,"after_cycles":)" + toolAfter[0].json() +
           R"(,"after_help":)" + toolAfter[1].json() + R"(,"last":)" + last[0].json() + R"(},"standin":{"first":)" +
           first[1].json() + R"(,"last":)" + last[1].json() + R"(},"wrong_cycles":[)" + wrongCycles + R"(],"boxes":[)" +
           boxes + "]}\n";
    return check(writeFile(resultPath, out), L"result written") && !check.failed ? 0 : 1;
}

}  // namespace driver
