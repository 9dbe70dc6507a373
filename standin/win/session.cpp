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
        else if (!a.empty() && a[0] != L'-' && a[0] != L'/') options.drawingPath = a;
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

    firstGeometry_ = builtInSection();
    std::wstring name = L"section.dxf";
    std::wstring fullName = dataFolder() + L"\\section.dxf";
    if (!config_.drawing.empty()) {
        const std::wstring path = widen(config_.drawing);
        const auto text = readFile(path);
        DxfResult dxf = text ? readDxf(*text) : DxfResult{{}, 0, "cannot read the file"};
        if (dxf.error.empty() && !dxf.geometry.vertices.empty()) {
            firstGeometry_ = std::move(dxf.geometry);
            name = fileName(path);
            fullName = path;
            event("drawing", "\"path\":" + jsonString(config_.drawing) +
                                 ",\"entities\":" + std::to_string(dxf.entitiesRead) +
                                 ",\"vertices\":" + std::to_string(firstGeometry_.vertices.size()) +
                                 ",\"first_vertices\":" + verticesJson(firstGeometry_.vertices, 5));
        } else {
            const std::string why = dxf.error.empty() ? "no LINE or polyline with vertices" : dxf.error;
            event("drawing", "\"path\":" + jsonString(config_.drawing) + ",\"error\":" + jsonString(why));
            // A drawing a person named is not swapped for the built-in one behind their back;
            // from the configuration the built-in section stands in.
            if (!options.drawingPath.empty()) {
                report(L"cadstandin: cannot show " + path + L": " + widen(why));
                return false;
            }
        }
    }
    firstName_ = name;
    firstFullName_ = fullName;
    if (!config_.noDrawing) openDocument(name, fullName, firstGeometry_);
    return true;
}

Document* Session::openDocument(const std::wstring& name, const std::wstring& fullName, Geometry geometry) {
    ComPtr<Document> document = win::makeComObject<Document>(name, fullName, std::move(geometry));
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
        openDocument(name, dataFolder() + L"\\" + name, firstGeometry_);
        event("fault", "\"fault\":\"second_drawing\",\"name\":" + jsonString(toUtf8(name)));
    }
    if (config_.closeDrawingAfterCall == n && active_) closeActiveDocument();
    if (config_.openDrawingAfterCall == n && !active_) {
        openDocument(firstName_, firstFullName_, firstGeometry_);
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
    if (nextAnswer_ >= answers_.size()) return std::nullopt;
    return answers_[nextAnswer_++];
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
