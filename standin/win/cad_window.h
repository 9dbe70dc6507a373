// The stand-in's main window: the active drawing zoomed to fit, a cross-hair cursor with
// endpoint snap (a pick box alone at a selection prompt), the point entities in their colour
// and pdmode style, a command line at the bottom with the current prompt, what is typed at it
// and the cursor's drawing coordinates, and a Window menu listing the open drawings.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "rules/script.h"
#include "rules/view.h"

namespace standin {

class Document;

// What a prompt asks for: a point (GetPoint) or an entity (GetEntity).
enum class PromptKind { Point, Entity };
enum class PromptEnd { Point, Enter, Escape, Closed, Entity, Miss };

struct PromptOutcome {
    PromptEnd end = PromptEnd::Closed;
    double x = 0, y = 0, z = 0;  // Point: the pick; Entity: the click
    std::wstring keyword;  // Enter: the keyword as declared, or "" for nothing typed
    Document* document = nullptr;  // Entity: the drawing and the index of the entity selected
    size_t entity = 0;
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
    // The active drawing changed: new title and Window menu, zoom to fit, repaint.
    void documentChanged();
    void redraw();
    // The same once the automation calls pause (a burst of them repaints once).
    void redrawSoon();

    bool promptActive() const { return prompt_.active; }
    // Shows the prompt and runs a nested message loop until the user (or the answer script)
    // ends it; text typed at the command line counts only when it is one of `keywords`.
    // Incoming COM calls are served meanwhile.
    PromptOutcome runPrompt(const std::wstring& prompt, const std::optional<std::vector<double>>& base,
                            std::vector<std::wstring> keywords, PromptKind kind);
    // A line of text on the command line's history (Utility.Prompt).
    void showMessage(const std::wstring& text);

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void onPaint();
    void onSize();
    void onMouseMove(int x, int y);
    void onLeftButtonDown(int x, int y);
    void onRightButtonUp();
    void onKeyDown(WPARAM key);
    void onChar(wchar_t c);
    void onCommand(UINT id);
    void onTimer(UINT_PTR id);
    void onClose();
    bool onSetCursor();

    void scheduleAnswer(const std::optional<Answer>& scripted);
    // Enter (or Space, right-click, a scripted keyword) with `typed` on the command line.
    void submitInput(const std::wstring& typed, const char* source, const char* key);
    // A pick at a point prompt, a selection at an entity prompt; `at` in drawing units.
    void clickAt(Vec2 at, double z, const char* source);
    void endPrompt(PromptEnd end, double x = 0, double y = 0, double z = 0);
    double pickBoxInDrawing() const { return scaled(4) / view_.pixelsPerUnit(); }
    void addHistory(const std::wstring& line);
    RECT canvasRect() const;
    int scaled(int pixelsAt96) const { return MulDiv(pixelsAt96, dpi_, 96); }
    void journalView();

    struct Prompt {
        bool active = false;
        PromptKind kind = PromptKind::Point;
        bool done = false;
        std::wstring text;
        std::optional<std::vector<double>> base;
        std::optional<Answer> scripted;
        std::vector<std::wstring> keywords;
        std::wstring typed;
        PromptOutcome outcome;
    };

    HWND hwnd_ = nullptr;
    HMENU drawingsMenu_ = nullptr;  // the Window menu, owned by the window's menu bar
    int dpi_ = 96;
    ViewTransform view_;
    POINT cursor_{-1, -1};
    bool cursorInCanvas_ = false;
    std::optional<Vec2> snapped_;
    std::optional<size_t> hover_;  // the entity a click would select, at an entity prompt
    Prompt prompt_;
    std::vector<std::wstring> history_;
};

}  // namespace standin
