#pragma once
// Platform-free rules of a material: its nine map kinds and their names,
// which slot an archive map kind fills, when a material draws per light
// ("OmniPass"), how its passes are numbered, and the ids and values of the
// scene variables it feeds into its effect.
#include <cstdint>
#include <string>
#include <vector>

#include "d3dx8math.h"

enum MaterialMapKind
{
    MAPKIND_DIFFUSE = 0,
    MAPKIND_BUMP = 1,
    MAPKIND_ENVIRONMENT = 2,
    MAPKIND_ALPHA = 3,
    MAPKIND_LIGHT = 4,
    MAPKIND_DIFFUSE_ALPHA = 5,
    MAPKIND_ENVIRONMENT_ALPHA = 6,
    MAPKIND_PROJECTION = 7,
    MAPKIND_SPECULAR = 8,
    MAPKIND_COUNT = 9,
};

// "Diffuse", "Bump", ...; kind 5 is "Diffuse" too; others "Undefined".
const char* MapKindName(int kind);
// The slot an archive map kind fills: 1..7 except 4 (the alpha record,
// which the material places itself); -1 for none.
int SlotForArchiveKind(uint16_t archiveKind);
// The first present kind (in kind order) whose name followed by
// "TexCoordIndex" is `name`, or -1: the texture-coordinate index a meta
// effect's variable of that name reads.
int TexCoordVariableKind(const std::string& name, uint32_t presentMask);
// Names of the present kinds of a kind mask, in kind order.
std::vector<std::string> MapKindNames(uint32_t mask);

bool IsOmniPassMask(uint32_t mask);
// Only a technique named exactly "OmniPass" draws per light.
bool IsOmniPassTechnique(const std::string& name);

// Pass numbering of a material: b base passes, then the t technique passes
// once per enabled light in OmniPass mode; else the technique's passes.
struct PassPlan
{
    bool hasTechnique = false;
    bool omniPass = false;
    int basePasses = 0;
    int techniquePasses = 0;

    int Count(int enabledLights) const;
    int TechniquePass(int pass) const;
    // The device slot of the light of a per-light pass, or -1.
    int LightForPass(int pass, const bool enabledSlots[8]) const;
};

// The scene variables that materials provide by id.
enum MaterialVariableId
{
    VAR_WORLD_VIEW_PROJECTION = 0,
    VAR_VIEW_PROJECTION,
    VAR_WORLD_VIEW,
    VAR_WORLD,
    VAR_EYE_POSITION,
    VAR_TEXTURE_FACTOR,
    VAR_INV_TRANSPOSE_WORLD,
    VAR_NORMALIZATION_CUBE_MAP,
    VAR_LIGHT_POSITION,
    VAR_LIGHT_RANGE_VALUES,
    VAR_LIGHT_MATERIAL_AMBIENT,
    VAR_LIGHT_MATERIAL_DIFFUSE,
    VAR_LIGHT_MATERIAL_SPECULAR,
    VAR_ENVIRONMENT_TYPE,
    VAR_INV_TRANSPOSE_WORLD_VIEW,
    VAR_SPECULAR_TYPE,
    VAR_INV_TRANSPOSE_VIEW,
    VAR_VIEW_DIRECTION,
    VAR_FOG_COLOR,
    VAR_FOG_DENSITY,
    VAR_COUNT,
};

// Name of an id ("" for the unnamed view direction) and the id of a name
// (-1 when unknown).
const char* MaterialVariableName(int id);
int MaterialVariableId(const std::string& name);

// A light and material as the providers read them (Direct3D layouts).
struct ProviderColor
{
    float r, g, b, a;
};
struct ProviderLight
{
    ProviderColor diffuse, specular, ambient;
    float position[3];
    float attenuation[3];
};
struct ProviderMaterial
{
    ProviderColor diffuse, ambient, specular, emissive;
};

// Everything a provider reads, gathered once per pass.
struct ProviderInputs
{
    D3DXMATRIX world, view, projection;
    bool hasCamera = false;
    D3DXVECTOR3 eye = D3DXVECTOR3(0, 0, 0);
    D3DXVECTOR3 viewDirection = D3DXVECTOR3(0, 0, 1);
    const ProviderLight* firstLight = nullptr; // null: no light is enabled
    ProviderMaterial material = {};
    uint32_t ambientState = 0;   // D3DRS_AMBIENT
    uint32_t fogColor = 0;       // D3DRS_FOGCOLOR
    uint32_t fogDensityBits = 0; // D3DRS_FOGDENSITY, a float's bits
    uint8_t diffuseAlpha = 255;
    bool environmentCube = false;
    bool specularCube = false;
};

// One provided value. `provided` false: the variable keeps what it had.
struct ProvidedValue
{
    enum Kind
    {
        kNone,
        kInt,
        kFloat4,
        kMatrix,
        kTexture
    } kind = kNone;
    int32_t i = 0;
    float f[4] = {0, 0, 0, 0};
    D3DXMATRIX m;
};
// The value of id for the inputs; kTexture (the cube map) is left to the
// caller. The light values come from the first enabled light.
ProvidedValue ProvideVariable(int id, const ProviderInputs& in);

// Direction and bytes (x << 16 | y << 8 | z) of a normalisation cube map
// texel of a 256-texel face, faces +X, -X, +Y, -Y, +Z, -Z.
uint32_t NormalizationTexel(int face, int x, int y);

// "LightMaterialDiffuse"-style products of OmniPass per-light passes.
struct LightVariables
{
    float position[4], ambient[4], diffuse[4], specular[4], range[4];
};
LightVariables ComputeLightVariables(const ProviderLight& light, const ProviderMaterial& material,
                                     bool effectNameHasLight);
