// Bakes a "fnt0" bitmap font from a TrueType font for one Windows code page:
// every defined character of the page from the space up, antialiased
// coverage in the alpha channel of a white 32-bit TGA, with kerning pairs.
//
//   FontBaker <font.ttf> <codepage> <pixel size> <line height> <out.fnt>
#include "CodePages.h"
#include "FontFormat.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
const int kAtlas = 512;
const int kPad = 2;

struct Baked
{
    FontFormat::GlyphRecord rec;
    uint32_t unicode;
    FT_UInt index;
    std::vector<uint8_t> coverage; // width x height
};

std::vector<uint8_t> MakeTga(const std::vector<uint8_t>& alpha, int w, int h)
{
    std::vector<uint8_t> t(18, 0);
    t[2] = 2; // uncompressed true colour
    t[12] = uint8_t(w), t[13] = uint8_t(w >> 8);
    t[14] = uint8_t(h), t[15] = uint8_t(h >> 8);
    t[16] = 32;
    t[17] = 0x28; // 8 alpha bits, first row at the top
    t.reserve(18 + size_t(w) * h * 4);
    for (uint8_t a : alpha)
        t.insert(t.end(), {255, 255, 255, a}); // B, G, R, A
    return t;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 6)
    {
        fprintf(stderr, "usage: %s font.ttf codepage pixelsize lineheight out.fnt\n", argv[0]);
        return 2;
    }
    const int cp = atoi(argv[2]);
    const int pixels = atoi(argv[3]);
    const int lineHeight = atoi(argv[4]);
    if ((cp != 1251 && cp != 1252) || pixels < 4 || lineHeight < 4)
    {
        fprintf(stderr, "FontBaker: bad code page, size or line height\n");
        return 2;
    }

    FT_Library lib;
    FT_Face face;
    if (FT_Init_FreeType(&lib) || FT_New_Face(lib, argv[1], 0, &face) || FT_Set_Pixel_Sizes(face, 0, pixels))
    {
        fprintf(stderr, "FontBaker: cannot open %s\n", argv[1]);
        return 1;
    }
    // Baseline so that the font's ascent and descent sit centred in the line.
    const int ascent = int(face->size->metrics.ascender >> 6);
    const int descent = int(-face->size->metrics.descender >> 6);
    const int baseline = ascent + (lineHeight - ascent - descent) / 2;

    std::vector<Baked> glyphs;
    for (int b = 32; b < 256; ++b)
    {
        const uint32_t u = CodePages::ToUnicode(cp, uint8_t(b));
        if (!u)
            continue;
        const FT_UInt index = FT_Get_Char_Index(face, u);
        if (!index && u != ' ')
            continue;
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL))
            continue;
        const FT_GlyphSlot s = face->glyph;
        Baked g;
        g.unicode = u;
        g.index = index;
        g.rec.code = uint8_t(b);
        g.rec.width = int(s->bitmap.width);
        g.rec.height = int(s->bitmap.rows);
        g.rec.xOffset = s->bitmap_left;
        g.rec.yOffset = baseline - s->bitmap_top;
        g.rec.advance = int((s->advance.x + 32) >> 6);
        g.coverage.resize(size_t(g.rec.width) * g.rec.height);
        for (int y = 0; y < g.rec.height; ++y)
            for (int x = 0; x < g.rec.width; ++x)
                g.coverage[size_t(y) * g.rec.width + x] = s->bitmap.buffer[y * s->bitmap.pitch + x];
        glyphs.push_back(std::move(g));
    }

    // Shelf packing, tallest first.
    std::vector<size_t> order(glyphs.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return glyphs[a].rec.height != glyphs[b].rec.height ? glyphs[a].rec.height > glyphs[b].rec.height
                                                            : glyphs[a].rec.code < glyphs[b].rec.code;
    });
    std::vector<uint8_t> atlas(size_t(kAtlas) * kAtlas, 0);
    int penX = kPad, penY = kPad, shelf = 0;
    for (size_t i : order)
    {
        Baked& g = glyphs[i];
        if (penX + g.rec.width + kPad > kAtlas)
        {
            penX = kPad;
            penY += shelf + kPad;
            shelf = 0;
        }
        if (penY + g.rec.height + kPad > kAtlas)
        {
            fprintf(stderr, "FontBaker: glyphs do not fit into %dx%d at %d pixels\n", kAtlas, kAtlas, pixels);
            return 1;
        }
        g.rec.x = penX;
        g.rec.y = penY;
        for (int y = 0; y < g.rec.height; ++y)
            std::copy_n(&g.coverage[size_t(y) * g.rec.width], g.rec.width,
                        &atlas[size_t(penY + y) * kAtlas + penX]);
        penX += g.rec.width + kPad;
        shelf = std::max(shelf, g.rec.height);
    }

    std::vector<FontFormat::KerningRecord> kerning;
    if (FT_HAS_KERNING(face))
        for (const Baked& a : glyphs)
            for (const Baked& b : glyphs)
            {
                FT_Vector k;
                if (!FT_Get_Kerning(face, a.index, b.index, FT_KERNING_DEFAULT, &k) && (k.x + 32) >> 6)
                    kerning.push_back({a.rec.code, b.rec.code, int32_t((k.x + 32) >> 6)});
            }

    FontFormat::Header h;
    h.lineHeight = lineHeight;
    h.textureWidth = kAtlas;
    h.textureHeight = kAtlas;
    std::vector<FontFormat::GlyphRecord> records;
    for (const Baked& g : glyphs)
        records.push_back(g.rec);
    const std::vector<uint8_t> file = FontFormat::Write(h, records, kerning, MakeTga(atlas, kAtlas, kAtlas));

    FILE* f = fopen(argv[5], "wb");
    if (!f || fwrite(file.data(), 1, file.size(), f) != file.size() || fclose(f))
    {
        fprintf(stderr, "FontBaker: cannot write %s\n", argv[5]);
        return 1;
    }
    printf("FontBaker: %s: %zu glyphs, %zu kerning pairs, shelf bottom %d\n", argv[5], records.size(),
           kerning.size(), penY + shelf);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return 0;
}
