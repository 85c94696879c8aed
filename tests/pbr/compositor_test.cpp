#include "corvid/gui/compositor.h"

#include "corvid/core/isa.h"
#include "corvid/core/thread.h"
#include "tests/pbr/compositor_reference.h"

#include <gtest/gtest.h>

#if __has_include(<pthread.h>)
#include <pthread.h>
#endif

#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace corvid;
using pbrtest::referenceLightTile;

struct Maps {
    Mipmap<RGBA> diffuse, material, sky;
    Mipmap<L16> depth;
    int width = 0, height = 0;

    Maps(int w, int h, int diffuseLevels = 6, int depthLevels = 5, int skyW = 64, int skyH = 48,
         int skyLevels = 7)
        : width(w), height(h) {
        diffuse.size(std::min(diffuseLevels, Mipmap<RGBA>::levelCountFor(5, w, h)), w, h);
        material.size(1, w, h);
        depth.size(std::min(depthLevels, Mipmap<L16>::levelCountFor(4, w, h)), w, h);
        sky.size(std::min(skyLevels, Mipmap<RGBA>::levelCountFor(12, skyW, skyH)), skyW, skyH);
    }
};

template <typename T, typename F>
void fillLevels(Mipmap<T>& map, F&& value) {
    for (int l = 0; l < map.levelCount(); ++l) {
        OwnedImage<T>& img = map.level(l);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, value(l, x, y));
    }
}

// Random content with the features that matter: unlit, partly and fully physical
// pixels, plateaus and ramps in depth next to noise, metal, glow and dark spots.
void randomise(Maps& m, uint32_t seed) {
    std::mt19937 rng(seed);
    auto byte = [&] { return uint8_t(rng() & 255); };
    fillLevels(m.diffuse, [&](int, int, int) { return RGBA{byte(), byte(), byte(), byte()}; });
    fillLevels(m.material, [&](int, int, int) {
        const uint32_t pick = rng() % 8;
        const uint8_t a = pick == 0 ? 0 : (pick < 4 ? 255 : byte());
        const uint8_t spec = rng() % 4 == 0 ? 0 : byte();
        const uint8_t metal = rng() % 3 == 0 ? 0 : byte();
        return RGBA{byte(), metal, spec, a};
    });
    const int style = int(seed % 3);
    fillLevels(m.depth, [&](int, int x, int y) {
        if (style == 0) return L16(uint16_t(rng() & 0xFFFF));
        if (style == 1) return L16(uint16_t((x * 523 + y * 97 + (rng() % 400)) & 0xFFFF));
        return L16(uint16_t(((x / 7 + y / 5) % 3) * 20000 + (rng() % 64)));
    });
    fillLevels(m.sky, [&](int, int, int) { return RGBA{byte(), byte(), byte(), 255}; });
}

struct Diff {
    int maxDiff = 0;
    long differing = 0;
};

Diff compare(const OwnedImage<RGBA>& a, const OwnedImage<RGBA>& b) {
    Diff d;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const RGBA p = a.pixelAt(x, y), q = b.pixelAt(x, y);
            const int diffs[4] = {std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b),
                                  std::abs(p.a - q.a)};
            int worst = 0;
            for (int v : diffs) worst = std::max(worst, v);
            d.maxDiff = std::max(d.maxDiff, worst);
            if (worst) ++d.differing;
        }
    return d;
}

void setEditorLighting(PBRCompositor& c) {
    c.light1Color = {0.1984f, 0.248f, 0.2976f};
    const float n = std::sqrt(1.0f + 1.0f + 0.01f);
    c.light2Dir = {-1.0f / n, 1.0f / n, 0.1f / n};
    c.light2Color = {0.4743f, 0.3689f, 0.2635f};
    c.light3Color = {0.1612f, 0.186f, 0.2108f};
    c.ambientLight = 0.062f;
    c.skyboxAmount = 0.3968f;
    c.setOutputCurves(0.0f, 0.94f, 1.095f, 0.21f, 0.0f, 0.94f, 1.09f, 0.185f, 0.07f, 0.89f, 1.025f,
                      0.215f);
}

// Every kernel against the reference, over whole maps (so every window edge) and over
// areas that start and end inside blocks.
void checkAgainstReference(Maps& maps, PBRCompositor& comp, PixelFormat format,
                           const std::vector<IntRect>& areas, const char* what) {
    OwnedImage<RGBA> expected(maps.width, maps.height), actual(maps.width, maps.height);
    expected.fill(RGBA{1, 2, 3, 4});
    for (const IntRect& a : areas)
        referenceLightTile(comp, expected.asView(), format, a, maps.diffuse, maps.material,
                           maps.depth, maps.sky);
    for (Isa k : supportedIsas()) {
        ASSERT_TRUE(comp.useKernel(k));
        actual.fill(RGBA{1, 2, 3, 4});
        for (const IntRect& a : areas)
            comp.lightTile(actual.asView(), format, a, maps.diffuse, maps.material, maps.depth,
                           maps.sky);
        const Diff d = compare(expected, actual);
        EXPECT_LE(d.maxDiff, 1) << what << " kernel " << isaName(k);
        // Off-by-one results come only from rounding near a step, so they stay rare.
        EXPECT_LE(d.differing, long(maps.width) * maps.height / 100 + 1)
            << what << " kernel " << isaName(k);
    }
}

// FNV-1a over the pixel bytes: a change of any bit in any pixel changes the hash.
uint64_t hashImage(const OwnedImage<RGBA>& image) {
    uint64_t h = 1469598103934665603ull;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const RGBA p = image.pixelAt(x, y);
            for (uint8_t b : {p.r, p.g, p.b, p.a}) h = (h ^ b) * 1099511628211ull;
        }
    return h;
}

// A panel like the editor's: a plate with grooves and brushed strips, domed metal
// knobs and small emissive spots, under a large skybox with many levels.
void paintPanel(Maps& m) {
    std::mt19937 rng(42);
    fillLevels(m.depth, [&](int, int x, int y) {
        const int cx = (x % 110) - 55, cy = (y % 120) - 60;
        const float r = std::sqrt(float(cx * cx + cy * cy));
        const float dome = r < 38.0f ? std::sqrt(38.0f * 38.0f - r * r) / 38.0f : 0.0f;
        const int plate =
            12000 + ((x / 40 + y / 30) % 2) * 800 + int(rng() % 64) - ((y % 60) == 0 ? 6000 : 0);
        return L16(uint16_t(plate + int(dome * 30000.0f)));
    });
    fillLevels(m.diffuse, [&](int l, int x, int y) {
        const int s = 1 << l;
        const int cx = ((x * s) % 110) - 55, cy = ((y * s) % 120) - 60;
        const int r2 = cx * cx + cy * cy;
        const bool led = r2 >= 38 * 38 && r2 < 46 * 46 && ((x * s) / 3 + (y * s) / 3) % 7 == 0;
        if (led) return RGBA{255, 120, 30, 255};
        return r2 < 38 * 38 ? RGBA{170, 172, 180, 0} : RGBA{60, 64, 70, 0};
    });
    fillLevels(m.material, [&](int, int x, int y) {
        const int cx = (x % 110) - 55, cy = (y % 120) - 60;
        if (cx * cx + cy * cy < 38 * 38) return RGBA{0, 255, 128, 255};
        return RGBA{180, uint8_t(x % 200 < 40 ? 90 : 0), 90, uint8_t(y % 97 < 3 ? 0 : 255)};
    });
    fillLevels(m.sky, [&](int, int x, int y) {
        return RGBA{uint8_t(100 + (x * y) % 90), uint8_t(120 + (x / 8) % 60),
                    uint8_t(150 + (y / 8) % 80), 255};
    });
}

// The kernels' exact output on fixed scenes, recorded once: a restructuring of the
// kernels or a change of compiler must reproduce every bit, for every instruction
// set and pixel format. A deliberate change of the lighting records new values.
TEST(PBRCompositor, OutputEqualsRecordedImages) {
    struct Scene {
        const char* name;
        int w, h;
        uint32_t seed; // 0: the panel
        bool editorLighting;
    };
    const Scene scenes[] = {{"random noise", 107, 93, 3, true},
                            {"random ramps", 144, 46, 4, false},
                            {"random plateaus", 96, 77, 5, true},
                            {"short mipmaps", 9, 5, 6, false},
                            {"panel", 763, 494, 0, true}};
    const PixelFormat formats[] = {PixelFormat::BGRA8, PixelFormat::ARGB8, PixelFormat::RGBA8};
    const uint64_t recorded[5][3] = {
        {0x55479a1fbafdd486, 0x32d2f1082996a69c, 0x66f93279ee593176},
        {0x10afb6961e6d5703, 0x1ef8071834b2c99b, 0xa92fdc2e6d3a58ff},
        {0x7ed0f21858309c9e, 0xa3c3f651127124d0, 0x00fd76ccde30b3ae},
        {0xb2814730634bacff, 0xa9b54456fd50c3d3, 0xeb06695b146c2ad3},
        {0x8a303554f14beaaa, 0x0a7623dc0b04d674, 0xa00e894346b6fbaa},
    };
    for (size_t s = 0; s < std::size(scenes); ++s) {
        const Scene& sc = scenes[s];
        Maps maps = sc.seed == 0 ? Maps(sc.w, sc.h, 6, 5, 1024, 768, 10) : Maps(sc.w, sc.h);
        if (sc.seed == 0)
            paintPanel(maps);
        else
            randomise(maps, sc.seed);
        PBRCompositor comp;
        if (sc.editorLighting) setEditorLighting(comp);
        // Whole-map areas and areas that start and end inside blocks.
        const std::vector<IntRect> areas{{0, 0, sc.w / 3, sc.h},
                                         {sc.w / 3, 0, sc.w, sc.h / 2 + 1},
                                         {sc.w / 3, sc.h / 2 + 1, sc.w, sc.h}};
        for (size_t f = 0; f < 3; ++f)
            for (Isa k : supportedIsas()) {
                ASSERT_TRUE(comp.useKernel(k));
                OwnedImage<RGBA> out(sc.w, sc.h);
                out.fill(RGBA{1, 2, 3, 4});
                for (const IntRect& a : areas)
                    comp.lightTile(out.asView(), formats[f], a, maps.diffuse, maps.material,
                                   maps.depth, maps.sky);
                EXPECT_EQ(hashImage(out), recorded[s][f])
                    << sc.name << ", format " << f << ", kernel " << isaName(k) << ": 0x"
                    << std::hex << hashImage(out);
            }
    }
}

TEST(PBRCompositor, KernelsMatchReferenceOnRandomMaps) {
    const PixelFormat formats[] = {PixelFormat::BGRA8, PixelFormat::ARGB8, PixelFormat::RGBA8};
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        const int w = 70 + int(seed * 37 % 90), h = 40 + int(seed * 53 % 60);
        Maps maps(w, h);
        randomise(maps, seed);
        PBRCompositor comp;
        // Even seeds keep the default lights and identity curves (with RGBA8 for seed
        // 2, so the lit bytes themselves are compared); odd ones use the editor's.
        if (seed % 2) setEditorLighting(comp);
        const std::vector<IntRect> areas{{0, 0, w, h}};
        checkAgainstReference(maps, comp, formats[seed % 3], areas, "whole map");
        const std::vector<IntRect> pieces{{3, 5, 4, h - 2}, {w - 1, 0, w, h}, {10, 1, 75, 34}};
        checkAgainstReference(maps, comp, formats[(seed + 1) % 3], pieces, "pieces");
    }
}

TEST(PBRCompositor, KernelsMatchReferenceWithFewerLevelsThanAsked) {
    // Small windows have short mipmaps: every request above the last level reads it.
    struct Case {
        int w, h, diffuseLevels, depthLevels, skyW, skyH, skyLevels;
    };
    const Case cases[] = {{40, 30, 2, 1, 16, 8, 1},
                          {9, 5, 6, 5, 1, 1, 1},
                          {1, 1, 6, 5, 3, 2, 2},
                          {66, 3, 3, 2, 64, 48, 7}};
    uint32_t seed = 100;
    for (const Case& c : cases) {
        Maps maps(c.w, c.h, c.diffuseLevels, c.depthLevels, c.skyW, c.skyH, c.skyLevels);
        randomise(maps, ++seed);
        PBRCompositor comp;
        checkAgainstReference(maps, comp, PixelFormat::BGRA8, {{0, 0, c.w, c.h}}, "short mipmaps");
    }
}

// Materials that switch off a step leave a result simple enough to write down.
TEST(PBRCompositor, FlatDepthLightsWithAmbientKeyAndDiffuseOnly) {
    const int w = 50, h = 40;
    Maps maps(w, h);
    const RGBA colour{200, 120, 40, 0}; // no emissive, so upper diffuse levels are black
    fillLevels(maps.diffuse, [&](int l, int, int) { return l == 0 ? colour : RGBA{0, 0, 0, 0}; });
    // Metal with a black skybox and no specular: reflection and highlight add nothing.
    fillLevels(maps.material, [](int, int, int) { return RGBA{0, 255, 0, 255}; });
    fillLevels(maps.depth, [](int, int, int) { return L16(30000); });
    fillLevels(maps.sky, [](int, int, int) { return RGBA{0, 0, 0, 255}; });
    PBRCompositor comp;

    // N = (0, 0, 1), no cavity, every shadow step fully visible.
    double weights = 0.0, wk = 1.0;
    for (int k = 1; k <= 10; ++k) weights += (wk *= 0.78);
    const double key = 0.307700514793396 * weights;
    const double dif = (comp.light2Dir[2] * 0.5 + 0.5 - 0.24) / 0.76;
    const uint8_t bytes[3] = {colour.r, colour.g, colour.b};
    int expected[3];
    for (int i = 0; i < 3; ++i) {
        const double base = bytes[i] / 255.0;
        const double lit = base * (comp.ambientLight + comp.light1Color[size_t(i)] * key +
                                   comp.light2Color[size_t(i)] * dif);
        expected[i] = int(std::min(1.0, lit) * 255.99);
    }
    for (Isa k : supportedIsas()) {
        ASSERT_TRUE(comp.useKernel(k));
        OwnedImage<RGBA> out(w, h);
        comp.lightTile(out.asView(), PixelFormat::RGBA8, {0, 0, w, h}, maps.diffuse, maps.material,
                       maps.depth, maps.sky);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const RGBA p = out.pixelAt(x, y);
                ASSERT_NEAR(p.r, expected[0], 1) << x << "," << y;
                ASSERT_NEAR(p.g, expected[1], 1) << x << "," << y;
                ASSERT_NEAR(p.b, expected[2], 1) << x << "," << y;
                ASSERT_EQ(p.a, 255);
            }
    }
}

TEST(PBRCompositor, UnlitPixelsAreCopiedThroughTheCurves) {
    const int w = 20, h = 10;
    Maps maps(w, h);
    randomise(maps, 7);
    fillLevels(maps.material, [](int, int x, int) {
        return RGBA{90, 200, 255, uint8_t(x == 5 ? 1 : 0)};
    });
    PBRCompositor comp;
    comp.setOutputCurves(0.1f, 1.3f, 0.9f, 0.5f);
    for (Isa k : supportedIsas()) {
        ASSERT_TRUE(comp.useKernel(k));
        OwnedImage<RGBA> out(w, h);
        comp.lightTile(out.asView(), PixelFormat::ARGB8, {0, 0, w, h}, maps.diffuse, maps.material,
                       maps.depth, maps.sky);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (x == 5) continue;
                const RGBA d = maps.diffuse.level(0).pixelAt(x, y);
                const RGBA p = out.pixelAt(x, y);
                ASSERT_EQ(p, (RGBA{255, comp.redCurve()[d.r], comp.greenCurve()[d.g],
                                   comp.blueCurve()[d.b]}));
            }
    }
}

// Every byte value of every channel, in every byte order, comes out as its own
// channel's curve entry; each channel runs through a different permutation of the
// values so that neighbouring lanes ask for far-apart entries.
TEST(PBRCompositor, EveryByteOfEveryChannelGoesThroughItsOwnCurve) {
    const int w = 259, h = 3; // a row tail after four whole blocks
    Maps maps(w, h);
    randomise(maps, 9);
    fillLevels(maps.material, [](int, int, int) { return RGBA{40, 80, 120, 0}; });
    const auto value = [](int x, int y, int c) {
        const int i = (x + 97 * y) % 256;
        return uint8_t(c == 0 ? i : c == 1 ? 255 - i : (i * 73 + 11) % 256);
    };
    fillLevels(maps.diffuse, [&](int level, int x, int y) {
        return level == 0 ? RGBA{value(x, y, 0), value(x, y, 1), value(x, y, 2), 0}
                          : RGBA{0, 0, 0, 0};
    });
    PBRCompositor comp;
    comp.setOutputCurves(0.05f, 1.7f, 1.1f, 0.3f, 0.2f, 0.6f, 0.95f, 0.8f, 0.0f, 2.2f, 1.4f, 0.0f);
    const auto curves = std::array{comp.redCurve(), comp.greenCurve(), comp.blueCurve()};
    ASSERT_NE(curves[0][200], curves[1][200]);
    ASSERT_NE(curves[1][200], curves[2][200]);
    for (PixelFormat format : {PixelFormat::BGRA8, PixelFormat::ARGB8, PixelFormat::RGBA8})
        for (Isa k : supportedIsas()) {
            ASSERT_TRUE(comp.useKernel(k));
            OwnedImage<RGBA> out(w, h);
            comp.lightTile(out.asView(), format, {0, 0, w, h}, maps.diffuse, maps.material,
                           maps.depth, maps.sky);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const uint8_t r = curves[0][value(x, y, 0)];
                    const uint8_t g = curves[1][value(x, y, 1)];
                    const uint8_t b = curves[2][value(x, y, 2)];
                    const RGBA expected = format == PixelFormat::BGRA8   ? RGBA{b, g, r, 255}
                                          : format == PixelFormat::ARGB8 ? RGBA{255, r, g, b}
                                                                         : RGBA{r, g, b, 255};
                    ASSERT_EQ(out.pixelAt(x, y), expected)
                        << x << "," << y << " format " << int(format) << " kernel " << isaName(k);
                }
        }
}

TEST(PBRCompositor, WritesOnlyItsAreaAndStaysInsideTheImage) {
    const int w = 100, h = 60;
    Maps maps(w, h);
    randomise(maps, 21);
    PBRCompositor comp;
    OwnedImage<RGBA> out(w, h);
    const RGBA sentinel{7, 7, 7, 7};
    out.fill(sentinel);
    const IntRect area{13, 9, 81, 47};
    comp.lightTile(out.asView(), PixelFormat::BGRA8, area, maps.diffuse, maps.material, maps.depth,
                   maps.sky);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(out.pixelAt(x, y) == sentinel, !area.contains(x, y)) << x << "," << y;

    // Areas reaching past the image or the maps are cut to what exists: a smaller
    // output image (here a 40 x 30 view into a bigger one) is lit all over and never
    // written past its edges.
    OwnedImage<RGBA> big(w, h);
    big.fill(sentinel);
    const ImageView<RGBA> small(big.data(), 40, 30, big.pitch());
    comp.lightTile(small, PixelFormat::BGRA8, {-20, -20, 500, 500}, maps.diffuse, maps.material,
                   maps.depth, maps.sky);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const RGBA p = big.pixelAt(x, y);
            if (x < 40 && y < 30)
                ASSERT_EQ(p.a, 255) << x << "," << y;
            else
                ASSERT_EQ(p, sentinel) << x << "," << y;
        }
    // A map without levels (a window of size 0 caught mid-resize) lights nothing.
    Mipmap<RGBA> empty;
    out.fill(sentinel);
    comp.lightTile(out.asView(), PixelFormat::BGRA8, {0, 0, w, h}, empty, maps.material, maps.depth,
                   maps.sky);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(out.pixelAt(x, y), sentinel) << x << "," << y;
    // No skybox at all: metal reflects black instead of reading nothing, so the
    // result is the same as with an all-black skybox.
    OwnedImage<RGBA> black(w, h);
    Maps dark(w, h);
    fillLevels(dark.sky, [](int, int, int) { return RGBA{0, 0, 0, 255}; });
    out.fill(sentinel);
    comp.lightTile(out.asView(), PixelFormat::BGRA8, {0, 0, w, h}, maps.diffuse, maps.material,
                   maps.depth, empty);
    comp.lightTile(black.asView(), PixelFormat::BGRA8, {0, 0, w, h}, maps.diffuse, maps.material,
                   maps.depth, dark.sky);
    EXPECT_EQ(compare(out, black).maxDiff, 0);
}

TEST(PBRCompositor, TilesLitConcurrentlyMatchOnePass) {
    const int w = 763, h = 494;
    Maps maps(w, h);
    randomise(maps, 5);
    PBRCompositor comp;
    setEditorLighting(comp);
    OwnedImage<RGBA> whole(w, h), tiled(w, h);
    comp.lightTile(whole.asView(), PixelFormat::BGRA8, {0, 0, w, h}, maps.diffuse, maps.material,
                   maps.depth, maps.sky);
    std::vector<IntRect> tiles;
    for (int y = 0; y < h; y += 32)
        for (int x = 0; x < w; x += 64)
            tiles.push_back({x, y, std::min(x + 64, w), std::min(y + 32, h)});
    ThreadPool pool(2);
    pool.runParallel(int(tiles.size()), [&](int i) {
        comp.lightTile(tiled.asView(), PixelFormat::BGRA8, tiles[size_t(i)], maps.diffuse,
                       maps.material, maps.depth, maps.sky);
    });
    EXPECT_EQ(compare(whole, tiled).maxDiff, 0);
}

// A host's GUI thread lights a batch of one itself, on a stack the plug-in does not
// choose; lighting must fit in a small one. Likewise any number of threads may light
// at once, beyond the staging areas the compositor keeps.
#if __has_include(<pthread.h>)
TEST(PBRCompositor, LightsOnASmallStackAndOnMoreThreadsThanAreas) {
    const int w = 150, h = 70;
    Maps maps(w, h);
    randomise(maps, 9);
    PBRCompositor comp;
    setEditorLighting(comp);
    OwnedImage<RGBA> expected(w, h), actual(w, h);
    comp.lightTile(expected.asView(), PixelFormat::BGRA8, {0, 0, w, h}, maps.diffuse, maps.material,
                   maps.depth, maps.sky);

    struct Job {
        PBRCompositor* comp;
        Maps* maps;
        OwnedImage<RGBA>* out;
        IntRect area;
    };
    auto run = [](void* arg) -> void* {
        const Job& j = *static_cast<Job*>(arg);
        j.comp->lightTile(j.out->asView(), PixelFormat::BGRA8, j.area, j.maps->diffuse,
                          j.maps->material, j.maps->depth, j.maps->sky);
        return nullptr;
    };
    pthread_attr_t attr;
    ASSERT_EQ(pthread_attr_init(&attr), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 128 * 1024), 0);
    for (Isa k : supportedIsas()) {
        ASSERT_TRUE(comp.useKernel(k));
        actual.fill(RGBA{1, 2, 3, 4});
        // One strip of rows per thread, twice as many threads as staging areas.
        const int threads = 2 * comp.scratchAreaCount();
        std::vector<Job> jobs;
        for (int i = 0; i < threads; ++i)
            jobs.push_back({&comp, &maps, &actual, {0, h * i / threads, w, h * (i + 1) / threads}});
        std::vector<pthread_t> ids(static_cast<size_t>(threads));
        for (int i = 0; i < threads; ++i)
            ASSERT_EQ(pthread_create(&ids[size_t(i)], &attr, run, &jobs[size_t(i)]), 0);
        for (pthread_t id : ids) pthread_join(id, nullptr);
        EXPECT_EQ(compare(expected, actual).maxDiff, 0) << "kernel " << isaName(k);
    }
    pthread_attr_destroy(&attr);
}
#endif

TEST(PBRCompositor, CurvesAndExponents) {
    PBRCompositor comp;
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(comp.redCurve()[size_t(i)], i);
        ASSERT_EQ(comp.blueCurve()[size_t(i)], i);
    }
    EXPECT_NEAR(comp.exponentTable()[0], 195.7f, 0.1f);
    EXPECT_FLOAT_EQ(comp.exponentTable()[255], 0.8f);
    EXPECT_NEAR(comp.light2Dir[1], 0.99503719f, 1e-6f);
    EXPECT_NEAR(comp.light3Dir[2], 0.09950372f, 1e-6f);

    comp.setOutputCurves(0.0f, 2.0f, 1.0f, 0.0f);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(comp.greenCurve()[size_t(i)], int(std::sqrt(i / 255.0) * 255.0 + 0.5)) << i;

    // Full smoothing is the smoothstep; black lifts the start; gain saturates.
    comp.setOutputCurves(0.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0.2f, 1.0f, 2.0f, 0.0f);
    EXPECT_EQ(comp.redCurve()[128], 128);
    EXPECT_EQ(comp.greenCurve()[64], int((0.25 * 0.25 * 2.5) * 255.0 + 0.5)); // t = 64/255
    EXPECT_EQ(comp.blueCurve()[0], int(0.4 * 255 + 0.5));
    EXPECT_EQ(comp.blueCurve()[200], 255);

    // The record form is the twelve-value form.
    OutputCurveSettings s;
    s.greenBlack = 0.07f;
    s.greenGamma = 0.89f;
    s.greenGain = 1.025f;
    s.greenSmooth = 0.215f;
    comp.setOutputCurves(s);
    std::vector<uint8_t> viaRecord(comp.greenCurve().begin(), comp.greenCurve().end());
    comp.setOutputCurves(0.07f, 0.89f, 1.025f, 0.215f);
    EXPECT_TRUE(std::equal(viaRecord.begin(), viaRecord.end(), comp.greenCurve().begin()));

    // A smoothing amount beyond 1 overshoots the byte range on both sides: the
    // entries stop at 0 and 255 instead of wrapping.
    comp.setOutputCurves(0.0f, 1.0f, 1.0f, 5.0f);
    EXPECT_EQ(comp.redCurve()[0], 0);
    EXPECT_EQ(comp.redCurve()[64], 0);    // (0.251 * -4 + 0.158 * 5) * 255 < 0
    EXPECT_EQ(comp.redCurve()[128], 129); // (0.502 * -4 + 0.503 * 5) * 255 = 129.2
    EXPECT_EQ(comp.redCurve()[191], 255); // (0.749 * -4 + 0.843 * 5) * 255 > 255
    EXPECT_EQ(comp.redCurve()[255], 255);

    // Nonsense settings still give defined tables: a NaN black level counts as 0
    // and makes every entry 0; a negative gamma turns every value into 1 (255).
    comp.setOutputCurves(NAN, 0.0f, 1.0f, 5.0f);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(comp.blueCurve()[size_t(i)], 0) << i;
    comp.setOutputCurves(0.0f, -1.0f, 1.0f, -3.0f);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(comp.blueCurve()[size_t(i)], 255) << i;
}

} // namespace
