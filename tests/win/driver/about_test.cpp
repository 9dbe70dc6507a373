// The About window through 更多软件: the home page opened first, then the window, modal and
// centred; one table of its parts: place, text, tooltip and the address a click opens. A
// recorder registered as the prefix's http and mailto handler logs each address it is given.
#include <gtest/gtest.h>

#include <map>

#include "about/about_window_ids.h"
#include "harness.h"

namespace driver {

// What `shown` waits for after the pointer was moved onto a point. Under Wine the tool now and then
// acts on none of the moves of a hover although the pointer is there, the window active and the
// tool answering at once (about one run in 30, mostly on the first tooltip); a small move more
// then does. So after 2 s the pointer moves once more and gets 5 s.
static bool afterHover(POINT p, const char* what, const std::function<bool()>& shown) {
    if (waitFor(shown, 2s)) return true;
    printf("no %s yet: the pointer moves once more at %ld,%ld\n", what, p.x, p.y);
    moveMouseTo(p.x + 1, p.y);
    moveMouseTo(p.x, p.y);
    return waitFor(shown, 5s);
}

static HCURSOR pointerShape() {
    CURSORINFO info{sizeof(info), 0, nullptr, {}};
    GetCursorInfo(&info);
    return info.hCursor;
}

// Where the pointer is and the part under it, for a failure.
static std::string pointerAt() {
    POINT at{};
    GetCursorPos(&at);
    return "pointer at " + std::to_string(at.x) + "," + std::to_string(at.y) + " over part " +
           std::to_string(GetDlgCtrlID(WindowFromPoint(at)));
}

TEST(About, PartsLinksAndTooltips) {
    using namespace about;
    const int dpi = argDpi();
    ASSERT_EQ(screenDpi(), dpi) << "screen DPI as the harness set it";
    const std::wstring log = arg(2) + L"\\url-log-" + arg(1) + L".txt", recorder = L"\"" + arg(3) + L"\" \"" + log;
    DeleteFileW(log.c_str());
    const HandlerOverride http(L"http", recorder + L"\" \"%1\""), mailto(L"mailto", recorder + L"\" \"%1\"");
    Process process;
    HWND main = launchTool(process, arg(0));
    ASSERT_TRUE(http.ok && mailto.ok && main) << "recorder registered, tool started";
    PostMessageW(GetDlgItem(main, app::IdMoreSoftwareButton), BM_CLICK, 0, 0);
    HWND about = nullptr;
    ASSERT_TRUE(waitFor([&] { return (about = findTopLevel(process.id(), kAboutWindowClass)) != nullptr; }, 10s));
    // Shown modal after the home page was opened, not before: the address comes while it is up.
    const std::vector<std::string> home{"http://www.pontiro.example"};
    EXPECT_TRUE(waitFor([&] { return opened(log) == home; }, 10s) && IsWindow(about)) << "home page opened";
    EXPECT_FALSE(IsWindowEnabled(main)) << "main window disabled while About is open";
    const RECT r = windowRect(about);  // centred, a third of the free height above it
    EXPECT_EQ(r.left, std::lround((GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2.0));
    EXPECT_EQ(r.top, std::lround((GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 3.0));
    EXPECT_EQ(windowText(about), L"Toravel");
    EXPECT_EQ(box(windowRect(about, true)), pxBox({0, 0, 5100, 2160}, dpi));
    SetForegroundWindow(about);

    // Clicks that open nothing come first: each link's address must then be the only new entry.
    const struct { int id, left, top; const wchar_t *text, *tooltip; const char* opens; } parts[] = {  // twips
        {IdAuthorName, 1320, 720, nullptr, nullptr, nullptr},  // the author's name
        {IdOrganisationLabel, 600, 1080, L"单 位：", nullptr, nullptr},
        {IdHomePageLink, 1320, 1800, L"http://www.pontiro.example", L"Toravel", "http://www.pontiro.example"},
        {IdMailLink, 1320, 1440, L"lin.chuan@toravel.example", nullptr, "mailto:lin.chuan@toravel.example"},
        {IdOrganisationLink, 1320, 1080, nullptr, L"http://www.toravel.example", "http://www.toravel.example"},
        {IdHeaderStrip, 0, 0, L"", nullptr, "http://www.pontiro.example"},  // clicked at its right end
        {IdHeaderIcon, 240, 120, nullptr, nullptr, "http://www.pontiro.example"},
        {IdHeaderText, 960, 240, L"Toravel－原创、专业、免费、无限制", L"http://www.toravel.example",
         "http://www.pontiro.example"},
        {IdOkButton, 3480, 1440, L"  确  定", nullptr, nullptr},  // OK, last: it closes the window
    };
    const POINT ok = centreOf(windowRect(GetDlgItem(about, IdOkButton)));
    std::map<int, HCURSOR> pointer;  // the pointer's shape over each part
    HCURSOR hand = nullptr;           // over the home page link, read while its tooltip shows
    for (const auto& part : parts) {
        SCOPED_TRACE(part.id);
        const bool link = part.id == IdHomePageLink || part.id == IdMailLink || part.id == IdOrganisationLink;
        HWND control = GetDlgItem(about, part.id);
        const RECT place = rectInParentClient(control);
        EXPECT_EQ(std::pair(place.left, place.top), std::pair(twipsToPx(part.left, dpi), twipsToPx(part.top, dpi)));
        EXPECT_TRUE(!part.text || windowText(control) == part.text) << "text";
        // The header strip is longer than the window: clicked at the window's right end.
        const POINT p = part.id == IdHeaderStrip ? POINT{windowRect(about).right - 30, windowRect(control).top + 5}
                                               : centreOf(windowRect(control));
        moveMouseTo(ok.x, ok.y + 40);
        waitFor([&] { return !findTopLevel(process.id(), L"tooltips_class32"); }, 3s);
        moveMouseTo(p.x, p.y);
        HWND tip = nullptr;
        EXPECT_TRUE(!part.tooltip || afterHover(p, "tooltip", [&] {
            return (tip = findTopLevel(process.id(), L"tooltips_class32")) && windowText(tip) == part.tooltip;
        })) << "tooltip " << testing::PrintToString(tip ? windowText(tip) : L"none") << ", " << pointerAt();
        // The tooltip shows half a second after the tool had the move, which set the shape then.
        if (part.id == IdHomePageLink) hand = pointerShape();
        moveMouseTo(p.x + 1, p.y);  // the shape follows a move, a little later
        moveMouseTo(p.x, p.y);
        // Read once the tool had the move: the shape a part should show (the hand over a link
        // alone) if it comes, else what shows then. Before the first link nothing can have left
        // the hand behind.
        HCURSOR shape = nullptr;
        afterHover(p, "pointer shape", [&] {
            shape = pointerShape();
            return !hand || (shape == hand) == link;
        });
        pointer[part.id] = shape;
        const size_t before = opened(log).size();
        Sleep(GetDoubleClickTime() + 50);  // a fresh single click
        clickAt(p.x, p.y);
        std::vector<std::string> now;  // the entries this click added
        waitFor([&] { return (now = opened(log)).size() > before; }, part.opens ? 10s : 0s);
        const std::vector<std::string> wanted(part.opens != nullptr, part.opens ? part.opens : "");
        EXPECT_EQ(std::vector(now.begin() + before, now.end()), wanted);
    }
    EXPECT_TRUE(waitFor([&] { return !IsWindow(about) && IsWindowEnabled(main); }, 5s)) << "OK closes About";
    // The hand over the three links, and over nothing else.
    for (const auto& part : parts) {
        const bool link = part.id == IdHomePageLink || part.id == IdMailLink || part.id == IdOrganisationLink;
        EXPECT_EQ(pointer[part.id] == pointer[IdHomePageLink], link) << "hand pointer over part " << part.id;
    }
    EXPECT_EQ(opened(log).size(), 7u) << "the home page and six links, nothing else";
}

}  // namespace driver
