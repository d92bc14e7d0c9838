#pragma once
// Pictures for the scene content: an 8-bit RGB or RGBA raster, deterministic
// noise to paint it with, and the file encoders the engine reads (JPEG for
// archive bitmaps and resources, TGA with alpha, uncompressed DDS).
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace SceneContent
{
typedef std::vector<uint8_t> Bytes;

const float kPi = 3.14159265f;

struct Rgb
{
    float r = 0, g = 0, b = 0;
};
inline Rgb MakeRgb(float r, float g, float b) { return Rgb{r, g, b}; }
inline Rgb Mix(const Rgb& a, const Rgb& b, float t)
{
    return Rgb{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
inline Rgb Scale(const Rgb& a, float s) { return Rgb{a.r * s, a.g * s, a.b * s}; }
inline float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
inline float SmoothStep(float e0, float e1, float x)
{
    const float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

class CImage
{
public:
    CImage() = default;
    CImage(int width, int height, int channels);

    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    int Channels() const { return m_Channels; }
    const std::vector<uint8_t>& Pixels() const { return m_Pixels; }

    void Set(int x, int y, const Rgb& c, float alpha = 1.0f);
    Rgb Get(int x, int y) const;
    float GetAlpha(int x, int y) const;
    // The alpha channel as a grey picture (white = opaque).
    CImage AlphaAsGrey() const;

private:
    int m_Width = 0, m_Height = 0, m_Channels = 3;
    std::vector<uint8_t> m_Pixels;
};

// A small deterministic generator (the same stream on every platform).
class CRandom
{
public:
    explicit CRandom(uint64_t seed) : m_State(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t Next();
    float Unit() { return (Next() >> 8) * (1.0f / 16777216.0f); } // [0, 1)
    float Range(float lo, float hi) { return lo + (hi - lo) * Unit(); }

private:
    uint64_t m_State;
};

// Value noise on an integer lattice; `period` > 0 tiles it (for seamless
// textures), 0 leaves it unbounded.
float LatticeNoise(float x, float y, uint32_t seed, int period = 0);
// Sum of octaves in about [0, 1].
float Fbm(float x, float y, uint32_t seed, int octaves, int period = 0);
// Cellular distance to the nearest of jittered points, tiled with `period`.
float Cells(float x, float y, uint32_t seed, int period);
// The gap between the nearest and second-nearest of those points: 0 on the
// borders between cells (cracks, mortar).
float CellEdge(float x, float y, uint32_t seed, int period);

Bytes EncodeJpeg(const CImage& image, int quality = 88);
Bytes EncodeTga(const CImage& image); // 32-bit with alpha, top-left origin
Bytes EncodeDds(const CImage& image); // uncompressed A8R8G8B8, one level
bool WriteFileBytes(const std::string& path, const Bytes& bytes);
} // namespace SceneContent
