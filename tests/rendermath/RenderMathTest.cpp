#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "RenderMath.h"

namespace {

TEST(PowerOfTwoTest, RoundsToTheNearestExponent)
{
    struct Case
    {
        unsigned n, rounded;
        bool exact;
    };
    const Case cases[] = {{1, 1, true},     {2, 2, true},      {3, 4, false},     {400, 512, false},
                          {600, 512, false}, {800, 1024, false}, {1024, 1024, true}, {1448, 1024, false},
                          {1449, 2048, false}, {0, 1, false}};
    for (const Case& c : cases)
    {
        EXPECT_EQ(RoundToPowerOfTwo(c.n), c.rounded) << c.n;
        EXPECT_EQ(IsPowerOfTwo(c.n), c.exact) << c.n;
    }
}

TEST(BlurStrengthTest, LevelsGivePassesTapsAndSpread)
{
    struct Case
    {
        int level, passes, taps;
        float spread;
        bool off;
    };
    const Case cases[] = {
        {-3, 0, 0, 0.0f, true},  {0, 0, 0, 0.0f, true},         {1, 1, 0, 1e-6f, true},
        {3, 3, 2, 1e-6f, false}, {4, 4, 3, 1e-6f, false},       {5, 5, 4, 1e-6f, false},
        {19, 5, 4, 0.001401f, false},
    };
    for (const Case& c : cases)
    {
        const BlurStrength s = ComputeBlurStrength(c.level);
        EXPECT_EQ(s.passes, c.passes) << c.level;
        EXPECT_EQ(s.taps, c.taps) << c.level;
        EXPECT_NEAR(s.spread, c.spread, 1e-8f) << c.level;
        EXPECT_EQ(s.IsOff(), c.off) << c.level;
    }
}

TEST(BlurStrengthTest, TapsAreGroupedByTheStageCount)
{
    struct Case
    {
        int taps, stages;
        std::vector<int> groups;
    };
    const Case cases[] = {
        {4, 2, {2, 2}},    {4, 3, {3, 1}},    {4, 4, {4}},    {4, 8, {4}}, {4, 1, {1, 1, 1, 1}},
        {1, 8, {1}},       {0, 8, {}},        {12, 16, {8, 4}}, {5, 4, {4, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BlurTapGroups(c.taps, c.stages), c.groups) << c.taps << " taps, " << c.stages << " stages";
}

TEST(GaussianRandomTest, IsFiniteAndStandardNormal)
{
    std::srand(7);
    const int n = 20000;
    double sum = 0, squares = 0;
    for (int i = 0; i < n; ++i)
    {
        const float x = GaussianRandom();
        ASSERT_TRUE(std::isfinite(x));
        sum += x;
        squares += double(x) * x;
    }
    const double mean = sum / n;
    EXPECT_NEAR(mean, 0.0, 0.05);
    EXPECT_NEAR(squares / n - mean * mean, 1.0, 0.1);
}

} // namespace
