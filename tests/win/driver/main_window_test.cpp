// The main window at the DPI the harness set: its place and controls as drawn on the screen,
// the tab order, and its commands (help, the focus highlight, the two ways out).
#include <gtest/gtest.h>

#include <cstdlib>

#include "harness.h"

namespace driver {

class MainWindow : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(screenDpi(), dpi) << "screen DPI as the harness set it";
        ASSERT_NE(main = launchTool(process, arg(0)), nullptr) << "the tool showed no main window";
    }
    HWND item(int id) const { return GetDlgItem(main, id); }
    bool focusMoves(int id) const { return waitFor([&] { return focusedWindow(main) == item(id); }, 3s); }
    bool tabTo(int id) const { return pressKey(VK_TAB), focusMoves(id); }

    const int dpi = argDpi();
    Process process;
    HWND main = nullptr;
};

// The control's text on the screen is `text` drawn in `font`, in the same place to a pixel: a
// wrong font, size or text, or a text cut off, shows. `inset` leaves out a button's frame.
static void expectDrawnAs(const Capture& screen, HWND control, const wchar_t* text, HFONT font, UINT form, int inset) {
    const RECT r = windowRect(control);
    const COLORREF face = screen.at(r.left + inset, (r.top + r.bottom) / 2);  // a themed button's too
    const auto ink = [&](COLORREF c) { return c != face; };
    RECT seen = screen.ink({r.left + inset, r.top + inset, r.right - inset, r.bottom - inset}, ink);
    OffsetRect(&seen, -r.left, -r.top);
    // Left-aligned text is drawn wider than the control, so that a cut-off text shows.
    const LONG width = (form & (DT_CENTER | DT_WORDBREAK)) ? r.right - r.left : 4 * (r.right - r.left),
               height = r.bottom - r.top;
    const Capture own = paint({0, 0, width, height}, [&](HDC dc) {
        RECT area{0, 0, width, height};
        SetBkColor(dc, face);
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
        SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, text, -1, &area, form);
    });
    Box got = box(seen), wanted = box(own.ink({inset, inset, width - inset, height - inset}, ink));
    // A button centres its caption with its own rounding: one pixel up or down at some DPIs.
    if ((form & DT_VCENTER) && std::abs(got[1] - wanted[1]) <= 1) got[1] = wanted[1];
    EXPECT_EQ(got, wanted) << "text box";
}

TEST_F(MainWindow, Layout) {
    EXPECT_EQ(windowText(main), L"Pontiro截面 V2.0");
    EXPECT_EQ(GetWindowLongW(main, GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), WS_MINIMIZEBOX);
    EXPECT_TRUE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
    const RECT outer = windowRect(main);  // centred, a third of the free height above it
    EXPECT_EQ(outer.left, std::lround((GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2.0));
    EXPECT_EQ(outer.top, std::lround((GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 3.0));
    EXPECT_EQ(box(windowRect(main, true)), pxBox({0, 0, 4140, 3600}, dpi));
    Sleep(300);  // the first paint
    const Capture screen = capture(outer);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    HFONT message = CreateFontIndirectW(&metrics.lfMessageFont);
    HFONT song = CreateFontW(-MulDiv(9, dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, L"宋体");
    // Controls in twips (the field names as wide as their texts) and their texts as drawn: the
    // field names blue in the message font, the buttons in 宋体 9 pt. The picture lies below.
    const struct { int id; Box twips; const wchar_t* text; } controls[] = {
        {app::IdOutputBox, {1920, 240, 2055, 3015}, L""}, {app::IdInitialiseOriginButton, {360, 1080, 1215, 375}, L"  初始化原点"},
        {app::IdScaleFactorBox, {1080, 240, 615, 270}, L"1"}, {app::IdPickNodesButton, {360, 1560, 1215, 375}, L"  点取节点"},
        {app::IdSectionPicture, {360, 3600, 3495, 960}, L""}, {app::IdMoreSoftwareButton, {360, 2040, 1215, 375}, L"  更多软件"},
        {app::IdScaleFactorLabel, {240, 285, 0, 0}, L"缩放因子"}, {app::IdHelpButton, {360, 2520, 1215, 375}, L"  帮  助"},
        {app::IdDecimalsLabel, {240, 645, 0, 0}, L"小数位数"}, {app::IdExitButton, {360, 3000, 1215, 375}, L"  退  出"}};
    for (const auto& c : controls) {
        SCOPED_TRACE(c.id);
        const bool label = c.twips[2] == 0, button = c.twips[3] == 375;
        const Box placed = box(rectInParentClient(item(c.id)));
        EXPECT_EQ(label ? (Box{placed[0], placed[1], 0, 0}) : placed, pxBox(c.twips, dpi));
        EXPECT_EQ(windowText(item(c.id)), c.text);
        EXPECT_EQ(IsWindowEnabled(item(c.id)) != 0, c.id != app::IdPickNodesButton) << "点取节点 waits for an origin";
        if (button) expectDrawnAs(screen, item(c.id), c.text, song, DT_CENTER | DT_VCENTER | DT_SINGLELINE, 3);
        if (!label) continue;
        expectDrawnAs(screen, item(c.id), c.text, message, DT_SINGLELINE, 0);
        const auto blue = [](COLORREF p) { return GetBValue(p) > 200 && GetRValue(p) < 90 && GetGValue(p) < 90; };
        EXPECT_GT(box(screen.ink(windowRect(item(c.id)), blue))[2], 0) << "drawn in blue";
    }
    // Tab skips the field names and the disabled button, and types nothing into the output box.
    SetForegroundWindow(main);
    for (int id : {app::IdScaleFactorBox, app::IdDecimalsBox, app::IdInitialiseOriginButton, app::IdHelpButton, app::IdMoreSoftwareButton, app::IdExitButton,
                   app::IdOutputBox})
        EXPECT_TRUE(tabTo(id)) << "Tab to control " << id;
    EXPECT_EQ(windowText(item(app::IdOutputBox)) + windowText(item(app::IdDecimalsBox)), L"0") << "output box empty, decimals 0";
}

// Help grows and shrinks the window at its bottom edge, to show the picture and instructions.
TEST_F(MainWindow, HelpTogglesTheHeight) {
    const RECT start = windowRect(main);
    for (int h : {6700, 4080, 6700}) {
        PostMessageW(item(app::IdHelpButton), BM_CLICK, 0, 0);
        waitFor([&] { return box(windowRect(main))[3] == twipsToPx(h, dpi); }, 5s);
        EXPECT_EQ(box(windowRect(main)), (Box{start.left, start.top, start.right - start.left, twipsToPx(h, dpi)}));
    }
    EXPECT_EQ(windowText(item(app::IdInstructions)), L"操作步骤：\r\n"
                                               L"  1、打开截面图-R2000以上版本\r\n"
                                               L"  2、点击初始化按钮，程序将切换到CAD，选取相对原点\r\n"
                                               L"  3、点击点取节点按钮，依次选择截面节点。\r\n"
                                               L"  更多软件尽在http://www.pontiro.example");
    EXPECT_EQ(box(rectInParentClient(item(app::IdInstructions))), pxBox({480, 4680, 3255, 1455}, dpi));
    // All of it shows: drawn as in the largest message-font size in which the whole text fits.
    const RECT label = windowRect(item(app::IdInstructions), true);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    const UINT form = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX;
    const std::wstring text = windowText(item(app::IdInstructions));
    HFONT font = nullptr;
    for (RECT need{};; ++metrics.lfMessageFont.lfHeight) {
        font = CreateFontIndirectW(&metrics.lfMessageFont);
        paint({0, 0, 1, 1}, [&](HDC dc) {
            need = label;
            SelectObject(dc, font);
            DrawTextW(dc, text.c_str(), -1, &need, form | DT_CALCRECT);
        });
        if (need.bottom <= label.bottom && need.right <= label.right) break;
    }
    Sleep(300);
    expectDrawnAs(capture(windowRect(main)), item(app::IdInstructions), text.c_str(), font, form, 0);
}

// Each row gives a box the focus, by Tab or as a program would, after putting a text and a
// caret at 2 into it: the box selects all of it, and only the focused box is pale green.
TEST_F(MainWindow, FocusSelectsAllAndHighlights) {
    const struct { int id; bool byTab; const wchar_t* text; WORD selectionEnd; } rows[] = {
        {app::IdOutputBox, false, nullptr, 0}, {app::IdScaleFactorBox, true, L"12.5", 4},  // at start, then by Tab
        {app::IdOutputBox, false, L"1.25\r\n2.5", 9}, {app::IdDecimalsBox, false, L"", 0}};
    SetForegroundWindow(main);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        if (row.text) SendMessageW(item(row.id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(row.text));
        if (row.text) SendMessageW(item(row.id), EM_SETSEL, 2, 2);
        if (!row.byTab && row.text) focusControl(item(row.id));
        ASSERT_TRUE(row.byTab ? tabTo(row.id) : focusMoves(row.id));
        EXPECT_EQ(sendTimeout(item(row.id), EM_GETSEL), MAKELONG(0, row.selectionEnd));
        // The pale green covers the focused box's client area and nothing else.
        RECT wanted = windowRect(item(row.id), true), seen{};
        MapWindowPoints(item(row.id), nullptr, reinterpret_cast<POINT*>(&wanted), 2);
        const RECT all = windowRect(main);
        const auto paleGreen = [](COLORREF c) { return c == RGB(192, 255, 192); };
        waitFor([&] { return EqualRect(&wanted, &(seen = capture(all).ink(all, paleGreen))); }, 3s);
        EXPECT_EQ(box(seen), box(wanted));
    }
}

// Coming back to the tool (from the CAD, say) puts the focus back without selecting the output
// box, so that one keystroke cannot replace the node list; typed there, Enter breaks the line.
TEST_F(MainWindow, ComingBackKeepsTheSelection) {
    HWND output = item(app::IdOutputBox);
    SetForegroundWindow(main);
    SendMessageW(output, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"0 0\r\n300 0"));
    focusControl(output);
    ASSERT_TRUE(focusMoves(app::IdOutputBox));
    SendMessageW(output, EM_SETSEL, 2, 2);
    HWND other = CreateWindowW(L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    ASSERT_TRUE(waitFor([&] { return GetForegroundWindow() == other; }, 3s));
    // The box loses the focus, as on Windows when another program comes to the front (Wine
    // leaves it there, and then nothing is put back).
    focusControl(nullptr);
    ASSERT_TRUE(waitFor([&] { return focusedWindow(main) != output; }, 3s));
    SetForegroundWindow(main);
    ASSERT_TRUE(waitFor([&] { return GetForegroundWindow() == main; }, 3s) && focusMoves(app::IdOutputBox));
    Sleep(200);
    EXPECT_EQ(sendTimeout(output, EM_GETSEL), MAKELONG(2, 2));
    for (WORD key : {WORD('7'), WORD(VK_RETURN), WORD('8')}) pressKey(key);
    EXPECT_TRUE(waitFor([&] { return windowText(output) == L"0 7\r\n80\r\n300 0"; }, 3s)) << windowText(output);
    DestroyWindow(other);
}

// The two boxes' texts come back as typed at the next start (退出 keeps them); a stored value
// the tool cannot use gives that box's default without a word; --reset forgets them.
TEST_F(MainWindow, FieldsRememberedAcrossStarts) {
    // A new start on what is stored; ended, not exited, so that it writes nothing.
    const auto restartShows = [&](const wchar_t* arguments, const wchar_t* expected, bool screenshot = false) {
        Process again;
        HWND w = launchTool(again, arg(0), arguments, true);
        const auto text = [&](int id) { return windowText(GetDlgItem(w, id)); };
        EXPECT_EQ(w ? text(app::IdScaleFactorBox) + L"|" + text(app::IdDecimalsBox) : L"no window", expected) << arguments;
        if (w && screenshot) {
            Sleep(300);  // the first paint
            EXPECT_TRUE(saveScreenshot(arg(2).substr(2) + L"/remembered_fields_" + arg(1) + L".png"));
        }
    };
    SendMessageW(item(app::IdScaleFactorBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"0.001"));
    SendMessageW(item(app::IdDecimalsBox), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"3"));
    PostMessageW(item(app::IdExitButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(process.waitExit(10s));
    restartShows(L"", L"0.001|3", true);
    restartShows(L"--reset", L"1|0");
    win::RegistryKey maker;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Pontiro", 0, KEY_READ, maker.address()), ERROR_FILE_NOT_FOUND);
    // Each row spoils one value; the other holds a good text.
    constexpr wchar_t kKey[] = L"Software\\Pontiro\\Section";
    const std::wstring tooLong(65, L'2');
    const DWORD three = 3;
    const struct { const wchar_t* bad; DWORD type; const void* data; DWORD bytes; const wchar_t* expected; } rows[] = {
        {L"ScaleFactor", REG_NONE, nullptr, 0, L"1|2"}, {L"Decimals", REG_DWORD, &three, sizeof(three), L"0.5|0"},
        {L"ScaleFactor", REG_SZ, L"", sizeof(L""), L"1|2"}, {L"Decimals", REG_SZ, tooLong.c_str(), DWORD(2 * tooLong.size() + 2), L"0.5|0"}};
    for (const auto& row : rows) {
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"ScaleFactor", REG_SZ, L"0.5", sizeof(L"0.5"));
        RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Decimals", REG_SZ, L"2", sizeof(L"2"));
        if (row.type == REG_NONE) RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, row.bad);  // missing
        else RegSetKeyValueW(HKEY_CURRENT_USER, kKey, row.bad, row.type, row.data, row.bytes);
        restartShows(L"", row.expected);
    }
}

// The exit button, and the close box clicked on the screen, each end the whole process.
TEST_F(MainWindow, ExitButtonEndsTheTool) {
    PostMessageW(item(app::IdExitButton), BM_CLICK, 0, 0);
    EXPECT_TRUE(process.waitExit(10s));
}

TEST_F(MainWindow, CloseBoxEndsTheTool) {
    const RECT r = windowRect(main);
    const int x = r.right - GetSystemMetrics(SM_CXFIXEDFRAME) - GetSystemMetrics(SM_CXSIZE) / 2;
    const int y = r.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYSIZE) / 2;
    ASSERT_EQ(sendTimeout(main, WM_NCHITTEST, 0, MAKELPARAM(x, y)), HTCLOSE) << "close box found";
    clickAt(x, y);
    EXPECT_TRUE(process.waitExit(10s));
}

}  // namespace driver
