// The embedded fonts say what they are in their name tables, read here with a
// reader of the test's own so it does not lean on the font code it checks.

#include "resources/resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>

namespace {

std::uint32_t be(std::span<const std::uint8_t> d, std::size_t at, int bytes) {
    if (at + std::size_t(bytes) > d.size()) return 0;
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | d[at + std::size_t(i)];
    return v;
}

// Name ID to text, from the Windows (UTF-16BE, ASCII part) and Mac Roman records.
std::map<int, std::string> nameTable(std::span<const std::uint8_t> font) {
    std::map<int, std::string> names;
    const std::uint32_t tables = be(font, 4, 2);
    for (std::uint32_t t = 0; t < tables; ++t) {
        const std::size_t record = 12 + 16 * std::size_t(t);
        if (be(font, record, 4) != 0x6E616D65) continue; // 'name'
        const std::size_t table = be(font, record + 8, 4);
        const std::uint32_t count = be(font, table + 2, 2);
        const std::size_t strings = table + be(font, table + 4, 2);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t r = table + 6 + 12 * std::size_t(i);
            const std::uint32_t platform = be(font, r, 2);
            const int id = int(be(font, r + 6, 2));
            const std::size_t length = be(font, r + 8, 2);
            const std::size_t offset = strings + be(font, r + 10, 2);
            if (offset + length > font.size()) continue;
            std::string text;
            if (platform == 3) {
                for (std::size_t k = 0; k + 1 < length; k += 2)
                    text += char(be(font, offset + k, 2) & 0x7F);
            } else if (platform == 1) {
                text.assign(reinterpret_cast<const char*>(font.data() + offset), length);
            } else {
                continue;
            }
            if (platform == 3 || !names.count(id)) names[id] = text;
        }
    }
    return names;
}

TEST(EditorFonts, TheTextFaceIsLatoSemibold) {
    const auto names = nameTable(spatium::resources::textFont());
    ASSERT_TRUE(names.count(4));
    EXPECT_EQ(names.at(4), "Lato Semibold");
}

TEST(EditorFonts, TheTitleFaceIsABoldDisplayFace) {
    const auto names = nameTable(spatium::resources::titleFont());
    ASSERT_TRUE(names.count(1));
    ASSERT_TRUE(names.count(4));
    EXPECT_NE(names.at(4).find("Bold"), std::string::npos) << names.at(4);
    EXPECT_NE(names.at(1), nameTable(spatium::resources::textFont()).at(1));
}

} // namespace
