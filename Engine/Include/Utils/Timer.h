#pragma once
// Timers. One process-wide global timer advances once per frame; every
// animated component reads it through a CLocalTimer of its own that scales it
// by its own speed. All times are seconds.
#include <cstdint>

class CTimer
{
public:
    virtual void SetSpeed(float speed) = 0;
    virtual void Update() = 0;
    virtual float GetTime() = 0;
    virtual void SetTime(float t) = 0;
    virtual float GetDelta() = 0;
    virtual float GetAverageFrameTime() = 0;
    virtual void SetDelta(float delta) = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    // The framework deletes the global timer through this base.
    virtual ~CTimer() = default;
};

// The hardware clocks the timers read. The platform supplies the real ones;
// tests install their own.
struct TimerClockSource
{
    bool (*QueryFrequency)(int64_t* frequency); // counts per second
    int64_t (*QueryCounter)();
    uint32_t (*Milliseconds)(); // a 32-bit millisecond count that wraps
};
void SetTimerClockSource(const TimerClockSource* source); // nullptr: platform clocks
const TimerClockSource& GetTimerClockSource();

// Clock source over the performance counter.
class CQueryPerformanceTimer : public CTimer
{
public:
    CQueryPerformanceTimer();
    void SetSpeed(float) override {}
    void Update() override {}
    float GetTime() override;
    void SetTime(float t) override;
    float GetDelta() override { return 0; }
    float GetAverageFrameTime() override { return 0; }
    void SetDelta(float) override {}
    void Pause() override {}
    void Resume() override {}

private:
    int64_t m_StartCount = 0;
    int64_t m_Frequency = 0;
    double m_SecondsPerCount = 0;
};

// Clock source over the millisecond counter.
class CMultimediaTimer : public CTimer
{
public:
    CMultimediaTimer();
    void SetSpeed(float) override {}
    void Update() override {}
    float GetTime() override;
    void SetTime(float) override {}
    float GetDelta() override { return 0; }
    float GetAverageFrameTime() override { return 0; }
    void SetDelta(float) override {}
    void Pause() override {}
    void Resume() override {}

private:
    uint32_t m_StartMs;
};

// The real-time global timer over a clock source S.
template <class S>
class CGlobalRealTimer : public CTimer
{
public:
    CGlobalRealTimer() { m_LastSourceTime = m_Source.GetTime(); }

    void SetSpeed(float speed) override { m_Speed = speed; }
    void Update() override
    {
        if (m_bPaused)
            return;
        const float now = m_Source.GetTime();
        ++m_FrameCount;
        m_Delta = (now - m_LastSourceTime) * m_Speed;
        m_Time += m_Delta;
        m_LastSourceTime = now;
    }
    float GetTime() override { return m_Time; }
    void SetTime(float t) override
    {
        m_Time = t;
        m_StartTime = t;
        m_Delta = 0;
        m_LastSourceTime = m_Source.GetTime();
        m_FrameCount = 0;
        m_SourceTimeAtPause = 0;
    }
    float GetDelta() override { return m_Delta; }
    float GetAverageFrameTime() override
    {
        return m_FrameCount ? (m_Time - m_StartTime) / m_FrameCount : 0.0f;
    }
    void SetDelta(float delta) override { m_Delta = delta; }
    void Pause() override
    {
        m_Delta = 0;
        m_bPaused = true;
        m_SourceTimeAtPause = m_Source.GetTime();
    }
    void Resume() override
    {
        m_bPaused = false;
        m_LastSourceTime = m_Source.GetTime();
        m_StartTime += m_Source.GetTime() - m_SourceTimeAtPause;
    }

private:
    float m_Speed = 1;
    float m_Time = 0;
    float m_LastSourceTime = 0;
    float m_Delta = 0;
    S m_Source;
    float m_SourceTimeAtPause = 0;
    bool m_bPaused = false;
    uint32_t m_FrameCount = 0;
    float m_StartTime = 0;
};

// The fixed-step global timer of benchmark runs; its "speed" is its step.
class CGlobalDebugTimer : public CTimer
{
public:
    void SetSpeed(float step) override { m_Step = step; }
    void Update() override { m_Time += m_Step; }
    float GetTime() override { return m_Time; }
    void SetTime(float t) override { m_Time = t; }
    float GetDelta() override { return m_Step; }
    float GetAverageFrameTime() override { return 0; }
    void SetDelta(float) override {}
    void Pause() override {}
    void Resume() override {}

private:
    float m_Step = 0.01f;
    float m_Time = 0;
};

// A component's own clock over the global timer. Reading the time is what
// advances it; a speed of 0 stops it.
class CLocalTimer : public CTimer
{
public:
    CLocalTimer(float speed = 1, float startTime = 0);
    void SetSpeed(float speed) override { m_Speed = speed; }
    void Update() override {}
    float GetTime() override;
    void SetTime(float t) override;
    float GetDelta() override;
    float GetAverageFrameTime() override;
    void SetDelta(float) override {}
    void Pause() override {}
    void Resume() override {}

protected:
    float m_Speed;
    float m_LocalTime;
    float m_LastGlobalTime;
    CTimer* m_pGlobal;
};

class CAdjustableLocalTimer : public CLocalTimer
{
public:
    CAdjustableLocalTimer() : CLocalTimer(1, 0) {}
    float GetAverageFrameTime() override { return 0; }
};

// 0: real time, 1: fixed step of 0.01 s a frame.
extern int g_TimerMode;
void UseDebugTimer();
CTimer* GetGlobalTimer();
// Deletes a timer that GetGlobalTimer made, so that a later call makes anew.
void DeleteGlobalTimer(CTimer* timer);
