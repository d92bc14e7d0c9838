#include "MeshMaterial.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Camera.h"
#include "D3DUtils.h"
#include "FileStorage.h"
#include "Log.h"
#include "MetaEffectLibrary.h"
#include "RenderStateManager.h"
#include "Storage.h"

bool g_LightMapsEnabled = true;
bool g_ValidateEnvironmentTechniques = false;
bool g_CompiledMetaEffectsDump = false;
// Never destroyed: at the process's end Direct3D may already be gone.
ComRef<IDirect3DCubeTexture8>& g_NormalizationCubeMap = *new ComRef<IDirect3DCubeTexture8>;
bool g_NormalizationCubeMapFailed = false;

namespace
{
const char* const kMapVariableSuffixes[MaterialMapVariables::kCount] = {
    "", "TexCoordIndex", "TransformMatrix", "TransformFlags", "AddressU", "AddressV"};
const int kMaxMetaRounds = 16;

MetaEffectLibrary* Library() { return GetMetaEffectLibrary(Storage::GetMainStorage()); }

ProviderColor Color(const D3DCOLORVALUE& c) { return {c.r, c.g, c.b, c.a}; }

ProviderLight ToProvider(const D3DLIGHT8& l)
{
    ProviderLight p;
    p.diffuse = Color(l.Diffuse);
    p.specular = Color(l.Specular);
    p.ambient = Color(l.Ambient);
    p.position[0] = l.Position.x;
    p.position[1] = l.Position.y;
    p.position[2] = l.Position.z;
    p.attenuation[0] = l.Attenuation0;
    p.attenuation[1] = l.Attenuation1;
    p.attenuation[2] = l.Attenuation2;
    return p;
}

ProviderMaterial ToProvider(const D3DMATERIAL8& m)
{
    return {Color(m.Diffuse), Color(m.Ambient), Color(m.Specular), Color(m.Emissive)};
}

void SetProvided(EffectVariable& variable, const ProvidedValue& v)
{
    switch (v.kind)
    {
    case ProvidedValue::kInt: variable.SetInt(v.i); break;
    case ProvidedValue::kFloat4: variable.SetFloat4(v.f); break;
    case ProvidedValue::kMatrix: variable.SetMatrix(v.m); break;
    default: break;
    }
}

D3DXMATRIX CachedTransform(D3DTRANSFORMSTATETYPE type)
{
    const D3DMATRIX* m = RenderStateManager::Instance().GetTransform(type);
    D3DXMATRIX r;
    if (m)
        std::memcpy(&r, m, sizeof(r));
    else
        D3DXMatrixIdentity(&r);
    return r;
}
} // namespace

// ---- Normalisation cube map

IDirect3DCubeTexture8* GetNormalizationCubeMap()
{
    if (g_NormalizationCubeMap || g_NormalizationCubeMapFailed)
        return g_NormalizationCubeMap;
    IDirect3DDevice8* device = RenderStateManager::Instance().GetDevice();
    HRESULT hr = device ? device->CreateCubeTexture(256, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED,
                                                    g_NormalizationCubeMap.Put())
                        : E_FAIL;
    if (FAILED(hr))
    {
        g_Log.Printf("Failed to create normalization cube map: %s\n", GetErrorString(hr).c_str());
        g_NormalizationCubeMap.Detach(); // a failed creation hands back no texture
        g_NormalizationCubeMapFailed = true;
        return nullptr;
    }
    for (int face = 0; face < 6; ++face)
    {
        D3DLOCKED_RECT rect;
        hr = g_NormalizationCubeMap->LockRect(D3DCUBEMAP_FACES(face), 0, &rect, nullptr, 0);
        if (FAILED(hr))
        {
            g_Log.Printf("Failed to create normalization cube map: %s\n", GetErrorString(hr).c_str());
            g_NormalizationCubeMapFailed = true;
            break;
        }
        for (int y = 0; y < 256; ++y)
        {
            uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(rect.pBits) + size_t(y) * rect.Pitch);
            for (int x = 0; x < 256; ++x)
                row[x] = NormalizationTexel(face, x, y);
        }
        g_NormalizationCubeMap->UnlockRect(D3DCUBEMAP_FACES(face), 0);
    }
    return g_NormalizationCubeMap;
}

void ReleaseNormalizationCubeMap()
{
    g_NormalizationCubeMap.Reset();
    g_NormalizationCubeMapFailed = false;
}

// ---- MaterialEffectState

MaterialEffectState::MaterialEffectState() { BindMapKinds(); }

MaterialEffectState::MaterialEffectState(const MaterialEffectState& other) : MaterialEffectStateParts(other)
{
    Rebind();
}

MaterialEffectState& MaterialEffectState::operator=(const MaterialEffectState& o)
{
    if (this == &o)
        return *this;
    MaterialEffectStateParts::operator=(o);
    Rebind();
    return *this;
}

void MaterialEffectState::Rebind()
{
    m_pTechnique = nullptr;
    m_MapBindings.clear();
    m_IdBindings.clear();
    m_bValidated = false;
    BindMapKinds();
}

void MaterialEffectState::BindMapKinds()
{
    Map* maps[MAPKIND_COUNT] = {&m_Diffuse,      &m_Bump,     &m_Environment,      &m_Alpha,   &m_LightMap,
                                &m_DiffuseAlpha, &m_EnvironmentAlpha, &m_Projection, &m_Specular};
    m_EnvironmentAlpha.SetType(6);
    for (int k = 0; k < MAPKIND_COUNT; ++k)
        m_Kinds[k].map = maps[k];
}

uint32_t MaterialEffectState::GetKindMask() const
{
    uint32_t mask = 0;
    for (int k = 0; k < MAPKIND_COUNT; ++k)
        if (m_Kinds[k].present)
            mask |= 1u << k;
    return mask;
}

void MaterialEffectState::SetPresent(int kind, bool present)
{
    if (kind < 0 || kind >= MAPKIND_COUNT || m_Kinds[kind].present == present)
        return;
    m_Kinds[kind].present = present;
    ChooseEffect();
}

PassPlan MaterialEffectState::GetPassPlan() const
{
    PassPlan plan;
    plan.hasTechnique = m_pTechnique != nullptr;
    plan.omniPass = m_bOmniPass;
    plan.basePasses = m_bHasBase ? m_BaseTechnique.GetPassCount() : 0;
    plan.techniquePasses = m_pTechnique ? m_pTechnique->GetPassCount() : 0;
    return plan;
}

int MaterialEffectState::GetPassCount() const
{
    return GetPassPlan().Count(RenderStateManager::Instance().GetEnabledLightCount());
}

int MaterialEffectState::GetTechniquePass(int pass) const { return GetPassPlan().TechniquePass(pass); }

int MaterialEffectState::GetLightForPass(int pass) const
{
    bool enabled[8];
    for (DWORD i = 0; i < 8; ++i)
        enabled[i] = RenderStateManager::Instance().IsLightEnabled(i);
    return GetPassPlan().LightForPass(pass, enabled);
}

void MaterialEffectState::ChooseEffect()
{
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    m_bOmniPass = false;
    const std::vector<std::string> names = MapKindNames(GetKindMask());
    MetaEffectLibrary* library = Library();
    Effect* found = library ? library->Find(m_Pattern, names) : nullptr;
    if (found)
    {
        if (found->GetName() != m_Effect.GetName())
            m_bChanged = true;
        m_bFound = true;
        m_pTechnique = nullptr;
        m_MapBindings.clear();
        m_IdBindings.clear();
        m_Effect = *found;
        if (m_Effect.IsMeta())
            m_Effect.GetMetaText().Parse();
    }
    m_bValidated = false;
    if (!found && !m_bFound)
    {
        std::string line = "Error: Can't find suitable effect \"" + m_Pattern + "\" with maps:";
        for (const std::string& n : names)
            line += " " + n;
        g_Log.Printf("%s\n", line.c_str());
    }
    cache.PopStates();
}

void MaterialEffectState::ValidateTechnique(const D3DMATERIAL8& material)
{
    if (!m_bFound)
        return;
    RenderStateManager& cache = RenderStateManager::Instance();
    if (!m_pDevice)
        m_pDevice = cache.GetDevice();
    cache.PushStates();
    std::string errors;
    bool valid = false;
    const bool skipValidation = m_Kinds[MAPKIND_ENVIRONMENT].present && !g_ValidateEnvironmentTechniques;
    m_bOmniPass = false;
    m_bHasBase = false;
    for (int t = 0; t < m_Effect.GetTechniqueCount() && !valid; ++t)
    {
        m_pTechnique = m_Effect.GetTechnique(t);
        BindMapVariables();
        BindVariableIds();
        if (m_pTechnique->GetVariables().count("LightPosition"))
            SetLightVariables(0);
        valid = true;
        const int passes = GetPassCount();
        for (int p = 0; p < passes; ++p)
        {
            ApplyPass(p, material);
            if (skipValidation || !m_pDevice)
                continue;
            DWORD count = 0;
            const HRESULT hr = m_pDevice->ValidateDevice(&count);
            if (FAILED(hr))
            {
                valid = false;
                errors += "\t" + m_pTechnique->GetName() + "(Pass " + std::to_string(p) +
                          "): " + GetErrorString(hr).substr(0, 1024) + "\n";
            }
        }
    }
    cache.PopStates();
    if (!valid)
    {
        g_Log.Printf("Can't find valid technique in selected effect %s\n%s", m_Effect.GetName().c_str(),
                     errors.c_str());
        MetaEffectLibrary* library = Library();
        Effect* fallback = library ? library->GetDefault() : nullptr;
        m_pTechnique = nullptr;
        m_MapBindings.clear();
        m_IdBindings.clear();
        if (fallback)
        {
            m_Effect = *fallback;
            m_pTechnique = m_Effect.GetTechniqueCount() > 0 ? m_Effect.GetTechnique(0) : nullptr;
            if (m_pTechnique)
            {
                BindMapVariables();
                BindVariableIds();
            }
        }
    }
    UpdateOmniPassFlag();
    m_bValidated = valid;
}

void MaterialEffectState::UpdateOmniPassFlag()
{
    m_bOmniPass = m_pTechnique && IsOmniPassTechnique(m_pTechnique->GetName()) && IsOmniPassMask(GetKindMask());
    m_bHasBase = false;
    m_BaseTechnique.Clear();
    if (!m_bOmniPass)
        return;
    std::vector<std::string> names = {"Diffuse"};
    if (m_Kinds[MAPKIND_LIGHT].present)
        names.push_back("Light");
    MetaEffectLibrary* library = Library();
    Effect* base = library ? library->Find("Basic.*", names) : nullptr;
    if (base && base->GetTechniqueCount() > 0)
    {
        m_BaseTechnique = *base->GetTechnique(0);
        m_bHasBase = true;
    }
    // Map bindings cover the technique's own passes only.
    BindMapVariables();
}

void MaterialEffectState::BindMapVariables()
{
    m_MapBindings.clear();
    if (!m_pTechnique)
        return;
    const int passes = std::max(1, m_pTechnique->GetPassCount());
    m_MapBindings.resize(size_t(passes));
    for (int n = 0; n < passes; ++n)
        for (int k = 0; k < MAPKIND_COUNT; ++k)
            for (int v = 0; v < MaterialMapVariables::kCount; ++v)
            {
                const std::string name = std::string(MapKindName(k)) + kMapVariableSuffixes[v];
                MaterialMapVariables::Entry& entry = m_MapBindings[size_t(n)][size_t(k)].entries[v];
                entry.used = m_pTechnique->IsVariableUsedInPass(name, n);
                entry.variable = entry.used ? m_pTechnique->GetVariable(name) : EffectVariablePtr();
            }
}

void MaterialEffectState::BindVariableIds()
{
    m_IdBindings.clear();
    if (!m_pTechnique)
        return;
    std::vector<std::pair<std::string, int>> table;
    for (int id = 0; id < VAR_COUNT; ++id)
        if (*MaterialVariableName(id))
            table.emplace_back(MaterialVariableName(id), id);
    std::sort(table.begin(), table.end());
    for (const auto& entry : table)
        if (m_pTechnique->GetVariables().count(entry.first))
            m_IdBindings.emplace_back(m_pTechnique->GetVariable(entry.first), entry.second);
}

void MaterialEffectState::SetMapVariables(int kind, const MaterialMapVariables& b)
{
    Map* map = m_Kinds[kind].map;
    map->UpdateTextureMatrix(m_pDevice, 0);
    for (int v = 0; v < MaterialMapVariables::kCount; ++v)
    {
        const MaterialMapVariables::Entry& e = b.entries[v];
        if (!e.used || !e.variable)
            continue;
        switch (v)
        {
        case MaterialMapVariables::kTexture: e.variable->SetTexture(map->GetTexture()); break;
        case MaterialMapVariables::kTexCoordIndex: e.variable->SetInt(int32_t(map->GetTexCoordIndex())); break;
        case MaterialMapVariables::kTransformMatrix: e.variable->SetMatrix(*map->GetTextureMatrix()); break;
        case MaterialMapVariables::kTransformFlags: e.variable->SetInt(int32_t(map->GetTransformFlags())); break;
        case MaterialMapVariables::kAddressU: e.variable->SetInt(int32_t(map->GetAddressU())); break;
        case MaterialMapVariables::kAddressV: e.variable->SetInt(int32_t(map->GetAddressV())); break;
        }
    }
}

void MaterialEffectState::UpdateVariables(const D3DMATERIAL8& material)
{
    if (m_IdBindings.empty())
        return;
    RenderStateManager& cache = RenderStateManager::Instance();
    ProviderInputs in;
    in.world = CachedTransform(D3DTS_WORLD);
    in.view = CachedTransform(D3DTS_VIEW);
    in.projection = CachedTransform(D3DTS_PROJECTION);
    if (g_CurrentCamera)
    {
        in.hasCamera = true;
        in.eye = g_CurrentCamera->GetPosition();
        in.viewDirection = g_CurrentCamera->GetLookDirection();
    }
    ProviderLight first;
    for (DWORD i = 0; i < 8; ++i)
    {
        D3DLIGHT8 light;
        if (cache.IsLightEnabled(i) && SUCCEEDED(cache.GetLight(i, &light)))
        {
            first = ToProvider(light);
            in.firstLight = &first;
            break;
        }
    }
    in.material = ToProvider(material);
    in.ambientState = cache.GetRenderState(D3DRS_AMBIENT);
    in.fogColor = cache.GetRenderState(D3DRS_FOGCOLOR);
    in.fogDensityBits = cache.GetRenderState(D3DRS_FOGDENSITY);
    in.diffuseAlpha = m_Kinds[MAPKIND_DIFFUSE].present ? m_Diffuse.GetAlpha() : m_DiffuseAlpha.GetAlpha();
    in.environmentCube = m_Environment.HasCube();
    in.specularCube = m_Specular.HasCube();
    for (auto& binding : m_IdBindings)
    {
        const int id = binding.second;
        if (m_bOmniPass && id >= VAR_LIGHT_POSITION && id <= VAR_LIGHT_MATERIAL_SPECULAR)
            continue;
        if (id == VAR_NORMALIZATION_CUBE_MAP)
        {
            IDirect3DCubeTexture8* cube = GetNormalizationCubeMap();
            if (!g_NormalizationCubeMapFailed)
                binding.first->SetTexture(cube);
            continue;
        }
        SetProvided(*binding.first, ProvideVariable(id, in));
    }
}

void MaterialEffectState::SetLightVariables(int slot)
{
    if (!m_pTechnique || slot < 0 || slot >= 8)
        return;
    RenderStateManager& cache = RenderStateManager::Instance();
    D3DLIGHT8 light = {};
    cache.GetLight(DWORD(slot), &light);
    D3DMATERIAL8 material = {};
    if (IDirect3DDevice8* device = cache.GetDevice())
        device->GetMaterial(&material);
    const LightVariables v = ComputeLightVariables(ToProvider(light), ToProvider(material),
                                                   m_Effect.GetName().find("Light") != std::string::npos);
    m_pTechnique->SetFloat4Variable("LightPosition", v.position);
    m_pTechnique->SetFloat4Variable("LightMaterialAmbient", v.ambient);
    m_pTechnique->SetFloat4Variable("LightMaterialDiffuse", v.diffuse);
    m_pTechnique->SetFloat4Variable("LightMaterialSpecular", v.specular);
    m_pTechnique->SetFloat4Variable("LightRangeValues", v.range);
}

void MaterialEffectState::CheckTexCoordChanges()
{
    for (auto& entry : m_TexCoordIndices)
    {
        const int32_t now = int32_t(m_Kinds[entry.first].map->GetTexCoordIndex());
        if (now != entry.second)
        {
            entry.second = now;
            m_bRecompile = true;
        }
    }
}

void MaterialEffectState::ApplyFixedFunctionPass()
{
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    cache.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    cache.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    cache.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    cache.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    cache.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}

void MaterialEffectState::ApplyPass(int pass, const D3DMATERIAL8& material)
{
    if (!m_pTechnique)
    {
        ApplyFixedFunctionPass();
        return;
    }
    RenderStateManager& cache = RenderStateManager::Instance();
    if (!m_pDevice)
        m_pDevice = cache.GetDevice();
    const int tp = GetTechniquePass(pass);
    CheckTexCoordChanges();
    if (tp >= 0 && size_t(tp) < m_MapBindings.size())
        for (int k = 0; k < MAPKIND_COUNT; ++k)
            if (m_Kinds[k].present)
                SetMapVariables(k, m_MapBindings[size_t(tp)][size_t(k)]);
    cache.SetDepthBias(m_bOmniPass && pass > 0 ? 0.001f : 0.0f);
    UpdateVariables(material);
    if (!m_bOmniPass)
        m_pTechnique->ApplyPass(tp);
    else
        ApplyOmniPass(pass);
}

void MaterialEffectState::ApplyOmniPass(int pass)
{
    RenderStateManager& cache = RenderStateManager::Instance();
    const int base = m_bHasBase ? m_BaseTechnique.GetPassCount() : 0;
    if (pass >= base)
    {
        const int light = GetLightForPass(pass);
        if (light != -1)
            SetLightVariables(light);
        m_pTechnique->ApplyPass(GetTechniquePass(pass));
    }
    else
    {
        if (cache.GetRenderState(D3DRS_LIGHTING))
            cache.SetRenderState(D3DRS_LIGHTING, FALSE);
        if (cache.GetRenderState(D3DRS_STENCILENABLE))
            cache.SetRenderState(D3DRS_STENCILENABLE, FALSE);
        Map* source = m_DiffuseAlpha.GetTexture() ? static_cast<Map*>(&m_DiffuseAlpha)
                      : m_Diffuse.GetTexture()    ? static_cast<Map*>(&m_Diffuse)
                                                  : nullptr;
        auto setMap = [&](const std::string& prefix, Map* map) {
            m_BaseTechnique.SetTextureVariable(prefix, map->GetTexture());
            m_BaseTechnique.SetIntVariable(prefix + "TexCoordIndex", int32_t(map->GetTexCoordIndex()));
            m_BaseTechnique.SetMatrixVariable(prefix + "TransformMatrix", *map->GetTextureMatrix());
            m_BaseTechnique.SetIntVariable(prefix + "TransformFlags", int32_t(map->GetTransformFlags()));
            m_BaseTechnique.SetIntVariable(prefix + "AddressU", int32_t(map->GetAddressU()));
            m_BaseTechnique.SetIntVariable(prefix + "AddressV", int32_t(map->GetAddressV()));
        };
        if (source)
            setMap("Diffuse", source);
        m_BaseTechnique.SetIntVariable("TextureFactor", int32_t(cache.GetRenderState(D3DRS_AMBIENT)));
        if (m_Kinds[MAPKIND_LIGHT].present)
            setMap("Light", &m_LightMap);
        m_BaseTechnique.ApplyPass(pass);
        cache.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    }
    cache.SetRenderState(D3DRS_ZWRITEENABLE, pass == 0 ? TRUE : FALSE);
    cache.SetRenderState(D3DRS_ZBIAS, pass == 0 ? 0 : 1);
}

// ---- MeshMaterial

MeshMaterial::MeshMaterial()
{
    m_Material.Diffuse = {1, 1, 1, 1};
    m_Material.Ambient = {1, 1, 1, 1};
}

MeshMaterial::MeshMaterial(const MeshMaterial& other) : MeshMaterialParts(other)
{
    for (auto& v : m_Variables)
        v.second.bound.reset();
}

MeshMaterial& MeshMaterial::operator=(const MeshMaterial& o)
{
    if (this == &o)
        return *this;
    MeshMaterialParts::operator=(o);
    for (auto& v : m_Variables)
        v.second.bound.reset();
    return *this;
}

void MeshMaterial::LoadFromStream(const std::string& name, FileStorage::CMemoryStream& stream,
                                  FileStorage::CArchive* archive, ITextureCache* scene)
{
    m_Name = name;
    static_assert(sizeof(D3DMATERIAL8) == 68, "a material block is 68 bytes");
    stream.ReadBytes(&m_Material, sizeof(m_Material));
    m_AlphaRef = stream.ReadU16();
    m_TwoSided = stream.ReadU16();
    ReadMaps(stream, archive, scene);
    CompileMetaEffect();
    if (!m_State.IsValidated())
        m_State.ValidateTechnique(m_Material);
}

void MeshMaterial::ReadMaps(FileStorage::CMemoryStream& stream, FileStorage::CArchive* archive, ITextureCache* scene)
{
    const uint16_t count = stream.ReadU16();
    MaterialEffectState& s = m_State;
    for (uint16_t i = 0; i < count; ++i)
    {
        const uint16_t kind = stream.ReadU16();
        if (kind == FileStorage::MAP_ALPHA)
        {
            if (s.m_Kinds[MAPKIND_DIFFUSE].present && (s.m_Diffuse.GetFlags() & FileStorage::kMapFlagMergeAlpha))
            {
                DiffuseAlphaMap::LoadCombined(scene, &s.m_Diffuse, &s.m_DiffuseAlpha, stream, archive);
                s.m_Kinds[MAPKIND_DIFFUSE].present = false;
                s.m_Kinds[MAPKIND_DIFFUSE_ALPHA].present = s.m_DiffuseAlpha.GetTextureCount() > 0;
            }
            else
            {
                Map::LoadFromStream(scene, std::string(), &s.m_Alpha, stream, archive);
                s.m_Kinds[MAPKIND_ALPHA].present = s.m_Alpha.GetTextureCount() > 0;
            }
            continue;
        }
        const int slot = SlotForArchiveKind(kind);
        if (slot < 0 || (slot == MAPKIND_LIGHT && !g_LightMapsEnabled))
        {
            // Stepped over, so that the following records stay in step.
            Map::SkipRecord(stream);
            continue;
        }
        Map* map = s.m_Kinds[slot].map;
        Map::LoadFromStream(scene, std::string(), map, stream, archive);
        s.m_Kinds[slot].present = map->GetTextureCount() > 0;
    }
    s.ChooseEffect();
}

std::unique_ptr<MeshMaterial> MeshMaterial::Clone(const MeshMaterial& source, const std::string& newName)
{
    auto clone = std::make_unique<MeshMaterial>(source);
    clone->m_Name = newName;
    clone->RechooseEffect();
    return clone;
}

void MeshMaterial::RechooseEffect()
{
    m_State.ChooseEffect();
    CompileMetaEffect();
    if (!m_State.IsValidated())
        m_State.ValidateTechnique(m_Material);
}

void MeshMaterial::ResetLuaVariables()
{
    if (!m_State.m_bChanged)
        return;
    m_LuaVariables.clear();
    for (auto& v : m_Variables)
        v.second.requested = false;
    m_State.m_bChanged = false;
}

int MaterialEffectState::ResolveTexCoordVariable(const std::string& name)
{
    const int kind = TexCoordVariableKind(name, GetKindMask());
    if (kind >= 0)
        m_TexCoordIndices[kind] = int32_t(m_Kinds[kind].map->GetTexCoordIndex());
    return kind;
}

namespace
{
void DumpCompiledMetaEffect(const std::string& effectName, const std::string& text)
{
    const char* const folder = "CompiledMetaEffects";
    CreateDirectoryA(folder, nullptr); // there already, or made now
    const std::string path = std::string(folder) + "\\" + effectName + ".xml";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
    {
        g_Log.Printf("Error: can't write %s\n", path.c_str());
        return;
    }
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}
} // namespace

void MeshMaterial::CompileMetaEffect()
{
    Effect& effect = m_State.m_Effect;
    if (!effect.IsMeta())
        return;
    ResetLuaVariables();
    CLuaMetaText& text = effect.GetMetaText();
    if (!text.IsUpToDate())
    {
        effect.ClearMetaCompiled();
        for (int round = 0; round < kMaxMetaRounds; ++round)
        {
            LuaVariableMap variables;
            for (const auto& entry : m_LuaVariables)
            {
                const int32_t* value = nullptr;
                if (entry.second >= 0)
                    value = &m_State.m_TexCoordIndices[entry.second];
                else if (entry.second == -1)
                    value = &m_Variables[entry.first].value;
                variables[entry.first] = value;
            }
            g_MetaEffectFileName = effect.GetFileName();
            const LuaNameSet unbound = text.Update(variables);
            if (unbound.empty())
                break;
            for (const std::string& n : unbound)
            {
                MaterialVariable& variable = m_Variables[n];
                variable.requested = true;
                m_LuaVariables[n] = -2;
                const int kind = m_State.ResolveTexCoordVariable(n);
                if (kind >= 0)
                    m_LuaVariables[n] = kind;
                else if (variable.bound)
                {
                    m_LuaVariables[n] = -1;
                    if (variable.bound->GetKind() == EffectVariable::kUnset)
                        variable.bound->SetInt(3);
                }
            }
        }
    }
    if (g_CompiledMetaEffectsDump)
        DumpCompiledMetaEffect(effect.GetName(), text.GetOutputText());
    if (!effect.IsMetaCompiled())
    {
        effect.CompileMeta();
        m_State.m_pTechnique = nullptr;
        m_State.m_bValidated = false;
    }
}

void MeshMaterial::PushVariables()
{
    EffectTechnique* technique = m_State.GetTechnique();
    for (auto& entry : m_Variables)
    {
        MaterialVariable& v = entry.second;
        if (!v.bound && technique)
            v.bound = technique->GetVariable(entry.first);
        if (v.bound)
            v.bound->SetInt(v.value);
    }
}

void MeshMaterial::SetEffectVariable(const std::string& name, int32_t value)
{
    MaterialVariable& variable = m_Variables[name];
    const bool changed = variable.value != value;
    variable.value = value;
    ResetLuaVariables();
    if (variable.requested && changed)
    {
        m_State.m_Effect.GetMetaText().MarkNotUpToDate();
        auto lua = m_LuaVariables.find(name);
        if (lua == m_LuaVariables.end() || lua->second == -2)
            m_LuaVariables[name] = -1;
        CompileMetaEffect();
        if (!m_State.IsValidated())
            m_State.ValidateTechnique(m_Material);
    }
}

void MeshMaterial::ApplyPass(IDirect3DDevice8* device, int pass)
{
    if (device)
        device->SetMaterial(&m_Material);
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.SetRenderState(D3DRS_ALPHAREF, m_AlphaRef);
    cache.SetRenderState(D3DRS_CULLMODE, m_TwoSided ? D3DCULL_NONE : D3DCULL_CCW);
    PushVariables();
    m_State.ApplyPass(pass, m_Material);
    if (m_State.m_bRecompile)
    {
        m_State.m_Effect.GetMetaText().ClearOutput();
        m_State.m_Effect.GetMetaText().MarkNotUpToDate();
        m_State.m_bRecompile = false;
        CompileMetaEffect();
        if (!m_State.IsValidated())
            m_State.ValidateTechnique(m_Material);
    }
}
