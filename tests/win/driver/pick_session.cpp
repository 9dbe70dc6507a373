// Plays a list of user steps against the running tool and writes what the user would see
// afterwards (the output box, the pick-nodes button, every message box in order) as JSON,
// for the picking tests to check together with the stand-in CAD's journal. The tool and every
// stand-in CAD end with the session.
// Steps: set:scale=0.001  click:initialise  wait:SECONDS  sleep:MS  screenclick:X,Y
//        key:enter|esc|LETTER  snapshot:LABEL (output box and whether it is read-only, pick-nodes
//        button, foreground window)  screenshot:UNIX_PATH.png
//        copy:FROM>TO (a file, e.g. the CAD's next configuration)  run:EXE ARGS (waits for it;
//        EXE without spaces)  args:ARGS (first step only: the tool's command line)
//        move:X,Y (the tool's main window, out of the way of the drawing)
//        cadswitch:N (the CAD's Window menu: drawing N)  front:TITLE (until the foreground
//        window's title starts so)  lines:N (until the output box holds N lines); 30 s each
#include <map>
#include <span>

#include "app/main_window_ids.h"
#include "harness.h"
#include <oleauto.h>
#include <tlhelp32.h>
#include "win/commands.h"
#include "win/registration.h"

namespace driver {

// A click is sent with this callback instead of posted: the callback says that the button's
// handler has run, so the command it started already counts as running.
static void CALLBACK clickHandled(HWND, UINT, ULONG_PTR handled, LRESULT) { *reinterpret_cast<bool*>(handled) = true; }

// Every stand-in CAD of this Wine ends with the session, and the running object table no longer
// finds one: the next session starts with none, as after a restart of Wine, without its cost.
static bool endCads() {
    std::vector<DWORD> ids;
    const win::KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (bool more = snapshot && Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        if (_wcsicmp(entry.szExeFile, L"cadstandin.exe") == 0) ids.push_back(entry.th32ProcessID);
    bool ended = true;
    for (DWORD id : ids) {
        const win::KernelHandle cad(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!cad) continue;  // already gone
        TerminateProcess(cad.get(), 99);
        ended &= WaitForSingleObject(cad.get(), 10000) == WAIT_OBJECT_0;
    }
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    const bool forgotten = com && waitFor([] {
        IUnknown* running = nullptr;
        const HRESULT hr = GetActiveObject(standin::kStandinClsid, nullptr, &running);
        if (running) running->Release();
        return hr == MK_E_UNAVAILABLE;
    }, 10s);
    if (com) CoUninitialize();
    return ended && forgotten;
}

int pickSession(const std::wstring& tool, const std::wstring& resultPath, const std::vector<std::wstring>& steps) {
    Checks check;
    Process process;
    const bool withArgs = !steps.empty() && steps[0].starts_with(L"args:");
    HWND main = launchTool(process, tool, withArgs ? steps[0].substr(5) : L"");
    check(main != nullptr, L"tool started, main window shown");
    const std::map<std::wstring, int> ids{{L"decimals", app::IdDecimalsBox}, {L"scale", app::IdScaleFactorBox}, {L"output", app::IdOutputBox},
                                          {L"pickNodes", app::IdPickNodesButton}, {L"initialise", app::IdInitialiseOriginButton}};
    const auto item = [&](const std::wstring& name) { return GetDlgItem(main, ids.count(name) ? ids.at(name) : 0); };
    const auto text = [&](const wchar_t* name) { return json(windowText(item(name))); };
    const auto pickEnabled = [&] { return std::string(IsWindowEnabled(item(L"pickNodes")) ? "true" : "false"); };
    std::vector<SeenBox> seen;
    std::string snapshots;
    bool clickDone = true;
    // A wait after a click lasts until the click's handler ran and the command it started ended.
    const auto clicked = [&] {
        for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);  // runs clickHandled
        return clickDone;
    };
    for (const std::wstring& step : std::span(steps).subspan(withArgs ? 1 : 0)) {
        if (!main) break;
        const size_t colon = step.find(L':');
        const std::wstring verb = step.substr(0, colon), arg = colon == step.npos ? L"" : step.substr(colon + 1);
        const size_t split = arg.find(verb == L"set" ? L'=' : verb == L"copy" ? L'>' : verb == L"run" ? L' ' : L',');
        const std::wstring first = arg.substr(0, split), rest = split == arg.npos ? L"" : arg.substr(split + 1);
        Process program;
        if (verb == L"set") {
            SendMessageW(item(first), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(rest.c_str()));
        } else if (verb == L"click") {
            clickDone = false;
            check(SendMessageCallbackW(item(arg), BM_CLICK, 0, 0, clickHandled, reinterpret_cast<ULONG_PTR>(&clickDone)),
                  L"step " + step);
        } else if (verb == L"wait") {
            check(waitIdle(main, process.id(), seen, std::chrono::seconds(_wtoi(arg.c_str())), clicked),
                  L"finished: " + arg);
        } else if (verb == L"sleep") {
            Sleep(static_cast<DWORD>(_wtoi(arg.c_str())));
        } else if (verb == L"screenclick") {
            SetCursorPos(_wtoi(first.c_str()) - 5, _wtoi(rest.c_str()) - 5);  // the CAD sees the pointer arrive
            Sleep(50);
            clickAt(_wtoi(first.c_str()), _wtoi(rest.c_str()));
            Sleep(150);
        } else if (verb == L"snapshot") {
            const bool readOnly = GetWindowLongPtrW(item(L"output"), GWL_STYLE) & ES_READONLY;
            snapshots += std::string(snapshots.empty() ? "" : ",") + "{\"label\":" + json(arg) + ",\"output\":" +
                         text(L"output") + ",\"readOnly\":" + (readOnly ? "true" : "false") + ",\"pickEnabled\":" +
                         pickEnabled() + ",\"foreground\":" + json(windowText(GetForegroundWindow())) + "}";
        } else if (verb == L"cadswitch") {
            HWND cad = FindWindowW(L"PontiroStandinCad", nullptr);
            DWORD_PTR ignored = 0;
            check(cad && SendMessageTimeoutW(cad, WM_COMMAND, standin::kSwitchDrawingCommand + _wtoi(arg.c_str()) - 1, 0,
                                             SMTO_ABORTIFHUNG, 5000, &ignored), L"step " + step);
        } else if (verb == L"front") {
            check(waitFor([&] { return windowText(GetForegroundWindow()).starts_with(arg); }, 30s), L"step " + step);
        } else if (verb == L"lines") {
            const auto count = [&] { return std::ranges::count(windowText(item(L"output")), L'\n'); };
            check(waitFor([&] { return count() == _wtoi(arg.c_str()); }, 30s), L"step " + step);
        } else if (verb == L"move") {
            SetWindowPos(main, nullptr, _wtoi(first.c_str()), _wtoi(rest.c_str()), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        } else if (verb == L"screenshot") {
            check(saveScreenshot(arg), L"step " + step);
        } else if (verb == L"key" && (arg == L"enter" || arg == L"esc" || arg.size() == 1)) {
            pressKey(arg == L"enter" ? VK_RETURN : arg == L"esc" ? VK_ESCAPE : LOBYTE(VkKeyScanW(arg[0])));
        } else {  // checked: a file copied, a program run to its end
            const bool copied = verb == L"copy" && CopyFileW(first.c_str(), rest.c_str(), FALSE);
            check(copied || (verb == L"run" && program.start(first, rest) && program.waitExit(30s)), L"step " + step);
        }
    }
    const bool alive = check(main && !process.waitExit(0ms), L"tool still running");
    std::string out = "{\"alive\":" + std::string(alive ? "true" : "false");
    if (alive) out += ",\"output\":" + text(L"output") + ",\"decimals\":" + text(L"decimals") + ",\"pickEnabled\":" + pickEnabled();
    out += ",\"snapshots\":[" + snapshots + "],\"messages\":[";
    for (size_t i = 0; i < seen.size(); ++i)
        out += std::string(i ? "," : "") + "{\"caption\":" + json(seen[i].caption) + ",\"text\":" +
               json(seen[i].text) + "}";
    check(writeFile(resultPath, out + "]}\n"), L"result written");
    if (process.info.hProcess && !process.waitExit(0ms)) TerminateProcess(process.info.hProcess, 99), process.waitExit(5s);
    check(endCads(), L"stand-in CADs ended");
    return check.failed ? 1 : 0;
}

}  // namespace driver
