// The stand-in's view: zoom to fit, pixel <-> drawing, endpoint snap, point styles.
#include <gtest/gtest.h>

#include "rules/geometry.h"
#include "rules/view.h"

namespace {

using namespace standin;

Bounds box(double x0, double y0, double x1, double y1) {
    Bounds b;
    b.add({x0, y0});
    b.add({x1, y1});
    return b;
}

TEST(StandinView, FitUsesTheTighterAxisAndCentres) {
    // 12000 x 2000 into 1000 x 700 with a 50 px margin: width limits (900 / 12000).
    const auto view = ViewTransform::fit(box(0, 0, 12000, 2000), {0, 0, 1000, 700}, 50);
    EXPECT_DOUBLE_EQ(view.pixelsPerUnit(), 900.0 / 12000.0);
    const Vec2 left = view.toPixel({0, 1000});
    const Vec2 right = view.toPixel({12000, 1000});
    EXPECT_DOUBLE_EQ(left.x, 50);
    EXPECT_DOUBLE_EQ(right.x, 950);
    EXPECT_DOUBLE_EQ(left.y, 350);  // vertical centre of the canvas
}

TEST(StandinView, TallDrawingLimitedByHeight) {
    const auto view = ViewTransform::fit(box(0, 0, 10, 100), {0, 0, 1000, 700}, 50);
    EXPECT_DOUBLE_EQ(view.pixelsPerUnit(), 6.0);
}

TEST(StandinView, YPointsUpOnTheDrawing) {
    const auto view = ViewTransform::fit(box(0, 0, 100, 100), {0, 0, 200, 200}, 0);
    EXPECT_LT(view.toPixel({50, 100}).y, view.toPixel({50, 0}).y);
    EXPECT_DOUBLE_EQ(view.toPixel({0, 100}).y, 0);
    EXPECT_DOUBLE_EQ(view.toPixel({0, 0}).y, 200);
}

TEST(StandinView, PixelAndDrawingRoundTrip) {
    const auto view = ViewTransform::fit(box(-300, 40, 12000, 2100), {10, 20, 990, 620}, 40);
    for (const Vec2 d : {Vec2{-300, 40}, Vec2{6000, 1000}, Vec2{12000, 2100}, Vec2{123.456, 789.012}}) {
        const Vec2 back = view.toDrawing(view.toPixel(d));
        EXPECT_NEAR(back.x, d.x, 1e-9);
        EXPECT_NEAR(back.y, d.y, 1e-9);
    }
}

TEST(StandinView, DegenerateBoundsStillGiveAUsableView) {
    const auto point = ViewTransform::fit(box(5, 5, 5, 5), {0, 0, 100, 100}, 10);
    EXPECT_DOUBLE_EQ(point.pixelsPerUnit(), 1);
    EXPECT_DOUBLE_EQ(point.toPixel({5, 5}).x, 50);
    const auto flat = ViewTransform::fit(box(0, 0, 100, 0), {0, 0, 120, 100}, 10);
    EXPECT_DOUBLE_EQ(flat.pixelsPerUnit(), 1);
    const auto empty = ViewTransform::fit(Bounds{}, {0, 0, 100, 100}, 10);
    EXPECT_DOUBLE_EQ(empty.toPixel({0, 0}).x, 50);
}

TEST(StandinSnap, NearestVertexWithinRadius) {
    const auto view = ViewTransform::fit(box(0, 0, 100, 100), {0, 0, 100, 100}, 0);  // 1 px per unit
    const std::vector<Vec2> vertices = {{10, 10}, {14, 10}, {90, 90}};
    // Pixel (13, 90) is drawing (13, 10): 1 px from (14, 10), 3 px from (10, 10).
    const auto hit = snapToVertex(vertices, view, {13, 90}, 5);
    ASSERT_TRUE(hit.has_value());
    EXPECT_DOUBLE_EQ(hit->x, 14);
    EXPECT_FALSE(snapToVertex(vertices, view, {50, 50}, 5).has_value());
    // Exactly on the radius still snaps; just beyond does not.
    EXPECT_TRUE(snapToVertex(vertices, view, {95, 10}, 5).has_value());
    EXPECT_FALSE(snapToVertex(vertices, view, {95.5, 10}, 5).has_value());
}

TEST(StandinSnap, RadiusIsInPixelsNotDrawingUnits) {
    const auto view = ViewTransform::fit(box(0, 0, 12000, 2000), {0, 0, 1200, 700}, 0);  // 0.1 px per mm
    const std::vector<Vec2> vertices = {{2200, 1550}};
    const Vec2 at = view.toPixel({2200, 1550});
    // 60 mm away is 6 px: inside an 8 px radius, outside a 5 px one.
    EXPECT_TRUE(snapToVertex(vertices, view, {at.x + 6, at.y}, 8).has_value());
    EXPECT_FALSE(snapToVertex(vertices, view, {at.x + 6, at.y}, 5).has_value());
}

TEST(StandinPointStyle, FiguresAndFrames) {
    EXPECT_EQ(pointStyle(0)->figure, PointFigure::Dot);
    EXPECT_EQ(pointStyle(1)->figure, PointFigure::None);
    EXPECT_EQ(pointStyle(2)->figure, PointFigure::Plus);
    EXPECT_EQ(pointStyle(3)->figure, PointFigure::Cross);
    EXPECT_EQ(pointStyle(4)->figure, PointFigure::Tick);
    const auto circled = pointStyle(35);
    ASSERT_TRUE(circled.has_value());
    EXPECT_EQ(circled->figure, PointFigure::Cross);
    EXPECT_TRUE(circled->circle);
    EXPECT_FALSE(circled->square);
    const auto both = pointStyle(98);
    ASSERT_TRUE(both.has_value());
    EXPECT_TRUE(both->circle && both->square);
    EXPECT_EQ(both->figure, PointFigure::Plus);
}

TEST(StandinPointStyle, RefusedValues) {
    EXPECT_FALSE(pointStyle(-1).has_value());
    EXPECT_FALSE(pointStyle(5).has_value());
    EXPECT_FALSE(pointStyle(128).has_value());
    EXPECT_FALSE(pointStyle(37).has_value());
}

TEST(StandinSection, BuiltInBoxGirderIsAClosedTwoCellSection) {
    const Geometry g = builtInSection();
    const Bounds b = g.bounds();
    EXPECT_DOUBLE_EQ(b.maxX - b.minX, 12000);
    EXPECT_DOUBLE_EQ(b.maxY - b.minY, 2000);
    // Outer contour 8 edges, two cells of 7 edges each, all closed.
    EXPECT_EQ(g.segments.size(), 22u);
    EXPECT_EQ(g.vertices.size(), 22u);
}

}  // namespace
