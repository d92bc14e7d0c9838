#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "ControlEffect.h"
#include "LogCapture.h"
#include "RecordingEffectDevice.h"
#include "TexMap.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace
{
std::vector<ControlTechnique> Parse(const std::string& text, std::string* error = nullptr)
{
    std::istringstream in(text);
    std::vector<ControlTechnique> techniques;
    const std::string e = ControlTechniqueParser(in, techniques);
    if (error)
        *error = e;
    return techniques;
}

std::vector<std::string> Applied(const ControlPass& pass)
{
    RecordingEffectDevice device;
    ApplyControlPass(pass, device);
    return device.calls;
}

IDirect3DBaseTexture8* FakeTexture(uintptr_t n) { return reinterpret_cast<IDirect3DBaseTexture8*>(n); }
} // namespace

TEST(ControlTechniqueParser, StatementsBecomeEntries)
{
    struct
    {
        const char* statements;
        std::vector<std::string> calls;
    } cases[] = {
        {"AlphaBlendEnable=true;", {"RS 27=1"}},
        {"ALPHABLENDENABLE = True ;", {"RS 27=1"}},
        {"SrcBlend=5;", {"RS 19=5"}},
        {"TextureTransformFlags[1]=Disable;", {"TSS 1.24=0"}},
        {"ColorOp[1]=Disable;", {"TSS 1.1=1"}},
        {"ColorOp[0]=ModulateAlpha_AddColor;", {"TSS 0.1=18"}},
        {"FogEnable=False;", {}},
        {"TexCoordIndex[2]=CameraSpaceNormal; // the rest ColorOp[0]=Add;\n", {"TSS 2.11=65536"}},
        {"ZEnable=UseW; CullMode=None; Texture[0]=NULL; Texture[0]=NULL;", {"RS 7=2", "RS 22=1", "TEX 0=(nil)"}},
        {"ColorOp[0]=Add; ColorOp[0]=Modulate; ColorOp[0]=Add;", {"TSS 0.1=7", "TSS 0.1=4"}},
    };
    for (const auto& c : cases)
    {
        std::string error;
        auto t = Parse(std::string("tech t { pass p {") + c.statements + "} }", &error);
        EXPECT_EQ("", error) << c.statements;
        ASSERT_EQ(1u, t.size());
        EXPECT_TRUE(t[0].complete);
        ASSERT_EQ(1u, t[0].passes.size());
        EXPECT_EQ(c.calls, Applied(t[0].passes[0])) << c.statements;
    }
}

TEST(ControlTechniqueParser, ErrorsStopTheTechnique)
{
    struct
    {
        const char* text;
        const char* error;
    } cases[] = {
        {"tech t pass", "\"{\" not found\n"},
        {"tech t { pass p { ZEnable True; } }", "\"=\" not found\n"},
        {"tech t { pass p { ZEnable=True } }", "\";\" not found\n"},
        {"tech t { pass p { ColorOp 0]=Add; } }", "\"[\" not found\n"},
        {"tech t { pass p { ColorOp[0=Add; } }", "\"]\" not found\n"},
        {"tech t { pass p { Texture[0]=<Diff; } }", "\">\" not found\n"},
        {"tech t { pass p { ColorOp[8]=Add; } }", "stage number above 7\n"},
        {"tech t { ZEnable=True; }", "state outside a pass\n"},
        {"tech t { pass p { ", "end of text inside technique\n"},
        {"tech a { pass p { ZEnable 1; } } tech b { pass p { } }", "\"=\" not found\n\n"},
    };
    for (const auto& c : cases)
    {
        std::string error;
        auto t = Parse(c.text, &error);
        EXPECT_EQ(c.error, error) << c.text;
        EXPECT_FALSE(t[0].complete) << c.text;
    }
}

TEST(ControlTechnique, VariablesBindEntriesAndSurviveCopies)
{
    auto t = Parse("tech t { pass a { } pass b { TextureFactor=<ATF>; Texture[1]=<Diff>; "
                   "TexCoordIndex[1]=<DTCC>; } }");
    ControlTechnique copy = t[0];
    ASSERT_EQ(3u, copy.variables.size());
    EXPECT_EQ(1, copy.variables[1]->m_PassIndex);
    copy.SetValue(copy.FindVariable("ATF"), 0x80000000u);
    copy.SetTexture(copy.FindVariable("Diff"), FakeTexture(0x40));
    copy.SetValue(copy.FindVariable("DTCC"), 2);
    copy.SetValue(copy.FindVariable("Missing"), 9);
    EXPECT_THAT(Applied(copy.passes[1]), ElementsAre("RS 60=2147483648", "TSS 1.11=2", "TEX 1=0x40"));
    EXPECT_THAT(Applied(t[0].passes[1]), ElementsAre("RS 60=0", "TSS 1.11=0", "TEX 1=(nil)"));
}

TEST(ControlTechnique, ValidationAndChoice)
{
    auto t = Parse("tech two { pass p { Texture[0]=<Diff>; Texture[1]=NULL; } }"
                   "tech one { pass p { Texture[0]=<Diff>; } }");
    RecordingEffectDevice device;
    device.maxTextures = 1;
    LogCapture log;
    EXPECT_EQ("one", ChooseControlTechnique(t, device).name);
    EXPECT_EQ("Validation technique failed\n", log.Text());
    device.validateResult = E_FAIL;
    EXPECT_FALSE(ChooseControlTechnique(t, device).complete);
    EXPECT_THAT(log.Text(), HasSubstr("ValidateDevice on tech one failed(Error: refused)\n"));
}

TEST(CDiffuseEffect, ChoosesOnceAndFillsItsVariablesFromTheMap)
{
    RecordingEffectDevice device;
    CDiffuseEffect::ResetClass();
    DiffuseMap map;
    map.SetTexture(FakeTexture(0x80));
    map.SetAlpha(0x40);
    map.SetTexCoordIndex(1);
    CDiffuseEffect effect(&map, &device);
    EXPECT_EQ("t0", CDiffuseEffect::GetClassTechnique().name);
    EXPECT_EQ(1, effect.GetPassCount());
    device.calls.clear();
    effect.Apply(device, 0);
    EXPECT_THAT(device.calls, ElementsAre("RS 60=1073741824", "TSS 0.1=4", "TSS 0.2=2", "TSS 0.3=0", "TSS 0.4=4",
                                          "TSS 0.5=2", "TSS 0.6=3", "TSS 0.11=1", "TSS 1.1=1", "TSS 1.4=1",
                                          "TEX 0=0x80", "TEX 1=(nil)"));
    // Each of the four techniques parses whole.
    std::istringstream text(CDiffuseEffect::GetText());
    std::vector<ControlTechnique> all;
    EXPECT_EQ("", ControlTechniqueParser(text, all));
    ASSERT_EQ(4u, all.size());
    EXPECT_EQ("atirage128", all[3].name);

    CDiffuseEffect::ResetClass();
    device.validateResult = E_FAIL;
    LogCapture log;
    CDiffuseEffect refused(&map, &device);
    EXPECT_THAT(log.Text(), HasSubstr("DiffuseEffect: no techniques were validated!\n"));
    device.calls.clear();
    refused.Apply(device, 0);
    EXPECT_TRUE(device.calls.empty());
    CDiffuseEffect::ResetClass();
}
