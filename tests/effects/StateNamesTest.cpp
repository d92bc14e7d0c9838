#include <gtest/gtest.h>

#include "EffectStateNames.h"

namespace
{
enum Kind
{
    kRender,
    kStage,
    kRenderValue,
    kStageValue,
    kTransform,
    kDeclaration,
    kConstantType,
};

struct Case
{
    Kind kind;
    const char* text;
    uint32_t state; // for the value look-ups
    uint32_t value;
    const char* expected; // "" when the look-up succeeds
};

uint32_t Look(const Case& c, std::string& expected)
{
    switch (c.kind)
    {
    case kRender: return FindRenderState(c.text, expected);
    case kStage: return FindTextureStageState(c.text, expected);
    case kRenderValue: return FindRenderStateValue(c.text, c.state, expected);
    case kStageValue: return FindTextureStageStateValue(c.text, c.state, expected);
    case kTransform: return FindTransform(c.text, expected);
    case kDeclaration: return FindDeclarationType(c.text, expected);
    case kConstantType: return ParseConstantType(c.text, expected);
    }
    return 0;
}

const char* const kTransformNames =
    "PROJECTION, TEXTURE0, TEXTURE1, TEXTURE2, TEXTURE3, TEXTURE4, TEXTURE5, TEXTURE6, TEXTURE7, VIEW";
const char* const kFlagNames = "COUNT1, COUNT1|PROJECTED, COUNT2, COUNT2|PROJECTED, COUNT3, COUNT3|PROJECTED, "
                               "COUNT4, COUNT4|PROJECTED, DISABLE, PROJECTED";

const Case kCases[] = {
    {kRender, "alphablendenable", 0, 27, ""},
    {kRender, "AlphaBlendEnable", 0, 27, ""},
    {kRender, "PointSizeMin", 0, 155, ""},
    {kRender, "BlendOp", 0, 171, ""},
    {kStage, "ColorOp", 0, 1, ""},
    {kStage, "ResultArg", 0, 28, ""},
    {kStage, "AddressW", 0, 25, ""},
    {kTransform, "Texture3", 0, 19, ""},
    {kTransform, "World", 0, 0, kTransformNames},
    {kDeclaration, "float3", 0, 2, ""},
    {kDeclaration, "Short4", 0, 7, ""},
    {kRenderValue, "True", 27, 1, ""},
    {kRenderValue, "Yes", 27, 0, "TRUE or FALSE"},
    {kRenderValue, "0x80808080", 60, 0x80808080u, ""},
    {kRenderValue, "0xffffffff", 168, 0xFFFFFFFFu, ""},
    {kRenderValue, "010", 24, 8, ""},
    {kRenderValue, "ten", 24, 0, "dec or hex number"},
    {kRenderValue, "0.5", 38, 0x3F000000u, ""},
    {kRenderValue, "half", 38, 0, "float number"},
    {kRenderValue, "InvSrcAlpha", 20, 6, ""},
    {kRenderValue, "ccw", 22, 3, ""},
    {kRenderValue, "Side", 22, 0, "CCW, CW, NONE"},
    {kStageValue, "modulate", 1, 4, ""},
    {kStageValue, "ModulateAlphaAddColor", 1, 18, ""},
    {kStageValue, "TFactor", 6, 3, ""},
    {kStageValue, "Count4|Projected", 24, 260, ""},
    {kStageValue, "Projected|Count4", 24, 0, kFlagNames},
    {kStageValue, "CameraSpaceReflectionVector", 11, 0x30000, ""},
    {kStageValue, "3", 11, 3, ""},
    {kStageValue, "Sideways", 11, 0,
     "Dec or Hex number or CAMERASPACENORMAL, CAMERASPACEPOSITION, CAMERASPACEREFLECTIONVECTOR"},
    {kStageValue, "-0.25", 19, 0xBE800000u, ""},
    {kConstantType, "matrix", 0, 1, ""},
    {kConstantType, "FLOAT4", 0, 0, ""},
    {kConstantType, "float3", 0, 0, "\"Matrix\" or \"Float4\""},
};
} // namespace

TEST(EffectStateNames, TableOfLookups)
{
    for (const Case& c : kCases)
    {
        std::string expected;
        const uint32_t value = Look(c, expected);
        EXPECT_EQ(c.value, value) << c.text;
        EXPECT_EQ(c.expected, expected) << c.text;
    }
}

TEST(EffectStateNames, MissListsEveryNameOfTheTable)
{
    auto count = [](uint32_t (*find)(const std::string&, std::string&)) {
        std::string expected;
        find("NoSuchState", expected);
        size_t names = 1;
        for (size_t pos = 0; (pos = expected.find(", ", pos)) != std::string::npos; pos += 2)
            ++names;
        return names;
    };
    EXPECT_EQ(74u, count(FindRenderState));
    EXPECT_EQ(27u, count(FindTextureStageState));
}
