#pragma once

#include <cstdint>

// The icon the fixture program carries: a 16x16 entry listed first, then a 32x32 one. Shared by
// the generator of the .ico file and the checks, so both know every pixel.
namespace fixtureicon {

constexpr int SmallSide = 16;
constexpr int LargeSide = 32;
constexpr int ClearCorner = 4;

// The pixel at (x, y), y counted from the top, as 0xAARRGGBB. The large entry is a gradient,
// opaque but for a clear corner, so a scaled or mirrored copy cannot pass for it.
inline std::uint32_t pixel(int side, int x, int y) {
    if (side != LargeSide)
        return 0xFF102030u;
    if (x < ClearCorner && y < ClearCorner)
        return 0;
    return 0xFF800000u | std::uint32_t(y * 8) << 8 | std::uint32_t(x * 8);
}

} // namespace fixtureicon
