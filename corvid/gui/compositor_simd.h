#pragma once
// The compositor's pixel kernel, written once over the lanes of corvid/simd. Each
// kernel source is built for its own instruction set and instantiates it with that
// set's lanes.
// Everything here has internal linkage so the differently compiled copies never
// meet at link time; for the same reason the kernel sources include no header
// with inline functions of external linkage.
//
// A block is lit in four stages, each writing its part of the worker's scratch:
//   depth    level 0 of the depth map around the block, with a border of clamped
//            pixels for the reads of neighbours (Sobel, shadow ray, curvature);
//   cavity   for depth levels 1..4, the horizontal half of the bilinear sample of
//            every source row the block touches;
//   glow     the same for diffuse levels 1..5, per colour channel;
//   lighting the pixels a vector at a time, written through the curves.
// Bilinear sampling is separable in exactly the order it is evaluated, so the
// lighting stage finishes each sample with one vertical blend of contiguous values
// and the results equal a direct per-pixel sample.

#include "corvid/core/compiler.h"
#include "corvid/gui/compositor_kernel.h"
#include "corvid/simd/scalar.h"

#include <cstdint>
#include <cstring>

namespace corvid::compositor_detail {
namespace {

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

inline void stageRows(const Level& level, int32_t minY, int blockHeight, StagedLevel& staged,
                      int& rowCount) {
    for (int r = 0; r < blockHeight; ++r)
        staged.rows[r] =
            sampleAxis(static_cast<float>(minY + r) + 0.5f, level.scale, level.plane.height);
    staged.firstRow = staged.rows[0].i0;
    rowCount = staged.rows[blockHeight - 1].i1 - staged.firstRow + 1;
}

// The block being lit: its corners in window pixels and its size.
struct Block {
    int32_t minX, minY, maxX, maxY;
    int width, height;
};

template <class T>
struct Kernel {
    using VF = typename T::VF;
    using VI = typename T::VI;
    static constexpr int N = T::lanes;
    static_assert(kBlockWidth % N == 0);
    static_assert(kBlockWidth / N <= kMaxVectorsPerRow);

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
    static VF toF(VI v) { return T::toFloat(v); }
    static VI toI(VF v) { return T::truncate(v); }
    // Every mask here is a whole comparison result, or made of them with & and ~, so
    // the lane sets may blend on the sign alone.
    static VF select(VI mask, VF a, VF b) { return T::blend(mask, a, b); }
    static VI selectI(VI mask, VI a, VI b) { return T::blendI(mask, a, b); }
    static VF keep(VI mask, VF a) { return T::keep(mask, a); }
    template <int k>
    static VF channel(VI pixels) {
        return toF(T::template byteOf<k>(pixels));
    }
    // Index of the lowest set bit of a non-zero lane mask.
    static int lowestLane(int bits) { return simd::lowestBit(static_cast<unsigned>(bits)); }

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
        // min and max keep their second operand where the comparison fails, NaN
        // included: the same as picking the bound only where y is beyond it.
        y = T::max(splat(-126.0f), y);
        y = T::min(splat(126.0f), y);
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
        u = T::min(splat(hi), u); // hi where u > hi
        u = keep(u >= 0.0f, u);   // also turns a NaN into 0
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
            p00 = T::gather(base, row0 + x0, lanes);
            p10 = T::gather(base, row0 + x1, lanes);
            p01 = T::gather(base, row1 + x0, lanes);
            p11 = T::gather(base, row1 + x1, lanes);
        }
        const VF gu = 1.0f - fu;
        const VF gv = 1.0f - fv;
        r = gv * (gu * channel<0>(p00) + fu * channel<0>(p10)) +
            fv * (gu * channel<0>(p01) + fu * channel<0>(p11));
        g = gv * (gu * channel<1>(p00) + fu * channel<1>(p10)) +
            fv * (gu * channel<1>(p01) + fu * channel<1>(p11));
        b = gv * (gu * channel<2>(p00) + fu * channel<2>(p10)) +
            fv * (gu * channel<2>(p01) + fu * channel<2>(p11));
    }

    // Where the taps of one vector of columns all fall among N neighbouring source
    // pixels (always so on the upper levels away from the edges), one contiguous read
    // and a lane permutation replace a gather. window[v] is the first of those pixels
    // or -1; rel0 and rel1 are the taps' positions inside the window.
    static void stageWindows(const StagedColumns& columns, int levelWidth, int* window,
                             int32_t* rel0, int32_t* rel1) {
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

    static void stageColumns(const Level& level, int32_t minX, StagedColumns& columns) {
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

    // Depth stage.
    static void stageDepth(const KernelInput& in, const Block& block, KernelScratch& s) {
        const int W = in.width;
        const int H = in.height;
        int columnX[kDepthStride];
        for (int c = 0; c < kDepthStride; ++c)
            columnX[c] = clampInt(block.minX - kBorderLeft + c, 0, W - 1);
        const Plane& d0 = in.depth[0].plane;
        const int firstX = block.minX - kBorderLeft;
        const bool inside = firstX >= 0 && firstX + kDepthStride <= W;
        for (int r = 0; r < block.height + kBorderTop + kBorderBottom; ++r) {
            const auto* src = reinterpret_cast<const uint16_t*>(
                rowBytes(d0, clampInt(block.minY - kBorderTop + r, 0, H - 1)));
            int32_t* dst = s.depth[r];
            if (inside)
                for (int c = 0; c < kDepthStride; ++c) dst[c] = src[firstX + c];
            else
                for (int c = 0; c < kDepthStride; ++c) dst[c] = src[columnX[c]];
        }
    }

    // Cavity stage.
    static void stageCavity(const KernelInput& in, const Block& block, KernelScratch& s) {
        StagedColumns& columns = s.columns;
        for (int l = 0; l < kCavityLevels; ++l) {
            const Level& level = in.depth[l + 1];
            int rows = 0;
            stageRows(level, block.minY, block.height, s.cavityRows[l], rows);
            stageColumns(level, block.minX, columns);
            const int lw = level.plane.width;
            if (lw < 2) {
                // One column: both taps are the same pixel.
                for (int r = 0; r < rows; ++r) {
                    const auto* src = reinterpret_cast<const uint16_t*>(
                        rowBytes(level.plane, s.cavityRows[l].firstRow + r));
                    for (int c = 0; c < kBlockWidth; ++c) {
                        const float f = columns.f[c];
                        s.cavity[l][r][c] = (1.0f - f) * static_cast<float>(src[columns.i0[c]]) +
                                            f * static_cast<float>(src[columns.i1[c]]);
                    }
                }
                continue;
            }
            // Both taps come from one 32-bit read of two neighbouring depth values; at
            // the right edge the read starts one pixel earlier so it never runs past
            // the row.
            for (int c = 0; c < kBlockWidth; ++c) {
                const int start = columns.i0[c] < lw - 2 ? columns.i0[c] : lw - 2;
                s.offset0[c] = start * 2;
                s.takeLow[c] = columns.i0[c] == start ? -1 : 0;
            }
            stageWindows(columns, lw, s.window, s.rel0, s.rel1);
            for (int r = 0; r < rows; ++r) {
                const uint8_t* src = rowBytes(level.plane, s.cavityRows[l].firstRow + r);
                float* dst = s.cavity[l][r];
                for (int c = 0, v = 0; c < kBlockWidth; c += N, ++v) {
                    VI p0, p1;
                    if (s.window[v] >= 0) {
                        const VI values = T::loadU16(src + s.window[v] * 2);
                        p0 = T::permute(values, loadI(s.rel0 + c));
                        p1 = T::permute(values, loadI(s.rel1 + c));
                    } else {
                        const VI pair = T::gather(src, loadI(s.offset0 + c));
                        p1 = (pair >> 16) & 0xFFFF;
                        p0 = selectI(loadI(s.takeLow + c), pair & 0xFFFF, p1);
                    }
                    const VF f = loadF(columns.f + c);
                    storeF(dst + c, (1.0f - f) * toF(p0) + f * toF(p1));
                }
            }
        }
    }

    // Glow stage.
    static void stageGlow(const KernelInput& in, const Block& block, KernelScratch& s) {
        StagedColumns& columns = s.columns;
        for (int l = 0; l < kGlowLevels; ++l) {
            const Level& level = in.glow[l + 1];
            int rows = 0;
            stageRows(level, block.minY, block.height, s.glowRows[l], rows);
            stageColumns(level, block.minX, columns);
            for (int c = 0; c < kBlockWidth; ++c) {
                s.offset0[c] = columns.i0[c] * 4;
                s.offset1[c] = columns.i1[c] * 4;
            }
            stageWindows(columns, level.plane.width, s.window, s.rel0, s.rel1);
            VI emitted = VI{};
            for (int r = 0; r < rows; ++r) {
                const uint8_t* src = rowBytes(level.plane, s.glowRows[l].firstRow + r);
                for (int c = 0, v = 0; c < kBlockWidth; c += N, ++v) {
                    VI p0, p1;
                    if (s.window[v] >= 0) {
                        const VI run = loadI(reinterpret_cast<const int32_t*>(src) + s.window[v]);
                        p0 = T::permute(run, loadI(s.rel0 + c));
                        p1 = T::permute(run, loadI(s.rel1 + c));
                    } else {
                        p0 = T::gather(src, loadI(s.offset0 + c));
                        p1 = T::gather(src, loadI(s.offset1 + c));
                    }
                    emitted |= (p0 | p1) & 0xFFFFFF;
                    const VF f = loadF(columns.f + c);
                    const VF g = 1.0f - f;
                    storeF(s.glow[l][0][r] + c, g * channel<0>(p0) + f * channel<0>(p1));
                    storeF(s.glow[l][1][r] + c, g * channel<1>(p0) + f * channel<1>(p1));
                    storeF(s.glow[l][2][r] + c, g * channel<2>(p0) + f * channel<2>(p1));
                }
            }
            s.glowLevelLit[l] = T::any(emitted != 0);
        }
    }

    // ---- Lighting stage ----

    struct Colour {
        VF r, g, b;
    };

    // The staged values one row of the block reads: the depth rows around it and,
    // per upper level, the two staged source rows and the blend between them.
    struct Row {
        int y;
        float viewY;
        const int32_t* depthAbove;
        const int32_t* depthHere;
        const int32_t* depthBelow;
        int depthRow; // row of depthHere in the staged depth
        const float* cavityTop[kCavityLevels];
        const float* cavityBottom[kCavityLevels];
        float cavityBlend[kCavityLevels];
        int glowTop[kGlowLevels];
        int glowBottom[kGlowLevels];
        float glowBlend[kGlowLevels];
    };

    // What the terms of one vector of lit pixels share.
    struct Surface {
        VI lit; // lanes with a physical amount above 0
        VI mR, mG, mB, mA;
        Colour base;
        VF rough, metal, spec;
        // Depth around the pixels: rows above (a), here (h) and below (b); P = h1.
        VI a0, a1, a2, h0, P, h2, b0, b1, b2;
        VF nx, ny, nz; // surface normal
        VF vx, vy, vz; // view vector
    };

    // Normal from a Sobel filter on depth.
    static CORVID_ALWAYS_INLINE void normal(Surface& p) {
        const VF sx = toF((p.a0 + p.h0 + p.h0 + p.b0) - (p.a2 + p.h2 + p.h2 + p.b2));
        const VF sy = toF((p.b0 + p.b1 + p.b1 + p.b2) - (p.a0 + p.a1 + p.a1 + p.a2));
        const VF kn = 1.0f / T::sqrt(sx * sx + sy * sy + kNormalBias);
        p.nx = sx * kn;
        p.ny = sy * kn;
        p.nz = kNormalZ * kn;
    }

    // Ambient light, darkened where the surface lies below its blurred surroundings.
    static CORVID_ALWAYS_INLINE Colour ambient(const KernelInput& in, const Surface& p,
                                               const Row& row, int cx) {
        VF sum = VF{};
        for (int l = 0; l < kCavityLevels; ++l) {
            const float fv = row.cavityBlend[l];
            sum +=
                (1.0f - fv) * loadF(row.cavityTop[l] + cx) + fv * loadF(row.cavityBottom[l] + cx);
        }
        const VF cav = toF(p.P) - 0.25f * sum;
        VF occlusion = select(cav < -kCavityRange, VF{}, (cav + kCavityRange) * kCavityScale);
        occlusion = select(cav >= 0.0f, splat(1.0f), occlusion);
        return {p.base.r * in.ambientLight * occlusion, p.base.g * in.ambientLight * occlusion,
                p.base.b * in.ambientLight * occlusion};
    }

    // Key light, shadowed along a ray towards the upper right. Full visibility once
    // the ray clears the surface, none below the fade range, linear between: a
    // clamp, since the fade reaches exactly 1 at the surface and 0 at the range's end.
    static CORVID_ALWAYS_INLINE void keyLight(const KernelInput& in, const KernelScratch& s,
                                              const Surface& p, const Row& row, int cx,
                                              Colour& col) {
        VF key = VF{};
        const VI rayBase = p.P + static_cast<int32_t>(kShadowRange);
        for (int k = 1; k <= kShadowSteps; ++k) {
            const VI q = loadI(s.depth[row.depthRow - k] + cx + kBorderLeft + k);
            const VF fade = toF((rayBase + k) - q) * kShadowScale;
            key += kShadow.w[k] * T::min(T::max(fade, VF{}), splat(1.0f));
        }
        const VF keyL = kKeyLightGain * key;
        col.r += p.base.r * in.light1Color[0] * keyL;
        col.g += p.base.g * in.light1Color[1] * keyL;
        col.b += p.base.b * in.light1Color[2] * keyL;
    }

    // Wrapped diffuse light: rough surfaces take light further round.
    static CORVID_ALWAYS_INLINE void diffuseLight(const KernelInput& in, const Surface& p,
                                                  Colour& col) {
        const VF w = 0.24f - 0.5f * p.rough;
        const VF ndl = p.nx * in.light2Dir[0] + p.ny * in.light2Dir[1] + p.nz * in.light2Dir[2];
        const VF dl = (ndl * 0.5f + 0.5f - w) / (1.0f - w);
        const VI facing = dl > 0.0f;
        const VF dlOn = keep(facing, dl);
        col.r += keep(facing, p.base.r * in.light2Color[0] * dlOn);
        col.g += keep(facing, p.base.g * in.light2Color[1] * dlOn);
        col.b += keep(facing, p.base.b * in.light2Color[2] * dlOn);
    }

    // Phong highlight on specular pixels.
    static CORVID_ALWAYS_INLINE void specularLight(const KernelInput& in, const Surface& p,
                                                   Colour& col) {
        const VI specOn = (p.mB != 0) & p.lit;
        if (!T::any(specOn)) return;
        const float l3x = in.light3Dir[0], l3y = in.light3Dir[1], l3z = in.light3Dir[2];
        const VF nl = p.nx * l3x + p.ny * l3y + p.nz * l3z;
        const VF twoNl = 2.0f * nl;
        const VF rx = twoNl * p.nx - l3x;
        const VF ryv = twoNl * p.ny - l3y;
        const VF rz = twoNl * p.nz - l3z;
        const VF rv = rx * p.vx + ryv * p.vy + rz * p.vz;
        const VI on = specOn & (rv > 0.001f);
        if (!T::any(on)) return;
        const VF expo = T::gatherF(in.exponentTable, p.mR);
        const VF pw = power(select(on, rv, splat(1.0f)), expo);
        const VF f = pw * (1.0f - p.rough) * 10.0f * (1.0f - 0.5f * p.metal);
        const VI add = on & (f != 0.0f);
        const VF amount = p.spec * f;
        col.r += keep(add, p.base.r * in.light3Color[0] * amount);
        col.g += keep(add, p.base.g * in.light3Color[1] * amount);
        col.b += keep(add, p.base.b * in.light3Color[2] * amount);
    }

    // Skybox reflection on metal, blurred by curvature and roughness.
    static CORVID_ALWAYS_INLINE void skyReflection(const KernelInput& in, const Surface& p,
                                                   Colour& col) {
        const VI skyOn = (p.mG != 0) & p.lit;
        if (in.skyLevels == 0 || !T::any(skyOn)) return;
        const float skyW = static_cast<float>(in.sky[0].plane.width);
        const float skyH = static_cast<float>(in.sky[0].plane.height);
        const VF nv = p.nx * p.vx + p.ny * p.vy + p.nz * p.vz;
        const VF twoNv = 2.0f * nv;
        const VF rvx = p.vx - twoNv * p.nx;
        const VF rvy = p.vy - twoNv * p.ny;
        const VF skyX = (0.5f - 0.5f * rvx) * (skyW - 1.0f) + 0.5f;
        const VF skyY = (0.5f * rvy + 0.5f) * (skyH - 1.0f) + 0.5f;
        const VI rowAbove = p.a0 + p.a1 + p.a2;
        const VI rowHere = p.h0 + p.P + p.h2;
        const VI rowBelow = p.b0 + p.b1 + p.b2;
        const VI colLeft = p.a0 + p.h0 + p.b0;
        const VI colHere = p.a1 + p.P + p.b1;
        const VI colRight = p.a2 + p.h2 + p.b2;
        const VF ddy = toF(rowAbove + rowBelow - (rowHere + rowHere)) / 256.0f;
        const VF ddx = toF(colLeft + colRight - (colHere + colHere)) / 256.0f;
        const VF q = 1.0f + (ddx * ddx + ddy * ddy) * skyW * skyH * kCurvatureScale;
        const VF lod = 0.5f * log2Approx(q) + 6.0f * p.rough;
        const VI lo = toI(lod);
        const VF t = lod - toF(lo);
        // Each lane blends its levels lo and lo + 1 (both clamped to the last).
        // Neighbouring lanes mostly share levels, so each level in use is read once,
        // by every lane that needs it.
        const int last = in.skyLevels - 1;
        const VI level0 = selectI(lo > last, splatI(last), lo);
        const VI level1 = selectI(level0 + 1 > last, splatI(last), level0 + 1);
        const VI blend = skyOn & (t != 0.0f);
        // Each level in use is sampled once, for every lane that reads it: the level
        // of the first lane still waiting is taken next. Vector masks pick the lanes,
        // so the cost follows the levels in use rather than the lanes.
        VF r0 = VF{}, g0 = VF{}, bl0 = VF{}, r1 = VF{}, g1 = VF{}, bl1 = VF{};
        VI firstPending = skyOn, secondPending = blend;
        for (;;) {
            const int waitingFirst = T::mask(firstPending);
            const int waitingSecond = T::mask(secondPending);
            if ((waitingFirst | waitingSecond) == 0) break;
            const int l = waitingFirst != 0 ? level0[lowestLane(waitingFirst)]
                                            : level1[lowestLane(waitingSecond)];
            const VI first = firstPending & (level0 == l);
            const VI second = secondPending & (level1 == l);
            VF sr, sg, sb;
            sampleSky(in.sky[l], skyX, skyY, first | second, sr, sg, sb);
            r0 = select(first, sr, r0);
            g0 = select(first, sg, g0);
            bl0 = select(first, sb, bl0);
            r1 = select(second, sr, r1);
            g1 = select(second, sg, g1);
            bl1 = select(second, sb, bl1);
            firstPending &= ~first;
            secondPending &= ~second;
        }
        const VF ti = 1.0f - t;
        const VF sR = select(blend, ti * r0 + t * r1, r0);
        const VF sG = select(blend, ti * g0 + t * g1, g0);
        const VF sB = select(blend, ti * bl0 + t * bl1, bl0);
        const VF factor = p.metal * kInv255 * in.skyboxAmount;
        col.r += keep(skyOn, p.base.r * sR * factor);
        col.g += keep(skyOn, p.base.g * sG * factor);
        col.b += keep(skyOn, p.base.b * sB * factor);
    }

    // Glow from emissive pixels, read from the upper diffuse levels; not tinted by
    // the surface.
    static CORVID_ALWAYS_INLINE void glowLight(const KernelScratch& s, const Row& row, int cx,
                                               Colour& col) {
        VF gR = VF{}, gG = VF{}, gB = VF{};
        for (int l = 0; l < kGlowLevels; ++l) {
            if (!s.glowLevelLit[l]) continue;
            const float fv = row.glowBlend[l];
            const float gv = 1.0f - fv;
            const float wgt = kGlowWeights[l];
            const VF sr = gv * loadF(s.glow[l][0][row.glowTop[l]] + cx) +
                          fv * loadF(s.glow[l][0][row.glowBottom[l]] + cx);
            const VF sg = gv * loadF(s.glow[l][1][row.glowTop[l]] + cx) +
                          fv * loadF(s.glow[l][1][row.glowBottom[l]] + cx);
            const VF sb = gv * loadF(s.glow[l][2][row.glowTop[l]] + cx) +
                          fv * loadF(s.glow[l][2][row.glowBottom[l]] + cx);
            gR += wgt * sr;
            gG += wgt * sg;
            gB += wgt * sb;
        }
        col.r += gR;
        col.g += gG;
        col.b += gB;
    }

    // Physical amount: blend back towards the unlit base colour.
    static CORVID_ALWAYS_INLINE void physicalAmount(const Surface& p, Colour& col) {
        const VI partial = p.mA != 255;
        const VF tp = 1.0f - toF(p.mA) * kInv255;
        col.r = select(partial, col.r + (p.base.r - col.r) * tp, col.r);
        col.g = select(partial, col.g + (p.base.g - col.g) * tp, col.g);
        col.b = select(partial, col.b + (p.base.b - col.b) * tp, col.b);
    }

    static CORVID_ALWAYS_INLINE VI toByte(VF channelValue) {
        // min keeps 1 where channelValue < 1 fails, NaN included.
        return toI(T::min(channelValue, splat(1.0f)) * 255.99f);
    }

    // Lights one vector of pixels whose material and diffuse values are given and
    // replaces the lit lanes' bytes.
    static CORVID_ALWAYS_INLINE void lightPixels(const KernelInput& in, const KernelScratch& s,
                                                 const Row& row, int cx, VI mat, VI lit, VI& bytesR,
                                                 VI& bytesG, VI& bytesB) {
        Surface p;
        p.lit = lit;
        p.mR = T::template byteOf<0>(mat);
        p.mG = T::template byteOf<1>(mat);
        p.mB = T::template byteOf<2>(mat);
        p.mA = T::template byteOf<3>(mat);
        p.a0 = loadI(row.depthAbove + cx);
        p.a1 = loadI(row.depthAbove + cx + 1);
        p.a2 = loadI(row.depthAbove + cx + 2);
        p.h0 = loadI(row.depthHere + cx);
        p.P = loadI(row.depthHere + cx + 1);
        p.h2 = loadI(row.depthHere + cx + 2);
        p.b0 = loadI(row.depthBelow + cx);
        p.b1 = loadI(row.depthBelow + cx + 1);
        p.b2 = loadI(row.depthBelow + cx + 2);
        normal(p);
        p.base = {toF(bytesR) * kInv255, toF(bytesG) * kInv255, toF(bytesB) * kInv255};
        p.rough = toF(p.mR) * kInv255;
        p.metal = toF(p.mG) * kInv255;
        p.spec = toF(p.mB) * kInv255;
        const VF vx0 = loadF(s.viewX + cx);
        const VF kv = 1.0f / T::sqrt(vx0 * vx0 + row.viewY * row.viewY + 1.0f);
        p.vx = vx0 * kv;
        p.vy = row.viewY * kv;
        p.vz = kv;

        Colour col = ambient(in, p, row, cx);
        keyLight(in, s, p, row, cx, col);
        diffuseLight(in, p, col);
        specularLight(in, p, col);
        skyReflection(in, p, col);
        glowLight(s, row, cx, col);
        physicalAmount(p, col);
        bytesR = selectI(lit, toByte(col.r), bytesR);
        bytesG = selectI(lit, toByte(col.g), bytesG);
        bytesB = selectI(lit, toByte(col.b), bytesB);
    }

    static Row rowOf(const KernelInput& in, const KernelScratch& s, const Block& block, int ry) {
        Row row;
        row.y = block.minY + ry;
        row.viewY = static_cast<float>(row.y) / static_cast<float>(in.height) - 0.5f;
        row.depthRow = ry + kBorderTop;
        row.depthAbove = s.depth[row.depthRow - 1];
        row.depthHere = s.depth[row.depthRow];
        row.depthBelow = s.depth[row.depthRow + 1];
        for (int l = 0; l < kCavityLevels; ++l) {
            const Axis& a = s.cavityRows[l].rows[ry];
            row.cavityTop[l] = s.cavity[l][a.i0 - s.cavityRows[l].firstRow];
            row.cavityBottom[l] = s.cavity[l][a.i1 - s.cavityRows[l].firstRow];
            row.cavityBlend[l] = a.f;
        }
        for (int l = 0; l < kGlowLevels; ++l) {
            const Axis& a = s.glowRows[l].rows[ry];
            row.glowTop[l] = a.i0 - s.glowRows[l].firstRow;
            row.glowBottom[l] = a.i1 - s.glowRows[l].firstRow;
            row.glowBlend[l] = a.f;
        }
        return row;
    }

    // Lighting stage.
    static void light(const KernelInput& in, const Block& block, KernelScratch& s) {
        const int bw = block.width;
        const int vectors = (bw + N - 1) / N;
        for (int c = 0; c < kBlockWidth; ++c)
            s.viewX[c] = 0.5f - static_cast<float>(block.minX + c) / static_cast<float>(in.width);

        for (int ry = 0; ry < block.height; ++ry) {
            const Row row = rowOf(in, s, block, ry);
            const auto* mat =
                reinterpret_cast<const int32_t*>(rowBytes(in.material, row.y)) + block.minX;
            const auto* dif =
                reinterpret_cast<const int32_t*>(rowBytes(in.glow[0].plane, row.y)) + block.minX;
            uint8_t* out = reinterpret_cast<uint8_t*>(in.output) +
                           static_cast<std::ptrdiff_t>(row.y) * in.outputPitch +
                           static_cast<std::ptrdiff_t>(block.minX) * 4;

            for (int v = 0; v < vectors; ++v) {
                const int cx = v * N;
                const int count = bw - cx < N ? bw - cx : N;
                // Whole vectors are read from the maps and written to the window in
                // place. Fixed sizes let the compiler use plain vector moves: a copy
                // of variable length is a library call, and its wide reload of a
                // vector just spilled stalls on store forwarding.
                VI matV, difV;
                if (count == N) {
                    matV = loadI(mat + cx);
                    difV = loadI(dif + cx);
                } else {
                    // A row's tail: lanes past the block edge compute harmless values
                    // from zeros and are not written.
                    for (int i = 0; i < N; ++i) {
                        s.materialRow[i] = i < count ? mat[cx + i] : 0;
                        s.diffuseRow[i] = i < count ? dif[cx + i] : 0;
                    }
                    matV = loadI(s.materialRow);
                    difV = loadI(s.diffuseRow);
                }
                // Unlit pixels (no physical amount) keep their diffuse bytes.
                const VI lit = T::template byteOf<3>(matV) != 0;
                VI bytesR = T::template byteOf<0>(difV);
                VI bytesG = T::template byteOf<1>(difV);
                VI bytesB = T::template byteOf<2>(difV);
                if (T::any(lit)) lightPixels(in, s, row, cx, matV, lit, bytesR, bytesG, bytesB);
                // Curves and byte order in one step. Lanes that can look bytes up by
                // permutation shift each curve byte into its place; the others gather
                // from tables whose entries are already shifted there.
                VI pixel;
                if constexpr (requires { T::lookupByte(in.curveBytes[0], bytesR); }) {
                    pixel = (T::lookupByte(in.curveBytes[0], bytesR) << in.curveShift[0]) |
                            (T::lookupByte(in.curveBytes[1], bytesG) << in.curveShift[1]) |
                            (T::lookupByte(in.curveBytes[2], bytesB) << in.curveShift[2]) |
                            in.opaqueAlpha;
                } else {
                    pixel = T::gather(in.curvePixels[0], bytesR * 4) |
                            T::gather(in.curvePixels[1], bytesG * 4) |
                            T::gather(in.curvePixels[2], bytesB * 4) | in.opaqueAlpha;
                }
                if (count == N) {
                    std::memcpy(out + cx * 4, &pixel, sizeof pixel);
                } else {
                    for (int i = 0; i < count; ++i) {
                        const int32_t word = pixel[i];
                        std::memcpy(out + (cx + i) * 4, &word, 4);
                    }
                }
            }
        }
    }

    static void run(const KernelInput& in, KernelScratch& scratch, int32_t minX, int32_t minY,
                    int32_t maxX, int32_t maxY) {
        const Block block{minX, minY, maxX, maxY, maxX - minX, maxY - minY};
        stageDepth(in, block, scratch);
        stageCavity(in, block, scratch);
        stageGlow(in, block, scratch);
        light(in, block, scratch);
    }
};

} // namespace
} // namespace corvid::compositor_detail
