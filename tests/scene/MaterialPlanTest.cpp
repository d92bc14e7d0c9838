#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>

#include "Effect.h"
#include "MaterialPlan.h"

TEST(MaterialMaps, KindNamesAndArchiveSlots)
{
    const char* names[] = {"Diffuse", "Bump", "Environment", "Alpha", "Light",
                           "Diffuse", "EnvironmentAlpha", "Projection", "Specular", "Undefined"};
    for (int k = 0; k <= 9; ++k)
        EXPECT_STREQ(names[k], MapKindName(k)) << k;
    EXPECT_STREQ("Undefined", MapKindName(-1));
    // Archive kind -> slot; 4 (alpha) is placed by the material itself.
    const int slots[] = {-1, 0, 1, 2, -1, 4, 5, 6, -1};
    for (uint16_t kind = 0; kind <= 8; ++kind)
        EXPECT_EQ(slots[kind], SlotForArchiveKind(kind)) << kind;
    EXPECT_EQ((std::vector<std::string>{"Diffuse", "Diffuse"}), MapKindNames(0x21));
    EXPECT_EQ((std::vector<std::string>{"Diffuse", "Light"}), MapKindNames(0x11));
}

TEST(MaterialMaps, TexCoordVariablesNameAPresentKind)
{
    const struct
    {
        const char* name;
        uint32_t present;
        int kind;
    } cases[] = {
        {"DiffuseTexCoordIndex", 0x001, 0},
        {"DiffuseTexCoordIndex", 0x021, 0}, // plain diffuse first
        {"DiffuseTexCoordIndex", 0x020, 5}, // diffuse with alpha
        {"BumpTexCoordIndex", 0x003, 1},
        {"LightTexCoordIndex", 0x013, 4},
        {"LightTexCoordIndex", 0x003, -1}, // no light map
        {"SpecularTexCoordIndex", 0x100, 8},
        {"lightTexCoordIndex", 0x010, -1}, // exact case
        {"Light", 0x010, -1},
        {"LightTexCoordIndexes", 0x010, -1},
        {"UndefinedTexCoordIndex", 0x1FF, -1},
        {"SpecularPow", 0x1FF, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.kind, TexCoordVariableKind(c.name, c.present)) << c.name << " " << c.present;
}

TEST(OmniPass, OnlyTheListedMasksAndTheExactTechniqueName)
{
    for (uint32_t mask : {0x003u, 0x013u, 0x022u, 0x032u, 0x043u, 0x062u, 0x157u})
        EXPECT_TRUE(IsOmniPassMask(mask)) << mask;
    for (uint32_t mask : {0x000u, 0x001u, 0x007u, 0x157u | 0x080u})
        EXPECT_FALSE(IsOmniPassMask(mask)) << mask;
    EXPECT_TRUE(IsOmniPassTechnique("OmniPass"));
    for (const char* other : {"omnipass", "OmniPass2", "OmniPas", ""})
        EXPECT_FALSE(IsOmniPassTechnique(other)) << other;
}

TEST(OmniPass, PassCountingTechniquePassesAndLights)
{
    PassPlan plan;
    EXPECT_EQ(1, plan.Count(3)); // no technique: the fixed-function pass
    plan.hasTechnique = true;
    plan.techniquePasses = 2;
    EXPECT_EQ(2, plan.Count(3)); // not OmniPass: the technique once
    plan.omniPass = true;
    plan.basePasses = 1;
    EXPECT_EQ(7, plan.Count(3));
    EXPECT_EQ(1, plan.Count(0)); // without lights only the base passes
    EXPECT_EQ(0, plan.TechniquePass(0));
    EXPECT_EQ(1, plan.TechniquePass(4));
    EXPECT_EQ(0, plan.TechniquePass(5));
    const bool slots[8] = {true, false, false, true, false, true, false, false};
    EXPECT_EQ(-1, plan.LightForPass(0, slots)); // a base pass
    EXPECT_EQ(0, plan.LightForPass(1, slots));
    EXPECT_EQ(3, plan.LightForPass(4, slots)); // the second enabled light
    EXPECT_EQ(5, plan.LightForPass(6, slots));
    EXPECT_EQ(-1, plan.LightForPass(7, slots)); // beyond the enabled lights
    const bool onlySlot3[8] = {false, false, false, true, false, false, false, false};
    EXPECT_EQ(3, plan.LightForPass(1, onlySlot3));
}

TEST(MaterialVariables, NamesAndIds)
{
    EXPECT_EQ(VAR_WORLD_VIEW_PROJECTION, MaterialVariableId("WorldViewProjectionMatrix"));
    EXPECT_EQ(VAR_FOG_DENSITY, MaterialVariableId("FogDensity"));
    EXPECT_EQ(-1, MaterialVariableId(""));       // the view direction has no name
    EXPECT_EQ(-1, MaterialVariableId("fogdensity")); // names are exact
    for (int id = 0; id < VAR_COUNT; ++id)
    {
        if (id != VAR_VIEW_DIRECTION)
        {
            EXPECT_EQ(id, MaterialVariableId(MaterialVariableName(id)));
        }
    }
}

namespace
{
D3DXMATRIX Translation(float x, float y, float z)
{
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, x, y, z);
    return m;
}
} // namespace

TEST(MaterialVariables, MatricesAreTransposedExceptTheInverseTransposeOnes)
{
    ProviderInputs in;
    in.world = Translation(1, 2, 3);
    in.view = Translation(0, 0, 10);
    D3DXMatrixScaling(&in.projection, 2, 2, 1);
    const D3DXMATRIX wvp = in.world * in.view * in.projection;
    struct
    {
        int id;
        D3DXMATRIX expected;
    } cases[] = {
        {VAR_WORLD_VIEW_PROJECTION, wvp},
        {VAR_VIEW_PROJECTION, in.view * in.projection},
        {VAR_WORLD_VIEW, in.world * in.view},
        {VAR_WORLD, in.world},
    };
    for (auto& c : cases)
    {
        const ProvidedValue v = ProvideVariable(c.id, in);
        ASSERT_EQ(ProvidedValue::kMatrix, v.kind) << c.id;
        D3DXMATRIX transposed;
        D3DXMatrixTranspose(&transposed, &c.expected);
        EXPECT_EQ(0, std::memcmp(&transposed, &v.m, sizeof(D3DXMATRIX))) << c.id;
    }
    // The inverse-transpose values are plain inverses: a translation by
    // (1, 2, 3) inverts to one by (-1, -2, -3) in the fourth row.
    const ProvidedValue inv = ProvideVariable(VAR_INV_TRANSPOSE_WORLD, in);
    EXPECT_FLOAT_EQ(-1, inv.m._41);
    EXPECT_FLOAT_EQ(-3, inv.m._43);
    EXPECT_FLOAT_EQ(0, inv.m._14);
    EXPECT_FLOAT_EQ(-13, ProvideVariable(VAR_INV_TRANSPOSE_WORLD_VIEW, in).m._43);
    EXPECT_FLOAT_EQ(-10, ProvideVariable(VAR_INV_TRANSPOSE_VIEW, in).m._43);
}

TEST(MaterialVariables, SceneValues)
{
    ProviderInputs in;
    ProviderLight light = {{0.5f, 0.5f, 0.5f, 1}, {1, 1, 1, 1}, {0, 0, 0, 0}, {1, 2, 3}, {0.2f, 0.1f, 0}};
    in.material.diffuse = {1, 0.5f, 0, 1};
    in.material.ambient = {1, 1, 1, 1};
    in.material.specular = {1, 1, 1, 1};
    in.ambientState = 0xFF336699;
    in.fogColor = 0x00ABCDEF;
    const float density = 0.25f;
    std::memcpy(&in.fogDensityBits, &density, 4);
    in.diffuseAlpha = 0x80;

    // Without a camera the eye is the origin; without a light the light
    // values are not provided (the variables keep what they had).
    EXPECT_EQ(0.0f, ProvideVariable(VAR_EYE_POSITION, in).f[0]);
    for (int id : {VAR_LIGHT_POSITION, VAR_LIGHT_RANGE_VALUES, VAR_LIGHT_MATERIAL_DIFFUSE, VAR_LIGHT_MATERIAL_SPECULAR})
        EXPECT_EQ(ProvidedValue::kNone, ProvideVariable(id, in).kind) << id;
    in.hasCamera = true;
    in.eye = D3DXVECTOR3(4, 5, 6);
    in.firstLight = &light;

    const ProvidedValue eye = ProvideVariable(VAR_EYE_POSITION, in);
    EXPECT_EQ(6.0f, eye.f[2]);
    EXPECT_EQ(0.0f, eye.f[3]);
    EXPECT_EQ(int32_t(0x80000000u), ProvideVariable(VAR_TEXTURE_FACTOR, in).i);
    const ProvidedValue range = ProvideVariable(VAR_LIGHT_RANGE_VALUES, in);
    EXPECT_FLOAT_EQ(0.4f, range.f[3]);
    const ProvidedValue ambient = ProvideVariable(VAR_LIGHT_MATERIAL_AMBIENT, in);
    EXPECT_FLOAT_EQ(0x33 / 255.0f, ambient.f[0]);
    EXPECT_FLOAT_EQ(0x99 / 255.0f, ambient.f[2]);
    const ProvidedValue diffuse = ProvideVariable(VAR_LIGHT_MATERIAL_DIFFUSE, in);
    EXPECT_FLOAT_EQ(1.65f, diffuse.f[0]);
    EXPECT_FLOAT_EQ(0.825f, diffuse.f[1]);
    EXPECT_FLOAT_EQ(1.0f, diffuse.f[3]);
    EXPECT_EQ(ProvidedValue::kInt, ProvideVariable(VAR_FOG_COLOR, in).kind);
    EXPECT_EQ(0x00ABCDEF, ProvideVariable(VAR_FOG_COLOR, in).i);
    EXPECT_EQ(0.25f, ProvideVariable(VAR_FOG_DENSITY, in).f[3]);
    EXPECT_EQ(2, ProvideVariable(VAR_ENVIRONMENT_TYPE, in).i);
    in.environmentCube = true;
    EXPECT_EQ(3, ProvideVariable(VAR_ENVIRONMENT_TYPE, in).i);

    // A light without linear attenuation (the sun) reaches every distance,
    // without a division by zero: a range of 0 would leave the shaders unlit.
    light.attenuation[1] = 0;
    EXPECT_EQ(FLT_MAX, ProvideVariable(VAR_LIGHT_RANGE_VALUES, in).f[3]);
}

TEST(MaterialVariables, ProvidedValuesKeepTheFirstKindOfAVariable)
{
    // "FogColor" declared as an integer render state receives the integer
    // only; a later float4 of the same name is ignored.
    EffectVariable fog("FogColor", "E");
    ProviderInputs in;
    in.fogColor = 0x112233;
    const ProvidedValue v = ProvideVariable(VAR_FOG_COLOR, in);
    fog.SetInt(v.i);
    const float four[4] = {1, 2, 3, 4};
    fog.SetFloat4(four);
    EXPECT_EQ(EffectVariable::kInt, fog.GetKind());
    EXPECT_EQ(0x112233, fog.GetInt());
}

TEST(MaterialVariables, OmniPassLightValues)
{
    const ProviderLight light = {{0.5f, 0.5f, 0.5f, 1}, {9, 9, 9, 9}, {0.5f, 0.5f, 0.5f, 1}, {1, 2, 3}, {1, 0.5f, 0}};
    ProviderMaterial material = {};
    material.diffuse = {1, 1, 1, 1};
    material.ambient = {1, 0, 1, 1};
    material.specular = {0, 1, 0, 1};
    const LightVariables plain = ComputeLightVariables(light, material, false);
    const LightVariables lit = ComputeLightVariables(light, material, true);
    EXPECT_FLOAT_EQ(0.5f, plain.diffuse[0]);
    EXPECT_FLOAT_EQ(1.5f, lit.diffuse[0]); // effects named "...Light..." triple it
    EXPECT_FLOAT_EQ(0.5f, plain.specular[1]); // the light's diffuse, not its specular
    EXPECT_FLOAT_EQ(0.0f, plain.ambient[1]);
    EXPECT_FLOAT_EQ(0.08f, plain.range[3]);
    EXPECT_FLOAT_EQ(3.0f, plain.position[2]);
    // The technique's light values agree with the provided ones for the sun.
    const ProviderLight sun = {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, 0, 9e18f}, {0.333333f, 0, 0}};
    EXPECT_EQ(FLT_MAX, ComputeLightVariables(sun, material, true).range[3]);
}

TEST(NormalizationCubeMap, TexelDirections)
{
    EXPECT_EQ(0xFF8080u, NormalizationTexel(0, 128, 128)); // +X centre: (1, 0, 0)
    EXPECT_EQ(0xC9C9C9u, NormalizationTexel(0, 0, 0));     // +X corner: (1, 1, 1) normalised
    EXPECT_EQ(0x008080u, NormalizationTexel(1, 128, 128)); // -X
    EXPECT_EQ(0x80FF80u, NormalizationTexel(2, 128, 128)); // +Y
    EXPECT_EQ(0x8080FFu, NormalizationTexel(4, 128, 128)); // +Z
    EXPECT_EQ(0x808000u, NormalizationTexel(5, 128, 128)); // -Z
}
