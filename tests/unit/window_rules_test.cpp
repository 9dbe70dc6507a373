// Window geometry rules: docking, edge placement, centring, topmost pixels, twips; the browser
// panes' rules; the main window's remembered fields.
#include <gtest/gtest.h>

#include "app/field_memory_rules.h"
#include "win/placement.h"
#include "win/twips.h"
#include "promo/browser_rules.h"
#include "promo/docking.h"

namespace {

using namespace promo;
using win::TopmostPixels;

TEST(DockingStep, Table) {
    constexpr auto N = WindowState::Normal;
    const std::optional<DockMove> none;
    struct Row { PixelPoint pointer; PixelBounds rect; WindowState state; TwipsGeometry twips; std::optional<DockMove> move; };
    const Row rows[] = {
        // Reveal under the pointer: top first, then left, then right (reaching the width counts).
        {{10, 10}, {-5, -5, 200, 700}, N, {-75, -75, 1965, 9135}, DockMove{-75, -10, true}},
        {{10, 10}, {-5, -5, 200, 700}, N, {-75, 300, 1965, 9135}, DockMove{-10, 300, true}},
        {{1850, 300}, {1789, 100, 1920, 709}, N, {26835, 1500, 1965, 9135}, DockMove{26845, 1500, true}},
        {{1800, 300}, {1789, 100, 1920, 709}, N, {26834, 1500, 1965, 9135}, none},
        // Hide when the pointer is away: 40 twips stay on the screen.
        {{900, 900}, {0, 0, 131, 609}, N, {0, 0, 1965, 9135}, DockMove{0, -9095, false}},
        {{900, 900}, {4, 5, 135, 614}, N, {60, 75, 1965, 9135}, DockMove{-1925, 75, false}},
        {{900, 900}, {1789, 100, 1920, 709}, N, {26831, 1500, 1965, 9135}, DockMove{28760, 1500, false}},
        {{900, 900}, {1789, 100, 1920, 709}, N, {26830, 1500, 1965, 9135}, none},
        {{900, 900}, {300, 4, 431, 613}, N, {4500, 60, 1965, 9135}, DockMove{4500, -9095, false}},
        {{900, 900}, {4, 300, 135, 909}, N, {60, 4500, 1965, 9135}, DockMove{-1925, 4500, false}},
        {{900, 900}, {5, 5, 136, 614}, N, {75, 75, 1965, 9135}, none},
        // Inside excludes the left column and top row, includes the last column and row.
        {{650, 300}, {600, -1, 731, 608}, N, {9000, -10, 1965, 9135}, DockMove{9000, -10, true}},
        {{600, 300}, {600, -1, 731, 608}, N, {9000, -10, 1965, 9135}, DockMove{9000, -9095, false}},
        {{650, -1}, {600, -1, 731, 608}, N, {9000, -10, 1965, 9135}, DockMove{9000, -9095, false}},
        {{730, 607}, {600, -1, 731, 608}, N, {9000, -10, 1965, 9135}, DockMove{9000, -10, true}},
        {{731, 300}, {600, -1, 731, 608}, N, {9000, -10, 1965, 9135}, DockMove{9000, -9095, false}},
        {{650, 608}, {600, -1, 731, 608}, N, {9000, -10, 1965, 9135}, DockMove{9000, -9095, false}},
        // At top 0 the window is not revealed until it has hidden.
        {{650, 300}, {600, 0, 731, 609}, N, {9000, 0, 1965, 9135}, none},
        {{20, 900}, {600, 0, 731, 609}, N, {9000, 0, 1965, 9135}, DockMove{9000, -9095, false}},
        {{1, 300}, {-128, 100, 3, 709}, WindowState::Minimised, {-1925, 1500, 1965, 9135}, none},
        {{900, 1200}, {0, 0, 1920, 1080}, WindowState::Maximised, {0, 0, 28800, 16200}, DockMove{0, -16160, false}},
        // Zeros left by failed GetCursorPos / GetWindowRect count as at the top.
        {{0, 0}, {0, 0, 0, 0}, N, {9000, 3000, 1965, 9135}, DockMove{9000, -9095, false}},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& r = rows[i];
        EXPECT_EQ(dockingStep(r.pointer, r.rect, r.state, r.twips, 28800), r.move) << "row " << i;
    }
}

TEST(EdgeAndCentredPlacement, Table) {
    struct Row { Edge edge; float sw, ww, sh, wh, left, top; };
    const Row edges[] = {{Edge::Right, 28800, 1965, 16200, 9135, 26835, 2355},
                         {Edge::Left, 28800, 1965, 16200, 9135, 0, 2355},
                         {Edge::Left, 15360, 1965, 11521, 9135, 0, 2386.0f / 3.0f},
                         {Edge::Right, 15360, 1965, 8640, 9135, 13395, -165}};
    const auto check = [](auto p, const Row& r) {
        EXPECT_FLOAT_EQ(p.left, r.left);
        EXPECT_FLOAT_EQ(p.top, r.top);
    };
    for (const auto& r : edges) check(edgePosition(r.edge, r.sw, r.ww, r.sh, r.wh), r);
    // Half the free width, a third of the free height; unrounded and unclamped.
    const Row centred[] = {{Edge::Left, 15360, 4230, 11520, 4080, 5565, 2480},
                           {Edge::Left, 15360, 4235, 11520, 11520, 5562.5f, 0},
                           {Edge::Left, 15360, 16360, 11520, 12120, -500, -200}};
    for (const auto& r : centred) check(win::centredPosition(r.sw, r.ww, r.sh, r.wh), r);
}

TEST(TopmostPixels, XRoundedHalfEvenTheRestIntegerDivisions) {
    struct Row { double l, t, w, h, tpp; TopmostPixels expected; };
    const Row rows[] = {{7105, 7105, 4230, 4080, 15, {474, 473, 282, 272}},
                        {5565, 2480, 4365, 4185, 15, {371, 165, 291, 279}},
                        {97.5, 29.5, 0, 0, 15, {6, 2, 0, 0}},
                        {112.5, 28.5, 0, 0, 15, {8, 1, 0, 0}},
                        {-100, -100, 0, 0, 15, {-7, -6, 0, 0}},
                        {7105, 7105, 4230, 4080, 7.5, {947, 888, 528, 510}},
                        {7105, 7105, 4230, 4080, 12, {592, 592, 352, 340}}};
    for (const auto& r : rows)
        EXPECT_EQ(win::topmostPixels(r.l, r.t, r.w, r.h, {r.tpp, r.tpp}), r.expected) << r.l << " at " << r.tpp;
    for (const auto& [v, even] : {std::pair{-0.5, 0.0}, {-1.5, -2.0}, {-2.5, -2.0}, {-2.6, -3.0}})
        EXPECT_EQ(win::roundHalfEven(v), even) << v;
}

// The press counter, seen and set from outside as only a test needs to.
struct CountedHelpToggle : win::HelpToggle {
    std::int16_t count() const { return count_; }
    void setCount(std::int16_t count) { count_ = count; }
};

TEST(HelpToggle, AlternatesTallFirstAndAcrossTheCounterWrap) {
    CountedHelpToggle help;
    EXPECT_EQ(help.press(), 6700);
    EXPECT_EQ(help.press(), 4080);
    help.setCount(32766);
    EXPECT_EQ(help.press(), 6700);
    EXPECT_EQ(help.press(), 4080);
    EXPECT_EQ(help.count(), -32768);
    EXPECT_EQ(help.press(), 6700);
}

TEST(Twips, FactorsAndRounding) {
    EXPECT_EQ(win::twipsPerPixelForDpi(192, 144).y, 10.0);
    EXPECT_EQ(win::twipsPerPixelForDpi(0, -1).x, 15.0);  // a broken device context
    EXPECT_EQ(win::twipsPerPixelForDpi(0, -1).y, 15.0);
    // -10 twips (a revealed window) must stay -1 pixel at every common factor.
    for (double f : {15.0, 12.0, 10.0, 7.5}) EXPECT_EQ(win::twipsToPixels(-10, f), -1) << f;
    EXPECT_EQ(win::twipsToPixels(40, 15), 3);
    EXPECT_EQ(win::twipsToPixels(-7.5, 15), -1);
    EXPECT_EQ(win::twipsToPixels(7.5, 15), 1);
    EXPECT_EQ(win::toPixels({1920, 240, 2055, 3015}, win::twipsPerPixelForDpi(120, 120)),
              (win::PixelRect{160, 20, 171, 251}));
}

TEST(BrowserPane, EmulationNameAddressesAndColour) {
    const struct { const wchar_t *service, *version; unsigned long value; } engines[] = {
        {L"11.0.19041.1", L"9.11.19041.0", 11001}, {L"10.0.9200.16384", L"9.10.9200.16384", 10001},
        {L"", L"9.11.9600.18666", 11001},  // svcVersion missing: Version's minor names the engine
        {L"", L"9.0.8112.16421", 9999}, {L"", L"8.0.7601.17514", 8888}, {L"", L"7.0.6000.16386", 7000},
        {L"x", L"8.0.7601.17514", 8888}, {L"", L"", 11001}, {L"11", L"", 11001}, {L"12.0", L"", 11001}};
    for (const auto& e : engines) EXPECT_EQ(promo::browserEmulationFor(e.service, e.version), e.value) << e.version;
    EXPECT_EQ(promo::fileNameOf(L"C:\\Program Files\\Pontiro\\pontiro.exe"), L"pontiro.exe");
    EXPECT_EQ(promo::fileNameOf(L"\\\\?\\Z:/tools/x64/PONTIRO-2.exe"), L"PONTIRO-2.exe");
    const struct { const wchar_t* address; bool opens; } addresses[] = {
        {L"http://www.pontiro.example/a.htm", true}, {L"HTTPS://x.example/", true}, {L"about:blank", false},
        {L"file:///C:/Windows/notepad.exe", false}, {L"C:\\Windows\\notepad.exe", false}, {L"javascript:x()", false},
        {L"http:", false}, {L" http://x.example/", false}, {L"", false}};
    for (const auto& a : addresses) EXPECT_EQ(promo::opensInUserBrowser(a.address), a.opens) << a.address;
    EXPECT_EQ(std::wstring(promo::htmlColour(0x00F0D2C5).data()), L"#C5D2F0");  // COLORREF is 0x00BBGGRR
    EXPECT_EQ(std::wstring(promo::htmlColour(0x0000000F).data()), L"#0F0000");
}

// --reset is a word of its own, not the class name after --cad-class. A stored text comes back
// as typed, up to its first zero, when it is 1 to 64 characters long.
TEST(RememberedFields, ResetOptionAndUsableText) {
    for (const auto& [arguments, reset] : std::vector<std::pair<const wchar_t*, bool>>{
             {L"--reset", true}, {L"a.dxf --cad-class=A \"--reset\"", true}, {L"--cad-class --reset", false},
             {L"--reset=1 --resets -reset", false}, {L"", false}})
        EXPECT_EQ(app::asksForReset(arguments), reset) << arguments;
    using namespace std::string_view_literals;
    const std::wstring longest(64, L'9'), tooLong = longest + L"9";
    const std::pair<std::optional<std::wstring_view>, std::optional<std::wstring>> rows[] = {
        {L"0.001", L"0.001"}, {L" 3 ", L" 3 "}, {L"1e-3\0"sv, L"1e-3"}, {L"2\0junk"sv, L"2"}, {longest, longest},
        {std::nullopt, std::nullopt}, {L"", std::nullopt}, {L"\0"sv, std::nullopt}, {tooLong, std::nullopt}};
    for (const auto& [stored, expected] : rows)
        EXPECT_EQ(app::usableRememberedText(stored), expected) << std::wstring(stored.value_or(L"<missing>"));
}

}  // namespace
