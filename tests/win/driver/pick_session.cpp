// Plays a list of user steps against the running tool and writes what the user would see
// afterwards (the output box, the pick-nodes button, every message box in order) as JSON,
// for the picking tests to check together with the stand-in CAD's journal.
// Steps: set:Text3=0.001  click:Command3  wait:SECONDS  sleep:MS  screenclick:X,Y  key:enter
//        snapshot:LABEL (output box, pick-nodes button, foreground window)  shot:FILE.bmp
//        copy:FROM>TO (a file, e.g. the CAD's next configuration)  run:EXE ARGS (waits for it;
//        EXE without spaces)
#include <cstdio>
#include <string>
#include <vector>

#include "app/main_window_ids.h"
#include "harness.h"

namespace driver {
namespace {

using namespace std::chrono_literals;

struct SeenMessage {
    std::wstring caption;
    std::wstring text;
};

struct Snapshot {
    std::wstring label;
    std::wstring text8;
    bool command1 = false;
    std::wstring foreground;
};

int controlId(const std::wstring& name) {
    if (name == L"Text1") return app::IdText1;
    if (name == L"Text3") return app::IdText3;
    if (name == L"Text8") return app::IdText8;
    if (name == L"Command1") return app::IdCommand1;
    if (name == L"Command3") return app::IdCommand3;
    return 0;
}

// The tool's open message box, if any.
HWND messageBoxOf(DWORD processId) { return findTopLevel(processId, L"#32770"); }

// Answers every message box with OK, noting it, until the tool has no command running.
bool waitIdle(HWND main, DWORD processId, std::vector<SeenMessage>& seen, std::chrono::seconds bound) {
    return waitFor(
        [&] {
            if (HWND box = messageBoxOf(processId)) {
                Sleep(100);  // let it finish drawing
                seen.push_back({windowText(box), windowText(GetDlgItem(box, 0xFFFF))});
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                waitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5s);
                return false;
            }
            DWORD_PTR running = 1;
            if (!SendMessageTimeoutW(main, app::kQueryCommandRunning, 0, 0, SMTO_ABORTIFHUNG, 200, &running))
                return false;
            return running == 0;
        },
        bound);
}

}  // namespace

int pickSession(const std::wstring& tool, const std::wstring& resultPath, const std::vector<std::wstring>& steps) {
    Checks checks;
    Process process;
    HWND main = launchTool(checks, process, tool);
    std::vector<SeenMessage> seen;
    std::vector<Snapshot> snapshots;
    for (const std::wstring& step : steps) {
        if (!main) break;
        const size_t colon = step.find(L':');
        const std::wstring verb = step.substr(0, colon);
        const std::wstring arg = colon == std::wstring::npos ? L"" : step.substr(colon + 1);
        if (verb == L"set") {
            const size_t eq = arg.find(L'=');
            SendMessageW(GetDlgItem(main, controlId(arg.substr(0, eq))), WM_SETTEXT, 0,
                         reinterpret_cast<LPARAM>(arg.substr(eq + 1).c_str()));
        } else if (verb == L"click") {
            // Posted: the tool stays inside the CAD's calls until the command ends.
            PostMessageW(GetDlgItem(main, controlId(arg)), BM_CLICK, 0, 0);
            Sleep(100);
        } else if (verb == L"wait") {
            checks.expect(waitIdle(main, process.id(), seen, std::chrono::seconds(_wtoi(arg.c_str()))),
                          L"command finished within " + arg + L" s");
        } else if (verb == L"sleep") {
            Sleep(static_cast<DWORD>(_wtoi(arg.c_str())));
        } else if (verb == L"screenclick") {
            const size_t comma = arg.find(L',');
            const int x = _wtoi(arg.substr(0, comma).c_str());
            const int y = _wtoi(arg.substr(comma + 1).c_str());
            SetCursorPos(x - 5, y - 5);  // the CAD sees the pointer arrive, as from a hand
            Sleep(50);
            clickAt(x, y);
            Sleep(150);
        } else if (verb == L"snapshot") {
            snapshots.push_back({arg, windowText(GetDlgItem(main, app::IdText8)),
                                 IsWindowEnabled(GetDlgItem(main, app::IdCommand1)) != 0,
                                 windowText(GetForegroundWindow())});
        } else if (verb == L"shot") {
            checks.expect(saveScreenshot(arg), L"screenshot " + arg);
        } else if (verb == L"copy") {
            const size_t to = arg.find(L'>');
            checks.expect(to != std::wstring::npos &&
                              CopyFileW(arg.substr(0, to).c_str(), arg.substr(to + 1).c_str(), FALSE) != 0,
                          L"copied " + arg);
        } else if (verb == L"run") {
            const size_t space = arg.find(L' ');
            Process program;
            checks.expect(program.start(arg.substr(0, space), space == std::wstring::npos ? L"" : arg.substr(space + 1)) &&
                              program.waitExit(30s),
                          L"ran " + arg);
        } else if (verb == L"key" && arg == L"enter") {
            pressKey(VK_RETURN);
        } else {
            checks.expect(false, L"known step " + step);
        }
    }
    const bool alive = main && WaitForSingleObject(process.handle(), 0) == WAIT_TIMEOUT;
    checks.expect(alive, L"tool still running");
    std::string out = "{\"alive\":" + std::string(alive ? "true" : "false");
    if (alive) {
        out += ",\"text8\":" + json(windowText(GetDlgItem(main, app::IdText8)));
        out += ",\"text1\":" + json(windowText(GetDlgItem(main, app::IdText1)));
        out += ",\"command1\":" + std::string(IsWindowEnabled(GetDlgItem(main, app::IdCommand1)) ? "true" : "false");
    }
    out += ",\"snapshots\":[";
    for (size_t i = 0; i < snapshots.size(); ++i) {
        const Snapshot& s = snapshots[i];
        out += i ? ",{\"label\":" : "{\"label\":";
        out += json(s.label);
        out += ",\"text8\":";
        out += json(s.text8);
        out += s.command1 ? ",\"command1\":true" : ",\"command1\":false";
        out += ",\"foreground\":";
        out += json(s.foreground);
        out += "}";
    }
    out += "],\"messages\":[";
    for (size_t i = 0; i < seen.size(); ++i) {
        out += i ? ",{\"caption\":" : "{\"caption\":";
        out += json(seen[i].caption);
        out += ",\"text\":";
        out += json(seen[i].text);
        out += "}";
    }
    out += "]}\n";
    writeResult(checks, resultPath, out);
    return checks.summary();
}

}  // namespace driver
