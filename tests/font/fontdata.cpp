#include "tests/font/fontdata.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace testfont {

namespace {

void put16(std::vector<std::uint8_t>& v, int x) {
    v.push_back(std::uint8_t(unsigned(x) >> 8));
    v.push_back(std::uint8_t(x));
}
void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    put16(v, int(x >> 16));
    put16(v, int(x & 0xFFFF));
}
void set32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + std::size_t(i)] = std::uint8_t(x >> (24 - 8 * i));
}
std::uint32_t get32(const std::vector<std::uint8_t>& v, std::size_t at) {
    return std::uint32_t(v[at]) << 24 | std::uint32_t(v[at + 1]) << 16 |
           std::uint32_t(v[at + 2]) << 8 | v[at + 3];
}
int f2dot14(float f) {
    return int(f * 16384.0f + (f < 0 ? -0.5f : 0.5f));
}

} // namespace

std::vector<std::uint8_t> readDejaVuSans() {
    const char* path = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    std::FILE* f = std::fopen(path, "rb");
    if (!f) throw std::runtime_error(std::string("missing ") + path + " (fonts-dejavu-core)");
    std::vector<std::uint8_t> data;
    std::uint8_t buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        data.insert(data.end(), buffer, buffer + n);
    std::fclose(f);
    return data;
}

FontBuilder::FontBuilder() {
    addEmpty(500);
}

int FontBuilder::addRaw(std::vector<std::uint8_t> glyf, int advance) {
    glyphs_.push_back(std::move(glyf));
    advances_.push_back(advance);
    return int(glyphs_.size()) - 1;
}

int FontBuilder::addSimple(const std::vector<std::vector<Point>>& contours, int advance) {
    std::vector<std::uint8_t> g;
    int xMin = 32767, yMin = 32767, xMax = -32768, yMax = -32768;
    for (const auto& c : contours)
        for (const Point& p : c) {
            xMin = std::min(xMin, p.x);
            yMin = std::min(yMin, p.y);
            xMax = std::max(xMax, p.x);
            yMax = std::max(yMax, p.y);
        }
    put16(g, int(contours.size()));
    put16(g, xMin);
    put16(g, yMin);
    put16(g, xMax);
    put16(g, yMax);
    int end = -1;
    for (const auto& c : contours) put16(g, end += int(c.size()));
    put16(g, 0); // no instructions
    for (const auto& c : contours)
        for (const Point& p : c) g.push_back(p.on ? 1 : 0); // x and y as 16-bit deltas
    for (int axis = 0; axis < 2; ++axis) {
        int last = 0;
        for (const auto& c : contours)
            for (const Point& p : c) {
                int v = axis == 0 ? p.x : p.y;
                put16(g, v - last);
                last = v;
            }
    }
    return addRaw(std::move(g), advance);
}

int FontBuilder::addComposite(const std::vector<Component>& components, int advance) {
    std::vector<std::uint8_t> g;
    put16(g, -1);
    // The header box is what layout uses; a generous one keeps tests simple.
    put16(g, -1000);
    put16(g, -1000);
    put16(g, 2000);
    put16(g, 2000);
    for (std::size_t i = 0; i < components.size(); ++i) {
        const Component& c = components[i];
        unsigned flags = 0x0001; // 16-bit arguments
        if (!c.matchPoints) flags |= 0x0002;
        bool identity = c.xx == 1 && c.xy == 0 && c.yx == 0 && c.yy == 1;
        if (!identity) flags |= 0x0080;
        if (c.scaledOffset) flags |= 0x0800;
        if (i + 1 < components.size()) flags |= 0x0020;
        put16(g, int(flags));
        put16(g, c.glyph);
        put16(g, c.dx);
        put16(g, c.dy);
        if (!identity) {
            put16(g, f2dot14(c.xx));
            put16(g, f2dot14(c.xy));
            put16(g, f2dot14(c.yx));
            put16(g, f2dot14(c.yy));
        }
    }
    return addRaw(std::move(g), advance);
}

std::vector<std::uint8_t> FontBuilder::build(int ascent, int descent, bool longLoca) const {
    std::map<std::string, std::vector<std::uint8_t>> tables;
    const int numGlyphs = int(glyphs_.size());

    std::vector<std::uint8_t>& head = tables["head"];
    head.assign(54, 0);
    head[0] = 0;
    head[1] = 1;
    head[18] = 1000 >> 8;
    head[19] = 1000 & 0xFF;
    head[51] = longLoca ? 1 : 0;

    std::vector<std::uint8_t>& hhea = tables["hhea"];
    put32(hhea, 0x00010000);
    put16(hhea, ascent);
    put16(hhea, descent);
    put16(hhea, 90);
    hhea.resize(34, 0);
    put16(hhea, numGlyphs);

    std::vector<std::uint8_t>& maxp = tables["maxp"];
    put32(maxp, 0x00005000);
    put16(maxp, numGlyphs);

    std::vector<std::uint8_t>& hmtx = tables["hmtx"];
    for (int a : advances_) {
        put16(hmtx, a);
        put16(hmtx, 0);
    }

    std::vector<std::uint8_t>& glyf = tables["glyf"];
    std::vector<std::uint8_t>& loca = tables["loca"];
    for (const auto& g : glyphs_) {
        if (longLoca)
            put32(loca, std::uint32_t(glyf.size()));
        else
            put16(loca, int(glyf.size() / 2));
        glyf.insert(glyf.end(), g.begin(), g.end());
        if (glyf.size() % 2) glyf.push_back(0);
    }
    if (longLoca)
        put32(loca, std::uint32_t(glyf.size()));
    else
        put16(loca, int(glyf.size() / 2));

    // Format 4 with one segment per code point plus the closing 0xFFFF segment.
    std::vector<std::uint8_t> sub;
    std::vector<std::pair<std::uint32_t, int>> entries;
    for (const auto& [cp, g] : cmap_)
        if (cp < 0xFFFF) entries.push_back({cp, g});
    const int segCount = int(entries.size()) + 1;
    put16(sub, 4);
    put16(sub, 0); // length, patched below
    put16(sub, 0);
    put16(sub, segCount * 2);
    put16(sub, 0);
    put16(sub, 0);
    put16(sub, 0);
    for (const auto& e : entries) put16(sub, int(e.first));
    put16(sub, 0xFFFF);
    put16(sub, 0);
    for (const auto& e : entries) put16(sub, int(e.first));
    put16(sub, 0xFFFF);
    for (const auto& e : entries) put16(sub, (e.second - int(e.first)) & 0xFFFF);
    put16(sub, 1);
    for (int i = 0; i < segCount; ++i) put16(sub, 0);
    sub[2] = std::uint8_t(sub.size() >> 8);
    sub[3] = std::uint8_t(sub.size());
    std::vector<std::uint8_t>& cmap = tables["cmap"];
    put16(cmap, 0);
    put16(cmap, 1);
    put16(cmap, 3);
    put16(cmap, 1);
    put32(cmap, 12);
    cmap.insert(cmap.end(), sub.begin(), sub.end());

    if (!kern_.empty()) {
        std::vector<std::uint8_t>& kern = tables["kern"];
        put16(kern, 0);
        put16(kern, 1);
        put16(kern, 0);
        put16(kern, 14 + 6 * int(kern_.size()));
        put16(kern, 1);
        put16(kern, int(kern_.size()));
        put16(kern, 0);
        put16(kern, 0);
        put16(kern, 0);
        for (const auto& [pair, value] : kern_) {
            put16(kern, pair.first);
            put16(kern, pair.second);
            put16(kern, value);
        }
    }

    std::vector<std::uint8_t> out;
    put32(out, 0x00010000);
    put16(out, int(tables.size()));
    put16(out, 0);
    put16(out, 0);
    put16(out, 0);
    std::size_t offset = 12 + 16 * tables.size();
    for (const auto& [tag, data] : tables) {
        for (char ch : tag) out.push_back(std::uint8_t(ch));
        put32(out, 0);
        put32(out, std::uint32_t(offset));
        put32(out, std::uint32_t(data.size()));
        offset += (data.size() + 3) & ~std::size_t(3);
    }
    for (const auto& entry : tables) {
        out.insert(out.end(), entry.second.begin(), entry.second.end());
        while (out.size() % 4) out.push_back(0);
    }
    return out;
}

std::vector<std::uint8_t> asCollection(const std::vector<std::uint8_t>& font) {
    std::vector<std::uint8_t> out;
    for (char ch : std::string("ttcf")) out.push_back(std::uint8_t(ch));
    put32(out, 0x00010000);
    put32(out, 1);
    put32(out, 16);
    const std::size_t base = out.size();
    out.insert(out.end(), font.begin(), font.end());
    // Table offsets in a collection count from the start of the file.
    const std::size_t tableCount = std::size_t(font[4]) << 8 | font[5];
    for (std::size_t i = 0; i < tableCount; ++i) {
        const std::size_t at = base + 12 + 16 * i + 8;
        set32(out, at, get32(out, at) + std::uint32_t(base));
    }
    return out;
}

} // namespace testfont
