#include "GeomObject.h"

#include <cfloat>
#include <cmath>

#include "DebugDraw.h"
#include "FileStorage.h"
#include "Light.h"
#include "Log.h"
#include "Mesh.h"
#include "MeshMaterial.h"
#include "RenderStateManager.h"

GeomObject::GeomObject(const std::string& name) : Object(name), m_MorphTimer(1, 0) {}

GeomObject::~GeomObject() = default;

bool GeomObject::IsTransparent() const
{
    return !m_Meshes.empty() && m_Meshes[0]->GetMaterial() && m_Meshes[0]->GetMaterial()->HasAlpha();
}

void GeomObject::AddMesh(std::unique_ptr<Mesh> mesh)
{
    m_Meshes.push_back(std::move(mesh));
}

void GeomObject::DropMorph(const char* why)
{
    g_Log.Printf("Error: the morph of object \"%s\" is dropped: %s\n", m_Name.c_str(), why);
    m_MorphFrames.clear();
    m_MorphTimes.clear();
}

void GeomObject::LoadFromStream(const std::string& name, FileStorage::CMemoryStream& stream, IMeshLoadContext* scene,
                                FileStorage::CArchive* archive)
{
    Object::LoadFromStream(name, stream);
    const uint16_t frames = stream.ReadU16();
    const uint32_t framesStart = stream.GetPosition();
    if (frames == 0)
        return;
    stream.ReadU32();
    const uint16_t count = stream.ReadU16();
    for (uint16_t i = 0; i < count; ++i)
        if (std::unique_ptr<Mesh> mesh = Mesh::LoadFromStream(this, scene, archive, stream, i, frames == 1))
            AddMesh(std::move(mesh));
    if (frames == 1)
        return;

    stream.SetPosition(framesStart);
    bool consistent = true;
    for (uint32_t f = 0; f < frames; ++f)
    {
        // Each frame is held by the object before it is read, so that a
        // truncated record leaks none of it.
        m_MorphFrames.push_back(MorphFrame{float(stream.ReadU32()) * 0.001f, {}});
        MorphFrame& frame = m_MorphFrames.back();
        m_MorphTimes.push_back(frame.time);
        const uint16_t meshes = stream.ReadU16();
        for (uint16_t i = 0; i < meshes; ++i)
        {
            frame.meshes.push_back(std::make_unique<SoftwareMesh>());
            SoftwareMesh* mesh = frame.meshes.back().get();
            std::string problem;
            if (!mesh->LoadFromStream(stream, &problem))
                consistent = false;
        }
    }
    // Every frame must blend into every mesh, vertex for vertex, over a
    // time span that is not empty.
    for (const MorphFrame& frame : m_MorphFrames)
    {
        if (frame.meshes.size() < count || count != m_Meshes.size())
            consistent = false;
        for (size_t i = 0; consistent && i < m_Meshes.size(); ++i)
            if (frame.meshes[i]->GetData().vertexCount != m_Meshes[i]->GetVertexCount())
                consistent = false;
    }
    if (!consistent)
        DropMorph("its frames do not match the meshes of frame 0");
    else if (!(m_MorphTimes.back() > m_MorphTimes.front()))
        DropMorph("its first and last frame times are equal");
}

void GeomObject::UpdateMorph()
{
    if (m_bStatic || !m_bMorphPlaying || m_MorphFrames.size() < 2)
        return;
    const float t = m_MorphTimer.GetTime();
    float e = m_MorphDuration > 0 ? std::fmod(t, m_MorphDuration) : 0.0f;
    if (m_MorphLoopCount != -1 && m_MorphDuration > 0 && std::floor(t / m_MorphDuration) >= float(m_MorphLoopCount))
    {
        m_bMorphPlaying = false;
        e = m_bMorphRestAtStart ? 0.0f : m_MorphDuration;
    }
    const float cur = m_MorphRangeStart + e;
    FireCallbacksBetween(m_MorphCallbacks, m_LastMorphTime, cur, m_MorphRangeStart,
                         m_MorphRangeStart + m_MorphDuration, this);
    m_LastMorphTime = cur;
    int k = 0;
    float weight = 0;
    FindMorphFrames(m_MorphTimes, cur, &k, &weight);
    for (size_t i = 0; i < m_Meshes.size(); ++i)
        m_Meshes[i]->BlendMorphFrames(m_MorphFrames[size_t(k)].meshes[i].get(), m_MorphFrames[size_t(k) + 1].meshes[i].get(),
                                      weight);
}

void GeomObject::PlayMorphAnimation(uint32_t startMs, uint32_t endMs, float speed)
{
    if (m_MorphTimes.size() < 2 || startMs >= endMs)
        return;
    m_MorphRangeStart = float(startMs) * 0.001f;
    m_MorphDuration = float(endMs - startMs) * 0.001f;
    m_MorphLoopCount = 1;
    m_MorphTimer.SetSpeed(speed);
    m_bMorphPlaying = true;
    m_bMorphRestAtStart = false;
    m_MorphTimer.SetTime(0);
    if (m_bStatic)
        MakeDynamic();
}

uint32_t GeomObject::GetMorphStartMs() const
{
    return m_MorphTimes.empty() ? 0 : uint32_t(m_MorphTimes.front() * 1000.0f);
}

uint32_t GeomObject::GetMorphEndMs() const
{
    return m_MorphTimes.empty() ? 0 : uint32_t(m_MorphTimes.back() * 1000.0f);
}

D3DXVECTOR3 GeomObject::GetBoundingBoxMin() const
{
    D3DXVECTOR3 r(FLT_MAX, FLT_MAX, FLT_MAX);
    for (const std::unique_ptr<Mesh>& mesh : m_Meshes)
    {
        const D3DXVECTOR3 m = mesh->GetBoundingBoxMin(m_World);
        D3DXVec3Minimize(&r, &r, &m);
    }
    return r;
}

D3DXVECTOR3 GeomObject::GetBoundingBoxMax() const
{
    D3DXVECTOR3 r(-FLT_MAX, -FLT_MAX, -FLT_MAX);
    for (const std::unique_ptr<Mesh>& mesh : m_Meshes)
    {
        const D3DXVECTOR3 m = mesh->GetBoundingBoxMax(m_World);
        D3DXVec3Maximize(&r, &r, &m);
    }
    return r;
}

bool GeomObject::IntersectRay(D3DXVECTOR3* out, const D3DXVECTOR3& origin, const D3DXVECTOR3& direction) const
{
    NearestHit nearest(origin);
    for (const std::unique_ptr<Mesh>& mesh : m_Meshes)
    {
        D3DXVECTOR3 hit;
        if (mesh->IntersectRay(m_World, origin, direction, &hit))
            nearest.Offer(hit);
    }
    if (nearest.found)
        *out = nearest.point;
    return nearest.found;
}

void GeomObject::SetVisibleRecursive(bool visible)
{
    for (Object* child : m_Children)
        if (child->GetTypeId() == OBJECT_TYPE_GEOM)
        {
            GeomObject* geom = static_cast<GeomObject*>(child);
            geom->m_bVisible = visible;
            geom->SetVisibleRecursive(visible);
        }
}

void GeomObject::MakeDynamic()
{
    if (m_pOctree)
        m_pOctree->RemoveStaticObject(this);
    Object::MakeDynamic();
}

void GeomObject::Render(IDirect3DDevice8* device, uint32_t meshIndex, int pass)
{
    if (!m_bVisible || (m_bCullable && m_bCulled) || meshIndex >= m_Meshes.size())
        return;
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.SetTransform(&m_World, D3DTS_WORLD);
    Mesh* mesh = m_Meshes[meshIndex].get();
    if (mesh->GetCullingFlag())
    {
        if (!mesh->IsInFrustum(device))
            return;
        if (m_bOcclusionTest && mesh->IsOccluded(device))
            return;
    }
    cache.PushStates();
    cache.SetRenderState(D3DRS_ZWRITEENABLE, m_ZWrite);
    if (m_bAmbientOverride)
        cache.SetRenderState(D3DRS_AMBIENT, m_Ambient);
    if (m_SrcBlend.set)
        cache.SetRenderState(D3DRS_SRCBLEND, m_SrcBlend.value);
    if (m_DestBlend.set)
        cache.SetRenderState(D3DRS_DESTBLEND, m_DestBlend.value);
    if (m_FogColor.set)
        cache.SetRenderState(D3DRS_FOGCOLOR, m_FogColor.value);
    if (m_AlphaTest.set)
        cache.SetRenderState(D3DRS_ALPHATESTENABLE, m_AlphaTest.value);
    if (m_bFogOverride)
        cache.SetRenderState(D3DRS_FOGENABLE, m_bFogEnable);
    std::vector<Light*> switchedOff;
    for (Light* light : m_ExcludedLights)
        if (light->IsEnabled() && light->GetSlot() >= 0 && cache.IsLightEnabled(DWORD(light->GetSlot())))
        {
            light->SwitchOnDevice(false);
            switchedOff.push_back(light);
        }
    mesh->Render(pass);
    if (m_InformationFlags)
        DrawInformation(mesh, meshIndex);
    for (Light* light : switchedOff)
        light->SwitchOnDevice(true);
    cache.PopStates();
}

void GeomObject::DrawInformation(Mesh* mesh, uint32_t meshIndex)
{
    if (m_InformationFlags & kInfoMeshDebug)
        mesh->RenderDebug();
    if ((m_InformationFlags & kInfoAxes) && meshIndex == 0)
    {
        static const float colours[3][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}};
        const D3DXVECTOR3 origin(m_World._41, m_World._42, m_World._43);
        const D3DXVECTOR3 axes[3] = {D3DXVECTOR3(m_World._11, m_World._12, m_World._13),
                                     D3DXVECTOR3(m_World._21, m_World._22, m_World._23),
                                     D3DXVECTOR3(m_World._31, m_World._32, m_World._33)};
        for (int i = 0; i < 3; ++i)
        {
            D3DXVECTOR3 axis;
            D3DXVec3Normalize(&axis, &axes[i]);
            const D3DXVECTOR3 end = origin + axis * 30.0f;
            DebugDraw::Instance().AddLine(origin, end, colours[i]);
        }
    }
    // Name labels belong to the object-information overlay, which draws them
    // once it exists.
}
