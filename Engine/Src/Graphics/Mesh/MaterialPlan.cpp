#include "MaterialPlan.h"

#include <cfloat>
#include <cmath>
#include <cstring>

namespace
{
const char* const kKindNames[MAPKIND_COUNT] = {"Diffuse", "Bump",     "Environment", "Alpha",   "Light",
                                               "Diffuse", "EnvironmentAlpha", "Projection", "Specular"};
const uint32_t kOmniPassMasks[] = {0x003, 0x013, 0x022, 0x032, 0x043, 0x062, 0x157};
const char* const kVariableNames[VAR_COUNT] = {
    "WorldViewProjectionMatrix", "ViewProjectionMatrix", "WorldViewMatrix", "WorldMatrix",
    "EyePosition", "TextureFactor", "InverseTransposeWorldMatrix", "NormalizationCubeMap",
    "LightPosition", "LightRangeValues", "LightMaterialAmbient", "LightMaterialDiffuse",
    "LightMaterialSpecular", "EnvironmentType", "InverseTransposeWorldViewMatrix", "SpecularType",
    "InverseTransposeViewMatrix", "", "FogColor", "FogDensity"};

// The range the shaders compare a vertex's distance with: 0.04 /
// Attenuation1. A light without linear falloff (the sun) reaches everything,
// as the division by zero would say, not nothing.
float LightRange(const ProviderLight& l) { return l.attenuation[1] != 0 ? 0.04f / l.attenuation[1] : FLT_MAX; }

void Set4(float* out, float a, float b, float c, float d)
{
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out[3] = d;
}

D3DXMATRIX Transposed(const D3DXMATRIX& m)
{
    D3DXMATRIX t;
    D3DXMatrixTranspose(&t, &m);
    return t;
}

D3DXMATRIX Inverse(const D3DXMATRIX& m)
{
    D3DXMATRIX r;
    if (!D3DXMatrixInverse(&r, nullptr, &m))
        D3DXMatrixIdentity(&r);
    return r;
}

uint8_t CubeByte(float c)
{
    const float v = c * 0.5f + 0.5f;
    if (v >= 1)
        return 255;
    if (v <= 0)
        return 0;
    return uint8_t(int(v * 255 + 0.5f));
}
} // namespace

const char* MapKindName(int kind) { return kind >= 0 && kind < MAPKIND_COUNT ? kKindNames[kind] : "Undefined"; }

int TexCoordVariableKind(const std::string& name, uint32_t presentMask)
{
    for (int k = 0; k < MAPKIND_COUNT; ++k)
        if ((presentMask & (1u << k)) && name == std::string(MapKindName(k)) + "TexCoordIndex")
            return k;
    return -1;
}

int SlotForArchiveKind(uint16_t archiveKind)
{
    switch (archiveKind)
    {
    case 1: return MAPKIND_DIFFUSE;
    case 2: return MAPKIND_BUMP;
    case 3: return MAPKIND_ENVIRONMENT;
    case 5: return MAPKIND_LIGHT;
    case 6: return MAPKIND_DIFFUSE_ALPHA;
    case 7: return MAPKIND_ENVIRONMENT_ALPHA;
    default: return -1;
    }
}

std::vector<std::string> MapKindNames(uint32_t mask)
{
    std::vector<std::string> names;
    for (int k = 0; k < MAPKIND_COUNT; ++k)
        if (mask & (1u << k))
            names.push_back(kKindNames[k]);
    return names;
}

bool IsOmniPassMask(uint32_t mask)
{
    for (uint32_t m : kOmniPassMasks)
        if (m == mask)
            return true;
    return false;
}

bool IsOmniPassTechnique(const std::string& name) { return name == "OmniPass"; }

int PassPlan::Count(int enabledLights) const
{
    if (!hasTechnique)
        return 1;
    if (!omniPass)
        return techniquePasses;
    return basePasses + techniquePasses * enabledLights;
}

int PassPlan::TechniquePass(int pass) const
{
    if (omniPass && pass >= basePasses && techniquePasses > 0)
        return (pass - basePasses) % techniquePasses;
    return pass;
}

int PassPlan::LightForPass(int pass, const bool enabledSlots[8]) const
{
    if (techniquePasses <= 0 || pass < basePasses)
        return -1;
    int n = (pass - basePasses) / techniquePasses;
    for (int slot = 0; slot < 8; ++slot)
        if (enabledSlots[slot] && n-- == 0)
            return slot;
    return -1;
}

const char* MaterialVariableName(int id) { return id >= 0 && id < VAR_COUNT ? kVariableNames[id] : ""; }

int MaterialVariableId(const std::string& name)
{
    if (name.empty())
        return -1;
    for (int id = 0; id < VAR_COUNT; ++id)
        if (name == kVariableNames[id])
            return id;
    return -1;
}

ProvidedValue ProvideVariable(int id, const ProviderInputs& in)
{
    ProvidedValue v;
    auto matrix = [&](const D3DXMATRIX& m) {
        v.kind = ProvidedValue::kMatrix;
        v.m = m;
    };
    auto float4 = [&](float a, float b, float c, float d) {
        v.kind = ProvidedValue::kFloat4;
        Set4(v.f, a, b, c, d);
    };
    auto integer = [&](int32_t i) {
        v.kind = ProvidedValue::kInt;
        v.i = i;
    };
    const ProviderLight* l = in.firstLight;
    const ProviderMaterial& mat = in.material;
    switch (id)
    {
    case VAR_WORLD_VIEW_PROJECTION: matrix(Transposed(in.world * in.view * in.projection)); break;
    case VAR_VIEW_PROJECTION: matrix(Transposed(in.view * in.projection)); break;
    case VAR_WORLD_VIEW: matrix(Transposed(in.world * in.view)); break;
    case VAR_WORLD: matrix(Transposed(in.world)); break;
    case VAR_EYE_POSITION:
        if (in.hasCamera)
            float4(in.eye.x, in.eye.y, in.eye.z, 0);
        else
            float4(0, 0, 0, 0);
        break;
    case VAR_TEXTURE_FACTOR: integer(int32_t(uint32_t(in.diffuseAlpha) << 24)); break;
    case VAR_INV_TRANSPOSE_WORLD: matrix(Inverse(in.world)); break;
    case VAR_NORMALIZATION_CUBE_MAP: v.kind = ProvidedValue::kTexture; break;
    case VAR_LIGHT_POSITION:
        if (l)
            float4(l->position[0], l->position[1], l->position[2], 0);
        break;
    case VAR_LIGHT_RANGE_VALUES:
        if (l)
            float4(l->attenuation[0], l->attenuation[1], l->attenuation[2], LightRange(*l));
        break;
    case VAR_LIGHT_MATERIAL_AMBIENT:
        float4(mat.ambient.r * float((in.ambientState >> 16) & 0xFF) / 255.0f,
               mat.ambient.g * float((in.ambientState >> 8) & 0xFF) / 255.0f,
               mat.ambient.b * float(in.ambientState & 0xFF) / 255.0f, 0);
        break;
    case VAR_LIGHT_MATERIAL_DIFFUSE:
        if (l)
            float4(mat.diffuse.r * l->diffuse.r * 3.3f, mat.diffuse.g * l->diffuse.g * 3.3f,
                   mat.diffuse.b * l->diffuse.b * 3.3f, 1);
        break;
    case VAR_LIGHT_MATERIAL_SPECULAR:
        if (l)
            float4(mat.specular.r * l->specular.r * 3.3f, mat.specular.g * l->specular.g * 3.3f,
                   mat.specular.b * l->specular.b * 3.3f, mat.specular.a * l->specular.a * 3.3f);
        break;
    case VAR_ENVIRONMENT_TYPE: integer(in.environmentCube ? 3 : 2); break;
    case VAR_INV_TRANSPOSE_WORLD_VIEW: matrix(Inverse(in.world * in.view)); break;
    case VAR_SPECULAR_TYPE: integer(in.specularCube ? 3 : 2); break;
    case VAR_INV_TRANSPOSE_VIEW: matrix(Inverse(in.view)); break;
    case VAR_VIEW_DIRECTION: float4(in.viewDirection.x, in.viewDirection.y, in.viewDirection.z, 0); break;
    case VAR_FOG_COLOR: integer(int32_t(in.fogColor)); break;
    case VAR_FOG_DENSITY:
    {
        float d;
        std::memcpy(&d, &in.fogDensityBits, 4);
        float4(d, d, d, d);
        break;
    }
    default: break;
    }
    return v;
}

uint32_t NormalizationTexel(int face, int x, int y)
{
    const float s = 2.0f * float(x) / 256.0f - 1.0f;
    const float t = 2.0f * float(y) / 256.0f - 1.0f;
    D3DXVECTOR3 d;
    switch (face)
    {
    case 0: d = D3DXVECTOR3(1, -t, -s); break;
    case 1: d = D3DXVECTOR3(-1, -t, s); break;
    case 2: d = D3DXVECTOR3(s, 1, t); break;
    case 3: d = D3DXVECTOR3(s, -1, -t); break;
    case 4: d = D3DXVECTOR3(s, -t, 1); break;
    default: d = D3DXVECTOR3(-s, -t, -1); break;
    }
    const float len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    d /= len;
    return uint32_t(CubeByte(d.x)) << 16 | uint32_t(CubeByte(d.y)) << 8 | CubeByte(d.z);
}

LightVariables ComputeLightVariables(const ProviderLight& l, const ProviderMaterial& m, bool effectNameHasLight)
{
    const float k = effectNameHasLight ? 3.0f : 1.0f;
    const ProviderColor d = {l.diffuse.r * k, l.diffuse.g * k, l.diffuse.b * k, l.diffuse.a * k};
    LightVariables v;
    Set4(v.position, l.position[0], l.position[1], l.position[2], 0);
    Set4(v.ambient, m.ambient.r * l.ambient.r, m.ambient.g * l.ambient.g, m.ambient.b * l.ambient.b,
         m.ambient.a * l.ambient.a);
    Set4(v.diffuse, d.r * m.diffuse.r, d.g * m.diffuse.g, d.b * m.diffuse.b, d.a * m.diffuse.a);
    Set4(v.specular, d.r * m.specular.r, d.g * m.specular.g, d.b * m.specular.b, d.a * m.specular.a);
    Set4(v.range, l.attenuation[0], l.attenuation[1], l.attenuation[2], LightRange(l));
    return v;
}
