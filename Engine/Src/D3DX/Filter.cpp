// Image scaling for textures and their mip levels.
#include "Image.h"

#include <algorithm>
#include <cmath>

namespace d3dx
{
namespace
{

struct Tap
{
    UINT index;
    float weight;
};

// Source pixel index off the edge: wrapped round (textures tile), or
// mirrored back into the image with the mirror flags.
UINT EdgeIndex(long i, UINT size, bool mirror)
{
    const long n = long(size);
    const long period = mirror ? 2 * n : n;
    i %= period;
    if (i < 0)
        i += period;
    if (i >= n)
        i = period - 1 - i;
    return UINT(i);
}

// For each destination pixel along one axis, the source pixels and weights
// of the filter. Pixel j covers [j, j + 1) of the source; destination pixel
// i is centred at (i + 0.5) x scale.
std::vector<std::vector<Tap>> Taps(UINT srcSize, UINT dstSize, DWORD type, bool mirror)
{
    std::vector<std::vector<Tap>> taps(dstSize);
    const float scale = float(srcSize) / float(dstSize);
    for (UINT i = 0; i < dstSize; ++i)
    {
        const float centre = (float(i) + 0.5f) * scale;
        std::vector<Tap>& t = taps[i];
        if (type == D3DX_FILTER_POINT)
        {
            t.push_back({EdgeIndex(long(std::floor(centre)), srcSize, mirror), 1.0f});
            continue;
        }
        // Linear: a tent one source pixel wide each side; triangle: a tent
        // as wide as the scale (at least one pixel); box: the area under the
        // destination pixel.
        const float radius = type == D3DX_FILTER_LINEAR ? 1.0f
                             : type == D3DX_FILTER_BOX ? std::max(1.0f, scale) * 0.5f
                                                       : std::max(1.0f, scale);
        const long first = long(std::floor(centre - radius - 1)), last = long(std::ceil(centre + radius + 1));
        float total = 0;
        for (long j = first; j <= last; ++j)
        {
            float w;
            if (type == D3DX_FILTER_BOX)
                w = std::max(0.0f, std::min(float(j + 1), centre + radius) - std::max(float(j), centre - radius));
            else
                w = std::max(0.0f, 1.0f - std::fabs(float(j) + 0.5f - centre) / radius);
            if (w <= 0.0f)
                continue;
            t.push_back({EdgeIndex(j, srcSize, mirror), w});
            total += w;
        }
        for (Tap& tap : t)
            tap.weight /= total;
    }
    return taps;
}

Texel Weighted(const Texel& acc, const Texel& t, float w)
{
    return Texel{acc.r + t.r * w, acc.g + t.g * w, acc.b + t.b * w, acc.a + t.a * w};
}

} // namespace

DWORD FilterType(DWORD filter, DWORD defaultType)
{
    if (filter == D3DX_DEFAULT)
        return defaultType;
    const DWORD type = filter & 0xffff;
    return type >= D3DX_FILTER_NONE && type <= D3DX_FILTER_BOX ? filter : 0;
}

UINT FullMipCount(UINT width, UINT height)
{
    UINT levels = 1;
    for (UINT size = std::max(width, height); size > 1; size /= 2)
        ++levels;
    return levels;
}

FloatImage Resize(const FloatImage& src, UINT width, UINT height, DWORD filter)
{
    const DWORD type = filter & 0xffff;
    if (src.width == width && src.height == height)
        return src;
    FloatImage dst(width, height);
    if (type == D3DX_FILTER_NONE || src.width == 0 || src.height == 0)
    {
        for (UINT y = 0; y < std::min(height, src.height); ++y)
            for (UINT x = 0; x < std::min(width, src.width); ++x)
                dst.At(x, y) = src.At(x, y);
        return dst;
    }
    const auto tx = Taps(src.width, width, type, (filter & D3DX_FILTER_MIRROR_U) != 0);
    const auto ty = Taps(src.height, height, type, (filter & D3DX_FILTER_MIRROR_V) != 0);

    // Across, then down.
    FloatImage across(width, src.height);
    for (UINT y = 0; y < src.height; ++y)
        for (UINT x = 0; x < width; ++x)
        {
            Texel acc{0, 0, 0, 0};
            for (const Tap& tap : tx[x])
                acc = Weighted(acc, src.At(tap.index, y), tap.weight);
            across.At(x, y) = acc;
        }
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x)
        {
            Texel acc{0, 0, 0, 0};
            for (const Tap& tap : ty[y])
                acc = Weighted(acc, across.At(x, tap.index), tap.weight);
            dst.At(x, y) = acc;
        }
    return dst;
}

} // namespace d3dx
