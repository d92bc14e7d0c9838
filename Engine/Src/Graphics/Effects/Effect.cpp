#include "Effect.h"

#include <algorithm>
#include <boost/make_shared.hpp>
#include <cstring>

#include "EffectDevice.h"
#include "Log.h"

namespace
{
IEffectDevice* s_pEffectDevice = nullptr;

const uint32_t kColorOp = 1;
const uint32_t kAlphaOp = 4;
const uint32_t kTexCoordIndex = 11;
const uint32_t kTextureTransformFlags = 24;
const uint32_t kOpDisable = 1;
const int32_t kStageCount = 8;

EffectVariablePtr MakeLiteral(const char* name, uint32_t literal)
{
    EffectVariablePtr v = boost::make_shared<EffectVariable>(name, std::string());
    v->SetInt(static_cast<int32_t>(literal));
    return v;
}

void SendConstants(const std::vector<EffectPass::ShaderConstantBinding>& bindings, IEffectDevice& device,
                   bool pixel)
{
    for (const EffectPass::ShaderConstantBinding& b : bindings)
    {
        const float* values = nullptr;
        uint32_t count = 0;
        if (b.type == 0)
        {
            values = b.variable->GetFloat4();
            count = 1;
        }
        else if (b.type == 1)
        {
            values = &b.variable->GetMatrix()._11;
            count = 4;
        }
        else
            continue;
        if (pixel)
            device.SetPixelShaderConstant(b.reg, values, count);
        else
            device.SetVertexShaderConstant(b.reg, values, count);
    }
}

const EffectPass::ShaderVariant* ChooseVariant(const std::vector<EffectPass::ShaderVariant>& variants)
{
    for (const EffectPass::ShaderVariant& v : variants)
        if (!v.match || static_cast<uint32_t>(v.match->GetInt()) == v.equal)
            return &v;
    return nullptr;
}

void RebindOne(EffectVariablePtr& bound, const EffectTechnique::VariableMap& variables)
{
    if (!bound)
        return;
    auto it = variables.find(bound->GetName());
    if (it != variables.end() && it->second)
        bound = it->second;
}
} // namespace

IEffectDevice* GetEffectDevice()
{
#ifdef _WIN32
    if (!s_pEffectDevice)
        return GetCacheEffectDevice();
#endif
    return s_pEffectDevice;
}
void SetEffectDevice(IEffectDevice* device) { s_pEffectDevice = device; }

// ---------------------------------------------------------------- variable

EffectVariable::EffectVariable(const std::string& name, const std::string& effectName)
    : m_Name(name), m_EffectName(effectName)
{
    memset(&m_Matrix, 0, sizeof m_Matrix);
    m_Matrix._11 = m_Matrix._22 = m_Matrix._33 = m_Matrix._44 = 1.0f;
}

bool EffectVariable::TakeKind(int kind)
{
    if (m_Kind == kUnset)
        m_Kind = kind;
    return m_Kind == kind;
}

void EffectVariable::SetInt(int32_t value)
{
    if (TakeKind(kInt))
        m_Int = value;
}

void EffectVariable::SetFloat4(const float value[4])
{
    if (TakeKind(kFloat4))
        memcpy(m_Float4, value, sizeof m_Float4);
}

void EffectVariable::SetMatrix(const D3DMATRIX& value)
{
    if (TakeKind(kMatrix))
        m_Matrix = value;
}

void EffectVariable::SetTexture(IDirect3DBaseTexture8* texture)
{
    if (TakeKind(kTexture))
        m_pTexture = texture;
}

// -------------------------------------------------------------------- pass

void EffectPass::Reset()
{
    m_TextureStageStates.clear();
    m_RenderStates.clear();
    m_Textures.clear();
    m_Transforms.clear();
    m_PixelShaders.clear();
    m_VertexShaders.clear();
    m_PixelShaderConstants.clear();
    m_VertexShaderConstants.clear();
    std::fill(m_Semantics, m_Semantics + kSemanticCount, false);
}

void EffectPass::AddTextureStageState(int32_t stage, int32_t state, uint32_t literal,
                                      const EffectVariablePtr& variable)
{
    m_TextureStageStates.push_back({stage, state, variable ? variable : MakeLiteral("LocalTextureStageState", literal)});
}

void EffectPass::AddRenderState(int32_t state, uint32_t literal, const EffectVariablePtr& variable)
{
    m_RenderStates.push_back({state, variable ? variable : MakeLiteral("LocalRenderState", literal)});
}

void EffectPass::AddTexture(int32_t stage, const EffectVariablePtr& variable)
{
    EffectVariablePtr v = variable;
    if (!v)
    {
        v = boost::make_shared<EffectVariable>("LocalTexture", std::string());
        v->SetTexture(nullptr);
    }
    m_Textures.push_back({stage, v});
}

void EffectPass::AddTransform(int32_t transform, const EffectVariablePtr& variable)
{
    EffectVariablePtr v = variable;
    if (!v)
        v = boost::make_shared<EffectVariable>("LocalTransformationVariable", std::string());
    m_Transforms.push_back({transform, v});
}

void EffectPass::AddVertexShaderConstant(int32_t reg, int32_t type, const EffectVariablePtr& variable)
{
    m_VertexShaderConstants.push_back({reg, type, variable});
}

void EffectPass::AddPixelShaderConstant(int32_t reg, int32_t type, const EffectVariablePtr& variable)
{
    m_PixelShaderConstants.push_back({reg, type, variable});
}

void EffectPass::AddVertexShaderConstantValue(int32_t reg, int32_t type, const EffectVariable& temporary)
{
    m_VertexShaderConstants.push_back({reg, type, boost::make_shared<EffectVariable>(temporary)});
}

void EffectPass::AddPixelShaderConstantValue(int32_t reg, int32_t type, const EffectVariable& temporary)
{
    m_PixelShaderConstants.push_back({reg, type, boost::make_shared<EffectVariable>(temporary)});
}

void EffectPass::AddVertexShader(uint32_t equal, uint32_t handle, const EffectVariablePtr& match)
{
    m_VertexShaders.push_back({equal, match, handle});
}

void EffectPass::AddPixelShader(uint32_t equal, uint32_t handle, const EffectVariablePtr& match)
{
    m_PixelShaders.push_back({equal, match, handle});
}

void EffectPass::SetSemantics(const std::vector<std::string>& names)
{
    static const char* const kNames[kSemanticCount] = {"Position", "Normal", "TexCoord1", "Tangent", "Binormal"};
    for (const std::string& name : names)
    {
        int flag = 0;
        for (int i = 0; i < kSemanticCount; ++i)
            if (name == kNames[i])
                flag = i;
        m_Semantics[flag] = true;
    }
}

void EffectPass::Apply(IEffectDevice& device) const
{
    for (const RenderStateBinding& b : m_RenderStates)
        device.SetRenderState(b.state, static_cast<uint32_t>(b.variable->GetInt()));

    int32_t highest = -1;
    for (const TextureStageStateBinding& b : m_TextureStageStates)
    {
        device.SetTextureStageState(b.stage, b.state, static_cast<uint32_t>(b.variable->GetInt()));
        highest = std::max(highest, b.stage);
    }
    for (const TextureBinding& b : m_Textures)
    {
        device.SetTexture(b.stage, b.variable->GetTexture());
        highest = std::max(highest, b.stage);
    }
    // Close the stage chain after the last stage used; a pass that uses all
    // eight stages has nothing after it.
    const int32_t next = highest + 1;
    if (next < kStageCount)
    {
        device.SetTextureStageState(next, kColorOp, kOpDisable);
        device.SetTextureStageState(next, kAlphaOp, kOpDisable);
        device.SetTexture(next, nullptr);
    }

    for (const TransformBinding& b : m_Transforms)
        device.SetTransform(b.transform, b.variable->GetMatrix());

    if (const ShaderVariant* ps = ChooseVariant(m_PixelShaders))
    {
        SendConstants(m_PixelShaderConstants, device, true);
        device.SetPixelShader(ps->handle);
    }
    else
        device.SetPixelShader(0);

    const ShaderVariant* vs = ChooseVariant(m_VertexShaders);
    if (!vs)
        return;
    SendConstants(m_VertexShaderConstants, device, false);
    for (int32_t s = 0; s < kStageCount; ++s)
    {
        device.SetTextureStageState(s, kTexCoordIndex, s);
        device.SetTextureStageState(s, kTextureTransformFlags, 0);
    }
    device.SetVertexShader(vs->handle);
}

void EffectPass::Rebind(const std::unordered_map<std::string, EffectVariablePtr>& variables)
{
    for (auto& b : m_TextureStageStates)
        RebindOne(b.variable, variables);
    for (auto& b : m_RenderStates)
        RebindOne(b.variable, variables);
    for (auto& b : m_Textures)
        RebindOne(b.variable, variables);
    for (auto& b : m_Transforms)
        RebindOne(b.variable, variables);
    for (auto& b : m_PixelShaderConstants)
        RebindOne(b.variable, variables);
    for (auto& b : m_VertexShaderConstants)
        RebindOne(b.variable, variables);
    for (auto& v : m_PixelShaders)
        RebindOne(v.match, variables);
    for (auto& v : m_VertexShaders)
        RebindOne(v.match, variables);
}

// --------------------------------------------------------------- technique

EffectTechnique::EffectTechnique(const EffectTechnique& other) : EffectTechniqueParts(other) { OwnVariables(); }

EffectTechnique& EffectTechnique::operator=(const EffectTechnique& other)
{
    if (this == &other)
        return *this;
    EffectTechniqueParts::operator=(other);
    OwnVariables();
    return *this;
}

void EffectTechnique::OwnVariables()
{
    for (auto it = m_Variables.begin(); it != m_Variables.end();)
    {
        if (!it->second)
        {
            it = m_Variables.erase(it);
            continue;
        }
        it->second = boost::make_shared<EffectVariable>(*it->second);
        ++it;
    }
    for (EffectPass& pass : m_Passes)
        RebindPass(pass);
}

void EffectTechnique::RebindPass(EffectPass& pass) { pass.Rebind(m_Variables); }

EffectVariablePtr& EffectTechnique::GetVariable(const std::string& name)
{
    EffectVariablePtr& slot = m_Variables[name];
    if (!slot)
        slot = boost::make_shared<EffectVariable>(name, m_EffectName);
    return slot;
}

EffectVariablePtr& EffectTechnique::GetVariableForPass(const std::string& name, int32_t pass)
{
    m_UsedVariables[name].insert(pass);
    return GetVariable(name);
}

bool EffectTechnique::IsVariableUsed(const std::string& name) const
{
    return m_UsedVariables.find(name) != m_UsedVariables.end();
}

bool EffectTechnique::IsVariableUsedInPass(const std::string& name, int32_t pass) const
{
    auto it = m_UsedVariables.find(name);
    return it != m_UsedVariables.end() && it->second.count(pass) != 0;
}

EffectVariable* EffectTechnique::FindForSet(const std::string& name)
{
    auto it = m_Variables.find(name);
    if (it == m_Variables.end() || !it->second)
    {
        g_Log.Printf("Error: Can't find variable \"%s\" in effect \"%s\"\n", name.c_str(), m_EffectName.c_str());
        return nullptr;
    }
    return it->second.get();
}

void EffectTechnique::SetIntVariable(const std::string& name, int32_t value)
{
    if (EffectVariable* v = FindForSet(name))
        v->SetInt(value);
}

void EffectTechnique::SetFloat4Variable(const std::string& name, const float value[4])
{
    if (EffectVariable* v = FindForSet(name))
        v->SetFloat4(value);
}

void EffectTechnique::SetMatrixVariable(const std::string& name, const D3DMATRIX& value)
{
    if (EffectVariable* v = FindForSet(name))
        v->SetMatrix(value);
}

void EffectTechnique::SetTextureVariable(const std::string& name, IDirect3DBaseTexture8* texture)
{
    if (EffectVariable* v = FindForSet(name))
        v->SetTexture(texture);
}

void EffectTechnique::ApplyPass(int pass, IEffectDevice& device)
{
    if (m_Hook)
        m_Hook(*this);
    if (pass < 0 || pass >= GetPassCount())
        return;
    m_Passes[pass].Apply(device);
}

void EffectTechnique::ApplyPass(int pass)
{
    if (IEffectDevice* device = GetEffectDevice())
        ApplyPass(pass, *device);
}

bool EffectTechnique::PassUsesTangent(int pass) const
{
    if (pass < 0 || pass >= GetPassCount())
        return false;
    return m_Passes[pass].UsesTangent();
}

void EffectTechnique::SetEffectName(const std::string& name)
{
    m_EffectName = name;
    for (auto& entry : m_Variables)
        if (entry.second)
            entry.second->SetEffectName(name);
}

void EffectTechnique::Clear()
{
    m_Name.clear();
    m_Passes.clear();
    m_Variables.clear();
    m_UsedVariables.clear();
}

// ------------------------------------------------------------------ effect

EffectTechnique* Effect::GetTechnique(int index)
{
    if (index < 0 || index >= GetTechniqueCount())
        return nullptr;
    return &m_Techniques[index];
}

void Effect::AddTechnique(const EffectTechnique& technique)
{
    m_Techniques.push_back(technique);
    m_Techniques.back().SetEffectName(m_Name);
}

void Effect::AddCondition(const std::string& kind, const std::string& type) { m_Condition.push_back({kind, type}); }

bool Effect::MatchesCondition(const std::vector<std::string>& kinds) const
{
    if (m_Condition.size() != kinds.size())
        return false;
    for (const ConditionEntry& entry : m_Condition)
        if (std::find(kinds.begin(), kinds.end(), entry.kind) == kinds.end())
            return false;
    return true;
}
