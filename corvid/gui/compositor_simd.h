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
    if (u < 0.0f) u = 0.0f;
    Axis a;
    a.i0 = static_cast<int>(u);
    a.f = u - static_cast<float>(a.i0);
    a.i1 = a.i0 + 1 > size - 1 ? size - 1 : a.i0 + 1;
    return a;
}

inline const uint8_t* rowBytes(const Plane& p, int y) {
    return reinterpret_cast<const uint8_t*>(p.pixels) + static_cast<std::ptrdiff_t>(y) * p.pitch;
}

// Direct bilinear RGB sample of an RGBA level (the skybox, whose sample points
// depend on the surface and cannot be staged).
inline void sampleRGB(const Level& level, float px, float py, float out[3]) {
    const Axis ax = sampleAxis(px, level.scale, level.plane.width);
    const Axis ay = sampleAxis(py, level.scale, level.plane.height);
    const uint8_t* r0 = rowBytes(level.plane, ay.i0);
    const uint8_t* r1 = rowBytes(level.plane, ay.i1);
    const float gu = 1.0f - ax.f;
    const float gv = 1.0f - ay.f;
    for (int c = 0; c < 3; ++c) {
        const float top = gu * static_cast<float>(r0[ax.i0 * 4 + c]) +
                          ax.f * static_cast<float>(r0[ax.i1 * 4 + c]);
        const float bottom = gu * static_cast<float>(r1[ax.i0 * 4 + c]) +
                             ax.f * static_cast<float>(r1[ax.i1 * 4 + c]);
        out[c] = gv * top + ay.f * bottom;
    }
}

// The horizontal half of the bilinear samples one level contributes to a block.
struct StagedLevel {
    int firstRow = 0;
    Axis rows[kBlockHeight];
};

inline void stageAxes(const Level& level, int32_t minX, int32_t minY, int blockHeight,
                      Axis* columns, StagedLevel& staged, int& rowCount) {
    for (int c = 0; c < kBlockWidth; ++c)
        columns[c] =
            sampleAxis(static_cast<float>(minX + c) + 0.5f, level.scale, level.plane.width);
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
            for (int r = 0; r < bh + kBorderTop + kBorderBottom; ++r) {
                const auto* src = reinterpret_cast<const uint16_t*>(
                    rowBytes(d0, clampInt(minY - kBorderTop + r, 0, H - 1)));
                for (int c = 0; c < kDepthStride; ++c) depth[r][c] = src[columnX[c]];
            }
        }

        // Horizontal halves of the cavity and glow samples.
        alignas(64) float cavity[kCavityLevels][kLevelRows][kBlockWidth];
        alignas(64) float glow[kGlowLevels][3][kLevelRows][kBlockWidth];
        StagedLevel cavityRows[kCavityLevels];
        StagedLevel glowRows[kGlowLevels];
        {
            Axis columns[kBlockWidth];
            for (int l = 0; l < kCavityLevels; ++l) {
                const Level& level = in.depth[l + 1];
                int rows = 0;
                stageAxes(level, minX, minY, bh, columns, cavityRows[l], rows);
                for (int r = 0; r < rows; ++r) {
                    const auto* src = reinterpret_cast<const uint16_t*>(
                        rowBytes(level.plane, cavityRows[l].firstRow + r));
                    float* dst = cavity[l][r];
                    for (int c = 0; c < kBlockWidth; ++c) {
                        const Axis& a = columns[c];
                        dst[c] = (1.0f - a.f) * static_cast<float>(src[a.i0]) +
                                 a.f * static_cast<float>(src[a.i1]);
                    }
                }
            }
            for (int l = 0; l < kGlowLevels; ++l) {
                const Level& level = in.glow[l + 1];
                int rows = 0;
                stageAxes(level, minX, minY, bh, columns, glowRows[l], rows);
                for (int r = 0; r < rows; ++r) {
                    const uint8_t* src = rowBytes(level.plane, glowRows[l].firstRow + r);
                    float* dr = glow[l][0][r];
                    float* dg = glow[l][1][r];
                    float* db = glow[l][2][r];
                    for (int c = 0; c < kBlockWidth; ++c) {
                        const Axis& a = columns[c];
                        const float g = 1.0f - a.f;
                        const uint8_t* p0 = src + a.i0 * 4;
                        const uint8_t* p1 = src + a.i1 * 4;
                        dr[c] = g * static_cast<float>(p0[0]) + a.f * static_cast<float>(p1[0]);
                        dg[c] = g * static_cast<float>(p0[1]) + a.f * static_cast<float>(p1[1]);
                        db[c] = g * static_cast<float>(p0[2]) + a.f * static_cast<float>(p1[2]);
                    }
                }
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
        alignas(64) int32_t outR[kBlockWidth], outG[kBlockWidth], outB[kBlockWidth];

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
                    VF key = VF{};
                    for (int k = 1; k <= kShadowSteps; ++k) {
                        const VI q = loadI(depth[ry + kBorderTop - k] + cx + kBorderLeft + k);
                        const VI e = P + k - q;
                        VF vis = toF(e + static_cast<int32_t>(kShadowRange)) * kShadowScale;
                        vis = select(e >= 0, splat(1.0f), vis);
                        key += select(e < -static_cast<int32_t>(kShadowRange), VF{},
                                      kShadow.w[k] * vis);
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
                        alignas(64) float sR[N], sG[N], sB[N];
                        for (int i = 0; i < N; ++i) {
                            if (!skyOn[i]) {
                                sR[i] = sG[i] = sB[i] = 0.0f;
                                continue;
                            }
                            const int last = in.skyLevels - 1;
                            const int l0 = lo[i] > last ? last : lo[i];
                            const int l1 = lo[i] + 1 > last ? last : lo[i] + 1;
                            float s0[3];
                            sampleRGB(in.sky[l0], skyX[i], skyY[i], s0);
                            if (t[i] != 0.0f) {
                                float s1[3];
                                sampleRGB(in.sky[l1], skyX[i], skyY[i], s1);
                                const float ti = t[i];
                                for (int c = 0; c < 3; ++c)
                                    s0[c] = (1.0f - ti) * s0[c] + ti * s1[c];
                            }
                            sR[i] = s0[0];
                            sG[i] = s0[1];
                            sB[i] = s0[2];
                        }
                        const VF factor = metal * kInv255 * in.skyboxAmount;
                        colR += select(skyOn, baseR * loadF(sR) * factor, VF{});
                        colG += select(skyOn, baseG * loadF(sG) * factor, VF{});
                        colB += select(skyOn, baseB * loadF(sB) * factor, VF{});
                    }

                    // Glow from emissive pixels, read from the upper diffuse levels.
                    VF gR = VF{}, gG = VF{}, gB = VF{};
                    for (int l = 0; l < kGlowLevels; ++l) {
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
                std::memcpy(outR + cx, &bytesR, sizeof bytesR);
                std::memcpy(outG + cx, &bytesG, sizeof bytesG);
                std::memcpy(outB + cx, &bytesB, sizeof bytesB);
            }

            // Curves and byte order.
            const uint8_t* red = in.curves;
            const uint8_t* green = in.curves + 256;
            const uint8_t* blue = in.curves + 512;
            uint8_t* out = reinterpret_cast<uint8_t*>(in.output) +
                           static_cast<std::ptrdiff_t>(y) * in.outputPitch +
                           static_cast<std::ptrdiff_t>(minX) * 4;
            for (int c = 0; c < bw; ++c) {
                const uint8_t r = red[outR[c]];
                const uint8_t g = green[outG[c]];
                const uint8_t b = blue[outB[c]];
                uint8_t* px = out + c * 4;
                if (in.pixelFormat == 0) {
                    px[0] = b, px[1] = g, px[2] = r, px[3] = 255;
                } else if (in.pixelFormat == 1) {
                    px[0] = 255, px[1] = r, px[2] = g, px[3] = b;
                } else {
                    px[0] = r, px[1] = g, px[2] = b, px[3] = 255;
                }
            }
        }
    }
};

} // namespace
} // namespace corvid::compositor_detail
