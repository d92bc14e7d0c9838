#include <gtest/gtest.h>

#include <set>

#include "CpuFrequency.h"
#include "Timer.h"

namespace {

// A hand-driven hardware clock: 1000 counts per second, and a millisecond
// counter that can be set near its wrap.
struct FakeClock
{
    static bool hasCounter;
    static int64_t counter;
    static uint32_t ms;
    static int64_t step; // added to the counter at every read
    static bool Frequency(int64_t* f)
    {
        if (!hasCounter)
            return false;
        *f = 1000;
        return true;
    }
    static int64_t Counter()
    {
        counter += step;
        return counter;
    }
    static uint32_t Milliseconds() { return ms; }
};
bool FakeClock::hasCounter = true;
int64_t FakeClock::counter = 0;
uint32_t FakeClock::ms = 0;
int64_t FakeClock::step = 0;
const TimerClockSource kFake = {FakeClock::Frequency, FakeClock::Counter, FakeClock::Milliseconds};

class TimerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FakeClock::hasCounter = true;
        FakeClock::counter = 0;
        FakeClock::ms = 0;
        FakeClock::step = 0;
        g_TimerMode = 0;
        SetTimerClockSource(&kFake);
    }
    void TearDown() override
    {
        for (CTimer* t : m_Made)
            DeleteGlobalTimer(t);
        g_TimerMode = 0;
        SetTimerClockSource(nullptr);
    }
    CTimer* Global()
    {
        CTimer* t = GetGlobalTimer();
        m_Made.insert(t);
        return t;
    }
    static void Advance(int64_t ms)
    {
        FakeClock::counter += ms;
        FakeClock::ms += static_cast<uint32_t>(ms);
    }
    std::set<CTimer*> m_Made;
};

TEST_F(TimerTest, RealTimerAccumulatesScaledDeltasAndAverages)
{
    CGlobalRealTimer<CQueryPerformanceTimer> t;
    t.SetTime(0);
    EXPECT_EQ(t.GetAverageFrameTime(), 0.0f);
    Advance(100);
    t.Update();
    EXPECT_FLOAT_EQ(t.GetDelta(), 0.1f);
    t.SetSpeed(2);
    Advance(100);
    t.Update();
    EXPECT_FLOAT_EQ(t.GetDelta(), 0.2f);
    EXPECT_FLOAT_EQ(t.GetTime(), 0.3f);
    EXPECT_FLOAT_EQ(t.GetAverageFrameTime(), 0.15f);
}

TEST_F(TimerTest, PausedSpanNeverEntersTimeOrAverage)
{
    CGlobalRealTimer<CQueryPerformanceTimer> t;
    t.SetTime(0);
    Advance(100);
    t.Update();
    t.Pause();
    EXPECT_EQ(t.GetDelta(), 0.0f);
    Advance(5000);
    t.Update(); // ignored while paused
    EXPECT_FLOAT_EQ(t.GetTime(), 0.1f);
    EXPECT_EQ(t.GetDelta(), 0.0f);
    t.Resume();
    Advance(50);
    t.Update();
    // Source times are floats of about 5 s here: allow their rounding.
    EXPECT_NEAR(t.GetDelta(), 0.05f, 1e-5);
    EXPECT_NEAR(t.GetTime(), 0.15f, 1e-5);
    // Two counted frames; the start of the average moved by the paused 5 s.
    EXPECT_NEAR(t.GetAverageFrameTime(), (0.15f - 5.0f) / 2, 1e-5);
}

TEST_F(TimerTest, SetTimeRestartsWithoutUnpausing)
{
    CGlobalRealTimer<CQueryPerformanceTimer> t;
    t.SetTime(0);
    t.Pause();
    Advance(1000);
    t.SetTime(3);
    t.Update();
    EXPECT_EQ(t.GetTime(), 3.0f);
    t.Resume();
    Advance(250);
    t.Update();
    EXPECT_FLOAT_EQ(t.GetTime(), 3.25f);
}

TEST_F(TimerTest, MultimediaClockReadsAcrossTheWrap)
{
    FakeClock::ms = 0xFFFFFF00u; // 256 ms before the wrap
    CMultimediaTimer mm;
    FakeClock::ms += 1256;
    EXPECT_FLOAT_EQ(mm.GetTime(), 1.256f);

    FakeClock::hasCounter = false;
    FakeClock::ms = 0xFFFFFFF0u;
    CTimer* g = Global();
    g->SetTime(0);
    FakeClock::ms += 500;
    g->Update();
    EXPECT_FLOAT_EQ(g->GetTime(), 0.5f);
}

TEST_F(TimerTest, PerformanceClockSetTimeCountsOnFromThere)
{
    CQueryPerformanceTimer q;
    q.SetTime(2.5f);
    EXPECT_FLOAT_EQ(q.GetTime(), 2.5f);
    Advance(500);
    EXPECT_FLOAT_EQ(q.GetTime(), 3.0f);
}

TEST_F(TimerTest, DebugTimerStepsInFloat)
{
    CGlobalDebugTimer t;
    for (int i = 0; i < 10; ++i)
        t.Update();
    EXPECT_EQ(t.GetTime(), 0.099999987f);
    EXPECT_EQ(t.GetDelta(), 0.01f);
}

TEST_F(TimerTest, BenchmarkModeGetsTheFixedStepEvenAfterARealTimer)
{
    CTimer* real = Global();
    EXPECT_EQ(Global(), real);
    UseDebugTimer();
    CTimer* fixed = Global();
    EXPECT_NE(fixed, real);
    fixed->Update();
    EXPECT_EQ(fixed->GetTime(), 0.01f);
}

TEST_F(TimerTest, LocalTimersScaleStopAndCatchUp)
{
    CTimer* g = Global();
    g->SetTime(0);
    CLocalTimer one(1, 0), two(2, 0), stopped(0, 7);
    Advance(1000);
    g->Update();
    EXPECT_FLOAT_EQ(one.GetTime(), 1.0f);
    EXPECT_FLOAT_EQ(two.GetTime(), 2.0f);
    EXPECT_FLOAT_EQ(two.GetDelta(), 2.0f);
    EXPECT_FLOAT_EQ(stopped.GetTime(), 7.0f);

    // Unread for three frames, then caught up in full.
    for (int i = 0; i < 3; ++i)
    {
        Advance(100);
        g->Update();
    }
    EXPECT_FLOAT_EQ(one.GetTime(), 1.3f);

    // A new speed also covers the time since the last read.
    stopped.SetSpeed(1);
    EXPECT_FLOAT_EQ(stopped.GetTime(), 7.3f);
}

TEST_F(TimerTest, CpuEstimateIsZeroWithoutCounter)
{
    FakeClock::hasCounter = false;
    EXPECT_LT(GetCpuFrequency(), 5u);
}

TEST_F(TimerTest, WaitMillisecondsRunsUntilTheTarget)
{
    FakeClock::step = 1; // the counter moves one count a read
    WaitMilliseconds(50);
    EXPECT_EQ(FakeClock::counter, 51); // start read + 50 counts
    FakeClock::counter = 0;
    WaitReference(50);
    EXPECT_EQ(FakeClock::counter, 2);
}

} // namespace
