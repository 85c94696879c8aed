#pragma once
// The few compiler-specific spellings the product needs, in one place, so the same
// sources build with GCC, Clang and MinGW GCC (and the scalar parts with MSVC).

#if defined(_MSC_VER) && !defined(__clang__)
#define CORVID_ALWAYS_INLINE __forceinline
// MSVC lets any function use any instruction set's intrinsics.
#define CORVID_TARGET(isa)
#else
#define CORVID_ALWAYS_INLINE inline __attribute__((always_inline))
// A function built for a wider instruction set than the file's, called only after
// the processor has been checked.
#define CORVID_TARGET(isa) __attribute__((target(isa)))
#endif

// Warnings GCC raises wrongly over a stretch of code, switched off for that stretch
// only: CORVID_GCC_WARNINGS_PUSH CORVID_GCC_WARNING_OFF("-Wname") ... POP. Other
// compilers do not know every GCC warning name, so these are GCC's alone.
#if defined(__GNUC__) && !defined(__clang__)
#define CORVID_PRAGMA(text) _Pragma(#text)
#define CORVID_GCC_WARNINGS_PUSH _Pragma("GCC diagnostic push")
#define CORVID_GCC_WARNING_OFF(name) CORVID_PRAGMA(GCC diagnostic ignored name)
#define CORVID_GCC_WARNINGS_POP _Pragma("GCC diagnostic pop")
#else
#define CORVID_GCC_WARNINGS_PUSH
#define CORVID_GCC_WARNING_OFF(name)
#define CORVID_GCC_WARNINGS_POP
#endif

// A fixed-size vector of elements with element-wise operators (the GNU vector
// extension, which GCC and Clang share): typedef CORVID_VECTOR(float, 32) F8;
#define CORVID_VECTOR(element, bytes) element __attribute__((vector_size(bytes)))
