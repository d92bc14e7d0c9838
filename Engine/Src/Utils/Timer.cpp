#include "Timer.h"

#include <memory>

#ifdef _WIN32
const TimerClockSource& PlatformTimerClockSource(); // Win32/TimerClock.cpp
#else
#include <chrono>

static bool HostFrequency(int64_t* frequency)
{
    *frequency = 1000000000;
    return true;
}
static int64_t HostCounter()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
static uint32_t HostMilliseconds()
{
    return static_cast<uint32_t>(HostCounter() / 1000000);
}
static const TimerClockSource& PlatformTimerClockSource()
{
    static const TimerClockSource source = {HostFrequency, HostCounter, HostMilliseconds};
    return source;
}
#endif

static const TimerClockSource* g_pClockSource = nullptr;

void SetTimerClockSource(const TimerClockSource* source)
{
    g_pClockSource = source;
}

const TimerClockSource& GetTimerClockSource()
{
    return g_pClockSource ? *g_pClockSource : PlatformTimerClockSource();
}

CQueryPerformanceTimer::CQueryPerformanceTimer()
{
    const TimerClockSource& clock = GetTimerClockSource();
    clock.QueryFrequency(&m_Frequency);
    m_SecondsPerCount = m_Frequency ? 1.0 / static_cast<double>(m_Frequency) : 0.0;
    m_StartCount = clock.QueryCounter();
}

float CQueryPerformanceTimer::GetTime()
{
    const int64_t counts = GetTimerClockSource().QueryCounter() - m_StartCount;
    return static_cast<float>(static_cast<double>(counts) * m_SecondsPerCount);
}

void CQueryPerformanceTimer::SetTime(float t)
{
    m_StartCount = GetTimerClockSource().QueryCounter() -
                   static_cast<int64_t>(static_cast<double>(t) * static_cast<double>(m_Frequency));
}

CMultimediaTimer::CMultimediaTimer() : m_StartMs(GetTimerClockSource().Milliseconds())
{
}

float CMultimediaTimer::GetTime()
{
    // Unsigned subtraction keeps the count right across the 32-bit wrap.
    const uint32_t ms = GetTimerClockSource().Milliseconds() - m_StartMs;
    return static_cast<float>(ms / 1000.0);
}

CLocalTimer::CLocalTimer(float speed, float startTime)
    : m_Speed(speed), m_LocalTime(startTime), m_pGlobal(GetGlobalTimer())
{
    m_LastGlobalTime = m_pGlobal->GetTime();
}

float CLocalTimer::GetTime()
{
    const float g = m_pGlobal->GetTime();
    m_LocalTime += (g - m_LastGlobalTime) * m_Speed;
    m_LastGlobalTime = g;
    return m_LocalTime;
}

void CLocalTimer::SetTime(float t)
{
    m_LocalTime = t;
    m_LastGlobalTime = m_pGlobal->GetTime();
}

float CLocalTimer::GetDelta()
{
    return m_pGlobal->GetDelta() * m_Speed;
}

float CLocalTimer::GetAverageFrameTime()
{
    return m_pGlobal->GetAverageFrameTime() * m_Speed;
}

int g_TimerMode = 0;
static std::unique_ptr<CTimer> g_pDebugTimer;
static std::unique_ptr<CTimer> g_pRealTimer;

void UseDebugTimer()
{
    g_TimerMode = 1;
}

CTimer* GetGlobalTimer()
{
    if (g_TimerMode == 1)
    {
        if (!g_pDebugTimer)
            g_pDebugTimer = std::make_unique<CGlobalDebugTimer>();
        return g_pDebugTimer.get();
    }
    if (!g_pRealTimer)
    {
        int64_t frequency = 0;
        if (GetTimerClockSource().QueryFrequency(&frequency))
            g_pRealTimer = std::make_unique<CGlobalRealTimer<CQueryPerformanceTimer>>();
        else
            g_pRealTimer = std::make_unique<CGlobalRealTimer<CMultimediaTimer>>();
    }
    return g_pRealTimer.get();
}

void DeleteGlobalTimer(CTimer* timer)
{
    if (timer && timer == g_pDebugTimer.get())
        g_pDebugTimer.reset();
    if (timer && timer == g_pRealTimer.get())
        g_pRealTimer.reset();
}
