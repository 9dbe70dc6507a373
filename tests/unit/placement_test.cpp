#include <gtest/gtest.h>

#include <limits>
#include <type_traits>

#include "app/placement.h"

using app::centredPosition;
using app::HelpToggle;
using app::roundHalfEven;
using app::TopmostPixels;
using app::topmostPixels;
using app::TwipsPerPixel;

TEST(Centring, ThirdOfTheFreeHeightAboveHalfTheFreeWidthLeft) {
    const auto p = centredPosition(15360, 4230, 11520, 4080);
    EXPECT_FLOAT_EQ(p.left, 5565);
    EXPECT_FLOAT_EQ(p.top, 2480);
    // The fraction is kept; only the platform turns it into pixels.
    EXPECT_FLOAT_EQ(centredPosition(15360, 4235, 11520, 4080).left, 5562.5f);
    static_assert(std::is_same_v<decltype(p.left), float>, "single precision, as the tool computes it");
}

TEST(Centring, NothingClampsAWindowToTheScreen) {
    EXPECT_FLOAT_EQ(centredPosition(15360, 4230, 11520, 11520).top, 0);
    const auto tooBig = centredPosition(15360, 16360, 11520, 12120);
    EXPECT_FLOAT_EQ(tooBig.left, -500);
    EXPECT_FLOAT_EQ(tooBig.top, -200);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(1.5), 2);
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(-0.5), 0);
    EXPECT_EQ(roundHalfEven(-1.5), -2);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(473.67), 474);
    EXPECT_EQ(roundHalfEven(2.4999), 2);
    EXPECT_EQ(roundHalfEven(-2.6), -3);
}

TEST(TopmostPixels, OnlyXIsRoundedTheRestTruncated) {
    const TwipsPerPixel at96{15, 15};
    const TopmostPixels p = topmostPixels(7105, 7105, 4230, 4080, at96);
    EXPECT_EQ(p.x, 474);  // 473.67 rounded
    EXPECT_EQ(p.y, 473);  // truncated
    EXPECT_EQ(p.cx, 282);
    EXPECT_EQ(p.cy, 272);
    // The size of a window placed in whole pixels comes back unchanged.
    EXPECT_EQ(topmostPixels(5565, 2480, 291 * 15, 279 * 15, at96), (TopmostPixels{371, 165, 291, 279}));
}

TEST(TopmostPixels, HalvesInXAndInTheOperandsOfTheDivisions) {
    const TwipsPerPixel at96{15, 15};
    EXPECT_EQ(topmostPixels(97.5, 0, 0, 0, at96).x, 6);   // 6.5 to even
    EXPECT_EQ(topmostPixels(112.5, 0, 0, 0, at96).x, 8);  // 7.5 to even
    // The operand is rounded first: 29.5 twips -> 30 -> 2 pixels; 28.5 -> 28 -> 1 pixel.
    EXPECT_EQ(topmostPixels(0, 29.5, 0, 0, at96).y, 2);
    EXPECT_EQ(topmostPixels(0, 28.5, 0, 0, at96).y, 1);
    // Negative tops truncate toward zero, not downward.
    EXPECT_EQ(topmostPixels(0, -100, 0, 0, at96).y, -6);
    EXPECT_EQ(topmostPixels(-100, 0, 0, 0, at96).x, -7);
}

TEST(TopmostPixels, FractionalFactorDividesXByItselfTheRestByItsRounding) {
    const TwipsPerPixel at192{7.5, 7.5};
    const TopmostPixels p = topmostPixels(7105, 7105, 4230, 4080, at192);
    EXPECT_EQ(p.x, 947);  // 7105 / 7.5 = 947.33
    EXPECT_EQ(p.y, 888);  // 7105 \ 8
    EXPECT_EQ(p.cx, 528);
    EXPECT_EQ(p.cy, 510);
    const TopmostPixels at120 = topmostPixels(7105, 7105, 4230, 4080, TwipsPerPixel{12, 12});
    EXPECT_EQ(at120, (TopmostPixels{592, 592, 352, 340}));
}

TEST(HelpToggle, AlternatesTallAndShortStartingTall) {
    HelpToggle help;
    EXPECT_EQ(help.press(), 6700);
    EXPECT_EQ(help.press(), 4080);
    EXPECT_EQ(help.press(), 6700);
    EXPECT_EQ(help.press(), 4080);
    EXPECT_EQ(help.count(), 4);
}

TEST(HelpToggle, KeepsAlternatingPastTheCounterLimit) {
    HelpToggle help;
    help.setCount(std::numeric_limits<std::int16_t>::max() - 1);
    EXPECT_EQ(help.press(), 6700);  // 32767
    EXPECT_EQ(help.press(), 4080);  // wraps to -32768
    EXPECT_EQ(help.count(), std::numeric_limits<std::int16_t>::min());
    EXPECT_EQ(help.press(), 6700);
    EXPECT_EQ(help.press(), 4080);
}
