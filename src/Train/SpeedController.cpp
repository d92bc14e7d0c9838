#include "SpeedController.h"

#include <algorithm>
#include <utility>

void SpeedController::Reset()
{
    m_Timer.SetTime(0);
    m_Speed = m_Rate = m_Target = m_Remaining = 0;
    m_pCurrent = m_pNext = nullptr;
    m_Direction = 1;
}

void SpeedController::Update(float position)
{
    CheckMarks(position);
    if (m_Remaining > 0)
    {
        const float t = m_Timer.GetDelta();
        m_Remaining -= t;
        m_Speed += m_Rate * t;
        if (m_Remaining < 0)
        {
            m_Remaining = 0;
            m_Speed = m_Target;
        }
    }
}

bool SpeedController::HasPassedNext(float p) const
{
    const float current = m_pCurrent->distance, next = m_pNext->distance;
    if (m_Direction == 1)
        return next > current ? p > next : (next < p && p < current);
    if (m_Direction == 2)
        return current > next ? p < next : (current < p && p < next);
    return false;
}

void SpeedController::CheckMarks(float p)
{
    if (m_Marks.empty())
        return;
    if (m_Marks.size() == 1)
    {
        // A single mark rules the whole loop: its ramp starts once.
        if (!m_pCurrent)
        {
            m_pCurrent = m_pNext = &m_Marks[0];
            StartRamp(m_Marks[0].speed, m_Marks[0].seconds);
        }
        return;
    }
    if (m_pCurrent)
    {
        if (m_Direction != 1 && m_Direction != 2)
            return;
        if (!HasPassedNext(p))
            return;
        m_pCurrent = nullptr;
    }
    // The section: the highest mark below p, and the mark after it.
    size_t current = m_Marks.size() - 1;
    for (size_t i = m_Marks.size(); i-- > 0;)
        if (m_Marks[i].distance < p)
        {
            current = i;
            break;
        }
    m_pCurrent = &m_Marks[current];
    m_pNext = &m_Marks[(current + 1) % m_Marks.size()];
    if (m_Direction == 2)
    {
        // Travelling backwards, the mark just passed is the one above p.
        std::swap(m_pCurrent, m_pNext);
        StartRamp(-m_pCurrent->speed, m_pCurrent->seconds);
    }
    else
        StartRamp(m_pCurrent->speed, m_pCurrent->seconds);
}

void SpeedController::StartRamp(float target, float seconds)
{
    if (seconds == 0)
        return;
    m_Target = target;
    m_Remaining = seconds;
    m_Rate = (target - m_Speed) / seconds;
}

void SpeedController::AddMark(float distance, float speed, float seconds)
{
    // The section pointers index the list: keep them pointing at the same marks.
    const SpeedMark current = m_pCurrent ? *m_pCurrent : SpeedMark{};
    const SpeedMark next = m_pNext ? *m_pNext : SpeedMark{};
    const bool hadSection = m_pCurrent && m_pNext;
    m_Marks.push_back({distance, speed, seconds});
    std::stable_sort(m_Marks.begin(), m_Marks.end(),
                     [](const SpeedMark& a, const SpeedMark& b) { return a.distance < b.distance; });
    m_pCurrent = m_pNext = nullptr;
    if (hadSection)
        for (const SpeedMark& mark : m_Marks)
        {
            if (!m_pCurrent && mark.distance == current.distance && mark.speed == current.speed)
                m_pCurrent = &mark;
            if (!m_pNext && mark.distance == next.distance && mark.speed == next.speed)
                m_pNext = &mark;
        }
    if (!m_pCurrent || !m_pNext)
        m_pCurrent = m_pNext = nullptr;
}
