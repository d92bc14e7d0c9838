#include "RenderStateManager.h"

#include "Log.h"

#include <cmath>
#include <cstring>
#include <memory>

IDirect3DTexture8* g_pLogoTexture = nullptr;

namespace
{
const float kEpsilon = 1.1920929e-7f;

DWORD FloatBits(float f)
{
    DWORD d;
    memcpy(&d, &f, sizeof(d));
    return d;
}

std::unique_ptr<RenderStateManager>& Holder()
{
    static std::unique_ptr<RenderStateManager> s_pInstance;
    return s_pInstance;
}
} // namespace

RenderStateManager& RenderStateManager::Instance()
{
    std::unique_ptr<RenderStateManager>& p = Holder();
    if (!p)
        p.reset(new RenderStateManager());
    return *p;
}

RenderStateManager::RenderStateManager()
{
    memset(m_StageValues, 0, sizeof(m_StageValues));
    memset(m_StageChanged, 0, sizeof(m_StageChanged));
    memset(m_StageUndoCount, 0, sizeof(m_StageUndoCount));
    memset(m_StateValues, 0, sizeof(m_StateValues));
    memset(m_StateChanged, 0, sizeof(m_StateChanged));
    memset(m_StateUndoCount, 0, sizeof(m_StateUndoCount));
    memset(m_Lights, 0, sizeof(m_Lights));
    for (D3DMATRIX& m : m_Transforms)
    {
        memset(&m, 0, sizeof(m));
        m._11 = m._22 = m._33 = m._44 = 1.0f;
    }
}

void RenderStateManager::SetDevice(IDirect3DDevice8* pDevice)
{
    m_pDevice = pDevice;
    if (pDevice)
        ++m_DeviceGeneration;

    DWORD* rs = m_StateValues;
    for (int s : {D3DRS_LINEPATTERN, D3DRS_ALPHATESTENABLE, D3DRS_ALPHAREF, D3DRS_DITHERENABLE,
                  D3DRS_ALPHABLENDENABLE, D3DRS_FOGENABLE, D3DRS_SPECULARENABLE, D3DRS_ZVISIBLE, D3DRS_FOGCOLOR,
                  D3DRS_FOGTABLEMODE, D3DRS_EDGEANTIALIAS, D3DRS_ZBIAS, D3DRS_RANGEFOGENABLE, D3DRS_STENCILENABLE,
                  D3DRS_STENCILREF, D3DRS_WRAP0, D3DRS_WRAP1, D3DRS_WRAP2, D3DRS_WRAP3, D3DRS_WRAP4, D3DRS_WRAP5,
                  D3DRS_WRAP6, D3DRS_WRAP7, D3DRS_AMBIENT, D3DRS_FOGVERTEXMODE, D3DRS_NORMALIZENORMALS,
                  D3DRS_AMBIENTMATERIALSOURCE, D3DRS_EMISSIVEMATERIALSOURCE, D3DRS_VERTEXBLEND,
                  D3DRS_CLIPPLANEENABLE, D3DRS_SOFTWAREVERTEXPROCESSING, D3DRS_POINTSPRITEENABLE,
                  D3DRS_POINTSCALEENABLE, D3DRS_PATCHEDGESTYLE, D3DRS_PATCHSEGMENTS, D3DRS_POINTSIZE_MAX,
                  D3DRS_INDEXEDVERTEXBLENDENABLE, D3DRS_TWEENFACTOR})
        rs[s] = 0;
    for (int s : {D3DRS_ZENABLE, D3DRS_ZWRITEENABLE, D3DRS_LASTPIXEL, D3DRS_DESTBLEND, D3DRS_STENCILFAIL,
                  D3DRS_STENCILZFAIL, D3DRS_STENCILPASS, D3DRS_CLIPPING, D3DRS_LIGHTING, D3DRS_COLORVERTEX,
                  D3DRS_LOCALVIEWER, D3DRS_DIFFUSEMATERIALSOURCE, D3DRS_MULTISAMPLEANTIALIAS, D3DRS_BLENDOP,
                  D3DRS_NORMALORDER})
        rs[s] = 1;
    for (int s : {D3DRS_SHADEMODE, D3DRS_SRCBLEND, D3DRS_SPECULARMATERIALSOURCE})
        rs[s] = 2;
    for (int s : {D3DRS_FILLMODE, D3DRS_CULLMODE, D3DRS_POSITIONORDER})
        rs[s] = 3;
    rs[D3DRS_ZFUNC] = 4;
    rs[D3DRS_ALPHAFUNC] = rs[D3DRS_STENCILFUNC] = 8;
    rs[D3DRS_COLORWRITEENABLE] = 15;
    for (int s : {D3DRS_FOGSTART, D3DRS_FOGEND, D3DRS_FOGDENSITY, D3DRS_POINTSIZE, D3DRS_POINTSIZE_MIN,
                  D3DRS_POINTSCALE_A, D3DRS_POINTSCALE_B, D3DRS_POINTSCALE_C})
        rs[s] = FloatBits(1.0f);
    for (int s : {D3DRS_STENCILMASK, D3DRS_STENCILWRITEMASK, D3DRS_TEXTUREFACTOR, D3DRS_MULTISAMPLEMASK})
        rs[s] = 0xFFFFFFFF;
    rs[D3DRS_DEBUGMONITORTOKEN] = 0xBAADCAFE;

    for (int stage = 0; stage < kStages; ++stage)
    {
        DWORD* ts = m_StageValues + stage * kStageTypes;
        ts[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        ts[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        ts[D3DTSS_COLORARG1] = ts[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        for (int t : {D3DTSS_COLORARG2, D3DTSS_ALPHAARG2, D3DTSS_COLORARG0, D3DTSS_ALPHAARG0, D3DTSS_RESULTARG})
            ts[t] = D3DTA_CURRENT;
        ts[D3DTSS_TEXCOORDINDEX] = DWORD(stage);
        for (int t : {D3DTSS_ADDRESSU, D3DTSS_ADDRESSV, D3DTSS_ADDRESSW})
            ts[t] = D3DTADDRESS_WRAP;
        ts[D3DTSS_MAGFILTER] = ts[D3DTSS_MINFILTER] = D3DTEXF_POINT;
        ts[D3DTSS_MAXANISOTROPY] = 1;
        for (int t : {D3DTSS_BUMPENVMAT00, D3DTSS_BUMPENVMAT01, D3DTSS_BUMPENVMAT10, D3DTSS_BUMPENVMAT11,
                      D3DTSS_BORDERCOLOR, D3DTSS_MIPFILTER, D3DTSS_MIPMAPLODBIAS, D3DTSS_MAXMIPLEVEL,
                      D3DTSS_BUMPENVLSCALE, D3DTSS_BUMPENVLOFFSET, D3DTSS_TEXTURETRANSFORMFLAGS})
            ts[t] = 0;
    }
}

// Indices come from effect files and other data: a bad one is logged once
// and the call skipped rather than writing past the arrays.
bool RenderStateManager::CheckState(DWORD state) const
{
    if (state < DWORD(kRenderStates))
        return true;
    if (!m_bReportedBadIndex)
        g_Log.Printf("RenderStateManager: render state %lu is out of range; ignored\n", (unsigned long)state);
    m_bReportedBadIndex = true;
    return false;
}

bool RenderStateManager::CheckStage(DWORD stage, DWORD type) const
{
    if (stage < DWORD(kStages) && type < DWORD(kStageTypes))
        return true;
    if (!m_bReportedBadIndex)
        g_Log.Printf("RenderStateManager: texture stage %lu state %lu is out of range; ignored\n",
                     (unsigned long)stage, (unsigned long)type);
    m_bReportedBadIndex = true;
    return false;
}

bool RenderStateManager::CheckLight(DWORD index) const
{
    if (index < DWORD(kLights))
        return true;
    if (!m_bReportedBadIndex)
        g_Log.Printf("RenderStateManager: light %lu is out of range; ignored\n", (unsigned long)index);
    m_bReportedBadIndex = true;
    return false;
}

void RenderStateManager::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (!CheckState(state) || m_StateValues[state] == value)
        return;
    if (!m_StateChanged[m_Level][state])
    {
        m_StateChanged[m_Level][state] = 1;
        m_StateUndo[m_Level][m_StateUndoCount[m_Level]++] = {DWORD(state), m_StateValues[state]};
    }
    if (m_pDevice)
        m_pDevice->SetRenderState(state, value);
    m_StateValues[state] = value;
}

DWORD RenderStateManager::GetRenderState(D3DRENDERSTATETYPE state) const
{
    return CheckState(state) ? m_StateValues[state] : 0;
}

void RenderStateManager::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (!CheckStage(stage, type))
        return;
    const int entry = int(stage) * kStageTypes + int(type);
    if (m_StageValues[entry] == value)
        return;
    if (!m_StageChanged[m_Level][entry])
    {
        m_StageChanged[m_Level][entry] = 1;
        m_StageUndo[m_Level][m_StageUndoCount[m_Level]++] = {stage, DWORD(type), m_StageValues[entry]};
    }
    if (m_pDevice)
        m_pDevice->SetTextureStageState(stage, type, value);
    m_StageValues[entry] = value;
}

DWORD RenderStateManager::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const
{
    return CheckStage(stage, type) ? m_StageValues[stage * kStageTypes + type] : 0;
}

void RenderStateManager::PushStates()
{
    if (m_Level + 1 >= kLevels)
    {
        if (!m_bReportedBadLevel)
            g_Log.Printf("RenderStateManager: more than %d nested pushes\n", kLevels - 1);
        m_bReportedBadLevel = true;
        return;
    }
    ++m_Level;
    memset(m_StateChanged[m_Level], 0, sizeof(m_StateChanged[m_Level]));
    memset(m_StageChanged[m_Level], 0, sizeof(m_StageChanged[m_Level]));
    m_StateUndoCount[m_Level] = 0;
    m_StageUndoCount[m_Level] = 0;
}

void RenderStateManager::PopStates()
{
    if (m_Level == 0)
    {
        if (!m_bReportedBadLevel)
            g_Log.Printf("RenderStateManager: pop without a push\n");
        m_bReportedBadLevel = true;
        return;
    }
    for (int i = 0; i < m_StateUndoCount[m_Level]; ++i)
    {
        const StateUndo& u = m_StateUndo[m_Level][i];
        if (m_StateValues[u.state] != u.previous)
        {
            if (m_pDevice)
                m_pDevice->SetRenderState(D3DRENDERSTATETYPE(u.state), u.previous);
            m_StateValues[u.state] = u.previous;
        }
    }
    for (int i = 0; i < m_StageUndoCount[m_Level]; ++i)
    {
        const StageUndo& u = m_StageUndo[m_Level][i];
        const int entry = int(u.stage) * kStageTypes + int(u.type);
        if (m_StageValues[entry] != u.previous)
        {
            if (m_pDevice)
                m_pDevice->SetTextureStageState(u.stage, D3DTEXTURESTAGESTATETYPE(u.type), u.previous);
            m_StageValues[entry] = u.previous;
        }
    }
    --m_Level;
}

int RenderStateManager::TransformSlot(D3DTRANSFORMSTATETYPE type)
{
    switch (int(type))
    {
    case D3DTS_VIEW: return 1;
    case D3DTS_WORLD: return 2;
    case D3DTS_PROJECTION: return 3;
    case D3DTS_WORLD1: return 4;
    case D3DTS_WORLD2: return 5;
    case D3DTS_WORLD3: return 6;
    default:
        if (type >= D3DTS_TEXTURE0 && type <= D3DTS_TEXTURE7)
            return 7 + (type - D3DTS_TEXTURE0);
        return 0; // the shared slot for every other type
    }
}

HRESULT RenderStateManager::SetTransform(const D3DMATRIX* pMatrix, D3DTRANSFORMSTATETYPE type)
{
    if (!pMatrix)
        return D3DERR_INVALIDCALL;
    D3DMATRIX& slot = m_Transforms[TransformSlot(type)];
    if (&slot != pMatrix)
        slot = *pMatrix;
    if (!m_pDevice)
        return D3DERR_INVALIDCALL;

    if (type == D3DTS_PROJECTION && m_DepthBias > kEpsilon && fabsf(slot._33) > kEpsilon)
    {
        // Move the near plane out by the bias, keeping field of view, aspect
        // and far plane: depth values shift towards the viewer's back.
        const float zf = slot._43 / (1.0f - slot._33);
        const float zn = zf * (1.0f - 1.0f / slot._33);
        const float biasedNear = zn + zn * m_DepthBias;
        const float fov = 2.0f * atanf(1.0f / slot._22);
        const float aspect = slot._22 / slot._11;
        D3DXMATRIX biased;
        D3DXMatrixPerspectiveFovLH(&biased, fov, aspect, biasedNear, zf);
        return m_pDevice->SetTransform(type, &biased);
    }
    return m_pDevice->SetTransform(type, &slot);
}

const D3DMATRIX* RenderStateManager::GetTransform(D3DTRANSFORMSTATETYPE type) const
{
    return &m_Transforms[TransformSlot(type)];
}

void RenderStateManager::SetDepthBias(float bias)
{
    if (fabsf(bias - m_DepthBias) <= kEpsilon)
        return;
    m_DepthBias = bias;
    SetTransform(&m_Transforms[TransformSlot(D3DTS_PROJECTION)], D3DTS_PROJECTION);
}

HRESULT RenderStateManager::SetLight(DWORD index, const D3DLIGHT8* pLight)
{
    if (!CheckLight(index) || !pLight || !m_pDevice)
        return D3DERR_INVALIDCALL;
    const HRESULT hr = m_pDevice->SetLight(index, pLight);
    if (SUCCEEDED(hr))
        m_Lights[index].light = *pLight;
    return hr;
}

HRESULT RenderStateManager::GetLight(DWORD index, D3DLIGHT8* pLight) const
{
    if (!CheckLight(index) || !pLight)
        return E_FAIL;
    *pLight = m_Lights[index].light;
    return m_Lights[index].enabled ? S_OK : E_FAIL;
}

HRESULT RenderStateManager::LightEnable(DWORD index, BOOL enable)
{
    if (!CheckLight(index))
        return D3DERR_INVALIDCALL;
    const int flag = enable ? 1 : 0;
    if (m_Lights[index].enabled == flag)
        return S_OK;
    if (!m_pDevice)
        return D3DERR_INVALIDCALL;
    const HRESULT hr = m_pDevice->LightEnable(index, flag);
    if (SUCCEEDED(hr))
    {
        m_Lights[index].enabled = flag;
        m_EnabledLightCount += flag ? 1 : -1;
    }
    return hr;
}

bool RenderStateManager::IsLightEnabled(DWORD index) const
{
    return CheckLight(index) && m_Lights[index].enabled != 0;
}

HRESULT RenderStateManager::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                               IDirect3DVertexBuffer8** ppOut)
{
    if (!m_pDevice)
        return D3DERR_INVALIDCALL;
    const HRESULT hr = m_pDevice->CreateVertexBuffer(length, usage, fvf, pool, ppOut);
    if (SUCCEEDED(hr) && ppOut && *ppOut)
        m_VideoMemory += length;
    return hr;
}

HRESULT RenderStateManager::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                              IDirect3DIndexBuffer8** ppOut)
{
    if (!m_pDevice)
        return D3DERR_INVALIDCALL;
    const HRESULT hr = m_pDevice->CreateIndexBuffer(length, usage, format, pool, ppOut);
    if (SUCCEEDED(hr) && ppOut && *ppOut)
        m_VideoMemory += length;
    return hr;
}

HRESULT RenderStateManager::CreateTextureFromMemory(const void* pData, UINT size, UINT width, UINT height,
                                                    UINT mipLevels, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                                    DWORD mipFilter, D3DXIMAGE_INFO* pInfo, IDirect3DTexture8** ppOut)
{
    if (!m_pDevice)
        return D3DERR_INVALIDCALL;
    const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(m_pDevice, pData, size, width, height, mipLevels, 0,
                                                           format, pool, filter, mipFilter, 0, pInfo, nullptr, ppOut);
    if (SUCCEEDED(hr) && ppOut)
        AddTextureMemory(*ppOut);
    return hr;
}

HRESULT RenderStateManager::CreateRenderTargetTexture(UINT width, UINT height, D3DFORMAT format,
                                                      IDirect3DTexture8** ppOut)
{
    if (!m_pDevice)
        return D3DERR_INVALIDCALL;
    const HRESULT hr =
        D3DXCreateTexture(m_pDevice, width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, ppOut);
    if (SUCCEEDED(hr) && ppOut)
        AddTextureMemory(*ppOut);
    return hr;
}

HRESULT RenderStateManager::CreateRenderTargetTextureDirect(UINT width, UINT height, D3DFORMAT format,
                                                            IDirect3DTexture8** ppOut)
{
    if (!m_pDevice)
        return D3DERR_INVALIDCALL;
    const HRESULT hr = m_pDevice->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, ppOut);
    if (SUCCEEDED(hr) && ppOut)
        AddTextureMemory(*ppOut);
    return hr;
}

HRESULT RenderStateManager::CreateLogoTexture(D3DXIMAGE_INFO* pInfo)
{
    if (!m_pDevice)
        return D3DERR_INVALIDCALL;
    const HRESULT hr = D3DXCreateTextureFromFileExA(m_pDevice, "logo.jpg", D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                                    D3DFMT_UNKNOWN, D3DPOOL_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                    pInfo, nullptr, &g_pLogoTexture);
    if (SUCCEEDED(hr))
        AddTextureMemory(g_pLogoTexture);
    return hr;
}

HRESULT RenderStateManager::CreateLogoTextureFromResource(D3DXIMAGE_INFO* pInfo)
{
    if (!m_pDevice)
        return D3DERR_INVALIDCALL;
    const HRESULT hr = D3DXCreateTextureFromResourceExA(m_pDevice, nullptr, MAKEINTRESOURCEA(104), D3DX_DEFAULT,
                                                        D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT,
                                                        D3DX_DEFAULT, D3DX_DEFAULT, 0, pInfo, nullptr, &g_pLogoTexture);
    if (SUCCEEDED(hr))
        AddTextureMemory(g_pLogoTexture);
    return hr;
}

void RenderStateManager::AddTextureMemory(IDirect3DTexture8* pTexture)
{
    m_VideoMemory += GetTextureMemorySize(pTexture);
}

DWORD GetTextureMemorySize(IDirect3DTexture8* pTexture)
{
    if (!pTexture)
        return 0;
    DWORD total = 0;
    const DWORD levels = pTexture->GetLevelCount();
    for (DWORD i = 0; i < levels; ++i)
    {
        D3DSURFACE_DESC desc;
        if (SUCCEEDED(pTexture->GetLevelDesc(i, &desc)))
            total += desc.Size;
    }
    return total;
}
