// DXF reading of the stand-in CAD: the quirks real files have.
#include <gtest/gtest.h>

#include <string>

#include "rules/dxf.h"

namespace {

using standin::readDxf;

std::string crlf(std::string text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

const char* kLineFile =
    "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  8\n0\n 10\n100.0\n 20\n50.0\n 30\n0.0\n 11\n400.0\n 21\n50.0\n 31\n0.0\n"
    "  0\nENDSEC\n  0\nEOF\n";

TEST(StandinDxf, LineWithBlankPaddedGroupCodes) {
    const auto result = readDxf(kLineFile);
    ASSERT_TRUE(result.error.empty()) << result.error;
    EXPECT_EQ(result.entitiesRead, 1);
    ASSERT_EQ(result.geometry.segments.size(), 1u);
    EXPECT_DOUBLE_EQ(result.geometry.segments[0].a.x, 100);
    EXPECT_DOUBLE_EQ(result.geometry.segments[0].b.x, 400);
    EXPECT_DOUBLE_EQ(result.geometry.segments[0].b.y, 50);
    EXPECT_EQ(result.geometry.vertices.size(), 2u);
}

TEST(StandinDxf, CrlfFileReadsLikeLf) {
    const auto lf = readDxf(kLineFile);
    const auto dos = readDxf(crlf(kLineFile));
    ASSERT_TRUE(dos.error.empty()) << dos.error;
    ASSERT_EQ(dos.geometry.segments.size(), 1u);
    EXPECT_DOUBLE_EQ(dos.geometry.segments[0].a.y, lf.geometry.segments[0].a.y);
}

TEST(StandinDxf, MissingEofAndEndsecStillRead) {
    const auto result = readDxf("0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n1\n20\n2\n11\n3\n21\n4\n");
    ASSERT_TRUE(result.error.empty()) << result.error;
    ASSERT_EQ(result.geometry.segments.size(), 1u);
    EXPECT_DOUBLE_EQ(result.geometry.segments[0].b.y, 4);
}

TEST(StandinDxf, ClosedLwPolylineIgnoresBulges) {
    // A 10 x 5 rectangle with one bulged edge: drawn as its four chords.
    const auto result = readDxf(
        "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n8\nDeck\n90\n4\n70\n1\n"
        "10\n0\n20\n0\n42\n0.5\n10\n10\n20\n0\n10\n10\n20\n5\n10\n0\n20\n5\n0\nENDSEC\n0\nEOF\n");
    ASSERT_TRUE(result.error.empty()) << result.error;
    ASSERT_EQ(result.geometry.segments.size(), 4u);
    EXPECT_EQ(result.geometry.vertices.size(), 4u);
    // The closing edge runs from the last vertex back to the first.
    EXPECT_DOUBLE_EQ(result.geometry.segments[3].a.y, 5);
    EXPECT_DOUBLE_EQ(result.geometry.segments[3].b.x, 0);
    EXPECT_DOUBLE_EQ(result.geometry.segments[3].b.y, 0);
}

TEST(StandinDxf, OpenPolylineWithVerticesAndSeqend) {
    const auto result = readDxf(
        "0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n8\n0\n66\n1\n70\n0\n"
        "0\nVERTEX\n8\n0\n10\n0\n20\n0\n0\nVERTEX\n8\n0\n10\n5\n20\n0\n"
        "0\nVERTEX\n8\n0\n10\n5\n20\n7\n0\nSEQEND\n8\n0\n"
        "0\nLINE\n10\n-1\n20\n-1\n11\n-2\n21\n-2\n0\nENDSEC\n0\nEOF\n");
    ASSERT_TRUE(result.error.empty()) << result.error;
    EXPECT_EQ(result.entitiesRead, 2);
    // Two polyline edges (open: no closing edge) and the line after SEQEND.
    ASSERT_EQ(result.geometry.segments.size(), 3u);
    EXPECT_DOUBLE_EQ(result.geometry.segments[1].b.y, 7);
    EXPECT_DOUBLE_EQ(result.geometry.segments[2].a.x, -1);
}

TEST(StandinDxf, BlocksAndOtherEntitiesAreNotDrawn) {
    const auto result = readDxf(
        "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n0\nENDSEC\n"
        "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n0\nLINE\n10\n9\n20\n9\n11\n99\n21\n99\n0\nENDBLK\n0\nENDSEC\n"
        "0\nSECTION\n2\nENTITIES\n0\nCIRCLE\n10\n0\n20\n0\n40\n5\n0\nTEXT\n1\nLINE\n10\n0\n20\n0\n"
        "0\nLINE\n10\n1\n20\n1\n11\n2\n21\n2\n0\nENDSEC\n0\nEOF\n");
    ASSERT_TRUE(result.error.empty()) << result.error;
    ASSERT_EQ(result.geometry.segments.size(), 1u);
    EXPECT_DOUBLE_EQ(result.geometry.segments[0].a.x, 1);
}

TEST(StandinDxf, BrokenFilesReportTheLine) {
    const auto notCode = readDxf("0\nSECTION\nABC\nENTITIES\n");
    EXPECT_NE(notCode.error.find("line 3"), std::string::npos) << notCode.error;
    const auto noValue = readDxf("0\nSECTION\n2\nENTITIES\n0\nLINE\n10");
    EXPECT_NE(noValue.error.find("no value"), std::string::npos) << noValue.error;
}

TEST(StandinDxf, SharedEndpointsSnapOnce) {
    const auto result = readDxf("0\nLINE\n10\n0\n20\n0\n11\n1\n21\n0\n0\nLINE\n10\n1\n20\n0\n11\n1\n21\n1\n");
    ASSERT_TRUE(result.error.empty()) << result.error;
    EXPECT_EQ(result.geometry.segments.size(), 2u);
    EXPECT_EQ(result.geometry.vertices.size(), 3u);
}

}  // namespace
