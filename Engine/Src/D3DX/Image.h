#pragma once
// Inside the D3DX layer: decoded images, pixel formats, filters and the
// filling of texture levels. Platform-free; the device-facing texture code
// only locks surfaces and hands them to FillTextureLevels.
#include "d3dx8tex.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace d3dx
{

// A colour with channels in [0, 1].
struct Texel
{
    float r, g, b, a;
};

struct FloatImage
{
    UINT width = 0;
    UINT height = 0;
    std::vector<Texel> texels; // row after row

    FloatImage() = default;
    FloatImage(UINT w, UINT h) : width(w), height(h), texels(size_t(w) * h, Texel{0, 0, 0, 0}) {}
    Texel& At(UINT x, UINT y) { return texels[size_t(y) * width + x]; }
    const Texel& At(UINT x, UINT y) const { return texels[size_t(y) * width + x]; }
};

// Limits on what we decode, so that a small file cannot ask for gigabytes.
constexpr UINT kMaxImageSide = 8192;
constexpr uint64_t kMaxImagePixels = uint64_t(4096) * 4096;

struct DecodedImage
{
    D3DXIMAGE_INFO info{};
    // surfaces[face][level]; one face, or six for a cube map (+X, -X, +Y,
    // -Y, +Z, -Z).
    std::vector<std::vector<FloatImage>> surfaces;
    // For a block-compressed DDS: the blocks of each face and level as
    // stored, so that a texture of the same format takes them unchanged.
    std::vector<std::vector<std::vector<BYTE>>> blocks;
};

// Reads a whole image file (JPEG, BMP, TGA or DDS). D3DXERR_INVALIDDATA for
// anything that is not a complete image we can read.
HRESULT DecodeImage(const void* data, size_t size, DecodedImage* out);
// The same, but only as far as the description (info.MipLevels and so on).
HRESULT ReadImageInfo(const void* data, size_t size, D3DXIMAGE_INFO* info);
// The DDS part of the above; infoOnly skips the pixel data (its size is
// still checked).
HRESULT ReadDds(const BYTE* data, size_t size, DecodedImage* out, bool infoOnly);

//---------------------------------------------------------------------------
// Pixel formats

bool IsBlockFormat(D3DFORMAT format);
// Formats that we can write texels into (and read them back from).
bool CanEncode(D3DFORMAT format);
bool HasAlpha(D3DFORMAT format);
// Bytes of one row of pixels (of 4x4 blocks for DXT formats), and of a
// whole tightly packed surface; 0 for unknown formats.
size_t RowBytes(D3DFORMAT format, UINT width);
size_t SurfaceBytes(D3DFORMAT format, UINT width, UINT height);
// Converts an image into the format; dst rows are pitch bytes apart (block
// rows for DXT formats).
bool EncodeSurface(const FloatImage& image, D3DFORMAT format, BYTE* dst, ptrdiff_t pitch);
// Reads a surface of that format back into texels.
bool DecodeSurface(D3DFORMAT format, const BYTE* src, ptrdiff_t pitch, UINT width, UINT height, FloatImage* out);

// A layout described by bit masks, as DDS files give it: a channel whose
// mask is 0 is absent; luminance (given in the red mask) fills red, green
// and blue.
struct MaskLayout
{
    UINT bits;
    DWORD r, g, b, a;
    bool luminance;
};
bool DecodeMasked(const MaskLayout& layout, const BYTE* src, ptrdiff_t pitch, UINT width, UINT height,
                  FloatImage* out);
// The Direct3D format with exactly that layout, or D3DFMT_UNKNOWN.
D3DFORMAT FormatOfLayout(const MaskLayout& layout);

//---------------------------------------------------------------------------
// Filters

// The filter type of D3DX_FILTER_* flags (D3DX_DEFAULT gives the default);
// 0 when the flags name no filter.
DWORD FilterType(DWORD filter, DWORD defaultType);
// Scales an image with a filter type (D3DX_FILTER_NONE copies what fits and
// leaves the rest transparent black).
FloatImage Resize(const FloatImage& src, UINT width, UINT height, DWORD filterType);

UINT FullMipCount(UINT width, UINT height);

//---------------------------------------------------------------------------
// Texture levels

struct TextureLayout
{
    UINT width, height, levels, faces;
    D3DFORMAT format;
    DWORD filter;    // filter type for the top level
    DWORD mipFilter; // filter type for the levels below
    D3DCOLOR colorKey;
};

// Locks one face and level for writing; unlock is called for every
// successful lock.
using LockLevel = std::function<HRESULT(UINT face, UINT level, BYTE** bits, ptrdiff_t* pitch)>;
using UnlockLevel = std::function<void(UINT face, UINT level)>;

// Writes every face and level of a texture from the image: levels of the
// file with the right size are taken as they are (blocks unchanged when the
// formats match), the top level is otherwise the image scaled with the
// filter and each lower level the one above scaled with the mip filter. An
// image with one face fills every face.
HRESULT FillTextureLevels(const DecodedImage& image, const TextureLayout& layout, const LockLevel& lock,
                          const UnlockLevel& unlock);

} // namespace d3dx
