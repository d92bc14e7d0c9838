// The fir and tree branches that sway in the wind: taken out of the
// landscape's own drawing and drawn after the grass with the leaves shader.
#include <cstring>

#include "GeomObject.h"
#include "Log.h"
#include "MathUtils.h"
#include "Mesh.h"
#include "RenderStateManager.h"
#include "Scene.h"
#include "TarnholmApp.h"
#include "TarnholmGrass.h"
#include "d3dx8.h"

namespace
{
const DWORD kLeavesDeclaration[] = {0x20000000, 0x40020000, 0x40020003, 0x40010007, 0x40010008, 0xFFFFFFFF};
// What the declaration reads: position, normal and two pairs of texture
// coordinates.
const DWORD kLeavesFVF = 0x212;

struct Branch
{
    const char* name;
    const char* group;
};
const Branch kBranches[] = {
    {"Fir_branch01_01", "Fir"}, {"Fir_branch01_02", "Fir"}, {"Fir_branch01_03", "Fir"}, {"Fir_branch01_04", "Fir"},
    {"Fir_branch01_05", "Fir"}, {"Fir_branch01_06", "Fir"}, {"Fir_branch01_07", "Fir"}, {"Fir_branch01_08", "Fir"},
    {"Fir_branch01_09", "Fir"}, {"Tree_branch01", "Tree"},  {"Tree_branch02", "Tree"},
};
} // namespace

AnimatedLeaves::AnimatedLeaves(AnimatedLeavesSet* set)
    : m_pSet(set), m_pDevice(RenderStateManager::Instance().GetDevice()), m_Timer(1, 0)
{
}

bool AnimatedLeaves::Init(GeomObject* object, Scene* scene, DWORD shader)
{
    if (!object || object->GetMeshCount() == 0)
    {
        g_Log.Printf("Error while initializing leaves. Leaves object contain 0 meshes. \n");
        return false;
    }
    m_pScene = scene;
    m_pObject = object;
    m_Name = object->GetName();
    // The shader reads two pairs of texture coordinates: a branch of another
    // vertex format keeps its own and stays still.
    for (size_t i = 0; i < object->GetMeshCount() && shader; ++i)
        if (object->GetMesh(i)->GetFVF() != kLeavesFVF)
        {
            g_Log.Printf("Warning. Leaves \"%s\" have vertex format 0x%X and do not sway.\n", m_Name.c_str(),
                         unsigned(object->GetMesh(i)->GetFVF()));
            shader = 0;
        }
    m_Shader = shader;
    if (m_Shader)
        for (size_t i = 0; i < object->GetMeshCount(); ++i)
            object->GetMesh(i)->ClearSetFVF();
    m_bInitialised = true;
    return true;
}

void AnimatedLeaves::UpdateWind()
{
    m_WindScale = LeavesWindScale(m_Timer.GetTime(), m_WindChangeFrequency, m_WindMinScale, m_WindMaxScale);
    for (int k = 0; k < 3; ++k)
        m_ScaledDistortion[k] = m_Waves.v[k] * m_WindScale;
}

void AnimatedLeaves::SetShaderConstants()
{
    if (!m_Shader || !m_pDevice)
        return;
    RenderStateManager& cache = RenderStateManager::Instance();
    const D3DXMATRIX world = m_pObject->GetWorldMatrix();
    const D3DXMATRIX view(*reinterpret_cast<const D3DXMATRIX*>(cache.GetTransform(D3DTS_VIEW)));
    const D3DXMATRIX projection(*reinterpret_cast<const D3DXMATRIX*>(cache.GetTransform(D3DTS_PROJECTION)));
    const D3DXMATRIX worldView = world * view, all = worldView * projection;
    D3DXMATRIX t;
    auto set = [this](DWORD reg, const void* data, DWORD count) { m_pDevice->SetVertexShaderConstant(reg, data, count); };
    const D3DXVECTOR4 c0(0, 0.5f, 1, 2), c1(m_Timer.GetTime(), 0, 0, 0);
    set(0, &c0, 1);
    set(1, &c1, 1);
    D3DXMatrixTranspose(&t, &all);
    set(4, &t, 4);
    const D3DXVECTOR4 c8(-0.16161616f, 0.0083333f, -0.00019841f, 0.0000027557310f), c10(1.07f, 0, 0, 0);
    set(8, &c8, 1);
    set(10, &c10, 1);
    set(11, m_ScaledDistortion, 3);
    set(14, &m_Waves.v[3], 3);
    const D3DXVECTOR4 c17(4, D3DX_PI / 2, D3DX_PI, 2 * D3DX_PI);
    set(17, &c17, 1);
    set(18, &m_Waves.v[6], 2);
    const GrassFogRecord& fog = m_pSet->m_Fog;
    const D3DXVECTOR4 c20(fog.start, fog.end, 1.0f / (fog.end - fog.start), fog.density);
    set(20, &c20, 1);
    D3DXMatrixTranspose(&t, &worldView);
    set(21, &t, 4);
    m_pDevice->SetVertexShader(m_Shader);
    m_pDevice->SetPixelShader(0);
    const D3DXVECTOR4 c25(m_WaveFrequency, 0.01f, 0.001f, 0.0001f);
    set(25, &c25, 1);
}

void AnimatedLeaves::Render()
{
    if (!m_bInitialised)
        return;
    UpdateWind();
    SetShaderConstants();
    for (size_t i = 0; i < m_pObject->GetMeshCount(); ++i)
        m_pObject->Render(m_pDevice, uint32_t(i), -1);
}

AnimatedLeavesSet::AnimatedLeavesSet(Scene* scene) : m_pScene(scene)
{
    LoadShader();
}

AnimatedLeavesSet::~AnimatedLeavesSet()
{
    m_Leaves.clear();
    IDirect3DDevice8* device = RenderStateManager::Instance().GetDevice();
    if (m_Shader && device)
        device->DeleteVertexShader(m_Shader);
}

bool AnimatedLeavesSet::LoadShader()
{
    IDirect3DDevice8* device = RenderStateManager::Instance().GetDevice();
    D3DCAPS8 caps = {};
    if (!device || FAILED(device->GetDeviceCaps(&caps)) || caps.VertexShaderVersion < D3DVS_VERSION(1, 1))
        return false;
    // A failed assembly stops here: no shader is created from nothing.
    m_Shader = CreateStorageVertexShader(device, "Leaves.vsh", kLeavesDeclaration,
                                         "Error while initializing leafs. No file with shader.\n",
                                         "Error while initializing leafs. Failed to assemble shader from file.\n",
                                         "Error while initializing leafs. Failed to create vertex shader.\n");
    return m_Shader != 0;
}

AnimatedLeaves* AnimatedLeavesSet::Add(const std::string& name)
{
    GeomObject* object = m_pScene ? m_pScene->FindGeomObject(name) : nullptr;
    if (!object)
    {
        g_Log.Printf("Error while adding leaves. No object with name \"%s\"\n", name.c_str());
        return nullptr;
    }
    std::unique_ptr<AnimatedLeaves> leaves(new AnimatedLeaves(this));
    if (!leaves->Init(object, m_pScene, m_Shader))
    {
        g_Log.Printf("Error while adding leaves. Failed to init leaves based on object \"%s\"\n", name.c_str());
        return nullptr;
    }
    m_pScene->RemoveObject(object);
    m_Leaves.push_back(std::move(leaves));
    return m_Leaves.back().get();
}

AnimatedLeaves* AnimatedLeavesSet::Find(const std::string& name) const
{
    for (const auto& leaves : m_Leaves)
        if (leaves->GetName() == name)
            return leaves.get();
    return nullptr;
}

void AnimatedLeavesSet::Render()
{
    for (const auto& leaves : m_Leaves)
        leaves->Render();
}

void CTarnholmApp::InitLeaves()
{
    g_Log.Printf("Init leaves\n");
    m_pLeaves.reset(new AnimatedLeavesSet(m_pMainScene.get()));
    for (const Branch& branch : kBranches)
        m_pLeaves->Add(branch.name);
    ApplyLeavesTuning();
}

void CTarnholmApp::ApplyLeavesTuning()
{
    if (!m_pLeaves)
        return;
    for (const Branch& branch : kBranches)
        ApplyLeavesGroupTuning(branch.name, branch.group);
    m_pLeaves->m_Fog = ReadFogRecord(GetTuning(), false);
}

void CTarnholmApp::ApplyLeavesGroupTuning(const std::string& name, const std::string& group)
{
    AnimatedLeaves* leaves = m_pLeaves ? m_pLeaves->Find(name) : nullptr;
    if (!leaves)
        return;
    TuningControl::CManager& tuning = GetTuning();
    const std::string prefix = "Leaves." + group + ".";
    ReadWaveConstants(tuning, prefix, leaves->m_Waves);
    leaves->m_WaveFrequency = *tuning.GetValueOr(prefix + "WaveFrequency", 1);
    leaves->m_WindChangeFrequency = *tuning.GetValueOr(prefix + "Wind.ChangeFrequency", 0);
    leaves->m_WindMaxScale = *tuning.GetValueOr(prefix + "Wind.MaxScale", 1);
    leaves->m_WindMinScale = *tuning.GetValueOr(prefix + "Wind.MinScale", 1);
}

void CTarnholmApp::RenderLeaves()
{
    if (!m_pLeaves)
        return;
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    cache.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    cache.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    cache.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    cache.SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    m_pLeaves->Render();
    cache.PopStates();
}
