#include "win/session.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <memory>

#include "rules/dxf.h"
#include "rules/text.h"
#include "win/cad_window.h"

namespace standin {

Session& session() {
    static Session instance;
    return instance;
}

std::wstring dataFolder() {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, buffer))) {
        return L"C:\\ProgramData\\PontiroStandin";
    }
    return std::wstring(buffer) + L"\\PontiroStandin";
}

void report(const std::wstring& message) {
    const std::string line = toUtf8(message) + "\r\n";
    DWORD written = 0;
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err && err != INVALID_HANDLE_VALUE) WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    const std::wstring folder = dataFolder();
    CreateDirectoryW(folder.c_str(), nullptr);
    win::KernelHandle log(CreateFileW((folder + L"\\standin.log").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (log) WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

Options parseCommandLine(const std::wstring& commandLine) {
    Options options;
    int count = 0;
    LPWSTR* raw = CommandLineToArgvW(commandLine.c_str(), &count);
    if (!raw) return options;
    std::vector<std::wstring> args(raw + 1, raw + count);  // without the program itself
    LocalFree(raw);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (equalsIgnoreCase(a, L"-Embedding") || equalsIgnoreCase(a, L"/Embedding")) options.embedding = true;
        else if (a == L"--register") options.doRegister = true;
        else if (a == L"--unregister") options.doUnregister = true;
        else if (a == L"--class" && hasValue) options.progId = args[++i];
        else if (a == L"--config" && hasValue) options.configPath = args[++i];
        else if (a == L"--script" && hasValue) options.scriptPath = args[++i];
        else if (a == L"--journal" && hasValue) options.journalPath = args[++i];
        else if (!a.empty() && a[0] != L'-' && a[0] != L'/')
            (options.drawingPath.empty() ? options.drawingPath : options.secondDrawingPath) = a;
    }
    return options;
}

namespace {

// The whole file as bytes; empty when it cannot be read.
std::optional<std::string> readFile(const std::wstring& path) {
    win::KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string text;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    return text;
}

std::wstring fileName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::string errorsJson(const std::vector<std::string>& errors) {
    std::string out = "[";
    for (size_t i = 0; i < errors.size(); ++i) {
        if (i) out += ',';
        out += jsonString(errors[i]);
    }
    out += ']';
    return out;
}

// The first `count` vertices as [[x,y],...], for a client that wants to pick them.
std::string verticesJson(const std::vector<Vec2>& vertices, size_t count) {
    std::string out = "[";
    for (size_t i = 0; i < vertices.size() && i < count; ++i) {
        char pair[64];
        std::snprintf(pair, sizeof pair, "%s[%.17g,%.17g]", i ? "," : "", vertices[i].x, vertices[i].y);
        out += pair;
    }
    return out + "]";
}

}  // namespace

void Session::event(const std::string& name, const std::string& fields) {
    // A long run answers thousands of prompts and shows the window at every connect: at the
    // failures level only the rarer events stay.
    if (config_.journalLevel == JournalLevel::Failures && (name == "answer" || name == "view")) return;
    journal_.write("{\"event\":" + jsonString(name) + ",\"ms\":" + std::to_string(elapsedMs()) +
                   (fields.empty() ? "" : "," + fields) + "}");
}

bool Session::start(const Options& options) {
    options_ = options;
    const std::wstring configPath = options.configPath.empty() ? dataFolder() + L"\\config.ini" : options.configPath;
    const auto configText = readFile(configPath);
    if (configText) config_ = parseConfig(*configText);
    if (!options.scriptPath.empty()) config_.script = toUtf8(options.scriptPath);
    if (!options.journalPath.empty()) config_.journal = toUtf8(options.journalPath);
    if (!options.drawingPath.empty()) config_.drawing = toUtf8(options.drawingPath);
    if (!config_.journal.empty()) journal_.open(widen(config_.journal));

    std::vector<std::string> scriptErrors;
    if (!config_.script.empty()) {
        const auto scriptText = readFile(widen(config_.script));
        if (scriptText) {
            AnswerScript script = parseAnswerScript(*scriptText);
            answers_ = script.answers;
            scriptErrors = script.errors;
        } else {
            scriptErrors.push_back("cannot read " + config_.script);
        }
    }
    event("start", "\"pid\":" + std::to_string(GetCurrentProcessId()) +
                       ",\"embedding\":" + (options.embedding ? "true" : "false") +
                       ",\"config\":" + jsonString(toUtf8(configPath)) +
                       ",\"config_found\":" + (configText ? "true" : "false") +
                       ",\"config_errors\":" + errorsJson(config_.errors) +
                       ",\"answers\":" + std::to_string(answers_.size()) +
                       ",\"script_errors\":" + errorsJson(scriptErrors));

    application_ = win::makeComObject<Application>();
    if (config_.busyAfterCall == 0 && config_.busyMs > 0) busyUntil_ = GetTickCount64() + config_.busyMs;

    std::optional<Drawing> first;
    // A drawing a person named is not swapped for the built-in one behind their back; from
    // the configuration the built-in section stands in (a second drawing is then left out).
    if (!config_.drawing.empty() && !(first = readDrawing(config_.drawing)) && !options.drawingPath.empty()) {
        return false;
    }
    if (!first) first = Drawing{builtInSection(), L"section.dxf", dataFolder() + L"\\section.dxf"};
    std::optional<Drawing> second;
    if (!options.secondDrawingPath.empty()) config_.secondDrawing = toUtf8(options.secondDrawingPath);
    if (!config_.secondDrawing.empty() && !(second = readDrawing(config_.secondDrawing)) &&
        !options.secondDrawingPath.empty()) {
        return false;
    }
    firstEntities_ = first->entities;
    firstName_ = first->name;
    firstFullName_ = first->fullName;
    if (!config_.noDrawing) {
        Document* active = openDocument(firstName_, firstFullName_, firstEntities_);
        // The second drawing is open in the background: the first stays the active one.
        if (second) openDocument(second->name, second->fullName, std::move(second->entities));
        active_ = active;
    }
    return true;
}

std::optional<Session::Drawing> Session::readDrawing(const std::string& path) {
    const std::wstring widePath = widen(path);
    const auto text = readFile(widePath);
    DxfResult dxf = text ? readDxf(*text) : DxfResult{{}, "cannot read the file"};
    if (dxf.error.empty() && !dxf.entities.empty()) {
        const Geometry geometry = drawingOf(dxf.entities);
        event("drawing", "\"path\":" + jsonString(path) + ",\"entities\":" + std::to_string(dxf.entities.size()) +
                             ",\"vertices\":" + std::to_string(geometry.vertices.size()) +
                             ",\"first_vertices\":" + verticesJson(geometry.vertices, 5));
        return Drawing{std::move(dxf.entities), fileName(widePath), widePath};
    }
    const std::string why = dxf.error.empty() ? "no LINE, CIRCLE or polyline with vertices" : dxf.error;
    event("drawing", "\"path\":" + jsonString(path) + ",\"error\":" + jsonString(why));
    report(L"cadstandin: cannot show " + widePath + L": " + widen(why));
    return std::nullopt;
}

Document* Session::openDocument(const std::wstring& name, const std::wstring& fullName, std::vector<Entity> entities) {
    ComPtr<Document> document = win::makeComObject<Document>(name, fullName, std::move(entities));
    documents_.push_back(document);
    active_ = document.Get();
    // Open drawings are also in the running object table under their path, as documents
    // of desktop applications are, so a client can bind to one by its file name.
    ComPtr<IRunningObjectTable> rot;
    ComPtr<IMoniker> moniker;
    DWORD cookie = 0;
    if (SUCCEEDED(GetRunningObjectTable(0, &rot)) && SUCCEEDED(CreateFileMoniker(fullName.c_str(), &moniker)) &&
        SUCCEEDED(rot->Register(ROTFLAGS_REGISTRATIONKEEPSALIVE, static_cast<IDispatch*>(document.Get()),
                                moniker.Get(), &cookie))) {
        rotCookies_.emplace_back(document.Get(), cookie);
    }
    if (window_) window_->documentChanged();
    return active_;
}

void Session::afterCall(int n) {
    if (config_.eraseGroupAfterCall == n) {
        for (auto it = documents_.rbegin(); it != documents_.rend(); ++it) {
            bool hasGroup = false;
            for (const auto& group : (*it)->groups()) hasGroup = hasGroup || !group->erased();
            if (hasGroup) {
                (*it)->eraseNewestGroup();
                break;
            }
        }
    }
    if (config_.secondDrawingAfterCall == n) {
        const std::wstring name = L"Drawing" + std::to_wstring(documents_.size() + 1) + L".dxf";
        openDocument(name, dataFolder() + L"\\" + name, firstEntities_);
        event("fault", "\"fault\":\"second_drawing\",\"name\":" + jsonString(toUtf8(name)));
    }
    if (config_.closeDrawingAfterCall == n && active_) closeActiveDocument();
    if (config_.openDrawingAfterCall == n && !active_) {
        openDocument(firstName_, firstFullName_, firstEntities_);
        event("fault", "\"fault\":\"open_drawing\",\"name\":" + jsonString(toUtf8(firstName_)));
    }
    if (config_.busyAfterCall == n && n > 0 && config_.busyMs > 0) {
        busyUntil_ = GetTickCount64() + config_.busyMs;
        event("fault", "\"fault\":\"busy\",\"ms\":" + std::to_string(config_.busyMs));
    }
}

void Session::closeActiveDocument() {
    Document* closing = active_;
    closing->close();
    ComPtr<IRunningObjectTable> rot;
    for (auto it = rotCookies_.begin(); it != rotCookies_.end(); ++it) {
        if (it->first != closing) continue;
        if (SUCCEEDED(GetRunningObjectTable(0, &rot))) (void)rot->Revoke(it->second);
        rotCookies_.erase(it);
        break;
    }
    // The newest drawing still open becomes active, as a CAD switches to another window.
    active_ = nullptr;
    for (auto it = documents_.rbegin(); it != documents_.rend(); ++it) {
        if (!(*it)->closed()) {
            active_ = it->Get();
            break;
        }
    }
    if (window_) window_->documentChanged();
    event("fault", "\"fault\":\"close_drawing\",\"name\":" + jsonString(toUtf8(closing->name())));
}

bool Session::hits(const std::optional<MemberCall>& target, int& seen, const wchar_t* object, const wchar_t* member) {
    if (!target || !object || !member) return false;
    if (!equalsIgnoreCase(object, widen(target->object)) || !equalsIgnoreCase(member, widen(target->member)))
        return false;
    return ++seen == target->occurrence;
}

std::optional<Answer> Session::nextAnswer() {
    runScriptSwitches();
    if (nextAnswer_ >= answers_.size()) return std::nullopt;
    return answers_[nextAnswer_++];
}

void Session::runScriptSwitches() {
    while (nextAnswer_ < answers_.size() && answers_[nextAnswer_].kind == AnswerKind::Switch)
        switchTo(answers_[nextAnswer_++].drawing, "script");
}

bool Session::switchTo(int number, const char* source) {
    const std::string fields = "\"source\":" + jsonString(source) + ",\"drawing\":" + std::to_string(number);
    const char* refused = nullptr;
    if (number < 1 || static_cast<size_t>(number) > documents_.size()) refused = "no such drawing";
    else if (documents_[static_cast<size_t>(number) - 1]->closed()) refused = "the drawing was closed";
    // The prompt belongs to its drawing's command: the CAD keeps that drawing in front.
    else if (window_ && window_->promptActive()) refused = "a prompt is waiting";
    if (refused) {
        event("switch", fields + ",\"error\":" + jsonString(refused));
        return false;
    }
    active_ = documents_[static_cast<size_t>(number) - 1].Get();
    if (window_) window_->documentChanged();
    event("switch", fields + ",\"name\":" + jsonString(toUtf8(active_->name())));
    return true;
}

bool Session::switchToNext(const char* source) {
    const size_t count = documents_.size();
    size_t current = 0;
    while (current < count && documents_[current].Get() != active_) ++current;
    for (size_t step = 1; step < count; ++step) {
        const size_t next = (current + step) % count;
        if (!documents_[next]->closed()) return switchTo(static_cast<int>(next) + 1, source);
    }
    return false;
}

void Session::quit() {
    if (window_ && window_->hwnd()) {
        // Posted, so the Quit call is answered before the window goes.
        PostMessageW(window_->hwnd(), WM_CLOSE, 0, 0);
    } else {
        PostQuitMessage(0);
    }
}

void Session::stop() {
    ComPtr<IRunningObjectTable> rot;
    if (SUCCEEDED(GetRunningObjectTable(0, &rot))) {
        for (const auto& entry : rotCookies_) (void)rot->Revoke(entry.second);
    }
    rotCookies_.clear();
    event("exit", "\"calls\":" + std::to_string(calls_));
}

}  // namespace standin
