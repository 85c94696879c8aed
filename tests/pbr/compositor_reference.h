#pragma once
// Plain per-pixel lighting, written straight from the arithmetic of each step with
// no staging or vectors. The fast kernels are checked against it.

#include "corvid/gui/compositor.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace pbrtest {

using namespace corvid;

inline int clampi(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// Lit (R, G, B) bytes of one pixel before the curves; unlit pixels give the diffuse bytes.
inline void referencePixel(const PBRCompositor& comp, int x, int y, const Mipmap<RGBA>& diffuse,
                           const Mipmap<RGBA>& material, const Mipmap<L16>& depth,
                           const Mipmap<RGBA>& sky, uint8_t out[3]) {
    const OwnedImage<RGBA>& dif0 = diffuse.level(0);
    const OwnedImage<L16>& dep0 = depth.level(0);
    const int W = dif0.width(), H = dif0.height();
    const RGBA mat = material.level(0).pixelAt(x, y);
    const RGBA dif = dif0.pixelAt(x, y);
    if (mat.a == 0) {
        out[0] = dif.r, out[1] = dif.g, out[2] = dif.b;
        return;
    }
    auto d = [&](int i, int j) -> int {
        return dep0.pixelAt(clampi(i, 0, W - 1), clampi(j, 0, H - 1)).l;
    };
    const int P = d(x, y);
    const float k255 = 0.003921568859368563f;

    const int sx = (d(x - 1, y - 1) + 2 * d(x - 1, y) + d(x - 1, y + 1)) -
                   (d(x + 1, y - 1) + 2 * d(x + 1, y) + d(x + 1, y + 1));
    const int sy = (d(x - 1, y + 1) + 2 * d(x, y + 1) + d(x + 1, y + 1)) -
                   (d(x - 1, y - 1) + 2 * d(x, y - 1) + d(x + 1, y - 1));
    const float fsx = float(sx), fsy = float(sy);
    const float kn = 1.0f / std::sqrt(fsx * fsx + fsy * fsy + 1378059392.0f);
    const float N[3] = {fsx * kn, fsy * kn, 37122.22265625f * kn};

    const float base[3] = {float(dif.r) * k255, float(dif.g) * k255, float(dif.b) * k255};
    const float r = float(mat.r) * k255, m = float(mat.g) * k255, s = float(mat.b) * k255;

    const float vx = 0.5f - float(x) / float(W), vy = float(y) / float(H) - 0.5f;
    const float kv = 1.0f / std::sqrt(vx * vx + vy * vy + 1.0f);
    const float V[3] = {vx * kv, vy * kv, kv};

    float sum = 0.0f;
    for (int l = 1; l <= 4; ++l) sum += depth.sampleBilinear(l, float(x) + 0.5f, float(y) + 0.5f);
    const float c = float(P) - 0.25f * sum;
    const float occlusion =
        c >= 0.0f ? 1.0f : (c < -23040.0f ? 0.0f : (c + 23040.0f) * 4.340277882874943e-05f);
    float col[3];
    for (int i = 0; i < 3; ++i) col[i] = base[i] * comp.ambientLight * occlusion;

    float key = 0.0f;
    double weight = 1.0;
    for (int k = 1; k <= 10; ++k) {
        weight *= 0.78;
        const int e = P + k - d(std::min(x + k, W - 1), std::max(y - k, 0));
        if (e < -15360) continue;
        const float vis = e >= 0 ? 1.0f : float(e + 15360) * 6.510417006211355e-05f;
        key += float(weight) * vis;
    }
    const float L = 0.307700514793396f * key;
    for (int i = 0; i < 3; ++i) col[i] += base[i] * comp.light1Color[size_t(i)] * L;

    const auto& l2 = comp.light2Dir;
    const float w = 0.24f - 0.5f * r;
    const float dl = ((N[0] * l2[0] + N[1] * l2[1] + N[2] * l2[2]) * 0.5f + 0.5f - w) / (1.0f - w);
    if (dl > 0.0f)
        for (int i = 0; i < 3; ++i) col[i] += base[i] * comp.light2Color[size_t(i)] * dl;

    if (s != 0.0f) {
        const auto& l3 = comp.light3Dir;
        const float nl = N[0] * l3[0] + N[1] * l3[1] + N[2] * l3[2];
        const float R[3] = {2.0f * nl * N[0] - l3[0], 2.0f * nl * N[1] - l3[1],
                            2.0f * nl * N[2] - l3[2]};
        const float rv = R[0] * V[0] + R[1] * V[1] + R[2] * V[2];
        if (rv > 0.001f) {
            const float p = float(std::pow(double(rv), double(comp.exponentTable()[mat.r])));
            const float f = p * (1.0f - r) * 10.0f * (1.0f - 0.5f * m);
            if (f != 0.0f)
                for (int i = 0; i < 3; ++i)
                    col[i] += base[i] * comp.light3Color[size_t(i)] * (s * f);
        }
    }

    if (m != 0.0f && sky.levelCount() > 0) {
        const float nv = N[0] * V[0] + N[1] * V[1] + N[2] * V[2];
        const float Rv[3] = {V[0] - 2.0f * nv * N[0], V[1] - 2.0f * nv * N[1]};
        const float SW = float(sky.level(0).width()), SH = float(sky.level(0).height());
        const float skx = (0.5f - 0.5f * Rv[0]) * (SW - 1.0f) + 0.5f;
        const float sky_ = (0.5f * Rv[1] + 0.5f) * (SH - 1.0f) + 0.5f;
        auto row = [&](int j) { return d(x - 1, j) + d(x, j) + d(x + 1, j); };
        auto column = [&](int i) { return d(i, y - 1) + d(i, y) + d(i, y + 1); };
        const float ddy = float(row(y - 1) + row(y + 1) - 2 * row(y)) / 256.0f;
        const float ddx = float(column(x - 1) + column(x + 1) - 2 * column(x)) / 256.0f;
        const float q = 1.0f + (ddx * ddx + ddy * ddy) * SW * SH * 9.999999747378752e-06f;
        uint32_t bits;
        std::memcpy(&bits, &q, 4);
        const uint32_t mb = (bits & 0x807FFFFFu) | 0x3F800000u;
        float mant;
        std::memcpy(&mant, &mb, 4);
        const float lod = 0.5f * (float(int((bits >> 23) & 255) - 128) + mant) + 6.0f * r;
        const int lo = int(lod);
        const float t = lod - float(lo);
        auto sample = sky.sampleBilinear(lo, skx, sky_);
        if (t != 0.0f) {
            const auto s1 = sky.sampleBilinear(lo + 1, skx, sky_);
            for (int i = 0; i < 3; ++i)
                sample[size_t(i)] = (1.0f - t) * sample[size_t(i)] + t * s1[size_t(i)];
        }
        for (int i = 0; i < 3; ++i)
            col[i] += base[i] * sample[size_t(i)] * (m * 0.003921568859368563f * comp.skyboxAmount);
    }

    const float gw[5] = {0.0011764699593186378f, 0.0017647099448367953f, 0.0014705900102853775f,
                         0.00088235002476722f, 0.0005882299738004804f};
    float glow[3] = {0.0f, 0.0f, 0.0f};
    for (int l = 1; l <= 5; ++l) {
        const auto g = diffuse.sampleBilinear(l, float(x) + 0.5f, float(y) + 0.5f);
        for (int i = 0; i < 3; ++i) glow[i] += gw[l - 1] * g[size_t(i)];
    }
    for (int i = 0; i < 3; ++i) col[i] += glow[i];

    if (mat.a != 255) {
        const float tp = 1.0f - float(mat.a) * k255;
        for (int i = 0; i < 3; ++i) col[i] = col[i] + (base[i] - col[i]) * tp;
    }
    for (int i = 0; i < 3; ++i) out[i] = uint8_t(int(std::min(1.0f, col[i]) * 255.99f));
}

// The full reference: lights the area and writes it through the curves.
inline void referenceLightTile(const PBRCompositor& comp, const WindowImageView& output,
                               PixelFormat format, const IntRect& area, const Mipmap<RGBA>& diffuse,
                               const Mipmap<RGBA>& material, const Mipmap<L16>& depth,
                               const Mipmap<RGBA>& sky) {
    for (int y = area.minY; y < area.maxY; ++y)
        for (int x = area.minX; x < area.maxX; ++x) {
            uint8_t rgb[3];
            referencePixel(comp, x, y, diffuse, material, depth, sky, rgb);
            const uint8_t r = comp.redCurve()[rgb[0]], g = comp.greenCurve()[rgb[1]],
                          b = comp.blueCurve()[rgb[2]];
            RGBA& px = output.at(x, y);
            switch (format) {
            case PixelFormat::BGRA8:
                px = {b, g, r, 255};
                break;
            case PixelFormat::ARGB8:
                px = {255, r, g, b};
                break;
            default:
                px = {r, g, b, 255};
                break;
            }
        }
}

} // namespace pbrtest
