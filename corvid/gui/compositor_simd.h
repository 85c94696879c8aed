#pragma once
// The compositor's pixel kernel, written once over a vector width. Each kernel
// source includes this after selecting its instruction set and supplies a traits
// type (vector types, lane count, square root, gathers, lane tests). Everything here
// has internal linkage so the differently compiled copies never meet at link time.
//
// A block is lit in three stages. Stage one stages what neighbouring-pixel reads
// need: level 0 of the depth map with a border of clamped pixels (Sobel, shadow
// ray, curvature), and, for every upper level that the cavity term and the glow
// sample, the horizontal half of the bilinear filter for each source row the block
// touches. Bilinear sampling is separable in exactly the order it is evaluated, so
// stage two finishes each sample with one vertical blend of contiguous values and
// the results equal a direct per-pixel sample. Stage three lights the pixels a
// vector at a time and writes them through the curves.

#include "corvid/gui/compositor_kernel.h"

#include <cstdint>
#include <cstring>

namespace corvid::compositor_detail {
namespace {

constexpr int kBorderLeft = 1;   // Sobel and curvature read x - 1
constexpr int kBorderRight = 10; // the shadow ray reads up to x + 10
constexpr int kBorderTop = 10;   // the shadow ray reads up to y - 10
constexpr int kBorderBottom = 1; // Sobel and curvature read y + 1
constexpr int kDepthStride = 80; // >= kBlockWidth + kBorderLeft + kBorderRight
constexpr int kDepthRows = kBlockHeight + kBorderTop + kBorderBottom;
// Rows of one level a block can touch: a block at level 0 (small windows clamp the
// level) needs its own rows plus the one below.
constexpr int kLevelRows = kBlockHeight + 2;
constexpr int kShadowSteps = 10;

static_assert(kShadowRange * kShadowScale == 1.0f);

struct ShadowWeights {
    float w[kShadowSteps + 1] = {};
    constexpr ShadowWeights() {
        double p = 1.0;
        for (int k = 1; k <= kShadowSteps; ++k) {
            p *= 0.78;
            w[k] = static_cast<float>(p);
        }
    }
};
constexpr ShadowWeights kShadow{};

inline int clampInt(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// Integer and fractional position of one bilinear sample along one axis.
struct Axis {
    int i0 = 0;
    int i1 = 0;
    float f = 0.0f;
};

inline Axis sampleAxis(float p, float scale, int size) {
    float u = p * scale - 0.5f;
    const float hi = static_cast<float>(size) - 1.001f;
    if (u > hi) u = hi;
    if (!(u >= 0.0f)) u = 0.0f;
    Axis a;
    a.i0 = static_cast<int>(u);
    a.f = u - static_cast<float>(a.i0);
    a.i1 = a.i0 + 1 > size - 1 ? size - 1 : a.i0 + 1;
    return a;
}

inline const uint8_t* rowBytes(const Plane& p, int y) {
    return reinterpret_cast<const uint8_t*>(p.pixels) + static_cast<std::ptrdiff_t>(y) * p.pitch;
}

// The source rows of one level that a block reads, and each block row's pair of
// them with its vertical blend weight.
struct StagedLevel {
    int firstRow = 0;
    Axis rows[kBlockHeight];
};

inline void stageRows(const Level& level, int32_t minY, int blockHeight, StagedLevel& staged,
                      int& rowCount) {
    for (int r = 0; r < blockHeight; ++r)
        staged.rows[r] =
            sampleAxis(static_cast<float>(minY + r) + 0.5f, level.scale, level.plane.height);
    staged.firstRow = staged.rows[0].i0;
    rowCount = staged.rows[blockHeight - 1].i1 - staged.firstRow + 1;
}

template <class T>
struct Kernel {
    using VF = typename T::VF;
    using VI = typename T::VI;
    typedef uint16_t VH __attribute__((vector_size(sizeof(VI) / 2)));
    static constexpr int N = T::lanes;
    static_assert(kBlockWidth % N == 0);

    static VF splat(float v) { return VF{} + v; }
    static VI splatI(int32_t v) { return VI{} + v; }
    static VF loadF(const float* p) {
        VF v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static VI loadI(const int32_t* p) {
        VI v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void storeF(float* p, VF v) { std::memcpy(p, &v, sizeof v); }
    static VF toF(VI v) { return __builtin_convertvector(v, VF); }
    static VI toI(VF v) { return __builtin_convertvector(v, VI); } // truncates
    static VF select(VI mask, VF a, VF b) { return mask ? a : b; }
    static VI selectI(VI mask, VI a, VI b) { return mask ? a : b; }
    static VF channel(VI pixels, int shift) { return toF((pixels >> shift) & 255); }

    // rv ^ e for rv in (0.001, 1] and e in [0.8, 196]: a vector log2 and exp2 whose
    // error stays far below one step of 8-bit output over the range that matters.
    static VF power(VF x, VF e) {
        VI bits;
        std::memcpy(&bits, &x, sizeof bits);
        VI exponent = ((bits >> 23) & 255) - 127;
        VI mantBits = (bits & 0x7FFFFF) | 0x3F800000;
        VF m;
        std::memcpy(&m, &mantBits, sizeof m);
        const VI big = m > 1.41421356f;
        m = select(big, m * 0.5f, m);
        exponent = exponent - big; // big is -1 where true
        const VF t = (m - 1.0f) / (m + 1.0f);
        const VF t2 = t * t;
        const float c1 = 2.8853900817779268f; // 2 / ln 2
        const VF poly =
            t * (c1 + t2 * (c1 / 3.0f + t2 * (c1 / 5.0f + t2 * (c1 / 7.0f + t2 * (c1 / 9.0f)))));
        VF y = e * (toF(exponent) + poly);
        y = select(y < -126.0f, splat(-126.0f), y);
        y = select(y > 126.0f, splat(126.0f), y);
        // 2^y = 2^n * 2^f with n the nearest integer, |f| <= 0.5.
        VI n = toI(y + select(y < 0.0f, splat(-0.5f), splat(0.5f)));
        const VF f = (y - toF(n)) * 0.69314718056f;
        const VF ef =
            1.0f +
            f * (1.0f +
                 f * (0.5f + f * (1.0f / 6.0f +
                                  f * (1.0f / 24.0f + f * (1.0f / 120.0f + f * (1.0f / 720.0f))))));
        const VI scaleBits = (n + 127) << 23;
        VF scale;
        std::memcpy(&scale, &scaleBits, sizeof scale);
        return ef * scale;
    }

    // The float read as exponent plus linear mantissa: a cheap log2 that is exact at
    // powers of two.
    static VF log2Approx(VF q) {
        VI bits;
        std::memcpy(&bits, &q, sizeof bits);
        const VI mantBits = (bits & static_cast<int32_t>(0x807FFFFF)) | 0x3F800000;
        VF m;
        std::memcpy(&m, &mantBits, sizeof m);
        return toF(((bits >> 23) & 255) - 128) + m;
    }

    // Clamped sample position along one axis of a level, as integer pixel indices
    // (this one and the next, clamped to the edge) and the fraction between them.
    static void axis(VF p, float scale, int size, VI& i0, VI& i1, VF& f) {
        const float hi = static_cast<float>(size) - 1.001f;
        VF u = p * scale - 0.5f;
        u = select(u > hi, splat(hi), u);
        u = select(u >= 0.0f, u, VF{}); // also turns a NaN into 0
        i0 = toI(u);
        f = u - toF(i0);
        i1 = selectI(i0 + 1 > size - 1, splatI(size - 1), i0 + 1);
    }

    // Bilinear RGB sample of an RGBA level at per-lane positions (the skybox, whose
    // sample points depend on the surface); lanes outside the mask read nothing.
    static void sampleSky(const Level& level, VF px, VF py, VI lanes, VF& r, VF& g, VF& b) {
        VI i0, i1, j0, j1;
        VF fu, fv;
        axis(px, level.scale, level.plane.width, i0, i1, fu);
        axis(py, level.scale, level.plane.height, j0, j1, fv);
        const int32_t pitch = static_cast<int32_t>(level.plane.pitch);
        const VI row0 = j0 * pitch;
        const VI row1 = j1 * pitch;
        const VI x0 = i0 * 4;
        const VI x1 = i1 * 4;
        const std::byte* base = level.plane.pixels;
        // Only the lanes that need this level read it: the skybox is large and the
        // reads of a curved surface scatter, so every avoided read is a cache miss saved.
        VI p00, p10, p01, p11;
        if (level.plane.width >= 2) {
            // The clamp keeps the left tap at least one pixel from the right edge, so
            // both taps of a row are neighbours and come in one 8-byte read.
            T::gatherPair(base, row0 + x0, lanes, p00, p10);
            T::gatherPair(base, row1 + x0, lanes, p01, p11);
        } else {
            p00 = T::gather32(base, row0 + x0, lanes);
            p10 = T::gather32(base, row0 + x1, lanes);
            p01 = T::gather32(base, row1 + x0, lanes);
            p11 = T::gather32(base, row1 + x1, lanes);
        }
        const VF gu = 1.0f - fu;
        const VF gv = 1.0f - fv;
        r = gv * (gu * channel(p00, 0) + fu * channel(p10, 0)) +
            fv * (gu * channel(p01, 0) + fu * channel(p11, 0));
        g = gv * (gu * channel(p00, 8) + fu * channel(p10, 8)) +
            fv * (gu * channel(p01, 8) + fu * channel(p11, 8));
        b = gv * (gu * channel(p00, 16) + fu * channel(p10, 16)) +
            fv * (gu * channel(p01, 16) + fu * channel(p11, 16));
    }

    // Sample positions of every column of a block on one level.
    struct Columns {
        alignas(64) int32_t i0[kBlockWidth];
        alignas(64) int32_t i1[kBlockWidth];
        alignas(64) float f[kBlockWidth];
    };

    // Where the taps of one vector of columns all fall among N neighbouring source
    // pixels (always so on the upper levels away from the edges), one contiguous read
    // and a lane permutation replace a gather. window[v] is the first of those pixels
    // or -1; rel0 and rel1 are the taps' positions inside the window.
    static void stageWindows(const Columns& columns, int levelWidth, int* window, int32_t* rel0,
                             int32_t* rel1) {
        for (int c = 0, v = 0; c < kBlockWidth; c += N, ++v) {
            const int start = columns.i0[c];
            const bool fits = columns.i1[c + N - 1] - start <= N - 1 && start + N <= levelWidth;
            window[v] = fits ? start : -1;
            for (int i = 0; i < N; ++i) {
                rel0[c + i] = fits ? columns.i0[c + i] - start : 0;
                rel1[c + i] = fits ? columns.i1[c + i] - start : 0;
            }
        }
    }

    static void stageColumns(const Level& level, int32_t minX, Columns& columns) {
        VI lane;
        for (int i = 0; i < N; ++i) lane[i] = i;
        for (int c = 0; c < kBlockWidth; c += N) {
            VI i0, i1;
            VF f;
            axis(toF(lane + (minX + c)) + 0.5f, level.scale, level.plane.width, i0, i1, f);
            std::memcpy(columns.i0 + c, &i0, sizeof i0);
            std::memcpy(columns.i1 + c, &i1, sizeof i1);
            storeF(columns.f + c, f);
        }
    }

    static void run(const KernelInput& in, int32_t minX, int32_t minY, int32_t maxX, int32_t maxY) {
        const int W = in.width;
        const int H = in.height;
        const int bw = maxX - minX;
        const int bh = maxY - minY;
        const int vectors = (bw + N - 1) / N;

        // Level 0 of the depth map around the block, edges repeated.
        alignas(64) int32_t depth[kDepthRows][kDepthStride];
        {
            int columnX[kDepthStride];
            for (int c = 0; c < kDepthStride; ++c)
                columnX[c] = clampInt(minX - kBorderLeft + c, 0, W - 1);
            const Plane& d0 = in.depth[0].plane;
            const int firstX = minX - kBorderLeft;
            const bool inside = firstX >= 0 && firstX + kDepthStride <= W;
            for (int r = 0; r < bh + kBorderTop + kBorderBottom; ++r) {
                const auto* src = reinterpret_cast<const uint16_t*>(
                    rowBytes(d0, clampInt(minY - kBorderTop + r, 0, H - 1)));
                if (inside)
                    for (int c = 0; c < kDepthStride; ++c) depth[r][c] = src[firstX + c];
                else
                    for (int c = 0; c < kDepthStride; ++c) depth[r][c] = src[columnX[c]];
            }
        }

        // Horizontal halves of the cavity and glow samples.
        alignas(64) float cavity[kCavityLevels][kLevelRows][kBlockWidth];
        alignas(64) float glow[kGlowLevels][3][kLevelRows][kBlockWidth];
        StagedLevel cavityRows[kCavityLevels];
        StagedLevel glowRows[kGlowLevels];
        // Levels with no emitted light under the block add exactly nothing, so the
        // lighting skips them (most of a panel does not glow).
        bool glowLevelLit[kGlowLevels] = {};
        {
            Columns columns;
            alignas(64) int32_t offset0[kBlockWidth];
            alignas(64) int32_t offset1[kBlockWidth];
            alignas(64) int32_t takeLow[kBlockWidth];
            alignas(64) int32_t rel0[kBlockWidth];
            alignas(64) int32_t rel1[kBlockWidth];
            int window[kBlockWidth / N];
            for (int l = 0; l < kCavityLevels; ++l) {
                const Level& level = in.depth[l + 1];
                int rows = 0;
                stageRows(level, minY, bh, cavityRows[l], rows);
                stageColumns(level, minX, columns);
                const int lw = level.plane.width;
                if (lw < 2) {
                    // One column: both taps are the same pixel.
                    for (int r = 0; r < rows; ++r) {
                        const auto* src = reinterpret_cast<const uint16_t*>(
                            rowBytes(level.plane, cavityRows[l].firstRow + r));
                        for (int c = 0; c < kBlockWidth; ++c) {
                            const float f = columns.f[c];
                            cavity[l][r][c] = (1.0f - f) * static_cast<float>(src[columns.i0[c]]) +
                                              f * static_cast<float>(src[columns.i1[c]]);
                        }
                    }
                    continue;
                }
                // Both taps come from one 32-bit read of two neighbouring depth values;
                // at the right edge the read starts one pixel earlier so it never runs
                // past the row.
                for (int c = 0; c < kBlockWidth; ++c) {
                    const int start = columns.i0[c] < lw - 2 ? columns.i0[c] : lw - 2;
                    offset0[c] = start * 2;
                    takeLow[c] = columns.i0[c] == start ? -1 : 0;
                }
                stageWindows(columns, lw, window, rel0, rel1);
                for (int r = 0; r < rows; ++r) {
                    const uint8_t* src = rowBytes(level.plane, cavityRows[l].firstRow + r);
                    float* dst = cavity[l][r];
                    for (int c = 0, v = 0; c < kBlockWidth; c += N, ++v) {
                        VI p0, p1;
                        if (window[v] >= 0) {
                            VH run;
                            std::memcpy(&run, src + window[v] * 2, sizeof run);
                            const VI values = __builtin_convertvector(run, VI);
                            p0 = __builtin_shuffle(values, loadI(rel0 + c));
                            p1 = __builtin_shuffle(values, loadI(rel1 + c));
                        } else {
                            const VI pair = T::gather32(src, loadI(offset0 + c));
                            p1 = (pair >> 16) & 0xFFFF;
                            p0 = selectI(loadI(takeLow + c), pair & 0xFFFF, p1);
                        }
                        const VF f = loadF(columns.f + c);
                        storeF(dst + c, (1.0f - f) * toF(p0) + f * toF(p1));
                    }
                }
            }
            for (int l = 0; l < kGlowLevels; ++l) {
                const Level& level = in.glow[l + 1];
                int rows = 0;
                stageRows(level, minY, bh, glowRows[l], rows);
                stageColumns(level, minX, columns);
                for (int c = 0; c < kBlockWidth; ++c) {
                    offset0[c] = columns.i0[c] * 4;
                    offset1[c] = columns.i1[c] * 4;
                }
                stageWindows(columns, level.plane.width, window, rel0, rel1);
                VI emitted = VI{};
                for (int r = 0; r < rows; ++r) {
                    const uint8_t* src = rowBytes(level.plane, glowRows[l].firstRow + r);
                    for (int c = 0, v = 0; c < kBlockWidth; c += N, ++v) {
                        VI p0, p1;
                        if (window[v] >= 0) {
                            const VI run = loadI(reinterpret_cast<const int32_t*>(src) + window[v]);
                            p0 = __builtin_shuffle(run, loadI(rel0 + c));
                            p1 = __builtin_shuffle(run, loadI(rel1 + c));
                        } else {
                            p0 = T::gather32(src, loadI(offset0 + c));
                            p1 = T::gather32(src, loadI(offset1 + c));
                        }
                        emitted |= (p0 | p1) & 0xFFFFFF;
                        const VF f = loadF(columns.f + c);
                        const VF g = 1.0f - f;
                        storeF(glow[l][0][r] + c, g * channel(p0, 0) + f * channel(p1, 0));
                        storeF(glow[l][1][r] + c, g * channel(p0, 8) + f * channel(p1, 8));
                        storeF(glow[l][2][r] + c, g * channel(p0, 16) + f * channel(p1, 16));
                    }
                }
                glowLevelLit[l] = T::any(emitted != 0);
            }
        }

        alignas(64) float viewX[kBlockWidth];
        for (int c = 0; c < kBlockWidth; ++c)
            viewX[c] = 0.5f - static_cast<float>(minX + c) / static_cast<float>(W);

        const float l2x = in.light2Dir[0], l2y = in.light2Dir[1], l2z = in.light2Dir[2];
        const float l3x = in.light3Dir[0], l3y = in.light3Dir[1], l3z = in.light3Dir[2];
        const bool haveSky = in.skyLevels > 0;
        const float skyW = haveSky ? static_cast<float>(in.sky[0].plane.width) : 0.0f;
        const float skyH = haveSky ? static_cast<float>(in.sky[0].plane.height) : 0.0f;

        alignas(64) int32_t materialRow[kBlockWidth];
        alignas(64) int32_t diffuseRow[kBlockWidth];

        for (int ry = 0; ry < bh; ++ry) {
            const int y = minY + ry;
            {
                const auto* mat = reinterpret_cast<const uint32_t*>(rowBytes(in.material, y));
                const auto* dif = reinterpret_cast<const uint32_t*>(rowBytes(in.glow[0].plane, y));
                std::memcpy(materialRow, mat + minX, static_cast<size_t>(bw) * 4);
                std::memcpy(diffuseRow, dif + minX, static_cast<size_t>(bw) * 4);
                // Lanes past the block edge compute harmless values and are not written.
                for (int c = bw; c < kBlockWidth; ++c) {
                    materialRow[c] = 0;
                    diffuseRow[c] = 0;
                }
            }
            const float vy = static_cast<float>(y) / static_cast<float>(H) - 0.5f;

            // Vertical halves for this row: blend weights and source rows per level.
            const float* cavTop[kCavityLevels];
            const float* cavBottom[kCavityLevels];
            float cavV[kCavityLevels];
            for (int l = 0; l < kCavityLevels; ++l) {
                const Axis& a = cavityRows[l].rows[ry];
                cavTop[l] = cavity[l][a.i0 - cavityRows[l].firstRow];
                cavBottom[l] = cavity[l][a.i1 - cavityRows[l].firstRow];
                cavV[l] = a.f;
            }
            int glowTop[kGlowLevels];
            int glowBottom[kGlowLevels];
            float glowV[kGlowLevels];
            for (int l = 0; l < kGlowLevels; ++l) {
                const Axis& a = glowRows[l].rows[ry];
                glowTop[l] = a.i0 - glowRows[l].firstRow;
                glowBottom[l] = a.i1 - glowRows[l].firstRow;
                glowV[l] = a.f;
            }

            const int32_t* dAbove = depth[ry + kBorderTop - 1];
            const int32_t* dHere = depth[ry + kBorderTop];
            uint8_t* out = reinterpret_cast<uint8_t*>(in.output) +
                           static_cast<std::ptrdiff_t>(y) * in.outputPitch +
                           static_cast<std::ptrdiff_t>(minX) * 4;
            const int32_t* dBelow = depth[ry + kBorderTop + 1];

            for (int v = 0; v < vectors; ++v) {
                const int cx = v * N;
                const VI mat = loadI(materialRow + cx);
                const VI dif = loadI(diffuseRow + cx);
                const VI mA = (mat >> 24) & 255;
                const VI lit = mA != 0;
                VI bytesR = dif & 255;
                VI bytesG = (dif >> 8) & 255;
                VI bytesB = (dif >> 16) & 255;

                if (T::any(lit)) {
                    const VI mR = mat & 255;
                    const VI mG = (mat >> 8) & 255;
                    const VI mB = (mat >> 16) & 255;

                    // Normal from a Sobel filter on depth.
                    const VI a0 = loadI(dAbove + cx), a1 = loadI(dAbove + cx + 1),
                             a2 = loadI(dAbove + cx + 2);
                    const VI h0 = loadI(dHere + cx), P = loadI(dHere + cx + 1),
                             h2 = loadI(dHere + cx + 2);
                    const VI b0 = loadI(dBelow + cx), b1 = loadI(dBelow + cx + 1),
                             b2 = loadI(dBelow + cx + 2);
                    const VF sx = toF((a0 + h0 + h0 + b0) - (a2 + h2 + h2 + b2));
                    const VF sy = toF((b0 + b1 + b1 + b2) - (a0 + a1 + a1 + a2));
                    const VF kn = 1.0f / T::sqrt(sx * sx + sy * sy + kNormalBias);
                    const VF nx = sx * kn;
                    const VF ny = sy * kn;
                    const VF nz = kNormalZ * kn;

                    const VF baseR = toF(bytesR) * kInv255;
                    const VF baseG = toF(bytesG) * kInv255;
                    const VF baseB = toF(bytesB) * kInv255;
                    const VF rough = toF(mR) * kInv255;
                    const VF metal = toF(mG) * kInv255;
                    const VF spec = toF(mB) * kInv255;

                    const VF vx0 = loadF(viewX + cx);
                    const VF kv = 1.0f / T::sqrt(vx0 * vx0 + vy * vy + 1.0f);
                    const VF vxn = vx0 * kv;
                    const VF vyn = vy * kv;
                    const VF vzn = kv;

                    // Ambient with cavity occlusion.
                    VF sum = VF{};
                    for (int l = 0; l < kCavityLevels; ++l) {
                        const float fv = cavV[l];
                        sum += (1.0f - fv) * loadF(cavTop[l] + cx) + fv * loadF(cavBottom[l] + cx);
                    }
                    const VF cav = toF(P) - 0.25f * sum;
                    VF occlusion =
                        select(cav < -kCavityRange, VF{}, (cav + kCavityRange) * kCavityScale);
                    occlusion = select(cav >= 0.0f, splat(1.0f), occlusion);
                    VF colR = baseR * in.ambientLight * occlusion;
                    VF colG = baseG * in.ambientLight * occlusion;
                    VF colB = baseB * in.ambientLight * occlusion;

                    // Key light, shadowed along a ray towards the upper right.
                    // Full visibility once the ray clears the surface, none below the
                    // fade range, linear between: a clamp, since the fade reaches exactly
                    // 1 at the surface and 0 at the range's end.
                    VF key = VF{};
                    const VI rayBase = P + static_cast<int32_t>(kShadowRange);
                    for (int k = 1; k <= kShadowSteps; ++k) {
                        const VI q = loadI(depth[ry + kBorderTop - k] + cx + kBorderLeft + k);
                        const VF fade = toF((rayBase + k) - q) * kShadowScale;
                        key += kShadow.w[k] * T::min(T::max(fade, VF{}), splat(1.0f));
                    }
                    const VF keyL = kKeyLightGain * key;
                    colR += baseR * in.light1Color[0] * keyL;
                    colG += baseG * in.light1Color[1] * keyL;
                    colB += baseB * in.light1Color[2] * keyL;

                    // Wrapped diffuse light.
                    const VF w = 0.24f - 0.5f * rough;
                    const VF ndl = nx * l2x + ny * l2y + nz * l2z;
                    const VF dl = (ndl * 0.5f + 0.5f - w) / (1.0f - w);
                    const VF dlOn = select(dl > 0.0f, dl, VF{});
                    colR += select(dl > 0.0f, baseR * in.light2Color[0] * dlOn, VF{});
                    colG += select(dl > 0.0f, baseG * in.light2Color[1] * dlOn, VF{});
                    colB += select(dl > 0.0f, baseB * in.light2Color[2] * dlOn, VF{});

                    // Phong specular light.
                    const VI specOn = (mB != 0) & lit;
                    if (T::any(specOn)) {
                        const VF nl = nx * l3x + ny * l3y + nz * l3z;
                        const VF twoNl = 2.0f * nl;
                        const VF rx = twoNl * nx - l3x;
                        const VF ryv = twoNl * ny - l3y;
                        const VF rz = twoNl * nz - l3z;
                        const VF rv = rx * vxn + ryv * vyn + rz * vzn;
                        const VI on = specOn & (rv > 0.001f);
                        if (T::any(on)) {
                            const VF expo = T::gatherF(in.exponentTable, mR);
                            const VF p = power(select(on, rv, splat(1.0f)), expo);
                            const VF f = p * (1.0f - rough) * 10.0f * (1.0f - 0.5f * metal);
                            const VI add = on & (f != 0.0f);
                            const VF amount = spec * f;
                            colR += select(add, baseR * in.light3Color[0] * amount, VF{});
                            colG += select(add, baseG * in.light3Color[1] * amount, VF{});
                            colB += select(add, baseB * in.light3Color[2] * amount, VF{});
                        }
                    }

                    // Skybox reflection on metal, blurred by curvature and roughness.
                    const VI skyOn = (mG != 0) & lit;
                    if (haveSky && T::any(skyOn)) {
                        const VF nv = nx * vxn + ny * vyn + nz * vzn;
                        const VF twoNv = 2.0f * nv;
                        const VF rvx = vxn - twoNv * nx;
                        const VF rvy = vyn - twoNv * ny;
                        const VF skyX = (0.5f - 0.5f * rvx) * (skyW - 1.0f) + 0.5f;
                        const VF skyY = (0.5f * rvy + 0.5f) * (skyH - 1.0f) + 0.5f;
                        const VI rowAbove = a0 + a1 + a2;
                        const VI rowHere = h0 + P + h2;
                        const VI rowBelow = b0 + b1 + b2;
                        const VI colLeft = a0 + h0 + b0;
                        const VI colHere = a1 + P + b1;
                        const VI colRight = a2 + h2 + b2;
                        const VF ddy = toF(rowAbove + rowBelow - (rowHere + rowHere)) / 256.0f;
                        const VF ddx = toF(colLeft + colRight - (colHere + colHere)) / 256.0f;
                        const VF q = 1.0f + (ddx * ddx + ddy * ddy) * skyW * skyH * kCurvatureScale;
                        const VF lod = 0.5f * log2Approx(q) + 6.0f * rough;
                        const VI lo = toI(lod);
                        const VF t = lod - toF(lo);
                        // Each lane blends its levels lo and lo + 1 (both clamped to
                        // the last). Neighbouring lanes mostly share levels, so each
                        // level in use is read once, by every lane that needs it.
                        const int last = in.skyLevels - 1;
                        const VI level0 = selectI(lo > last, splatI(last), lo);
                        const VI level1 = selectI(level0 + 1 > last, splatI(last), level0 + 1);
                        const VI blend = skyOn & (t != 0.0f);
                        int lowest = last, highest = 0;
                        for (int i = 0; i < N; ++i) {
                            if (!skyOn[i]) continue;
                            lowest = level0[i] < lowest ? level0[i] : lowest;
                            const int top = blend[i] ? level1[i] : level0[i];
                            highest = top > highest ? top : highest;
                        }
                        VF r0 = VF{}, g0 = VF{}, bl0 = VF{}, r1 = VF{}, g1 = VF{}, bl1 = VF{};
                        for (int l = lowest; l <= highest; ++l) {
                            const VI first = skyOn & (level0 == l);
                            const VI second = blend & (level1 == l);
                            const VI readers = first | second;
                            if (!T::any(readers)) continue;
                            VF sr, sg, sb;
                            sampleSky(in.sky[l], skyX, skyY, readers, sr, sg, sb);
                            r0 = select(first, sr, r0);
                            g0 = select(first, sg, g0);
                            bl0 = select(first, sb, bl0);
                            r1 = select(second, sr, r1);
                            g1 = select(second, sg, g1);
                            bl1 = select(second, sb, bl1);
                        }
                        const VF ti = 1.0f - t;
                        const VF sR = select(blend, ti * r0 + t * r1, r0);
                        const VF sG = select(blend, ti * g0 + t * g1, g0);
                        const VF sB = select(blend, ti * bl0 + t * bl1, bl0);
                        const VF factor = metal * kInv255 * in.skyboxAmount;
                        colR += select(skyOn, baseR * sR * factor, VF{});
                        colG += select(skyOn, baseG * sG * factor, VF{});
                        colB += select(skyOn, baseB * sB * factor, VF{});
                    }

                    // Glow from emissive pixels, read from the upper diffuse levels.
                    VF gR = VF{}, gG = VF{}, gB = VF{};
                    for (int l = 0; l < kGlowLevels; ++l) {
                        if (!glowLevelLit[l]) continue;
                        const float fv = glowV[l];
                        const float gv = 1.0f - fv;
                        const float wgt = kGlowWeights[l];
                        const VF sr = gv * loadF(glow[l][0][glowTop[l]] + cx) +
                                      fv * loadF(glow[l][0][glowBottom[l]] + cx);
                        const VF sg = gv * loadF(glow[l][1][glowTop[l]] + cx) +
                                      fv * loadF(glow[l][1][glowBottom[l]] + cx);
                        const VF sb = gv * loadF(glow[l][2][glowTop[l]] + cx) +
                                      fv * loadF(glow[l][2][glowBottom[l]] + cx);
                        gR += wgt * sr;
                        gG += wgt * sg;
                        gB += wgt * sb;
                    }
                    colR += gR;
                    colG += gG;
                    colB += gB;

                    // Physical amount: blend back towards the unlit base colour.
                    const VI partial = mA != 255;
                    const VF tp = 1.0f - toF(mA) * kInv255;
                    colR = select(partial, colR + (baseR - colR) * tp, colR);
                    colG = select(partial, colG + (baseG - colG) * tp, colG);
                    colB = select(partial, colB + (baseB - colB) * tp, colB);

                    const VF one = splat(1.0f);
                    bytesR = selectI(lit, toI(select(colR < one, colR, one) * 255.99f), bytesR);
                    bytesG = selectI(lit, toI(select(colG < one, colG, one) * 255.99f), bytesG);
                    bytesB = selectI(lit, toI(select(colB < one, colB, one) * 255.99f), bytesB);
                }
                // Curves and byte order in one step: each table holds the curve's
                // byte already shifted to its place in the output pixel.
                const VI pixel = T::gather32(in.curvePixels[0], bytesR * 4) |
                                 T::gather32(in.curvePixels[1], bytesG * 4) |
                                 T::gather32(in.curvePixels[2], bytesB * 4) | in.opaqueAlpha;
                const int count = bw - cx < N ? bw - cx : N;
                std::memcpy(out + cx * 4, &pixel, static_cast<size_t>(count) * 4);
            }
        }
    }
};

} // namespace
} // namespace corvid::compositor_detail
