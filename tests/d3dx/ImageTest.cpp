#include "Image.h"
#include "ImageFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

using namespace d3dx;
using fixtures::Bytes;

namespace
{

fixtures::Picture QuadrantsOf(unsigned w, unsigned h)
{
    return [w, h](unsigned x, unsigned y) { return fixtures::Quadrants(x, y, w, h); };
}

Texel TexelOf(uint32_t argb)
{
    return Texel{((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f, (argb & 255) / 255.0f,
                 (argb >> 24) / 255.0f};
}

void ExpectTexelNear(const Texel& expected, const Texel& actual, float tolerance, const std::string& what)
{
    EXPECT_NEAR(expected.r, actual.r, tolerance) << what;
    EXPECT_NEAR(expected.g, actual.g, tolerance) << what;
    EXPECT_NEAR(expected.b, actual.b, tolerance) << what;
    EXPECT_NEAR(expected.a, actual.a, tolerance) << what;
}

struct FileCase
{
    const char* name;
    Bytes bytes;
    D3DFORMAT format;
    D3DXIMAGE_FILEFORMAT fileFormat;
    bool alpha;      // keeps the quadrant's half alpha
    float tolerance; // lossy formats get some room
};

std::vector<FileCase> FileCases()
{
    const auto q = QuadrantsOf(16, 16);
    return {
        {"BMP", fixtures::MakeBmp24(16, 16, q), D3DFMT_R8G8B8, D3DXIFF_BMP, false, 0.0f},
        {"BMP top-down", fixtures::MakeBmp(16, 16, q, 24, true), D3DFMT_R8G8B8, D3DXIFF_BMP, false, 0.0f},
        {"BMP 32-bit", fixtures::MakeBmp(16, 16, q, 32, false), D3DFMT_A8R8G8B8, D3DXIFF_BMP, true, 0.0f},
        {"BMP 32-bit top-down", fixtures::MakeBmp(16, 16, q, 32, true), D3DFMT_A8R8G8B8, D3DXIFF_BMP, true, 0.0f},
        {"TGA", fixtures::MakeTga32(16, 16, q, false), D3DFMT_A8R8G8B8, D3DXIFF_TGA, true, 0.0f},
        {"TGA run-length", fixtures::MakeTga32(16, 16, q, true), D3DFMT_A8R8G8B8, D3DXIFF_TGA, true, 0.0f},
        {"JPEG", fixtures::MakeJpeg(16, 16, q), D3DFMT_X8R8G8B8, D3DXIFF_JPG, false, 0.03f},
        {"DDS", fixtures::MakeDdsArgb(16, 16, 1, false, q), D3DFMT_A8R8G8B8, D3DXIFF_DDS, true, 0.0f},
    };
}

TEST(D3DXImage, DecodesEachKindOfFile)
{
    for (const FileCase& c : FileCases())
    {
        DecodedImage image;
        ASSERT_EQ(S_OK, DecodeImage(c.bytes.data(), c.bytes.size(), &image)) << c.name;
        EXPECT_EQ(16u, image.info.Width) << c.name;
        EXPECT_EQ(16u, image.info.Height) << c.name;
        EXPECT_EQ(1u, image.info.MipLevels) << c.name;
        EXPECT_EQ(c.format, image.info.Format) << c.name;
        EXPECT_EQ(c.fileFormat, image.info.ImageFileFormat) << c.name;
        EXPECT_EQ(D3DRTYPE_TEXTURE, image.info.ResourceType) << c.name;
        ASSERT_EQ(1u, image.surfaces.size());
        const FloatImage& s = image.surfaces[0][0];
        for (unsigned y : {0u, 5u, 8u, 15u})
            for (unsigned x : {0u, 6u, 9u, 15u})
            {
                Texel expected = TexelOf(fixtures::Quadrants(x, y, 16, 16));
                if (!c.alpha)
                    expected.a = 1.0f;
                ExpectTexelNear(expected, s.At(x, y), c.tolerance + 1e-6f,
                                std::string(c.name) + " at " + std::to_string(x) + "," + std::to_string(y));
            }

        D3DXIMAGE_INFO info{};
        ASSERT_EQ(S_OK, D3DXGetImageInfoFromFileInMemory(c.bytes.data(), UINT(c.bytes.size()), &info));
        EXPECT_EQ(c.format, info.Format) << c.name;
    }
}

TEST(D3DXImage, EveryTruncationFailsCleanly)
{
    std::vector<FileCase> cases = FileCases();
    cases.push_back({"DDS mip chain", fixtures::MakeDdsArgb(8, 4, 4, false, QuadrantsOf(8, 4)), {}, {}, {}, 0});
    cases.push_back({"DDS cube", fixtures::MakeDdsArgb(4, 4, 1, true, QuadrantsOf(4, 4)), {}, {}, {}, 0});
    cases.push_back({"DDS DXT1", fixtures::MakeDds(8, 8, 1, false, {D3DFMT_DXT1}, Bytes(32, 0x55)), {}, {}, {}, 0});
    for (const FileCase& c : cases)
        for (size_t n = 0; n < c.bytes.size(); ++n)
        {
            // A copy of exactly n bytes, so that reading past it is caught.
            const Bytes prefix(c.bytes.begin(), c.bytes.begin() + n);
            DecodedImage image;
            D3DXIMAGE_INFO info;
            ASSERT_EQ(D3DXERR_INVALIDDATA, DecodeImage(prefix.data(), prefix.size(), &image))
                << c.name << " cut to " << n << " bytes";
            ASSERT_EQ(D3DXERR_INVALIDDATA, ReadImageInfo(prefix.data(), prefix.size(), &info))
                << c.name << " cut to " << n << " bytes";
        }
}

TEST(D3DXImage, RejectsWhatItCannotRead)
{
    const Bytes garbage = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    Bytes volume = fixtures::MakeDdsArgb(4, 4, 1, false, QuadrantsOf(4, 4));
    volume[4 + 108] = 0;
    volume[4 + 108 + 2] = 0x20; // volume texture
    Bytes huge = fixtures::MakeDdsArgb(4, 4, 1, false, QuadrantsOf(4, 4));
    huge[4 + 12 + 2] = 0x01; // width 65540
    Bytes partialCube = fixtures::MakeDdsArgb(4, 4, 1, true, QuadrantsOf(4, 4));
    partialCube[4 + 109] = 0x06; // cube map with only +X
    Bytes oddFourCC = fixtures::MakeDds(4, 4, 1, false, {D3DFMT_DXT1}, Bytes(8, 0));
    for (int i = 0; i < 4; ++i)
        oddFourCC[4 + 80 + i] = 0xff; // no format at all
    // A Huffman table with more than 256 codes (the decoder would write past
    // its tables).
    Bytes bigTable = fixtures::MakeJpeg(8, 8, QuadrantsOf(8, 8));
    for (size_t i = 2; i + 1 < bigTable.size(); ++i)
        if (bigTable[i] == 0xff && bigTable[i + 1] == 0xc4)
        {
            bigTable[i + 5 + 15] = 0xff;
            bigTable[i + 5 + 14] = 0xff;
            break;
        }
    for (const Bytes* b :
         std::vector<const Bytes*>{&garbage, &volume, &huge, &partialCube, &oddFourCC, &bigTable})
    {
        DecodedImage image;
        EXPECT_EQ(D3DXERR_INVALIDDATA, DecodeImage(b->data(), b->size(), &image));
    }
    D3DXIMAGE_INFO info;
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXGetImageInfoFromFileInMemory(nullptr, 10, &info));
}

TEST(D3DXImage, DdsBlockFormats)
{
    // Colour end points red (0xF800) and blue (0x001F); pixels 0..3 take
    // indices 0..3, the rest 0.
    const uint8_t colour[8] = {0x00, 0xf8, 0x1f, 0x00, 0xe4, 0, 0, 0};
    const uint8_t colourSwapped[8] = {0x1f, 0x00, 0x00, 0xf8, 0xe4, 0, 0, 0}; // c0 < c1: index 3 transparent
    // DXT3 alpha: pixel i has alpha nibble i.
    uint8_t dxt3[16] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xba, 0xdc, 0xfe};
    memcpy(dxt3 + 8, colour, 8);
    // DXT5 alpha: end points 255 and 0, pixel 1 takes index 2 (6/7).
    uint8_t dxt5[16] = {255, 0, 0x10, 0, 0, 0, 0, 0};
    memcpy(dxt5 + 8, colour, 8);

    const Texel red{1, 0, 0, 1}, blue{0, 0, 1, 1};
    const Texel twoThirdsRed{2.0f / 3, 0, 1.0f / 3, 1}, oneThirdRed{1.0f / 3, 0, 2.0f / 3, 1};
    const Texel halfway{0.5f, 0, 0.5f, 1}, clear{0, 0, 0, 0};
    struct Case
    {
        const char* name;
        D3DFORMAT format;
        Bytes block;
        Texel first4[4];
    } cases[] = {
        {"DXT1", D3DFMT_DXT1, Bytes(colour, colour + 8), {red, blue, twoThirdsRed, oneThirdRed}},
        {"DXT1 three colours", D3DFMT_DXT1, Bytes(colourSwapped, colourSwapped + 8), {blue, red, halfway, clear}},
        {"DXT3", D3DFMT_DXT3, Bytes(dxt3, dxt3 + 16),
         {{1, 0, 0, 0}, {0, 0, 1, 1 / 15.0f}, {2.0f / 3, 0, 1.0f / 3, 2 / 15.0f}, {1.0f / 3, 0, 2.0f / 3, 3 / 15.0f}}},
        {"DXT5", D3DFMT_DXT5, Bytes(dxt5, dxt5 + 16),
         {red, {0, 0, 1, 6.0f / 7}, twoThirdsRed, oneThirdRed}},
    };
    for (const Case& c : cases)
    {
        const Bytes file = fixtures::MakeDds(4, 4, 1, false, {c.format}, c.block);
        DecodedImage image;
        ASSERT_EQ(S_OK, DecodeImage(file.data(), file.size(), &image)) << c.name;
        EXPECT_EQ(c.format, image.info.Format) << c.name;
        for (int i = 0; i < 4; ++i)
            ExpectTexelNear(c.first4[i], image.surfaces[0][0].At(i, 0), 1e-5f, std::string(c.name) + " pixel " + std::to_string(i));
        ASSERT_EQ(1u, image.blocks.size());
        EXPECT_EQ(c.block, image.blocks[0][0]) << c.name;
    }
}

TEST(D3DXImage, DdsMipChainsCubesAndMasks)
{
    const Bytes cube = fixtures::MakeDdsArgb(8, 8, 4, true, QuadrantsOf(8, 8));
    DecodedImage image;
    ASSERT_EQ(S_OK, DecodeImage(cube.data(), cube.size(), &image));
    EXPECT_EQ(D3DRTYPE_CUBETEXTURE, image.info.ResourceType);
    EXPECT_EQ(4u, image.info.MipLevels);
    ASSERT_EQ(6u, image.surfaces.size());
    for (unsigned f = 0; f < 6; ++f)
    {
        ASSERT_EQ(4u, image.surfaces[f].size());
        EXPECT_EQ(1u, image.surfaces[f][3].width);
        // Face f is told apart by blue xor f in its top-left (red) pixel.
        EXPECT_NEAR(f / 255.0f, image.surfaces[f][0].At(0, 0).b, 1e-6f);
        EXPECT_NEAR(f / 255.0f, image.surfaces[f][2].At(0, 0).b, 1e-6f);
    }

    // 16-bit 5:6:5 with pure red, green and blue.
    const Bytes rgb565 = fixtures::MakeDds(3, 1, 1, false, {D3DFMT_UNKNOWN, 16, 0xf800, 0x7e0, 0x1f, 0},
                                           Bytes{0x00, 0xf8, 0xe0, 0x07, 0x1f, 0x00});
    ASSERT_EQ(S_OK, DecodeImage(rgb565.data(), rgb565.size(), &image));
    EXPECT_EQ(D3DFMT_R5G6B5, image.info.Format);
    ExpectTexelNear({1, 0, 0, 1}, image.surfaces[0][0].At(0, 0), 1e-6f, "565 red");
    ExpectTexelNear({0, 1, 0, 1}, image.surfaces[0][0].At(1, 0), 1e-6f, "565 green");
    ExpectTexelNear({0, 0, 1, 1}, image.surfaces[0][0].At(2, 0), 1e-6f, "565 blue");

    // 24-bit: a layout of its own with no alpha.
    const Bytes rgb24 = fixtures::MakeDds(1, 1, 1, false, {D3DFMT_UNKNOWN, 24, 0xff0000, 0xff00, 0xff, 0},
                                          Bytes{0x40, 0x80, 0xff});
    ASSERT_EQ(S_OK, DecodeImage(rgb24.data(), rgb24.size(), &image));
    EXPECT_EQ(D3DFMT_R8G8B8, image.info.Format);
    ExpectTexelNear(TexelOf(0xffff8040), image.surfaces[0][0].At(0, 0), 1e-6f, "24-bit");
}

} // namespace
