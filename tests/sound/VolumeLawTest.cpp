#include "VolumeLaw.h"

#include <gtest/gtest.h>

TEST(VolumeLaw, PercentAndDecibels)
{
    struct Case
    {
        int percent;
        int hundredths;
    };
    const Case cases[] = {{0, -10000}, {1, -10000}, {10, -5000}, {50, -1505}, {100, 0}, {25, -3010}, {75, -625}};
    for (const Case& c : cases)
        EXPECT_EQ(PercentToDecibels(c.percent), c.hundredths) << c.percent;
    // Out of range percentages are clamped.
    EXPECT_EQ(PercentToDecibels(-5), -10000);
    EXPECT_EQ(PercentToDecibels(250), 0);

    const Case back[] = {{0, -10000}, {0, -12000}, {50, -1505}, {10, -5000}, {100, 0}, {100, 300}};
    for (const Case& c : back)
        EXPECT_EQ(DecibelsToPercent(c.hundredths), c.percent) << c.hundredths;
    // Every percentage from 2 up survives the round trip.
    for (int p = 2; p <= 100; ++p)
        EXPECT_EQ(DecibelsToPercent(PercentToDecibels(p)), p);
}

TEST(VolumeLaw, RangeMapping)
{
    struct Case
    {
        int percent, low, high, expected;
    };
    const Case cases[] = {
        {50, 0, 60, 30}, {100, 0, 40, 40}, {0, 20, 80, 20}, {100, 20, 80, 80}, {50, 0, 100, 50},
        {33, 0, 100, 33}, {150, 0, 60, 60}, {-10, 0, 60, 0}, {50, 10, 20, 15},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MapVolumeToRange(c.percent, c.low, c.high), c.expected) << c.percent << " " << c.low << " " << c.high;
}
