// The main window at the DPI the harness set: its place and controls as drawn on the screen,
// the tab order, and its commands (help, the focus highlight, the two ways out).
#include <gtest/gtest.h>

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

    const int dpi = argDpi();
    Process process;
    HWND main = nullptr;
};
class Layout : public MainWindow {};
class Commands : public MainWindow {};

// The control's text on the screen is `text` drawn in `font`, in the same place to a pixel: a
// wrong font, size or text, or a text cut off, shows. `inset` leaves out a button's frame.
static void expectDrawnAs(const Capture& screen, HWND control, const std::wstring& text, HFONT font, UINT format, int inset) {
    const RECT r = windowRect(control);
    const COLORREF face = screen.at(r.left + inset, (r.top + r.bottom) / 2);  // a themed button's too
    RECT seen = screen.ink({r.left + inset, r.top + inset, r.right - inset, r.bottom - inset}, face);
    OffsetRect(&seen, -r.left, -r.top);
    // Left-aligned text is drawn wider than the control, so that a cut-off text shows.
    const LONG width = (format & DT_CENTER) ? r.right - r.left : 4 * (r.right - r.left), height = r.bottom - r.top;
    const Capture own = paint({0, 0, width, height}, [&](HDC dc) {
        RECT area{0, 0, width, height};
        SetBkColor(dc, face);
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
        SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, text.c_str(), -1, &area, format);
    });
    const Box wanted = box(own.ink({inset, inset, width - inset, height - inset}, face));
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(box(seen)[i], wanted[i], 1) << "text box part " << i;
}

TEST_F(Layout, AsTheUserFirstSeesIt) {
    EXPECT_TRUE(focusMoves(app::IdText8)) << "focus starts in the output box";
    EXPECT_EQ(windowText(main), L"Pontiro截面 V2.0");
    const LONG frame = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME;
    EXPECT_EQ(GetWindowLongW(main, GWL_STYLE) & frame, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX) << "fixed border";
    EXPECT_TRUE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_TOPMOST);
    const RECT outer = windowRect(main);  // centred, a third of the free height above it
    EXPECT_EQ(outer.left, std::lround((GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2.0));
    EXPECT_EQ(outer.top, std::lround((GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 3.0));
    EXPECT_EQ(box(windowRect(main, true)), pxBox({0, 0, 4140, 3600}, dpi));
    Sleep(300);  // the first paint
    const Capture screen = capture(outer);
    saveScreenshot(arg(2) + L"\\main-window-" + arg(1) + L"dpi.bmp");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    HFONT message = CreateFontIndirectW(&metrics.lfMessageFont);
    HFONT song = CreateFontW(-MulDiv(9, dpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, L"宋体");
    // Controls in twips (the field names as wide as their texts) and their texts as drawn: the
    // field names blue in the message font, the buttons in 宋体 9 pt. The picture lies below.
    const struct { int id; Box twips; const wchar_t* text; } controls[] = {{app::IdText8, {1920, 240, 2055, 3015}, L""},     {app::IdText3, {1080, 240, 615, 270}, L"1"},
                    {app::IdImage1, {360, 3600, 3495, 960}, L""},     {app::IdLabel3, {240, 285, 0, 0}, L"缩放因子"},
                    {app::IdLabel1, {240, 645, 0, 0}, L"小数位数"},   {app::IdCommand3, {360, 1080, 1215, 375}, L"  初始化原点"},
                    {app::IdCommand1, {360, 1560, 1215, 375}, L"  点取节点"}, {app::IdCommand5, {360, 2040, 1215, 375}, L"  更多软件"},
                    {app::IdCommand4, {360, 2520, 1215, 375}, L"  帮  助"}, {app::IdCommand2, {360, 3000, 1215, 375}, L"  退  出"}};
    for (const auto& c : controls) {
        SCOPED_TRACE(c.id);
        const bool label = c.twips[2] == 0, button = c.twips[3] == 375;
        const Box placed = box(rectInParentClient(item(c.id)));
        EXPECT_EQ(label ? (Box{placed[0], placed[1], 0, 0}) : placed, pxBox(c.twips, dpi));
        EXPECT_EQ(windowText(item(c.id)), c.text);
        EXPECT_EQ(IsWindowEnabled(item(c.id)) != 0, c.id != app::IdCommand1) << "点取节点 waits for an origin";
        if (label || button) expectDrawnAs(screen, item(c.id), c.text, label ? message : song,
                                           label ? DT_SINGLELINE : DT_CENTER | DT_VCENTER | DT_SINGLELINE, button * 3);
        const auto blue = [](COLORREF c) { return GetBValue(c) > 200 && GetRValue(c) < 90 && GetGValue(c) < 90; };
        EXPECT_TRUE(!label || screen.count(windowRect(item(c.id)), blue) > 10) << "drawn in blue";
    }
    DeleteObject(song);
    DeleteObject(message);
    // Tab skips the field names and the disabled button, and types nothing into the output box.
    SetForegroundWindow(main);
    for (int id : {app::IdText3, app::IdText1, app::IdCommand3, app::IdCommand4, app::IdCommand5, app::IdCommand2,
                   app::IdText8}) {
        pressKey(VK_TAB);
        EXPECT_TRUE(focusMoves(id)) << "Tab to control " << id;
    }
    EXPECT_EQ(windowText(item(app::IdText8)) + windowText(item(app::IdText1)), L"0") << "output box empty, decimals 0";
}

// Help grows and shrinks the window at its bottom edge, to show the picture and instructions.
TEST_F(Commands, HelpTogglesTheHeight) {
    const RECT start = windowRect(main);
    for (int height : {6700, 4080, 6700}) {
        PostMessageW(item(app::IdCommand4), BM_CLICK, 0, 0);
        waitFor([&] { return box(windowRect(main))[3] == twipsToPx(height, dpi); }, 5s);
        EXPECT_EQ(box(windowRect(main)), (Box{start.left, start.top, start.right - start.left, twipsToPx(height, dpi)}));
    }
    EXPECT_EQ(windowText(item(app::IdLabel2)), L"操作步骤：\r\n"
                                               L"  1、打开截面图-R2000以上版本\r\n"
                                               L"  2、点击初始化按钮，程序将切换到CAD，选取相对原点\r\n"
                                               L"  3、点击点取节点按钮，依次选择截面节点。\r\n"
                                               L"  更多软件尽在http://www.pontiro.example");
    EXPECT_EQ(box(rectInParentClient(item(app::IdLabel2))), pxBox({480, 4680, 3255, 1455}, dpi));
    SetForegroundWindow(main);
    Sleep(200);  // the repaint after the resize
    const RECT picture = windowRect(item(app::IdImage1));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_GT(capture(picture).count(picture, [&](COLORREF c) { return c != face; }), 400) << "the picture drawn";
    saveScreenshot(arg(2) + L"\\main-window-tall-" + arg(1) + L"dpi.bmp");
}

TEST_F(Commands, FocusSelectsAllAndHighlights) {
    // Each row gives a box the focus, by Tab or as a program would, after putting a text and a
    // caret at 2 into it: the box selects all of it, and only the focused box is pale green.
    const struct { int id; bool byTab; const wchar_t* text; WORD selectionEnd; } rows[] = {{app::IdText8, false, nullptr, 0},  // at start
                {app::IdText3, true, L"12.5", 4},
                {app::IdText1, true, nullptr, 1},
                {app::IdText8, false, L"1.25\r\n2.5", 9},
                {app::IdText1, false, L"", 0}};
    const int boxes[] = {app::IdText8, app::IdText3, app::IdText1};
    const auto backgrounds = [&] {  // each box's lower right inner corner, clear of text and scroll bar
        const Capture shot = capture(windowRect(main));
        std::vector<COLORREF> colours;
        for (int id : boxes) {
            const RECT r = windowRect(item(id), true);
            POINT p{r.right - 4, r.bottom - 3};
            ClientToScreen(item(id), &p);
            colours.push_back(shot.at(p.x, p.y));
        }
        return colours;
    };
    SetForegroundWindow(main);
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "control " << row.id << (row.byTab ? " by Tab" : " by program"));
        if (row.text) SendMessageW(item(row.id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(row.text));
        if (row.text) SendMessageW(item(row.id), EM_SETSEL, 2, 2);
        if (row.byTab) pressKey(VK_TAB);
        else if (row.text) focusControl(item(row.id));
        ASSERT_TRUE(focusMoves(row.id));
        EXPECT_EQ(sendTimeout(item(row.id), EM_GETSEL), MAKELONG(0, row.selectionEnd));
        std::vector<COLORREF> wanted, seen;
        for (int id : boxes) wanted.push_back(id == row.id ? RGB(192, 255, 192) : GetSysColor(COLOR_WINDOW));
        waitFor([&] { return (seen = backgrounds()) == wanted; }, 3s);
        EXPECT_EQ(seen, wanted);
    }
    EXPECT_EQ(HIWORD(sendTimeout(item(app::IdText3), EM_GETSEL)), 4) << "the scale box keeps its selection";
}

// The exit button, and the close box clicked on the screen, each end the whole process.
TEST_F(Commands, ExitButtonEndsTheTool) {
    PostMessageW(item(app::IdCommand2), BM_CLICK, 0, 0);
    EXPECT_TRUE(process.waitExit(10s));
}

TEST_F(Commands, CloseBoxEndsTheTool) {
    const RECT r = windowRect(main);
    const int x = r.right - GetSystemMetrics(SM_CXFIXEDFRAME) - GetSystemMetrics(SM_CXSIZE) / 2;
    const int y = r.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYSIZE) / 2;
    ASSERT_EQ(sendTimeout(main, WM_NCHITTEST, 0, MAKELPARAM(x, y)), HTCLOSE) << "close box found";
    clickAt(x, y);
    EXPECT_TRUE(process.waitExit(10s));
}

}  // namespace driver
