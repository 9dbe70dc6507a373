// The state of the running stand-in: its configuration and answer script, the journal, the
// open drawings, the call counter and the faults on demand, and its window.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rules/script.h"
#include "win/journal.h"
#include "win/objects.h"
#include "win/registration.h"

namespace standin {

class CadWindow;

// What the command line asked for; the configuration file fills in the rest.
struct Options {
    bool embedding = false;  // started by COM to serve a client
    bool doRegister = false;
    bool doUnregister = false;
    std::wstring progId = kDefaultProgId;  // --class: the name registered or removed
    std::wstring configPath;   // --config, else the fixed place
    std::wstring scriptPath;   // --script overrides the configuration
    std::wstring journalPath;  // --journal overrides the configuration
    std::wstring drawingPath;  // a DXF file named on the command line
    std::wstring secondDrawingPath;  // a second one, opened as a second drawing
};

Options parseCommandLine(const std::wstring& commandLine);
// C:\ProgramData\PontiroStandin (the common application-data folder of the prefix).
std::wstring dataFolder();
// Messages go to standard error when there is one (a console or a redirected run) and to
// standin.log in the data folder, since a GUI program started from a shell may have none.
void report(const std::wstring& message);

class Session {
public:
    // Reads configuration and script, opens the journal and the first drawing. False when
    // the drawing named on the command line cannot be read (the journal says why).
    bool start(const Options& options);
    void stop();

    const Config& config() const { return config_; }
    Journal& journal() { return journal_; }
    void event(const std::string& name, const std::string& fields);
    unsigned long long elapsedMs() const { return GetTickCount64() - startTick_; }

    // Call counting and the faults tied to call numbers.
    int beginCall() { return ++calls_; }
    void afterCall(int n);
    // Count a call to object.member; true when it is the one die_at / fail_at names.
    bool diesAt(const wchar_t* object, const wchar_t* member) { return hits(config_.dieAt, dieAtSeen_, object, member); }
    bool failsAt(const wchar_t* object, const wchar_t* member) {
        return hits(config_.failAt, failAtSeen_, object, member);
    }
    bool hangsAt(const wchar_t* object, const wchar_t* member) {
        return hits(config_.hangAt, hangAtSeen_, object, member);
    }
    // Whether a call that ended with `hr` goes into the journal at the configured level.
    bool journals(HRESULT hr) const { return config_.journalLevel == JournalLevel::All || hr != S_OK; }
    bool isBusy() const { return busyUntil_ != 0 && GetTickCount64() < busyUntil_; }

    // The next scripted answer for a prompt; empty when the script is used up.
    std::optional<Answer> nextAnswer();
    // Runs the script's switch steps that follow the last answer given.
    void runScriptSwitches();

    Application* application() const { return application_.Get(); }
    Document* activeDocument() const { return active_; }
    const std::vector<ComPtr<Document>>& documents() const { return documents_; }
    // Makes drawing `number` (1 for the first opened) the active one, as a person does with
    // the Window menu; refused (and journalled) while a prompt waits or when it is closed.
    bool switchTo(int number, const char* source);
    // The next open drawing after the active one, round.
    bool switchToNext(const char* source);
    void setWindow(CadWindow* window) { window_ = window; }
    CadWindow* window() const { return window_; }
    void quit();

private:
    struct Drawing {
        std::vector<Entity> entities;
        std::wstring name, fullName;
    };
    // The drawing a DXF file holds; empty (the journal says why) when it cannot be shown.
    std::optional<Drawing> readDrawing(const std::string& path);
    Document* openDocument(const std::wstring& name, const std::wstring& fullName, std::vector<Entity> entities);
    void closeActiveDocument();

    Options options_;
    Config config_;
    Journal journal_;
    std::vector<Answer> answers_;
    size_t nextAnswer_ = 0;
    unsigned long long startTick_ = GetTickCount64();
    int calls_ = 0;
    unsigned long long busyUntil_ = 0;
    ComPtr<Application> application_;
    std::vector<ComPtr<Document>> documents_;
    std::vector<std::pair<Document*, DWORD>> rotCookies_;  // running object table entries
    int dieAtSeen_ = 0;
    int failAtSeen_ = 0;
    int hangAtSeen_ = 0;
    static bool hits(const std::optional<MemberCall>& target, int& seen, const wchar_t* object, const wchar_t* member);
    std::wstring firstName_, firstFullName_;
    Document* active_ = nullptr;
    std::vector<Entity> firstEntities_;
    CadWindow* window_ = nullptr;
};

Session& session();

}  // namespace standin
