// libFuzzer target for the "fnt0" bitmap-font file: whatever the reader
// accepts must lie inside the input and come back unchanged through the
// writer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FontFormat.h"

namespace
{
bool SameGlyph(const FontFormat::GlyphRecord& a, const FontFormat::GlyphRecord& b)
{
    return a.code == b.code && a.xOffset == b.xOffset && a.yOffset == b.yOffset && a.x == b.x && a.y == b.y &&
           a.width == b.width && a.height == b.height && a.advance == b.advance;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FontFormat::File file;
    if (!FontFormat::Parse(data, size, file))
        return 0;
    if (file.image < data || file.image + file.imageSize > data + size)
        abort();
    for (const FontFormat::KerningRecord& k : file.kerning)
        if (k.first >= 256)
            abort();

    const std::vector<uint8_t> image(file.image, file.image + file.imageSize);
    const std::vector<uint8_t> written = FontFormat::Write(file.header, file.glyphs, file.kerning, image);
    FontFormat::File back;
    if (!FontFormat::Parse(written.data(), written.size(), back) || back.glyphs.size() != file.glyphs.size() ||
        back.kerning.size() != file.kerning.size() || back.imageSize != file.imageSize)
        abort();
    for (size_t i = 0; i < file.glyphs.size(); ++i)
        if (!SameGlyph(back.glyphs[i], file.glyphs[i]))
            abort();
    return 0;
}
