#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EffectXmlLoader.h"
#include "RecordingEffectDevice.h"

using ::testing::ElementsAre;

namespace
{
// Every element and attribute of the format once.
const char* const kGolden = R"~(<?xml version="1.0"?>
<!-- a comment -->
<Effect Version="1">
  <Name>Golden</Name>
  <Description>ignored</Description>
  <Condition><Texture Type="2D">Diffuse</Texture><Texture>Bump</Texture><Texture></Texture></Condition>
  <Technique>
    <Name>Shaded</Name>
    <Pass>
      <RenderState State="AlphaBlendEnable" Value="True"/>
      <RenderState State="TextureFactor" Value="Variable:ATF"/>
      <Stage>
        <TEXTURESTAGESTATE State="ColorOp" Value="modulate"/>
        <Texture Value="Variable:Diffuse"/>
      </Stage>
      <Stage/>
      <Stage>
        <TextureStageState State="TexCoordIndex" Value="Variable:BumpTexCoordIndex"/>
        <Disabled/>
        <TextureStageState State="ColorOp" Value="Add"/>
      </Stage>
      <Transform State="Texture0" Value="Variable:TexMatrix"/>
      <VertexShaderConstant Register="0x10" Type="Matrix" Value="Variable:WorldViewProj"/>
      <VertexShaderConstant Register="20" Type="float4" Value="(0,0.5, 1 ,2)"/>
      <PixelShaderConstant Register="1" Type="Float4" Value="Variable:Ambient"/>
      <VertexShader Name="BumpVS">
        <Declaration>
          <Stream>
            <Register Type="float3" Number="0" Semantics="Position"/>
            <Register Type="Float2" Number="2" Semantics="TexCoord1"/>
          </Stream>
          <Stream><Register Type="Float3" Number="5" Semantics="Tangent"/></Stream>
        </Declaration>
        <Code><![CDATA[vs.1.1
m4x4 oPos, v0, c16
]]></Code>
      </VertexShader>
      <PixelShader Name="Spec">
        <Match Value="Variable:SpecularPow" Equal="3" Default="3"/>
        <Code>ps.1.1
mov r0, t0</Code>
      </PixelShader>
    </Pass>
    <Pass><Disabled/><RenderState State="ZEnable" Value="False"/></Pass>
    <Pass>
      <VertexShader Link="BumpVS"/>
      <PixelShader Link="Spec"><Match Value="Variable:SpecularPow" Equal="4"/></PixelShader>
    </Pass>
  </Technique>
  <Technique><Name>Gone</Name><Pass/><Pass/><Disabled/></Technique>
  <Technique><Name>Plain</Name><Pass/></Technique>
</Effect>
)~";

struct Loaded
{
    RecordingEffectDevice device;
    EffectXmlLoader loader{&device};
    Effect effect;
    bool ok = false;
    explicit Loaded(const std::string& text) { ok = loader.Parse(text, &effect); }
};

std::string Wrap(const std::string& pass)
{
    return "<Effect><Name>E</Name><Technique><Name>T</Name><Pass>" + pass + "</Pass></Technique></Effect>";
}
} // namespace

TEST(EffectXmlLoader, GoldenFileParsesIntoPassesVariablesAndBindings)
{
    Loaded l(kGolden);
    ASSERT_TRUE(l.ok);
    EXPECT_TRUE(l.loader.GetMessages().empty()) << l.loader.GetMessages()[0];
    EXPECT_EQ("Golden", l.effect.GetName());
    ASSERT_EQ(2u, l.effect.GetCondition().size());
    EXPECT_EQ("2D", l.effect.GetCondition()[0].type);
    ASSERT_EQ(2, l.effect.GetTechniqueCount());
    EffectTechnique& t = *l.effect.GetTechnique(0);
    EXPECT_EQ("Shaded", t.GetName());
    EXPECT_EQ("Plain", l.effect.GetTechnique(1)->GetName());
    ASSERT_EQ(2, t.GetPassCount());
    EXPECT_TRUE(t.PassUsesTangent(0));
    EXPECT_TRUE(t.PassUsesTangent(1)); // through the link's stored semantics
    EXPECT_TRUE(t.IsVariableUsedInPass("SpecularPow", 1));
    EXPECT_TRUE(t.IsVariableUsedInPass("Diffuse", 0));
    EXPECT_EQ(3, t.GetVariable("SpecularPow")->GetInt()); // the Match default
    EXPECT_EQ("Golden", t.GetVariable("ATF")->GetEffectName());
    EXPECT_THAT(l.device.declarations[0],
                ElementsAre(0x20000000u, 0x40020000u, 0x40010002u, 0x20000001u, 0x40020005u, 0xFFFFFFFFu));

    t.SetIntVariable("ATF", 0x7f000000);
    t.SetIntVariable("BumpTexCoordIndex", 1);
    RecordingEffectDevice apply;
    t.ApplyPass(0, apply);
    EXPECT_THAT(apply.calls,
                ElementsAre("RS 27=1", "RS 60=2130706432", "TSS 0.1=4", "TSS 2.11=1", "TEX 0=(nil)", "TSS 3.1=1",
                            "TSS 3.4=1", "TEX 3=(nil)", "TRANSFORM 16 1", "PSC 1 x1 0", "PS 2", "VSC 16 x4 1",
                            "VSC 20 x1 0", "TSS 0.11=0", "TSS 0.24=0", "TSS 1.11=1", "TSS 1.24=0", "TSS 2.11=2",
                            "TSS 2.24=0", "TSS 3.11=3", "TSS 3.24=0", "TSS 4.11=4", "TSS 4.24=0", "TSS 5.11=5",
                            "TSS 5.24=0", "TSS 6.11=6", "TSS 6.24=0", "TSS 7.11=7", "TSS 7.24=0", "VS 1"));
    apply.calls.clear();
    t.ApplyPass(1, apply); // SpecularPow 3 does not match the linked variant's 4
    EXPECT_EQ("PS 0", apply.calls[3]);
}

TEST(EffectXmlLoader, BadInputGivesOneMessageEach)
{
    const char* const renderStates =
        "ALPHABLENDENABLE, ALPHAFUNC, ALPHAREF, ALPHATESTENABLE, AMBIENT, AMBIENTMATERIALSOURCE, BLENDOP";
    struct
    {
        const char* pass;
        const char* message; // a prefix of the one message
    } cases[] = {
        {R"~(<RenderState State="Blend" Value="1"/>)~", "Error: Find: Blend; expected: "},
        {R"~(<RenderState State="ZWriteEnable" Value="Yes"/>)~", "Error: Find: Yes; expected: TRUE or FALSE."},
        {R"~(<Stage><TextureStageState State="ColorOp" Value="Mix"/></Stage>)~", "Error: Find: Mix; expected: ADD, "},
        {R"~(<Stage><Texture Value="Diffuse"/></Stage>)~", "Warning: Texture value is not a variable(\"Diffuse\")."},
        {R"~(<Transform State="World" Value="Variable:W"/>)~", "Error: Find World; Expected: PROJECTION, TEXTURE0"},
        {R"~(<Transform State="View" Value="1"/>)~", "Transformation value must be variable\n"},
        {R"~(<VertexShaderConstant Register="-1" Type="Float4" Value="Variable:A"/>)~",
         "Error in VertexShaderConstant->Register: Find -1; Expected Integer\n"},
        {R"~(<PixelShaderConstant Register="x" Type="Float4" Value="Variable:A"/>)~",
         "Error in PixelShaderConstant->Register: Find x; Expected Integer\n"},
        {R"~(<PixelShaderConstant Register="1" Type="Float3" Value="Variable:A"/>)~",
         "Error in PixelShaderConstant->Type: Find Float3; Expected \"Matrix\" or \"Float4\"\n"},
        {R"~(<VertexShaderConstant Register="1" Type="Float4" Value="(1,2,3)"/>)~",
         "Error in VertexShaderConstant->Value: Find (1,2,3); Expected variable or vector\n"},
        {R"~(<VertexShaderConstant Register="1" Type="Matrix" Value="(1,2,3,4)"/>)~",
         "Error in VertexShaderConstant->Value: Find (1,2,3,4); a literal value needs Type Float4\n"},
        {R"~(<VertexShader><Declaration><Stream><Register Type="Float3" Number="n"/></Stream></Declaration></VertexShader>)~",
         "Error in Declaration->Stream->Register->Number: Find n; Expected Integer\n"},
        {R"~(<VertexShader><Declaration><Stream><Register Type="Vec3" Number="0"/></Stream></Declaration></VertexShader>)~",
         "Error in Declaration->Stream->Register->Type: Find Vec3; Expected one of: COLOR, FLOAT1, FLOAT2, FLOAT3, "
         "FLOAT4, SHORT2, SHORT4, UBYTE4\n"},
        {R"~(<PixelShader><Match Value="SpecularPow" Equal="3"/></PixelShader>)~",
         "Expected variable in 'Value' attribute\n"},
        {R"~(<PixelShader><Match Value="Variable:S" Equal="three"/></PixelShader>)~",
         "Expected integer in 'Equal' attribute\n"},
        {R"~(<VertexShader Link="Nowhere"/>)~", "Can't find link to vertex shader Nowhere\n"},
        {R"~(<PixelShader Link="Nowhere"/>)~", "Can't find link to pixel shader Nowhere\n"},
        {"<Stage/><Stage/><Stage/><Stage/><Stage/><Stage/><Stage/><Stage/>"
         "<Stage><Texture Value=\"Variable:D\"/></Stage>",
         "Error: more than 8 Stage elements in a pass\n"},
    };
    for (const auto& c : cases)
    {
        Loaded l(Wrap(c.pass));
        EXPECT_TRUE(l.ok);
        ASSERT_EQ(1u, l.loader.GetMessages().size()) << c.pass;
        EXPECT_EQ(0u, l.loader.GetMessages()[0].find(c.message)) << l.loader.GetMessages()[0];
        EXPECT_EQ(1, l.effect.GetTechniqueCount()) << c.pass;
    }
    Loaded l(Wrap(R"~(<RenderState State="Blend" Value="1"/>)~"));
    EXPECT_EQ(0u, l.loader.GetMessages()[0].find(std::string("Error: Find: Blend; expected: ") + renderStates));
    EXPECT_EQ('.', l.loader.GetMessages()[0].back());
}

TEST(EffectXmlLoader, DeviceRefusalDropsTheTechniqueAndAssemblerFailureTheVariant)
{
    const std::string text = "<Effect><Name>E</Name><Technique><Name>A</Name><Pass>"
                             "<PixelShader><Code>ps.1.1</Code></PixelShader></Pass></Technique>"
                             "<Technique><Name>B</Name><Pass/></Technique></Effect>";
    RecordingEffectDevice device;
    EffectXmlLoader loader(&device);
    Effect refused;
    device.refuseShaders = true;
    EXPECT_TRUE(loader.Parse(text, &refused));
    EXPECT_THAT(loader.GetMessages(), ElementsAre("Effect E: Failed to create pixel shader: refused\n"));
    ASSERT_EQ(1, refused.GetTechniqueCount());
    EXPECT_EQ("B", refused.GetTechnique(0)->GetName());

    device.refuseShaders = false;
    device.assemblerError = "line 1: bad";
    Effect failed;
    EXPECT_TRUE(loader.Parse(text, &failed));
    EXPECT_THAT(loader.GetMessages(), ElementsAre("Error in pixel shader: line 1: bad\n"));
    ASSERT_EQ(2, failed.GetTechniqueCount());
    EXPECT_TRUE(failed.GetTechnique(0)->GetPass(0).m_PixelShaders.empty());
}

TEST(EffectXmlLoader, LinksReachShadersOfEarlierFilesOfTheSameReader)
{
    RecordingEffectDevice device;
    EffectXmlLoader loader(&device);
    Effect first, second;
    loader.Parse(Wrap("<VertexShader Name=\"BumpVS\"><Declaration><Stream><Register Type=\"Float3\" Number=\"0\" "
                      "Semantics=\"Tangent\"/></Stream></Declaration><Code>vs.1.1</Code></VertexShader>"),
                 &first);
    loader.Parse(Wrap("<VertexShader Link=\"BumpVS\"/>"), &second);
    EXPECT_TRUE(loader.GetMessages().empty());
    EXPECT_EQ(1u, second.GetTechnique(0)->GetPass(0).m_VertexShaders[0].handle);
    EXPECT_TRUE(second.GetTechnique(0)->PassUsesTangent(0));
}

TEST(EffectXmlLoader, SyntaxErrorIsReportedAndTheEffectDropped)
{
    Loaded broken("<Effect><Name>E</Name><Technique><Name>T</Name>\n<Pass></Technique></Effect>");
    EXPECT_FALSE(broken.ok);
    ASSERT_EQ(1u, broken.loader.GetMessages().size());
    EXPECT_EQ(0u, broken.loader.GetMessages()[0].find("Error: XML syntax at row "));
    Loaded none("<Other/>");
    EXPECT_FALSE(none.ok);
    EXPECT_TRUE(none.loader.GetMessages().empty());
}
