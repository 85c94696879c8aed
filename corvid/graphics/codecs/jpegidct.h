#pragma once
// Inverse DCT of one 8x8 block for the JPEG decoder. A separable fixed-point transform
// (13-bit constants, 16-bit data between the passes) so that one SIMD register holds a
// row of a block. Every variant produces bit-identical output.

#include <cstddef>
#include <cstdint>

namespace corvid::jpeg {

// Coefficients and quantisers are in natural (row-major) order. Writes 8 rows of 8
// samples, level-shifted by 128 and clamped to 0..255, `stride` bytes apart.
using IdctFunction = void (*)(const std::int16_t* coefficients, const std::uint16_t* quantisers,
                              std::uint8_t* out, std::ptrdiff_t stride);

// Plain scalar transform: the portable fallback and the yardstick for the SIMD ones.
void idctReference(const std::int16_t* coefficients, const std::uint16_t* quantisers,
                   std::uint8_t* out, std::ptrdiff_t stride);

#if defined(__x86_64__)
void idctSse2(const std::int16_t* coefficients, const std::uint16_t* quantisers, std::uint8_t* out,
              std::ptrdiff_t stride);
#endif

// The fastest variant this processor runs.
IdctFunction bestIdct();

// Two blocks in one call, which lets wide vectors take one block per half.
using IdctPairFunction = void (*)(const std::int16_t* coefficientsA,
                                  const std::uint16_t* quantisersA, std::uint8_t* outA,
                                  std::ptrdiff_t strideA, const std::int16_t* coefficientsB,
                                  const std::uint16_t* quantisersB, std::uint8_t* outB,
                                  std::ptrdiff_t strideB);

void idctPairBySingles(const std::int16_t* coefficientsA, const std::uint16_t* quantisersA,
                       std::uint8_t* outA, std::ptrdiff_t strideA,
                       const std::int16_t* coefficientsB, const std::uint16_t* quantisersB,
                       std::uint8_t* outB, std::ptrdiff_t strideB);
#if defined(__x86_64__)
void idctPairAvx2(const std::int16_t* coefficientsA, const std::uint16_t* quantisersA,
                  std::uint8_t* outA, std::ptrdiff_t strideA, const std::int16_t* coefficientsB,
                  const std::uint16_t* quantisersB, std::uint8_t* outB, std::ptrdiff_t strideB);
#endif

IdctPairFunction bestIdctPair();

// The value every sample of a block takes when all its AC coefficients are zero; equal
// to what the full transform gives for such a block.
std::uint8_t idctFlatValue(std::int16_t dc, std::uint16_t quantiser);

} // namespace corvid::jpeg
