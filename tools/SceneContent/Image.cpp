#include "Image.h"

#include <cstdio>
#include <cstring>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace SceneContent
{
CImage::CImage(int width, int height, int channels)
    : m_Width(width), m_Height(height), m_Channels(channels), m_Pixels(size_t(width) * height * channels, 0)
{
}

static uint8_t ToByte(float v) { return uint8_t(Clamp01(v) * 255.0f + 0.5f); }

void CImage::Set(int x, int y, const Rgb& c, float alpha)
{
    uint8_t* p = &m_Pixels[(size_t(y) * m_Width + x) * m_Channels];
    p[0] = ToByte(c.r);
    p[1] = ToByte(c.g);
    p[2] = ToByte(c.b);
    if (m_Channels == 4)
        p[3] = ToByte(alpha);
}

Rgb CImage::Get(int x, int y) const
{
    const uint8_t* p = &m_Pixels[(size_t(y) * m_Width + x) * m_Channels];
    return Rgb{p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
}

float CImage::GetAlpha(int x, int y) const
{
    return m_Channels == 4 ? m_Pixels[(size_t(y) * m_Width + x) * 4 + 3] / 255.0f : 1.0f;
}

CImage CImage::AlphaAsGrey() const
{
    CImage out(m_Width, m_Height, 3);
    for (int y = 0; y < m_Height; ++y)
        for (int x = 0; x < m_Width; ++x)
        {
            const float a = GetAlpha(x, y);
            out.Set(x, y, Rgb{a, a, a});
        }
    return out;
}

uint32_t CRandom::Next()
{
    uint64_t z = (m_State += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return uint32_t((z ^ (z >> 31)) >> 32);
}

static uint32_t Hash(int x, int y, uint32_t seed)
{
    uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return h;
}

static float HashUnit(int x, int y, uint32_t seed) { return (Hash(x, y, seed) & 0xFFFFFF) / 16777215.0f; }

static int Wrap(int v, int period)
{
    if (period <= 0)
        return v;
    v %= period;
    return v < 0 ? v + period : v;
}

float LatticeNoise(float x, float y, uint32_t seed, int period)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = int(fx), iy = int(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const int x0 = Wrap(ix, period), x1 = Wrap(ix + 1, period);
    const int y0 = Wrap(iy, period), y1 = Wrap(iy + 1, period);
    const float a = HashUnit(x0, y0, seed), b = HashUnit(x1, y0, seed);
    const float c = HashUnit(x0, y1, seed), d = HashUnit(x1, y1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float Fbm(float x, float y, uint32_t seed, int octaves, int period)
{
    float sum = 0, amp = 0.5f, norm = 0;
    for (int i = 0; i < octaves; ++i)
    {
        sum += amp * LatticeNoise(x, y, seed + 131u * i, period);
        norm += amp;
        x *= 2;
        y *= 2;
        period *= 2;
        amp *= 0.5f;
    }
    return sum / norm;
}

static void NearestTwo(float x, float y, uint32_t seed, int period, float& best, float& second)
{
    const int ix = int(std::floor(x)), iy = int(std::floor(y));
    best = second = 9;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
        {
            const int cx = ix + dx, cy = iy + dy;
            const int wx = Wrap(cx, period), wy = Wrap(cy, period);
            const float px = cx + HashUnit(wx, wy, seed), py = cy + HashUnit(wx, wy, seed + 7);
            const float d = std::sqrt((px - x) * (px - x) + (py - y) * (py - y));
            if (d < best)
            {
                second = best;
                best = d;
            }
            else if (d < second)
                second = d;
        }
}

float Cells(float x, float y, uint32_t seed, int period)
{
    float best, second;
    NearestTwo(x, y, seed, period, best, second);
    return best;
}

float CellEdge(float x, float y, uint32_t seed, int period)
{
    float best, second;
    NearestTwo(x, y, seed, period, best, second);
    return second - best;
}

static void AppendBytes(void* context, void* data, int size)
{
    Bytes* out = static_cast<Bytes*>(context);
    const uint8_t* p = static_cast<const uint8_t*>(data);
    out->insert(out->end(), p, p + size);
}

Bytes EncodeJpeg(const CImage& image, int quality)
{
    Bytes out;
    std::vector<uint8_t> rgb;
    const std::vector<uint8_t>* src = &image.Pixels();
    if (image.Channels() == 4)
    {
        rgb.reserve(size_t(image.Width()) * image.Height() * 3);
        for (size_t i = 0; i < image.Pixels().size(); i += 4)
            rgb.insert(rgb.end(), image.Pixels().begin() + i, image.Pixels().begin() + i + 3);
        src = &rgb;
    }
    stbi_write_jpg_to_func(AppendBytes, &out, image.Width(), image.Height(), 3, src->data(), quality);
    return out;
}

// Pixels top row first as blue, green, red, alpha bytes.
static void AppendBgra(const CImage& image, Bytes& out)
{
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
        {
            const Rgb c = image.Get(x, y);
            out.push_back(ToByte(c.b));
            out.push_back(ToByte(c.g));
            out.push_back(ToByte(c.r));
            out.push_back(ToByte(image.GetAlpha(x, y)));
        }
}

Bytes EncodeTga(const CImage& image)
{
    Bytes out(18, 0);
    out[2] = 2; // uncompressed true colour
    out[12] = uint8_t(image.Width());
    out[13] = uint8_t(image.Width() >> 8);
    out[14] = uint8_t(image.Height());
    out[15] = uint8_t(image.Height() >> 8);
    out[16] = 32;
    out[17] = 0x28; // 8 alpha bits, top-left origin
    AppendBgra(image, out);
    return out;
}

Bytes EncodeDds(const CImage& image)
{
    Bytes out(128, 0);
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = uint8_t(v >> (8 * i));
    };
    std::memcpy(out.data(), "DDS ", 4);
    put(4, 124);                          // header size
    put(8, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000); // caps, height, width, pitch, pixel format
    put(12, uint32_t(image.Height()));
    put(16, uint32_t(image.Width()));
    put(20, uint32_t(image.Width()) * 4);
    put(76, 32);         // pixel format size
    put(80, 0x41);       // RGB with alpha
    put(88, 32);         // bits
    put(92, 0x00FF0000); // red
    put(96, 0x0000FF00);
    put(100, 0x000000FF);
    put(104, 0xFF000000);
    put(108, 0x1000); // texture
    AppendBgra(image, out);
    return out;
}

bool WriteFileBytes(const std::string& path, const Bytes& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}
} // namespace SceneContent
