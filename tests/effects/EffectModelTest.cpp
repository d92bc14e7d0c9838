#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Effect.h"
#include "LogCapture.h"
#include "RecordingEffectDevice.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace
{
IDirect3DBaseTexture8* FakeTexture(uintptr_t n) { return reinterpret_cast<IDirect3DBaseTexture8*>(n); }

std::vector<std::string> Apply(EffectTechnique& technique, int pass)
{
    RecordingEffectDevice device;
    technique.ApplyPass(pass, device);
    return device.calls;
}
} // namespace

TEST(EffectVariable, FirstSetFixesTheKind)
{
    EffectVariable v("Light", "E");
    v.SetInt(7);
    const float f[4] = {1, 2, 3, 4};
    v.SetFloat4(f);
    v.SetTexture(FakeTexture(16));
    EXPECT_EQ(EffectVariable::kInt, v.GetKind());
    EXPECT_EQ(7, v.GetInt());
    EXPECT_EQ(0.0f, v.GetFloat4()[0]);
    EXPECT_EQ(nullptr, v.GetTexture());
    EffectVariable unset("M", "E");
    EXPECT_EQ(1.0f, unset.GetMatrix()._11);
    EXPECT_EQ(0.0f, unset.GetMatrix()._12);
}

TEST(EffectTechnique, OneVariableReachesEveryPassAndCopiesAreIndependent)
{
    EffectTechnique source;
    source.SetEffectName("E");
    for (int p = 0; p < 2; ++p)
    {
        EffectPass pass;
        pass.AddTexture(0, source.GetVariableForPass("Diffuse", p));
        source.AddPass(pass);
    }
    source.SetTextureVariable("Diffuse", FakeTexture(0x10));
    EXPECT_EQ(Apply(source, 0)[0], Apply(source, 1)[0]);

    EffectTechnique other;
    other = source;
    other.SetEffectName("Renamed");
    EffectTechnique fresh(source);
    fresh.SetTextureVariable("Diffuse", FakeTexture(0x20)); // kind rule: same kind, stored
    EffectVariablePtr copied = fresh.GetVariable("Diffuse");
    EXPECT_NE(copied.get(), source.GetVariable("Diffuse").get());
    EXPECT_EQ(copied.get(), fresh.GetPass(1).m_Textures[0].variable.get());
    EXPECT_EQ(FakeTexture(0x20), copied->GetTexture());
    EXPECT_EQ(FakeTexture(0x10), source.GetVariable("Diffuse")->GetTexture());
    EXPECT_EQ("E", source.GetVariable("Diffuse")->GetEffectName());
    EXPECT_EQ("Renamed", other.GetVariable("Diffuse")->GetEffectName());
    EXPECT_TRUE(source.IsVariableUsedInPass("Diffuse", 1));
    EXPECT_FALSE(source.IsVariableUsedInPass("Diffuse", 2));
    EXPECT_TRUE(fresh.IsVariableUsed("Diffuse"));
}

TEST(EffectTechnique, SettingAnUnknownVariableLogsTheEffectName)
{
    LogCapture log;
    EffectTechnique t;
    t.SetEffectName("BasicDiffuse");
    D3DMATRIX m = {};
    t.SetMatrixVariable("World", m);
    EXPECT_EQ("Error: Can't find variable \"World\" in effect \"BasicDiffuse\"\n", log.Text());
}

TEST(EffectPass, ApplyOrderAndStageClosing)
{
    EffectTechnique t;
    EffectPass pass;
    pass.AddTextureStageState(2, 1, 4, EffectVariablePtr());
    pass.AddRenderState(27, 1, EffectVariablePtr());
    pass.AddTexture(0, t.GetVariableForPass("Diffuse", 0));
    pass.AddTransform(16, t.GetVariableForPass("TexMatrix", 0));
    t.AddPass(pass);
    EXPECT_THAT(Apply(t, 0), ElementsAre("RS 27=1", "TSS 2.1=4", "TEX 0=(nil)", "TSS 3.1=1", "TSS 3.4=1",
                                         "TEX 3=(nil)", "TRANSFORM 16 1", "PS 0"));

    EffectTechnique empty;
    empty.AddPass(EffectPass());
    EXPECT_THAT(Apply(empty, 0), ElementsAre("TSS 0.1=1", "TSS 0.4=1", "TEX 0=(nil)", "PS 0"));

    EffectTechnique full;
    EffectPass eight;
    eight.AddTextureStageState(7, 1, 2, EffectVariablePtr());
    full.AddPass(eight);
    EXPECT_THAT(Apply(full, 0), ElementsAre("TSS 7.1=2", "PS 0"));
}

TEST(EffectPass, ShaderVariantsChosenByTheirMatchVariable)
{
    EffectTechnique t;
    EffectPass pass;
    for (uint32_t equal = 3; equal <= 5; ++equal)
        pass.AddPixelShader(equal, 100 + equal, t.GetVariableForPass("SpecularPow", 0));
    EffectVariable colour("", "");
    const float c[4] = {0.5f, 0, 0, 0};
    colour.SetFloat4(c);
    pass.AddPixelShaderConstantValue(1, 0, colour);
    pass.AddVertexShaderConstant(0, 1, t.GetVariableForPass("WorldViewProj", 0));
    pass.AddVertexShader(1, 9, t.GetVariableForPass("Skinned", 0));
    pass.AddTextureStageState(0, 1, 4, EffectVariablePtr());
    t.AddPass(pass);

    t.SetIntVariable("SpecularPow", 4);
    std::vector<std::string> calls = Apply(t, 0);
    EXPECT_THAT(std::vector<std::string>(calls.end() - 2, calls.end()), ElementsAre("PSC 1 x1 0.5", "PS 104"));

    EffectTechnique seven(t);
    seven.SetIntVariable("SpecularPow", 7);
    calls = Apply(seven, 0);
    EXPECT_EQ("PS 0", calls.back());
    EXPECT_EQ(0, std::count_if(calls.begin(), calls.end(), [](const std::string& s) { return s[0] == 'P' && s[1] == 'S' && s[2] == 'C'; }));

    t.SetIntVariable("Skinned", 1);
    calls = Apply(t, 0);
    EXPECT_EQ("VSC 0 x4 1", calls[calls.size() - 18]);
    EXPECT_EQ("TSS 5.11=5", calls[calls.size() - 7]);
    EXPECT_EQ("TSS 7.24=0", calls[calls.size() - 2]);
    EXPECT_EQ("VS 9", calls.back());
}

TEST(EffectTechnique, OutOfRangePassesDoNothing)
{
    EffectTechnique t;
    EffectPass pass;
    pass.SetSemantics({"Position", "Tangent"});
    t.AddPass(pass);
    EXPECT_TRUE(Apply(t, -1).empty());
    EXPECT_TRUE(Apply(t, 1).empty());
    EXPECT_TRUE(t.PassUsesTangent(0));
    EXPECT_FALSE(t.PassUsesTangent(1));
    EXPECT_FALSE(t.PassUsesTangent(-1));
    Effect e;
    EXPECT_EQ(nullptr, e.GetTechnique(0));
}

TEST(Effect, MatchesCondition)
{
    Effect e;
    e.AddCondition("Diffuse");
    e.AddCondition("Bump", "2D");
    struct
    {
        std::vector<std::string> kinds;
        bool match;
    } cases[] = {
        {{"Bump", "Diffuse"}, true},
        {{"Diffuse", "Bump", "Light"}, false},
        {{"diffuse", "Bump"}, false},
        {{}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.match, e.MatchesCondition(c.kinds));
    EXPECT_TRUE(Effect().MatchesCondition({}));
}

TEST(Effect, AddedTechniqueTakesTheEffectName)
{
    Effect e;
    e.SetName("Named");
    EffectTechnique t;
    t.GetVariable("X");
    e.AddTechnique(t);
    EXPECT_EQ("Named", e.GetTechnique(0)->GetVariable("X")->GetEffectName());
}
