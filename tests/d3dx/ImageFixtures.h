#pragma once
// Image files made by the tests: small pictures written as BMP, TGA, JPEG
// and DDS bytes.
#include "D3D8Types.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace fixtures
{

using Bytes = std::vector<uint8_t>;
// The colour of a pixel as A8R8G8B8.
using Picture = std::function<uint32_t(unsigned x, unsigned y)>;

// Four quadrants: red, green / blue, and white at half alpha.
uint32_t Quadrants(unsigned x, unsigned y, unsigned w, unsigned h);

Bytes MakeBmp24(unsigned w, unsigned h, const Picture& p);
// 24 or 32 bits a pixel (blue, green, red, then alpha), rows stored from the
// bottom or, with a negative height in the header, from the top.
Bytes MakeBmp(unsigned w, unsigned h, const Picture& p, unsigned bits, bool topDown);
Bytes MakeTga32(unsigned w, unsigned h, const Picture& p, bool rle);
Bytes MakeJpeg(unsigned w, unsigned h, const Picture& p);

// A DDS header for the format (DXTn, or an uncompressed one given by bit
// count and masks) followed by the data as given.
struct DdsFormat
{
    D3DFORMAT fourCC; // D3DFMT_DXT1..5, or D3DFMT_UNKNOWN for masks
    uint32_t bits, r, g, b, a;
};
Bytes MakeDds(unsigned w, unsigned h, unsigned levels, bool cube, const DdsFormat& format, const Bytes& data);
// An A8R8G8B8 DDS of the picture (every level and face the same picture
// scaled by point sampling, face f told apart by blue xor f).
Bytes MakeDdsArgb(unsigned w, unsigned h, unsigned levels, bool cube, const Picture& p);

} // namespace fixtures
