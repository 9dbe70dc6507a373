#include <gtest/gtest.h>

#include "app/twips.h"

using app::PixelRect;
using app::toPixels;
using app::twipsPerPixelForDpi;
using app::twipsToPixels;

TEST(Twips, FactorsFollowTheLogicalDpi) {
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(96, 96).x, 15.0);
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(120, 120).y, 12.0);
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(192, 144).x, 7.5);
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(192, 144).y, 10.0);
    // A device context that reports nothing must not divide by zero.
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(0, -1).x, 15.0);
    EXPECT_DOUBLE_EQ(twipsPerPixelForDpi(0, -1).y, 15.0);
}

TEST(Twips, SmallNegativeOffsetsStayOffScreenAtCommonFactors) {
    // A window revealed 10 twips beyond an edge must lie at -1 pixel, not 0.
    for (double factor : {15.0, 12.0, 10.0, 7.5}) {
        EXPECT_EQ(twipsToPixels(-10, factor), -1) << factor;
        EXPECT_EQ(twipsToPixels(10, factor), 1) << factor;
    }
    EXPECT_EQ(twipsToPixels(40, 15), 3);   // the visible strip: 2.67 pixels
    EXPECT_EQ(twipsToPixels(-7.5, 15), -1);  // halves go away from zero
    EXPECT_EQ(twipsToPixels(7.5, 15), 1);
    EXPECT_EQ(twipsToPixels(0, 15), 0);
}

TEST(Twips, MainWindowLayoutAtTwoDpis) {
    const app::TwipsRect outputBox{1920, 240, 2055, 3015};
    EXPECT_EQ(toPixels(outputBox, twipsPerPixelForDpi(96, 96)), (PixelRect{128, 16, 137, 201}));
    // 2055 / 12 = 171.25 and 3015 / 12 = 251.25 round to the nearest pixel.
    EXPECT_EQ(toPixels(outputBox, twipsPerPixelForDpi(120, 120)), (PixelRect{160, 20, 171, 251}));
    const app::TwipsRect label{240, 285, 720, 180};
    EXPECT_EQ(toPixels(label, twipsPerPixelForDpi(120, 120)), (PixelRect{20, 24, 60, 15}));
}
