#pragma once
// Font data for the font tests: the DejaVu Sans file from the Debian package, and a
// builder of small TrueType fonts whose every byte the test controls.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testfont {

std::vector<std::uint8_t> readDejaVuSans();

struct Point {
    int x, y;
    bool on = true;
};

struct Component {
    int glyph;
    int dx = 0, dy = 0; // offset, or point numbers (parent, child) when matchPoints
    bool matchPoints = false;
    float xx = 1, xy = 0, yx = 0, yy = 1; // 2x2 transform; identity writes none
    bool scaledOffset = false;
};

class FontBuilder {
public:
    // Glyph 0 is an empty notdef until replaced.
    FontBuilder();
    int addSimple(const std::vector<std::vector<Point>>& contours, int advance);
    int addComposite(const std::vector<Component>& components, int advance);
    int addRaw(std::vector<std::uint8_t> glyf, int advance);
    int addEmpty(int advance) { return addRaw({}, advance); }
    void map(std::uint32_t codePoint, int glyph) { cmap_[codePoint] = glyph; }
    void kern(int left, int right, int value) { kern_[{left, right}] = value; }
    std::vector<std::uint8_t> build(int ascent = 800, int descent = -200,
                                    bool longLoca = true) const;

private:
    std::vector<std::vector<std::uint8_t>> glyphs_;
    std::vector<int> advances_;
    std::map<std::uint32_t, int> cmap_;
    std::map<std::pair<int, int>, int> kern_;
};

// Wraps a single font into a one-font "ttcf" collection.
std::vector<std::uint8_t> asCollection(const std::vector<std::uint8_t>& font);

} // namespace testfont
