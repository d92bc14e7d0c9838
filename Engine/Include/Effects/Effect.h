#pragma once
// The effect model: an effect holds alternative techniques, a technique an
// ordered list of passes, a pass the device settings it applies. Values are
// literals fixed at load or named variables that the material fills in.
#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "D3D8Types.h"
#include "LuaMeta.h"

#ifndef _WIN32
struct IDirect3DBaseTexture8;
#endif

class IEffectDevice;

class EffectVariable
{
public:
    enum Kind
    {
        kUnset = 0,
        kInt = 1,
        kFloat4 = 2,
        kMatrix = 3,
        kTexture = 4,
    };

    EffectVariable(const std::string& name, const std::string& effectName);

    // The first set fixes the kind; a set of another kind is ignored.
    void SetInt(int32_t value);
    void SetFloat4(const float value[4]);
    void SetMatrix(const D3DMATRIX& value);
    void SetTexture(IDirect3DBaseTexture8* texture);

    int32_t GetInt() const { return m_Int; }
    const float* GetFloat4() const { return m_Float4; }
    const D3DMATRIX& GetMatrix() const { return m_Matrix; }
    IDirect3DBaseTexture8* GetTexture() const { return m_pTexture; }
    int GetKind() const { return m_Kind; }
    const std::string& GetName() const { return m_Name; }
    const std::string& GetEffectName() const { return m_EffectName; }
    void SetEffectName(const std::string& name) { m_EffectName = name; }
    // A pointer that stays valid as long as the variable, for meta scripts.
    const int32_t* GetIntPointer() const { return &m_Int; }

private:
    bool TakeKind(int kind);

    int32_t m_Int = 0;
    float m_Float4[4] = {0, 0, 0, 0};
    D3DMATRIX m_Matrix;
    IDirect3DBaseTexture8* m_pTexture = nullptr;
    int m_Kind = kUnset;
    std::string m_Name;
    std::string m_EffectName;
};

typedef boost::shared_ptr<EffectVariable> EffectVariablePtr;

enum VertexSemantic
{
    kSemanticPosition = 0,
    kSemanticNormal = 1,
    kSemanticTexCoord1 = 2,
    kSemanticTangent = 3,
    kSemanticBinormal = 4,
    kSemanticCount = 5,
};

class EffectPass
{
public:
    struct TextureStageStateBinding
    {
        int32_t stage;
        int32_t state;
        EffectVariablePtr variable;
    };
    struct RenderStateBinding
    {
        int32_t state;
        EffectVariablePtr variable;
    };
    struct TextureBinding
    {
        int32_t stage;
        EffectVariablePtr variable;
    };
    struct TransformBinding
    {
        int32_t transform;
        EffectVariablePtr variable;
    };
    struct ShaderVariant
    {
        uint32_t equal;
        EffectVariablePtr match;
        uint32_t handle;
    };
    struct ShaderConstantBinding
    {
        int32_t reg;
        int32_t type; // 0 float4, 1 matrix
        EffectVariablePtr variable;
    };

    EffectPass() { Reset(); }

    void Reset();
    void AddTextureStageState(int32_t stage, int32_t state, uint32_t literal, const EffectVariablePtr& variable);
    void AddRenderState(int32_t state, uint32_t literal, const EffectVariablePtr& variable);
    void AddTexture(int32_t stage, const EffectVariablePtr& variable);
    void AddTransform(int32_t transform, const EffectVariablePtr& variable);
    void AddVertexShaderConstant(int32_t reg, int32_t type, const EffectVariablePtr& variable);
    void AddPixelShaderConstant(int32_t reg, int32_t type, const EffectVariablePtr& variable);
    void AddVertexShaderConstantValue(int32_t reg, int32_t type, const EffectVariable& temporary);
    void AddPixelShaderConstantValue(int32_t reg, int32_t type, const EffectVariable& temporary);
    void AddVertexShader(uint32_t equal, uint32_t handle, const EffectVariablePtr& match);
    void AddPixelShader(uint32_t equal, uint32_t handle, const EffectVariablePtr& match);

    void SetSemantics(const std::vector<std::string>& names);
    bool UsesTangent() const { return m_Semantics[kSemanticTangent]; }
    bool UsesSemantic(VertexSemantic s) const { return m_Semantics[s]; }

    void Apply(IEffectDevice& device) const;

    // Points every binding whose variable's name the map holds at the map's
    // variable.
    void Rebind(const std::unordered_map<std::string, EffectVariablePtr>& variables);

    std::vector<TextureStageStateBinding> m_TextureStageStates;
    std::vector<RenderStateBinding> m_RenderStates;
    std::vector<TextureBinding> m_Textures;
    std::vector<TransformBinding> m_Transforms;
    std::vector<ShaderVariant> m_PixelShaders;
    std::vector<ShaderVariant> m_VertexShaders;
    std::vector<ShaderConstantBinding> m_PixelShaderConstants;
    std::vector<ShaderConstantBinding> m_VertexShaderConstants;
    bool m_Semantics[kSemanticCount];
};

class EffectTechnique;

// What a technique holds. A copy of the technique copies all of it and then
// gives itself variables of its own (see EffectTechnique::OwnVariables).
struct EffectTechniqueParts
{
    typedef std::unordered_map<std::string, EffectVariablePtr> VariableMap;
    typedef std::unordered_map<std::string, std::set<int32_t>> UsedVariableMap;

    std::vector<EffectPass> m_Passes;
    VariableMap m_Variables;
    UsedVariableMap m_UsedVariables;
    std::string m_Name;
    std::string m_EffectName;
    boost::function<void(EffectTechnique&)> m_Hook;
};

class EffectTechnique : private EffectTechniqueParts
{
public:
    using EffectTechniqueParts::UsedVariableMap;
    using EffectTechniqueParts::VariableMap;

    EffectTechnique() = default;
    EffectTechnique(const EffectTechnique& other);
    EffectTechnique& operator=(const EffectTechnique& other);

    EffectVariablePtr& GetVariable(const std::string& name);
    EffectVariablePtr& GetVariableForPass(const std::string& name, int32_t pass);
    bool IsVariableUsed(const std::string& name) const;
    bool IsVariableUsedInPass(const std::string& name, int32_t pass) const;

    void SetIntVariable(const std::string& name, int32_t value);
    void SetFloat4Variable(const std::string& name, const float value[4]);
    void SetMatrixVariable(const std::string& name, const D3DMATRIX& value);
    void SetTextureVariable(const std::string& name, IDirect3DBaseTexture8* texture);

    void ApplyPass(int pass, IEffectDevice& device);
    // Applies through the effects' device (GetEffectDevice); nothing without one.
    void ApplyPass(int pass);
    bool PassUsesTangent(int pass) const;

    int GetPassCount() const { return static_cast<int>(m_Passes.size()); }
    const std::string& GetName() const { return m_Name; }
    void SetName(const std::string& name) { m_Name = name; }
    const std::string& GetEffectName() const { return m_EffectName; }
    void SetEffectName(const std::string& name);
    void Clear();
    void AddPass(const EffectPass& pass) { m_Passes.push_back(pass); }
    void RebindPass(EffectPass& pass);

    const EffectPass& GetPass(int i) const { return m_Passes[i]; }
    const VariableMap& GetVariables() const { return m_Variables; }
    const UsedVariableMap& GetUsedVariables() const { return m_UsedVariables; }
    void SetApplyHook(const boost::function<void(EffectTechnique&)>& hook) { m_Hook = hook; }

private:
    EffectVariable* FindForSet(const std::string& name);
    // After a copy: copies of the source's variables in place of the shared
    // ones, and the passes bound to them.
    void OwnVariables();
};

class Effect
{
public:
    struct ConditionEntry
    {
        std::string kind;
        std::string type;
    };

    const std::string& GetName() const { return m_Name; }
    void SetName(const std::string& name) { m_Name = name; }
    const std::string& GetFileName() const { return m_FileName; }
    void SetFileName(const std::string& name) { m_FileName = name; }
    int GetTechniqueCount() const { return static_cast<int>(m_Techniques.size()); }
    // Null for an index outside the techniques.
    EffectTechnique* GetTechnique(int index);
    CLuaMetaText& GetMetaText() { return m_MetaText; }
    bool IsMeta() const { return m_bIsMeta; }
    bool IsMetaCompiled() const { return m_bMetaCompiled; }
    void ClearMetaCompiled() { m_bMetaCompiled = false; }

    void AddTechnique(const EffectTechnique& technique);
    void AddCondition(const std::string& kind, const std::string& type = std::string());
    const std::vector<ConditionEntry>& GetCondition() const { return m_Condition; }
    bool MatchesCondition(const std::vector<std::string>& kinds) const;
    void ClearTechniques() { m_Techniques.clear(); }
    void ClearCondition() { m_Condition.clear(); }

    // Meta effects.
    bool LoadMeta(const std::string& text);
    void ReadMetaBlock(const std::string& name);
    void CompileMeta();
    // Updates the meta text until no new name turns up, entering each name
    // into `variables` from `values` (null when absent), then compiles.
    // Gives up after kMaxMetaUpdateRounds with a message.
    void ExpandAndCompileMeta(LuaVariableMap& variables, const LuaVariableMap& values);

private:
    std::vector<EffectTechnique> m_Techniques;
    std::string m_Name;
    std::vector<ConditionEntry> m_Condition;
    CLuaMetaText m_MetaText;
    bool m_bIsMeta = false;
    bool m_bMetaCompiled = false;
    std::string m_FileName;
};
