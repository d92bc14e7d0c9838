#pragma once
// Per-pixel conversion between eleven Direct3D 8 surface formats and one
// common colour of four floats (red, green, blue, alpha), and the surface and
// texture copies built on it.
#include "D3D8Types.h"

// Channel mask bits of the writes and copies.
enum : unsigned
{
    kChannelRed = 1,
    kChannelGreen = 2,
    kChannelBlue = 4,
    kChannelAlpha = 8,
};

// Reads pixel `index` of a row in `format` into `out` (r, g, b, a). A format
// outside the table leaves `out` unchanged; a channel the format lacks reads 0.
void ReadPixelToCommon(D3DFORMAT format, unsigned index, const void* row, float out[4]);
// Writes the channels of `mask` into pixel `index` of a row; the other bits
// of the pixel stay. Values are scaled and truncated, not clamped: a value
// above 1 wraps within its field.
void WritePixelFromCommon(const float colour[4], unsigned mask, D3DFORMAT format, void* row, unsigned index);
// Bytes per pixel of a format of the table, 0 for others.
unsigned CommonPixelSize(D3DFORMAT format);

#ifdef _WIN32
// Copies the overlapping top-left area of `source` into `destination` with
// conversion, writing the channels of `mask`. True exactly when both
// surfaces have the same size.
bool CopySurfaceConvert(unsigned mask, IDirect3DSurface8* destination, IDirect3DSurface8* source);
// Copies red, green and blue of every common mip level. True exactly when
// the level counts match and every level had the same size.
bool CopyTextureLevels(IDirect3DTexture8* source, IDirect3DTexture8* destination);
#endif
