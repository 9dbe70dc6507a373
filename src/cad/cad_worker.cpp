#include "cad/cad_worker.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "cad/message_filter.h"

namespace cad {
namespace {

constexpr UINT kRunCommand = WM_APP + 1;

void postOutcome(HWND window, UINT doneMessage, CommandOutcome outcome) {
    auto* carried = new CommandOutcome(std::move(outcome));
    if (!PostMessageW(window, doneMessage, 0, reinterpret_cast<LPARAM>(carried))) delete carried;
}

// The worker's thread id, handed over once its message queue exists.
struct Started {
    std::mutex mutex;
    std::condition_variable signal;
    DWORD threadId = 0;
};

// The thread's whole life: COM, the CAD link and the pick state are its own.
void workerMain(HWND window, UINT doneMessage, CadWorker::LinkFactory makeLink, std::shared_ptr<Started> started) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before anyone posts to it
    const bool comReady = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    {
        std::lock_guard lock(started->mutex);
        started->threadId = GetCurrentThreadId();
    }
    started->signal.notify_one();
    started.reset();
    {
        // A busy CAD's rejected calls are retried by COM for a while instead of failing at once.
        ScopedMessageFilter filter;
        if (comReady) (void)filter.install();
        std::unique_ptr<CadLink> link;
        PickState state;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.hwnd || msg.message != kRunCommand) {
                DispatchMessageW(&msg);  // COM's own windows
                continue;
            }
            std::unique_ptr<CadWorker::Command> command(reinterpret_cast<CadWorker::Command*>(msg.lParam));
            CommandOutcome outcome = unknownErrorOutcome();
            if (comReady) {
                try {
                    if (!link) link = makeLink();
                    outcome = (*command)(*link, state);
                } catch (...) {
                    outcome = unknownErrorOutcome();
                }
            }
            postOutcome(window, doneMessage, std::move(outcome));
        }
    }
    if (comReady) CoUninitialize();
}

}  // namespace

CadWorker::CadWorker(HWND window, UINT doneMessage, LinkFactory makeLink) {
    try {
        auto started = std::make_shared<Started>();
        std::thread(workerMain, window, doneMessage, std::move(makeLink), started).detach();
        std::unique_lock lock(started->mutex);
        started->signal.wait(lock, [&] { return started->threadId != 0; });
        threadId_ = started->threadId;
    } catch (...) {
        threadId_ = 0;  // no thread: run() says so
    }
}

CadWorker::~CadWorker() {
    if (threadId_) PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
}

bool CadWorker::run(Command command) {
    if (!threadId_) return false;
    auto carried = std::make_unique<Command>(std::move(command));
    if (!PostThreadMessageW(threadId_, kRunCommand, 0, reinterpret_cast<LPARAM>(carried.get()))) return false;
    carried.release();
    return true;
}

CommandOutcome CadWorker::takeOutcome(LPARAM lParam) {
    std::unique_ptr<CommandOutcome> carried(reinterpret_cast<CommandOutcome*>(lParam));
    return carried ? std::move(*carried) : CommandOutcome{};
}

}  // namespace cad
