#include "VolumeLaw.h"

#include <cmath>

namespace
{
const int kSilence = -10000;
}

int ClampPercent(int percent)
{
    return percent < 0 ? 0 : (percent > 100 ? 100 : percent);
}

int PercentToDecibels(int percent)
{
    percent = ClampPercent(percent);
    if (percent == 0)
        return kSilence;
    const int value = static_cast<int>(std::floor(5000.0 * std::log10(percent / 100.0) + 0.5));
    return value < kSilence ? kSilence : value;
}

int DecibelsToPercent(int hundredths)
{
    if (hundredths <= kSilence)
        return 0;
    if (hundredths >= 0)
        return 100;
    return static_cast<int>(std::floor(100.0 * std::pow(10.0, hundredths / 5000.0) + 0.5));
}

int MapVolumeToRange(int percent, int low, int high)
{
    percent = ClampPercent(percent);
    low = ClampPercent(low);
    high = ClampPercent(high);
    if (low == 0 && high == 100)
        return percent;
    return ClampPercent(static_cast<int>((high - low) * percent / 100.0f + low));
}
