#include "SoundContent.h"

#include <stdexcept>

namespace SoundContent
{
namespace
{
// Vorbis qualities: the short mono sounds a little higher than the music,
// which keeps the whole set to a few megabytes.
const float kSoundQuality = 0.4f, kMusicQuality = 0.2f;

// The scene's pitch arithmetic at its shipped speed of 3000: the chuff at
// 0.5 x 0.31 + 0.5 x 1.0, the rails at 0.5 x 0.6 + 0.5 x 1.6 of the chuff's
// rate, one clack every 2 / 0.35 seconds.
const double kChuffRate = 0.655, kRailsRate = 1.1, kClackInterval = 2.0 / 0.35;
} // namespace

Samples MakeSound(int id, uint64_t seed)
{
    switch (id)
    {
    case 200:
    {
        const StereoSamples music = MakeMusic(seed);
        return Interleave(music.left, music.right);
    }
    case 201: return MakeChuff(seed);
    case 202: return MakeWhistle(seed);
    case 203: case 204: case 205: case 206: case 207: return MakeClack(id - 203, seed);
    case 208: return MakeIdle(seed);
    default: throw std::runtime_error("no sound with id " + std::to_string(id));
    }
}

Bytes EncodeSound(int id, const Samples& samples)
{
    const bool music = id == 200;
    return EncodeOgg(samples, music ? 2 : 1, music ? kMusicQuality : kSoundQuality, id);
}

Samples MakeTrainMix(float seconds)
{
    const size_t n = size_t(seconds * kSampleRate);
    const Samples chuff = MakeChuff(kSoundSeed), idle = MakeIdle(kSoundSeed), whistle = MakeWhistle(kSoundSeed);
    Samples clacks[kClackVariants];
    for (int k = 0; k < kClackVariants; ++k)
        clacks[k] = MakeClack(k, kSoundSeed);
    Samples out(n, 0.0f);
    for (size_t i = 0; i < n; ++i)
        out[i] = ReadWrapped(chuff, double(i) * kChuffRate) * 0.5f + idle[i % idle.size()] * 0.35f;
    int next = 0;
    for (double t = 1.0; t < seconds; t += kClackInterval, next = (next + 1) % kClackVariants)
    {
        const Samples& c = clacks[next];
        const size_t start = size_t(t * kSampleRate);
        for (size_t i = start, k = 0; i < n; ++i, ++k)
        {
            const double pos = double(k) * kRailsRate;
            if (pos + 1 >= double(c.size()))
                break;
            out[i] += ReadWrapped(c, pos) * 0.6f;
        }
    }
    MixInto(out, whistle, long(3.0 * kSampleRate), 0.5f, false);
    Normalise(out, 0.8f);
    return out;
}
} // namespace SoundContent
