#pragma once
// The block passes written once over a lane type of corvid/simd and instantiated by
// one source per instruction set. Internal linkage only, like the lane headers, so the
// copies built for wider sets never replace the baseline's at link time.

#include "spatium/blockpasses.h"

#include <cstring>

namespace spatium::passes_detail {

extern const BlockPasses kSse2, kAvx2, kAvx512;

namespace {

// BlockPasses over the lanes L of corvid/simd.
template <class L>
struct Passes {
    using V = typename L::VF;
    using VI = typename L::VI;
    static constexpr int W = L::lanes;

    static V load(const float* p) {
        V v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static void store(float* p, V v) { std::memcpy(p, &v, sizeof v); }

    static bool silent(const float* x, int n) {
        VI sound = L::splatI(0);
        int i = 0;
        for (; i + W <= n; i += W) sound |= (VI)(load(x + i) != L::splatF(0.0f));
        bool any = L::any(sound);
        for (; i < n; ++i) any |= x[i] != 0.0f;
        return !any;
    }

    static void width(float* l, float* r, float c, int n) {
        const V cv = L::splatF(c);
        int i = 0;
        for (; i + W <= n; i += W) {
            const V a = load(l + i), b = load(r + i);
            const V m = a + b;
            const V side = (a - b) * cv;
            store(l + i, m + side);
            store(r + i, m - side);
        }
        for (; i < n; ++i) {
            const float m = l[i] + r[i];
            const float side = (l[i] - r[i]) * c;
            l[i] = m + side;
            r[i] = m - side;
        }
    }

    static void scale(float* l, float* r, float gl, float gr, int n) {
        const V gL = L::splatF(gl), gR = L::splatF(gr);
        int i = 0;
        for (; i + W <= n; i += W) {
            store(l + i, load(l + i) * gL);
            store(r + i, load(r + i) * gR);
        }
        for (; i < n; ++i) {
            l[i] = l[i] * gl;
            r[i] = r[i] * gr;
        }
    }

    static void delays(float* dl, float* dr, float cl, float cr, int back, int n) {
        const V cL = L::splatF(cl), cR = L::splatF(cr);
        const VI iota = L::iotaI();
        int i = 0;
        for (; i + W <= n; i += W) {
            const V k = L::toFloat(L::splatI(back - i) - iota);
            store(dl + i, cL + k);
            store(dr + i, cR + k);
        }
        for (; i < n; ++i) {
            dl[i] = cl + static_cast<float>(back - i);
            dr[i] = cr + static_cast<float>(back - i);
        }
    }

    static constexpr BlockPasses table{&silent, &width, &scale, &delays};
};

} // namespace
} // namespace spatium::passes_detail
