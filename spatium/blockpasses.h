#pragma once
// The chain's whole-block passes, each in the widest lanes the processor runs; every
// lane does the plain loop's arithmetic on its frame, so the results do not depend on
// the set chosen.

#include "corvid/core/isa.h"

namespace spatium {

struct BlockPasses {
    // True when every sample is zero, either sign; a NaN counts as sound.
    bool (*silent)(const float* x, int n);
    // Width at a constant factor c: l + r plus and minus (l - r) c.
    void (*width)(float* l, float* r, float c, int n);
    // l[i] * gl and r[i] * gr.
    void (*scale)(float* l, float* r, float gl, float gr, int n);
    // The delays of a settled source, frame i reading back - i frames before the
    // block's end: dl[i] = cl + back - i, dr[i] = cr + back - i.
    void (*delays)(float* dl, float* dr, float cl, float cr, int back, int n);
};

// The passes in the lanes of isa, which the processor must run.
const BlockPasses& blockPasses(corvid::Isa isa);

} // namespace spatium
