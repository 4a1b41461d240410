#pragma once

#include <cstdint>

namespace quillory::testing {

// Desktop-like BGRX content for encoder tests and benchmarks: lines of small dark glyphs on a
// light background that scroll by `scrollRows` pixel rows, beside a noisy photo-like region.
// Deterministic for the same arguments.
void paintSyntheticDesktop(std::uint8_t* bgrx, int width, int height, int stride, int scrollRows);

}  // namespace quillory::testing
