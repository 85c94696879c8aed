// The raw blocks behind the allocation-counting tests' replacement operator new.
// Every block, aligned or not, comes from malloc and goes back through rawFree:
// the C runtime of Windows has no aligned_alloc, and what its _aligned_malloc
// returns must not reach free(). The block from malloc is kept just below the
// aligned pointer handed out.

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace spatium::testing {

inline void* rawAlloc(std::size_t size, std::size_t align) {
    if (align < alignof(std::max_align_t)) align = alignof(std::max_align_t);
    void* raw = std::malloc(size + align + sizeof(void*));
    if (!raw) throw std::bad_alloc();
    const auto base = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    auto* aligned = reinterpret_cast<void**>((base + align - 1) / align * align);
    aligned[-1] = raw;
    return aligned;
}

inline void rawFree(void* p) noexcept {
    if (p) std::free(static_cast<void**>(p)[-1]);
}

} // namespace spatium::testing
