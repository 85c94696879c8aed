// Arbitrary bytes as label text: decoding must give only Unicode scalar values,
// always advance, and reproduce well-formed input exactly; layout, measuring and
// drawing with a real font must stay inside the target.

#include "corvid/graphics/text/font.h"
#include "corvid/graphics/text/utf8.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

const std::vector<std::uint8_t>& fontData() {
    static const std::vector<std::uint8_t> data = [] {
        std::vector<std::uint8_t> bytes;
        std::FILE* f = std::fopen("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "rb");
        if (!f) std::abort();
        for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(std::uint8_t(c));
        std::fclose(f);
        return bytes;
    }();
    return data;
}

std::string encode(std::uint32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += char(cp);
    } else if (cp < 0x800) {
        s += char(0xC0 | cp >> 6);
        s += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += char(0xE0 | cp >> 12);
        s += char(0x80 | (cp >> 6 & 0x3F));
        s += char(0x80 | (cp & 0x3F));
    } else {
        s += char(0xF0 | cp >> 18);
        s += char(0x80 | (cp >> 12 & 0x3F));
        s += char(0x80 | (cp >> 6 & 0x3F));
        s += char(0x80 | (cp & 0x3F));
    }
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const float fontSize = 6.0f + float(data[0] % 40) * 0.5f;
    const float x = float(int(data[1]) - 64) * 0.37f;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const std::uint32_t cp = corvid::decodeUtf8(text, pos);
        if (pos <= start || pos > text.size() || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000))
            std::abort();
        if (cp != corvid::replacementCharacter && text.substr(start, pos - start) != encode(cp))
            std::abort();
    }

    // A fresh font per input keeps the glyph cache from growing across the run.
    corvid::Font font(fontData());
    int count = 0;
    font.layoutGlyphs(text, fontSize, 0.5f, x, 12.0f,
                      [&](const corvid::IntRect&, std::uint32_t, int index, float, float, float) {
                          if (index != count++) std::abort();
                      });
    const corvid::IntRect bounds = font.textBounds(text, fontSize, 0.5f);
    if (text.empty() && !bounds.isEmpty()) std::abort();

    corvid::OwnedImage<corvid::RGBA> image(48, 24);
    image.fill({1, 2, 3, 4});
    corvid::drawText(image.asView().withClip({4, 2, 40, 20}), font, text, fontSize, 0.5f,
                     {200, 100, 50, 255}, x, 12.0f, data[1] & 1, (data[1] >> 1) & 1);
    // Outside the clip rectangle nothing may change.
    for (int yy = 0; yy < 24; ++yy)
        for (int xx = 0; xx < 48; ++xx)
            if (!(xx >= 4 && xx < 40 && yy >= 2 && yy < 20) &&
                !(image.pixelAt(xx, yy) == corvid::RGBA{1, 2, 3, 4}))
                std::abort();
    return 0;
}
