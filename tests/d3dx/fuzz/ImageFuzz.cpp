// Fuzz target: image files of any kind through the readers, and what they
// read through scaling, mip generation and every kind of encoder.
#include "Image.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    D3DXIMAGE_INFO info;
    if (FAILED(d3dx::ReadImageInfo(data, size, &info)))
        return 0;
    // Large pictures are valid but slow; the readers' limits are tested
    // by the unit tests.
    if (uint64_t(info.Width) * info.Height > (1u << 20))
        return 0;
    d3dx::DecodedImage image;
    if (FAILED(d3dx::DecodeImage(data, size, &image)))
        return 0;

    // Into small textures of a few layouts, so that the scaling, the block
    // copies and the encoders all see what the readers made.
    const UINT w = info.Width % 37 + 1, h = info.Height % 29 + 1;
    const d3dx::TextureLayout layouts[] = {
        {info.Width, info.Height, 2, UINT(image.surfaces.size()), info.Format, D3DX_FILTER_POINT, D3DX_FILTER_BOX, 0},
        {w, h, d3dx::FullMipCount(w, h), 1, D3DFMT_A8R8G8B8, D3DX_FILTER_TRIANGLE, D3DX_FILTER_BOX, 0xff000000},
        {w, h, 1, 6, D3DFMT_DXT5, D3DX_FILTER_BOX | D3DX_FILTER_MIRROR, D3DX_FILTER_LINEAR, 0},
        {h, w, 1, 1, D3DFMT_R5G6B5, D3DX_FILTER_NONE, D3DX_FILTER_POINT, 0},
    };
    std::vector<BYTE> buffer;
    for (const d3dx::TextureLayout& layout : layouts)
        d3dx::FillTextureLevels(
            image, layout,
            [&](UINT, UINT level, BYTE** bits, ptrdiff_t* pitch) {
                const UINT lw = std::max(1u, layout.width >> level), lh = std::max(1u, layout.height >> level);
                const size_t bytes = d3dx::SurfaceBytes(layout.format, lw, lh);
                if (bytes == 0)
                    return D3DERR_INVALIDCALL;
                buffer.assign(bytes, 0);
                *bits = buffer.data();
                *pitch = ptrdiff_t(d3dx::RowBytes(layout.format, lw));
                return S_OK;
            },
            [](UINT, UINT) {});
    return 0;
}
