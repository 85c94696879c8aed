#pragma once
// Rows of a buffered element's layers blended into the maps by their opacity
// masks, several pixels at a time. Each pixel comes out exactly as blendByte and
// blendDepth give it, on every instruction set; a pixel whose opacity is 0 is left
// alone. The widest set this processor runs is used unless told otherwise (a set
// the processor must run).

#include "corvid/core/isa.h"
#include "corvid/graphics/color.h"

#include <cstdint>

namespace corvid {

void blendLayerRow(RGBA* dst, const RGBA* src, const L8* opacity, std::int32_t count,
                   Isa isa = bestIsa());
void blendLayerRow(L16* dst, const L16* src, const L8* opacity, std::int32_t count,
                   Isa isa = bestIsa());

} // namespace corvid
