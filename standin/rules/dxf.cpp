#include "rules/dxf.h"

#include <charconv>
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

    void readLine(DxfResult& out) {
        Vec2 a, b;
        for (const Pair& p : entityData()) {
            const auto v = wholeNumber(p.value);
            if (!v) continue;
            if (p.code == 10) a.x = *v;
            if (p.code == 20) a.y = *v;
            if (p.code == 11) b.x = *v;
            if (p.code == 21) b.y = *v;
        }
        out.geometry.addSegment(a, b);
        ++out.entitiesRead;
    }

    void readLwPolyline(DxfResult& out) {
        std::vector<Vec2> points;
        bool closed = false;
        for (const Pair& p : entityData()) {
            const auto v = wholeNumber(p.value);
            if (!v) continue;
            if (p.code == 70) closed = (static_cast<long>(*v) & 1) != 0;
            // Each vertex starts with its 10; the 20 that follows belongs to it.
            if (p.code == 10) points.push_back({*v, 0});
            if (p.code == 20 && !points.empty()) points.back().y = *v;
            // 42 (bulge) is ignored: the arc is drawn as its chord.
        }
        out.geometry.addPolyline(points, closed);
        ++out.entitiesRead;
    }

    void readPolyline(DxfResult& out) {
        bool closed = false;
        for (const Pair& p : entityData()) {
            const auto v = wholeNumber(p.value);
            if (p.code == 70 && v) closed = (static_cast<long>(*v) & 1) != 0;
        }
        std::vector<Vec2> points;
        while (i_ < pairs_.size() && pairs_[i_].value == "VERTEX") {
            Vec2 point;
            long flags = 0;
            for (const Pair& p : entityData()) {
                const auto v = wholeNumber(p.value);
                if (!v) continue;
                if (p.code == 10) point.x = *v;
                if (p.code == 20) point.y = *v;
                if (p.code == 70) flags = static_cast<long>(*v);
            }
            // Spline frame control points are not on the drawn line.
            if ((flags & 16) == 0) points.push_back(point);
        }
        if (i_ < pairs_.size() && pairs_[i_].value == "SEQEND") entityData();
        out.geometry.addPolyline(points, closed);
        ++out.entitiesRead;
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
    return result;
}

}  // namespace standin
