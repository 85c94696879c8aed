#include "tests/support/countingalloc.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

thread_local bool tCounting = false;
std::atomic<long> gCounted{0};

// Every allocation, aligned or not, takes the same path and is freed by the same
// function: the C runtime of Windows has no aligned_alloc, and what its
// _aligned_malloc returns must not reach free(). The block from malloc is kept
// just below the aligned pointer handed out.
void* countedAlloc(std::size_t size, std::size_t align) {
    if (tCounting) gCounted.fetch_add(1, std::memory_order_relaxed);
    if (align < alignof(std::max_align_t)) align = alignof(std::max_align_t);
    void* raw = std::malloc(size + align + sizeof(void*));
    if (!raw) throw std::bad_alloc();
    const auto base = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
    auto* aligned = reinterpret_cast<void**>((base + align - 1) / align * align);
    aligned[-1] = raw;
    return aligned;
}

void* countedAllocNoThrow(std::size_t size, std::size_t align) noexcept {
    try {
        return countedAlloc(size, align);
    } catch (...) {
        return nullptr;
    }
}

void countedFree(void* p) noexcept {
    if (p) std::free(static_cast<void**>(p)[-1]);
}

} // namespace

namespace corvid::testing {

void countAllocationsOnThisThread(bool on) {
    tCounting = on;
}
bool countingThisThread() {
    return tCounting;
}
long countedAllocations() {
    return gCounted.load();
}
long takeCountedAllocations() {
    return gCounted.exchange(0);
}

} // namespace corvid::testing

void* operator new(std::size_t size) {
    return countedAlloc(size, 0);
}
void* operator new[](std::size_t size) {
    return countedAlloc(size, 0);
}
void* operator new(std::size_t size, std::align_val_t a) {
    return countedAlloc(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return countedAlloc(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return countedAllocNoThrow(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return countedAllocNoThrow(size, 0);
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return countedAllocNoThrow(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    return countedAllocNoThrow(size, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept {
    countedFree(p);
}
void operator delete[](void* p) noexcept {
    countedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    countedFree(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    countedFree(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    countedFree(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    countedFree(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    countedFree(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    countedFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    countedFree(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    countedFree(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    countedFree(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    countedFree(p);
}
