#pragma once
// UTF-8 decoding for text drawing. Labels come from code and from parameter display
// texts; anything malformed shows as the replacement character instead of being
// skipped, so a broken string stays visibly broken.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvid {

constexpr std::uint32_t replacementCharacter = 0xFFFD;

// Decodes the code point starting at text[pos] and moves pos past it. Malformed
// sequences, overlong forms, surrogates and values above U+10FFFF give U+FFFD. A
// sequence cut short by a byte that cannot continue it ends before that byte, so
// the next call starts there. pos must be below text.size().
std::uint32_t decodeUtf8(std::string_view text, std::size_t& pos);

} // namespace corvid
