#include "Textures.h"

#include <cmath>
#include <functional>
#include <map>
#include <stdexcept>

namespace SceneContent
{
namespace
{

typedef std::function<Rgb(float u, float v)> Shader;

// Paints a square picture of `size` with `shade` at texel centres (u, v in
// [0, 1)); the painters use noise tiled to the picture so it repeats cleanly.
CImage Paint(int size, const Shader& shade)
{
    CImage img(size, size, 3);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            img.Set(x, y, shade((x + 0.5f) / size, (y + 0.5f) / size));
    return img;
}

Rgb Hex(uint32_t c) { return Rgb{((c >> 16) & 255) / 255.0f, ((c >> 8) & 255) / 255.0f, (c & 255) / 255.0f}; }

float Tiled(float u, float v, uint32_t seed, int cells, int octaves)
{
    return Fbm(u * cells, v * cells, seed, octaves, cells);
}

Rgb GrassColour(float u, float v)
{
    const float broad = Tiled(u, v, 11, 4, 4);
    const float fine = Tiled(u, v, 12, 32, 3);
    const float blades = Tiled(u * 0.5f, v * 4.0f, 13, 64, 2);
    Rgb c = Mix(Hex(0x4E6B2A), Hex(0x7D8E3A), SmoothStep(0.35f, 0.7f, broad));
    c = Mix(c, Hex(0x9A8A50), SmoothStep(0.62f, 0.8f, Tiled(u, v, 14, 8, 3)) * 0.5f);
    return Scale(c, 0.75f + 0.35f * fine + 0.2f * (blades - 0.5f));
}

Rgb DirtColour(float u, float v)
{
    const float n = Tiled(u, v, 21, 8, 5);
    const float pebbles = Cells(u * 24, v * 24, 22, 24);
    Rgb c = Mix(Hex(0x6B5238), Hex(0x9C8060), n);
    if (pebbles < 0.22f)
        c = Mix(c, Hex(0xA09484), 0.6f * (1 - pebbles / 0.22f));
    return Scale(c, 0.8f + 0.3f * Tiled(u, v, 23, 32, 2));
}

Rgb SandColour(float u, float v)
{
    const float ripples = 0.5f + 0.5f * std::sin((v + 0.08f * Tiled(u, v, 31, 4, 3)) * 2 * kPi * 12);
    const float n = Tiled(u, v, 32, 8, 4);
    Rgb c = Mix(Hex(0xC8A870), Hex(0xE2C892), n);
    return Scale(c, 0.86f + 0.1f * ripples + 0.12f * Tiled(u, v, 33, 64, 2));
}

Rgb RockColour(float u, float v)
{
    const float n = Tiled(u, v, 41, 4, 6);
    const float cracks = CellEdge(u * 6, v * 6, 42, 6) + 0.15f * Tiled(u, v, 45, 16, 2);
    Rgb c = Mix(Hex(0x6E6A66), Hex(0xA49E94), n);
    c = Mix(c, Hex(0x8A7660), Tiled(u, v, 43, 3, 3) * 0.5f);
    const float edge = SmoothStep(0.04f, 0.14f, cracks);
    return Scale(c, 0.55f + 0.45f * edge + 0.15f * (Tiled(u, v, 44, 32, 2) - 0.5f));
}

Rgb BarkColour(float u, float v)
{
    const float furrows = Tiled(u * 1.0f, v * 0.12f, 51, 16, 4);
    const float n = Tiled(u, v, 52, 8, 3);
    Rgb c = Mix(Hex(0x3A2A1E), Hex(0x6E5644), furrows);
    return Scale(c, 0.7f + 0.4f * n);
}

Rgb PlanksColour(float u, float v)
{
    const int board = int(u * 6);
    const float grain = Tiled(u * 0.3f + board * 0.13f, v, 61 + board, 16, 3);
    Rgb c = Mix(Hex(0x6A5038), Hex(0x9A7A56), grain);
    c = Scale(c, 0.8f + 0.25f * LatticeNoise(float(board), 0.5f, 62));
    const float seam = std::fabs(u * 6 - std::floor(u * 6) - 0.5f);
    if (seam > 0.46f)
        c = Scale(c, 0.45f);
    return Mix(c, Hex(0x7A7A70), Tiled(u, v, 63, 4, 3) * 0.35f); // weathering
}

Rgb BricksColour(float u, float v)
{
    const float rows = 16, cols = 8;
    const int row = int(v * rows);
    const float x = u * cols + (row % 2 ? 0.5f : 0.0f);
    const int col = int(std::floor(x));
    const float fx = x - col, fy = v * rows - row;
    const bool mortar = fx < 0.06f || fy < 0.12f;
    if (mortar)
        return Scale(Hex(0xB0A89A), 0.8f + 0.2f * Tiled(u, v, 71, 32, 2));
    const float tone = LatticeNoise(float(col % int(cols)), float(row), 72);
    Rgb c = Mix(Hex(0x8A3E2A), Hex(0xB46A48), tone);
    return Scale(c, 0.8f + 0.3f * Tiled(u, v, 73, 32, 3));
}

Rgb RoofColour(float u, float v)
{
    const float rows = 12;
    const int row = int(v * rows);
    const float fy = v * rows - row;
    const float x = u * 12 + (row % 2 ? 0.5f : 0);
    const float fx = x - std::floor(x);
    const float curve = std::sin(fx * kPi);
    Rgb c = Mix(Hex(0x7A3424), Hex(0xA85438), LatticeNoise(std::floor(x), float(row), 81));
    c = Scale(c, (0.55f + 0.45f * curve) * (0.6f + 0.4f * fy));
    return Mix(c, Hex(0x54604A), SmoothStep(0.55f, 0.8f, Tiled(u, v, 82, 4, 4)) * 0.6f); // moss
}

Rgb RustColour(float u, float v)
{
    const float n = Tiled(u, v, 91, 8, 5);
    Rgb c = Mix(Hex(0x5A3A28), Hex(0xA05A2C), n);
    c = Mix(c, Hex(0x4A4A48), SmoothStep(0.5f, 0.7f, Tiled(u, v, 92, 4, 4)) * 0.7f);
    return Scale(c, 0.75f + 0.35f * Tiled(u, v, 93, 64, 2));
}

Rgb PaintedMetal(float u, float v, uint32_t base, uint32_t seed, float wearFrom = 0.62f)
{
    const float wear = SmoothStep(wearFrom, wearFrom + 0.14f, Tiled(u, v, seed, 8, 5));
    const float rivets = std::fabs(std::fmod(u * 8, 1.0f) - 0.5f) < 0.04f && std::fmod(v * 32, 1.0f) < 0.35f ? 1.0f : 0;
    Rgb c = Scale(Hex(base), 0.85f + 0.2f * Tiled(u, v, seed + 1, 16, 3));
    c = Mix(c, Hex(0x6E4A30), wear * 0.8f);
    return Scale(c, 1 - 0.25f * rivets);
}

Rgb LocoPaint(float u, float v)
{
    Rgb c = PaintedMetal(u, v, 0x56404C, 101, 0.72f); // a purple-brown livery, kept well by its crew
    const float band = std::fabs(v - 0.5f);
    if (band > 0.44f && band < 0.46f)
        c = Hex(0xC8A040); // lining
    return c;
}

Rgb BrassColour(float u, float v)
{
    const float sheen = 0.5f + 0.5f * std::sin(v * 2 * kPi * 3 + Tiled(u, v, 111, 4, 2) * 3);
    Rgb c = Mix(Hex(0x8A6A28), Hex(0xE0C070), sheen);
    return Mix(c, Hex(0x4A5A3A), SmoothStep(0.7f, 0.85f, Tiled(u, v, 112, 8, 4)) * 0.5f);
}

Rgb WallWindows(float u, float v)
{
    // Plaster with two rows of two windows per repeat.
    Rgb c = Mix(Hex(0xC0B49A), Hex(0xD8CCB0), Tiled(u, v, 121, 8, 4));
    c = Mix(c, Hex(0x8A8070), SmoothStep(0.6f, 0.8f, Tiled(u, v, 122, 4, 3)) * 0.4f);
    const float fx = std::fmod(u * 2, 1.0f), fy = std::fmod(v * 2, 1.0f);
    if (fx > 0.3f && fx < 0.7f && fy > 0.25f && fy < 0.75f)
    {
        const bool frame = fx < 0.33f || fx > 0.67f || fy < 0.29f || fy > 0.71f || std::fabs(fx - 0.5f) < 0.015f ||
                           std::fabs(fy - 0.5f) < 0.015f;
        c = frame ? Hex(0xE8E4D8) : Mix(Hex(0x20262E), Hex(0x607080), (1 - fy) * 0.6f);
    }
    return c;
}

Rgb RoadColour(float u, float v)
{
    // Runs along v; ruts at a quarter and three quarters of the width.
    Rgb c = DirtColour(u, v);
    const float rut = std::min(std::fabs(u - 0.3f), std::fabs(u - 0.7f));
    c = Scale(c, 0.8f + 0.25f * SmoothStep(0.0f, 0.08f, rut));
    const float verge = std::min(u, 1 - u);
    return Mix(GrassColour(u, v), c, SmoothStep(0.02f, 0.14f, verge + 0.05f * Tiled(u, v, 131, 8, 3)));
}

Rgb BallastColour(float u, float v)
{
    const float stones = Cells(u * 40, v * 40, 141, 40);
    const float tone = LatticeNoise(std::floor(u * 40), std::floor(v * 40), 142);
    Rgb c = Mix(Hex(0x5E5850), Hex(0x9A9288), tone);
    return Scale(c, 0.5f + 0.6f * SmoothStep(0.0f, 0.35f, stones));
}

Rgb SleepersColour(float u, float v)
{
    const float grain = Tiled(u, v * 0.25f, 151, 16, 3);
    return Scale(Mix(Hex(0x3A2C22), Hex(0x5E4A3A), grain), 0.8f + 0.3f * Tiled(u, v, 152, 8, 2));
}

Rgb SteelColour(float u, float v)
{
    const float n = Tiled(u, v, 161, 8, 3);
    return Mix(Mix(Hex(0x5A5450), Hex(0x8A8480), n), Hex(0x7A4A30), Tiled(u, v, 162, 4, 3) * 0.4f);
}

Rgb WaterColour(float u, float v)
{
    const float w = Tiled(u + 0.1f * std::sin(v * 2 * kPi), v, 171, 8, 4);
    return Mix(Hex(0x2A4A5A), Hex(0x6A8A90), w);
}

Rgb StoneWall(float u, float v)
{
    const float edge = CellEdge(u * 8, v * 8, 181, 8);
    const float c = Cells(u * 8, v * 8, 183, 8);
    Rgb col = Mix(Hex(0x7A7268), Hex(0xA89E90), Tiled(u, v, 182, 16, 3));
    col = Scale(col, 0.85f + 0.2f * (1 - c));
    return Scale(col, 0.45f + 0.55f * SmoothStep(0.02f, 0.1f, edge));
}

// A card with a branching silhouette: colour in rgb and coverage in alpha.
CImage PaintFoliageCard(int size, uint32_t seed, bool fir, Rgb dark, Rgb light)
{
    CImage img(size, size, 4);
    CRandom rng(seed);
    std::vector<float> cover(size_t(size) * size, 0.0f);
    // Splat needle or leaf clusters along a few branches.
    const int branches = fir ? 9 : 14;
    for (int b = 0; b < branches; ++b)
    {
        const float t = (b + 0.5f) / branches;
        const float cx = fir ? 0.5f : rng.Range(0.2f, 0.8f);
        const float cy = fir ? 0.06f + t * 0.86f : rng.Range(0.15f, 0.85f);
        const float halfWidth = fir ? 0.06f + 0.4f * t : rng.Range(0.12f, 0.22f);
        const int splats = fir ? 320 : 140;
        for (int s = 0; s < splats; ++s)
        {
            const float px = cx + rng.Range(-halfWidth, halfWidth);
            const float py = cy + (fir ? rng.Range(-0.03f, 0.05f) + std::fabs(px - cx) * 0.25f : rng.Range(-0.12f, 0.12f));
            const float radius = fir ? rng.Range(0.012f, 0.022f) : rng.Range(0.02f, 0.035f);
            const int x0 = int((px - radius) * size), x1 = int((px + radius) * size);
            const int y0 = int((py - radius) * size), y1 = int((py + radius) * size);
            for (int y = std::max(1, y0); y <= std::min(size - 2, y1); ++y)
                for (int x = std::max(1, x0); x <= std::min(size - 2, x1); ++x)
                {
                    const float dx = (x + 0.5f) / size - px, dy = (y + 0.5f) / size - py;
                    const float d = std::sqrt(dx * dx + dy * dy) / radius;
                    if (d < 1)
                        cover[size_t(y) * size + x] = std::max(cover[size_t(y) * size + x], 1 - d * d);
                }
        }
    }
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const float c = cover[size_t(y) * size + x];
            const float n = Fbm(x * 0.08f, y * 0.08f, seed + 3, 3);
            const float depth = float(y) / size; // darker towards the inside
            Rgb col = Mix(dark, light, Clamp01(n * 1.2f - 0.1f + (1 - depth) * 0.2f));
            col = Scale(col, 0.6f + 0.5f * c);
            const float a = c > 0.25f ? 1.0f : 0.0f;
            img.Set(x, y, a > 0 ? col : Rgb{0, 0, 0}, a);
        }
    return img;
}

CImage WithAlphaSplit(const CImage& card, bool maskOnly)
{
    return maskOnly ? card.AlphaAsGrey() : card;
}

// One clump of blades: the colour of the blades, and their coverage as a
// grey mask. Between the blades the colour is the blades' own mean, so that
// the smaller mip levels, which average blades and gaps, stay grass-green.
CImage GrassBlades(bool mask)
{
    const int size = 128;
    CImage img(size, size, 3);
    const Rgb fill = Scale(Mix(Hex(0x3A6A1E), Hex(0x7AA63A), 0.5f), 0.8f);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            img.Set(x, y, mask ? Rgb{0, 0, 0} : fill);
    CRandom rng(191);
    for (int b = 0; b < 26; ++b)
    {
        const float root = rng.Range(0.1f, 0.9f), lean = rng.Range(-0.25f, 0.25f);
        const float height = rng.Range(0.55f, 0.98f), width = rng.Range(0.015f, 0.03f);
        const Rgb col = Mix(Hex(0x3A6A1E), Hex(0x7AA63A), rng.Unit());
        for (int y = 0; y < size; ++y)
        {
            const float t = 1 - (y + 0.5f) / size; // 0 at the root (bottom row)
            if (t > height)
                continue;
            const float s = t / height;
            const float cx = root + lean * s * s;
            const float w = width * (1 - s);
            for (int x = 0; x < size; ++x)
                if (std::fabs((x + 0.5f) / size - cx) < w)
                    img.Set(x, y, mask ? Rgb{1, 1, 1} : Scale(col, 0.55f + 0.5f * s));
        }
    }
    return img;
}

CImage ClockDial()
{
    const int size = 256;
    CImage img(size, size, 3);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
            const float r = std::sqrt(dx * dx + dy * dy);
            float a = std::atan2(dx, -dy);
            if (a < 0)
                a += 2 * kPi;
            const float step = a / (2 * kPi) * 60;
            const float toTick = std::fabs(step - std::round(step)) * (2 * kPi / 60) * r * size / 2;
            const bool hourTick = int(std::round(step)) % 5 == 0;
            Rgb c = Mix(Hex(0xF2EAD4), Hex(0xD8CBA8), r * r);
            c = Scale(c, 0.92f + 0.08f * Fbm(x * 0.05f, y * 0.05f, 201, 3));
            if (r > 0.93f)
                c = Hex(0x3A2A1A); // rim
            else if (r > 0.78f && r < 0.9f && toTick < (hourTick ? 3.0f : 1.0f) && (hourTick || r > 0.84f))
                c = Hex(0x1A1A1A);
            img.Set(x, y, c);
        }
    return img;
}

const std::map<std::string, std::function<CImage()>>& Painters()
{
    static const std::map<std::string, std::function<CImage()>> painters = {
        {"Grass", [] { return Paint(256, GrassColour); }},
        {"Dirt", [] { return Paint(256, DirtColour); }},
        {"Sand", [] { return Paint(256, SandColour); }},
        {"Rock", [] { return Paint(256, RockColour); }},
        {"Bark", [] { return Paint(128, BarkColour); }},
        {"Planks", [] { return Paint(256, PlanksColour); }},
        {"Bricks", [] { return Paint(256, BricksColour); }},
        {"Roof_tiles", [] { return Paint(256, RoofColour); }},
        {"Rust_metal", [] { return Paint(256, RustColour); }},
        {"Paint_green", [] { return Paint(128, [](float u, float v) { return PaintedMetal(u, v, 0x3E5A3A, 211); }); }},
        {"Paint_red", [] { return Paint(128, [](float u, float v) { return PaintedMetal(u, v, 0x7A2A22, 221); }); }},
        {"Paint_black", [] { return Paint(128, [](float u, float v) { return PaintedMetal(u, v, 0x222222, 231, 0.7f); }); }},
        {"Loco_paint", [] { return Paint(256, LocoPaint); }},
        {"Brass", [] { return Paint(128, BrassColour); }},
        {"Wall_windows", [] { return Paint(256, WallWindows); }},
        {"Road", [] { return Paint(256, RoadColour); }},
        {"Ballast", [] { return Paint(256, BallastColour); }},
        {"Sleepers", [] { return Paint(128, SleepersColour); }},
        {"Steel", [] { return Paint(64, SteelColour); }},
        {"Water", [] { return Paint(128, WaterColour); }},
        {"Stone_wall", [] { return Paint(256, StoneWall); }},
        {"Fir_card", [] { return WithAlphaSplit(PaintFoliageCard(256, 241, true, Hex(0x1A2E1C), Hex(0x4A6A3A)), false); }},
        {"Fir_card_a", [] { return WithAlphaSplit(PaintFoliageCard(256, 241, true, Hex(0x1A2E1C), Hex(0x4A6A3A)), true); }},
        {"Leaf_card", [] { return WithAlphaSplit(PaintFoliageCard(256, 251, false, Hex(0x2A4018), Hex(0x7A9A3A)), false); }},
        {"Leaf_card_a", [] { return WithAlphaSplit(PaintFoliageCard(256, 251, false, Hex(0x2A4018), Hex(0x7A9A3A)), true); }},
        {"Bush_card", [] { return WithAlphaSplit(PaintFoliageCard(128, 261, false, Hex(0x2E3E1A), Hex(0x6A7A34)), false); }},
        {"Bush_card_a", [] { return WithAlphaSplit(PaintFoliageCard(128, 261, false, Hex(0x2E3E1A), Hex(0x6A7A34)), true); }},
        {"Grass_blades", [] { return GrassBlades(false); }},
        {"Grass_blades_a", [] { return GrassBlades(true); }},
        {"Clock_dial", ClockDial},
        {"Clock_hand", [] { return Paint(16, [](float, float) { return Hex(0x101010); }); }},
        {"Clock_shadow", [] { return Paint(16, [](float, float) { return Hex(0x9A9A9A); }); }},
        {"Inscription", [] {
             return Paint(128, [](float u, float v) {
                 const bool letter = std::fmod(u * 10, 1.0f) < 0.6f && v > 0.3f && v < 0.7f &&
                                     LatticeNoise(u * 30, v * 6, 271) > 0.45f;
                 return letter ? Hex(0xE0C060) : Hex(0x000000);
             });
         }},
        {"Shadow_blob", [] {
             return Paint(64, [](float u, float v) {
                 const float d = std::max(std::fabs(u - 0.5f) * 2.2f, std::fabs(v - 0.5f) * 2.2f);
                 const float s = 0.35f + 0.65f * SmoothStep(0.6f, 1.0f, d);
                 return Rgb{s, s, s};
             });
         }},
    };
    return painters;
}
} // namespace

CImage PaintTexture(const std::string& name)
{
    const auto& p = Painters();
    const auto it = p.find(name);
    if (it == p.end())
        throw std::invalid_argument("no painter for texture " + name);
    return it->second();
}

std::vector<std::string> TextureNames()
{
    std::vector<std::string> names;
    for (const auto& e : Painters())
        names.push_back(e.first);
    return names;
}

CImage PaintSkyFace(int face, int size)
{
    CImage img(size, size, 3);
    const Rgb zenith = Hex(0x3A6AB0), horizon = Hex(0xBFD4E4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            // Direction through the texel of a unit cube face.
            const float a = (x + 0.5f) / size * 2 - 1, b = 1 - (y + 0.5f) / size * 2;
            float dx, dy, dz;
            switch (face)
            {
            case 0: dx = a; dy = 1; dz = b; break;    // +Y
            case 1: dx = -a; dy = -1; dz = b; break;  // -Y
            case 2: dx = -1; dy = a; dz = b; break;   // -X
            case 3: dx = 1; dy = -a; dz = b; break;   // +X
            case 4: dx = a; dy = -b; dz = 1; break;   // up
            default: dx = a; dy = b; dz = -1; break;  // down
            }
            const float len = std::sqrt(dx * dx + dy * dy + dz * dz);
            const float el = dz / len;
            Rgb c = Mix(horizon, zenith, Clamp01(std::pow(std::max(el, 0.0f), 0.6f)));
            if (el > 0.02f)
            {
                // Clouds on a plane above: project the direction onto it.
                const float px = dx / dz * 0.9f, py = dy / dz * 0.9f;
                const float n = Fbm(px * 2.5f + 10, py * 2.5f + 10, 281, 6);
                const float cloud = SmoothStep(0.5f, 0.75f, n) * SmoothStep(0.02f, 0.2f, el);
                const Rgb cloudCol = Mix(Hex(0x9AA4B0), Hex(0xFFFFFF), Clamp01((n - 0.5f) * 3));
                c = Mix(c, cloudCol, cloud * 0.9f);
            }
            else
                c = Mix(horizon, Hex(0x8A9078), Clamp01(-el * 4));
            img.Set(x, y, c);
        }
    return img;
}

CImage PaintPanorama(int index)
{
    const int w = 1024, h = 128;
    CImage img(w, h, 4);
    const uint32_t seed = 300 + index * 17;
    for (int x = 0; x < w; ++x)
    {
        const float u = (x + 0.5f) / w;
        const float ridge = 0.25f + 0.6f * Fbm(u * 6, 0.5f, seed, 5, 6);
        const float far = 0.2f + 0.4f * Fbm(u * 3, 2.5f, seed + 1, 4, 3);
        for (int y = 0; y < h; ++y)
        {
            const float t = 1 - (y + 0.5f) / h; // 0 at the bottom
            Rgb c;
            float a = 0;
            if (t < ridge)
            {
                const float snow = SmoothStep(ridge - 0.06f, ridge - 0.02f, t) * SmoothStep(0.55f, 0.7f, ridge);
                c = Mix(Hex(0x5A6A74), Hex(0x8A96A0), Fbm(u * 40, t * 6, seed + 2, 3));
                c = Mix(c, Hex(0xE8ECF0), snow);
                c = Mix(c, Hex(0x4A5A48), SmoothStep(0.25f, 0.0f, t) * 0.7f); // forest at the foot
                a = 1;
            }
            else if (t < far + 0.1f)
            {
                c = Hex(0x9AAAB8);
                a = 1;
            }
            img.Set(x, y, a > 0 ? c : Rgb{0, 0, 0}, a);
        }
    }
    return img;
}

CImage PaintSmoke()
{
    const int size = 64;
    CImage img(size, size, 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
            const float r = std::sqrt(dx * dx + dy * dy);
            const float n = Fbm(x * 0.12f, y * 0.12f, 311, 4);
            const float a = Clamp01((1 - r) * 1.4f) * (0.55f + 0.45f * n);
            const float g = 0.8f + 0.2f * n;
            img.Set(x, y, Rgb{g, g, g}, a * a);
        }
    return img;
}
} // namespace SceneContent
