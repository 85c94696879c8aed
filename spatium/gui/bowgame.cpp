#include "spatium/gui/bowgame.h"

#include "corvid/graphics/draw.h"
#include "corvid/pbrwidgets/widgetdraw.h"

#include <algorithm>

namespace spatium {

using namespace corvid;

namespace {
constexpr std::uint16_t kLitDepth = 28000;
constexpr std::uint16_t kDarkDepth = 3000;
constexpr RGBA kTileMaterial{128, 255, 255, 255};
constexpr RGBA kLit{230, 230, 230, 0};
constexpr RGBA kDark{100, 118, 120, 0};
constexpr RGBA kLitHovered{230, 230, 230, 50};
constexpr RGBA kDarkHovered{100, 128, 135, 80};
constexpr RGBA kAllLitHovered{240, 245, 250, 40};

bool inGrid(std::int32_t row, std::int32_t column) {
    return row >= 0 && row < BowGame::kRows && column >= 0 && column < BowGame::kColumns;
}
} // namespace

BowGame::BowGame(UIContext& ctx) : UIElement(ctx) {}

std::int32_t BowGame::leftMargin() const {
    return (position.width() - kColumns * tileWidth() + 1) / 2;
}
std::int32_t BowGame::topMargin() const {
    return (position.height() - kRows * tileHeight()) / 2;
}
std::int32_t BowGame::tileWidth() const {
    return position.width() / kColumns;
}
std::int32_t BowGame::tileHeight() const {
    return position.height() / kRows;
}

void BowGame::flipTile(std::int32_t row, std::int32_t column) {
    if (!inGrid(row, column)) return;
    bool& t = tileLit[std::size_t(row * kColumns + column)];
    t = !t;
}

void BowGame::markTileHovered(std::int32_t row, std::int32_t column) {
    if (!inGrid(row, column)) return;
    tileHovered[std::size_t(row * kColumns + column)] = true;
}

void BowGame::lightAll() {
    tileLit.fill(true);
    clearHovered();
}

void BowGame::clearHovered() {
    tileHovered.fill(false);
}

bool BowGame::allDark() const {
    return std::none_of(tileLit.begin(), tileLit.end(), [](bool b) { return b; });
}

bool BowGame::allLit() const {
    return std::all_of(tileLit.begin(), tileLit.end(), [](bool b) { return b; });
}

std::array<std::array<std::int32_t, 2>, 9> BowGame::plusPattern(std::int32_t r, std::int32_t c) {
    return {{{r, c},
             {r, c - 1},
             {r, c + 1},
             {r - 1, c},
             {r + 1, c},
             {r, c - 2},
             {r, c + 2},
             {r - 2, c},
             {r + 2, c}}};
}

bool BowGame::tileAt(std::int32_t x, std::int32_t y, std::int32_t& row,
                     std::int32_t& column) const {
    const std::int32_t tw = tileWidth(), th = tileHeight();
    // A box too small for a tile has no grid to hit.
    if (tw <= 0 || th <= 0) return false;
    // Unsigned, so points left of or above the grid wrap to huge and miss.
    const std::uint32_t c = std::uint32_t(std::int64_t(x) - leftMargin()) / std::uint32_t(tw);
    const std::uint32_t r = std::uint32_t(std::int64_t(y) - topMargin()) / std::uint32_t(th);
    if (c >= std::uint32_t(kColumns) || r >= std::uint32_t(kRows)) return false;
    row = std::int32_t(r);
    column = std::int32_t(c);
    return true;
}

bool BowGame::onMouseClick(std::int32_t x, std::int32_t y, MouseButton button, bool, MouseState) {
    if (button != MouseButton::left) {
        lightAll();
    } else {
        std::int32_t row = 0, column = 0;
        if (tileAt(x, y, row, column)) {
            for (const auto& t : plusPattern(row, column)) flipTile(t[0], t[1]);
        }
    }
    markDirty();
    return true;
}

void BowGame::onMouseMove(std::int32_t x, std::int32_t y, std::int32_t, std::int32_t, MouseState) {
    clearHovered();
    std::int32_t row = 0, column = 0;
    if (tileAt(x, y, row, column)) {
        for (const auto& t : plusPattern(row, column)) markTileHovered(t[0], t[1]);
    }
    markDirty();
}

void BowGame::onMouseExit() {
    clearHovered();
    markDirty();
}

void BowGame::paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                        const ImageView<RGBA>& materialMap,
                        const std::vector<IntRect>& dirtyRects) {
    const std::int32_t tw = tileWidth(), th = tileHeight();
    if (tw <= 0 || th <= 0) return;
    const bool lit = allLit();
    const bool solved = lit || allDark();
    const bool litAndHovered = lit && mouseOver;
    const std::int32_t inset = solved ? 0 : 1;
    const std::int32_t ox = elementOriginInCrop(position.minX) + leftMargin();
    const std::int32_t oy = elementOriginInCrop(position.minY) + topMargin();
    for (const IntRect& box : dirtyRects) {
        for (std::int32_t r = 0; r < kRows; ++r) {
            for (std::int32_t c = 0; c < kColumns; ++c) {
                const IntRect tile{ox + c * tw + inset, oy + r * th + inset,
                                   ox + (c + 1) * tw - inset, oy + (r + 1) * th - inset};
                const IntRect part = tile.intersect(box);
                if (part.isEmpty()) continue;
                const std::size_t i = std::size_t(r * kColumns + c);
                const bool on = tileLit[i];
                RGBA diffuse = on ? kLit : kDark;
                if (tileHovered[i] && !solved) diffuse = on ? kLitHovered : kDarkHovered;
                if (litAndHovered) diffuse = kAllLitHovered;
                fillRect(depthMap, L16(on ? kLitDepth : kDarkDepth), part);
                fillRect(materialMap, kTileMaterial, part);
                fillRect(diffuseMap, diffuse, part);
            }
        }
    }
}

} // namespace spatium
