#include "CpuFrequency.h"

#include <x86intrin.h>

#include "Timer.h"

// Steps shared by both waits: the target count for `ms` milliseconds, or
// false without a performance counter.
static bool WaitTarget(int ms, int64_t* target)
{
    int64_t frequency = 0;
    if (!GetTimerClockSource().QueryFrequency(&frequency))
        return false;
    *target = (frequency / 1000) * ms;
    return true;
}

void WaitMilliseconds(int ms)
{
    int64_t target;
    if (!WaitTarget(ms, &target))
        return;
    const TimerClockSource& clock = GetTimerClockSource();
    const int64_t start = clock.QueryCounter();
    while (clock.QueryCounter() - start < target)
    {
    }
}

void WaitReference(int ms)
{
    int64_t target;
    if (!WaitTarget(ms, &target))
        return;
    const TimerClockSource& clock = GetTimerClockSource();
    const int64_t start = clock.QueryCounter();
    while (clock.QueryCounter() - start == target)
    {
    }
}

// The waits only read counters and cannot fault, so no exception guard is
// needed around them here (gcc has no structured exception blocks).
uint64_t MeasureCpuTicks(CpuWaitFn wait)
{
    const uint64_t before = __rdtsc();
    wait(50);
    return __rdtsc() - before;
}

uint64_t GetCpuFrequency()
{
    const uint64_t ticks1 = MeasureCpuTicks(WaitMilliseconds);
    const uint64_t ticks2 = MeasureCpuTicks(WaitReference);
    // Without a counter both waits end at once and the reference may take
    // the longer: the estimate is then 0, not a wrapped-around giant.
    if (ticks2 >= ticks1)
        return 0;
    return ((ticks1 - ticks2) / 50) / 1000;
}

void GetCpuFrequency(uint64_t* mhz)
{
    *mhz = GetCpuFrequency();
}
