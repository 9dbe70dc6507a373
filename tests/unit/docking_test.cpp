#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "app/twips.h"
#include "promo/docking.h"

using promo::DockMove;
using promo::dockingStep;
using promo::Edge;
using promo::edgePosition;
using promo::PixelBounds;
using promo::PixelPoint;
using promo::TwipsGeometry;
using promo::WindowState;

namespace {

constexpr double kScreenWidth = 28800;  // 1920 pixels at 15 twips per pixel
constexpr double kW = promo::kWindowWidthTwips;
constexpr double kH = promo::kWindowHeightTwips;

// A window in the middle of the screen, its rectangle consistent with its twips at 15.
struct Fixture {
    TwipsGeometry twips{9000, 3000, kW, kH};
    PixelBounds rect{600, 200, 731, 809};
};

std::optional<DockMove> step(PixelPoint p, PixelBounds r, const TwipsGeometry& t,
                             WindowState s = WindowState::Normal) {
    return dockingStep(p, r, s, t, kScreenWidth);
}

// The window as the tool moves it: twips read from its pixel rectangle, the step applied,
// the new twips turned back into pixels.
struct SimulatedWindow {
    SimulatedWindow(double factor, int l, int t, int w, int h)
        : tpp(factor), left(l), top(t), width(w), height(h) {}
    double tpp;
    int left, top, width, height;  // pixels
    double screenWidthTwips = kScreenWidth;
    std::vector<double> lefts;  // twips written, in order
    std::vector<double> tops;

    void tick(PixelPoint pointer) {
        const PixelBounds rect{left, top, left + width, top + height};
        const TwipsGeometry g{left * tpp, top * tpp, width * tpp, height * tpp};
        const auto move = dockingStep(pointer, rect, WindowState::Normal, g, screenWidthTwips);
        if (!move) return;
        if (move->left != g.left) lefts.push_back(move->left);
        if (move->top != g.top) tops.push_back(move->top);
        left = app::twipsToPixels(move->left, tpp);
        top = app::twipsToPixels(move->top, tpp);
    }
};

}  // namespace

TEST(EdgePlacement, RightAndLeftEdgesAThirdDownTheFreeHeight) {
    const auto right = edgePosition(Edge::Right, 28800, 1965, 16200, 9135);
    EXPECT_FLOAT_EQ(right.left, 26835);
    EXPECT_FLOAT_EQ(right.top, 2355);
    const auto left = edgePosition(Edge::Left, 28800, 1965, 16200, 9135);
    EXPECT_FLOAT_EQ(left.left, 0);
    EXPECT_FLOAT_EQ(left.top, 2355);
    // Unrounded: 15360 - 9000 leaves a fraction of a third.
    EXPECT_FLOAT_EQ(edgePosition(Edge::Left, 15360, 1965, 15360, 9000).top, 2120);
    EXPECT_FLOAT_EQ(edgePosition(Edge::Left, 15360, 1965, 11521, 9135).top, 2386.0f / 3.0f);
}

TEST(EdgePlacement, ScreenLessHighThanTheWindowGivesANegativeTop) {
    // 1024 x 576 pixels at 15: 15360 x 8640 twips.
    const auto p = edgePosition(Edge::Right, 15360, 1965, 8640, 9135);
    EXPECT_FLOAT_EQ(p.top, -165);
    EXPECT_FLOAT_EQ(p.left, 13395);
}

TEST(DockingStep, WorkedExampleRightWindow) {
    SimulatedWindow w{15, 1789, 157, 131, 609};  // placed at 26835, 2355
    const PixelPoint elsewhere{900, 500};
    w.tick(elsewhere);
    ASSERT_EQ(w.lefts.size(), 1u);
    EXPECT_DOUBLE_EQ(w.lefts.back(), 28760);  // hidden
    EXPECT_EQ(w.left, 1917);                  // 3 pixels stay on the screen
    w.tick({1918, 400});                      // the pointer reaches the strip
    EXPECT_DOUBLE_EQ(w.lefts.back(), 26845);  // revealed 10 twips beyond the edge
    EXPECT_EQ(w.left + w.width, 1921);
    w.tick({1918, 400});  // stays revealed while the pointer is inside
    EXPECT_DOUBLE_EQ(w.lefts.back(), 26845);
    w.tick(elsewhere);
    EXPECT_DOUBLE_EQ(w.lefts.back(), 28760);
    EXPECT_TRUE(w.tops.empty());
}

TEST(DockingStep, WorkedExampleLeftWindow) {
    SimulatedWindow w{15, 0, 157, 131, 609};
    w.tick({900, 500});
    ASSERT_EQ(w.lefts.size(), 1u);
    EXPECT_DOUBLE_EQ(w.lefts.back(), -1925);
    EXPECT_EQ(w.left, -128);
    w.tick({1, 400});
    EXPECT_DOUBLE_EQ(w.lefts.back(), -10);
    w.tick({900, 500});
    EXPECT_DOUBLE_EQ(w.lefts.back(), -1925);
    EXPECT_TRUE(w.tops.empty());
}

TEST(DockingStep, PointerOnTheOutermostColumnKeepsTheLeftWindowRevealed) {
    // -10 twips must become -1 pixel at every common factor; at 0 the window's own left
    // column would hold the pointer, count as outside, and the window would flicker.
    for (double tpp : {15.0, 12.0, 10.0, 7.5}) {
        const int width = app::twipsToPixels(kW, tpp);
        const int height = app::twipsToPixels(kH, tpp);
        SimulatedWindow w{tpp, 0, 100, width, height};
        w.screenWidthTwips = 1920 * tpp;
        w.tick({500, 300});
        const int hiddenLeft = w.left;
        EXPECT_NEAR(hiddenLeft + width, 40 / tpp, 1) << tpp;  // only the strip stays
        for (int i = 0; i < 5; ++i) {
            w.tick({0, 300});
            EXPECT_EQ(w.left, -1) << tpp << " tick " << i;
        }
    }
}

TEST(DockingStep, PointerOnTheOutermostRowKeepsATopWindowRevealed) {
    for (double tpp : {15.0, 12.0, 10.0, 7.5}) {
        const int width = app::twipsToPixels(kW, tpp);
        const int height = app::twipsToPixels(kH, tpp);
        SimulatedWindow w{tpp, 300, -11, width, height};
        w.screenWidthTwips = 1024 * tpp;
        w.tick({50, 50});
        EXPECT_DOUBLE_EQ(w.tops.back(), 40 - height * tpp) << tpp;
        for (int i = 0; i < 5; ++i) {
            w.tick({310, 0});
            EXPECT_EQ(w.top, -1) << tpp << " tick " << i;
        }
    }
}

TEST(DockingStep, InsideIsStrictOnTheLeftAndTopAndInclusiveOfRightAndBottom) {
    Fixture f;
    f.twips.top = -10;  // revealed at the top, so an inside pointer shows in the result
    f.rect.top = -1;
    f.rect.bottom = 608;
    ASSERT_TRUE(step({650, 300}, f.rect, f.twips)->showAgain);
    // The left-most column and top-most row are outside: the window hides upwards.
    const auto onLeftColumn = step({600, 300}, f.rect, f.twips);
    ASSERT_TRUE(onLeftColumn);
    EXPECT_FALSE(onLeftColumn->showAgain);
    EXPECT_DOUBLE_EQ(onLeftColumn->top, 40 - kH);
    EXPECT_FALSE(step({650, -1}, f.rect, f.twips)->showAgain);
    // The right-most column and bottom row (one short of the exclusive right and bottom) are inside.
    EXPECT_TRUE(step({730, 300}, f.rect, f.twips)->showAgain);
    EXPECT_TRUE(step({650, 607}, f.rect, f.twips)->showAgain);
    EXPECT_FALSE(step({731, 300}, f.rect, f.twips)->showAgain);
    EXPECT_FALSE(step({650, 608}, f.rect, f.twips)->showAgain);
}

TEST(DockingStep, RevealTakesTopThenLeftThenRight) {
    const PixelPoint in{10, 10};
    const PixelBounds r{-5, -5, 200, 700};
    // Above and left of the screen at once: the top wins.
    auto m = step(in, r, {-75, -75, kW, kH});
    ASSERT_TRUE(m);
    EXPECT_EQ(*m, (DockMove{-75, -10, true}));
    m = step(in, r, {-75, 300, kW, kH});
    EXPECT_EQ(*m, (DockMove{-10, 300, true}));
    // Right edge: left + width reaching the screen width exactly counts.
    m = step({1850, 300}, {1789, 100, 1920, 709}, {26835, 1500, kW, kH});
    EXPECT_EQ(*m, (DockMove{26845, 1500, true}));
    // One twip short of the right edge with the pointer inside: nothing to reveal.
    EXPECT_FALSE(step({1800, 300}, {1789, 100, 1920, 709}, {26834, 1500, kW, kH}));
}

TEST(DockingStep, HideTakesTopThenLeftThenRight) {
    const PixelPoint out{900, 900};
    // Touching the top and the left: hides upwards.
    auto m = step(out, {0, 0, 131, 609}, {0, 0, kW, kH});
    EXPECT_EQ(*m, (DockMove{0, 40 - kH, false}));
    m = step(out, {4, 5, 135, 614}, {60, 75, kW, kH});
    EXPECT_EQ(*m, (DockMove{40 - kW, 75, false}));
    // Right: within 4 twips of the edge, each side in single precision.
    m = step(out, {1789, 100, 1920, 709}, {26831, 1500, kW, kH});
    EXPECT_EQ(*m, (DockMove{28760, 1500, false}));
    EXPECT_FALSE(step(out, {1789, 100, 1920, 709}, {26830, 1500, kW, kH}));
}

TEST(DockingStep, OutsideTestsAreLooserSoANearbyWindowSnaps) {
    const PixelPoint out{900, 900};
    EXPECT_DOUBLE_EQ(step(out, {300, 4, 431, 613}, {4500, 60, kW, kH})->top, 40 - kH);
    EXPECT_DOUBLE_EQ(step(out, {4, 300, 135, 909}, {60, 4500, kW, kH})->left, 40 - kW);
    // Five pixels from the top and left, more than 4 twips inside the right: never moves.
    EXPECT_FALSE(step(out, {5, 5, 136, 614}, {75, 75, kW, kH}));
    EXPECT_FALSE(step({20, 20}, {5, 5, 136, 614}, {75, 75, kW, kH}));
}

TEST(DockingStep, AWindowAtTopZeroIsNotRevealedUntilItHasHidden) {
    Fixture f;
    f.twips.top = 0;
    f.rect.top = 0;
    f.rect.bottom = 609;
    // The pointer inside: 0 is not below 0, and the window touches no other edge.
    EXPECT_FALSE(step({650, 300}, f.rect, f.twips));
    // Pointer gone: hides upwards; the next reveal puts it at -10.
    const auto hide = step({20, 900}, f.rect, f.twips);
    ASSERT_TRUE(hide);
    EXPECT_DOUBLE_EQ(hide->top, 40 - kH);
    const auto reveal = step({650, 1}, {600, -606, 731, 3}, {9000, 40 - kH, kW, kH});
    ASSERT_TRUE(reveal);
    EXPECT_DOUBLE_EQ(reveal->top, -10);
}

TEST(DockingStep, MinimisedWindowNeverMoves) {
    for (PixelPoint p : {PixelPoint{900, 900}, PixelPoint{1, 300}}) {
        EXPECT_FALSE(step(p, {-128, 100, 3, 709}, {-1925, 1500, kW, kH}, WindowState::Minimised));
        EXPECT_FALSE(step(p, {0, 0, 160, 30}, {0, 0, 2400, 450}, WindowState::Minimised));
    }
    // Maximised windows are not exempt.
    EXPECT_TRUE(step({900, 900}, {0, 0, 1920, 1080}, {0, 0, 28800, 16200}, WindowState::Maximised));
}

TEST(DockingStep, ShortScreenDocksEitherWindowAtTheTop) {
    // 1024 x 576: both windows were placed with top -165 twips (-11 pixels).
    for (const auto& [left, twipsLeft] : {std::pair{893, 13395.0}, std::pair{0, 0.0}}) {
        SimulatedWindow w{15, left, -11, 131, 609};
        w.screenWidthTwips = 15360;
        w.tick({500, 300});
        ASSERT_EQ(w.tops.size(), 1u);
        EXPECT_DOUBLE_EQ(w.tops.back(), 40 - kH);
        EXPECT_TRUE(w.lefts.empty()) << twipsLeft;
        w.tick({left + 60, 1});
        EXPECT_DOUBLE_EQ(w.tops.back(), -10);
        EXPECT_EQ(w.top, -1);
        EXPECT_TRUE(w.lefts.empty());
    }
}

TEST(DockingStep, ZeroedInputsFromFailedCallsLeaveAFreeWindowAlone) {
    // Failed GetCursorPos / GetWindowRect leave zeros: an all-zero rectangle counts as at the
    // top, so a window whose real position is free still snaps there. This is the behaviour.
    const auto m = step({0, 0}, {0, 0, 0, 0}, {9000, 3000, kW, kH});
    ASSERT_TRUE(m);
    EXPECT_DOUBLE_EQ(m->top, 40 - kH);
}
