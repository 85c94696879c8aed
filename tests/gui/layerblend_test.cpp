// The buffered layers' row blends against the one-pixel rules they must equal, on
// every instruction set this processor runs: every colour byte, source and
// opacity, every row length's tail, and the depths where rounding and the o = 0
// rule bite.

#include "corvid/core/isa.h"
#include "corvid/gui/bufferedelement.h"
#include "corvid/gui/layerblend.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace corvid;

class LayerBlend : public testing::TestWithParam<Isa> {};

TEST_P(LayerBlend, ColourRowsEqualTheByteRuleForEveryTriple) {
    // Channel r carries every (src, dst) pair under every opacity; the other
    // channels mix the roles so a lane mix-up shows too. Rows start one pixel in so
    // nothing is aligned, and run 259 pixels so the tail is taken as well.
    constexpr int kRow = 259;
    std::vector<RGBA> src(kRow + 1), dst(kRow + 1), want(kRow + 1);
    std::vector<L8> opacity(kRow + 1);
    for (int s = 0; s < 256; ++s)
        for (int o = 0; o < 256; ++o) {
            for (int i = 0; i < kRow; ++i) {
                const auto d = std::uint8_t(i);
                const auto v = std::uint8_t(s);
                src[i + 1] = {v, std::uint8_t(255 - s), d, std::uint8_t(s ^ i)};
                dst[i + 1] = {d, std::uint8_t(i * 7), v, std::uint8_t(255 - i)};
                // Most pixels take o; every ninth is opaque or clear instead.
                opacity[i + 1] = L8(std::uint8_t(i % 9 == 0 ? (i % 2 ? 255 : 0) : o));
                const std::uint8_t w = opacity[i + 1].l;
                const RGBA a = src[i + 1], b = dst[i + 1];
                want[i + 1] = w == 0 ? b
                                     : RGBA{blendByte(a.r, b.r, w), blendByte(a.g, b.g, w),
                                            blendByte(a.b, b.b, w), blendByte(a.a, b.a, w)};
            }
            blendLayerRow(dst.data() + 1, src.data() + 1, opacity.data() + 1, kRow, GetParam());
            for (int i = 1; i <= kRow; ++i)
                if (!(dst[i] == want[i])) {
                    FAIL() << "src " << s << " opacity " << int(opacity[i].l) << " pixel " << i;
                }
        }
}

// Masks mostly opaque or clear in runs longer than the widest vector, as element
// edges make them: whole vectors are copied or skipped, and must still equal the rule.
TEST_P(LayerBlend, RunsOfOpaqueAndClearPixelsEqualTheRule) {
    std::mt19937 rng(11);
    std::vector<RGBA> src, dst;
    std::vector<L16> srcDepth, dstDepth;
    std::vector<L8> opacity;
    while (opacity.size() < 20000) {
        const int kind = int(rng() % 3);
        const int run = int(rng() % 41);
        for (int i = 0; i < run; ++i)
            opacity.push_back(L8(std::uint8_t(kind == 0 ? 0 : kind == 1 ? 255 : rng())));
    }
    for (std::size_t i = 0; i < opacity.size(); ++i) {
        const auto r = std::uint32_t(rng());
        src.push_back(
            {std::uint8_t(r), std::uint8_t(r >> 8), std::uint8_t(r >> 16), std::uint8_t(r >> 24)});
        const auto q = std::uint32_t(rng());
        dst.push_back(
            {std::uint8_t(q), std::uint8_t(q >> 8), std::uint8_t(q >> 16), std::uint8_t(q >> 24)});
        srcDepth.push_back(L16(std::uint16_t(r)));
        dstDepth.push_back(L16(std::uint16_t(q)));
    }
    std::vector<RGBA> want = dst;
    std::vector<L16> wantDepth = dstDepth;
    for (std::size_t i = 0; i < opacity.size(); ++i) {
        const std::uint8_t o = opacity[i].l;
        if (o == 0) continue;
        const RGBA a = src[i], b = dst[i];
        want[i] = {blendByte(a.r, b.r, o), blendByte(a.g, b.g, o), blendByte(a.b, b.b, o),
                   blendByte(a.a, b.a, o)};
        wantDepth[i] = L16(blendDepth(srcDepth[i].l, dstDepth[i].l, o));
    }
    const auto n = std::int32_t(opacity.size());
    blendLayerRow(dst.data(), src.data(), opacity.data(), n, GetParam());
    blendLayerRow(dstDepth.data(), srcDepth.data(), opacity.data(), n, GetParam());
    for (std::size_t i = 0; i < opacity.size(); ++i) {
        ASSERT_EQ(dst[i], want[i]) << "pixel " << i << " opacity " << int(opacity[i].l);
        ASSERT_EQ(dstDepth[i], wantDepth[i]) << "pixel " << i << " opacity " << int(opacity[i].l);
    }
}

TEST_P(LayerBlend, DepthRowsEqualTheDepthRuleAndLeaveClearPixels) {
    const std::uint16_t edges[] = {0, 1, 2, 127, 128, 255, 256, 32767, 32768, 65280, 65534, 65535};
    std::vector<L16> src, dst, want;
    std::vector<L8> opacity;
    for (int o = 0; o < 256; ++o)
        for (std::uint16_t s : edges)
            for (std::uint16_t d : edges) {
                src.push_back(L16(s));
                dst.push_back(L16(d));
                opacity.push_back(L8(std::uint8_t(o)));
            }
    std::mt19937 rng(7);
    for (int n = 0; n < 200000; ++n) {
        src.push_back(L16(std::uint16_t(rng())));
        dst.push_back(L16(std::uint16_t(rng())));
        opacity.push_back(L8(std::uint8_t(rng() % 3 == 0 ? 0 : rng())));
    }
    for (std::size_t i = 0; i < src.size(); ++i)
        want.push_back(opacity[i].l == 0 ? dst[i]
                                         : L16(blendDepth(src[i].l, dst[i].l, opacity[i].l)));
    // Uneven pieces, so every start and tail length meets the four-wide steps.
    std::size_t at = 0;
    for (std::int32_t piece = 1; at < src.size(); piece = piece % 11 + 1) {
        const auto n = std::int32_t(std::min<std::size_t>(std::size_t(piece), src.size() - at));
        blendLayerRow(dst.data() + at, src.data() + at, opacity.data() + at, n, GetParam());
        at += std::size_t(n);
    }
    for (std::size_t i = 0; i < src.size(); ++i)
        ASSERT_EQ(dst[i].l, want[i].l) << "src " << src[i].l << " opacity " << int(opacity[i].l);
}

INSTANTIATE_TEST_SUITE_P(Paths, LayerBlend, testing::ValuesIn(supportedIsas()),
                         [](const testing::TestParamInfo<Isa>& path) {
                             return std::string(isaName(path.param));
                         });

} // namespace
