// The random blur: offset table, strength, and the passes drawn with the
// fixed-function texture stages.
#include "BlurRender.h"

#include <cmath>

#include "Font.h"
#include "Log.h"
#include "SourceError.h"
#include "RenderStateManager.h"
#include "d3dx8.h"

std::vector<std::pair<float, float>> g_BlurOffsets;

static const char kSource[] = "..\\src\\Graphics\\BlurRender";
static const int kOffsetCount = 10000;

static void LogError(unsigned line)
{
    LogSourceError(kSource, line);
}

DWORD CRandomBlur::GetTextureFVF(int count)
{
    if (count < 0 || count > 8)
    {
        g_Log.Printf("CRandomBlur::GetTextureFVF bad texture count %d.\n", count);
        return 0;
    }
    return DWORD(count) * 0x100;
}

CRandomBlur::CRandomBlur(IDirect3DDevice8* pDevice, IDirect3DTexture8* pSource, int size)
{
    m_bReady = true;
    m_pDevice = ComRef<IDirect3DDevice8>::Share(pDevice);
    m_pSource = ComRef<IDirect3DTexture8>::Share(pSource);
    if (!pDevice || !pSource)
    {
        m_bReady = false;
        return;
    }

    // The device must be able to tell its state, which every blur restores.
    if (FAILED(pDevice->GetRenderTarget(m_pSavedTarget.Put())))
    {
        m_pSavedTarget.Reset();
        LogError(568);
        m_bReady = false;
    }
    if (FAILED(pDevice->GetDepthStencilSurface(m_pSavedDepth.Put())))
    {
        m_pSavedDepth.Reset();
        LogError(574);
        m_bReady = false;
    }
    pDevice->GetViewport(&m_SavedViewport);
    ReleaseSavedState();

    D3DSURFACE_DESC desc = {};
    pSource->GetLevelDesc(0, &desc);
    m_SourceWidth = desc.Width;
    m_SourceHeight = desc.Height;
    UINT width = desc.Width, height = desc.Height;
    if (width == 0 || height == 0)
        g_Log.Printf("CRandomBlur constructor. Width: %u; Height: %u\n", width, height);
    if (size != 0)
        width = height = UINT(std::abs(size));
    if (width == 0 || height == 0)
        g_Log.Printf("CRandomBlur constructor. Width: %u; Height: %u\n", width, height);

    RenderStateManager& rsm = RenderStateManager::Instance();
    for (ComRef<IDirect3DTexture8>& target : m_pTargets)
    {
        const HRESULT hr =
            pDevice->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, desc.Format, D3DPOOL_DEFAULT, target.Put());
        if (FAILED(hr))
        {
            target.Reset();
            char text[200];
            D3DXGetErrorStringA(hr, text, sizeof(text));
            g_Log.Printf(" %s \n", text);
            LogError(610);
            m_bReady = false;
            break;
        }
        rsm.AddTextureMemory(target.Get());
    }
    if (width == 0 || height == 0)
        g_Log.Printf("CRandomBlur constructor. Width: %u; Height: %u\n", width, height);

    m_Rect = {0, 0, LONG(width), LONG(height)};
    m_TargetViewport = {0, 0, width, height, 0.0f, 1.0f};

    g_BlurOffsets.clear();
    g_BlurOffsets.reserve(kOffsetCount);
    for (int i = 0; i < kOffsetCount; ++i)
    {
        const float x = GaussianRandom();
        const float y = GaussianRandom();
        g_BlurOffsets.emplace_back(x, y);
    }
    g_BlurStrength = BlurStrengthConstants();
    m_Strength.passes = 1;
    m_Strength.taps = 1;
    m_Strength.spread = 0.0f;

    D3DCAPS8 caps = {};
    pDevice->GetDeviceCaps(&caps);
    // A vertex carries at most eight coordinate sets.
    m_MaxTaps = caps.MaxSimultaneousTextures < 1 ? 1 : caps.MaxSimultaneousTextures > 8 ? 8 : int(caps.MaxSimultaneousTextures);
    m_Stride = 16 + 8 * UINT(m_MaxTaps);
    m_Vertices.assign(6 * (4 + 2 * size_t(m_MaxTaps)), 0.0f);
}

CRandomBlur::~CRandomBlur()
{
    ReleaseSavedState();
}

void CRandomBlur::SetStrength(int level)
{
    if (level != m_Level)
        m_bPrepared = false;
    m_Level = level;
    m_Strength = ComputeBlurStrength(level);
}

void CRandomBlur::ReleaseSavedState()
{
    m_pSavedTarget.Reset();
    m_pSavedDepth.Reset();
}

bool CRandomBlur::SaveDeviceState()
{
    ReleaseSavedState();
    if (FAILED(m_pDevice->GetRenderTarget(m_pSavedTarget.Put())))
        m_pSavedTarget.Reset();
    // A device without a depth buffer has none to restore.
    if (FAILED(m_pDevice->GetDepthStencilSurface(m_pSavedDepth.Put())))
        m_pSavedDepth.Reset();
    if (!m_pSavedTarget || FAILED(m_pDevice->GetViewport(&m_SavedViewport)))
    {
        ReleaseSavedState();
        return false;
    }
    return true;
}

void CRandomBlur::RestoreDeviceState()
{
    if (FAILED(m_pDevice->SetRenderTarget(m_pSavedTarget.Get(), m_pSavedDepth.Get())))
    {
        LogError(1018);
        m_bReady = false;
    }
    if (FAILED(m_pDevice->SetViewport(&m_SavedViewport)))
    {
        LogError(1024);
        m_bReady = false;
    }
    // The device holds its target again: our references go.
    ReleaseSavedState();
}

IDirect3DTexture8* CRandomBlur::Blur()
{
    if (!m_bReady)
        return nullptr;
    if (!SaveDeviceState())
    {
        m_bReady = false;
        return nullptr;
    }
    if (m_Strength.IsOff())
    {
        RestoreDeviceState();
        return m_pSource.Get();
    }
    if (m_bReuse && m_bPrepared)
    {
        ReleaseSavedState();
        return m_pTargets[(m_Strength.passes + 1) % 2].Get();
    }
    for (int pass = 0; pass < m_Strength.passes; ++pass)
    {
        IDirect3DTexture8* source = pass == 0 ? m_pSource.Get() : m_pTargets[(pass - 1) % 2].Get();
        if (FAILED(DrawPass(pass, source, m_pTargets[pass % 2].Get())))
        {
            LogError(pass == 0 ? 1053 : 1062);
            m_bReady = false;
            RestoreDeviceState();
            return nullptr;
        }
    }
    RestoreDeviceState();
    m_bPrepared = true;
    return m_pTargets[(m_Strength.passes + 1) % 2].Get();
}

void CRandomBlur::TapCoordinates(int pass, int tap, const std::pair<float, float>& mean, float cu, float cv,
                                 float* out) const
{
    const size_t n = g_BlurOffsets.size();
    const std::pair<float, float> e =
        n ? g_BlurOffsets[(size_t(pass) * size_t(m_Strength.taps) + size_t(tap)) % n] : std::make_pair(0.0f, 0.0f);
    const float width = float(m_Rect.right - m_Rect.left), height = float(m_Rect.bottom - m_Rect.top);
    out[0] = cu + 0.5f / width + m_Strength.spread * (e.first - mean.first);
    out[1] = cv + 0.5f / height + m_Strength.spread * (e.second - mean.second);
}

HRESULT CRandomBlur::DrawPass(int pass, IDirect3DTexture8* pSource, IDirect3DTexture8* pTarget)
{
    ComRef<IDirect3DSurface8> level;
    HRESULT hr = pTarget->GetSurfaceLevel(0, level.Put());
    if (SUCCEEDED(hr))
        hr = m_pDevice->SetRenderTarget(level, nullptr);
    if (FAILED(hr))
    {
        LogError(742);
        m_bReady = false;
        return hr;
    }
    hr = m_pDevice->SetViewport(&m_TargetViewport);
    if (FAILED(hr))
    {
        g_Log.Printf("ViewPort.W = %i, ViewPort.H = %i \n", int(m_TargetViewport.Width), int(m_TargetViewport.Height));
        g_Log.Printf(" Texture.W = %i,  Texture.H = %i \n", int(m_SourceWidth), int(m_SourceHeight));
        LogError(757);
        m_bReady = false;
        return hr;
    }
    m_pDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);

    RenderStateManager& rsm = RenderStateManager::Instance();
    rsm.PushStates();
    rsm.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    rsm.SetRenderState(D3DRS_ZENABLE, FALSE);
    rsm.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    rsm.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);

    // Every pass is centred on its own offsets.
    const int n = m_Strength.taps;
    std::pair<float, float> mean(0.0f, 0.0f);
    const size_t count = g_BlurOffsets.size();
    if (count)
    {
        for (int t = 0; t < n; ++t)
        {
            const std::pair<float, float>& e = g_BlurOffsets[(size_t(pass) * size_t(n) + size_t(t)) % count];
            mean.first += e.first;
            mean.second += e.second;
        }
        mean.first /= float(n);
        mean.second /= float(n);
    }
    const float weight = 1.0f / float(n);
    int tap = 0;
    for (int c : BlurTapGroups(n, m_MaxTaps))
    {
        if (c == 1)
            DrawSingle(pSource, tap, pass, weight, mean);
        else
            DrawGroup(pSource, tap, c, pass, weight, mean);
        tap += c;
    }
    rsm.PopStates();
    return S_OK;
}

static const float kCorners[6][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};

void CRandomBlur::DrawGroup(IDirect3DTexture8* pSource, int firstTap, int count, int pass, float weight,
                            const std::pair<float, float>& mean)
{
    const size_t floats = 4 + 2 * size_t(m_MaxTaps);
    for (int v = 0; v < 6; ++v)
    {
        float* p = &m_Vertices[size_t(v) * floats];
        p[0] = float(kCorners[v][0] ? m_Rect.right : m_Rect.left);
        p[1] = float(kCorners[v][1] ? m_Rect.bottom : m_Rect.top);
        p[2] = 0.0f;
        p[3] = 1.0f;
        for (int t = 0; t < count; ++t)
            TapCoordinates(pass, firstTap + t, mean, kCorners[v][0], kCorners[v][1], p + 4 + 2 * t);
    }

    RenderStateManager& rsm = RenderStateManager::Instance();
    rsm.SetRenderState(D3DRS_FOGENABLE, FALSE);
    rsm.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    rsm.SetRenderState(D3DRS_ZENABLE, FALSE);
    rsm.SetRenderState(D3DRS_ZBIAS, 0);
    rsm.SetRenderState(D3DRS_TEXTUREFACTOR, PackColour(weight, weight, weight, weight));
    for (int s = 0; s < count; ++s)
    {
        const DWORD stage = DWORD(s);
        rsm.SetTextureStageState(stage, D3DTSS_COLORARG1, s == 0 ? D3DTA_TEXTURE : D3DTA_CURRENT);
        rsm.SetTextureStageState(stage, D3DTSS_COLORARG2, s == 0 ? D3DTA_TFACTOR : D3DTA_TEXTURE);
        rsm.SetTextureStageState(stage, D3DTSS_COLOROP, s == 0 ? D3DTOP_MODULATE : D3DTOP_MODULATEALPHA_ADDCOLOR);
        rsm.SetTextureStageState(stage, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
        rsm.SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        rsm.SetTextureStageState(stage, D3DTSS_ADDRESSU, D3DTADDRESS_MIRROR);
        rsm.SetTextureStageState(stage, D3DTSS_ADDRESSV, D3DTADDRESS_MIRROR);
        rsm.SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, stage);
        m_pDevice->SetTexture(stage, pSource);
    }
    if (count < 8)
    {
        rsm.SetTextureStageState(DWORD(count), D3DTSS_COLOROP, D3DTOP_DISABLE);
        rsm.SetTextureStageState(DWORD(count), D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    }
    m_pDevice->SetVertexShader(D3DFVF_XYZRHW | GetTextureFVF(m_MaxTaps));
    m_pDevice->SetPixelShader(0);
    m_pDevice->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, m_Vertices.data(), m_Stride);
    for (int s = 0; s < count; ++s)
        m_pDevice->SetTexture(DWORD(s), nullptr);
}

void CRandomBlur::DrawSingle(IDirect3DTexture8* pSource, int tap, int pass, float weight,
                             const std::pair<float, float>& mean)
{
    float vertices[6][6];
    for (int v = 0; v < 6; ++v)
    {
        vertices[v][0] = float(kCorners[v][0] ? m_Rect.right : m_Rect.left);
        vertices[v][1] = float(kCorners[v][1] ? m_Rect.bottom : m_Rect.top);
        vertices[v][2] = 0.0f;
        vertices[v][3] = 1.0f;
        TapCoordinates(pass, tap, mean, kCorners[v][0], kCorners[v][1], &vertices[v][4]);
    }
    RenderStateManager& rsm = RenderStateManager::Instance();
    rsm.PushStates();
    rsm.SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_MIRROR);
    rsm.SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_MIRROR);
    rsm.SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    m_pDevice->SetTexture(0, pSource);
    rsm.SetRenderState(D3DRS_TEXTUREFACTOR, PackColour(weight, weight, weight, weight));
    rsm.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    rsm.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    rsm.SetTextureStageState(0, D3DTSS_COLOROP,
                             std::fabs(weight - 1.0f) < 0.00001f ? D3DTOP_SELECTARG1 : D3DTOP_MODULATE);
    rsm.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    rsm.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    rsm.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    rsm.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    rsm.SetRenderState(D3DRS_FOGENABLE, FALSE);
    rsm.SetRenderState(D3DRS_ZENABLE, FALSE);
    rsm.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    rsm.SetRenderState(D3DRS_ZBIAS, 0);
    m_pDevice->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_TEX1);
    m_pDevice->SetPixelShader(0);
    m_pDevice->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, vertices, sizeof(vertices[0]));
    m_pDevice->SetTexture(0, nullptr);
    rsm.PopStates();
}
