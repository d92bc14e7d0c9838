// The hardware clocks of the timers on Windows.
#include <windows.h>
#include <mmsystem.h>

#include "Timer.h"

static bool Win32Frequency(int64_t* frequency)
{
    LARGE_INTEGER f;
    if (!QueryPerformanceFrequency(&f))
        return false;
    *frequency = f.QuadPart;
    return true;
}

static int64_t Win32Counter()
{
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

static uint32_t Win32Milliseconds()
{
    return timeGetTime();
}

const TimerClockSource& PlatformTimerClockSource()
{
    static const TimerClockSource source = {Win32Frequency, Win32Counter, Win32Milliseconds};
    return source;
}
