#include "FontFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

using namespace FontFormat;

namespace
{
std::vector<uint8_t> SmallFont()
{
    Header h;
    h.lineHeight = 43;
    h.textureWidth = 64;
    h.textureHeight = 32;
    std::vector<GlyphRecord> g(2);
    g[0].code = 'A', g[0].x = 1, g[0].y = 2, g[0].width = 10, g[0].height = 12, g[0].advance = 20;
    g[0].xOffset = -1, g[0].yOffset = 5;
    g[1].code = 0xE9, g[1].advance = 18;
    std::vector<KerningRecord> k = {{'A', 0xE9, -2}, {300, 'A', 4}};
    return Write(h, g, k, std::vector<uint8_t>(7, 0xAB));
}

void SetI32(std::vector<uint8_t>& v, size_t at, int32_t x)
{
    memcpy(&v[at], &x, 4); // the build machines are little-endian
}
} // namespace

TEST(FontFormat, RoundTrip)
{
    const std::vector<uint8_t> bytes = SmallFont();
    ASSERT_EQ(bytes.size(), kHeaderSize + 2 * kGlyphRecordSize + 2 * kKerningRecordSize + 7);
    EXPECT_EQ(bytes[5], kFiller);
    File f;
    ASSERT_TRUE(Parse(bytes.data(), bytes.size(), f));
    EXPECT_EQ(f.header.lineHeight, 43);
    EXPECT_EQ(f.header.textureWidth, 64);
    ASSERT_EQ(f.glyphs.size(), 2u);
    EXPECT_EQ(f.glyphs[0].code, 'A');
    EXPECT_EQ(f.glyphs[0].xOffset, -1);
    EXPECT_EQ(f.glyphs[0].height, 12);
    EXPECT_EQ(f.glyphs[1].code, 0xE9);
    ASSERT_EQ(f.kerning.size(), 1u) << "a first character of 256 or more is dropped";
    EXPECT_EQ(f.kerning[0].amount, -2);
    EXPECT_EQ(f.imageSize, 7u);
    EXPECT_EQ(f.image[6], 0xAB);
}

TEST(FontFormat, RejectsHostileOrTruncatedFiles)
{
    const std::vector<uint8_t> good = SmallFont();
    struct Case
    {
        const char* what;
        size_t at; // where to write `value` (0: nothing)
        int32_t value;
        size_t size; // bytes handed to the parser
    };
    const Case cases[] = {
        {"31 bytes", 0, 0, 31},
        {"truncated image", 0, 0, good.size() - 1},
        {"huge glyph count", 24, 0x7FFFFFFF, good.size()},
        {"negative glyph count", 24, -1, good.size()},
        {"huge kerning count", 28, 0x10000000, good.size()},
        {"image size past the end", 20, 8, good.size()},
        {"zero texture width", 12, 0, good.size()},
    };
    for (const Case& c : cases)
    {
        std::vector<uint8_t> bad = good;
        if (c.at)
            SetI32(bad, c.at, c.value);
        File f;
        EXPECT_FALSE(Parse(bad.data(), c.size, f)) << c.what;
    }
    for (size_t at : {0u, 4u})
    {
        std::vector<uint8_t> bad = good;
        bad[at] = 'x';
        File f;
        EXPECT_FALSE(Parse(bad.data(), bad.size(), f)) << "magic byte " << at;
    }
    File f;
    EXPECT_FALSE(Parse(nullptr, 100, f));
}

#ifdef TARNHOLM_CONTENT_DIR
TEST(FontFormat, BakedFontsCoverTheirCodePages)
{
    struct Case
    {
        const char* file;
        std::vector<uint8_t> mustHave;
    };
    const Case cases[] = {
        {"NEWFONT.FNT", {' ', 'A', 'z', '0', '~', 0x80 /* euro */, 0xE9, 0xDF, 0xFC}},
        {"RUSFONT.FNT", {' ', 'A', 'z', 0xC0, 0xFF, 0xA8, 0xB8}},
    };
    for (const Case& c : cases)
    {
        std::ifstream in(std::string(TARNHOLM_CONTENT_DIR) + "/" + c.file, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        File f;
        ASSERT_TRUE(Parse(bytes.data(), bytes.size(), f)) << c.file;
        EXPECT_EQ(f.header.lineHeight, 43);
        EXPECT_EQ(f.header.textureWidth, 512);
        EXPECT_EQ(f.header.textureHeight, 512);
        EXPECT_FALSE(f.kerning.empty()) << c.file;
        EXPECT_EQ(f.imageSize, 18u + 512 * 512 * 4) << "an uncompressed 32-bit TGA";
        bool seen[256] = {};
        for (const GlyphRecord& g : f.glyphs)
        {
            EXPECT_FALSE(seen[g.code]) << c.file << ": code " << int(g.code) << " twice";
            seen[g.code] = true;
            EXPECT_LE(g.x + g.width, 512);
            EXPECT_LE(g.y + g.height, 512);
            EXPECT_GT(g.advance, 0);
            EXPECT_LE(g.yOffset + g.height, 43 + 2) << "glyph " << int(g.code) << " leaves the line";
        }
        for (uint8_t code : c.mustHave)
            EXPECT_TRUE(seen[code]) << c.file << ": no glyph for " << int(code);
    }
}
#endif
