#include "rules/dxf.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "rules/text.h"

namespace standin {
namespace {

struct Pair {
    int code = 0;
    std::string_view value;
};

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// Splits the text into group-code/value pairs. Values are trimmed too: the entity names and
// numbers read here never carry meaningful blanks.
bool readPairs(std::string_view text, std::vector<Pair>& pairs, std::string& error) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    // A file may end with blank lines after the last value.
    while (!lines.empty() && trim(lines.back()).empty()) lines.pop_back();
    for (size_t i = 0; i < lines.size(); i += 2) {
        const std::string_view codeText = trim(lines[i]);
        int code = 0;
        const auto [ptr, ec] = std::from_chars(codeText.data(), codeText.data() + codeText.size(), code);
        if (codeText.empty() || ec != std::errc() || ptr != codeText.data() + codeText.size()) {
            error = "line " + std::to_string(i + 1) + ": group code expected, found \"" +
                    std::string(codeText.substr(0, 40)) + "\"";
            return false;
        }
        if (i + 1 >= lines.size()) {
            error = "line " + std::to_string(i + 1) + ": group code " + std::to_string(code) +
                    " has no value";
            return false;
        }
        pairs.push_back({code, trim(lines[i + 1])});
    }
    return true;
}



class Reader {
public:
    explicit Reader(const std::vector<Pair>& pairs) : pairs_(pairs) {}

    void run(DxfResult& out) {
        bool hasSections = false;
        for (const Pair& p : pairs_) {
            if (p.code == 0 && p.value == "SECTION") hasSections = true;
        }
        bool inEntities = !hasSections;
        while (i_ < pairs_.size()) {
            const Pair& p = pairs_[i_];
            if (p.code != 0) {
                // Section name, header variables and entity data we do not read.
                if (p.code == 2 && i_ > 0 && pairs_[i_ - 1].code == 0 &&
                    pairs_[i_ - 1].value == "SECTION") {
                    inEntities = p.value == "ENTITIES";
                }
                ++i_;
                continue;
            }
            if (p.value == "EOF") break;
            if (p.value == "ENDSEC") {
                inEntities = !hasSections;
                ++i_;
                continue;
            }
            if (!inEntities) {
                ++i_;
                continue;
            }
            if (p.value == "LINE") {
                readLine(out);
            } else if (p.value == "LWPOLYLINE") {
                readLwPolyline(out);
            } else if (p.value == "POLYLINE") {
                readPolyline(out);
            } else if (p.value == "CIRCLE") {
                readCircle(out);
            } else {
                ++i_;
            }
        }
    }

private:
    // Moves past the entity's own pairs (up to the next code 0) and returns them.
    std::vector<Pair> entityData() {
        std::vector<Pair> data;
        ++i_;
        while (i_ < pairs_.size() && pairs_[i_].code != 0) data.push_back(pairs_[i_++]);
        return data;
    }

    // The entity's handle and extrusion direction, the pairs every entity read here may hold.
    struct Common {
        std::uint64_t handle = 0;
        Vec3 normal{0, 0, 1};
        // The CAD keeps the direction as a unit vector; none at all means the world's z.
        Vec3 unitNormal() const {
            const double length = std::sqrt(normal.x * normal.x + normal.y * normal.y + normal.z * normal.z);
            return length > 0 ? Vec3{normal.x / length, normal.y / length, normal.z / length} : Vec3{0, 0, 1};
        }
        bool take(const Pair& p, double v) {
            if (p.code == 210) normal.x = v;
            else if (p.code == 220) normal.y = v;
            else if (p.code == 230) normal.z = v;
            else return false;
            return true;
        }
        void takeHandle(const Pair& p) {
            if (p.code != 5) return;
            std::uint64_t h = 0;
            const auto [ptr, ec] = std::from_chars(p.value.data(), p.value.data() + p.value.size(), h, 16);
            if (ec == std::errc() && ptr == p.value.data() + p.value.size()) handle = h;
        }
    };

    void readLine(DxfResult& out) {
        Line line;
        Common common;
        for (const Pair& p : entityData()) {
            common.takeHandle(p);
            const auto v = wholeNumber(p.value);
            if (!v) continue;
            if (p.code == 10) line.start.x = *v;
            if (p.code == 20) line.start.y = *v;
            if (p.code == 30) line.start.z = *v;
            if (p.code == 11) line.end.x = *v;
            if (p.code == 21) line.end.y = *v;
            if (p.code == 31) line.end.z = *v;
        }
        out.entities.push_back({common.handle, line});
    }

    void readCircle(DxfResult& out) {
        Circle circle;
        Common common;
        for (const Pair& p : entityData()) {
            common.takeHandle(p);
            const auto v = wholeNumber(p.value);
            if (!v || common.take(p, *v)) continue;
            if (p.code == 10) circle.centre.x = *v;
            if (p.code == 20) circle.centre.y = *v;
            if (p.code == 30) circle.centre.z = *v;
            if (p.code == 40) circle.radius = *v;
        }
        circle.normal = common.unitNormal();
        out.entities.push_back({common.handle, circle});
    }

    void readLwPolyline(DxfResult& out) {
        Polyline polyline;
        Common common;
        for (const Pair& p : entityData()) {
            common.takeHandle(p);
            const auto v = wholeNumber(p.value);
            if (!v || common.take(p, *v)) continue;
            if (p.code == 70) polyline.closed = (static_cast<long>(*v) & 1) != 0;
            if (p.code == 38) polyline.elevation = *v;
            // Each vertex starts with its 10; the 20 and 42 that follow belong to it.
            if (p.code == 10) {
                polyline.vertices.push_back({*v, 0, 0});
                polyline.bulges.push_back(0);
            }
            if (p.code == 20 && !polyline.vertices.empty()) polyline.vertices.back().y = *v;
            if (p.code == 42 && !polyline.bulges.empty()) polyline.bulges.back() = *v;
        }
        polyline.normal = common.unitNormal();
        if (!polyline.vertices.empty()) out.entities.push_back({common.handle, polyline});
    }

    void readPolyline(DxfResult& out) {
        Polyline polyline;
        Common common;
        long flags = 0;
        for (const Pair& p : entityData()) {
            common.takeHandle(p);
            const auto v = wholeNumber(p.value);
            if (!v || common.take(p, *v)) continue;
            if (p.code == 70) flags = static_cast<long>(*v);
            if (p.code == 30) polyline.elevation = *v;
        }
        polyline.kind = (flags & 8) ? PolylineKind::ThreeD : PolylineKind::TwoD;
        polyline.closed = (flags & 1) != 0;
        polyline.fitted = (flags & (2 | 4)) != 0;
        polyline.normal = common.unitNormal();
        while (i_ < pairs_.size() && pairs_[i_].value == "VERTEX") {
            Vec3 point;
            double bulge = 0;
            long vertexFlags = 0;
            for (const Pair& p : entityData()) {
                const auto v = wholeNumber(p.value);
                if (!v) continue;
                if (p.code == 10) point.x = *v;
                if (p.code == 20) point.y = *v;
                if (p.code == 30) point.z = *v;
                if (p.code == 42) bulge = *v;
                if (p.code == 70) vertexFlags = static_cast<long>(*v);
            }
            // Spline frame control points are not on the drawn line.
            if (vertexFlags & 16) continue;
            // A 2D polyline's vertices all lie at its elevation, as the CAD keeps them.
            if (polyline.kind == PolylineKind::TwoD) point.z = polyline.elevation;
            polyline.vertices.push_back(point);
            polyline.bulges.push_back(polyline.kind == PolylineKind::TwoD ? bulge : 0);
        }
        if (i_ < pairs_.size() && pairs_[i_].value == "SEQEND") entityData();
        // Polygon (16) and polyface (64) meshes are no polylines to pick.
        if ((flags & (16 | 64)) == 0 && !polyline.vertices.empty()) out.entities.push_back({common.handle, polyline});
    }

    const std::vector<Pair>& pairs_;
    size_t i_ = 0;
};

}  // namespace

DxfResult readDxf(std::string_view text) {
    DxfResult result;
    std::vector<Pair> pairs;
    if (!readPairs(text, pairs, result.error)) return result;
    Reader(pairs).run(result);
    assignHandles(result.entities);
    return result;
}

}  // namespace standin
