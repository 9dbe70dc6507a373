// The stand-in's main window: the active drawing zoomed to fit, a cross-hair cursor with
// endpoint snap, the point entities in their colour and pdmode style, a command line at
// the bottom with the current prompt, and the cursor's drawing coordinates.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "rules/script.h"
#include "rules/view.h"

namespace standin {

enum class PromptEnd { Point, Enter, Escape, Closed };

struct PromptOutcome {
    PromptEnd end = PromptEnd::Closed;
    double x = 0, y = 0, z = 0;
};

class CadWindow {
public:
    CadWindow() = default;
    CadWindow(const CadWindow&) = delete;
    CadWindow& operator=(const CadWindow&) = delete;

    bool create(HINSTANCE instance, bool show);
    HWND hwnd() const { return hwnd_; }

    void setVisible(bool visible);
    bool visible() const;
    std::wstring caption() const;
    // The active drawing changed: new title, zoom to fit, repaint.
    void documentChanged();
    void redraw();

    bool promptActive() const { return prompt_.active; }
    // Shows the prompt, brings the window forward and runs a nested message loop until the
    // user (or the scripted answer) ends it. Incoming COM calls are served meanwhile.
    PromptOutcome runPrompt(const std::wstring& prompt, const std::optional<std::vector<double>>& base,
                            const std::optional<Answer>& scripted);

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void onPaint();
    void onSize();
    void onMouseMove(int x, int y);
    void onLeftButtonDown(int x, int y);
    void onRightButtonUp();
    void onKeyDown(WPARAM key);
    void onTimer(UINT_PTR id);
    void onClose();
    bool onSetCursor();

    void endPrompt(PromptEnd end, double x = 0, double y = 0, double z = 0);
    void addHistory(const std::wstring& line);
    RECT canvasRect() const;
    int scaled(int pixelsAt96) const { return MulDiv(pixelsAt96, dpi_, 96); }
    void journalView();

    struct Prompt {
        bool active = false;
        bool done = false;
        std::wstring text;
        std::optional<std::vector<double>> base;
        std::optional<Answer> scripted;
        PromptOutcome outcome;
    };

    HWND hwnd_ = nullptr;
    int dpi_ = 96;
    ViewTransform view_;
    POINT cursor_{-1, -1};
    bool cursorInCanvas_ = false;
    std::optional<Vec2> snapped_;
    Prompt prompt_;
    std::vector<std::wstring> history_;
};

}  // namespace standin
