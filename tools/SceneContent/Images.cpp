// Pictures the program opens by name: the metal's environment and specular
// maps, the smoke puff, the old-movie layers and the loading logo.
#include <cmath>

#include "SceneContent.h"
#include "Textures.h"

namespace SceneContent
{
namespace
{

CImage Environment()
{
    // A sphere map of the sky over the land: blue above, warm ground below.
    const int size = 128;
    CImage img(size, size, 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const float u = (x + 0.5f) / size * 2 - 1, v = 1 - (y + 0.5f) / size * 2;
            const float r = std::sqrt(u * u + v * v);
            const float el = v * (1 - 0.3f * r);
            Rgb c = el > 0 ? Mix(MakeRgb(0.75f, 0.82f, 0.9f), MakeRgb(0.3f, 0.45f, 0.75f), el)
                           : Mix(MakeRgb(0.55f, 0.5f, 0.38f), MakeRgb(0.25f, 0.28f, 0.18f), -el);
            c = Scale(c, 0.85f + 0.3f * Fbm(x * 0.05f, y * 0.05f, 901, 4));
            img.Set(x, y, c, 1);
        }
    return img;
}

CImage Specular()
{
    // Highlight strength by (N.H along u, power along v).
    const int size = 128;
    CImage img(size, size, 4);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            const float nh = (x + 0.5f) / size, power = 1 + 63.0f * (y + 0.5f) / size;
            const float s = std::pow(nh, power);
            img.Set(x, y, Rgb{s, s, s}, s);
        }
    return img;
}

CImage Scratches()
{
    const int w = 256, h = 256;
    CImage img(w, h, 3);
    CRandom rng(911);
    std::vector<float> col(w, 0);
    for (int k = 0; k < 14; ++k)
    {
        const int x = int(rng.Unit() * w);
        const float s = rng.Range(0.5f, 1);
        col[x] = std::max(col[x], s);
        if (x + 1 < w)
            col[x + 1] = std::max(col[x + 1], s * 0.4f);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const float breaks = LatticeNoise(x * 0.7f, y * 0.05f, 912) > 0.3f ? 1.0f : 0.2f;
            float v = col[x] * breaks;
            // Dust specks.
            if (LatticeNoise(x * 0.9f, y * 0.9f, 913) > 0.985f)
                v = 0.9f;
            img.Set(x, y, Rgb{v, v, v});
        }
    return img;
}

CImage Line()
{
    const int w = 64, h = 256;
    CImage img(w, h, 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const float d = std::fabs((x + 0.5f) / w - 0.5f) * 2;
            const float v = (1 - SmoothStep(0.0f, 0.25f, d)) * (0.6f + 0.4f * LatticeNoise(0.5f, y * 0.08f, 921));
            img.Set(x, y, Rgb{v, v, v});
        }
    return img;
}

CImage Screen()
{
    // Film grain added over the whole picture: a faint warm haze with
    // brighter flecks, dark enough that the picture shows through.
    const int size = 256;
    CImage img(size, size, 3);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
        {
            float v = 0.03f + 0.07f * Fbm(x * 0.45f, y * 0.45f, 931, 2);
            if (LatticeNoise(x * 0.8f, y * 0.8f, 932) > 0.99f)
                v = 0.35f;
            img.Set(x, y, Scale(MakeRgb(1.0f, 0.85f, 0.6f), v));
        }
    return img;
}

CImage Logo()
{
    // A brass-rimmed badge with a steam engine's outline and the sky behind.
    const int w = 512, h = 256;
    CImage img(w, h, 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const float u = (x + 0.5f) / w, v = (y + 0.5f) / h;
            const float ex = (u - 0.5f) * 2.2f, ey = (v - 0.5f) * 2.2f;
            const float r = std::sqrt(ex * ex * 0.35f + ey * ey);
            Rgb c = MakeRgb(0.05f, 0.06f, 0.08f);
            if (r < 1.0f)
            {
                c = Mix(MakeRgb(0.85f, 0.7f, 0.45f), MakeRgb(0.35f, 0.5f, 0.7f), Clamp01(1 - v * 1.4f));
                // The engine: boiler, cab, chimney and wheels in silhouette.
                const float gx = u * 10 - 3.2f, gy = (1 - v) * 5 - 1.0f;
                bool engine = (gx > 0 && gx < 2.6f && gy > 0.55f && gy < 1.35f) || // boiler
                              (gx > 2.4f && gx < 3.5f && gy > 0.4f && gy < 2.0f) || // cab
                              (gx > 0.3f && gx < 0.6f && gy > 1.3f && gy < 1.9f) || // chimney
                              (gx > -0.2f && gx < 3.6f && gy > 0.25f && gy < 0.55f);  // frame
                for (int wi = 0; wi < 4; ++wi)
                {
                    const float cx = 0.5f + wi * 0.85f, cy = 0.35f;
                    if ((gx - cx) * (gx - cx) + (gy - cy) * (gy - cy) < 0.12f)
                        engine = true;
                }
                if (engine)
                    c = MakeRgb(0.08f, 0.07f, 0.06f);
                if (gy < 0.05f && gy > -0.08f)
                    c = MakeRgb(0.3f, 0.25f, 0.2f); // the rails
            }
            if (r > 0.93f && r < 1.03f)
                c = Mix(MakeRgb(0.55f, 0.4f, 0.15f), MakeRgb(0.95f, 0.8f, 0.4f),
                        0.5f + 0.5f * std::sin(std::atan2(ey, ex) * 6 + kPi));
            img.Set(x, y, c);
        }
    return img;
}
} // namespace

std::vector<NamedFile> BuildImages()
{
    return {{"Environment.dds", EncodeDds(Environment())},
            {"Specular.dds", EncodeDds(Specular())},
            {"Smoke.tga", EncodeTga(PaintSmoke())},
            {"OldMovieScratches.jpg", EncodeJpeg(Scratches())},
            {"OldMovieLine.jpg", EncodeJpeg(Line())},
            {"OldMovieScreen.jpg", EncodeJpeg(Screen())},
            {"logo.jpg", EncodeJpeg(Logo(), 90)}};
}
} // namespace SceneContent
