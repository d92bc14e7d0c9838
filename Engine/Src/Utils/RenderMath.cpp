#include "RenderMath.h"

#include <cmath>
#include <cstdlib>

BlurStrengthConstants g_BlurStrength;

bool IsPowerOfTwo(unsigned n)
{
    if (n == 0)
        return false;
    const float e = std::log2((float)n);
    return e - std::floor(e) < 1e-6f;
}

unsigned RoundToPowerOfTwo(unsigned n)
{
    if (n <= 1)
        return 1;
    const float e = std::log2((float)n);
    const float whole = std::floor(e);
    const int exponent = (int)whole + (e - whole >= 0.5f ? 1 : 0);
    return exponent >= 31 ? 0x80000000u : 1u << exponent;
}

float GaussianRandom()
{
    // u is kept away from 0 so that the logarithm stays finite.
    const float u = (float)std::rand() / (float)RAND_MAX * 0.9998f + 0.0001f;
    const float w = (float)std::rand() / (float)RAND_MAX;
    return std::sqrt(-2.0f * std::log(u)) * std::cos(2.0f * 3.14159265f * w);
}

bool BlurStrength::IsOff() const
{
    return taps == 0 || passes == 0 || std::fabs(spread) < 1e-7f;
}

BlurStrength ComputeBlurStrength(int level)
{
    const BlurStrengthConstants& k = g_BlurStrength;
    BlurStrength s;
    if (level <= 0)
        return s;
    if (level < k.threshold)
    {
        s.passes = (int)((float)k.fullPasses * (float)level / (float)k.threshold);
        s.taps = (int)((float)level * (float)k.fullTaps / (float)k.threshold);
        s.spread = 1e-6f;
    }
    else
    {
        s.passes = k.fullPasses;
        s.taps = k.fullTaps;
        s.spread = (float)(level - k.threshold) * k.spreadStep + 1e-6f;
    }
    return s;
}

std::vector<int> BlurTapGroups(int taps, int maxTextures)
{
    // A vertex carries at most eight coordinate sets.
    if (maxTextures > 8)
        maxTextures = 8;
    std::vector<int> groups;
    for (int remaining = taps; remaining > 0;)
    {
        int c;
        if (remaining < 2 || maxTextures < 2)
            c = 1;
        else if (remaining > maxTextures)
            c = maxTextures;
        else
            c = remaining;
        groups.push_back(c);
        remaining -= c;
    }
    return groups;
}
