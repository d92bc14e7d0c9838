#pragma once
// The train's speed: linear ramps started whenever the train passes one of
// the speed marks laid along the track.
#include <vector>

#include "Timer.h"

struct SpeedMark
{
    float distance; // track distance
    float speed;    // units per second; signed by the direction at use
    float seconds;  // ramp time
};

class SpeedController
{
public:
    SpeedController() : m_Timer(1) {}

    // Clears the ramp, the section and the speed; direction 1.
    void Reset();
    void Update(float position);
    void CheckMarks(float position);
    void StartRamp(float target, float seconds);
    // Keeps the marks sorted by ascending distance.
    void AddMark(float distance, float speed, float seconds);

    float GetSpeed() const { return m_Speed; }
    void SetSpeed(float speed) { m_Speed = speed; }
    float GetTarget() const { return m_Target; }
    float GetRemaining() const { return m_Remaining; }
    int GetDirection() const { return m_Direction; }
    void SetDirection(int direction) { m_Direction = direction; }
    const SpeedMark* GetCurrentMark() const { return m_pCurrent; }
    const SpeedMark* GetNextMark() const { return m_pNext; }
    const std::vector<SpeedMark>& GetMarks() const { return m_Marks; }
    CLocalTimer& GetTimer() { return m_Timer; }

private:
    bool HasPassedNext(float position) const;

    float m_Speed = 0;
    float m_Rate = 0;
    float m_Target = 0;
    float m_Remaining = 0;
    CLocalTimer m_Timer;
    std::vector<SpeedMark> m_Marks;
    const SpeedMark* m_pCurrent = nullptr;
    const SpeedMark* m_pNext = nullptr;
    int m_Direction = 1;
};
