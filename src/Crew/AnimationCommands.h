#pragma once
// The crew's animation commands and the per-object script that steps
// through them once a frame. The commands are built by the script reader
// (AnimationScriptParser.h) from "Animation.txt".
#include <boost/shared_ptr.hpp>

#include <string>
#include <utility>
#include <vector>

#include "Timer.h"

class Object;

class CAnimationCommand
{
public:
    virtual ~CAnimationCommand() = default;
    // The index of the command to run next, or -1 for the following one.
    virtual int GetJumpTarget() const = 0;
    virtual bool IsFinished() = 0;
    virtual void Start(Object* object) = 0;
    virtual std::string Describe() const = 0;
};

typedef boost::shared_ptr<CAnimationCommand> CAnimationCommandPtr;

// Plays a range of keyframes (in animation frames) on the object and its
// descendants, once, at a quarter of the recorded speed.
class CMatrixAnimationCommand : public CAnimationCommand
{
public:
    CMatrixAnimationCommand(int firstFrame, int lastFrame, float speed = 0.25f)
        : m_FirstFrame(firstFrame), m_LastFrame(lastFrame), m_Speed(speed)
    {
    }
    int GetJumpTarget() const override { return -1; }
    bool IsFinished() override;
    void Start(Object* object) override;
    std::string Describe() const override;

    int GetFirstFrame() const { return m_FirstFrame; }
    int GetLastFrame() const { return m_LastFrame; }

private:
    int m_FirstFrame;
    int m_LastFrame;
    float m_Speed;
    Object* m_pObject = nullptr;
};

// Waits a random time between the shortest and the longest (seconds).
class CAnimationCommandWait : public CAnimationCommand
{
public:
    CAnimationCommandWait(float shortest, float longest) : m_Shortest(shortest), m_Longest(longest) {}
    int GetJumpTarget() const override { return -1; }
    bool IsFinished() override { return m_Timer.GetTime() >= m_Duration; }
    void Start(Object* object) override;
    std::string Describe() const override;

    float GetShortest() const { return m_Shortest; }
    float GetLongest() const { return m_Longest; }
    float GetDuration() const { return m_Duration; }

private:
    CLocalTimer m_Timer{1};
    float m_Duration = 0;
    float m_Shortest;
    float m_Longest;
};

class CGotoCommand : public CAnimationCommand
{
public:
    explicit CGotoCommand(int target = 0) : m_Target(target) {}
    int GetJumpTarget() const override { return m_Target; }
    bool IsFinished() override { return true; }
    void Start(Object*) override {}
    std::string Describe() const override;

    void SetTarget(int target) { m_Target = target; }
    int GetTarget() const { return m_Target; }

private:
    int m_Target;
};

// Picks one of its options at random by weight when started and then
// behaves as the chosen option.
class CChanceCommand : public CAnimationCommand
{
public:
    struct Option
    {
        float cumulativeWeight;
        CAnimationCommandPtr command;
    };

    int GetJumpTarget() const override;
    bool IsFinished() override;
    void Start(Object* object) override;
    std::string Describe() const override;

    void AddOption(float weight, const CAnimationCommandPtr& command);
    const std::vector<Option>& GetOptions() const { return m_Options; }
    int GetChosen() const { return m_Chosen; }

private:
    bool HasChosen() const { return m_Chosen >= 0 && size_t(m_Chosen) < m_Options.size(); }

    std::vector<Option> m_Options;
    int m_Chosen = 0;
};

// The command list of one animated object, run one step a frame: at most one
// command ends and one starts per frame, and the list wraps to its start.
class ObjectAnimationScript
{
public:
    void SetObject(Object* object) { m_pObject = object; }
    Object* GetObject() const { return m_pObject; }
    void AddCommand(const CAnimationCommandPtr& command) { m_Commands.push_back(command); }
    const std::vector<CAnimationCommandPtr>& GetCommands() const { return m_Commands; }
    int GetCurrentIndex() const { return m_CurrentIndex; }
    bool IsRunning() const { return m_bRunning; }

    // Parks the object at its animation start and starts the first command.
    void Start();
    void Step();

private:
    std::vector<CAnimationCommandPtr> m_Commands;
    int m_CurrentIndex = 0;
    bool m_bRunning = false;
    Object* m_pObject = nullptr;
};
