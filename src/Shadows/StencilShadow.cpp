#include "StencilShadow.h"

#include <cstring>

#include "Camera.h"
#include "D3DUtils.h"
#include "GeomObject.h"
#include "Log.h"
#include "Mesh.h"
#include "MeshMaterial.h"
#include "RenderStateManager.h"
#include "ShadowGeometry.h"

namespace
{
const char kSource[] = ".\\src\\StencilShadow";
// A volume is rewritten whenever the light moves: its buffers are written
// with discarding locks, which need dynamic buffers, so that a new volume
// never waits for the last frame's draws to finish with the old one.
const DWORD kVolumeUsage = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;

D3DCOLOR ColourWord(const float c[4])
{
    return D3DCOLOR_ARGB(ShadowColourByte(c[3]), ShadowColourByte(c[0]), ShadowColourByte(c[1]),
                         ShadowColourByte(c[2]));
}

void DisableStages(RenderStateManager& cache, IDirect3DDevice8* device)
{
    for (DWORD s = 0; s < 8; ++s)
    {
        cache.SetTextureStageState(s, D3DTSS_COLOROP, D3DTOP_DISABLE);
        cache.SetTextureStageState(s, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        device->SetTexture(s, nullptr);
    }
}

// Draws every mesh of the object in the states already set, its material
// left out.
void RenderBare(IDirect3DDevice8* device, GeomObject* object, uint32_t mesh)
{
    Mesh* m = object->GetMesh(mesh);
    m->SetApplyMaterial(false);
    object->Render(device, mesh, -1);
    m->SetApplyMaterial(true);
}
} // namespace

void LogStencilShadowError(unsigned line)
{
    g_Log.Printf("Error in %s, line %u\n", kSource, line);
}

// ---- CShadowVolume

CShadowVolume::CShadowVolume(Mesh* mesh) : m_pMesh(mesh), m_MeshIndices(mesh->GetIndices())
{
    IDirect3DDevice8* device = RenderStateManager::Instance().GetDevice();
    bool ok = device && ReadPositions(device);
    if (ok)
    {
        m_IndexCapacity = m_MeshIndices.size() * 8;
        m_Indices.reserve(m_IndexCapacity);
        if (m_IndexCapacity == 0 ||
            FAILED(RenderStateManager::Instance().CreateIndexBuffer(UINT(m_IndexCapacity * 4), kVolumeUsage,
                                                                    D3DFMT_INDEX32, D3DPOOL_DEFAULT,
                                                                    m_pIndexBuffer.Put())))
        {
            LogStencilShadowError(64);
            m_bValid = false;
            ok = false;
        }
    }
    if (!ok)
    {
        m_bValid = false;
        LogStencilShadowError(11);
    }
    m_pSilhouette.reset(new CSilhouetteBuilder(m_Positions, m_MeshIndices));
}

bool CShadowVolume::ReadPositions(IDirect3DDevice8* device)
{
    (void)device;
    RenderStateManager& cache = RenderStateManager::Instance();
    const uint32_t count = m_pMesh->GetVertexCount();
    const uint32_t stride = m_pMesh->GetStride();
    ComRef<IDirect3DVertexBuffer8> temporary;
    if (count == 0 || stride < 12 ||
        FAILED(cache.CreateVertexBuffer(count * stride, 0, m_pMesh->GetFVF(), D3DPOOL_SYSTEMMEM, temporary.Put())))
    {
        LogStencilShadowError(104);
        m_bValid = false;
        return false;
    }
    m_pMesh->CopyVertices(temporary);
    BYTE* data = nullptr;
    if (FAILED(temporary->Lock(0, 0, &data, 0)) || !data)
    {
        LogStencilShadowError(114);
        m_bValid = false;
        return false;
    }
    m_Positions.resize(count);
    for (uint32_t i = 0; i < count; ++i)
        std::memcpy(&m_Positions[i], data + size_t(i) * stride, sizeof(D3DXVECTOR3));
    temporary->Unlock();
    m_VertexCapacity = size_t(count) * 2;
    if (FAILED(cache.CreateVertexBuffer(UINT(m_VertexCapacity * 12), kVolumeUsage, D3DFVF_XYZ, D3DPOOL_DEFAULT,
                                        m_pVertexBuffer.Put())))
    {
        LogStencilShadowError(133);
        m_bValid = false;
        return false;
    }
    return true;
}

HRESULT CShadowVolume::Build(const TShadowVolumeParams& params)
{
    if (!m_bValid)
        return 1;
    m_pSilhouette->Update(params);
    m_Displacement = params.lightDisplacement;
    m_Vertices.clear();
    m_Indices.clear();
    AppendShadowVolume(m_pSilhouette->GetLoops(), m_Positions, m_Displacement, m_Vertices, m_Indices);
    if (m_Vertices.empty())
        return 0;
    // The buffers hold two vertices per mesh vertex and eight indices per
    // mesh index: a volume past that is refused before any lock.
    if (!ShadowVolumeFits(m_Vertices.size(), m_Indices.size(), m_VertexCapacity, m_IndexCapacity))
    {
        const HRESULT hr = D3DERR_INVALIDCALL;
        g_Log.Printf("FAILED to lock shadows vertex buffer: %s\n", GetErrorString(hr).c_str());
        m_bValid = false;
        LogStencilShadowError(196);
        return hr;
    }
    BYTE* data = nullptr;
    HRESULT hr = m_pVertexBuffer->Lock(0, UINT(m_Vertices.size() * 12), &data, D3DLOCK_DISCARD);
    if (FAILED(hr) || !data)
    {
        g_Log.Printf("FAILED to lock shadows vertex buffer: %s\n", GetErrorString(hr).c_str());
        m_bValid = false;
        LogStencilShadowError(196);
        return FAILED(hr) ? hr : E_FAIL;
    }
    std::memcpy(data, m_Vertices.data(), m_Vertices.size() * 12);
    m_pVertexBuffer->Unlock();
    data = nullptr;
    hr = m_pIndexBuffer->Lock(0, UINT(m_Indices.size() * 4), &data, D3DLOCK_DISCARD);
    if (FAILED(hr) || !data)
    {
        LogStencilShadowError(84);
        m_bValid = false;
        LogStencilShadowError(202);
        return FAILED(hr) ? hr : E_FAIL;
    }
    std::memcpy(data, m_Indices.data(), m_Indices.size() * 4);
    m_pIndexBuffer->Unlock();
    return 0;
}

bool CShadowVolume::IsInFrustum(IDirect3DDevice8* device) const
{
    D3DXMATRIX world;
    if (FAILED(device->GetTransform(D3DTS_WORLD, &world)))
        return true;
    const Frustum& frustum = GetCurrentFrustum();
    for (const CSilhouetteBuilder::Loop& loop : m_pSilhouette->GetLoops())
        for (int v : loop)
            for (const D3DXVECTOR3& p : {m_Positions[size_t(v)], D3DXVECTOR3(m_Positions[size_t(v)] + m_Displacement)})
            {
                D3DXVECTOR3 w;
                D3DXVec3TransformCoord(&w, &p, &world);
                for (const D3DXPLANE& plane : frustum.planes)
                    if (plane.a * w.x + plane.b * w.y + plane.c * w.z + plane.d > 0)
                        return true;
            }
    return false;
}

HRESULT CShadowVolume::Render(IDirect3DDevice8* device)
{
    if (!m_bValid)
        return 1;
    if (m_Vertices.empty() || m_pSilhouette->GetLoops().empty())
        return 0;
    if (!IsInFrustum(device))
    {
        g_Log.Printf("LyingInFrustum = false\n");
        return 0;
    }
    HRESULT hr = device->SetIndices(m_pIndexBuffer, 0);
    if (FAILED(hr))
    {
        LogStencilShadowError(326);
        return hr;
    }
    hr = device->SetStreamSource(0, m_pVertexBuffer, 12);
    if (FAILED(hr))
    {
        LogStencilShadowError(331);
        return hr;
    }
    hr = device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, UINT(m_Vertices.size()), 0,
                                      UINT(m_Indices.size() / 3));
    if (FAILED(hr))
    {
        g_Log.Printf("%i, %i \n", int(m_Vertices.size()), int(m_Indices.size()));
        LogStencilShadowError(338);
    }
    return hr;
}

// ---- CShadowCaster

CShadowCaster::CShadowCaster(GeomObject* object) : m_pObject(object)
{
    for (size_t i = 0; i < object->GetMeshCount(); ++i)
        m_Volumes.emplace_back(new CShadowVolume(object->GetMesh(i)));
}

HRESULT CShadowCaster::Update(const TShadowVolumeParams& params)
{
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &m_pObject->GetWorldMatrix()))
        D3DXMatrixIdentity(&inverse);
    const D3DXVECTOR3 origin(0, 0, 0);
    D3DXVECTOR3 a, b;
    D3DXVec3TransformCoord(&a, &params.lightDisplacement, &inverse);
    D3DXVec3TransformCoord(&b, &origin, &inverse);
    TShadowVolumeParams local = params;
    local.lightDisplacement = a - b;
    for (const std::unique_ptr<CShadowVolume>& volume : m_Volumes)
    {
        const HRESULT hr = volume->Build(local);
        if (hr < 0)
            return hr;
    }
    return 0;
}

HRESULT CShadowCaster::RenderVolumes(IDirect3DDevice8* device)
{
    RenderStateManager::Instance().SetTransform(&m_pObject->GetWorldMatrix(), D3DTS_WORLD);
    device->SetVertexShader(D3DFVF_XYZ);
    device->SetPixelShader(0);
    for (const std::unique_ptr<CShadowVolume>& volume : m_Volumes)
    {
        const HRESULT hr = volume->Render(device);
        if (hr < 0)
            return hr;
    }
    return 0;
}

// ---- CStencilShadow

CStencilShadow::CStencilShadow(const std::vector<GeomObject*>& receivers, const std::vector<GeomObject*>& casters)
    : m_Receivers(receivers)
{
    for (GeomObject* caster : casters)
        if (caster)
            m_Casters.emplace_back(new CShadowCaster(caster));
}

bool CStencilShadow::IsValid()
{
    if (!m_bValid)
        return false;
    for (const auto& caster : m_Casters)
        for (const auto& volume : caster->GetVolumes())
            if (!volume->IsValid())
            {
                LogStencilShadowError(502);
                m_bValid = false;
                return false;
            }
    return true;
}

HRESULT CStencilShadow::Update(const TShadowVolumeParams& params)
{
    if (!IsValid())
        return 1;
    for (const auto& caster : m_Casters)
    {
        const HRESULT hr = caster->Update(params);
        if (hr < 0)
        {
            LogStencilShadowError(558);
            m_bValid = false;
            return hr;
        }
    }
    return 0;
}

void CStencilShadow::DrawReceivers(IDirect3DDevice8* device)
{
    RenderStateManager& cache = RenderStateManager::Instance();
    for (GeomObject* receiver : m_Receivers)
        for (uint32_t i = 0; i < receiver->GetMeshCount(); ++i)
        {
            MeshMaterial* material = receiver->GetMesh(i)->GetMaterial();
            Map* alpha = nullptr;
            if (material)
            {
                cache.SetRenderState(D3DRS_ALPHAREF, material->GetAlphaRef());
                MaterialEffectState& state = material->GetEffectState();
                if (state.IsPresent(MAPKIND_ALPHA))
                    alpha = state.GetMap(MAPKIND_ALPHA);
                else if (state.IsPresent(MAPKIND_DIFFUSE_ALPHA))
                    alpha = state.GetMap(MAPKIND_DIFFUSE_ALPHA);
            }
            IDirect3DBaseTexture8* texture = alpha ? alpha->GetTexture() : nullptr;
            cache.SetTextureStageState(0, D3DTSS_ALPHAARG1, texture ? D3DTA_TEXTURE : D3DTA_TFACTOR);
            device->SetTexture(0, texture);
            RenderBare(device, receiver, i);
        }
}

HRESULT CStencilShadow::RenderMask(IDirect3DDevice8* device, const TShadowMaskParams& params)
{
    if (!IsValid())
        return 1;
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    cache.SetRenderState(D3DRS_FOGENABLE, FALSE);
    auto selectFactor = [&]() {
        DisableStages(cache, device);
        cache.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
        cache.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
        cache.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        cache.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    };
    if (params.depthPrepass)
    {
        cache.SetRenderState(D3DRS_ZENABLE, TRUE);
        cache.SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        cache.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        cache.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
        cache.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        cache.SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        cache.SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
        selectFactor();
        DrawReceivers(device);
    }
    cache.SetRenderState(D3DRS_ZENABLE, TRUE);
    cache.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    cache.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    cache.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    cache.SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    selectFactor();
    device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0);
    cache.SetRenderState(D3DRS_STENCILENABLE, TRUE);
    cache.SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    cache.SetRenderState(D3DRS_STENCILREF, 1);
    cache.SetRenderState(D3DRS_STENCILMASK, 0xFFFFFFFF);
    cache.SetRenderState(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
    cache.SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
    cache.SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    const struct
    {
        D3DCOLOR colour;
        DWORD cull;
        DWORD op;
        bool display;
    } passes[2] = {{0xFFFF0000, D3DCULL_CCW, D3DSTENCILOP_INCRSAT, params.displayCCW},
                   {0xFF0000FF, D3DCULL_CW, D3DSTENCILOP_DECRSAT, params.displayCW}};
    for (const auto& pass : passes)
    {
        cache.SetRenderState(D3DRS_TEXTUREFACTOR, pass.colour);
        cache.SetRenderState(D3DRS_CULLMODE, pass.cull);
        cache.SetRenderState(D3DRS_STENCILPASS, pass.op);
        cache.SetRenderState(D3DRS_ALPHABLENDENABLE, pass.display ? FALSE : TRUE);
        for (const auto& caster : m_Casters)
        {
            const HRESULT hr = caster->RenderVolumes(device);
            if (hr < 0)
            {
                cache.PopStates();
                m_bValid = false;
                return hr;
            }
        }
    }
    // Receiver pixels inside a volume become black and their count 0 again.
    cache.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    cache.SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    cache.SetRenderState(D3DRS_ZENABLE, FALSE);
    cache.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    cache.SetRenderState(D3DRS_STENCILFUNC, D3DCMP_NOTEQUAL);
    cache.SetRenderState(D3DRS_STENCILREF, 0);
    cache.SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_ZERO);
    selectFactor();
    cache.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    cache.SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF000000);
    DrawReceivers(device);
    cache.PopStates();
    return 0;
}

void CStencilShadow::SetLineStates(bool zEnable)
{
    RenderStateManager& cache = RenderStateManager::Instance();
    IDirect3DDevice8* device = cache.GetDevice();
    cache.SetRenderState(D3DRS_ZENABLE, zEnable ? TRUE : FALSE);
    cache.SetRenderState(D3DRS_ZBIAS, 4);
    cache.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    cache.SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    cache.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    cache.SetRenderState(D3DRS_STENCILENABLE, FALSE);
    DisableStages(cache, device);
    cache.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    cache.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    cache.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    cache.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    cache.SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF00FFFF);
    cache.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

HRESULT CStencilShadow::DrawSilhouettes(IDirect3DDevice8* device, const TSilhouetteDrawParams& params)
{
    if (!IsValid())
        return 1;
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    SetLineStates(params.zEnable);
    for (const auto& caster : m_Casters)
    {
        cache.SetTransform(&caster->GetObject()->GetWorldMatrix(), D3DTS_WORLD);
        device->SetVertexShader(D3DFVF_XYZ);
        device->SetPixelShader(0);
        for (const auto& volume : caster->GetVolumes())
        {
            const auto& loops = volume->GetSilhouette().GetLoops();
            if (!volume->IsValid() || loops.empty())
                continue;
            const auto& p = volume->GetSilhouette().GetPositions();
            const size_t active = size_t(params.activeNum) % loops.size();
            auto drawLoop = [&](const CSilhouetteBuilder::Loop& loop, const float colour[4], int marked) {
                const float inverse[4] = {1 - colour[0], 1 - colour[1], 1 - colour[2], 1 - colour[3]};
                for (size_t k = 0; k < loop.size(); ++k)
                {
                    if (k + 1 < loop.size() || loop.size() == 1)
                        cache.SetRenderState(D3DRS_TEXTUREFACTOR,
                                             ColourWord(int(k) == marked ? inverse : colour));
                    const D3DXVECTOR3 line[2] = {p[size_t(loop[k])], p[size_t(loop[(k + 1) % loop.size()])]};
                    device->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, 12);
                }
            };
            for (size_t l = 0; l < loops.size(); ++l)
                if (l != active && !loops[l].empty())
                    drawLoop(loops[l], params.color, -1);
            if (!loops[active].empty())
                drawLoop(loops[active], params.activeColor,
                         int(size_t(params.activeEdgeNum) % loops[active].size()));
        }
    }
    cache.PopStates();
    return 0;
}

HRESULT CStencilShadow::DrawBorders(IDirect3DDevice8* device, float minAngle, bool zTest)
{
    if (!IsValid())
        return 1;
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    SetLineStates(zTest);
    for (const auto& caster : m_Casters)
    {
        cache.SetTransform(&caster->GetObject()->GetWorldMatrix(), D3DTS_WORLD);
        device->SetVertexShader(D3DFVF_XYZ);
        device->SetPixelShader(0);
        for (const auto& volume : caster->GetVolumes())
        {
            cache.SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
            const auto& p = volume->GetSilhouette().GetPositions();
            for (const auto& edge : volume->GetSilhouette().GetEdgeAngles())
                if (edge.second > minAngle)
                {
                    const D3DXVECTOR3 line[2] = {p[size_t(edge.first.first)], p[size_t(edge.first.second)]};
                    device->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, 12);
                }
        }
    }
    cache.PopStates();
    return 0;
}
