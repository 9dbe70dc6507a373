#include "about/about_window.h"

#include <commctrl.h>

#include <array>
#include <cmath>
#include <string>

#include "about/about_window_ids.h"
#include "win/texts.h"
#include "win/window_ops.h"
#include "resource.h"

namespace about {
namespace {

using win::TwipsRect;

constexpr wchar_t kCaption[] = L"Toravel";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME;
// Fixed dialog border; owned by the main window, so no task-bar button.
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr double kClientWidthTwips = 5100;
constexpr double kClientHeightTwips = 2160;

// Link targets and the names they belong to.
constexpr wchar_t kAuthorName[] = L"林川";
constexpr wchar_t kOrganisationName[] = L"Toravel 桥梁软件工作室";
constexpr wchar_t kOrganisationSite[] = L"http://www.toravel.example";
constexpr wchar_t kMailAddress[] = L"mailto:lin.chuan@toravel.example";
constexpr const wchar_t* kMailShown = kMailAddress + 7;  // without "mailto:"

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBorderGrey = RGB(128, 128, 128);
constexpr double kBorderLineTop = 615, kBorderLineRight = 5760;

enum class Kind { Header, Icon, HeaderText, Label, Link, Button };
enum FontId { WindowFont, FieldNameFont, HeaderFont, OrganisationFont, MailFont, HomePageFont, ButtonFont };

struct ControlSpec {
    int id;
    Kind kind;
    TwipsRect rect;  // header contents relative to the header, which sits at 0, 0
    const wchar_t* text;
    FontId font;
    COLORREF ink;
    const wchar_t* tooltip;
};

// Created in this order: the header's icon and text first, so that they lie above the strip.
constexpr std::array kControls{
    ControlSpec{IdHeaderIcon, Kind::Icon, {240, 120, 480, 480}, L"", WindowFont, kBlack, nullptr},
    ControlSpec{IdHeaderText, Kind::HeaderText, {960, 240, 3855, 255},
                L"Toravel－原创、专业、免费、无限制", HeaderFont, kBlack, kOrganisationSite},
    ControlSpec{IdHeaderStrip, Kind::Header, {0, 0, 5790, 615}, L"", WindowFont, kBlack, nullptr},
    ControlSpec{IdAuthorLabel, Kind::Label, {600, 720, 600, 210}, L"作 者：", FieldNameFont, kRed, nullptr},
    ControlSpec{IdAuthorName, Kind::Label, {1320, 720, 540, 195}, kAuthorName, WindowFont, kBlue, nullptr},
    ControlSpec{IdOrganisationLabel, Kind::Label, {600, 1080, 600, 210}, L"单 位：", FieldNameFont, kRed, nullptr},
    ControlSpec{IdOrganisationLink, Kind::Link, {1320, 1080, 1800, 195}, kOrganisationName, OrganisationFont, kBlue,
                kOrganisationSite},
    ControlSpec{IdMailLabel, Kind::Label, {555, 1440, 645, 210}, L"E-mail：", FieldNameFont, kRed, nullptr},
    ControlSpec{IdMailLink, Kind::Link, {1320, 1440, 1950, 180}, kMailShown, MailFont, kBlue, nullptr},
    ControlSpec{IdDownloadLabel, Kind::Label, {300, 1800, 900, 210}, L"软件下载：", FieldNameFont, kRed, nullptr},
    ControlSpec{IdHomePageLink, Kind::Link, {1320, 1800, 1395, 180}, win::kHomePageAddress, HomePageFont, kBlue,
                L"Toravel"},
    ControlSpec{IdOkButton, Kind::Button, {3480, 1440, 1335, 375}, L"  确  定", ButtonFont, kBlack, nullptr},
};

const ControlSpec* specFor(int id) {
    for (const ControlSpec& design : kControls)
        if (design.id == id) return &design;
    return nullptr;
}

// The window class and styles of each kind of control.
win::ChildControl childFor(const ControlSpec& design) {
    const wchar_t* cls = L"STATIC";
    DWORD style = 0;
    switch (design.kind) {
    case Kind::Header:
        // Below the icon and the text: must not paint over them.
        style = SS_NOTIFY | WS_CLIPSIBLINGS;
        break;
    case Kind::Icon:
        style = SS_OWNERDRAW | SS_NOTIFY;
        break;
    case Kind::HeaderText:
    case Kind::Link:
        // SS_NOTIFY: clicks, the hand pointer and the tooltips need the mouse.
        style = SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
        break;
    case Kind::Label:
        // Without SS_NOTIFY the label lets clicks through to the window, which ignores them.
        style = SS_LEFT | SS_NOPREFIX;
        break;
    case Kind::Button:
        cls = L"BUTTON";
        style = WS_TABSTOP | BS_PUSHBUTTON;
        break;
    }
    return {design.id, cls, style, 0, design.rect, design.text};
}

// The hand pointer over the link labels only.
LRESULT CALLBACK handPointerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR cursor) {
    if (message == WM_SETCURSOR && LOWORD(lParam) == HTCLIENT && cursor) {
        SetCursor(reinterpret_cast<HCURSOR>(cursor));
        return TRUE;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, handPointerProc, 0);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

HFONT makeFont(double points, int dpiY, const wchar_t* face, BYTE charset, bool bold, bool underline) {
    return CreateFontW(-static_cast<int>(std::lround(points * dpiY / 72.0)), 0, 0, 0,
                       bold ? FW_BOLD : FW_NORMAL, FALSE, underline, FALSE, charset, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

}  // namespace

void moreSoftware(HINSTANCE instance, HWND mainWindow) {
    win::shellOpen(mainWindow, win::kHomePageAddress);
    // One instance for the process; each showing builds the window anew.
    static AboutWindow shared;
    shared.showModal(instance, mainWindow);
}

void AboutWindow::showModal(HINSTANCE instance, HWND owner) {
    if (hwnd_) return;  // already showing
    instance_ = instance;
    owner_ = owner;
    if (!win::registerClassFor<AboutWindow>(instance, kAboutWindowClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
        return;
    tpp_ = win::screenTwipsPerPixel();
    RECT outer{0, 0, win::twipsToPixels(kClientWidthTwips, tpp_.x),
               win::twipsToPixels(kClientHeightTwips, tpp_.y)};
    AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle);
    CreateWindowExW(kExStyle, kAboutWindowClass, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    outer.right - outer.left, outer.bottom - outer.top, owner, nullptr, instance, this);
    if (!hwnd_) return;
    // Load step: placed anew at every showing, wherever the user had moved it.
    win::centerWindow(hwnd_);

    disableOtherWindows();
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    UpdateWindow(hwnd_);
    SetFocus(GetDlgItem(hwnd_, IdOkButton));

    // The command stays here until the window is unloaded, like a dialog box.
    MSG msg;
    while (hwnd_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
            break;
        }
        if (hwnd_ && IsDialogMessageW(hwnd_, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    enableOtherWindows();
    if (owner_) SetActiveWindow(owner_);
}

// Modal over the whole tool: the main window and the promotion windows take no input meanwhile.
void AboutWindow::disableOtherWindows() {
    disabled_.clear();
    // A named CALLBACK, not a lambda: a lambda converts to the default calling convention,
    // and 32-bit Windows calls enumeration callbacks as stdcall.
    struct Collect {
        static BOOL CALLBACK window(HWND window, LPARAM param) {
            auto* self = reinterpret_cast<AboutWindow*>(param);
            if (window != self->hwnd_ && window != self->tooltip_ &&
                IsWindowVisible(window) && IsWindowEnabled(window)) {
                self->disabled_.push_back(window);
            }
            return TRUE;
        }
    };
    EnumThreadWindows(GetCurrentThreadId(), Collect::window, reinterpret_cast<LPARAM>(this));
    for (HWND window : disabled_) EnableWindow(window, FALSE);
}

void AboutWindow::enableOtherWindows() {
    for (HWND window : disabled_)
        if (IsWindow(window)) EnableWindow(window, TRUE);
    disabled_.clear();
}

void AboutWindow::unload() {
    // The owner takes input again before this window goes, so that it is activated next.
    enableOtherWindows();
    DestroyWindow(hwnd_);
}

LRESULT AboutWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        onPaint();
        return 0;
    case WM_CLOSE:
        unload();
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void AboutWindow::onCreate() {
    createFonts();
    whiteBrush_.reset(CreateSolidBrush(kWhite));
    borderPen_.reset(CreatePen(PS_SOLID, 1, kBorderGrey));
    keyIcon_ = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_KEY), IMAGE_ICON, 32, 32, LR_SHARED));
    handCursor_ = static_cast<HCURSOR>(
        LoadImageW(instance_, MAKEINTRESOURCEW(IDC_HAND_POINTER), IMAGE_CURSOR, 32, 32, LR_SHARED));
    createControls();
}

void AboutWindow::createFonts() {
    const int dpiY = static_cast<int>(std::lround(1440.0 / tpp_.y));
    windowFont_.reset(makeFont(8.25, dpiY, L"Tahoma", ANSI_CHARSET, false, false));
    fieldNameFont_.reset(makeFont(9, dpiY, L"Tahoma", ANSI_CHARSET, false, false));
    headerFont_.reset(makeFont(9, dpiY, L"宋体", GB2312_CHARSET, true, false));
    organisationFont_.reset(makeFont(8.25, dpiY, L"Tahoma", ANSI_CHARSET, false, true));
    mailFont_.reset(makeFont(6.75, dpiY, L"Verdana", ANSI_CHARSET, false, false));
    homePageFont_.reset(makeFont(6.75, dpiY, L"Verdana", ANSI_CHARSET, false, true));
    buttonFont_.reset(makeFont(9, dpiY, L"宋体", GB2312_CHARSET, false, false));
}

HFONT AboutWindow::fontFor(int fontId) const {
    switch (fontId) {
    case FieldNameFont: return fieldNameFont_.get();
    case HeaderFont: return headerFont_.get();
    case OrganisationFont: return organisationFont_.get();
    case MailFont: return mailFont_.get();
    case HomePageFont: return homePageFont_.get();
    case ButtonFont: return buttonFont_.get();
    default: return windowFont_.get();
    }
}

void AboutWindow::createControls() {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               instance_, nullptr);
    win::createChildren(hwnd_, instance_, tpp_, kControls, childFor, [this](const ControlSpec& design, HWND control) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(design.font)), FALSE);
        if (design.kind == Kind::Label || design.kind == Kind::Link) win::sizeLabelToText(control);
        if (design.kind == Kind::Link)
            SetWindowSubclass(control, handPointerProc, 0, reinterpret_cast<DWORD_PTR>(handCursor_));
        if (design.tooltip) addTooltip(control, design.tooltip);
    });
}

void AboutWindow::addTooltip(HWND control, const wchar_t* text) {
    if (!tooltip_) return;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

LRESULT AboutWindow::onCtlColorStatic(HDC dc, HWND control) {
    const ControlSpec* design = specFor(GetDlgCtrlID(control));
    if (design && (design->kind == Kind::Header || design->kind == Kind::HeaderText || design->kind == Kind::Icon)) {
        // The header text shows the white strip through it.
        SetTextColor(dc, design->ink);
        SetBkColor(dc, kWhite);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(whiteBrush_.get());
    }
    if (design) SetTextColor(dc, design->ink);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void AboutWindow::onDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlID != IdHeaderIcon) return;
    FillRect(item.hDC, &item.rcItem, whiteBrush_.get());
    if (keyIcon_) DrawIconEx(item.hDC, item.rcItem.left, item.rcItem.top, keyIcon_, 32, 32, 0, nullptr, DI_NORMAL);
}

void AboutWindow::onPaint() {
    win::PaintScope paint(hwnd_);
    // The grey line along the lower edge of the header strip.
    const int y = win::twipsToPixels(kBorderLineTop, tpp_.y);
    win::SelectionScope pen(paint.dc(), borderPen_.get());
    MoveToEx(paint.dc(), 0, y, nullptr);
    LineTo(paint.dc(), win::twipsToPixels(kBorderLineRight, tpp_.x), y);
}

void AboutWindow::onCommand(int id, int notification) {
    if (id == IdOkButton) {
        if (notification == BN_CLICKED) unload();
        return;
    }
    if (notification != STN_CLICKED) return;
    switch (id) {
    case IdHeaderStrip:
    case IdHeaderIcon:
    case IdHeaderText:
    case IdHomePageLink:
        win::shellOpen(hwnd_, win::kHomePageAddress);
        break;
    case IdMailLink:
        win::shellOpen(hwnd_, kMailAddress);
        break;
    case IdOrganisationLink:
        win::shellOpen(hwnd_, kOrganisationSite);
        break;
    default:
        // Esc and Enter arrive here as IDCANCEL / IDOK and do nothing.
        break;
    }
}

}  // namespace about
