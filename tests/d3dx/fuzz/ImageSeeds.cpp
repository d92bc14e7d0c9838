// Writes a seed corpus for the image fuzz target: small files of each kind
// we read.
#include "../ImageFixtures.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace
{
// The JPEG with its coded data cut to two bytes before the end-of-image
// marker, so that the decoder's bit reader runs into the marker.
fixtures::Bytes CodedDataIntoMarker(fixtures::Bytes jpeg)
{
    for (size_t i = 2; i + 3 < jpeg.size();)
    {
        const size_t length = size_t(jpeg[i + 2]) << 8 | jpeg[i + 3];
        if (jpeg[i + 1] == 0xda)
        {
            jpeg.resize(std::min(jpeg.size(), i + 2 + length + 2));
            jpeg.insert(jpeg.end(), {0xff, 0xd9});
            return jpeg;
        }
        i += 2 + length;
    }
    return jpeg;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
        return 2;
    }
    auto q = [](unsigned x, unsigned y) { return fixtures::Quadrants(x, y, 8, 4); };
    const std::pair<const char*, fixtures::Bytes> seeds[] = {
        {"seed.bmp", fixtures::MakeBmp24(8, 4, q)},
        {"seed.tga", fixtures::MakeTga32(8, 4, q, false)},
        {"seed-rle.tga", fixtures::MakeTga32(8, 4, q, true)},
        {"seed-top-down.bmp", fixtures::MakeBmp(8, 4, q, 24, true)},
        {"seed-32.bmp", fixtures::MakeBmp(8, 4, q, 32, true)},
        {"seed.jpg", fixtures::MakeJpeg(8, 4, q)},
        {"seed-into-marker.jpg", CodedDataIntoMarker(fixtures::MakeJpeg(16, 16, q))},
        {"seed.dds", fixtures::MakeDdsArgb(8, 4, 4, false, q)},
        {"seed-cube.dds", fixtures::MakeDdsArgb(4, 4, 3, true, q)},
        {"seed-dxt1.dds", fixtures::MakeDds(8, 8, 2, false, {D3DFMT_DXT1}, fixtures::Bytes(40, 0x5a))},
        {"seed-dxt5.dds", fixtures::MakeDds(4, 4, 1, false, {D3DFMT_DXT5}, fixtures::Bytes(16, 0xa5))},
        {"seed-565.dds", fixtures::MakeDds(2, 2, 1, false, {D3DFMT_UNKNOWN, 16, 0xf800, 0x7e0, 0x1f, 0},
                                           fixtures::Bytes(8, 0x3c))},
    };
    for (const auto& seed : seeds)
    {
        const std::string path = std::string(argv[1]) + "/" + seed.first;
        FILE* f = fopen(path.c_str(), "wb");
        if (!f || fwrite(seed.second.data(), 1, seed.second.size(), f) != seed.second.size())
        {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        fclose(f);
    }
    return 0;
}
