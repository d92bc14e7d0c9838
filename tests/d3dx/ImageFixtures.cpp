#include "ImageFixtures.h"

#include <algorithm>
#include <cstring>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#endif
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace fixtures
{
namespace
{

void Put16(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void Put32(Bytes& b, uint32_t v)
{
    Put16(b, v & 0xffff);
    Put16(b, v >> 16);
}

void PutArgb(Bytes& b, uint32_t c) { Put32(b, c); }

} // namespace

uint32_t Quadrants(unsigned x, unsigned y, unsigned w, unsigned h)
{
    const bool right = x >= w / 2, bottom = y >= h / 2;
    if (!bottom)
        return right ? 0xff00ff00u : 0xffff0000u;
    return right ? 0x80ffffffu : 0xff0000ffu;
}

Bytes MakeBmp(unsigned w, unsigned h, const Picture& p, unsigned bits, bool topDown)
{
    const unsigned bytes = bits / 8;
    const uint32_t row = (w * bytes + 3) & ~3u;
    Bytes b = {'B', 'M'};
    Put32(b, 54 + row * h);
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, w);
    Put32(b, topDown ? uint32_t(-int32_t(h)) : h);
    Put16(b, 1);
    Put16(b, uint16_t(bits));
    for (int i = 0; i < 6; ++i)
        Put32(b, 0);
    for (unsigned i = 0; i < h; ++i)
    {
        const unsigned y = topDown ? i : h - 1 - i; // a bottom-up file starts with the bottom row
        for (unsigned x = 0; x < w; ++x)
        {
            const uint32_t c = p(x, y);
            for (unsigned k = 0; k < bytes; ++k)
                b.push_back(uint8_t(c >> (8 * k)));
        }
        b.resize(b.size() + row - w * bytes, 0);
    }
    return b;
}

Bytes MakeBmp24(unsigned w, unsigned h, const Picture& p)
{
    return MakeBmp(w, h, p, 24, false);
}

Bytes MakeTga32(unsigned w, unsigned h, const Picture& p, bool rle)
{
    Bytes b = {0, 0, uint8_t(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(b, w);
    Put16(b, h);
    b.push_back(32);
    b.push_back(0x28); // top row first, 8 alpha bits
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w;)
        {
            if (!rle)
            {
                PutArgb(b, p(x++, y));
                continue;
            }
            // Runs of equal pixels within a row as run packets.
            unsigned n = 1;
            while (x + n < w && n < 128 && p(x + n, y) == p(x, y))
                ++n;
            b.push_back(uint8_t(0x80 | (n - 1)));
            PutArgb(b, p(x, y));
            x += n;
        }
    return b;
}

Bytes MakeJpeg(unsigned w, unsigned h, const Picture& p)
{
    std::vector<uint8_t> rgb;
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
        {
            const uint32_t c = p(x, y);
            rgb.push_back(uint8_t(c >> 16));
            rgb.push_back(uint8_t(c >> 8));
            rgb.push_back(uint8_t(c));
        }
    Bytes out;
    stbi_write_jpg_to_func(
        [](void* ctx, void* data, int size) {
            auto* o = static_cast<Bytes*>(ctx);
            o->insert(o->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
        },
        &out, int(w), int(h), 3, rgb.data(), 100);
    return out;
}

Bytes MakeDds(unsigned w, unsigned h, unsigned levels, bool cube, const DdsFormat& format, const Bytes& data)
{
    Bytes b = {'D', 'D', 'S', ' '};
    Put32(b, 124);
    Put32(b, 0x1007 | (levels > 1 ? 0x20000 : 0)); // caps, height, width, pixel format, mip count
    Put32(b, h);
    Put32(b, w);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, levels);
    for (int i = 0; i < 11; ++i)
        Put32(b, 0);
    Put32(b, 32);
    if (format.fourCC != D3DFMT_UNKNOWN)
    {
        Put32(b, 0x4);
        Put32(b, uint32_t(format.fourCC));
        for (int i = 0; i < 5; ++i)
            Put32(b, 0);
    }
    else
    {
        Put32(b, 0x40 | (format.a ? 0x1 : 0));
        Put32(b, 0);
        Put32(b, format.bits);
        Put32(b, format.r);
        Put32(b, format.g);
        Put32(b, format.b);
        Put32(b, format.a);
    }
    Put32(b, 0x1000 | (levels > 1 ? 0x400008 : 0) | (cube ? 0x8 : 0));
    Put32(b, cube ? 0xfe00 : 0);
    for (int i = 0; i < 3; ++i)
        Put32(b, 0);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

Bytes MakeDdsArgb(unsigned w, unsigned h, unsigned levels, bool cube, const Picture& p)
{
    Bytes data;
    for (unsigned f = 0; f < (cube ? 6u : 1u); ++f)
        for (unsigned l = 0; l < levels; ++l)
        {
            const unsigned lw = std::max(1u, w >> l), lh = std::max(1u, h >> l);
            for (unsigned y = 0; y < lh; ++y)
                for (unsigned x = 0; x < lw; ++x)
                    Put32(data, p(x << l, y << l) ^ f);
        }
    return MakeDds(w, h, levels, cube, {D3DFMT_UNKNOWN, 32, 0xff0000, 0xff00, 0xff, 0xff000000}, data);
}

} // namespace fixtures
