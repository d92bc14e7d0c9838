// The crew script: what the reader builds from a text, where it reports an
// error, and how a script steps through its commands.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>

#include "../foundation/LogCapture.h"
#include "FixedStepTimer.h"
#include "AnimationCommands.h"
#include "AnimationScriptParser.h"
#include "Object.h"

namespace
{
struct Parsed
{
    bool ok;
    std::vector<std::string> commands; // Describe() of each command of Bip01
    std::string log;
};

Parsed ParseForBip01(const std::string& text)
{
    ObjectAnimationScript script;
    ObjectsAnimationScriptParser::ObjectMap objects{{"Bip01", &script}};
    LogCapture log;
    Parsed result;
    result.ok = ObjectsAnimationScriptParser::Parse("Animation.txt", text.data(), text.data() + text.size(), objects);
    for (const auto& command : script.GetCommands())
        result.commands.push_back(command->Describe());
    result.log = log.Text();
    return result;
}

struct ParseCase
{
    const char* name;
    const char* text;
    bool ok;
    std::vector<std::string> commands;
    std::string log;
};

std::string ReadShippedScript()
{
    std::ifstream in(TARNHOLM_CONTENT_SOURCE "/Animation.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string kError = "Animation.txt : Error: Expected command or object tag ";

class CrewScriptParse : public testing::TestWithParam<ParseCase>
{
};

TEST_P(CrewScriptParse, BuildsTheCommandsAndReportsWhereReadingStopped)
{
    const ParseCase& c = GetParam();
    const Parsed parsed = ParseForBip01(c.text);
    EXPECT_EQ(parsed.ok, c.ok);
    EXPECT_EQ(parsed.commands, c.commands);
    EXPECT_EQ(parsed.log, c.log);
}

const std::string kLine2Col4 = kError + "[Line: 2; Column: 4]\n";
const std::string kLine2Col1 = kError + "[Line: 2; Column: 1]\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, CrewScriptParse,
    testing::Values(
        ParseCase{"BackwardGoto", "[Bip01]\na:\n animation 1, 2\n goto a:\n", true,
                  {"Matrix animation: 1 2 0.25", "Goto 0"}, ""},
        ParseCase{"ForwardGoto", "[Bip01] goto b: animation 1, 2 b: wait 1, 2", true,
                  {"Goto 2", "Matrix animation: 1 2 0.25", "Wait 1.0 - 2.0"}, ""},
        ParseCase{"CapitalsNoBlanks", "[Bip01]ANIMATION 5,6", true, {"Matrix animation: 5 6 0.25"}, ""},
        ParseCase{"KeywordWithoutSpace", "[ Bip01]wait-1,+3", true, {"Wait -1.0 - 3.0"}, ""},
        ParseCase{"Chance", "[Bip01] chance_select 2, goto a: 3, animation 1, 2 a: animation 3, 4", true,
                  {"chance_command\n\t2, Goto 1\n\t5, Matrix animation: 1 2 0.25\n", "Matrix animation: 3 4 0.25"},
                  ""},
        ParseCase{"UndefinedLabelJumpsToTheStart", "[Bip01] animation 1, 2 goto nowhere:", true,
                  {"Matrix animation: 1 2 0.25", "Goto 0"}, ""},
        ParseCase{"LabelDefinedTwiceMovesPendingGotos", "[Bip01] goto a: a: animation 1, 2 a: wait 1, 1", true,
                  {"Goto 2", "Matrix animation: 1 2 0.25", "Wait 1.0 - 1.0"}, ""},
        ParseCase{"UnknownWordAfterACommand", "[Bip01] animation 1, 2\n   jump 3\n", false,
                  {"Matrix animation: 1 2 0.25"}, kLine2Col4},
        ParseCase{"OnlyATag", "  [Bip01]  ", false, {}, ""},
        ParseCase{"NoTagFirst", "animation 1, 2", false, {}, ""},
        ParseCase{"SecondTagWithoutBody", "[Bip01] wait 1, 2\n[Bip01]", false, {"Wait 1.0 - 2.0"},
                  kLine2Col1},
        ParseCase{"TabMovesTheColumn", "[Bip01]\tanimation 1, 2\n\t\tfoo", false, {"Matrix animation: 1 2 0.25"},
                  kError + "[Line: 2; Column: 9]\n"},
        ParseCase{"IncompleteCommandIsDropped", "[Bip01] wait 1, 2 animation 3,", false, {"Wait 1.0 - 2.0"},
                  kError + "[Line: 1; Column: 19]\n"},
        ParseCase{"UnknownObjectIsSkipped", "[Other] animation 1, 2 [Bip01] wait 1, 2", true,
                  {"Wait 1.0 - 2.0"}, ""},
        ParseCase{"TwoTagsShareTheBlock", "[Other][Bip01] goto x: x: wait 1, 2", true,
                  {"Goto 1", "Wait 1.0 - 2.0"}, ""},
        ParseCase{"LabelsAreLocalToTheirBlock", "[Bip01] wait 1, 2\n[Other] a: goto a:\n[Bip01] goto a:", true,
                  {"Wait 1.0 - 2.0", "Goto 0"}, ""}),
    [](const testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(CrewScript, ForwardGotoOfAnUnknownObjectIsSafe)
{
    // The goto's only owner is the reader until its label comes.
    const Parsed parsed = ParseForBip01("[Other] goto late: animation 1, 2 wait 1, 2 late: wait 1, 2");
    EXPECT_TRUE(parsed.ok);
    EXPECT_TRUE(parsed.commands.empty());
}

TEST(CrewScript, ShippedScriptReadsWhole)
{
    const std::string text = ReadShippedScript();
    ASSERT_FALSE(text.empty());
    const Parsed parsed = ParseForBip01(text);
    EXPECT_TRUE(parsed.ok) << parsed.log;
    EXPECT_GT(parsed.commands.size(), 10u);
    EXPECT_EQ(parsed.log, "");
}

// A command that counts its starts and finishes when told.
class FakeCommand : public CAnimationCommand
{
public:
    explicit FakeCommand(int jump = -1) : m_Jump(jump) {}
    int GetJumpTarget() const override { return m_Jump; }
    bool IsFinished() override { return m_bFinished; }
    void Start(Object*) override { ++m_Starts; }
    std::string Describe() const override { return "fake"; }
    int m_Jump;
    bool m_bFinished = false;
    int m_Starts = 0;
};

TEST(CrewScript, StepsOneCommandAFrameAndWraps)
{
    ObjectAnimationScript script;
    auto a = boost::make_shared<FakeCommand>();
    auto b = boost::make_shared<FakeCommand>();
    script.AddCommand(a);
    script.AddCommand(b);
    script.Step(); // not running yet
    EXPECT_EQ(a->m_Starts, 0);
    script.Start();
    EXPECT_EQ(a->m_Starts, 1);
    script.Step();
    EXPECT_EQ(script.GetCurrentIndex(), 0); // a still runs
    a->m_bFinished = true;
    script.Step();
    EXPECT_EQ(script.GetCurrentIndex(), 1);
    EXPECT_EQ(b->m_Starts, 1);
    b->m_bFinished = true;
    script.Step();
    EXPECT_EQ(script.GetCurrentIndex(), 0); // wrapped
    EXPECT_EQ(a->m_Starts, 2);
}

TEST(CrewScript, GotoAsLastCommandTakesItsTarget)
{
    ObjectAnimationScript script;
    auto a = boost::make_shared<FakeCommand>();
    auto b = boost::make_shared<FakeCommand>();
    script.AddCommand(a);
    script.AddCommand(b);
    script.AddCommand(boost::make_shared<CGotoCommand>(1));
    script.Start();
    a->m_bFinished = b->m_bFinished = true;
    script.Step(); // a -> b
    script.Step(); // b -> goto
    EXPECT_EQ(script.GetCurrentIndex(), 2);
    script.Step(); // goto -> 1, not the wrap to 0
    EXPECT_EQ(script.GetCurrentIndex(), 1);
    EXPECT_EQ(a->m_Starts, 1);
    EXPECT_EQ(b->m_Starts, 2);
}

TEST(CrewScript, ChanceCommandFollowsItsChosenOption)
{
    auto animation = boost::make_shared<FakeCommand>();
    auto jump = boost::make_shared<FakeCommand>(0);
    jump->m_bFinished = true;
    CChanceCommand chance;
    chance.AddOption(1, jump);
    chance.AddOption(4, animation);
    int first = 0;
    srand(7);
    for (int i = 0; i < 5000; ++i)
    {
        chance.Start(nullptr);
        if (chance.GetChosen() == 0)
        {
            ++first;
            EXPECT_TRUE(chance.IsFinished());
            EXPECT_EQ(chance.GetJumpTarget(), 0);
        }
        else
        {
            EXPECT_FALSE(chance.IsFinished()); // as long as the animation runs
            EXPECT_EQ(chance.GetJumpTarget(), -1);
        }
    }
    // r <= 1 of a total of 5: about one start in five.
    EXPECT_NEAR(first / 5000.0, 0.2, 0.03);
    EXPECT_EQ(jump->m_Starts + animation->m_Starts, 5000);
}

TEST(CrewScript, EmptyChanceCommandIsFinished)
{
    CChanceCommand chance;
    chance.Start(nullptr);
    EXPECT_TRUE(chance.IsFinished());
    EXPECT_EQ(chance.GetJumpTarget(), 0);
}

typedef FixedStepTimer GlobalDebugTimer;

TEST_F(GlobalDebugTimer, WaitEndsAfterItsTime)
{
    CAnimationCommandWait wait(2, 2);
    wait.Start(nullptr);
    Frames(195);
    EXPECT_FALSE(wait.IsFinished());
    Frames(10);
    EXPECT_TRUE(wait.IsFinished());
}

TEST_F(GlobalDebugTimer, AnimationCommandPlaysItsFramesOnce)
{
    Object root("Bip01");
    Object child("Bip01 Spine");
    root.AttachChild(&child);
    D3DXMATRIX m;
    for (uint32_t ms = 0; ms <= 2000; ms += 100)
    {
        D3DXMatrixTranslation(&m, float(ms), 0, 0);
        root.AddKey(ms, m);
        child.AddKey(ms, m);
    }
    CMatrixAnimationCommand command(3, 9); // 0.1 s to 0.3 s at a quarter speed: 0.8 s
    command.Start(&root);
    EXPECT_FALSE(command.IsFinished());
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    for (int i = 0; i < 70; ++i)
    {
        Frames(1);
        root.UpdateWorldMatrix(identity);
        root.UpdateHierarchy();
    }
    EXPECT_FALSE(command.IsFinished());
    for (int i = 0; i < 20; ++i)
    {
        Frames(1);
        root.UpdateWorldMatrix(identity);
        root.UpdateHierarchy();
    }
    EXPECT_TRUE(command.IsFinished());
}

TEST_F(GlobalDebugTimer, WhistleFrameCallsBackOncePerPass)
{
    Object bip("Bip01");
    D3DXMATRIX m;
    for (uint32_t ms = 0; ms <= 16000; ms += 100)
    {
        D3DXMatrixTranslation(&m, float(ms), 0, 0);
        bip.AddKey(ms, m);
    }
    int whistles = 0;
    bip.AddTimedCallback(bip.GetFrameTime() * 445, [&](int, Object*, float) { ++whistles; });
    ObjectAnimationScript script;
    script.SetObject(&bip);
    script.AddCommand(boost::make_shared<CMatrixAnimationCommand>(440, 450)); // passes the whistle
    script.AddCommand(boost::make_shared<CMatrixAnimationCommand>(100, 110));
    script.AddCommand(boost::make_shared<CGotoCommand>(0));
    script.Start();
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    // Runs frames until the script has moved on to the command `index`.
    auto runTo = [&](int index) {
        for (int frame = 0; frame < 1000 && script.GetCurrentIndex() != index; ++frame)
        {
            Frames(1);
            bip.UpdateWorldMatrix(identity);
            script.Step();
        }
        EXPECT_EQ(script.GetCurrentIndex(), index);
    };
    runTo(1);
    EXPECT_EQ(whistles, 1);
    runTo(2);
    runTo(0);
    EXPECT_EQ(whistles, 1); // the other range and the jump back do not whistle
    runTo(1);
    EXPECT_EQ(whistles, 2);
}
} // namespace
