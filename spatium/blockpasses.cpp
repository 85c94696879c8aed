#include "spatium/blockpasses.h"

#include "spatium/blockpasses_kernel.h"

namespace spatium {

const BlockPasses& blockPasses(corvid::Isa isa) {
    using namespace passes_detail;
    return *corvid::IsaBodies<const BlockPasses*>{&kSse2, &kAvx2, &kAvx512}[isa];
}

} // namespace spatium
