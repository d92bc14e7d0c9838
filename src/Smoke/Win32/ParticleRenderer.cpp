#include "ParticleRenderer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "D3DUtils.h"
#include "Log.h"
#include "ParticleVertices.h"
#include "RenderStateManager.h"
#include "Storage.h"
#include "d3dx8.h"

namespace
{
const DWORD kParticleFVF = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX2;
const UINT kStride = sizeof(ParticleVertex);

const DWORD kDeclaration[] = {
    D3DVSD_STREAM(0),
    D3DVSD_REG(0, D3DVSDT_FLOAT3),   // the particle's centre
    D3DVSD_REG(1, D3DVSDT_D3DCOLOR), // opacity and grey level
    D3DVSD_REG(2, D3DVSDT_FLOAT2),   // the corner's displacement in view space
    D3DVSD_REG(3, D3DVSDT_FLOAT2),   // the corner's texture coordinate
    D3DVSD_END(),
};

// The vertices of every renderer are written here before they are copied.
std::vector<ParticleVertex>& Staging()
{
    static std::vector<ParticleVertex> staging;
    return staging;
}

D3DXMATRIX Transposed(const D3DMATRIX* m)
{
    D3DXMATRIX t;
    if (!m)
    {
        D3DXMatrixIdentity(&t);
        return t;
    }
    const D3DXMATRIX source(*m);
    D3DXMatrixTranspose(&t, &source);
    return t;
}
} // namespace

CSmokeParticleRenderer::CSmokeParticleRenderer()
    : m_pDevice(RenderStateManager::Instance().GetDevice()), m_pStates(&RenderStateManager::Instance())
{
}

CSmokeParticleRenderer::~CSmokeParticleRenderer()
{
    if (m_dwShader && m_pDevice)
        m_pDevice->DeleteVertexShader(m_dwShader);
}

bool CSmokeParticleRenderer::CreateBuffers()
{
    HRESULT hr = m_pStates->CreateVertexBuffer(UINT(kParticleVertexCount * kStride),
                                               D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kParticleFVF, D3DPOOL_DEFAULT,
                                               m_pVertexBuffer.Put());
    if (SUCCEEDED(hr))
        hr = m_pStates->CreateIndexBuffer(UINT(kParticleIndexCount * sizeof(uint16_t)), D3DUSAGE_WRITEONLY,
                                          D3DFMT_INDEX16, D3DPOOL_MANAGED, m_pIndexBuffer.Put());
    if (FAILED(hr) || !m_pVertexBuffer || !m_pIndexBuffer)
    {
        g_Log.Printf("FAILED to create partcile vertex buffer: %s\n", GetErrorString(hr).c_str());
        m_bFailed = true;
        return false;
    }
    return FillIndexBuffer();
}

bool CSmokeParticleRenderer::FillIndexBuffer()
{
    BYTE* data = nullptr;
    const HRESULT hr = m_pIndexBuffer->Lock(0, UINT(kParticleIndexCount * sizeof(uint16_t)), &data, 0);
    if (FAILED(hr) || !data)
    {
        g_Log.Printf("FAILED to create partcile vertex buffer: %s\n", GetErrorString(hr).c_str());
        m_bFailed = true;
        return false;
    }
    FillParticleIndices(reinterpret_cast<uint16_t*>(data), kParticleQuadsPerBatch);
    m_pIndexBuffer->Unlock();
    return true;
}

bool CSmokeParticleRenderer::CreateVertexShader()
{
    std::string text;
    Storage::ReadMainStorageFile("particle.vsh", text);
    ComRef<ID3DXBuffer> code, errors;
    HRESULT hr = text.empty() ? E_FAIL
                              : D3DXAssembleShader(text.data(), UINT(text.size()), 0, nullptr, code.Put(), errors.Put());
    if (FAILED(hr) || !code)
    {
        const std::string message = errors ? static_cast<const char*>(errors->GetBufferPointer())
                                           : text.empty() ? "\"particle.vsh\" is missing" : GetErrorString(hr);
        g_Log.Printf("%s (%s): %s\n", "CSmokeParticleRenderer::CreateVertexShader", "ParticleSmoke", message.c_str());
        return false;
    }
    hr = m_pDevice->CreateVertexShader(kDeclaration, static_cast<const DWORD*>(code->GetBufferPointer()), &m_dwShader,
                                       0);
    if (FAILED(hr))
    {
        m_dwShader = 0;
        g_Log.Printf("Can't create vertex shader: %s\n", GetErrorString(hr).c_str());
        return false;
    }
    return true;
}

bool CSmokeParticleRenderer::FillVertexBuffer(const std::list<std::unique_ptr<SmokeParticle>>& particles)
{
    std::vector<ParticleVertex>& staging = Staging();
    m_DrawCount = PackParticleVertices(particles, staging);
    const size_t vertices = m_DrawCount * 4;
    if (vertices == 0)
        return true;
    // Each frame's vertices follow the last frame's, written without waiting
    // for the draws that still read the earlier ones; only a frame that does
    // not fit starts again at the front and discards the rest. Discarding
    // every frame would have the device set aside a whole new buffer each
    // time until its draws were done.
    DWORD flags = D3DLOCK_NOOVERWRITE;
    if (m_NextVertex + vertices > kParticleVertexCount)
    {
        m_NextVertex = 0;
        flags = D3DLOCK_DISCARD;
    }
    BYTE* data = nullptr;
    const UINT bytes = UINT(vertices * kStride);
    if (FAILED(m_pVertexBuffer->Lock(UINT(m_NextVertex * kStride), bytes, &data, flags)) || !data)
    {
        m_DrawCount = 0; // nothing is drawn from a buffer that was not written
        return false;
    }
    std::memcpy(data, staging.data(), bytes);
    m_pVertexBuffer->Unlock();
    m_FirstVertex = m_NextVertex;
    m_NextVertex += vertices;
    return true;
}

bool CSmokeParticleRenderer::Prepare(const std::list<std::unique_ptr<SmokeParticle>>& particles)
{
    if (!m_pDevice)
    {
        m_pDevice = m_pStates->GetDevice();
        if (!m_pDevice)
            return false;
    }
    if ((!m_pVertexBuffer || !m_pIndexBuffer) && !CreateBuffers())
        return false;
    // Without the shader the squares could not be built: nothing is drawn
    // until it exists, and it is tried again next frame.
    if (!m_dwShader && !CreateVertexShader())
        return false;
    return FillVertexBuffer(particles);
}

void CSmokeParticleRenderer::Render(const std::list<std::unique_ptr<SmokeParticle>>& particles)
{
    if (particles.empty() || m_bFailed)
        return;
    if (!Prepare(particles) || m_DrawCount == 0)
        return;
    RenderStateManager& rs = *m_pStates;
    rs.PushStates();
    rs.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    rs.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    rs.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    rs.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    rs.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    rs.SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    rs.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    rs.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);

    m_pDevice->SetTexture(0, m_pTexture);
    m_pDevice->SetTexture(1, nullptr);
    m_pDevice->SetTexture(2, nullptr);
    D3DMATERIAL8 material = {};
    material.Diffuse = material.Ambient = {1, 1, 1, 1};
    material.Power = 1;
    m_pDevice->SetMaterial(&material);

    const D3DXMATRIX view = Transposed(rs.GetTransform(D3DTS_VIEW));
    const D3DXMATRIX projection = Transposed(rs.GetTransform(D3DTS_PROJECTION));
    const float one[4] = {1, 0, 0, 0};
    m_pDevice->SetVertexShaderConstant(0, &view, 4);
    m_pDevice->SetVertexShaderConstant(4, &projection, 4);
    m_pDevice->SetVertexShaderConstant(8, one, 1);
    m_pDevice->SetVertexShader(m_dwShader);
    m_pDevice->SetPixelShader(0);
    m_pDevice->SetStreamSource(0, m_pVertexBuffer, kStride);

    rs.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    rs.SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    rs.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    rs.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    rs.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    rs.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    rs.SetRenderState(D3DRS_FOGENABLE, FALSE);

    for (size_t first = 0; first < m_DrawCount; first += kParticleQuadsPerBatch)
    {
        const size_t quads = std::min(m_DrawCount - first, kParticleQuadsPerBatch);
        m_pDevice->SetIndices(m_pIndexBuffer, UINT(m_FirstVertex + 4 * first));
        m_pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, UINT(4 * quads), 0, UINT(2 * quads));
    }
    rs.PopStates();
}
