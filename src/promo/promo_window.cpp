#include "promo/promo_window.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "win/texts.h"
#include "win/window_ops.h"
#include "promo/promo_window_ids.h"
#include "resource.h"

namespace promo {
namespace {

using win::TwipsRect;

constexpr wchar_t kPaneClass[] = L"PontiroBrowserPane";
constexpr COLORREF kBackground = 0x00F0D2C5;
// Borderless, no title bar; a tool window has no task-bar button. Clip the children so that
// erasing the background does not flicker over the pane.
constexpr DWORD kStyle = WS_POPUP | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;

// The docking wakes the tool only when something happens: the pointer arriving over a window
// (the thread's mouse hook), a window moved or shown by someone else, and, while a window is
// revealed under the pointer, a short timer that notices the pointer leaving.
enum TimerId : UINT_PTR {
    kRevealedTimer = 1,
    kStartDelayTimer = 2,  // once, then the docking starts
};
constexpr UINT kStartDelayMs = 5000;
constexpr UINT kRevealedIntervalMs = 30;
constexpr UINT kDockNowMessage = WM_APP + 2;
// Posted to itself at creation: the window shows at once in its colour, and its controls and
// then its browser pane are made once the tool is up, so that neither holds up the main window.
constexpr UINT kCreateControlsMessage = WM_APP + 3;
constexpr UINT kCreatePaneMessage = WM_APP + 1;

// Larger than the client area and shifted up and left, so that the control's border and
// scroll bars fall outside the window.
constexpr TwipsRect kPaneRect{-100, -200, 2400, 9690};

struct GlyphSpec {
    int id;
    TwipsRect rect;
};
// Above the pane, so that a user can reach them.
constexpr std::array kGlyphs{
    GlyphSpec{IdCloseGlyph, {1680, 600, 435, 435}},
    GlyphSpec{IdMinimiseGlyph, {1155, 600, 435, 435}},
    GlyphSpec{IdCloseLabel, {0, 8760, 495, 420}},
};

UINT locationQueryMessage() {
    static const UINT message = RegisterWindowMessageW(kLocationQueryMessage);
    return message;
}

// One mouse hook for the thread while a window's docking runs. It sees the mouse messages of
// every window of the thread, the browser pane's own among them, and nothing while the pointer
// is elsewhere.
std::vector<PromoWindow*>& dockingWindows() {
    static std::vector<PromoWindow*> windows;
    return windows;
}
HHOOK& mouseHook() {
    static HHOOK hook = nullptr;
    return hook;
}

LRESULT CALLBACK onMouseMessage(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* mouse = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
        HWND root = mouse->hwnd ? GetAncestor(mouse->hwnd, GA_ROOT) : nullptr;
        for (PromoWindow* window : dockingWindows())
            if (root && window->hwnd() == root) window->pointerArrived();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void watchPointerFor(PromoWindow* window) {
    auto& windows = dockingWindows();
    if (std::find(windows.begin(), windows.end(), window) == windows.end()) windows.push_back(window);
    if (!mouseHook()) mouseHook() = SetWindowsHookExW(WH_MOUSE, onMouseMessage, nullptr, GetCurrentThreadId());
}

void stopWatchingPointerFor(PromoWindow* window) {
    auto& windows = dockingWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
    if (windows.empty() && mouseHook()) {
        UnhookWindowsHookEx(mouseHook());
        mouseHook() = nullptr;
    }
}

UINT paneProbeMessage() {
    static const UINT message = RegisterWindowMessageW(kPaneProbeMessage);
    return message;
}

bool registerClasses(HINSTANCE instance) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kPromoWindowClass, &existing)) return true;

    WNDCLASSEXW pane{};
    pane.cbSize = sizeof(pane);
    pane.lpfnWndProc = DefWindowProcW;
    pane.hInstance = instance;
    pane.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    pane.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    pane.lpszClassName = kPaneClass;
    if (!RegisterClassExW(&pane)) return false;

    // No background brush: painted with the window's own colour.
    return win::registerClassFor<PromoWindow>(instance, kPromoWindowClass, nullptr,
                                              LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP)));
}

}  // namespace

void PromoWindow::show(HINSTANCE instance) {
    if (!hwnd_) {
        instance_ = instance;
        if (!create()) return;
    }
    // Modeless, and without taking the activation from the main window shown next.
    ShowWindow(hwnd_, SW_SHOWNA);
}

void PromoWindow::unload() {
    if (hwnd_) DestroyWindow(hwnd_);
}

bool PromoWindow::create() {
    if (!registerClasses(instance_)) return false;
    tpp_ = win::screenTwipsPerPixel();
    background_.reset(CreateSolidBrush(kBackground));
    // Created where the load step puts it, already topmost: moving it there afterwards
    // would cost two more trips through the window manager at every start.
    const win::TopmostPixels place = placementAtEdge();
    CreateWindowExW(kExStyle | WS_EX_TOPMOST, kPromoWindowClass, kPromoTitle, kStyle, place.x, place.y, place.cx,
                    place.cy, nullptr, nullptr, instance_, this);
    return hwnd_ != nullptr;
}

LRESULT PromoWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(hwnd_, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, background_.get());
        return 1;
    }
    case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(wParam), kBackground);
        return reinterpret_cast<LRESULT>(background_.get());
    case WM_TIMER:
        onTimer(wParam);
        return 0;
    case kDockNowMessage:
        if (dockingArmed_) dockNow();
        return 0;
    case WM_WINDOWPOSCHANGED:
        onWindowMoved(*reinterpret_cast<const WINDOWPOS*>(lParam));
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    case WM_DISPLAYCHANGE:
        PostMessageW(hwnd_, kDockNowMessage, 0, 0);
        return 0;
    case kCreateControlsMessage:
        createControls();
        return 0;
    case kCreatePaneMessage:
        createPane();
        return 0;
    case WM_DESTROY:
        // Before the container goes: the control is taken down in the reverse order of creation.
        pane_.close();
        paneContainer_ = nullptr;
        stopWatchingPointerFor(this);
        dockingArmed_ = watchingPointer_ = false;
        return 0;
    default:
        if (message == locationQueryMessage() && message != 0) return answerLocationQuery();
        if (message == paneProbeMessage() && message != 0) return pane_.answerProbe(wParam, lParam);
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void PromoWindow::onCreate() {
    SetTimer(hwnd_, kStartDelayTimer, kStartDelayMs, nullptr);
    PostMessageW(hwnd_, kCreateControlsMessage, 0, 0);
}

// The pane's container and the glyphs above it. The pane is posted behind the other
// window's controls: loading the browser is the longest step.
void PromoWindow::createControls() {
    paneContainer_ = win::createChild(
        hwnd_, instance_, tpp_, {IdBrowserPane, kPaneClass, WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, kPaneRect, L""});
    if (paneContainer_) PostMessageW(hwnd_, kCreatePaneMessage, 0, 0);
    const auto childFor = [](const GlyphSpec& design) {
        const DWORD kind = design.id == IdCloseLabel ? SS_LEFT : SS_OWNERDRAW;
        return win::ChildControl{design.id, L"STATIC", WS_CLIPSIBLINGS | SS_NOTIFY | kind, 0, design.rect, L""};
    };
    win::createChildren(hwnd_, instance_, tpp_, kGlyphs, childFor, [](const GlyphSpec&, HWND control) {
        SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    });
}

// The control, then its page, which loads by itself; nothing is reported back.
void PromoWindow::createPane() {
    if (!paneContainer_ || pane_.created()) return;
    if (FAILED(pane_.create(paneContainer_, kBackground))) {
        // No browser: the window carries on without its pane.
        DestroyWindow(paneContainer_);
        paneContainer_ = nullptr;
        return;
    }
    const std::wstring url = std::wstring(win::kHomePageAddress) + pagePath_;
    (void)pane_.navigate(url.c_str());
}

// At its edge, as high as a centred window, with the topmost placement's own rounding.
win::TopmostPixels PromoWindow::placementAtEdge() const {
    const int width = win::twipsToPixels(kWindowWidthTwips, tpp_.x);
    const int height = win::twipsToPixels(kWindowHeightTwips, tpp_.y);
    const EdgePosition p = edgePosition(edge_, static_cast<float>(GetSystemMetrics(SM_CXSCREEN) * tpp_.x),
                                        static_cast<float>(width * tpp_.x),
                                        static_cast<float>(GetSystemMetrics(SM_CYSCREEN) * tpp_.y),
                                        static_cast<float>(height * tpp_.y));
    return win::topmostAt(p.left, p.top, width, height, tpp_);
}

void PromoWindow::onTimer(UINT_PTR id) {
    if (id == kStartDelayTimer) {
        KillTimer(hwnd_, kStartDelayTimer);
        armDocking();
    } else if (id == kRevealedTimer) {
        dockNow();
    }
}

void PromoWindow::armDocking() {
    dockingArmed_ = true;
    watchPointerFor(this);
    dockNow();
}

void PromoWindow::pointerArrived() {
    if (dockingArmed_ && !watchingPointer_) PostMessageW(hwnd_, kDockNowMessage, 0, 0);
}

void PromoWindow::onWindowMoved(const WINDOWPOS& position) {
    if (!dockingArmed_ || movingItself_) return;
    if (!(position.flags & SWP_NOMOVE) || (position.flags & SWP_SHOWWINDOW))
        PostMessageW(hwnd_, kDockNowMessage, 0, 0);
}

// One docking step where the window and the pointer are now.
void PromoWindow::dockNow() {
    // Zeros stand when a call fails.
    POINT cursor{};
    GetCursorPos(&cursor);
    RECT rect{};
    GetWindowRect(hwnd_, &rect);
    const WindowState state = IsIconic(hwnd_)   ? WindowState::Minimised
                              : IsZoomed(hwnd_) ? WindowState::Maximised
                                                : WindowState::Normal;
    const TwipsGeometry twips{rect.left * tpp_.x, rect.top * tpp_.y, (rect.right - rect.left) * tpp_.x,
                              (rect.bottom - rect.top) * tpp_.y};
    const auto move = dockingStep({cursor.x, cursor.y}, {rect.left, rect.top, rect.right, rect.bottom}, state,
                                  twips, GetSystemMetrics(SM_CXSCREEN) * tpp_.x);
    // Revealed under the pointer: watch for it leaving. Otherwise only an arrival or a move
    // can change anything, and the thread sleeps.
    const bool revealed = move && move->showAgain;
    if (revealed != watchingPointer_) {
        watchingPointer_ = revealed;
        if (revealed) SetTimer(hwnd_, kRevealedTimer, kRevealedIntervalMs, nullptr);
        else KillTimer(hwnd_, kRevealedTimer);
    }
    if (!move) return;
    const int x = win::twipsToPixels(move->left, tpp_.x);
    const int y = win::twipsToPixels(move->top, tpp_.y);
    movingItself_ = true;
    // Most steps land where the window already is; moving it there again would only cost time.
    if (x != rect.left || y != rect.top)
        SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (move->showAgain && !IsWindowVisible(hwnd_)) ShowWindow(hwnd_, SW_SHOWNA);
    movingItself_ = false;
}

void PromoWindow::onCommand(int id, int notification) {
    switch (id) {
    case IdCloseGlyph:
        // Closes this window only: the node list lives in the main window, which alone ends
        // the tool.
        if (notification == STN_CLICKED) unload();
        break;
    case IdMinimiseGlyph:
        // Nothing in the tool restores it; the docking step leaves it alone.
        if (notification == STN_CLICKED) ShowWindow(hwnd_, SW_MINIMIZE);
        break;
    case IdCloseLabel:
        if (notification == STN_DBLCLK) unload();
        break;
    default:
        break;
    }
}

// The glyphs are decoded when first drawn, which keeps the decoder out of the tool's start.
void PromoWindow::onDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlID == IdCloseGlyph) {
        if (!closeGlyph_.loaded()) closeGlyph_.load(instance_, IDR_CLOSE_JPG);
        closeGlyph_.drawStretched(item.hDC, item.rcItem);
    }
    if (item.CtlID == IdMinimiseGlyph) {
        if (!minimiseGlyph_.loaded()) minimiseGlyph_.load(instance_, IDR_MINIMISE_JPG);
        minimiseGlyph_.drawStretched(item.hDC, item.rcItem);
    }
}

LRESULT PromoWindow::answerLocationQuery() const {
    const std::wstring url = pane_.locationUrl();
    return url.empty() ? 0 : static_cast<LRESULT>(GlobalAddAtomW(url.c_str()));
}

namespace {

PromoWindow& rightPromotion() {
    static PromoWindow window(Edge::Right, L"/gdownload.htm");
    return window;
}

PromoWindow& leftPromotion() {
    static PromoWindow window(Edge::Left, L"/bdownload.htm");
    return window;
}

}  // namespace

void showPromotionWindows(HINSTANCE instance) {
    rightPromotion().show(instance);
    leftPromotion().show(instance);
}

void unloadPromotionWindows() {
    rightPromotion().unload();
    leftPromotion().unload();
}

}  // namespace promo
