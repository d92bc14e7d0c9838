#pragma once
// The "fnt0" bitmap-font file: a header, glyph records, kerning records and
// a glyph image (an image file the texture loader reads). All numbers are
// little-endian. Shared by the engine's reader and the font baking tool.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace FontFormat
{
const size_t kHeaderSize = 32;
const size_t kGlyphRecordSize = 32;
const size_t kKerningRecordSize = 8;
const uint8_t kFiller = 0xCC; // bytes the reader skips

struct Header
{
    int32_t lineHeight = 0;
    int32_t textureWidth = 0;
    int32_t textureHeight = 0;
    int32_t imageSize = 0;
    int32_t glyphCount = 0;
    int32_t kerningCount = 0;
};

struct GlyphRecord
{
    uint8_t code = 0;
    int32_t xOffset = 0, yOffset = 0; // from the pen and the line's top
    int32_t x = 0, y = 0;             // in the image
    int32_t width = 0, height = 0;
    int32_t advance = 0;
};

struct KerningRecord
{
    uint16_t first = 0;
    uint16_t second = 0;
    int32_t amount = 0;
};

// A parsed file. `image` points into the parsed buffer.
struct File
{
    Header header;
    std::vector<GlyphRecord> glyphs;
    std::vector<KerningRecord> kerning;
    const uint8_t* image = nullptr;
    size_t imageSize = 0;
};

// Checks the magic and that every count and size fits inside `size` bytes;
// kerning records naming a first character of 256 or more are dropped.
bool Parse(const void* data, size_t size, File& out);

// Writes a whole file; the image follows the records.
std::vector<uint8_t> Write(const Header& header, const std::vector<GlyphRecord>& glyphs,
                           const std::vector<KerningRecord>& kerning, const std::vector<uint8_t>& image);
} // namespace FontFormat
