#pragma once
// TrueType table reader. Fonts are embedded resources, so a font that does not parse
// is fatal for the program; this reader itself never aborts: it reports a message and
// lets the caller decide, which keeps it usable on arbitrary bytes (fuzzing, tests).
// Every read is bounds-checked against the table it belongs to.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvid {

// Outline point in font units (y up). Composite glyphs are resolved into one
// outline, so transformed components give non-integer coordinates.
struct GlyphPoint {
    float x = 0.0f;
    float y = 0.0f;
    bool onCurve = true;
};

struct GlyphOutline {
    std::vector<GlyphPoint> points;
    std::vector<std::uint32_t> contourEnds; // one past the last point of each contour
    std::vector<std::uint8_t> flags;        // scratch for decoding, kept to reuse its storage

    void clear() {
        points.clear();
        contourEnds.clear();
    }
};

// Control box of a glyph in font units, as recorded in its outline header.
struct GlyphBounds {
    int xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

class TrueTypeFace {
public:
    // Composite glyphs may nest this deep; fonts in practice stay below 4.
    static constexpr int maxCompositeDepth = 16;
    // Upper bounds on the work one glyph may cause, whatever its bytes say.
    static constexpr std::size_t maxOutlinePoints = 1u << 16;
    static constexpr int maxComponentReferences = 1024;

    // Reads the table directory of the first font in data (a single font or a
    // collection). Returns nullptr on success, else a short fixed description of
    // what is wrong. data must outlive the face; it is not copied.
    const char* open(std::span<const std::uint8_t> data);

    // Glyph for a Unicode code point; 0 (the missing-glyph glyph) when unmapped.
    int glyphIndex(std::uint32_t codePoint) const;

    // False for glyphs without an outline (space) and for invalid indices.
    bool glyphBounds(int glyph, GlyphBounds& bounds) const;

    int advanceWidth(int glyph) const;
    int leftSideBearing(int glyph) const;

    bool hasKerning() const { return !kernTables_.empty(); }
    // Horizontal pair adjustment in font units between two glyphs.
    int kerning(int leftGlyph, int rightGlyph) const;

    // Fills outline with the glyph's contours (composites resolved). Returns false
    // and leaves the outline empty when the glyph data is malformed; an empty glyph
    // is not an error.
    bool loadOutline(int glyph, GlyphOutline& outline) const;

    int numGlyphs() const { return numGlyphs_; }
    int unitsPerEm() const { return unitsPerEm_; }
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    int lineGap() const { return lineGap_; }

private:
    struct Range {
        std::size_t offset = 0;
        std::size_t size = 0;
    };

    bool findTable(std::size_t fontOffset, const char* tag, Range& range) const;
    bool glyphData(int glyph, Range& range) const;
    bool loadGlyph(int glyph, int depth, int& componentBudget, GlyphOutline& outline) const;
    bool loadSimple(const std::uint8_t* p, std::size_t size, int contourCount,
                    GlyphOutline& outline) const;
    bool loadComposite(const std::uint8_t* p, std::size_t size, int depth, int& componentBudget,
                       GlyphOutline& outline) const;
    int mapFormat4(std::uint32_t codePoint) const;
    int mapFormat12(std::uint32_t codePoint) const;

    std::span<const std::uint8_t> data_;
    Range cmap_; // the chosen subtable
    int cmapFormat_ = 0;
    Range loca_;
    Range glyf_;
    Range hmtx_;
    struct KernTable {
        std::size_t pairs = 0; // offset of the first pair
        std::size_t count = 0;
        bool replaces = false; // the value overrides what earlier subtables gave
    };
    std::vector<KernTable> kernTables_;
    bool longLoca_ = false;
    int numGlyphs_ = 0;
    int numHMetrics_ = 0;
    int unitsPerEm_ = 0;
    int ascent_ = 0, descent_ = 0, lineGap_ = 0;
};

} // namespace corvid
