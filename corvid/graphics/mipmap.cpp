#include "corvid/graphics/mipmap.h"

#include "corvid/core/error.h"
#include "corvid/graphics/mipmap_kernel.h"

#include <algorithm>
#include <cstdint>

namespace corvid {

namespace {

using namespace mipmap_detail;

// The pixel types are plain bytes and words laid out as the kernels read them.
static_assert(sizeof(RGBA) == 4 && sizeof(L16) == 2);

// The cubic filter works on chunks of this many output pixels so that its
// intermediate row (the vertical 1-3-3-1 sums) fits on the stack.
constexpr int cubicChunk = 256;
constexpr int cubicColumns = 2 * cubicChunk + 2;

inline int clampIndex(int i, int last) {
    return i < 0 ? 0 : (i > last ? last : i);
}

const RowKernels& kernelsFor(Isa isa) {
    return *IsaBodies<const RowKernels*>{&sse2Kernels, &avx2Kernels, &avx512Kernels}[isa];
}

const std::uint8_t* bytes(const RGBA* p) {
    return reinterpret_cast<const std::uint8_t*>(p);
}
std::uint8_t* bytes(RGBA* p) {
    return reinterpret_cast<std::uint8_t*>(p);
}
const std::uint16_t* words(const L16* p) {
    return reinterpret_cast<const std::uint16_t*>(p);
}
std::uint16_t* words(L16* p) {
    return reinterpret_cast<std::uint16_t*>(p);
}

// ---- Whole-rectangle filters ----

template <typename T>
void boxRows(const RowKernels& k, MipFilter filter, const OwnedImage<T>& src, OwnedImage<T>& dst,
             const IntRect& r) {
    for (int y = r.minY; y < r.maxY; ++y) {
        const T* a = src.rowSpan(2 * y).data();
        const T* b = src.rowSpan(2 * y + 1).data();
        T* out = dst.rowSpan(y).data();
        if constexpr (std::is_same_v<T, RGBA>) {
            (filter == MipFilter::alphaWeightedBox ? k.alphaWeightedBox : k.box)(
                bytes(a), bytes(b), bytes(out), r.minX, r.maxX);
        } else {
            k.depthBox(words(a), words(b), words(out), r.minX, r.maxX);
        }
    }
}

// Sums of columns [c0, c1) sit at plane[c0 - first ..]; the columns of the chunk
// outside the image repeat its edge columns.
void repeatEdges(std::uint32_t* plane, int first, int count, int c0, int c1) {
    if (first < c0) plane[0] = plane[c0 - first];
    for (int c = c1; c < first + count; ++c) plane[c - first] = plane[c1 - 1 - first];
}

template <typename T>
void cubicRows(const RowKernels& k, const OwnedImage<T>& src, OwnedImage<T>& dst,
               const IntRect& r) {
    constexpr int planes = std::is_same_v<T, RGBA> ? 2 : 1;
    alignas(64) std::uint32_t temp[planes][cubicColumns];
    const int lastCol = src.width() - 1;
    const int lastRow = src.height() - 1;
    for (int y = r.minY; y < r.maxY; ++y) {
        const T* rows[4];
        for (int j = 0; j < 4; ++j)
            rows[j] = src.rowSpan(clampIndex(2 * y - 1 + j, lastRow)).data();
        T* out = dst.rowSpan(y).data();
        for (int xa = r.minX; xa < r.maxX; xa += cubicChunk) {
            const int n = std::min(cubicChunk, r.maxX - xa);
            // Plane index k holds source column 2 xa - 1 + k, edges repeated.
            const int first = 2 * xa - 1;
            const int count = 2 * n + 2;
            const int c0 = std::max(first, 0);
            const int c1 = std::min(first + count, lastCol + 1);
            if constexpr (std::is_same_v<T, RGBA>) {
                const std::uint8_t* rowBytes[4] = {bytes(rows[0]), bytes(rows[1]), bytes(rows[2]),
                                                   bytes(rows[3])};
                k.columns(rowBytes, c0, c1, temp[0] + (c0 - first), temp[1] + (c0 - first));
            } else {
                const std::uint16_t* rowWords[4] = {words(rows[0]), words(rows[1]), words(rows[2]),
                                                    words(rows[3])};
                k.depthColumns(rowWords, c0, c1, temp[0] + (c0 - first));
            }
            for (auto& plane : temp) repeatEdges(plane, first, count, c0, c1);
            if constexpr (std::is_same_v<T, RGBA>) {
                k.horizontal(temp[0], temp[1], bytes(out + xa), n);
            } else {
                k.depthHorizontal(temp[0], words(out + xa), n);
            }
        }
    }
}

} // namespace

template <typename T>
int Mipmap<T>::levelCountFor(int maxLevel, int32_t width, int32_t height) {
    int n = 0;
    while (n <= maxLevel && n < 31 && (width >> n) > 0 && (height >> n) > 0) ++n;
    return n;
}

template <typename T>
Mipmap<T>::Mipmap(int maxLevel, int32_t width, int32_t height) {
    size(levelCountFor(maxLevel, width, height), width, height);
}

template <typename T>
Mipmap<T>::Mipmap(std::unique_ptr<OwnedImage<T>> image, int maxLevel) {
    if (!image) return;
    const int32_t w = image->width();
    const int32_t h = image->height();
    const int n = levelCountFor(maxLevel, w, h);
    if (n == 0) return;
    levels.push_back(std::move(image));
    for (int k = 1; k < n; ++k) levels.push_back(std::make_unique<OwnedImage<T>>(w >> k, h >> k));
    IntRect r{0, 0, w, h};
    for (int k = 1; k < n; ++k)
        r = buildNextLevel(k <= 2 ? MipFilter::box : MipFilter::cubic, k, r);
}

template <typename T>
void Mipmap<T>::size(int levelCount, int32_t width, int32_t height) {
    levels.clear();
    const int n = std::min(levelCount, levelCountFor(30, width, height));
    for (int k = 0; k < n; ++k)
        levels.push_back(std::make_unique<OwnedImage<T>>(width >> k, height >> k));
}

template <typename T>
IntRect Mipmap<T>::nextLevelRect(MipFilter filter, int lvl, const IntRect& rect) const {
    if (lvl < 1 || lvl >= levelCount() || rect.isEmpty()) return {};
    const OwnedImage<T>& src = level(lvl - 1);
    const OwnedImage<T>& dst = level(lvl);
    const IntRect whole{0, 0, dst.width(), dst.height()};
    if (src.width() <= 1 || src.height() <= 1) return whole;
    // 64-bit so rectangles near the int32 limits cannot overflow before clipping.
    int64_t x0, y0, x1, y1;
    if (filter == MipFilter::cubic) {
        x0 = (int64_t(rect.minX) - 1) / 2;
        y0 = (int64_t(rect.minY) - 1) / 2;
        x1 = (int64_t(rect.maxX) + 2) / 2;
        y1 = (int64_t(rect.maxY) + 2) / 2;
    } else {
        x0 = int64_t(rect.minX) / 2;
        y0 = int64_t(rect.minY) / 2;
        x1 = (int64_t(rect.maxX) + 1) / 2;
        y1 = (int64_t(rect.maxY) + 1) / 2;
    }
    auto clip = [](int64_t v, int32_t hi) { return int32_t(std::clamp<int64_t>(v, 0, hi)); };
    const IntRect r{clip(x0, whole.maxX), clip(y0, whole.maxY), clip(x1, whole.maxX),
                    clip(y1, whole.maxY)};
    return r.isEmpty() ? IntRect{} : r;
}

template <typename T>
IntRect Mipmap<T>::buildNextLevel(MipFilter filter, int lvl, const IntRect& rect, Isa isa) {
    if constexpr (!std::is_same_v<T, RGBA>) {
        if (filter == MipFilter::alphaWeightedBox) fatalError("alphaWeightedBox needs RGBA pixels");
    }
    const IntRect r = nextLevelRect(filter, lvl, rect);
    if (r.isEmpty()) return r;
    const RowKernels& k = kernelsFor(isa);
    if (filter == MipFilter::cubic) {
        cubicRows(k, level(lvl - 1), level(lvl), r);
    } else {
        boxRows(k, filter, level(lvl - 1), level(lvl), r);
    }
    return r;
}

namespace {
inline float lerp2(float p00, float p10, float p01, float p11, float fu, float fv) {
    return (1.0f - fv) * ((1.0f - fu) * p00 + fu * p10) + fv * ((1.0f - fu) * p01 + fu * p11);
}
} // namespace

template <typename T>
typename Mipmap<T>::Sample Mipmap<T>::sampleBilinear(int lvl, float x, float y) const {
    if (levels.empty()) return Sample{};
    lvl = std::clamp(lvl, 0, levelCount() - 1);
    const OwnedImage<T>& img = level(lvl);
    const float scale = 1.0f / float(1u << lvl);
    // The upper clamp comes first so a one-pixel-wide level reads its pixel with
    // weight 1 instead of extrapolating past it.
    float u = std::max(std::min(x * scale - 0.5f, float(img.width()) - 1.001f), 0.0f);
    float v = std::max(std::min(y * scale - 0.5f, float(img.height()) - 1.001f), 0.0f);
    if (!(u == u)) u = 0.0f;
    if (!(v == v)) v = 0.0f;
    const int i = int(u);
    const int j = int(v);
    const float fu = u - float(i);
    const float fv = v - float(j);
    const int i1 = std::min(i + 1, img.width() - 1);
    const int j1 = std::min(j + 1, img.height() - 1);
    const T& p00 = img.pixelAt(i, j);
    const T& p10 = img.pixelAt(i1, j);
    const T& p01 = img.pixelAt(i, j1);
    const T& p11 = img.pixelAt(i1, j1);
    if constexpr (std::is_same_v<T, RGBA>) {
        return {
            lerp2(p00.r, p10.r, p01.r, p11.r, fu, fv), lerp2(p00.g, p10.g, p01.g, p11.g, fu, fv),
            lerp2(p00.b, p10.b, p01.b, p11.b, fu, fv), lerp2(p00.a, p10.a, p01.a, p11.a, fu, fv)};
    } else {
        return lerp2(p00.l, p10.l, p01.l, p11.l, fu, fv);
    }
}

template class Mipmap<RGBA>;
template class Mipmap<L16>;

} // namespace corvid
