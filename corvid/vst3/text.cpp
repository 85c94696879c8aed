#include "corvid/vst3/text.h"

#include "corvid/host/state.h"

#include <cstring>

namespace corvid::vst3 {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one character at text[i], advancing i; malformed input gives U+FFFD
// and moves on by one byte.
char32_t decodeUtf8(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    int extra = 0;
    char32_t c = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        c = lead & 0x07;
    } else {
        return kReplacement;
    }
    const std::size_t start = i;
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            i = start;
            return kReplacement;
        }
        c = c << 6 | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    constexpr char32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

void toUtf16(std::string_view utf8, char16* out, std::size_t capacity) {
    if (capacity == 0) return;
    std::size_t n = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = decodeUtf8(utf8, i);
        const std::size_t units = c >= 0x10000 ? 2 : 1;
        if (n + units >= capacity) break;
        if (units == 2) {
            out[n++] = static_cast<char16>(0xD800 + ((c - 0x10000) >> 10));
            out[n++] = static_cast<char16>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out[n++] = static_cast<char16>(c);
        }
    }
    out[n] = 0;
}

std::string toUtf8(const char16* text, std::size_t maxUnits) {
    std::string out;
    if (!text) return out;
    for (std::size_t i = 0; i < maxUnits && text[i] != 0; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < maxUnits && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        appendUtf8(out, c);
    }
    return out;
}

void copyChars(std::string_view text, char* out, std::size_t capacity) {
    if (capacity == 0) return;
    const std::string_view kept = host::truncateUtf8(text, capacity - 1);
    std::memcpy(out, kept.data(), kept.size());
    out[kept.size()] = '\0';
}

} // namespace corvid::vst3
