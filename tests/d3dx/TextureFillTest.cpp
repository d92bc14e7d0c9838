#include "Image.h"
#include "ImageFixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

using namespace d3dx;
using fixtures::Bytes;

namespace
{

// Texture levels in plain memory, as a device would hand them out, with a
// pitch wider than the rows to catch pitch mistakes.
struct MemoryTexture
{
    TextureLayout layout;
    std::map<std::pair<UINT, UINT>, Bytes> levels;
    int locks = 0;

    ptrdiff_t Pitch(UINT level) const
    {
        return ptrdiff_t(RowBytes(layout.format, std::max(1u, layout.width >> level))) + 12;
    }
    HRESULT Fill(const DecodedImage& image)
    {
        return FillTextureLevels(
            image, layout,
            [this](UINT face, UINT level, BYTE** bits, ptrdiff_t* pitch) {
                const UINT h = std::max(1u, layout.height >> level);
                const UINT rows = IsBlockFormat(layout.format) ? (h + 3) / 4 : h;
                Bytes& b = levels[{face, level}];
                b.assign(size_t(Pitch(level)) * rows, 0xcd);
                *bits = b.data();
                *pitch = Pitch(level);
                ++locks;
                return S_OK;
            },
            [this](UINT, UINT) { --locks; });
    }
    FloatImage Read(UINT face, UINT level) const
    {
        FloatImage out;
        DecodeSurface(layout.format, levels.at({face, level}).data(), Pitch(level),
                      std::max(1u, layout.width >> level), std::max(1u, layout.height >> level), &out);
        return out;
    }
};

DecodedImage Decode(const Bytes& file)
{
    DecodedImage image;
    EXPECT_EQ(S_OK, DecodeImage(file.data(), file.size(), &image));
    return image;
}

// A 4x4 picture whose pixel (x, y) has red (x + 4y) x 16 and alpha 255.
uint32_t Ramp(unsigned x, unsigned y) { return 0xff000000u | ((x + 4 * y) * 16) << 16; }

TEST(D3DXTextureFill, EncodesEachTargetFormat)
{
    // One texel (1, 0.5, 0.25, alpha 0.5) in each format, as stored bytes.
    const struct
    {
        D3DFORMAT format;
        Bytes stored;
    } cases[] = {
        {D3DFMT_A8R8G8B8, {0x40, 0x80, 0xff, 0x80}},
        {D3DFMT_X8R8G8B8, {0x40, 0x80, 0xff, 0xff}},
        {D3DFMT_R8G8B8, {0x40, 0x80, 0xff}},
        {D3DFMT_R5G6B5, {0x08, 0xfc}},
        {D3DFMT_X1R5G5B5, {0x08, 0xfe}},
        {D3DFMT_A1R5G5B5, {0x08, 0xfe}},
        {D3DFMT_A4R4G4B4, {0x84, 0x8f}},
        {D3DFMT_X4R4G4B4, {0x84, 0xff}},
        {D3DFMT_R3G3B2, {0xf1}},
        {D3DFMT_A8R3G3B2, {0xf1, 0x80}},
        {D3DFMT_A8, {0x80}},
        {D3DFMT_L8, {150}},
        {D3DFMT_A8L8, {150, 0x80}},
        {D3DFMT_V8U8, {0xff, 0x80}},
        {D3DFMT_L6V5U5, {0x1f, 0x42}},
    };
    FloatImage texel(1, 1);
    texel.At(0, 0) = Texel{1.0f, 0.5f, 0.25f, 0.5f};
    for (const auto& c : cases)
    {
        Bytes out(c.stored.size() + 1, 0xcd);
        ASSERT_TRUE(EncodeSurface(texel, c.format, out.data(), 0)) << c.format;
        EXPECT_EQ(c.stored, Bytes(out.begin(), out.end() - 1)) << "format " << c.format;
        EXPECT_EQ(0xcd, out.back()) << "format " << c.format << " wrote past its pixel";
    }
    EXPECT_FALSE(CanEncode(D3DFMT_P8));
    EXPECT_FALSE(EncodeSurface(texel, D3DFMT_P8, nullptr, 0));
}

TEST(D3DXTextureFill, BoxMipChainAveragesEachLevel)
{
    MemoryTexture t{{4, 4, FullMipCount(4, 4), 1, D3DFMT_A8R8G8B8, D3DX_FILTER_POINT, D3DX_FILTER_BOX, 0}};
    ASSERT_EQ(3u, t.layout.levels);
    ASSERT_EQ(S_OK, t.Fill(Decode(fixtures::MakeTga32(4, 4, Ramp, false))));
    EXPECT_EQ(0, t.locks);
    ASSERT_EQ(3u, t.levels.size());

    // Level 0 as it is; level 1 the mean of each 2x2 block; level 2 the mean.
    const FloatImage l0 = t.Read(0, 0), l1 = t.Read(0, 1), l2 = t.Read(0, 2);
    EXPECT_NEAR(80 / 255.0f, l0.At(1, 1).r, 1e-6f);
    const float blocks[2][2] = {{(0 + 1 + 4 + 5) * 4, (2 + 3 + 6 + 7) * 4}, {(8 + 9 + 12 + 13) * 4, (10 + 11 + 14 + 15) * 4}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_NEAR(blocks[y][x] / 255.0f, l1.At(x, y).r, 0.5f / 255) << x << "," << y;
    EXPECT_NEAR(120 / 255.0f, l2.At(0, 0).r, 0.5f / 255);
    EXPECT_NEAR(1.0f, l2.At(0, 0).a, 1e-6f);
}

TEST(D3DXTextureFill, ScalesTheTopLevelWithTheFilter)
{
    const DecodedImage image = Decode(fixtures::MakeTga32(4, 4, Ramp, false));
    struct Case
    {
        DWORD filter;
        UINT w, h;
        float expected00; // red of the top-left texel x 255
    } cases[] = {
        {D3DX_FILTER_POINT, 2, 2, 80}, // centres fall on source pixel corners: the lower right is taken
        {D3DX_FILTER_BOX, 2, 2, 40},
        // A tent over 4x4 source pixels whose outer taps wrap round to the
        // far side, or are mirrored back.
        {D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER, 2, 2, 80},
        {D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR, 2, 2, 50},
        {D3DX_FILTER_NONE, 8, 8, 0},
        {D3DX_FILTER_LINEAR, 8, 8, 60},
        {D3DX_FILTER_LINEAR | D3DX_FILTER_MIRROR_U | D3DX_FILTER_MIRROR_V, 8, 8, 0},
    };
    for (const Case& c : cases)
    {
        MemoryTexture t{{c.w, c.h, 1, 1, D3DFMT_A8R8G8B8, c.filter, D3DX_FILTER_BOX, 0}};
        ASSERT_EQ(S_OK, t.Fill(image));
        const FloatImage top = t.Read(0, 0);
        EXPECT_NEAR(c.expected00 / 255.0f, top.At(0, 0).r, 1.0f / 255) << "filter " << c.filter;
    }
    // No filter leaves what the image does not cover transparent black.
    MemoryTexture none{{8, 8, 1, 1, D3DFMT_A8R8G8B8, D3DX_FILTER_NONE, D3DX_FILTER_BOX, 0}};
    ASSERT_EQ(S_OK, none.Fill(image));
    EXPECT_EQ(0.0f, none.Read(0, 0).At(6, 6).a);
    EXPECT_EQ(0, FilterType(6, D3DX_FILTER_BOX));
    EXPECT_EQ(DWORD(D3DX_FILTER_BOX), FilterType(D3DX_DEFAULT, D3DX_FILTER_BOX));
}

TEST(D3DXTextureFill, ColourKeyBecomesTransparentBlack)
{
    auto q = [](unsigned x, unsigned y) { return fixtures::Quadrants(x, y, 4, 4); };
    MemoryTexture t{{4, 4, 1, 1, D3DFMT_A8R8G8B8, D3DX_FILTER_POINT, D3DX_FILTER_BOX, 0xffff0000}};
    ASSERT_EQ(S_OK, t.Fill(Decode(fixtures::MakeTga32(4, 4, q, false))));
    const FloatImage top = t.Read(0, 0);
    EXPECT_EQ(0.0f, top.At(0, 0).a);
    EXPECT_EQ(0.0f, top.At(0, 0).r);
    EXPECT_EQ(1.0f, top.At(3, 0).g) << "other colours stay";
}

TEST(D3DXTextureFill, FileLevelsAndBlocksAreTakenAsStored)
{
    Bytes blocks(8 * 4 + 8, 0);
    for (size_t i = 0; i < blocks.size(); ++i)
        blocks[i] = uint8_t(i * 37 + 11);
    // 8x8 DXT1 with two levels: four blocks, then one.
    const DecodedImage image = Decode(fixtures::MakeDds(8, 8, 2, false, {D3DFMT_DXT1}, blocks));
    MemoryTexture t{{8, 8, 2, 1, D3DFMT_DXT1, D3DX_FILTER_TRIANGLE, D3DX_FILTER_BOX, 0}};
    ASSERT_EQ(S_OK, t.Fill(image));
    const Bytes& top = t.levels[{0, 0}];
    EXPECT_EQ(0, memcmp(top.data(), blocks.data(), 16));
    EXPECT_EQ(0, memcmp(top.data() + t.Pitch(0), blocks.data() + 16, 16));
    EXPECT_EQ(0, memcmp(t.levels[{0, 1}].data(), blocks.data() + 32, 8));

    // Into another format the blocks are decoded.
    MemoryTexture argb{{8, 8, 2, 1, D3DFMT_A8R8G8B8, D3DX_FILTER_TRIANGLE, D3DX_FILTER_BOX, 0}};
    ASSERT_EQ(S_OK, argb.Fill(image));
    const FloatImage decoded = argb.Read(0, 1);
    for (unsigned y = 0; y < 4; ++y)
        for (unsigned x = 0; x < 4; ++x)
        {
            EXPECT_NEAR(image.surfaces[0][1].At(x, y).r, decoded.At(x, y).r, 0.5f / 255);
            EXPECT_NEAR(image.surfaces[0][1].At(x, y).a, decoded.At(x, y).a, 0.5f / 255);
        }
}

TEST(D3DXTextureFill, CompressesIntoDxtFormats)
{
    auto q = [](unsigned x, unsigned y) { return fixtures::Quadrants(x, y, 8, 8); };
    const DecodedImage image = Decode(fixtures::MakeTga32(8, 8, q, false));
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5})
    {
        MemoryTexture t{{8, 8, 4, 1, format, D3DX_FILTER_POINT, D3DX_FILTER_BOX, 0}};
        ASSERT_EQ(S_OK, t.Fill(image));
        const FloatImage top = t.Read(0, 0);
        for (unsigned y : {0u, 7u})
            for (unsigned x : {0u, 7u})
            {
                const uint32_t c = fixtures::Quadrants(x, y, 8, 8);
                EXPECT_NEAR(((c >> 16) & 255) / 255.0f, top.At(x, y).r, 0.02f) << format;
                EXPECT_NEAR((c & 255) / 255.0f, top.At(x, y).b, 0.02f) << format;
                if (format != D3DFMT_DXT1)
                {
                    EXPECT_NEAR((c >> 24) / 255.0f, top.At(x, y).a, 0.04f) << format;
                }
            }
        EXPECT_EQ(4u, t.levels.size());
    }
}

TEST(D3DXTextureFill, CubeFacesComeFromTheirOwnFaceOrAllFromOne)
{
    auto q = [](unsigned x, unsigned y) { return fixtures::Quadrants(x, y, 4, 4); };
    MemoryTexture cube{{4, 4, 1, 6, D3DFMT_A8R8G8B8, D3DX_FILTER_POINT, D3DX_FILTER_BOX, 0}};
    ASSERT_EQ(S_OK, cube.Fill(Decode(fixtures::MakeDdsArgb(4, 4, 1, true, q))));
    for (UINT f = 0; f < 6; ++f)
        EXPECT_NEAR(f / 255.0f, cube.Read(f, 0).At(0, 0).b, 1e-6f) << "face " << f;

    MemoryTexture fromPlain{{4, 4, 1, 6, D3DFMT_A8R8G8B8, D3DX_FILTER_POINT, D3DX_FILTER_BOX, 0}};
    ASSERT_EQ(S_OK, fromPlain.Fill(Decode(fixtures::MakeTga32(4, 4, q, false))));
    EXPECT_EQ(6u, fromPlain.levels.size());
}

TEST(D3DXTextureFill, ALockFailureStopsAndIsReported)
{
    const DecodedImage image = Decode(fixtures::MakeTga32(4, 4, Ramp, false));
    const TextureLayout layout{4, 4, 3, 1, D3DFMT_A8R8G8B8, D3DX_FILTER_POINT, D3DX_FILTER_BOX, 0};
    Bytes level0(64);
    int unlocks = 0;
    const HRESULT hr = FillTextureLevels(
        image, layout,
        [&](UINT, UINT level, BYTE** bits, ptrdiff_t* pitch) {
            *bits = level0.data();
            *pitch = 16;
            return level == 0 ? S_OK : D3DERR_INVALIDCALL;
        },
        [&](UINT, UINT) { ++unlocks; });
    EXPECT_EQ(D3DERR_INVALIDCALL, hr);
    EXPECT_EQ(1, unlocks);
}

} // namespace
