#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "PixelFormat.h"

namespace {

TEST(PixelCodecTest, ReadsEachFormatsFields)
{
    struct Case
    {
        D3DFORMAT format;
        uint32_t pixel;
        float r, g, b, a;
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 0x80FF4000, 1.0f, 64 / 255.0f, 0.0f, 128 / 255.0f},
        {D3DFMT_X8R8G8B8, 0x11223344, 0x22 / 255.0f, 0x33 / 255.0f, 0x44 / 255.0f, 0x11 / 255.0f},
        {D3DFMT_R5G6B5, 0xF81F, 1.0f, 0.0f, 1.0f, 0.0f},
        {D3DFMT_A1R5G5B5, 0x83E0, 0.0f, 1.0f, 0.0f, 1.0f},
        {D3DFMT_X1R5G5B5, 0x001F, 0.0f, 0.0f, 1.0f, 0.0f},
        {D3DFMT_A4R4G4B4, 0x5A0F, 10 / 15.0f, 0.0f, 1.0f, 5 / 15.0f},
        {D3DFMT_A8R3G3B2, 0xFFE3, 1.0f, 0.0f, 1.0f, 1.0f},
        {D3DFMT_V8U8, 0x40FF, 1.0f, 64 / 255.0f, 0.0f, 0.0f},
        {D3DFMT_L6V5U5, 0xFC1F, 1.0f, 0.0f, 1.0f, 0.0f},
    };
    for (const Case& c : cases)
    {
        float out[4] = {9, 9, 9, 9};
        ReadPixelToCommon(c.format, 0, &c.pixel, out);
        EXPECT_FLOAT_EQ(out[0], c.r) << c.format;
        EXPECT_FLOAT_EQ(out[1], c.g) << c.format;
        EXPECT_FLOAT_EQ(out[2], c.b) << c.format;
        EXPECT_FLOAT_EQ(out[3], c.a) << c.format;
    }
    float untouched[4] = {9, 9, 9, 9};
    const uint32_t any = 0xFFFFFFFF;
    ReadPixelToCommon(D3DFMT_DXT1, 0, &any, untouched);
    EXPECT_EQ(untouched[0], 9.0f);
}

TEST(PixelCodecTest, R8G8B8RowsStepThreeBytes)
{
    const unsigned char row[9] = {1, 2, 3, 0x10, 0x20, 0xFF, 7, 8, 9};
    float out[4];
    ReadPixelToCommon(D3DFMT_R8G8B8, 1, row, out);
    EXPECT_FLOAT_EQ(out[0], 1.0f);
    EXPECT_FLOAT_EQ(out[1], 0x20 / 255.0f);
    EXPECT_FLOAT_EQ(out[2], 0x10 / 255.0f);
    EXPECT_EQ(out[3], 0.0f);
    EXPECT_EQ(CommonPixelSize(D3DFMT_R8G8B8), 3u);
}

TEST(PixelCodecTest, WritesOnlyMaskedChannelsTruncatedAndWrapped)
{
    struct Case
    {
        D3DFORMAT format;
        uint16_t before;
        float colour[4];
        unsigned mask;
        uint16_t after;
    };
    const Case cases[] = {
        // 128/255 x 15 = 7.53 stores 7; the alpha nibble stays.
        {D3DFMT_A4R4G4B4, 0xA000, {128 / 255.0f, 0, 1, 1}, 7, 0xA70F},
        {D3DFMT_A4R4G4B4, 0x0000, {0, 0, 0, 1}, 8, 0xF000},
        {D3DFMT_A4R4G4B4, 0x0000, {1.5f, 0, 0, 0}, 1, 0x0600}, // 22 wraps to 6
        {D3DFMT_R5G6B5, 0x0000, {0, 1, 0, 1}, 15, 0x07E0},    // no alpha to write
        {D3DFMT_A1R5G5B5, 0x7FFF, {0, 0, 0, 1}, 8, 0xFFFF},
        {D3DFMT_DXT1, 0x1234, {1, 1, 1, 1}, 15, 0x1234},
    };
    for (const Case& c : cases)
    {
        uint16_t pixel[2] = {0x5555, c.before};
        WritePixelFromCommon(c.colour, c.mask, c.format, pixel, 1);
        EXPECT_EQ(pixel[1], c.after) << c.format << " mask " << c.mask;
        EXPECT_EQ(pixel[0], 0x5555);
    }
}

TEST(PixelCodecTest, EveryFormatRoundTripsItsFullScale)
{
    for (D3DFORMAT f : {D3DFMT_R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5,
                        D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_A8R3G3B2, D3DFMT_X4R4G4B4, D3DFMT_V8U8,
                        D3DFMT_L6V5U5})
    {
        unsigned char row[4] = {0, 0, 0, 0};
        const float white[4] = {1, 1, 1, 1};
        WritePixelFromCommon(white, 15, f, row, 0);
        float back[4];
        ReadPixelToCommon(f, 0, row, back);
        for (int c = 0; c < 4; ++c)
            EXPECT_TRUE(back[c] == 0.0f || back[c] == 1.0f) << f;
        EXPECT_EQ(back[0], 1.0f) << f;
    }
}

} // namespace
