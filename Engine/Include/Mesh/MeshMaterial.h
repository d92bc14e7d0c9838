#pragma once
// A mesh material: the fixed-function material, nine texture-map slots and
// the effect chosen for the maps present (its own copy, so that a meta
// effect expands with this material's values), with the per-pass
// application of its variables. Windows tree.
#include <d3d8.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Effect.h"
#include "MaterialPlan.h"
#include "TexMap.h"

namespace FileStorage
{
class CArchive;
class CMemoryStream;
} // namespace FileStorage

// Light maps are read only while this is on.
extern bool g_LightMapsEnabled;
// Whether environment-mapped techniques are validated on the device.
extern bool g_ValidateEnvironmentTechniques;
// While set, every expanded meta effect is also written to
// "CompiledMetaEffects\<effect name>.xml", to look at.
extern bool g_CompiledMetaEffectsDump;
extern ComRef<IDirect3DCubeTexture8>& g_NormalizationCubeMap;
extern bool g_NormalizationCubeMapFailed;
// The normalisation cube map, made on first use; null when that failed.
IDirect3DCubeTexture8* GetNormalizationCubeMap();
void ReleaseNormalizationCubeMap();

// The six per-map variables of one map kind in one technique pass.
struct MaterialMapVariables
{
    enum
    {
        kTexture,
        kTexCoordIndex,
        kTransformMatrix,
        kTransformFlags,
        kAddressU,
        kAddressV,
        kCount
    };
    struct Entry
    {
        bool used = false;
        EffectVariablePtr variable;
    };
    Entry entries[kCount];
};

// What a material's effect state holds. A copy of the state copies all of it
// and then binds its own (see MaterialEffectState::Rebind).
struct MaterialEffectStateParts
{
    struct KindEntry
    {
        Map* map = nullptr; // one of the maps below, of this object
        bool present = false;
    };

    // Fields the material reads and writes while it compiles meta effects.
    bool m_bChanged = false;
    bool m_bRecompile = false;
    std::map<int, int32_t> m_TexCoordIndices;

    Effect m_Effect;
    bool m_bFound = false;
    std::string m_Pattern = "Basic.*";
    EffectTechnique* m_pTechnique = nullptr;
    IDirect3DDevice8* m_pDevice = nullptr;
    KindEntry m_Kinds[MAPKIND_COUNT];
    DiffuseMap m_Diffuse;
    AlphaMap m_Alpha;
    LightMap m_LightMap;
    EnvironmentMap m_Environment;
    DiffuseAlphaMap m_DiffuseAlpha;
    AlphaMap m_EnvironmentAlpha;
    ProjectionMap m_Projection;
    DiffuseMap m_Bump;
    EnvironmentMap m_Specular;
    std::vector<std::array<MaterialMapVariables, MAPKIND_COUNT>> m_MapBindings;
    std::vector<std::pair<EffectVariablePtr, int>> m_IdBindings;
    bool m_bOmniPass = false;
    EffectTechnique m_BaseTechnique;
    bool m_bHasBase = false;
    bool m_bValidated = false;
};

class MaterialEffectState : private MaterialEffectStateParts
{
public:
    MaterialEffectState();
    MaterialEffectState(const MaterialEffectState& other);
    MaterialEffectState& operator=(const MaterialEffectState& other);

    int GetPassCount() const;
    int GetTechniquePass(int pass) const;
    int GetLightForPass(int pass) const;
    PassPlan GetPassPlan() const;

    void ChooseEffect();
    void ValidateTechnique(const D3DMATERIAL8& material);
    void ApplyPass(int pass, const D3DMATERIAL8& material);
    void ApplyFixedFunctionPass();
    void ApplyOmniPass(int pass);
    void BindMapVariables();
    void BindVariableIds();
    void UpdateVariables(const D3DMATERIAL8& material);
    void SetLightVariables(int slot);
    void CheckTexCoordChanges();
    // When `name` is a present kind's name followed by "TexCoordIndex",
    // keeps that map's index under the kind and returns the kind; else -1.
    int ResolveTexCoordVariable(const std::string& name);
    void UpdateOmniPassFlag();
    // Points the kind list at this object's own maps.
    void BindMapKinds();

    uint32_t GetKindMask() const;
    bool IsPresent(int kind) const { return m_Kinds[kind].present; }
    void SetPresent(int kind, bool present);
    Map* GetMap(int kind) const { return m_Kinds[kind].map; }
    EffectTechnique* GetTechnique() const { return m_pTechnique; }
    const Effect& GetEffect() const { return m_Effect; }
    Effect& GetEffect() { return m_Effect; }
    bool IsOmniPass() const { return m_bOmniPass; }
    bool IsValidated() const { return m_bValidated; }
    bool IsFound() const { return m_bFound; }
    void SetPattern(const std::string& pattern) { m_Pattern = pattern; }
    const std::string& GetPattern() const { return m_Pattern; }
    size_t GetMapBindingPassCount() const { return m_MapBindings.size(); }
    const MaterialMapVariables& GetMapBinding(size_t pass, int kind) const { return m_MapBindings[pass][kind]; }

    using MaterialEffectStateParts::m_bChanged;
    using MaterialEffectStateParts::m_bRecompile;
    using MaterialEffectStateParts::m_TexCoordIndices;

private:
    friend class MeshMaterial;
    void SetMapVariables(int kind, const MaterialMapVariables& bindings);
    // After a copy: no technique or bindings of the source's; the kinds
    // point at this object's maps, and the technique is validated anew.
    void Rebind();
};

struct MeshMaterialParts
{
    struct MaterialVariable
    {
        EffectVariablePtr bound; // the technique's variable, of this material
        bool requested = false;
        int32_t value = 0;
    };

    D3DMATERIAL8 m_Material = {};
    std::string m_Name;
    uint32_t m_TwoSided = 1;
    MaterialEffectState m_State;
    uint32_t m_AlphaRef = 0;
    std::map<std::string, MaterialVariable> m_Variables;
    // Lua name -> the kind whose texture-coordinate index it reads (>= 0) or
    // -1 for the named variable of that name, -2 for no value.
    std::map<std::string, int> m_LuaVariables;
};

// A copy of a material copies all its parts; its variables are bound anew
// to its own technique.
class MeshMaterial : private MeshMaterialParts
{
public:
    using MeshMaterialParts::MaterialVariable;

    // The default: white, two-sided, no maps, drawn with the fixed-function pass.
    MeshMaterial();
    MeshMaterial(const MeshMaterial& other);
    MeshMaterial& operator=(const MeshMaterial& other);

    // Reads an "M" record; textures come through the cache.
    void LoadFromStream(const std::string& name, FileStorage::CMemoryStream& stream, FileStorage::CArchive* archive,
                        ITextureCache* scene);
    static std::unique_ptr<MeshMaterial> Clone(const MeshMaterial& source, const std::string& newName);

    void ApplyPass(IDirect3DDevice8* device, int pass);
    void SetEffectVariable(const std::string& name, int32_t value);
    void CompileMetaEffect();
    // After a change of the maps present: chooses the effect again, compiles
    // it and validates a technique when it has none yet.
    void RechooseEffect();
    void PushVariables();

    const std::string& GetName() const { return m_Name; }
    void SetName(const std::string& name) { m_Name = name; }
    bool IsTwoSided() const { return m_TwoSided != 0; }
    uint32_t GetAlphaRef() const { return m_AlphaRef; }
    const D3DMATERIAL8& GetD3DMaterial() const { return m_Material; }
    void SetD3DMaterial(const D3DMATERIAL8& material) { m_Material = material; }
    MaterialEffectState& GetEffectState() { return m_State; }
    const MaterialEffectState& GetEffectState() const { return m_State; }
    int GetPassCount() const { return m_State.GetPassCount(); }
    bool HasAlpha() const
    {
        return m_State.IsPresent(MAPKIND_ALPHA) || m_State.IsPresent(MAPKIND_DIFFUSE_ALPHA);
    }

private:
    void ReadMaps(FileStorage::CMemoryStream& stream, FileStorage::CArchive* archive, ITextureCache* scene);
    void ResetLuaVariables();
    void RebuildLuaVariables();
};
