// The front-end's pictures, generated at build time: the preview shown in the
// display settings (a 152 x 112 baseline JPEG of the train in its landscape)
// and the program icon (32 x 32, 32-bit, as an .ico file).
//   frontend_content OUTPUT_FOLDER
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>

#include "Image.h"

using namespace SceneContent;

namespace
{
// Sky over the upper part, a line of hills, sandy ground with the track, and
// the engine with its smoke. The top rows are always sky and the bottom rows
// always ground, whatever else is drawn.
CImage Preview()
{
    const int w = 152, h = 112;
    CImage img(w, h, 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const float u = (x + 0.5f) / w, v = (y + 0.5f) / h;
            Rgb c = Mix(MakeRgb(0.22f, 0.42f, 0.78f), MakeRgb(0.66f, 0.78f, 0.9f), SmoothStep(0.0f, 0.55f, v));
            const float hill = 0.5f + 0.06f * std::sin(u * 9.0f) + 0.03f * std::sin(u * 23.0f + 1.0f);
            if (v > hill)
                c = MakeRgb(0.42f, 0.48f, 0.3f);
            if (v > 0.66f)
                c = Mix(MakeRgb(0.62f, 0.5f, 0.32f), MakeRgb(0.5f, 0.38f, 0.22f), SmoothStep(0.66f, 1.0f, v));
            // The track: two rails across the ground.
            if (std::fabs(v - 0.8f) < 0.008f || std::fabs(v - 0.84f) < 0.008f)
                c = MakeRgb(0.28f, 0.24f, 0.2f);
            // The engine: boiler, cab, chimney and wheels in silhouette.
            const float gx = u * 10 - 2.0f, gy = (0.8f - v) * 10;
            bool engine = (gx > 0 && gx < 3.0f && gy > 0.7f && gy < 1.7f) || // boiler
                          (gx > 2.8f && gx < 4.0f && gy > 0.5f && gy < 2.6f) || // cab
                          (gx > 0.3f && gx < 0.7f && gy > 1.6f && gy < 2.4f) || // chimney
                          (gx > -0.2f && gx < 4.1f && gy > 0.35f && gy < 0.7f);  // frame
            for (int wi = 0; wi < 4; ++wi)
            {
                const float cx = 0.5f + wi * 1.0f, cy = 0.35f;
                if ((gx - cx) * (gx - cx) + (gy - cy) * (gy - cy) < 0.13f)
                    engine = true;
            }
            if (engine)
                c = MakeRgb(0.1f, 0.09f, 0.08f);
            // Smoke drifting back from the chimney.
            const float sx = gx - 0.5f, sy = gy - 2.4f;
            const float puff = std::exp(-((sx - sy * 1.8f) * (sx - sy * 1.8f)) * 2.0f - sy * 0.4f);
            if (sy > 0 && sy < 3.0f && sx > -0.3f)
                c = Mix(c, MakeRgb(0.85f, 0.85f, 0.85f), Clamp01(puff) * 0.8f);
            img.Set(x, y, c);
        }
    return img;
}

// A round badge with the engine, as a one-image .ico (BGRA, bottom-up, with
// an all-opaque AND mask after the colours).
Bytes Icon()
{
    const int n = 32;
    const unsigned xorBytes = n * n * 4, andBytes = n * 4, imageBytes = 40 + xorBytes + andBytes;
    Bytes b;
    // Little-endian fields of `size` bytes, in file order.
    auto put = [&b](std::initializer_list<std::pair<unsigned, int>> fields) {
        for (const auto& f : fields)
            for (int i = 0; i < f.second; ++i)
                b.push_back(uint8_t(f.first >> (8 * i)));
    };
    put({{0, 2}, {1, 2}, {1, 2}});                                        // header: icon, one image
    put({{n, 1}, {n, 1}, {0, 1}, {0, 1}, {1, 2}, {32, 2}, {imageBytes, 4}, {6 + 16, 4}}); // directory entry
    put({{40, 4}, {n, 4}, {n * 2, 4}, {1, 2}, {32, 2}, {0, 4}, {xorBytes + andBytes, 4}}); // bitmap header
    put({{0, 4}, {0, 4}, {0, 4}, {0, 4}});
    const CImage picture = Preview();
    for (int y = n - 1; y >= 0; --y)
        for (int x = 0; x < n; ++x)
        {
            const float dx = x - 15.5f, dy = y - 15.5f;
            const bool inside = dx * dx + dy * dy < 16.0f * 16.0f;
            const Rgb c = picture.Get(20 + x * 2, 40 + y * 2);
            b.push_back(uint8_t(c.b * 255)), b.push_back(uint8_t(c.g * 255)), b.push_back(uint8_t(c.r * 255));
            b.push_back(inside ? 255 : 0);
        }
    b.insert(b.end(), andBytes, 0);
    return b;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: frontend_content OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string out = argv[1];
    if (!WriteFileBytes(out + "/Preview.jpg", EncodeJpeg(Preview(), 90)) ||
        !WriteFileBytes(out + "/Tarnholm.ico", Icon()))
    {
        std::fprintf(stderr, "frontend_content: cannot write into %s\n", out.c_str());
        return 1;
    }
    return 0;
}
