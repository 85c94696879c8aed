#include "corvid/graphics/text/utf8.h"

namespace corvid {

std::uint32_t decodeUtf8(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<std::uint8_t>(text[pos++]);
    if (lead < 0x80) return lead;
    int length;
    std::uint32_t value, smallest;
    if (lead >= 0xC0 && lead < 0xE0) {
        length = 2;
        value = lead & 0x1Fu;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        length = 3;
        value = lead & 0x0Fu;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead < 0xF8) {
        length = 4;
        value = lead & 0x07u;
        smallest = 0x10000;
    } else {
        return replacementCharacter; // a stray continuation byte or an invalid lead
    }
    for (int i = 1; i < length; ++i) {
        if (pos >= text.size()) return replacementCharacter;
        const auto c = static_cast<std::uint8_t>(text[pos]);
        if ((c & 0xC0) != 0x80) return replacementCharacter;
        value = value << 6 | (c & 0x3Fu);
        ++pos;
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return replacementCharacter;
    return value;
}

} // namespace corvid
