// The per-pixel codecs of the common colour form.
#include "PixelFormat.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

struct Field
{
    unsigned bits, shift; // bits 0: the format lacks the channel
};

struct Layout
{
    D3DFORMAT format;
    unsigned size; // bytes per pixel
    Field channel[4]; // red, green, blue, alpha
};

// X bits are read and written as alpha.
const Layout kLayouts[] = {
    {D3DFMT_R8G8B8, 3, {{8, 16}, {8, 8}, {8, 0}, {0, 0}}},
    {D3DFMT_A8R8G8B8, 4, {{8, 16}, {8, 8}, {8, 0}, {8, 24}}},
    {D3DFMT_X8R8G8B8, 4, {{8, 16}, {8, 8}, {8, 0}, {8, 24}}},
    {D3DFMT_R5G6B5, 2, {{5, 11}, {6, 5}, {5, 0}, {0, 0}}},
    {D3DFMT_X1R5G5B5, 2, {{5, 10}, {5, 5}, {5, 0}, {1, 15}}},
    {D3DFMT_A1R5G5B5, 2, {{5, 10}, {5, 5}, {5, 0}, {1, 15}}},
    {D3DFMT_A4R4G4B4, 2, {{4, 8}, {4, 4}, {4, 0}, {4, 12}}},
    {D3DFMT_A8R3G3B2, 2, {{3, 5}, {3, 2}, {2, 0}, {8, 8}}},
    {D3DFMT_X4R4G4B4, 2, {{4, 8}, {4, 4}, {4, 0}, {4, 12}}},
    {D3DFMT_V8U8, 2, {{8, 0}, {8, 8}, {0, 0}, {0, 0}}},
    {D3DFMT_L6V5U5, 2, {{5, 0}, {5, 5}, {6, 10}, {0, 0}}},
};

const Layout* Find(D3DFORMAT format)
{
    for (const Layout& l : kLayouts)
        if (l.format == format)
            return &l;
    return nullptr;
}

uint32_t Load(const unsigned char* p, unsigned size)
{
    uint32_t v = 0;
    for (unsigned i = 0; i < size; ++i)
        v |= uint32_t(p[i]) << (8 * i);
    return v;
}

void Store(unsigned char* p, unsigned size, uint32_t v)
{
    for (unsigned i = 0; i < size; ++i)
        p[i] = (unsigned char)(v >> (8 * i));
}

// value x (2^n - 1), truncated toward zero; out-of-range floats become 0
// rather than undefined behaviour.
uint32_t Scale(float value, uint32_t max)
{
    const double scaled = double(value) * double(max);
    if (!(std::fabs(scaled) < 9.0e18))
        return 0;
    return uint32_t(int64_t(scaled));
}

} // namespace

unsigned CommonPixelSize(D3DFORMAT format)
{
    const Layout* l = Find(format);
    return l ? l->size : 0;
}

void ReadPixelToCommon(D3DFORMAT format, unsigned index, const void* row, float out[4])
{
    const Layout* l = Find(format);
    if (!l)
        return;
    const uint32_t v = Load(static_cast<const unsigned char*>(row) + size_t(index) * l->size, l->size);
    for (int c = 0; c < 4; ++c)
    {
        const Field& f = l->channel[c];
        const uint32_t max = (1u << f.bits) - 1;
        out[c] = f.bits ? float((v >> f.shift) & max) / float(max) : 0.0f;
    }
}

void WritePixelFromCommon(const float colour[4], unsigned mask, D3DFORMAT format, void* row, unsigned index)
{
    const Layout* l = Find(format);
    if (!l)
        return;
    unsigned char* p = static_cast<unsigned char*>(row) + size_t(index) * l->size;
    uint32_t v = Load(p, l->size);
    for (int c = 0; c < 4; ++c)
    {
        const Field& f = l->channel[c];
        if (!f.bits || !(mask & (1u << c)))
            continue;
        const uint32_t max = (1u << f.bits) - 1;
        v = (v & ~(max << f.shift)) | ((Scale(colour[c], max) & max) << f.shift);
    }
    Store(p, l->size, v);
}
