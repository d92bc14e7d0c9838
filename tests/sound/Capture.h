#pragma once
// What the project's ALSA sink wrote: raw 16-bit stereo at 44100 Hz appended
// to the file named by TARNHOLM_SOUND_CAPTURE, and a few measurements of it.
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace Capture
{
const int kRate = 44100;

// The capture file as a Windows path (Wine's Z: drive is the Unix root).
inline std::string Path()
{
    const char* unixPath = getenv("TARNHOLM_SOUND_CAPTURE");
    if (!unixPath || !*unixPath)
        return std::string();
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

inline uint64_t Size()
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(Path().c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

struct Stereo
{
    std::vector<float> left, right;
    size_t Frames() const { return left.size(); }
};

// Whole frames written since `offset`.
inline Stereo ReadFrom(uint64_t offset)
{
    Stereo s;
    FILE* f = fopen(Path().c_str(), "rb");
    if (!f)
        return s;
    _fseeki64(f, static_cast<long long>(offset - offset % 4), SEEK_SET);
    int16_t frame[2];
    while (fread(frame, sizeof(frame), 1, f) == 1)
    {
        s.left.push_back(frame[0] / 32768.0f);
        s.right.push_back(frame[1] / 32768.0f);
    }
    fclose(f);
    return s;
}

inline float Rms(const std::vector<float>& x, size_t from, size_t count);

// Waits (at most `ms`) until the newest 50 ms of the capture are silent, so
// that the tail of an earlier sound, still on its way through the mixer,
// does not land in the next recording.
inline bool WaitForQuiet(DWORD ms = 3000)
{
    const DWORD start = GetTickCount();
    for (;;)
    {
        const uint64_t size = Size();
        const uint64_t tail = kRate / 20 * 4;
        if (size >= tail)
        {
            const Stereo s = ReadFrom(size - tail);
            if (s.Frames() > 0 && Rms(s.left, 0, s.Frames()) < 0.001f && Rms(s.right, 0, s.Frames()) < 0.001f)
                return true;
        }
        if (GetTickCount() - start > ms)
            return false;
        Sleep(20);
    }
}

inline float Rms(const std::vector<float>& x, size_t from, size_t count)
{
    double sum = 0;
    size_t n = 0;
    for (size_t i = from; i < from + count && i < x.size(); ++i, ++n)
        sum += double(x[i]) * x[i];
    return n ? static_cast<float>(std::sqrt(sum / n)) : 0.0f;
}

inline float Peak(const std::vector<float>& x)
{
    float peak = 0;
    for (float v : x)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

// The first and one-past-last 10-ms window (in frames) whose level on either
// channel is above `threshold`; {0, 0} when there is none.
inline std::pair<size_t, size_t> Active(const Stereo& s, float threshold = 0.01f)
{
    const size_t w = kRate / 100;
    size_t first = SIZE_MAX, last = 0;
    for (size_t i = 0; i + w <= s.Frames(); i += w)
        if (Rms(s.left, i, w) > threshold || Rms(s.right, i, w) > threshold)
        {
            if (first == SIZE_MAX)
                first = i;
            last = i + w;
        }
    return first == SIZE_MAX ? std::make_pair(size_t(0), size_t(0)) : std::make_pair(first, last);
}

// Goertzel power of `hertz` over the frames.
inline double Power(const std::vector<float>& x, size_t from, size_t count, double hertz)
{
    const double k = 2.0 * std::cos(2.0 * 3.14159265358979 * hertz / kRate);
    double s1 = 0, s2 = 0;
    for (size_t i = from; i < from + count && i < x.size(); ++i)
    {
        const double s0 = x[i] + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return s1 * s1 + s2 * s2 - k * s1 * s2;
}

// The strongest frequency from 100 to 5000 Hz in 5 Hz steps.
inline double Dominant(const std::vector<float>& x, size_t from, size_t count)
{
    double best = 0, bestHz = 0;
    for (double hz = 100; hz <= 5000; hz += 5)
    {
        const double p = Power(x, from, count, hz);
        if (p > best)
        {
            best = p;
            bestHz = hz;
        }
    }
    return bestHz;
}
} // namespace Capture
