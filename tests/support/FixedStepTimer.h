#pragma once
// Tests that step time by hand: the global timer in its fixed-step mode,
// 0.01 s a frame.
#include <gtest/gtest.h>

#include "Timer.h"

class FixedStepTimer : public testing::Test
{
protected:
    // Before the members of a derived fixture: local timers bind to the
    // global timer when they are made.
    FixedStepTimer()
    {
        UseDebugTimer();
        m_pTimer = GetGlobalTimer();
        m_pTimer->SetSpeed(0.01f);
    }
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            m_pTimer->Update();
    }
    CTimer* m_pTimer = nullptr;
};
