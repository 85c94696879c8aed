#include "corvid/graphics/text/truetype.h"

#include <algorithm>
#include <cstring>

namespace corvid {

namespace {

std::uint16_t u16(const std::uint8_t* p) {
    return std::uint16_t(p[0] << 8 | p[1]);
}
std::int16_t i16(const std::uint8_t* p) {
    return std::int16_t(u16(p));
}
std::uint32_t u32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
           std::uint32_t(p[3]);
}
float f2dot14(const std::uint8_t* p) {
    return float(i16(p)) * (1.0f / 16384.0f);
}

constexpr std::uint32_t tag(const char* t) {
    return std::uint32_t(std::uint8_t(t[0])) << 24 | std::uint32_t(std::uint8_t(t[1])) << 16 |
           std::uint32_t(std::uint8_t(t[2])) << 8 | std::uint32_t(std::uint8_t(t[3]));
}

// True when [offset, offset + length) lies inside a block of the given size, without
// overflowing on hostile offsets.
bool fits(std::size_t size, std::size_t offset, std::size_t length) {
    return offset <= size && length <= size - offset;
}

bool isFontTag(std::uint32_t t) {
    return t == 0x00010000u || t == 0x31000000u || t == tag("OTTO") || t == tag("typ1");
}

// Composite component flags.
constexpr unsigned argsAreWords = 0x0001;
constexpr unsigned argsAreXY = 0x0002;
constexpr unsigned haveScale = 0x0008;
constexpr unsigned moreComponents = 0x0020;
constexpr unsigned haveXYScale = 0x0040;
constexpr unsigned haveTwoByTwo = 0x0080;
constexpr unsigned scaledOffset = 0x0800;
constexpr unsigned unscaledOffset = 0x1000;

} // namespace

bool TrueTypeFace::findTable(std::size_t fontOffset, const char* name, Range& range) const {
    const std::uint8_t* d = data_.data();
    std::size_t count = u16(d + fontOffset + 4);
    std::uint32_t wanted = tag(name);
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t entry = fontOffset + 12 + 16 * i;
        if (!fits(data_.size(), entry, 16)) return false;
        if (u32(d + entry) != wanted) continue;
        std::size_t offset = u32(d + entry + 8), length = u32(d + entry + 12);
        if (!fits(data_.size(), offset, length)) return false;
        range = {offset, length};
        return true;
    }
    return false;
}

const char* TrueTypeFace::open(std::span<const std::uint8_t> data) {
    *this = TrueTypeFace();
    data_ = data;
    const std::uint8_t* d = data.data();
    if (data.size() < 12) return "font data too short";

    std::size_t fontOffset = 0;
    if (u32(d) == tag("ttcf")) {
        if (data.size() < 16) return "font collection header truncated";
        std::uint32_t version = u32(d + 4);
        if (version != 0x00010000u && version != 0x00020000u)
            return "unsupported font collection version";
        if (u32(d + 8) == 0) return "font collection is empty";
        fontOffset = u32(d + 12);
        if (!fits(data.size(), fontOffset, 12)) return "font collection offset out of range";
    }
    if (!isFontTag(u32(d + fontOffset))) return "not a TrueType font";

    Range head, hhea, maxp, cmap, kern;
    if (!findTable(fontOffset, "head", head) || !findTable(fontOffset, "hhea", hhea) ||
        !findTable(fontOffset, "maxp", maxp) || !findTable(fontOffset, "hmtx", hmtx_) ||
        !findTable(fontOffset, "cmap", cmap))
        return "font lacks a required table";
    if (head.size < 54 || hhea.size < 36 || maxp.size < 6) return "font header table truncated";

    unitsPerEm_ = u16(d + head.offset + 18);
    int locaFormat = i16(d + head.offset + 50);
    if (locaFormat != 0 && locaFormat != 1) return "unknown glyph location format";
    longLoca_ = locaFormat == 1;
    numGlyphs_ = u16(d + maxp.offset + 4);
    ascent_ = i16(d + hhea.offset + 4);
    descent_ = i16(d + hhea.offset + 6);
    lineGap_ = i16(d + hhea.offset + 8);
    numHMetrics_ = u16(d + hhea.offset + 34);
    // Layout divides by the vertical extent.
    if (ascent_ - descent_ <= 0) return "font has no vertical extent";
    if (numHMetrics_ == 0 || hmtx_.size / 4 < std::size_t(numHMetrics_))
        return "horizontal metrics truncated";

    // Outlines are optional: a font without them still measures text.
    if (!findTable(fontOffset, "loca", loca_) || !findTable(fontOffset, "glyf", glyf_)) {
        loca_ = {};
        glyf_ = {};
    }

    // Character map: prefer the full Unicode range, then the basic plane, then a
    // symbol map (which some fonts use for their only table).
    if (cmap.size < 4) return "character map truncated";
    int bestScore = 0;
    std::size_t records = u16(d + cmap.offset + 2);
    for (std::size_t i = 0; i < records; ++i) {
        std::size_t rec = 4 + 8 * i;
        if (!fits(cmap.size, rec, 8)) break;
        int platform = u16(d + cmap.offset + rec), encoding = u16(d + cmap.offset + rec + 2);
        std::size_t sub = u32(d + cmap.offset + rec + 4);
        if (!fits(cmap.size, sub, 2)) continue;
        int format = u16(d + cmap.offset + sub);
        int score = 0;
        if (format == 12 && ((platform == 3 && encoding == 10) || platform == 0))
            score = 4;
        else if (format == 4 && platform == 3 && encoding == 1)
            score = 3;
        else if (format == 4 && platform == 0)
            score = 2;
        else if (format == 4 && platform == 3 && encoding == 0)
            score = 1;
        if (score > bestScore) {
            bestScore = score;
            // Length fields of large subtables are known to wrap; the table's end
            // is the bound that matters.
            cmap_ = {cmap.offset + sub, cmap.size - sub};
            cmapFormat_ = format;
        }
    }
    if (bestScore == 0) return "font has no Unicode character map";

    // Pair kerning from the legacy table: horizontal format 0 subtables only.
    if (findTable(fontOffset, "kern", kern) && kern.size >= 4 && u16(d + kern.offset) == 0) {
        std::size_t tables = u16(d + kern.offset + 2), pos = 4;
        for (std::size_t i = 0; i < tables && fits(kern.size, pos, 14); ++i) {
            const std::uint8_t* sub = d + kern.offset + pos;
            std::size_t length = u16(sub + 2);
            unsigned coverage = u16(sub + 4);
            if ((coverage >> 8) == 0 && (coverage & 0x7) == 1) {
                std::size_t pairs = pos + 14;
                std::size_t count = std::min<std::size_t>(u16(sub + 6), (kern.size - pairs) / 6);
                if (count) kernTables_.push_back({kern.offset + pairs, count, (coverage & 8) != 0});
            }
            if (length < 14) break;
            pos += length;
        }
    }
    return nullptr;
}

int TrueTypeFace::mapFormat4(std::uint32_t cp) const {
    if (cp > 0xFFFF || cmap_.size < 14) return 0;
    const std::uint8_t* t = data_.data() + cmap_.offset;
    std::size_t segCount = u16(t + 6) / 2;
    std::size_t ends = 14, starts = 16 + 2 * segCount, deltas = starts + 2 * segCount,
                rangeOffsets = deltas + 2 * segCount;
    if (segCount == 0 || !fits(cmap_.size, rangeOffsets, 2 * segCount)) return 0;
    // First segment whose end is at or above the code point.
    std::size_t lo = 0, hi = segCount;
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (u16(t + ends + 2 * mid) < cp)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == segCount) return 0;
    std::uint32_t start = u16(t + starts + 2 * lo);
    if (cp < start) return 0;
    std::uint32_t delta = u16(t + deltas + 2 * lo);
    std::size_t rangeOffset = u16(t + rangeOffsets + 2 * lo);
    if (rangeOffset == 0) return int((cp + delta) & 0xFFFF);
    std::size_t at = rangeOffsets + 2 * lo + rangeOffset + 2 * (cp - start);
    if (!fits(cmap_.size, at, 2)) return 0;
    std::uint32_t glyph = u16(t + at);
    return glyph == 0 ? 0 : int((glyph + delta) & 0xFFFF);
}

int TrueTypeFace::mapFormat12(std::uint32_t cp) const {
    if (cmap_.size < 16) return 0;
    const std::uint8_t* t = data_.data() + cmap_.offset;
    std::size_t groups = std::min<std::size_t>(u32(t + 12), (cmap_.size - 16) / 12);
    std::size_t lo = 0, hi = groups;
    while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        const std::uint8_t* g = t + 16 + 12 * mid;
        if (u32(g + 4) < cp)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == groups) return 0;
    const std::uint8_t* g = t + 16 + 12 * lo;
    std::uint32_t start = u32(g);
    if (cp < start) return 0;
    std::uint64_t glyph = std::uint64_t(u32(g + 8)) + (cp - start);
    return glyph > 0xFFFF ? 0 : int(glyph);
}

int TrueTypeFace::glyphIndex(std::uint32_t codePoint) const {
    int glyph = cmapFormat_ == 12 ? mapFormat12(codePoint) : mapFormat4(codePoint);
    return glyph < numGlyphs_ ? glyph : 0;
}

int TrueTypeFace::advanceWidth(int glyph) const {
    int i = std::clamp(glyph, 0, numHMetrics_ - 1);
    return u16(data_.data() + hmtx_.offset + 4 * std::size_t(i));
}

int TrueTypeFace::leftSideBearing(int glyph) const {
    if (glyph < 0) return 0;
    std::size_t at = glyph < numHMetrics_
                         ? 4 * std::size_t(glyph) + 2
                         : 4 * std::size_t(numHMetrics_) + 2 * std::size_t(glyph - numHMetrics_);
    return fits(hmtx_.size, at, 2) ? i16(data_.data() + hmtx_.offset + at) : 0;
}

int TrueTypeFace::kerning(int left, int right) const {
    if (left < 0 || right < 0 || left > 0xFFFF || right > 0xFFFF) return 0;
    std::uint32_t key = std::uint32_t(left) << 16 | std::uint32_t(right);
    int value = 0;
    for (const KernTable& table : kernTables_) {
        const std::uint8_t* pairs = data_.data() + table.pairs;
        std::size_t lo = 0, hi = table.count;
        while (lo < hi) {
            std::size_t mid = (lo + hi) / 2;
            std::uint32_t k = u32(pairs + 6 * mid);
            if (k == key) {
                int v = i16(pairs + 6 * mid + 4);
                value = table.replaces ? v : value + v;
                break;
            }
            if (k < key)
                lo = mid + 1;
            else
                hi = mid;
        }
    }
    return value;
}

bool TrueTypeFace::glyphData(int glyph, Range& range) const {
    range = {};
    if (glyph < 0 || glyph >= numGlyphs_) return false;
    if (glyf_.size == 0) return true;
    const std::uint8_t* loca = data_.data() + loca_.offset;
    std::size_t g = std::size_t(glyph), start, end;
    if (longLoca_) {
        if (!fits(loca_.size, 4 * g, 8)) return false;
        start = u32(loca + 4 * g);
        end = u32(loca + 4 * g + 4);
    } else {
        if (!fits(loca_.size, 2 * g, 4)) return false;
        start = 2 * std::size_t(u16(loca + 2 * g));
        end = 2 * std::size_t(u16(loca + 2 * g + 2));
    }
    if (start > end || end > glyf_.size) return false;
    range = {glyf_.offset + start, end - start};
    return true;
}

bool TrueTypeFace::glyphBounds(int glyph, GlyphBounds& b) const {
    Range r;
    if (!glyphData(glyph, r) || r.size < 10) return false;
    const std::uint8_t* p = data_.data() + r.offset;
    b = {i16(p + 2), i16(p + 4), i16(p + 6), i16(p + 8)};
    return b.xMin <= b.xMax && b.yMin <= b.yMax;
}

bool TrueTypeFace::loadOutline(int glyph, GlyphOutline& outline) const {
    outline.clear();
    int budget = maxComponentReferences;
    if (loadGlyph(glyph, 0, budget, outline)) return true;
    outline.clear();
    return false;
}

bool TrueTypeFace::loadGlyph(int glyph, int depth, int& budget, GlyphOutline& outline) const {
    Range r;
    if (depth > maxCompositeDepth || !glyphData(glyph, r)) return false;
    if (r.size == 0) return true;
    if (r.size < 10) return false;
    const std::uint8_t* p = data_.data() + r.offset;
    int contours = i16(p);
    if (contours >= 0) return loadSimple(p, r.size, contours, outline);
    return loadComposite(p, r.size, depth, budget, outline);
}

bool TrueTypeFace::loadSimple(const std::uint8_t* p, std::size_t size, int contourCount,
                              GlyphOutline& outline) const {
    std::size_t pos = 10;
    if (!fits(size, pos, 2 * std::size_t(contourCount) + 2)) return false;
    std::size_t base = outline.points.size();
    long previousEnd = -1;
    for (int c = 0; c < contourCount; ++c) {
        long end = u16(p + pos + 2 * std::size_t(c));
        // Contours are stored in order; anything else would index backwards.
        if (end <= previousEnd) return false;
        previousEnd = end;
    }
    std::size_t count = std::size_t(previousEnd + 1);
    if (base + count > maxOutlinePoints) return false;
    pos += 2 * std::size_t(contourCount);
    pos += 2 + std::size_t(u16(p + pos)); // skip the hinting instructions

    std::vector<std::uint8_t>& flags = outline.flags;
    flags.resize(count);
    for (std::size_t i = 0; i < count;) {
        if (pos >= size) return false;
        std::uint8_t f = p[pos++];
        flags[i++] = f;
        if (f & 8) {
            if (pos >= size) return false;
            for (int repeat = p[pos++]; repeat > 0 && i < count; --repeat) flags[i++] = f;
        }
    }

    outline.points.resize(base + count);
    GlyphPoint* pts = outline.points.data() + base;
    // Coordinates are deltas; they may legitimately leave the 16-bit range mid-way.
    long long v = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t f = flags[i];
        if (f & 2) {
            if (pos >= size) return false;
            v += (f & 0x10) ? p[pos] : -int(p[pos]);
            pos += 1;
        } else if (!(f & 0x10)) {
            if (!fits(size, pos, 2)) return false;
            v += i16(p + pos);
            pos += 2;
        }
        pts[i].x = float(v);
        pts[i].onCurve = (f & 1) != 0;
    }
    v = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t f = flags[i];
        if (f & 4) {
            if (pos >= size) return false;
            v += (f & 0x20) ? p[pos] : -int(p[pos]);
            pos += 1;
        } else if (!(f & 0x20)) {
            if (!fits(size, pos, 2)) return false;
            v += i16(p + pos);
            pos += 2;
        }
        pts[i].y = float(v);
    }
    for (int c = 0; c < contourCount; ++c)
        outline.contourEnds.push_back(std::uint32_t(base + u16(p + 10 + 2 * std::size_t(c)) + 1));
    return true;
}

bool TrueTypeFace::loadComposite(const std::uint8_t* p, std::size_t size, int depth, int& budget,
                                 GlyphOutline& outline) const {
    // Point numbers in matched-point placement count from this glyph's first point.
    std::size_t start = outline.points.size();
    std::size_t pos = 10;
    unsigned flags;
    do {
        if (!fits(size, pos, 4)) return false;
        flags = u16(p + pos);
        int component = u16(p + pos + 2);
        pos += 4;
        long arg1, arg2;
        if (flags & argsAreWords) {
            if (!fits(size, pos, 4)) return false;
            arg1 = (flags & argsAreXY) ? i16(p + pos) : u16(p + pos);
            arg2 = (flags & argsAreXY) ? i16(p + pos + 2) : u16(p + pos + 2);
            pos += 4;
        } else {
            if (!fits(size, pos, 2)) return false;
            arg1 = (flags & argsAreXY) ? std::int8_t(p[pos]) : p[pos];
            arg2 = (flags & argsAreXY) ? std::int8_t(p[pos + 1]) : p[pos + 1];
            pos += 2;
        }
        float a = 1, b = 0, c = 0, d = 1; // x' = a x + c y, y' = b x + d y
        if (flags & haveScale) {
            if (!fits(size, pos, 2)) return false;
            a = d = f2dot14(p + pos);
            pos += 2;
        } else if (flags & haveXYScale) {
            if (!fits(size, pos, 4)) return false;
            a = f2dot14(p + pos);
            d = f2dot14(p + pos + 2);
            pos += 4;
        } else if (flags & haveTwoByTwo) {
            if (!fits(size, pos, 8)) return false;
            a = f2dot14(p + pos);
            b = f2dot14(p + pos + 2);
            c = f2dot14(p + pos + 4);
            d = f2dot14(p + pos + 6);
            pos += 8;
        }
        if (--budget < 0) return false;

        std::size_t first = outline.points.size();
        if (!loadGlyph(component, depth + 1, budget, outline)) return false;
        std::size_t last = outline.points.size();
        for (std::size_t i = first; i < last; ++i) {
            GlyphPoint& q = outline.points[i];
            float x = q.x, y = q.y;
            q.x = a * x + c * y;
            q.y = b * x + d * y;
        }
        float dx, dy;
        if (flags & argsAreXY) {
            dx = float(arg1);
            dy = float(arg2);
            if ((flags & scaledOffset) && !(flags & unscaledOffset)) {
                float ox = dx;
                dx = a * ox + c * dy;
                dy = b * ox + d * dy;
            }
        } else {
            // Place the component so that its point arg2 lands on our point arg1.
            std::size_t parentPoint = start + std::size_t(arg1);
            std::size_t childPoint = first + std::size_t(arg2);
            if (parentPoint >= first || childPoint >= last) return false;
            dx = outline.points[parentPoint].x - outline.points[childPoint].x;
            dy = outline.points[parentPoint].y - outline.points[childPoint].y;
        }
        for (std::size_t i = first; i < last; ++i) {
            outline.points[i].x += dx;
            outline.points[i].y += dy;
        }
    } while (flags & moreComponents);
    return true;
}

} // namespace corvid
