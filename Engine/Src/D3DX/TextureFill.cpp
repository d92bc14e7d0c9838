// Filling the faces and levels of a texture from a decoded image.
#include "Image.h"

#include <algorithm>
#include <cstring>

namespace d3dx
{
namespace
{

DWORD ToArgb(const Texel& t)
{
    auto channel = [](float v) { return DWORD(std::min(1.0f, std::max(0.0f, v)) * 255.0f + 0.5f); };
    return channel(t.a) << 24 | channel(t.r) << 16 | channel(t.g) << 8 | channel(t.b);
}

// Texels of exactly the key colour become transparent black.
FloatImage ApplyColorKey(const FloatImage& src, D3DCOLOR key)
{
    FloatImage out = src;
    for (Texel& t : out.texels)
        if (ToArgb(t) == key)
            t = Texel{0, 0, 0, 0};
    return out;
}

} // namespace

HRESULT FillTextureLevels(const DecodedImage& image, const TextureLayout& layout, const LockLevel& lock,
                          const UnlockLevel& unlock)
{
    if (image.surfaces.empty() || image.surfaces[0].empty() || !CanEncode(layout.format) || layout.width == 0 ||
        layout.height == 0)
        return D3DERR_INVALIDCALL;
    const size_t faceCount = image.surfaces.size();
    if (faceCount != 1 && faceCount < layout.faces)
        return D3DXERR_INVALIDDATA;
    const bool sameBlocks = !image.blocks.empty() && image.info.Format == layout.format && layout.colorKey == 0;

    for (UINT f = 0; f < layout.faces; ++f)
    {
        const size_t sf = faceCount == 1 ? 0 : f;
        const std::vector<FloatImage>& fileLevels = image.surfaces[sf];
        // The level being written: a file level itself when no colour key
        // changes it, else an image of our own.
        FloatImage own;
        const FloatImage* current = &own;
        auto keyed = [&](const FloatImage& level) -> const FloatImage& {
            if (layout.colorKey == 0)
                return level;
            own = ApplyColorKey(level, layout.colorKey);
            return own;
        };
        for (UINT l = 0; l < layout.levels; ++l)
        {
            const UINT w = std::max(1u, layout.width >> l), h = std::max(1u, layout.height >> l);
            const bool fromFile = l < fileLevels.size() && fileLevels[l].width == w && fileLevels[l].height == h;
            if (fromFile)
                current = &keyed(fileLevels[l]);
            else
            {
                own = l == 0 ? Resize(keyed(fileLevels[0]), w, h, layout.filter)
                             : Resize(*current, w, h, layout.mipFilter);
                current = &own;
            }

            BYTE* bits = nullptr;
            ptrdiff_t pitch = 0;
            const HRESULT hr = lock(f, l, &bits, &pitch);
            if (FAILED(hr))
                return hr;
            if (fromFile && sameBlocks)
            {
                const std::vector<BYTE>& blocks = image.blocks[sf][l];
                const size_t rowBytes = RowBytes(layout.format, w), rows = blocks.size() / rowBytes;
                for (size_t r = 0; r < rows; ++r)
                    memcpy(bits + pitch * ptrdiff_t(r), blocks.data() + r * rowBytes, rowBytes);
            }
            else
                EncodeSurface(*current, layout.format, bits, pitch);
            unlock(f, l);
        }
    }
    return S_OK;
}

} // namespace d3dx
