#pragma once
// A 24-bit BMP file of w x h pixels, colour(x, y) = 0xRRGGBB with y down;
// used by the test-scene content and by tests that save what they drew.
#include <cstdint>
#include <vector>

template <class ColourFn> std::vector<uint8_t> MakeBitmap24(uint32_t w, uint32_t h, ColourFn colour)
{
    const uint32_t rowBytes = (w * 3 + 3) & ~3u;
    const uint32_t size = 54 + rowBytes * h;
    std::vector<uint8_t> b(size, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    b[26] = 1;
    b[28] = 24;
    put32(34, rowBytes * h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
        {
            const uint32_t c = colour(x, y);
            const size_t at = 54 + size_t(h - 1 - y) * rowBytes + x * 3; // rows bottom-up
            b[at] = uint8_t(c);
            b[at + 1] = uint8_t(c >> 8);
            b[at + 2] = uint8_t(c >> 16);
        }
    return b;
}
