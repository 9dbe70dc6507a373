// The thread the CAD is reached from. A CAD call can last as long as the user takes to pick
// (a prompt) or for ever (a CAD that stopped answering), so no window waits for one: the
// commands run here, in a single-threaded apartment of their own, and the window is told
// when a command has ended.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "cad/cad_link.h"
#include "cad/pick_commands.h"

namespace cad {

class CadWorker {
public:
    // Runs on the worker; the link and the pick state are made and kept there.
    using Command = std::function<CommandOutcome(CadLink&, PickState&)>;
    using LinkFactory = std::function<std::unique_ptr<CadLink>()>;

    // When a command ends, `doneMessage` is posted to `window`; its lParam goes to takeOutcome.
    CadWorker(HWND window, UINT doneMessage, LinkFactory makeLink);
    CadWorker(const CadWorker&) = delete;
    CadWorker& operator=(const CadWorker&) = delete;
    // Asks the thread to end and does not wait: it may be inside a call that never returns.
    ~CadWorker();

    // Queues a command; false when the thread could not take it.
    bool run(Command command);

    // The outcome carried by a done message (owned by the message until taken).
    static CommandOutcome takeOutcome(LPARAM lParam);

private:
    DWORD threadId_ = 0;
};

}  // namespace cad
