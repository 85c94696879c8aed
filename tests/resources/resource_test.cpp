// The editor's embedded pictures and fonts: they decode with our own readers to the
// sizes the editor draws, the fonts are the faces they claim to be and hold every
// character the editor shows, and the panel's printed labels keep clear of every
// control and value hint the layout places.

#include "resources/resources.h"

#include "corvid/core/thread.h"
#include "corvid/graphics/decode.h"
#include "corvid/graphics/text/font.h"
#include "corvid/graphics/text/truetype.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace res = spatium::resources;
using namespace corvid;

namespace {

// Name record nameID of the font's name table, from a Windows Unicode record
// (UTF-16 big-endian, ASCII characters only) or a Macintosh Roman one.
std::string fontName(res::Bytes font, int nameID) {
    auto u16 = [&](std::size_t at) -> unsigned {
        return at + 2 <= font.size() ? unsigned(font[at]) << 8 | font[at + 1] : 0u;
    };
    auto u32 = [&](std::size_t at) -> std::uint32_t {
        return std::uint32_t(u16(at)) << 16 | u16(at + 2);
    };
    const unsigned tables = u16(4);
    for (unsigned t = 0; t < tables; ++t) {
        const std::size_t entry = 12 + 16 * std::size_t(t);
        if (u32(entry) != 0x6E616D65u) continue; // 'name'
        const std::size_t base = u32(entry + 8);
        const unsigned count = u16(base + 2);
        const std::size_t strings = base + u16(base + 4);
        for (unsigned r = 0; r < count; ++r) {
            const std::size_t rec = base + 6 + 12 * std::size_t(r);
            if (u16(rec + 6) != unsigned(nameID)) continue;
            const unsigned platform = u16(rec);
            const std::size_t length = u16(rec + 8), offset = strings + u16(rec + 10);
            if (offset + length > font.size()) continue;
            std::string text;
            if (platform == 3)
                for (std::size_t k = 0; k + 1 < length; k += 2) text += char(font[offset + k + 1]);
            else if (platform == 1)
                for (std::size_t k = 0; k < length; ++k) text += char(font[offset + k]);
            if (!text.empty()) return text;
        }
    }
    return {};
}

struct Box {
    int x0, y0, x1, y1;
    std::string what;
    bool overlaps(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

// The layout's child and hint lines: SPATIUM_CHILD(name, widget, "parameter", x0, y0,
// x1, y1) and SPATIUM_HINT("parameter", x, y).
std::vector<Box> layoutBoxes() {
    std::ifstream in(SPATIUM_LAYOUT);
    std::vector<Box> boxes;
    std::string line;
    while (std::getline(in, line)) {
        const bool child = line.rfind("SPATIUM_CHILD(", 0) == 0;
        const bool hint = line.rfind("SPATIUM_HINT(", 0) == 0;
        if (!child && !hint) continue;
        // The numbers follow the last quote; the name precedes the first comma.
        const std::size_t quote = line.rfind('"');
        int v[4] = {0, 0, 0, 0};
        const int n =
            std::sscanf(line.c_str() + quote + 1, ", %d, %d, %d, %d", &v[0], &v[1], &v[2], &v[3]);
        const std::size_t open = line.find('(');
        if (child && n == 4)
            boxes.push_back(
                {v[0], v[1], v[2], v[3], line.substr(open + 1, line.find(',') - open - 1)});
        else if (hint && n == 2)
            boxes.push_back({v[0] - 2, v[1], v[0] + 38, v[1] + 22, "hint " + line.substr(open)});
    }
    return boxes;
}

} // namespace

TEST(Resources, PicturesDecodeToTheEditorsSizes) {
    const BackgroundMaps maps =
        loadBackgroundMaps(res::baseColourJpeg(), res::emissivePng(), res::materialPng(),
                           res::physicalPng(), res::depthPng(), res::skyboxJpeg());
    for (auto size : {std::pair{maps.diffuse->width(), maps.diffuse->height()},
                      std::pair{maps.material->width(), maps.material->height()},
                      std::pair{maps.depth->width(), maps.depth->height()}})
        EXPECT_EQ(size, (std::pair{763, 494}));
    EXPECT_EQ(maps.skybox->width(), 1024);
    EXPECT_EQ(maps.skybox->height(), 768);
    const auto logo = decodeToRGBA(res::logoPng());
    EXPECT_EQ(logo->width(), 60);
    EXPECT_EQ(logo->height(), 45);
    // The logo has a transparent surround, or it would print as a rectangle.
    EXPECT_LT(logo->pixelAt(0, 0).a, 16);
}

// The editor decodes its pictures on its pool: every map must come out as the
// decoding on one thread makes it, whichever worker took which picture.
TEST(Resources, PicturesDecodedOnAPoolEqualThoseDecodedInTurn) {
    const BackgroundMaps serial =
        loadBackgroundMaps(res::baseColourJpeg(), res::emissivePng(), res::materialPng(),
                           res::physicalPng(), res::depthPng(), res::skyboxJpeg());
    ThreadPool pool(2);
    for (int round = 0; round < 3; ++round) {
        const BackgroundMaps pooled =
            loadBackgroundMaps(res::baseColourJpeg(), res::emissivePng(), res::materialPng(),
                               res::physicalPng(), res::depthPng(), res::skyboxJpeg(), &pool);
        const auto same = [](const auto& a, const auto& b) {
            if (a->width() != b->width() || a->height() != b->height()) return false;
            for (int y = 0; y < a->height(); ++y)
                if (std::memcmp(a->rowSpan(y).data(), b->rowSpan(y).data(),
                                a->rowSpan(y).size_bytes()) != 0)
                    return false;
            return true;
        };
        EXPECT_TRUE(same(serial.diffuse, pooled.diffuse)) << round;
        EXPECT_TRUE(same(serial.material, pooled.material)) << round;
        EXPECT_TRUE(same(serial.depth, pooled.depth)) << round;
        EXPECT_TRUE(same(serial.skybox, pooled.skybox)) << round;
    }
}

TEST(Resources, FontsAreTheFacesTheyClaimAndHoldEveryCharacterShown) {
    EXPECT_EQ(fontName(res::textFont(), 1), "Lato Semibold");
    EXPECT_NE(fontName(res::titleFont(), 1).find("League Spartan"), std::string::npos);
    for (res::Bytes face : {res::textFont(), res::titleFont()}) {
        TrueTypeFace f;
        ASSERT_EQ(f.open(face), nullptr);
        Font font(face); // parses every table the drawing needs
    }
    TrueTypeFace text;
    ASSERT_EQ(text.open(res::textFont()), nullptr);
    // Printable ASCII and the degree sign of the angle parameters.
    for (std::uint32_t c = 33; c < 127; ++c) EXPECT_NE(text.glyphIndex(c), 0) << c;
    EXPECT_NE(text.glyphIndex(0xB0), 0);
    // Subset: the whole family would weigh far more.
    EXPECT_LT(res::textFont().size(), 64u * 1024u);
}

TEST(Resources, PrintedLabelsKeepClearOfEveryControl) {
    const std::vector<Box> controls = layoutBoxes();
    ASSERT_EQ(controls.size(), 26u + 17u);
    std::ifstream in(std::string(SPATIUM_RESOURCES_DIR) + "/label_boxes.txt");
    std::string line;
    int labels = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Box label;
        fields >> label.x0 >> label.y0 >> label.x1 >> label.y1;
        std::getline(fields, label.what);
        ++labels;
        for (const Box& c : controls)
            EXPECT_FALSE(label.overlaps(c)) << "label" << label.what << " covers " << c.what;
    }
    EXPECT_GT(labels, 30);
}
