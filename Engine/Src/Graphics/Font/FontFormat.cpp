#include "FontFormat.h"

#include <cstring>

namespace FontFormat
{
namespace
{
int32_t ReadI32(const uint8_t* p)
{
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}
uint16_t ReadU16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}
void PutI32(std::vector<uint8_t>& v, int32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(uint8_t(uint32_t(x) >> (8 * i)));
}
void PutU16(std::vector<uint8_t>& v, uint16_t x)
{
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
} // namespace

bool Parse(const void* data, size_t size, File& out)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    if (!p || size < kHeaderSize || memcmp(p, "fnt0", 4) != 0 || p[4] != '0')
        return false;

    Header h;
    h.lineHeight = ReadI32(p + 8);
    h.textureWidth = ReadI32(p + 12);
    h.textureHeight = ReadI32(p + 16);
    h.imageSize = ReadI32(p + 20);
    h.glyphCount = ReadI32(p + 24);
    h.kerningCount = ReadI32(p + 28);
    if (h.textureWidth <= 0 || h.textureHeight <= 0 || h.imageSize <= 0 || h.glyphCount < 0 ||
        h.kerningCount < 0)
        return false;

    // Every count is checked against what is left, so nothing is read past
    // the end and no allocation exceeds the file's own size.
    size_t left = size - kHeaderSize;
    if (size_t(h.glyphCount) > left / kGlyphRecordSize)
        return false;
    left -= size_t(h.glyphCount) * kGlyphRecordSize;
    if (size_t(h.kerningCount) > left / kKerningRecordSize)
        return false;
    left -= size_t(h.kerningCount) * kKerningRecordSize;
    if (size_t(h.imageSize) > left)
        return false;

    File f;
    f.header = h;
    const uint8_t* g = p + kHeaderSize;
    f.glyphs.resize(size_t(h.glyphCount));
    for (GlyphRecord& r : f.glyphs)
    {
        r.code = g[0];
        r.xOffset = ReadI32(g + 4);
        r.yOffset = ReadI32(g + 8);
        r.x = ReadI32(g + 12);
        r.y = ReadI32(g + 16);
        r.width = ReadI32(g + 20);
        r.height = ReadI32(g + 24);
        r.advance = ReadI32(g + 28);
        g += kGlyphRecordSize;
    }
    f.kerning.reserve(size_t(h.kerningCount));
    for (int32_t i = 0; i < h.kerningCount; ++i, g += kKerningRecordSize)
    {
        KerningRecord k;
        k.first = ReadU16(g);
        k.second = ReadU16(g + 2);
        k.amount = ReadI32(g + 4);
        if (k.first < 256)
            f.kerning.push_back(k);
    }
    f.image = g;
    f.imageSize = size_t(h.imageSize);
    out = std::move(f);
    return true;
}

std::vector<uint8_t> Write(const Header& header, const std::vector<GlyphRecord>& glyphs,
                           const std::vector<KerningRecord>& kerning, const std::vector<uint8_t>& image)
{
    std::vector<uint8_t> v;
    v.reserve(kHeaderSize + glyphs.size() * kGlyphRecordSize + kerning.size() * kKerningRecordSize + image.size());
    v.insert(v.end(), {'f', 'n', 't', '0', '0', kFiller, kFiller, kFiller});
    PutI32(v, header.lineHeight);
    PutI32(v, header.textureWidth);
    PutI32(v, header.textureHeight);
    PutI32(v, int32_t(image.size()));
    PutI32(v, int32_t(glyphs.size()));
    PutI32(v, int32_t(kerning.size()));
    for (const GlyphRecord& r : glyphs)
    {
        v.insert(v.end(), {r.code, kFiller, kFiller, kFiller});
        for (int32_t x : {r.xOffset, r.yOffset, r.x, r.y, r.width, r.height, r.advance})
            PutI32(v, x);
    }
    for (const KerningRecord& k : kerning)
    {
        PutU16(v, k.first);
        PutU16(v, k.second);
        PutI32(v, k.amount);
    }
    v.insert(v.end(), image.begin(), image.end());
    return v;
}
} // namespace FontFormat
