// Pixel formats of the D3DX layer: texels to and from the bytes of each
// format we make textures in, and the DXT block codecs.
#include "Image.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#define STB_DXT_IMPLEMENTATION
#define STB_DXT_STATIC
#include <stb/stb_dxt.h>

namespace d3dx
{
namespace
{

struct FormatLayout
{
    D3DFORMAT format;
    MaskLayout layout;
    bool hasAlpha; // an alpha mask that holds alpha (not X bits)
};

// X bits are listed in the alpha mask and written as ones.
const FormatLayout kLayouts[] = {
    {D3DFMT_A8R8G8B8, {32, 0xff0000, 0xff00, 0xff, 0xff000000, false}, true},
    {D3DFMT_X8R8G8B8, {32, 0xff0000, 0xff00, 0xff, 0xff000000, false}, false},
    {D3DFMT_R8G8B8, {24, 0xff0000, 0xff00, 0xff, 0, false}, false},
    {D3DFMT_R5G6B5, {16, 0xf800, 0x7e0, 0x1f, 0, false}, false},
    {D3DFMT_X1R5G5B5, {16, 0x7c00, 0x3e0, 0x1f, 0x8000, false}, false},
    {D3DFMT_A1R5G5B5, {16, 0x7c00, 0x3e0, 0x1f, 0x8000, false}, true},
    {D3DFMT_A4R4G4B4, {16, 0xf00, 0xf0, 0xf, 0xf000, false}, true},
    {D3DFMT_X4R4G4B4, {16, 0xf00, 0xf0, 0xf, 0xf000, false}, false},
    {D3DFMT_R3G3B2, {8, 0xe0, 0x1c, 0x3, 0, false}, false},
    {D3DFMT_A8R3G3B2, {16, 0xe0, 0x1c, 0x3, 0xff00, false}, true},
    {D3DFMT_A8, {8, 0, 0, 0, 0xff, false}, true},
    {D3DFMT_A2B10G10R10, {32, 0x3ff, 0xffc00, 0x3ff00000, 0xc0000000, false}, true},
    {D3DFMT_G16R16, {32, 0xffff, 0xffff0000, 0, 0, false}, false},
    // Bump formats, their fields taken as unsigned colour channels.
    {D3DFMT_V8U8, {16, 0xff, 0xff00, 0, 0, false}, false},
    {D3DFMT_L6V5U5, {16, 0x1f, 0x3e0, 0xfc00, 0, false}, false},
    {D3DFMT_L8, {8, 0xff, 0, 0, 0, true}, false},
    {D3DFMT_A8L8, {16, 0xff, 0, 0, 0xff00, true}, true},
    {D3DFMT_A4L4, {8, 0xf, 0, 0, 0xf0, true}, true},
};

const FormatLayout* FindLayout(D3DFORMAT format)
{
    for (const FormatLayout& l : kLayouts)
        if (l.format == format)
            return &l;
    return nullptr;
}

unsigned Shift(DWORD mask)
{
    unsigned s = 0;
    while (mask && !(mask & 1))
    {
        mask >>= 1;
        ++s;
    }
    return s;
}

DWORD FieldMax(DWORD mask) { return mask >> Shift(mask); }

// A mask must be one run of ones to be a channel.
bool Contiguous(DWORD mask)
{
    const DWORD m = FieldMax(mask);
    return (m & (m + 1)) == 0;
}

float ReadField(DWORD pixel, DWORD mask)
{
    return float((pixel & mask) >> Shift(mask)) / float(FieldMax(mask));
}

// A channel of a packed pixel, its shift and range found once.
struct Field
{
    DWORD mask;
    unsigned shift;
    float range;
    explicit Field(DWORD m) : mask(m), shift(Shift(m)), range(float(FieldMax(m))) {}
    DWORD Write(float value) const
    {
        if (!mask)
            return 0;
        const float v = std::min(1.0f, std::max(0.0f, value)); // NaN becomes 0
        return (DWORD(v * range + 0.5f) << shift) & mask;
    }
};

DWORD WriteField(float value, DWORD mask) { return Field(mask).Write(value); }

DWORD LoadPixel(const BYTE* p, UINT bytes)
{
    DWORD v = 0;
    for (UINT i = 0; i < bytes; ++i)
        v |= DWORD(p[i]) << (8 * i);
    return v;
}

void StorePixel(BYTE* p, UINT bytes, DWORD v)
{
    for (UINT i = 0; i < bytes; ++i)
        p[i] = BYTE(v >> (8 * i));
}

float Luminance(const Texel& t) { return 0.2125f * t.r + 0.7154f * t.g + 0.0721f * t.b; }

UINT BlockBytes(D3DFORMAT format) { return format == D3DFMT_DXT1 ? 8 : 16; }

//---------------------------------------------------------------------------
// DXT blocks

void DecodeColorBlock(const BYTE* block, bool allowTransparent, Texel out[16])
{
    const unsigned c0 = block[0] | (block[1] << 8), c1 = block[2] | (block[3] << 8);
    Texel colors[4];
    auto expand = [](unsigned c) {
        return Texel{float((c >> 11) & 31) / 31, float((c >> 5) & 63) / 63, float(c & 31) / 31, 1.0f};
    };
    colors[0] = expand(c0);
    colors[1] = expand(c1);
    auto mix = [](const Texel& a, const Texel& b, float wa, float wb) {
        return Texel{a.r * wa + b.r * wb, a.g * wa + b.g * wb, a.b * wa + b.b * wb, 1.0f};
    };
    if (c0 > c1 || !allowTransparent)
    {
        colors[2] = mix(colors[0], colors[1], 2.0f / 3, 1.0f / 3);
        colors[3] = mix(colors[0], colors[1], 1.0f / 3, 2.0f / 3);
    }
    else
    {
        colors[2] = mix(colors[0], colors[1], 0.5f, 0.5f);
        colors[3] = Texel{0, 0, 0, 0};
    }
    const DWORD indices = LoadPixel(block + 4, 4);
    for (int i = 0; i < 16; ++i)
        out[i] = colors[(indices >> (2 * i)) & 3];
}

void DecodeBlock(D3DFORMAT format, const BYTE* block, Texel out[16])
{
    if (format == D3DFMT_DXT1)
    {
        DecodeColorBlock(block, true, out);
        return;
    }
    DecodeColorBlock(block + 8, false, out);
    if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3)
    {
        for (int i = 0; i < 16; ++i)
            out[i].a = float((block[i / 2] >> (4 * (i & 1))) & 15) / 15;
        return;
    }
    // DXT4/5: two alpha end points and 3-bit indices.
    const float a0 = block[0] / 255.0f, a1 = block[1] / 255.0f;
    float alphas[8] = {a0, a1};
    if (block[0] > block[1])
        for (int i = 1; i < 7; ++i)
            alphas[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    else
    {
        for (int i = 1; i < 5; ++i)
            alphas[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        alphas[6] = 0.0f;
        alphas[7] = 1.0f;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i)
        bits |= uint64_t(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i)
        out[i].a = alphas[(bits >> (3 * i)) & 7];
}

void EncodeBlock(D3DFORMAT format, const Texel in[16], BYTE* block)
{
    unsigned char rgba[64];
    for (int i = 0; i < 16; ++i)
    {
        const Texel& t = in[i];
        const float ch[4] = {t.r, t.g, t.b, t.a};
        for (int c = 0; c < 4; ++c)
            rgba[4 * i + c] = (unsigned char)(WriteField(ch[c], 0xff));
    }
    if (format == D3DFMT_DXT1)
    {
        stb_compress_dxt_block(block, rgba, 0, STB_DXT_HIGHQUAL);
        return;
    }
    if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3)
    {
        memset(block, 0, 8);
        for (int i = 0; i < 16; ++i)
            block[i / 2] |= BYTE((WriteField(in[i].a, 0xf)) << (4 * (i & 1)));
        stb_compress_dxt_block(block + 8, rgba, 0, STB_DXT_HIGHQUAL);
        return;
    }
    stb_compress_dxt_block(block, rgba, 1, STB_DXT_HIGHQUAL);
}

} // namespace

bool IsBlockFormat(D3DFORMAT format)
{
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
           format == D3DFMT_DXT5;
}

bool CanEncode(D3DFORMAT format) { return IsBlockFormat(format) || FindLayout(format) != nullptr; }

bool HasAlpha(D3DFORMAT format)
{
    if (IsBlockFormat(format))
        return true;
    const FormatLayout* l = FindLayout(format);
    return l && l->hasAlpha;
}

size_t RowBytes(D3DFORMAT format, UINT width)
{
    if (IsBlockFormat(format))
        return size_t(std::max(1u, (width + 3) / 4)) * BlockBytes(format);
    const FormatLayout* l = FindLayout(format);
    return l ? size_t(width) * (l->layout.bits / 8) : 0;
}

size_t SurfaceBytes(D3DFORMAT format, UINT width, UINT height)
{
    const UINT rows = IsBlockFormat(format) ? std::max(1u, (height + 3) / 4) : height;
    return RowBytes(format, width) * rows;
}

bool DecodeMasked(const MaskLayout& layout, const BYTE* src, ptrdiff_t pitch, UINT width, UINT height,
                  FloatImage* out)
{
    if (layout.bits == 0 || layout.bits > 32 || layout.bits % 8 != 0)
        return false;
    for (DWORD mask : {layout.r, layout.g, layout.b, layout.a})
        if (!Contiguous(mask))
            return false;
    const UINT bytes = layout.bits / 8;
    *out = FloatImage(width, height);
    for (UINT y = 0; y < height; ++y)
    {
        const BYTE* row = src + pitch * ptrdiff_t(y);
        for (UINT x = 0; x < width; ++x)
        {
            const DWORD p = LoadPixel(row + size_t(x) * bytes, bytes);
            Texel& t = out->At(x, y);
            if (layout.luminance)
                t.r = t.g = t.b = layout.r ? ReadField(p, layout.r) : 0.0f;
            else
            {
                t.r = layout.r ? ReadField(p, layout.r) : 0.0f;
                t.g = layout.g ? ReadField(p, layout.g) : 0.0f;
                t.b = layout.b ? ReadField(p, layout.b) : 0.0f;
            }
            t.a = layout.a ? ReadField(p, layout.a) : 1.0f;
        }
    }
    return true;
}

D3DFORMAT FormatOfLayout(const MaskLayout& layout)
{
    for (const FormatLayout& l : kLayouts)
    {
        const MaskLayout& m = l.layout;
        if (m.bits != layout.bits || m.r != layout.r || m.g != layout.g || m.b != layout.b ||
            m.luminance != layout.luminance)
            continue;
        // Without alpha the format with X bits (or none) fits.
        if (layout.a == 0 ? !l.hasAlpha : (l.hasAlpha && m.a == layout.a))
            return l.format;
    }
    return D3DFMT_UNKNOWN;
}

bool DecodeSurface(D3DFORMAT format, const BYTE* src, ptrdiff_t pitch, UINT width, UINT height, FloatImage* out)
{
    if (IsBlockFormat(format))
    {
        *out = FloatImage(width, height);
        Texel block[16];
        for (UINT by = 0; by < (height + 3) / 4; ++by)
            for (UINT bx = 0; bx < (width + 3) / 4; ++bx)
            {
                DecodeBlock(format, src + pitch * ptrdiff_t(by) + size_t(bx) * BlockBytes(format), block);
                for (UINT i = 0; i < 16; ++i)
                {
                    const UINT x = bx * 4 + i % 4, y = by * 4 + i / 4;
                    if (x < width && y < height)
                        out->At(x, y) = block[i];
                }
            }
        return true;
    }
    const FormatLayout* l = FindLayout(format);
    if (!l)
        return false;
    MaskLayout layout = l->layout;
    if (!l->hasAlpha)
        layout.a = 0; // X bits read as opaque
    return DecodeMasked(layout, src, pitch, width, height, out);
}

bool EncodeSurface(const FloatImage& image, D3DFORMAT format, BYTE* dst, ptrdiff_t pitch)
{
    if (IsBlockFormat(format))
    {
        Texel block[16];
        for (UINT by = 0; by < (image.height + 3) / 4; ++by)
            for (UINT bx = 0; bx < (image.width + 3) / 4; ++bx)
            {
                // Blocks over the edge repeat the last row and column.
                for (UINT i = 0; i < 16; ++i)
                    block[i] = image.At(std::min(bx * 4 + i % 4, image.width - 1),
                                        std::min(by * 4 + i / 4, image.height - 1));
                EncodeBlock(format, block, dst + pitch * ptrdiff_t(by) + size_t(bx) * BlockBytes(format));
            }
        return true;
    }
    const FormatLayout* l = FindLayout(format);
    if (!l)
        return false;
    const MaskLayout& m = l->layout;
    const UINT bytes = m.bits / 8;
    const Field r(m.r), g(m.g), b(m.b), a(l->hasAlpha ? m.a : 0);
    const DWORD fixedAlpha = l->hasAlpha ? 0 : m.a;
    for (UINT y = 0; y < image.height; ++y)
    {
        BYTE* row = dst + pitch * ptrdiff_t(y);
        const Texel* t = image.texels.data() + size_t(y) * image.width;
        for (UINT x = 0; x < image.width; ++x, ++t)
        {
            DWORD p = m.luminance ? r.Write(Luminance(*t)) : r.Write(t->r) | g.Write(t->g) | b.Write(t->b);
            p |= a.Write(t->a) | fixedAlpha;
            StorePixel(row + size_t(x) * bytes, bytes, p);
        }
    }
    return true;
}

} // namespace d3dx
