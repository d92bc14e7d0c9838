#pragma once
// Writes small RIFF/WAVE files for tests: 16-bit PCM, mono.
#include <cmath>
#include <cstdint>
#include <vector>

namespace WaveEncode
{
// A sine of `hertz` at `amplitude` (0..1), `frames` samples long.
inline std::vector<unsigned char> Tone(int rate, int frames, float hertz, float amplitude = 0.5f)
{
    std::vector<unsigned char> b;
    auto put = [&b](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    auto id = [&b](const char* s) { b.insert(b.end(), s, s + 4); };
    id("RIFF");
    put(36 + frames * 2, 4);
    id("WAVE");
    id("fmt ");
    put(16, 4);
    put(1, 2); // PCM
    put(1, 2); // mono
    put(rate, 4);
    put(rate * 2, 4);
    put(2, 2);
    put(16, 2);
    id("data");
    put(frames * 2, 4);
    for (int i = 0; i < frames; ++i)
        put(static_cast<uint16_t>(static_cast<int16_t>(amplitude * 32767 * std::sin(i * hertz * 6.283185307 / rate))), 2);
    return b;
}
} // namespace WaveEncode
