// The stand-in's DXF reading and answer script: what the end-to-end tests rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <tuple>

#include "rules/dxf.h"
#include "rules/entities.h"
#include "rules/script.h"
#include "rules/text.h"

namespace {

using namespace standin;

// "ax,ay>bx,by" per segment, then "|vertices N", or "error: ..." for a refused file.
std::string drawn(const DxfResult& r) {
    if (!r.error.empty()) return "error: " + r.error;
    std::ostringstream s;
    const Geometry g = drawingOf(r.entities);
    for (const auto& d : g.segments) s << d.a.x << ',' << d.a.y << '>' << d.b.x << ',' << d.b.y << ' ';
    s << "|vertices " << g.vertices.size() << " entities " << r.entities.size();
    return s.str();
}

// Each entity as the model keeps it: "2A lw closed (0,0,0 b0.5) (10,0,0) n0,0,1; ".
std::string model(const DxfResult& r) {
    std::ostringstream s;
    const auto xyz = [](std::ostream& o, const Vec3& v) -> std::ostream& { return o << v.x << ',' << v.y << ',' << v.z; };
    for (const Entity& e : r.entities) {
        s << std::hex << std::uppercase << e.handle << std::dec << ' ';
        if (const auto* p = std::get_if<Polyline>(&e.shape)) {
            s << (p->kind == PolylineKind::Lightweight ? "lw" : p->kind == PolylineKind::TwoD ? "2d" : "3d")
              << (p->closed ? " closed" : "") << (p->fitted ? " fitted" : "");
            for (size_t i = 0; i < p->vertices.size(); ++i) {
                xyz(s << " (", p->vertices[i]);
                if (p->bulges[i] != 0) s << " b" << p->bulges[i];
                s << ')';
            }
            xyz(s << " n", p->normal);
        } else if (const auto* c = std::get_if<Circle>(&e.shape)) {
            xyz(xyz(s << "circle (", c->centre) << ") r" << c->radius << " n", c->normal);
        } else {
            xyz(xyz(s << "line (", std::get<Line>(e.shape).start) << ")>(", std::get<Line>(e.shape).end) << ')';
        }
        s << "; ";
    }
    return s.str();
}

std::string points(const std::vector<Vec2>& v) {
    std::ostringstream s;
    // Rounded to 1e-9: arcs and normals come out of trigonometry.
    const auto r = [](double d) { return std::round(d * 1e9) / 1e9 + 0.0; };
    for (const Vec2& p : v) s << r(p.x) << ',' << r(p.y) << ' ';
    return s.str();
}

std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

TEST(StandinDxf, Table) {
    const std::string line = "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  8\n0\n 10\n100.0\n 20\n50.0\n 30\n0.0\n"
                             " 11\n400.0\n 21\n50.0\n 31\n0.0\n  0\nENDSEC\n  0\nEOF\n";
    const std::pair<std::string, std::string> rows[] = {
        {line, "100,50>400,50 |vertices 2 entities 1"},
        {crlf(line), "100,50>400,50 |vertices 2 entities 1"},
        {"0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n1\n20\n2\n11\n3\n21\n4\n", "1,2>3,4 |vertices 2 entities 1"},
        {"0\nLWPOLYLINE\n90\n4\n70\n1\n10\n0\n20\n0\n10\n10\n20\n0\n10\n10\n20\n5\n10\n0\n20\n5\n",
         "0,0>10,0 10,0>10,5 10,5>0,5 0,5>0,0 |vertices 4 entities 1"},
        {"0\nLWPOLYLINE\n70\n0\n10\n0\n20\n0\n10\n10\n20\n0\n10\n10\n20\n5\n",
         "0,0>10,0 10,0>10,5 |vertices 3 entities 1"},
        // Open POLYLINE, then a LINE after its SEQEND.
        {"0\nPOLYLINE\n66\n1\n70\n0\n0\nVERTEX\n10\n0\n20\n0\n0\nVERTEX\n10\n5\n20\n0\n0\nVERTEX\n10\n5\n20\n7\n"
         "0\nSEQEND\n0\nLINE\n10\n-1\n20\n-1\n11\n-2\n21\n-2\n",
         "0,0>5,0 5,0>5,7 -1,-1>-2,-2 |vertices 5 entities 2"},
        // Closed POLYLINE; a spline frame vertex (flag 16) is not on the line.
        {"0\nPOLYLINE\n70\n1\n0\nVERTEX\n10\n0\n20\n0\n0\nVERTEX\n10\n4\n20\n0\n0\nVERTEX\n70\n16\n10\n9\n20\n9\n"
         "0\nVERTEX\n10\n4\n20\n3\n0\nSEQEND\n",
         "0,0>4,0 4,0>4,3 4,3>0,0 |vertices 3 entities 1"},
        // Only ENTITIES is drawn, and only lines, polylines and circles in it.
        {"0\nSECTION\n2\nBLOCKS\n0\nLINE\n10\n9\n20\n9\n11\n99\n21\n99\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
         "0\nARC\n10\n0\n20\n0\n40\n5\n0\nTEXT\n1\nLINE\n0\nLINE\n10\n1\n20\n1\n11\n2\n21\n2\n0\nENDSEC\n0\nEOF\n",
         "1,1>2,2 |vertices 2 entities 1"},
        // A value that is not a whole number is not read.
        {"0\nLINE\n10\n1.5abc\n20\n2\n11\n3\n21\n4\n", "0,2>3,4 |vertices 2 entities 1"},
        {"0\nSECTION\nABC\nENTITIES\n", "error: line 3: group code expected, found \"ABC\""},
        {"0\nSECTION\n2\nENTITIES\n0\nLINE\n10", "error: line 7: group code 10 has no value"},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(drawn(readDxf(text)), expected) << text;
}

// The entities as the CAD keeps them: coordinates as stored, bulges, flags, normals, handles.
TEST(StandinDxf, Entities) {
    const std::pair<std::string, std::string> rows[] = {
        // Bulges belong to the vertex before them; the handle is the file's.
        {"0\nLWPOLYLINE\n5\n1f\n90\n3\n70\n1\n38\n7\n10\n0\n20\n0\n42\n1\n10\n10\n20\n0\n10\n10\n20\n5\n42\n-0.5\n"
         "210\n0\n220\n0\n230\n-1\n",
         "1F lw closed (0,0,0 b1) (10,0,0) (10,5,0 b-0.5) n0,0,-1; "},
        // 2D: VERTEX bulges, every vertex at the elevation (30 of the POLYLINE); a spline frame
        // point (16) left out; curve-fit (2) and spline-fit (4) are fitted.
        {"0\nPOLYLINE\n70\n1\n30\n4\n0\nVERTEX\n10\n0\n20\n0\n30\n9\n42\n0.25\n0\nVERTEX\n10\n4\n20\n0\n"
         "0\nVERTEX\n70\n16\n10\n7\n20\n7\n0\nSEQEND\n"
         "0\nPOLYLINE\n70\n2\n0\nVERTEX\n10\n1\n20\n1\n0\nSEQEND\n0\nPOLYLINE\n70\n4\n0\nVERTEX\n10\n2\n20\n2\n0\nSEQEND\n",
         "2A 2d closed (0,0,4 b0.25) (4,0,4) n0,0,1; 2B 2d fitted (1,1,0) n0,0,1; 2C 2d fitted (2,2,0) n0,0,1; "},
        // 3D (8) in world coordinates, bulges ignored; a polyface mesh (64) is skipped.
        {"0\nPOLYLINE\n70\n9\n0\nVERTEX\n10\n1\n20\n2\n30\n3\n42\n1\n0\nVERTEX\n10\n4\n20\n5\n30\n6\n0\nSEQEND\n"
         "0\nPOLYLINE\n70\n64\n0\nVERTEX\n10\n1\n20\n1\n0\nVERTEX\n70\n128\n71\n1\n0\nSEQEND\n",
         "2A 3d closed (1,2,3) (4,5,6) n0,0,1; "},
        // Circle centre in its OCS, the normal kept as a unit vector; line in the world; handles
        // given after the highest held.
        {"0\nCIRCLE\n10\n100\n20\n50\n30\n2\n40\n25\n210\n0\n220\n0\n230\n-2\n0\nLINE\n5\n40\n10\n1\n20\n2\n30\n3\n"
         "11\n4\n21\n5\n31\n6\n0\nLINE\n5\nzz\n",
         "41 circle (100,50,2) r25 n0,0,-1; 40 line (1,2,3)>(4,5,6); 42 line (0,0,0)>(0,0,0); "},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(model(readDxf(text)), expected) << text;
}

// A mirrored polyline's vertices in the world, and a circle's snap points: quadrants and centre.
TEST(StandinEntities, WorldAndSnapPoints) {
    Polyline mirrored;
    mirrored.vertices = {{100, 0, 0}, {200, 50, 0}};
    mirrored.bulges = {0, 0};
    mirrored.normal = {0, 0, -1};
    EXPECT_EQ(points(snapPoints({1, mirrored})), "-100,0 -200,50 ");
    EXPECT_EQ(points(snapPoints({1, Circle{{100, 50, 0}, 25, {0, 0, 1}}})), "125,50 100,75 75,50 100,25 100,50 ");
}

// The entity a click selects: the nearest drawn curve crossing the square pick box.
TEST(StandinEntities, Pick) {
    Polyline arc;  // (0,0) to (10,0), half circle below the chord through (5,-5)
    arc.vertices = {{0, 0, 0}, {10, 0, 0}};
    arc.bulges = {1, 0};
    const std::vector<Entity> drawing = {
        {0xA, arc}, {0xB, Line{{0, -6, 0}, {10, -6, 0}}}, {0xC, Line{{20, 0, 0}, {30, 10, 0}}},
        {0xD, Circle{{50, 0, 0}, 5, {0, 0, 1}}}};
    const std::tuple<Vec2, double, const char*> rows[] = {
        {{5, -5.4}, 1, "A"},       // the arc's apex is nearer than the line
        {{5, -5.6}, 1, "B"},       // the line is nearer
        {{5, 0}, 1, "miss"},       // on the chord: the arc is 5 away
        {{5, 3}, 1, "miss"},
        {{19.1, -0.9}, 1, "C"},    // the line's end in the box's corner, 1.27 away
        {{19.1, -0.9}, 0.8, "miss"},
        {{50, 0}, 1, "miss"},      // a circle's centre is no part of its curve
        {{53.6, 3.6}, 1, "D"},
    };
    for (const auto& [at, halfBox, expected] : rows) {
        const auto picked = pickEntity(drawing, at, halfBox);
        std::ostringstream s;
        if (picked) s << std::hex << std::uppercase << drawing[*picked].handle;
        else s << "miss";
        EXPECT_EQ(s.str(), expected) << at.x << ',' << at.y;
    }
}

TEST(StandinAnswerScript, Table) {
    const auto render = [](const AnswerScript& s) {
        std::ostringstream o;
        const char* kinds[] = {"point", "enter", "esc", "user", "keyword", "switch", "entity"};
        for (const auto& a : s.answers) {
            o << kinds[static_cast<int>(a.kind)];
            if (a.kind == AnswerKind::Point || a.kind == AnswerKind::Entity) o << ' ' << a.x << ' ' << a.y << ' ' << a.z;
            if (a.kind == AnswerKind::Keyword) o << ' ' << a.word;
            if (a.kind == AnswerKind::Switch) o << ' ' << a.drawing;
            o << " +" << a.delayMs << "; ";
        }
        for (const auto& e : s.errors) o << e << "; ";
        return o.str();
    };
    const std::pair<const char*, const char*> rows[] = {
        {"# origin first\r\npoint 100 50\r\npoint -17.25 262.4 3 delay=250\r\n\r\nENTER\r\nrightclick\r\n"
         "esc delay=10\r\nuser\r\n",
         "point 100 50 0 +0; point -17.25 262.4 3 +250; enter +0; enter +0; esc +10; user +0; "},
        {"point 1\npoint a b\nesc now\njump\npoint 1 2 delay=-5\npoint 1.5x 2\npoint 1 2\n",
         "point 1 2 0 +0; line 1: point needs X Y [Z]; line 2: point needs numbers; "
         "line 3: unexpected words after esc; line 4: unknown answer \"jump\"; line 5: bad delay; "
         "line 6: point needs numbers; "},
        {"keyword U delay=5\nKEYWORD Back\nswitch 2\nkeyword\nkeyword U V\nswitch 0\nswitch two\nswitch 1 delay=9\n",
         "keyword U +5; keyword Back +0; switch 2 +0; line 4: keyword needs one word; "
         "line 5: keyword needs one word; line 6: switch needs a drawing number from 1, and no delay; "
         "line 7: switch needs a drawing number from 1, and no delay; "
         "line 8: switch needs a drawing number from 1, and no delay; "},
        {"entity 4000 1550 delay=20\nentity 1 2 3\nentity x 2\n",
         "entity 4000 1550 0 +20; line 2: entity needs X Y; line 3: entity needs numbers; "},
    };
    for (const auto& [text, expected] : rows) EXPECT_EQ(render(parseAnswerScript(text)), expected) << text;
}

// Enter after typing at a prompt: the keyword as declared, "" for nothing typed, or refused.
TEST(StandinKeywords, Table) {
    const std::tuple<const wchar_t*, const wchar_t*, const char*> rows[] = {
        {L"U", L"u", "U"}, {L"U", L"U", "U"}, {L"U", L"", ""}, {L"U", L"x", "refused"}, {L"U", L"UU", "refused"},
        {L"", L"U", "refused"}, {L"", L"", ""}, {L"  Undo\tredo  ", L"REDO", "redo"}, {L"Undo redo", L"re", "refused"},
        {L"U P", L"p", "P"}, {L"U P", L"U P", "refused"}};
    for (const auto& [list, typed, expected] : rows) {
        const auto input = keywordInput(parseKeywords(list), typed);
        EXPECT_EQ(input ? toUtf8(*input) : "refused", expected) << toUtf8(list) << " / " << toUtf8(typed);
    }
}

// The number Esc answers with: the CAD's own unless the configuration names another.
TEST(StandinConfig, EscNumber) {
    EXPECT_EQ(parseConfig("").escScode, 0x80020009u);
    EXPECT_EQ(parseConfig("esc_scode = 80004005").escScode, 0x80004005u);
    const Config bad = parseConfig("ESC_SCODE = 8000z\n");
    EXPECT_EQ(bad.escScode, 0x80020009u);
    EXPECT_EQ(bad.errors, std::vector<std::string>{"line 1: hexadecimal number expected for esc_scode"});
}

// Only these become registry keys: nothing empty, nested (\\), over 39 characters or odd.
TEST(StandinProgId, Table) {
    const std::pair<const wchar_t*, bool> rows[] = {
        {L"AutoCAD.Application", true}, {L"Compatible.Cad_2.App", true}, {L"x", true}, {L"", false}, {L"2Cad", false},
        {L".Cad", false}, {L"Cad\\CLSID", false}, {L"Cad App", false}, {L"Cad-App", false},
        {L"A23456789012345678901234567890123456789", true}, {L"A234567890123456789012345678901234567890", false}};
    for (const auto& [name, expected] : rows) EXPECT_EQ(isProgId(name), expected) << toUtf8(name);
}

}  // namespace
