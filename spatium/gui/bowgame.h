#pragma once
// The editor's small toggle puzzle: 4 x 5 raised tiles, lit or dark. A left click
// flips a tile and the tiles up to two steps away in the four straight directions;
// the aim is to turn every tile dark. Any other button lights every tile again.

#include "corvid/gui/element.h"

#include <array>
#include <cstdint>

namespace spatium {

class BowGame : public corvid::UIElement {
public:
    static constexpr std::int32_t kRows = 4;
    static constexpr std::int32_t kColumns = 5;
    static constexpr std::int32_t kTiles = kRows * kColumns;

    explicit BowGame(corvid::UIContext& context);

    virtual std::int32_t leftMargin() const;
    virtual std::int32_t topMargin() const;
    virtual std::int32_t tileWidth() const;
    virtual std::int32_t tileHeight() const;
    // Row or column outside the grid: nothing happens.
    virtual void flipTile(std::int32_t row, std::int32_t column);
    virtual void markTileHovered(std::int32_t row, std::int32_t column);
    virtual void lightAll();
    virtual void clearHovered();
    virtual bool allDark() const;
    virtual bool allLit() const;

    bool onMouseClick(std::int32_t x, std::int32_t y, corvid::MouseButton button,
                      bool isDoubleClick, corvid::MouseState state) override;
    void onMouseMove(std::int32_t x, std::int32_t y, std::int32_t dx, std::int32_t dy,
                     corvid::MouseState state) override;
    void onMouseExit() override;
    void paintMaps(const corvid::ImageView<corvid::RGBA>& diffuseMap,
                   const corvid::ImageView<corvid::L16>& depthMap,
                   const corvid::ImageView<corvid::RGBA>& materialMap,
                   const std::vector<corvid::IntRect>& dirtyRects) override;

    // The tile under an element-local point; false when it hits none.
    bool tileAt(std::int32_t x, std::int32_t y, std::int32_t& row, std::int32_t& column) const;
    // The tiles a click on (row, column) flips, in order; entries outside the grid
    // are there too and ignored by flip and mark.
    static std::array<std::array<std::int32_t, 2>, 9> plusPattern(std::int32_t row,
                                                                  std::int32_t column);

    std::array<bool, kTiles> tileLit{};
    std::array<bool, kTiles> tileHovered{};
};

} // namespace spatium
