#pragma once
// Texts across the VST3 boundary: the client speaks UTF-8, VST3 hands strings as
// zero-terminated UTF-16 in fixed fields (String128) or as plain chars.

#include "corvid/vst3/abi.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace corvid::vst3 {

// UTF-8 into a zero-terminated UTF-16 field of capacity units, cut at a whole
// character when it does not fit. Malformed bytes become U+FFFD.
void toUtf16(std::string_view utf8, char16* out, std::size_t capacity);
template <std::size_t N>
void toUtf16(std::string_view utf8, char16 (&out)[N]) {
    toUtf16(utf8, out, N);
}

// A zero-terminated UTF-16 text of at most maxUnits units to UTF-8; unpaired
// surrogates become U+FFFD.
std::string toUtf8(const char16* text, std::size_t maxUnits);

// Plain chars into a zero-terminated field, cut at a whole UTF-8 character.
void copyChars(std::string_view text, char* out, std::size_t capacity);
template <std::size_t N>
void copyChars(std::string_view text, char (&out)[N]) {
    copyChars(text, out, N);
}

} // namespace corvid::vst3
