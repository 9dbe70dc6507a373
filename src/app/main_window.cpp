#include "app/main_window.h"

#include <commctrl.h>

#include <array>
#include <string>

#include "about/about_window.h"
#include "app/field_memory.h"
#include "app/main_window_ids.h"
#include "cad/com_cad_link.h"
#include "promo/promo_window.h"
#include "resource.h"
#include "win/texts.h"
#include "win/window_ops.h"

namespace app {
namespace {

constexpr double kClientWidthTwips = 4140;
constexpr double kClientHeightTwips = 3600;
constexpr COLORREF kLabelBlue = 0x00FF0000;
constexpr COLORREF kFieldHighlight = 0x00C0FFC0;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// Posted by the CAD's thread when a command has ended.
constexpr UINT kCommandDone = WM_APP + 1;
// Posted to itself at start-up: what the short window does not show is made once it is up.
constexpr UINT kBuildBelowShortWindow = WM_APP + 2;

enum class Kind { Edit, MultiLineEdit, AutoSizeLabel, Label, Button, Picture };

struct ControlSpec {
    int id;
    Kind kind;
    win::TwipsRect rect;
    const wchar_t* text;
};

// Created in this order, which is also the tab order.
constexpr std::array kControls{
    ControlSpec{IdOutputBox, Kind::MultiLineEdit, {1920, 240, 2055, 3015}, L""},
    ControlSpec{IdScaleFactorBox, Kind::Edit, {1080, 240, 615, 270}, L"1"},
    ControlSpec{IdScaleFactorLabel, Kind::AutoSizeLabel, {240, 285, 720, 180}, L"缩放因子"},
    ControlSpec{IdDecimalsBox, Kind::Edit, {1080, 600, 615, 270}, L"0"},
    ControlSpec{IdDecimalsLabel, Kind::AutoSizeLabel, {240, 645, 720, 180}, L"小数位数"},
    ControlSpec{IdInitialiseOriginButton, Kind::Button, {360, 1080, 1215, 375}, L"  初始化原点"},
    ControlSpec{IdPickNodesButton, Kind::Button, {360, 1560, 1215, 375}, L"  点取节点"},
    ControlSpec{IdHelpButton, Kind::Button, {360, 2520, 1215, 375}, L"  帮  助"},
    ControlSpec{IdMoreSoftwareButton, Kind::Button, {360, 2040, 1215, 375}, L"  更多软件"},
    ControlSpec{IdExitButton, Kind::Button, {360, 3000, 1215, 375}, L"  退  出"},
};
// Below the short window, out of sight until 帮助: made once the window is up, after the
// controls above.
constexpr std::array kControlsBelow{
    ControlSpec{IdInstructions, Kind::Label, {480, 4680, 3255, 1455}, L""},
    ControlSpec{IdSectionPicture, Kind::Picture, {360, 3600, 3495, 960}, L""},
};

// A multi-line edit asks for every key, Tab included; Tab must move the focus instead.
LRESULT CALLBACK tabPassingEditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR) {
    if (message == WM_GETDLGCODE) {
        LRESULT code = DefSubclassProc(hwnd, message, wParam, lParam);
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_TAB)
            code &= ~(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
        return code;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, tabPassingEditProc, 0);
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

// The window class and styles of each kind of control.
win::ChildControl childFor(const ControlSpec& design) {
    const wchar_t* cls = L"STATIC";
    DWORD style = 0;
    DWORD exStyle = 0;
    switch (design.kind) {
    case Kind::MultiLineEdit:
        cls = L"EDIT";
        style = WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case Kind::Edit:
        cls = L"EDIT";
        style = WS_TABSTOP | ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case Kind::AutoSizeLabel:
        style = SS_LEFT | SS_NOPREFIX;
        break;
    case Kind::Label:
        // A word wider than the label (the address) wraps instead of being cut off.
        style = SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL;
        break;
    case Kind::Button:
        cls = L"BUTTON";
        style = WS_TABSTOP | BS_PUSHBUTTON;
        break;
    case Kind::Picture:
        style = SS_OWNERDRAW;
        break;
    }
    return {design.id, cls, style, exStyle, design.rect, design.text};
}

// Its font, its size for a label that fits its text, Tab for the output box.
void finishControl(const ControlSpec& design, HWND control, HFONT buttonFont, HFONT uiFont) {
    const HFONT font = design.kind == Kind::Button ? buttonFont : uiFont;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (design.kind == Kind::AutoSizeLabel) win::sizeLabelToText(control);
    if (design.kind == Kind::MultiLineEdit) SetWindowSubclass(control, tabPassingEditProc, 0, 0);
}

// Each control of a table, made and finished.
template <typename Table>
void makeControls(HWND parent, HINSTANCE instance, const win::TwipsPerPixel& tpp, const Table& table,
                  HFONT buttonFont, HFONT uiFont) {
    win::createChildren(parent, instance, tpp, table, childFor, [=](const ControlSpec& design, HWND control) {
        finishControl(design, control, buttonFont, uiFont);
    });
}

}  // namespace

bool MainWindow::create(HINSTANCE instance, std::wstring cadClass) {
    instance_ = instance;
    cadClass_ = std::move(cadClass);
    const auto smallIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON,
                                                         GetSystemMetrics(SM_CXSMICON),
                                                         GetSystemMetrics(SM_CYSMICON), 0));
    if (!win::registerClassFor<MainWindow>(instance, kMainWindowClass, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1),
                                           LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP)), smallIcon))
        return false;

    tpp_ = win::screenTwipsPerPixel();
    RECT outer{0, 0, win::twipsToPixels(kClientWidthTwips, tpp_.x), win::twipsToPixels(kClientHeightTwips, tpp_.y)};
    AdjustWindowRectEx(&outer, kWindowStyle, FALSE, 0);
    // Created centred and topmost, with the topmost placement's rounding, instead of being
    // moved there: each move is another trip through the window manager before the window is up.
    const win::TopmostPixels place = win::centredPlacement(outer.right - outer.left, outer.bottom - outer.top);
    hwnd_ = CreateWindowExW(WS_EX_TOPMOST, kMainWindowClass, win::kToolCaption, kWindowStyle, place.x, place.y,
                            place.cx, place.cy, nullptr, nullptr, instance, this);
    if (!hwnd_) return false;
    startUp();
    return true;
}

// Runs once, before the window is first shown. Showing it activates it, which puts it above
// the promotion windows in the topmost band.
void MainWindow::startUp() {
    // Posted before the promotion windows post theirs: the picture and the instructions come
    // before the browser panes.
    PostMessageW(hwnd_, kBuildBelowShortWindow, 0, 0);
    promo::showPromotionWindows(instance_);  // right, then left
}

// The picture and the instructions label, with its text in a font in which all of it fits.
void MainWindow::buildBelowShortWindow() {
    makeControls(hwnd_, instance_, tpp_, kControlsBelow, buttonFont_.get(), uiFont_.get());
    HWND instructions = GetDlgItem(hwnd_, IdInstructions);
    SetWindowTextW(instructions, win::instructionsText().c_str());
    instructionsFont_ = win::fitLabelFont(instructions, uiFont_.get());
    if (instructionsFont_.get())
        SendMessageW(instructions, WM_SETFONT, reinterpret_cast<WPARAM>(instructionsFont_.get()), FALSE);
}

void MainWindow::show(int showCommand) {
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
    SetFocus(GetDlgItem(hwnd_, IdOutputBox));
}

LRESULT MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CTLCOLOREDIT:
        return onCtlColorEdit(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ACTIVATE:
        onActivate(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case kCommandDone:
        onCommandDone(lParam);
        return 0;
    case kBuildBelowShortWindow:
        buildBelowShortWindow();
        return 0;
    case kQueryCommandRunning:
        return commandRunning_ ? 1 : 0;
    case WM_CLOSE:
        // Without its main window the tool has nothing left to offer: closing it ends the
        // tool, as the exit button does, instead of leaving the promotion windows behind.
        onExit();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void MainWindow::onCreate() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        uiFont_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    const int dpiY = static_cast<int>(1440.0 / tpp_.y + 0.5);
    buttonFont_.reset(CreateFontW(-MulDiv(9, dpiY, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                  GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体"));
    highlightBrush_.reset(CreateSolidBrush(kFieldHighlight));
    createControls();
}

void MainWindow::createControls() {
    makeControls(hwnd_, instance_, tpp_, kControls, buttonFont_.get(), uiFont_.get());
    // The pick-nodes command waits for an origin.
    EnableWindow(GetDlgItem(hwnd_, IdPickNodesButton), FALSE);
    restoreFields(GetDlgItem(hwnd_, IdScaleFactorBox), GetDlgItem(hwnd_, IdDecimalsBox));
}

LRESULT MainWindow::onCtlColorEdit(HDC dc, HWND control) {
    if (control == highlighted_ && highlightBrush_.get()) {
        SetBkColor(dc, kFieldHighlight);
        return reinterpret_cast<LRESULT>(highlightBrush_.get());
    }
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}

LRESULT MainWindow::onCtlColorStatic(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    if (id == IdScaleFactorLabel || id == IdDecimalsLabel) SetTextColor(dc, kLabelBlue);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void MainWindow::onDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlID != IdSectionPicture) return;
    // Decoded when first drawn: it lies below the short window, which most sessions never leave.
    if (!sectionPicture_.loaded()) sectionPicture_.load(instance_, IDR_SECTION_JPG);
    sectionPicture_.drawStretched(item.hDC, item.rcItem);
}

void MainWindow::onActivate(bool active) {
    // Keep the focus where the user left it when the window is deactivated and reactivated.
    if (!active) {
        lastFocus_ = GetFocus();
    } else {
        HWND target = lastFocus_ && IsChild(hwnd_, lastFocus_) ? lastFocus_ : GetDlgItem(hwnd_, IdOutputBox);
        // Coming back to the tool is no focus move of the user's: the selection stays as it
        // was, so one keystroke cannot replace the node list.
        reactivating_ = true;
        SetFocus(target);
        reactivating_ = false;
    }
}

void MainWindow::onCommand(int id, int notification) {
    if (id == IdDecimalsBox || id == IdScaleFactorBox || id == IdOutputBox) {
        if (notification == EN_SETFOCUS || notification == EN_KILLFOCUS)
            onFieldFocus(GetDlgItem(hwnd_, id), notification == EN_SETFOCUS);
        return;
    }
    if (notification != BN_CLICKED) return;
    switch (id) {
    case IdExitButton:
        onExit();
        break;
    case IdHelpButton:
        onHelp();
        break;
    case IdMoreSoftwareButton:
        about::moreSoftware(instance_, hwnd_);
        break;
    case IdInitialiseOriginButton:
        onInitialiseOrigin();
        break;
    case IdPickNodesButton:
        onPickNodes();
        break;
    default:
        break;
    }
}

void MainWindow::onFieldFocus(HWND field, bool gained) {
    if (gained) {
        // Whole text selected, so that typing replaces it.
        if (!reactivating_) SendMessageW(field, EM_SETSEL, 0, -1);
        highlighted_ = field;
    } else if (highlighted_ == field) {
        highlighted_ = nullptr;  // the selection stays as it is
    }
    InvalidateRect(field, nullptr, TRUE);
}

void MainWindow::onHelp() {
    const int height = win::twipsToPixels(help_.press(), tpp_.y);
    RECT outer{};
    GetWindowRect(hwnd_, &outer);
    // Top, left and width stay: the window grows and shrinks at its bottom edge.
    SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::onExit() {
    rememberFields(GetDlgItem(hwnd_, IdScaleFactorBox), GetDlgItem(hwnd_, IdDecimalsBox));
    // At once, with every window of the tool; nothing is asked.
    ExitProcess(0);
}

std::wstring MainWindow::controlText(int id) const {
    return win::windowText(GetDlgItem(hwnd_, id));
}

void MainWindow::onInitialiseOrigin() {
    HWND output = GetDlgItem(hwnd_, IdOutputBox);
    startCommand([output](cad::CadLink& cad, cad::PickState& state) {
        return cad::initialiseOrigin(cad, state, [output] { SetWindowTextW(output, L""); });
    });
}

void MainWindow::onPickNodes() {
    cad::NodeListInputs inputs;
    inputs.scaleText = controlText(IdScaleFactorBox);
    // Read from the box at each value: the user may change it while picking.
    inputs.decimalsText = [decimals = GetDlgItem(hwnd_, IdDecimalsBox)] { return win::windowText(decimals); };
    wchar_t separator[8] = L".";
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8) > 1) inputs.decimalSeparator = separator;
    // The list grows in the box as the user picks; typing into it meanwhile would be lost.
    HWND output = GetDlgItem(hwnd_, IdOutputBox);
    inputs.showList = [output](const std::wstring& list) { SetWindowTextW(output, list.c_str()); };
    if (startCommand([inputs = std::move(inputs)](cad::CadLink& cad, cad::PickState& state) {
            return cad::pickNodes(cad, state, inputs);
        }))
        SendMessageW(output, EM_SETREADONLY, TRUE, 0);
}

// The window goes on while the command runs; the picking buttons ignore clicks until it ends.
bool MainWindow::startCommand(cad::CadWorker::Command command) {
    if (commandRunning_) return false;
    rememberFields(GetDlgItem(hwnd_, IdScaleFactorBox), GetDlgItem(hwnd_, IdDecimalsBox));
    if (!cad_) {
        cad_ = std::make_unique<cad::CadWorker>(
            hwnd_, kCommandDone, [owner = hwnd_, name = cadClass_] { return cad::makeComCadLink(owner, name); });
    }
    commandRunning_ = cad_->run(std::move(command));
    if (!commandRunning_) applyOutcome(cad::unknownErrorOutcome());
    return commandRunning_;
}

void MainWindow::onCommandDone(LPARAM carried) {
    SendDlgItemMessageW(hwnd_, IdOutputBox, EM_SETREADONLY, FALSE, 0);
    applyOutcome(cad::CadWorker::takeOutcome(carried));
    commandRunning_ = false;
}

void MainWindow::applyOutcome(const cad::CommandOutcome& outcome) {
    if (outcome.outputText) SetWindowTextW(GetDlgItem(hwnd_, IdOutputBox), outcome.outputText->c_str());
    if (outcome.enablePickNodes) EnableWindow(GetDlgItem(hwnd_, IdPickNodesButton), TRUE);
    for (const cad::UserMessage& message : outcome.messages) {
        const UINT icon = message.icon == cad::MessageIcon::Stop ? MB_ICONSTOP : MB_ICONWARNING;
        MessageBoxW(hwnd_, message.text.c_str(), message.caption.c_str(), MB_OK | icon);
    }
}

}  // namespace app
