#pragma once
// Row conversions into 0xffRRGGBB words. The variants give identical words;
// the fastest one the processor has is chosen at run time.

#include <cstddef>
#include <cstdint>

namespace gdi {

// count pixels of 3 bytes (blue, green, red) to count words.
using Bgr24RowFn = void (*)(const std::uint8_t* from, std::uint32_t* to, std::size_t count);

void Bgr24RowPlain(const std::uint8_t* from, std::uint32_t* to, std::size_t count);
void Bgr24RowSSSE3(const std::uint8_t* from, std::uint32_t* to, std::size_t count);
void Bgr24RowAVX2(const std::uint8_t* from, std::uint32_t* to, std::size_t count);

enum class RowPath { Plain, SSSE3, AVX2 };

// The conversion in use, and switching it (for tests and measurements).
// SetRowPath answers false when the processor lacks the instructions.
Bgr24RowFn Bgr24Row();
RowPath CurrentRowPath();
bool SetRowPath(RowPath path);
bool RowPathSupported(RowPath path);

} // namespace gdi
