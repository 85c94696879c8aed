#pragma once
// The compositor lighting one box of an editor's window on the calling thread,
// tile by tile as a redraw does: what a widget's paint is weighed against.

#include "corvid/gui/context.h"
#include "corvid/gui/graphics.h"

#include <vector>

namespace bench_support {

inline void lightBox(corvid::GUIGraphics& gui, const corvid::IntRect& box) {
    static thread_local std::vector<corvid::IntRect> tiles;
    tiles.clear();
    corvid::GUIGraphics::cutIntoTiles(box, tiles);
    for (const corvid::IntRect& tile : tiles)
        gui.getCompositor().lightTile(gui.getWindowImage(), corvid::PixelFormat::BGRA8, tile,
                                      gui.getDiffuseMap(), gui.getMaterialMap(), gui.getDepthMap(),
                                      *gui.getContext().skybox);
}

} // namespace bench_support
