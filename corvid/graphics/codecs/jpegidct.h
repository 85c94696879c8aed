#pragma once
// Inverse DCT of one 8x8 block for the JPEG decoder. A separable fixed-point transform
// (13-bit constants, 16-bit data between the passes) so that one SIMD register holds a
// row of a block. Every variant produces bit-identical output.

#include <cstddef>
#include <cstdint>

namespace corvid {
enum class Isa;
}

namespace corvid::jpeg {

// Coefficients and quantisers are in natural (row-major) order. Writes 8 rows of 8
// samples, level-shifted by 128 and clamped to 0..255, `stride` bytes apart.
using IdctFunction = void (*)(const std::int16_t* coefficients, const std::uint16_t* quantisers,
                              std::uint8_t* out, std::ptrdiff_t stride);

// Plain scalar transform: the yardstick for the SIMD ones.
void idctReference(const std::int16_t* coefficients, const std::uint16_t* quantisers,
                   std::uint8_t* out, std::ptrdiff_t stride);

void idctSse2(const std::int16_t* coefficients, const std::uint16_t* quantisers, std::uint8_t* out,
              std::ptrdiff_t stride);

// The fastest single-block variant this processor runs.
IdctFunction bestIdct();

// Two blocks in one call, which lets wide vectors take one block per half.
using IdctPairFunction = void (*)(const std::int16_t* coefficientsA,
                                  const std::uint16_t* quantisersA, std::uint8_t* outA,
                                  std::ptrdiff_t strideA, const std::int16_t* coefficientsB,
                                  const std::uint16_t* quantisersB, std::uint8_t* outB,
                                  std::ptrdiff_t strideB);

// The single-block transform twice: SSE2 registers hold one block.
void idctPairBySingles(const std::int16_t* coefficientsA, const std::uint16_t* quantisersA,
                       std::uint8_t* outA, std::ptrdiff_t strideA,
                       const std::int16_t* coefficientsB, const std::uint16_t* quantisersB,
                       std::uint8_t* outB, std::ptrdiff_t strideB);
void idctPairAvx2(const std::int16_t* coefficientsA, const std::uint16_t* quantisersA,
                  std::uint8_t* outA, std::ptrdiff_t strideA, const std::int16_t* coefficientsB,
                  const std::uint16_t* quantisersB, std::uint8_t* outB, std::ptrdiff_t strideB);

// The pair transform for an instruction set (which the processor must run), and
// for the widest this processor runs.
IdctPairFunction idctPairFor(Isa isa);
IdctPairFunction bestIdctPair();

// The value every sample of a block takes when all its AC coefficients are zero; equal
// to what the full transform gives for such a block.
std::uint8_t idctFlatValue(std::int16_t dc, std::uint16_t quantiser);

} // namespace corvid::jpeg
