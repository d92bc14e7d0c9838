#include "AnimationCommands.h"

#include <cstdio>

#include "MathUtils.h"
#include "Object.h"

namespace
{
uint32_t FrameToMs(const Object* object, int frame)
{
    const float ms = float(frame) * object->GetFrameTime() * 1000.0f;
    return ms > 0 ? uint32_t(ms + 0.5f) : 0;
}
} // namespace

bool CMatrixAnimationCommand::IsFinished()
{
    return !m_pObject || !m_pObject->IsAnimating();
}

void CMatrixAnimationCommand::Start(Object* object)
{
    m_pObject = object;
    if (object)
        object->PlayAnimation(FrameToMs(object, m_FirstFrame), FrameToMs(object, m_LastFrame), 0, m_Speed, 1,
                              true, false);
}

std::string CMatrixAnimationCommand::Describe() const
{
    char text[64];
    snprintf(text, sizeof(text), "Matrix animation: %u %u %.2f", unsigned(m_FirstFrame), unsigned(m_LastFrame),
             m_Speed);
    return text;
}

void CAnimationCommandWait::Start(Object*)
{
    m_Timer.SetTime(0);
    m_Duration = RandomRange(m_Shortest, m_Longest);
}

std::string CAnimationCommandWait::Describe() const
{
    char text[64];
    snprintf(text, sizeof(text), "Wait %.1f - %.1f", m_Shortest, m_Longest);
    return text;
}

std::string CGotoCommand::Describe() const
{
    char text[32];
    snprintf(text, sizeof(text), "Goto %u", unsigned(m_Target));
    return text;
}

void CChanceCommand::AddOption(float weight, const CAnimationCommandPtr& command)
{
    const float before = m_Options.empty() ? 0.0f : m_Options.back().cumulativeWeight;
    m_Options.push_back({before + weight, command});
}

int CChanceCommand::GetJumpTarget() const
{
    return HasChosen() ? m_Options[m_Chosen].command->GetJumpTarget() : 0;
}

bool CChanceCommand::IsFinished()
{
    return HasChosen() ? m_Options[m_Chosen].command->IsFinished() : true;
}

void CChanceCommand::Start(Object* object)
{
    if (m_Options.empty())
        return;
    const float r = RandomUnit() * m_Options.back().cumulativeWeight;
    m_Chosen = int(m_Options.size()) - 1;
    for (size_t i = 0; i < m_Options.size(); ++i)
        if (r <= m_Options[i].cumulativeWeight)
        {
            m_Chosen = int(i);
            break;
        }
    m_Options[m_Chosen].command->Start(object);
}

std::string CChanceCommand::Describe() const
{
    std::string text = "chance_command\n";
    for (const Option& option : m_Options)
    {
        char weight[32];
        snprintf(weight, sizeof(weight), "\t%i, ", int(option.cumulativeWeight));
        text += weight + option.command->Describe() + "\n";
    }
    return text;
}

void ObjectAnimationScript::Start()
{
    if (m_pObject)
    {
        // Equal limits start no animation: the object rests at its start.
        const uint32_t start = m_pObject->GetAnimationStart();
        m_pObject->PlayAnimation(start, start, 0, 0.001f, 1, true, false);
    }
    m_bRunning = true;
    m_CurrentIndex = 0;
    if (!m_Commands.empty())
        m_Commands[0]->Start(m_pObject);
}

void ObjectAnimationScript::Step()
{
    const int count = int(m_Commands.size());
    if (!m_bRunning || m_CurrentIndex < 0 || m_CurrentIndex >= count)
        return;
    if (!m_Commands[m_CurrentIndex]->IsFinished())
        return;
    const int target = m_Commands[m_CurrentIndex]->GetJumpTarget();
    if (target == -1)
    {
        m_CurrentIndex = m_CurrentIndex + 1;
        if (m_CurrentIndex >= count)
            m_CurrentIndex = 0;
    }
    else
        m_CurrentIndex = target;
    if (m_CurrentIndex >= 0 && m_CurrentIndex < count)
        m_Commands[m_CurrentIndex]->Start(m_pObject);
}
