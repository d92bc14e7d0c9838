// DDS files: uncompressed 8 to 32-bit layouts, DXT1 to DXT5, mip chains and
// cube maps. Every size is checked against the bytes there are.
#include "Image.h"

#include <algorithm>

namespace d3dx
{
namespace
{

constexpr size_t kHeaderBytes = 4 + 124;
constexpr DWORD kFlagMipCount = 0x20000;
constexpr DWORD kPixelAlphaPixels = 0x1;
constexpr DWORD kPixelAlpha = 0x2;
constexpr DWORD kPixelFourCC = 0x4;
constexpr DWORD kPixelRgb = 0x40;
constexpr DWORD kPixelLuminance = 0x20000;
constexpr DWORD kCaps2CubeMap = 0x200;
constexpr DWORD kCaps2AllFaces = 0xfc00;
constexpr DWORD kCaps2Volume = 0x200000;

DWORD Read32(const BYTE* p) { return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24; }

} // namespace

HRESULT ReadDds(const BYTE* data, size_t size, DecodedImage* out, bool infoOnly)
{
    if (size < kHeaderBytes || Read32(data) != MAKEFOURCC('D', 'D', 'S', ' '))
        return D3DXERR_INVALIDDATA;
    const BYTE* h = data + 4;
    const DWORD flags = Read32(h + 4);
    const UINT height = Read32(h + 8), width = Read32(h + 12);
    const DWORD mipCount = Read32(h + 24);
    const BYTE* pf = h + 72;
    const DWORD pfFlags = Read32(pf + 4), fourCC = Read32(pf + 8);
    MaskLayout layout{Read32(pf + 12), Read32(pf + 16), Read32(pf + 20), Read32(pf + 24), Read32(pf + 28), false};
    const DWORD caps2 = Read32(h + 108);

    if (Read32(h) != 124 || width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide ||
        uint64_t(width) * height > kMaxImagePixels || (caps2 & kCaps2Volume))
        return D3DXERR_INVALIDDATA;
    const bool cube = (caps2 & kCaps2CubeMap) != 0;
    // Partial cube maps are not read.
    if (cube && ((caps2 & kCaps2AllFaces) != kCaps2AllFaces || width != height))
        return D3DXERR_INVALIDDATA;

    D3DFORMAT format = D3DFMT_UNKNOWN;
    if (pfFlags & kPixelFourCC)
    {
        // Only the DXT codes become a format (a D3DFORMAT cannot hold any
        // 32-bit value).
        for (D3DFORMAT f : {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5})
            if (DWORD(f) == fourCC)
                format = f;
        if (format == D3DFMT_UNKNOWN)
            return D3DXERR_INVALIDDATA;
    }
    else if (pfFlags & (kPixelRgb | kPixelLuminance | kPixelAlpha))
    {
        layout.luminance = (pfFlags & kPixelLuminance) != 0;
        if (pfFlags & kPixelAlpha)
            layout.r = layout.g = layout.b = 0;
        if (!(pfFlags & (kPixelAlphaPixels | kPixelAlpha)))
            layout.a = 0;
        if (layout.bits == 0 || layout.bits > 32 || layout.bits % 8 != 0)
            return D3DXERR_INVALIDDATA;
        format = FormatOfLayout(layout);
    }
    else
        return D3DXERR_INVALIDDATA;

    const UINT fullChain = FullMipCount(width, height);
    const UINT levels = (flags & kFlagMipCount) && mipCount > 0 ? std::min<UINT>(mipCount, fullChain) : 1;
    const UINT faces = cube ? 6 : 1;
    const bool blocks = IsBlockFormat(format);
    const UINT bytesPerPixel = layout.bits / 8;
    auto levelBytes = [&](UINT w, UINT h2) {
        return blocks ? SurfaceBytes(format, w, h2) : size_t(w) * bytesPerPixel * h2;
    };

    // The whole of the data must be there, even when only the description
    // is wanted.
    size_t needed = 0;
    for (UINT l = 0; l < levels; ++l)
        needed += levelBytes(std::max(1u, width >> l), std::max(1u, height >> l));
    if (needed * faces > size - kHeaderBytes)
        return D3DXERR_INVALIDDATA;

    DecodedImage image;
    image.info.Width = width;
    image.info.Height = height;
    image.info.Depth = 1;
    image.info.MipLevels = levels;
    // Layouts we have no format of are read into A8R8G8B8 or X8R8G8B8.
    image.info.Format = format != D3DFMT_UNKNOWN ? format : layout.a ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    image.info.ResourceType = cube ? D3DRTYPE_CUBETEXTURE : D3DRTYPE_TEXTURE;
    image.info.ImageFileFormat = D3DXIFF_DDS;
    if (!infoOnly)
    {
        const BYTE* p = data + kHeaderBytes;
        image.surfaces.resize(faces);
        if (blocks)
            image.blocks.resize(faces);
        for (UINT f = 0; f < faces; ++f)
            for (UINT l = 0; l < levels; ++l)
            {
                const UINT w = std::max(1u, width >> l), h2 = std::max(1u, height >> l);
                const size_t n = levelBytes(w, h2);
                FloatImage surface;
                const bool ok = blocks ? DecodeSurface(format, p, RowBytes(format, w), w, h2, &surface)
                                       : DecodeMasked(layout, p, ptrdiff_t(w) * bytesPerPixel, w, h2, &surface);
                if (!ok)
                    return D3DXERR_INVALIDDATA;
                image.surfaces[f].push_back(std::move(surface));
                if (blocks)
                    image.blocks[f].emplace_back(p, p + n);
                p += n;
            }
    }
    *out = std::move(image);
    return S_OK;
}

} // namespace d3dx
