#pragma once
// Platform-free arithmetic of the off-screen targets and the random blur:
// power-of-two sizes, the blur's strength table and tap grouping, and the
// normally distributed random numbers of its offset table.
#include <vector>

// Whether log2(n) is a whole number (false for 0).
bool IsPowerOfTwo(unsigned n);
// The power of two nearest to n by exponent: 600 gives 512, 800 gives 1024.
unsigned RoundToPowerOfTwo(unsigned n);

// A float from the standard normal distribution (Box-Muller over rand()).
float GaussianRandom();

// The blur's strength constants, shared by every blur of the process.
struct BlurStrengthConstants
{
    int threshold = 5;      // levels below it blur less than full strength
    int fullPasses = 5;     // passes at full strength
    int fullTaps = 4;       // taps per pass at full strength
    float spreadStep = 0.0001f; // spread added per level above the threshold
};
extern BlurStrengthConstants g_BlurStrength;

struct BlurStrength
{
    int passes = 0;
    int taps = 0;
    float spread = 0.0f;
    // No pass, no tap or no spread: the blur hands back its source.
    bool IsOff() const;
};
BlurStrength ComputeBlurStrength(int level);

// How the taps of one pass are drawn: the size of each group of taps that
// one draw combines in the texture stages, in drawing order.
std::vector<int> BlurTapGroups(int taps, int maxTextures);
