#include "corvid/core/isa.h"

#include "corvid/core/cpu.h"

namespace corvid {

bool isaSupported(Isa isa) {
    switch (isa) {
    case Isa::avx512:
        return cpuFeatures().avx512;
    case Isa::avx2:
        return cpuFeatures().avx2;
    case Isa::sse2:
        break;
    }
    return true;
}

Isa bestIsa() {
    static const Isa best = cpuFeatures().avx512 ? Isa::avx512
                            : cpuFeatures().avx2 ? Isa::avx2
                                                 : Isa::sse2;
    return best;
}

std::vector<Isa> supportedIsas() {
    std::vector<Isa> sets;
    for (Isa isa : {Isa::sse2, Isa::avx2, Isa::avx512})
        if (isaSupported(isa)) sets.push_back(isa);
    return sets;
}

const char* isaName(Isa isa) {
    switch (isa) {
    case Isa::avx512:
        return "avx512";
    case Isa::avx2:
        return "avx2";
    case Isa::sse2:
        break;
    }
    return "sse2";
}

} // namespace corvid
