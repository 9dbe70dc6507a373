#include "win/cad_window.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "rules/entities.h"
#include "rules/text.h"
#include "win/com_util.h"
#include "win/commands.h"
#include "win/session.h"

namespace standin {
namespace {

constexpr wchar_t kClassName[] = L"PontiroStandinCad";
constexpr UINT_PTR kAnswerTimer = 1;
// Changes made through automation are shown once the calls pause: a client adding a hundred
// marks gets one repaint, not one per call, as a drawing program would do.
constexpr UINT_PTR kRedrawTimer = 2;
constexpr UINT kRedrawDelayMs = 15;
// A scripted answer without a delay comes through the queue at once: a timer would take
// Wine's 10 ms minimum per prompt, which a run of thousands of prompts notices.
constexpr UINT kAnswerNow = WM_APP + 1;
constexpr COLORREF kCanvasColor = RGB(33, 40, 48);
constexpr COLORREF kStripColor = RGB(16, 20, 24);
constexpr COLORREF kLineColor = RGB(225, 225, 225);
constexpr COLORREF kTextColor = RGB(210, 210, 210);
constexpr COLORREF kCrossHairColor = RGB(170, 170, 170);
constexpr COLORREF kSnapColor = RGB(255, 220, 0);

// Colour index -> screen colour: the seven standard colours; ByBlock/ByLayer draw white.
COLORREF indexColor(int index) {
    switch (index) {
    case 1: return RGB(255, 0, 0);
    case 2: return RGB(255, 255, 0);
    case 3: return RGB(0, 255, 0);
    case 4: return RGB(0, 255, 255);
    case 5: return RGB(0, 0, 255);
    case 6: return RGB(255, 0, 255);
    case 8: return RGB(128, 128, 128);
    case 9: return RGB(192, 192, 192);
    default: return RGB(255, 255, 255);
    }
}

void line(HDC dc, double x1, double y1, double x2, double y2) {
    MoveToEx(dc, static_cast<int>(std::lround(x1)), static_cast<int>(std::lround(y1)), nullptr);
    LineTo(dc, static_cast<int>(std::lround(x2)), static_cast<int>(std::lround(y2)));
}

std::wstring formatNumber(double v) {
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%.4f", v);
    return buffer;
}

}  // namespace

bool CadWindow::create(HINSTANCE instance, bool show) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = &CadWindow::windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc)) return false;

    dpi_ = GetDeviceCaps(win::WindowDc(nullptr).get(), LOGPIXELSX);
    if (dpi_ <= 0) dpi_ = 96;

    // The menu bar belongs to the window and goes with it.
    HMENU bar = CreateMenu();
    drawingsMenu_ = CreatePopupMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(drawingsMenu_), L"&Window");
    // Clear of the tool's promotion window at the left screen edge (131 px wide at 96 dpi until
    // it docks), so that real clicks on the drawing's left side reach the drawing.
    hwnd_ = CreateWindowExW(0, kClassName, L"Stand-in CAD", WS_OVERLAPPEDWINDOW, scaled(160), scaled(40),
                            scaled(1000), scaled(700), nullptr, bar, instance, this);
    if (!hwnd_) {
        DestroyMenu(bar);
        return false;
    }
    documentChanged();
    if (show) setVisible(true);
    return true;
}

void CadWindow::setVisible(bool visible) {
    if (!hwnd_) return;
    ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE);
    if (visible) UpdateWindow(hwnd_);
    journalView();
}

bool CadWindow::visible() const {
    return hwnd_ && IsWindowVisible(hwnd_);
}

std::wstring CadWindow::caption() const {
    if (!hwnd_) return {};
    wchar_t buffer[512] = {};
    GetWindowTextW(hwnd_, buffer, 512);
    return buffer;
}

void CadWindow::documentChanged() {
    if (!hwnd_) return;
    const Document* document = session().activeDocument();
    const std::wstring title = document ? L"Stand-in CAD - [" + document->name() + L"]" : L"Stand-in CAD";
    SetWindowTextW(hwnd_, title.c_str());
    // One item per drawing in the order they opened (Ctrl+Tab goes round them), the active
    // one checked, closed ones greyed.
    while (GetMenuItemCount(drawingsMenu_) > 0) DeleteMenu(drawingsMenu_, 0, MF_BYPOSITION);
    const auto& documents = session().documents();
    for (size_t i = 0; i < documents.size() && i < kMaxDrawingCommands; ++i) {
        const std::wstring label = L"&" + std::to_wstring(i + 1) + L" " + documents[i]->name();
        const UINT state = (documents[i].Get() == document ? MF_CHECKED : 0) | (documents[i]->closed() ? MF_GRAYED : 0);
        AppendMenuW(drawingsMenu_, MF_STRING | state, kSwitchDrawingCommand + i, label.c_str());
    }
    DrawMenuBar(hwnd_);
    onSize();
}

void CadWindow::redraw() {
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void CadWindow::redrawSoon() {
    if (hwnd_) SetTimer(hwnd_, kRedrawTimer, kRedrawDelayMs, nullptr);
}

PromptOutcome CadWindow::runPrompt(const std::wstring& prompt, const std::optional<std::vector<double>>& base,
                                   std::vector<std::wstring> keywords, PromptKind kind) {
    prompt_ = Prompt{};
    prompt_.kind = kind;
    prompt_.text = prompt;
    prompt_.base = base;
    prompt_.keywords = std::move(keywords);
    const std::optional<Answer> scripted = session().nextAnswer();
    prompt_.active = true;
    if (cursorInCanvas_) onMouseMove(cursor_.x, cursor_.y);  // the snap or the selection under the cursor
    // The window is not brought forward: a CAD asked for a point by another program leaves
    // that to the program, which activates it by its caption.
    redraw();
    scheduleAnswer(scripted);
    while (!prompt_.done) {
        MSG msg;
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // The application is ending: leave the quit message for the main loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            prompt_.outcome.end = PromptEnd::Closed;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (hwnd_) KillTimer(hwnd_, kAnswerTimer);
    const PromptOutcome outcome = prompt_.outcome;
    std::wstring answer;
    switch (outcome.end) {
    case PromptEnd::Point: answer = formatNumber(outcome.x) + L"," + formatNumber(outcome.y); break;
    case PromptEnd::Enter: answer = outcome.keyword.empty() ? L"*Enter*" : outcome.keyword; break;
    case PromptEnd::Escape: answer = L"*Cancel*"; break;
    case PromptEnd::Closed: answer = L"*Closed*"; break;
    case PromptEnd::Entity: {
        const Entity& e = outcome.document->entities()[outcome.entity];
        answer = widen(objectNameOf(e)) + L" " + hexHandle(e.handle);
        break;
    }
    case PromptEnd::Miss: answer = L"*Nothing selected*"; break;
    }
    addHistory(prompt + answer);
    prompt_ = Prompt{};
    hover_.reset();
    redraw();
    return outcome;
}

void CadWindow::showMessage(const std::wstring& text) {
    // One history line per line of the text; the line breaks a client puts around it are no lines.
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (!line.empty()) addHistory(line);
        start = end + 1;
    }
    redraw();
}

void CadWindow::scheduleAnswer(const std::optional<Answer>& scripted) {
    prompt_.scripted = scripted;
    if (!scripted || scripted->kind == AnswerKind::User) return;
    if (scripted->delayMs > 0) SetTimer(hwnd_, kAnswerTimer, static_cast<UINT>(scripted->delayMs), nullptr);
    else PostMessageW(hwnd_, kAnswerNow, 0, 0);
}

void CadWindow::submitInput(const std::wstring& typed, const char* source, const char* key) {
    const std::string fields = "\"source\":" + jsonString(source) + ",\"typed\":" + jsonString(toUtf8(typed));
    const auto keyword = keywordInput(prompt_.keywords, typed);
    if (!keyword) {
        // As the CAD does: the text is refused on the command line and the prompt stays.
        session().event("answer", fields + ",\"end\":\"refused\"");
        addHistory(prompt_.text + typed);
        if (prompt_.kind == PromptKind::Entity)
            addHistory(prompt_.keywords.empty() ? L"Invalid selection." : L"Object or option keyword required.");
        else
            addHistory(prompt_.keywords.empty() ? L"Invalid point." : L"Point or option keyword required.");
        prompt_.typed.clear();
        redraw();
        if (std::string_view(source) == "script") scheduleAnswer(session().nextAnswer());
        return;
    }
    session().event("answer", fields + ",\"end\":" + jsonString(keyword->empty() ? key : "keyword") +
                                  ",\"keyword\":" + jsonString(toUtf8(*keyword)));
    prompt_.outcome.keyword = *keyword;
    endPrompt(PromptEnd::Enter);
}

void CadWindow::clickAt(Vec2 at, double z, const char* source) {
    const std::string fields = "\"source\":" + jsonString(source);
    if (prompt_.kind == PromptKind::Point) {
        session().event("answer", fields + ",\"end\":\"point\"");
        endPrompt(PromptEnd::Point, at.x, at.y, z);
        return;
    }
    // Point marks are no entities a selection takes: only the drawing's own are.
    Document* document = session().activeDocument();
    const auto picked = document ? pickEntity(document->entities(), at, pickBoxInDrawing()) : std::nullopt;
    if (!picked) {
        session().event("answer", fields + ",\"end\":\"miss\"");
        endPrompt(PromptEnd::Miss, at.x, at.y);
        return;
    }
    const Entity& e = document->entities()[*picked];
    session().event("answer", fields + ",\"end\":\"entity\",\"handle\":" + jsonString(toUtf8(hexHandle(e.handle))) +
                                  ",\"object_name\":" + jsonString(objectNameOf(e)));
    prompt_.outcome.document = document;
    prompt_.outcome.entity = *picked;
    endPrompt(PromptEnd::Entity, at.x, at.y);
}

void CadWindow::endPrompt(PromptEnd end, double x, double y, double z) {
    if (!prompt_.active || prompt_.done) return;
    prompt_.done = true;
    prompt_.outcome.end = end;
    prompt_.outcome.x = x;
    prompt_.outcome.y = y;
    prompt_.outcome.z = z;
}

void CadWindow::addHistory(const std::wstring& line) {
    history_.push_back(line);
    if (history_.size() > 50) history_.erase(history_.begin());
}

RECT CadWindow::canvasRect() const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    client.bottom = std::max(client.top, client.bottom - scaled(48));
    return client;
}

void CadWindow::journalView() {
    if (!hwnd_) return;
    const RECT canvas = canvasRect();
    POINT topLeft{canvas.left, canvas.top};
    POINT bottomRight{canvas.right, canvas.bottom};
    ClientToScreen(hwnd_, &topLeft);
    ClientToScreen(hwnd_, &bottomRight);
    const Vec2 origin = view_.toPixel({0, 0});
    char buffer[400];
    std::snprintf(buffer, sizeof buffer,
                  "\"visible\":%s,\"canvas\":[%ld,%ld,%ld,%ld],\"origin_px\":[%.3f,%.3f],\"px_per_unit\":%.9g",
                  visible() ? "true" : "false", topLeft.x, topLeft.y, bottomRight.x, bottomRight.y,
                  origin.x + topLeft.x - canvas.left, origin.y + topLeft.y - canvas.top, view_.pixelsPerUnit());
    session().event("view", buffer);
}

LRESULT CALLBACK CadWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<CadWindow*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CadWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT CadWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: onPaint(); return 0;
    case WM_ERASEBKGND: return 1;  // painted whole in WM_PAINT
    case WM_SIZE: onSize(); return 0;
    case WM_MOUSEMOVE: onMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
    case WM_LBUTTONDOWN: onLeftButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return 0;
    case WM_RBUTTONUP: onRightButtonUp(); return 0;
    case WM_KEYDOWN: onKeyDown(wParam); return 0;
    case WM_CHAR: onChar(static_cast<wchar_t>(wParam)); return 0;
    case WM_COMMAND: onCommand(LOWORD(wParam)); return 0;
    case WM_TIMER: onTimer(static_cast<UINT_PTR>(wParam)); return 0;
    case kAnswerNow: onTimer(kAnswerTimer); return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && onSetCursor()) return TRUE;
        break;
    case WM_CLOSE: onClose(); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void CadWindow::onSize() {
    const Document* document = session().activeDocument();
    const RECT canvas = canvasRect();
    const PixelRect rect{double(canvas.left), double(canvas.top), double(canvas.right), double(canvas.bottom)};
    view_ = ViewTransform::fit(document ? document->geometry().bounds() : Bounds{}, rect, scaled(40));
    journalView();
    redraw();
}

void CadWindow::onMouseMove(int x, int y) {
    cursor_ = {x, y};
    const RECT canvas = canvasRect();
    cursorInCanvas_ = PtInRect(&canvas, cursor_) != FALSE;
    snapped_.reset();
    hover_.reset();
    if (const Document* document = session().activeDocument(); document && cursorInCanvas_) {
        // A selection takes the entity under the pick box, unsnapped; a point prompt snaps.
        if (prompt_.active && prompt_.kind == PromptKind::Entity)
            hover_ = pickEntity(document->entities(), view_.toDrawing({double(x), double(y)}), pickBoxInDrawing());
        else
            snapped_ = snapToVertex(document->geometry().vertices, view_, {double(x), double(y)}, scaled(8));
    }
    redraw();
}

void CadWindow::onLeftButtonDown(int x, int y) {
    onMouseMove(x, y);
    if (!prompt_.active || !cursorInCanvas_) return;
    clickAt(snapped_ ? *snapped_ : view_.toDrawing({double(x), double(y)}), 0, "user");
}

void CadWindow::onRightButtonUp() {
    if (prompt_.active) submitInput(prompt_.typed, "user", "rightclick");
}

void CadWindow::onKeyDown(WPARAM key) {
    if (key == VK_TAB && GetKeyState(VK_CONTROL) < 0) {
        session().switchToNext("key");
        return;
    }
    if (!prompt_.active) return;
    if (key == VK_RETURN || key == VK_SPACE) {
        submitInput(prompt_.typed, "user", "enter");
    } else if (key == VK_ESCAPE) {
        session().event("answer", "\"source\":\"user\",\"end\":\"esc\"");
        endPrompt(PromptEnd::Escape);
    } else if (key == VK_BACK && !prompt_.typed.empty()) {
        prompt_.typed.pop_back();
        redraw();
    }
}

void CadWindow::onChar(wchar_t c) {
    // Space ends the input as Enter does (WM_KEYDOWN); control characters are keys handled there.
    if (!prompt_.active || c <= L' ' || c == 0x7F) return;
    prompt_.typed += c;
    redraw();
}

void CadWindow::onCommand(UINT id) {
    if (id >= kSwitchDrawingCommand && id < kSwitchDrawingCommand + kMaxDrawingCommands)
        session().switchTo(static_cast<int>(id - kSwitchDrawingCommand) + 1, "menu");
}

void CadWindow::onTimer(UINT_PTR id) {
    if (id == kRedrawTimer) {
        KillTimer(hwnd_, kRedrawTimer);
        redraw();
    }
    if (id != kAnswerTimer) return;
    KillTimer(hwnd_, kAnswerTimer);
    if (!prompt_.active || !prompt_.scripted) return;
    const Answer answer = *prompt_.scripted;  // a refused keyword schedules the next one
    switch (answer.kind) {
    case AnswerKind::Point:
    case AnswerKind::Entity: {
        // Show the cross-hair where the scripted pick lands; the pick itself is not snapped.
        const Vec2 p = view_.toPixel({answer.x, answer.y});
        onMouseMove(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)));
        clickAt({answer.x, answer.y}, answer.z, "script");
        break;
    }
    case AnswerKind::Enter:
        submitInput(L"", "script", "enter");
        break;
    case AnswerKind::Keyword:
        submitInput(widen(answer.word), "script", "enter");
        break;
    case AnswerKind::Escape:
        session().event("answer", "\"source\":\"script\",\"end\":\"esc\"");
        endPrompt(PromptEnd::Escape);
        break;
    case AnswerKind::User:
    case AnswerKind::Switch:
        break;
    }
}

void CadWindow::onClose() {
    endPrompt(PromptEnd::Closed);
    DestroyWindow(hwnd_);
}

bool CadWindow::onSetCursor() {
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(hwnd_, &p);
    const RECT canvas = canvasRect();
    if (!PtInRect(&canvas, p)) return false;
    SetCursor(nullptr);  // the cross-hair is drawn instead
    return true;
}

void CadWindow::onPaint() {
    win::PaintScope paint(hwnd_);
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int width = std::max<LONG>(1, client.right);
    const int height = std::max<LONG>(1, client.bottom);
    win::MemoryDc memory(paint.dc());
    win::Bitmap bitmap(CreateCompatibleBitmap(paint.dc(), width, height));
    win::SelectionScope bitmapSelection(memory.get(), bitmap.get());
    HDC dc = memory.get();

    const RECT canvas = canvasRect();
    win::Brush canvasBrush(CreateSolidBrush(kCanvasColor));
    win::Brush stripBrush(CreateSolidBrush(kStripColor));
    FillRect(dc, &canvas, canvasBrush.get());
    RECT strip{client.left, canvas.bottom, client.right, client.bottom};
    FillRect(dc, &strip, stripBrush.get());

    const Document* document = session().activeDocument();
    const int lineWidth = std::max(1, scaled(1));
    if (document) {
        win::Pen pen(CreatePen(PS_SOLID, lineWidth, kLineColor));
        win::SelectionScope penSelection(dc, pen.get());
        for (const Segment& s : document->geometry().segments) {
            const Vec2 a = view_.toPixel(s.a);
            const Vec2 b = view_.toPixel(s.b);
            line(dc, a.x, a.y, b.x, b.y);
        }
        // The entity a click would select, drawn over in the snap marker's colour.
        if (hover_ && *hover_ < document->entities().size()) {
            win::Pen hoverPen(CreatePen(PS_SOLID, std::max(2, scaled(3)), kSnapColor));
            win::SelectionScope hoverSelection(dc, hoverPen.get());
            const std::vector<Vec2> path = drawnPath(document->entities()[*hover_]);
            for (size_t i = 1; i < path.size(); ++i) {
                const Vec2 a = view_.toPixel(path[i - 1]);
                const Vec2 b = view_.toPixel(path[i]);
                line(dc, a.x, a.y, b.x, b.y);
            }
        }
        // Point entities in their colour, in the style pdmode selects.
        const PointStyle style = pointStyle(document->pdmode()).value_or(PointStyle{});
        const double half = scaled(7);
        win::SelectionScope brushSelection(dc, GetStockObject(NULL_BRUSH));
        for (const auto& entity : document->points()) {
            if (entity->erased()) continue;
            const Vec2 p = view_.toPixel(entity->position());
            const COLORREF color = indexColor(entity->color());
            win::Pen pointPen(CreatePen(PS_SOLID, std::max(1, scaled(2)), color));
            win::SelectionScope pointPenSelection(dc, pointPen.get());
            switch (style.figure) {
            case PointFigure::Dot: {
                win::Brush dotBrush(CreateSolidBrush(color));
                const int r = std::max(1, scaled(1));
                RECT dot{static_cast<LONG>(p.x) - r, static_cast<LONG>(p.y) - r, static_cast<LONG>(p.x) + r + 1,
                         static_cast<LONG>(p.y) + r + 1};
                FillRect(dc, &dot, dotBrush.get());
                break;
            }
            case PointFigure::None: break;
            case PointFigure::Plus:
                line(dc, p.x - half, p.y, p.x + half, p.y);
                line(dc, p.x, p.y - half, p.x, p.y + half);
                break;
            case PointFigure::Cross:
                line(dc, p.x - half, p.y - half, p.x + half, p.y + half);
                line(dc, p.x - half, p.y + half, p.x + half, p.y - half);
                break;
            case PointFigure::Tick: line(dc, p.x, p.y, p.x, p.y - half); break;
            }
            const int h = static_cast<int>(half);
            const int cx = static_cast<int>(std::lround(p.x));
            const int cy = static_cast<int>(std::lround(p.y));
            if (style.circle) Ellipse(dc, cx - h, cy - h, cx + h + 1, cy + h + 1);
            if (style.square) Rectangle(dc, cx - h, cy - h, cx + h + 1, cy + h + 1);
        }
    }

    // Rubber band from the base point, cross-hair, pick box and snap marker.
    if (cursorInCanvas_) {
        const Vec2 at = snapped_ ? view_.toPixel(*snapped_) : Vec2{double(cursor_.x), double(cursor_.y)};
        if (prompt_.active && prompt_.base && prompt_.base->size() == 3) {
            win::Pen bandPen(CreatePen(PS_DOT, 1, kCrossHairColor));
            win::SelectionScope bandSelection(dc, bandPen.get());
            const Vec2 b = view_.toPixel({(*prompt_.base)[0], (*prompt_.base)[1]});
            line(dc, b.x, b.y, at.x, at.y);
        }
        win::Pen crossPen(CreatePen(PS_SOLID, lineWidth, kCrossHairColor));
        win::SelectionScope crossSelection(dc, crossPen.get());
        // A selection prompt shows the pick box alone, as the CAD does.
        if (!prompt_.active || prompt_.kind != PromptKind::Entity) {
            line(dc, canvas.left, cursor_.y, canvas.right, cursor_.y);
            line(dc, cursor_.x, canvas.top, cursor_.x, canvas.bottom);
        }
        win::SelectionScope hollow(dc, GetStockObject(NULL_BRUSH));
        const int box = scaled(4);
        Rectangle(dc, cursor_.x - box, cursor_.y - box, cursor_.x + box + 1, cursor_.y + box + 1);
        if (snapped_) {
            win::Pen snapPen(CreatePen(PS_SOLID, std::max(1, scaled(2)), kSnapColor));
            win::SelectionScope snapSelection(dc, snapPen.get());
            const int m = scaled(6);
            Rectangle(dc, int(at.x) - m, int(at.y) - m, int(at.x) + m + 1, int(at.y) + m + 1);
        }
    }

    // Command line: the last answered prompt above, the current prompt below, and the
    // cursor's drawing coordinates on the right.
    win::Font font(CreateFontW(-MulDiv(9, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                                      L"Tahoma"));
    win::SelectionScope fontSelection(dc, font.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTextColor);
    const int rowHeight = scaled(20);
    RECT row1{client.left + scaled(6), canvas.bottom + scaled(3), client.right - scaled(470),
              canvas.bottom + scaled(3) + rowHeight};
    RECT row2{row1.left, row1.bottom, row1.right, row1.bottom + rowHeight};
    const std::wstring previous = history_.empty() ? std::wstring() : history_.back();
    const std::wstring current = prompt_.active ? prompt_.text + prompt_.typed : L"Command: ";
    DrawTextW(dc, previous.c_str(), -1, &row1, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    DrawTextW(dc, current.c_str(), -1, &row2, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (cursorInCanvas_) {
        const Vec2 at = snapped_ ? *snapped_ : view_.toDrawing({double(cursor_.x), double(cursor_.y)});
        const std::wstring coords = formatNumber(at.x) + L", " + formatNumber(at.y) + L", 0.0000" +
                                    (snapped_ ? L"  [Endpoint]" : L"");
        RECT right{client.right - scaled(460), row2.top, client.right - scaled(6), row2.bottom};
        DrawTextW(dc, coords.c_str(), -1, &right, DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }

    BitBlt(paint.dc(), 0, 0, width, height, dc, 0, 0, SRCCOPY);
}

}  // namespace standin
