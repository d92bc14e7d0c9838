// Off-screen render targets and the process-wide depth-buffer cache.
#include "RenderToTexture.h"

#include <cstdlib>
#include <vector>

#include "Log.h"
#include "SourceError.h"
#include "RenderStateManager.h"
#include "d3dx8.h"

static const char kSource[] = "..\\src\\Graphics\\RenderToTexture";

static void LogError(unsigned line)
{
    LogSourceError(kSource, line);
}

const char* GetTextureFormatName(D3DFORMAT format)
{
    switch (format)
    {
#define NAME(f)                                                                                                        \
    case D3DFMT_##f: return "D3DFMT_" #f;
        NAME(UNKNOWN) NAME(R8G8B8) NAME(A8R8G8B8) NAME(X8R8G8B8) NAME(R5G6B5) NAME(X1R5G5B5) NAME(A1R5G5B5)
        NAME(A4R4G4B4) NAME(R3G3B2) NAME(A8) NAME(A8R3G3B2) NAME(X4R4G4B4) NAME(A8P8) NAME(P8) NAME(L8) NAME(A8L8)
        NAME(A4L4) NAME(V8U8) NAME(L6V5U5) NAME(X8L8V8U8) NAME(Q8W8V8U8) NAME(V16U16) NAME(W11V11U10)
        NAME(D16_LOCKABLE) NAME(D32) NAME(D15S1) NAME(D24S8) NAME(D24X8) NAME(D24X4S4) NAME(D16) NAME(VERTEXDATA)
        NAME(INDEX16) NAME(INDEX32) NAME(DXT1) NAME(DXT2) NAME(DXT3) NAME(DXT4) NAME(DXT5) NAME(YUY2) NAME(UYVY)
#undef NAME
    default: return "UNKNOWN FORMAT";
    }
}

// The depth-buffer cache: its surfaces live until the process ends.
static std::vector<ComRef<IDirect3DSurface8>>& DepthCache()
{
    static std::vector<ComRef<IDirect3DSurface8>> s_Cache;
    return s_Cache;
}

void RenderToTexture::ReleaseDepthBufferCache()
{
    DepthCache().clear();
}

HRESULT RenderToTexture::GetDepthBuffer(UINT width, UINT height, D3DFORMAT format, IDirect3DSurface8** ppOut)
{
    g_Log.Printf(" RenderToTexture:  creating depth buffer %u x %u x %s... ", width, height,
                 GetTextureFormatName(format));
    std::vector<ComRef<IDirect3DSurface8>>& cache = DepthCache();
    for (IDirect3DSurface8* s : cache)
    {
        D3DSURFACE_DESC d;
        if (SUCCEEDED(s->GetDesc(&d)) && d.Width == width && d.Height == height && d.Format == format)
        {
            g_Log.Printf("found in cache\n");
            *ppOut = s;
            return S_OK;
        }
    }
    IDirect3DDevice8* device = RenderStateManager::Instance().GetDevice();
    ComRef<IDirect3DSurface8> surface;
    const HRESULT hr =
        device ? device->CreateDepthStencilSurface(width, height, format, D3DMULTISAMPLE_NONE, surface.Put())
               : D3DERR_INVALIDCALL;
    if (FAILED(hr))
    {
        g_Log.Printf("error %x\n", (unsigned)hr);
        return hr;
    }
    D3DSURFACE_DESC d = {};
    surface->GetDesc(&d);
    g_Log.Printf("real params %u x %u\n", d.Width, d.Height);
    // The cache keeps the reference; the caller borrows the surface.
    *ppOut = surface;
    cache.push_back(std::move(surface));
    return S_OK;
}

RenderToTexture::RenderToTexture() = default;

RenderToTexture::~RenderToTexture()
{
    ReleaseSurfaces();
}

void RenderToTexture::ReleaseCreationReferences()
{
    m_pSavedTarget.Reset();
    m_pPrimaryDepth.Reset();
}

void RenderToTexture::ReleaseSurfaces()
{
    m_OwnDepthRef.Reset();
    m_pOwnDepth = nullptr;
    m_bOwnDepthIsPrimary = false;
    m_pPrimaryDepth.Reset();
    m_pTexture.Reset();
}

HRESULT RenderToTexture::Create(IDirect3DDevice8* pDevice, bool useDepth, UINT width, UINT height,
                                bool sharePrimaryDepth)
{
    // A second creation starts from nothing.
    ReleaseSurfaces();
    ReleaseCreationReferences();
    m_pDevice.Reset();

    m_bReady = false;
    m_bCapsKnown = m_bPow2Required = false;
    if (!pDevice)
        return E_INVALIDARG;
    D3DCAPS8 caps;
    if (SUCCEEDED(pDevice->GetDeviceCaps(&caps)))
    {
        m_bCapsKnown = true;
        m_bPow2Required = (caps.TextureCaps & D3DPTEXTURECAPS_POW2) != 0;
    }
    m_bUseDepth = useDepth;
    m_pDevice = ComRef<IDirect3DDevice8>::Share(pDevice);

    HRESULT hr = pDevice->GetViewport(&m_SavedViewport);
    if (SUCCEEDED(hr))
        hr = pDevice->GetRenderTarget(m_pSavedTarget.Put());
    if (SUCCEEDED(hr))
        hr = pDevice->GetDepthStencilSurface(m_pPrimaryDepth.Put());
    if (SUCCEEDED(hr))
        hr = m_pSavedTarget->GetDesc(&m_TargetDesc);
    if (FAILED(hr))
    {
        ReleaseCreationReferences();
        return hr;
    }
    m_Format = m_TargetDesc.Format;

    const UINT w = width ? width : m_TargetDesc.Width;
    const UINT h = height ? height : m_TargetDesc.Height;
    const UINT rw = RoundToPowerOfTwo(w), rh = RoundToPowerOfTwo(h);
    m_Width = w;
    m_Height = h;
    if (m_bCapsKnown && m_bPow2Required && (!IsPowerOfTwo(w) || !IsPowerOfTwo(h)))
    {
        m_Width = rw;
        m_Height = rh;
    }

    RenderStateManager& rsm = RenderStateManager::Instance();
    g_Log.Printf(" RenderToTexture: Creating render target %u x %u x %s... ", m_Width, m_Height,
                 GetTextureFormatName(m_Format));
    hr = rsm.CreateRenderTargetTexture(m_Width, m_Height, m_Format, m_pTexture.Put());
    if (FAILED(hr))
    {
        char text[1024];
        D3DXGetErrorStringA(hr, text, sizeof(text));
        g_Log.Printf("error %x - ", (unsigned)hr);
        g_Log.Printf(" %s\n", text);
        LogError(299);
        m_pTexture.Reset();
        ReleaseCreationReferences();
        return hr;
    }
    D3DSURFACE_DESC level = {};
    m_pTexture->GetLevelDesc(0, &level);
    g_Log.Printf("real params %u x %u\n", level.Width, level.Height);
    if ((level.Width != m_Width && level.Width != rw) || (level.Height != m_Height && level.Height != rh))
    {
        m_Width = rw;
        m_Height = rh;
        m_pTexture.Reset();
        g_Log.Printf(" RenderToTexture:  adjusting params to %u x %u x %s... ", m_Width, m_Height,
                     GetTextureFormatName(m_Format));
        hr = rsm.CreateRenderTargetTexture(m_Width, m_Height, m_Format, m_pTexture.Put());
        if (FAILED(hr))
        {
            g_Log.Printf("error %x\n", (unsigned)hr);
            LogError(325);
            m_pTexture.Reset();
            ReleaseCreationReferences();
            return hr;
        }
        m_pTexture->GetLevelDesc(0, &level);
        g_Log.Printf("real params %u x %u\n", level.Width, level.Height);
    }
    m_Width = level.Width;
    m_Height = level.Height;

    D3DSURFACE_DESC depthDesc = {};
    m_pPrimaryDepth->GetDesc(&depthDesc);
    if (m_bUseDepth)
    {
        if (sharePrimaryDepth && m_Width == m_TargetDesc.Width && m_Height == m_TargetDesc.Height)
        {
            m_OwnDepthRef = m_pPrimaryDepth;
            m_pOwnDepth = m_OwnDepthRef.Get();
            m_bOwnDepthIsPrimary = true;
            g_Log.Printf(" RenderToTexture:  using primary depth buffer %u x %u x %s\n", depthDesc.Width,
                         depthDesc.Height, GetTextureFormatName(depthDesc.Format));
        }
        else
        {
            hr = GetDepthBuffer(m_Width, m_Height, depthDesc.Format, &m_pOwnDepth);
            if (FAILED(hr))
                hr = GetDepthBuffer(m_Width, m_Height, D3DFMT_D16, &m_pOwnDepth);
            if (FAILED(hr))
            {
                LogError(373);
                m_pOwnDepth = nullptr;
                ReleaseCreationReferences();
                m_pTexture.Reset();
                return hr;
            }
        }
    }

    m_pSavedTarget.Reset();
    m_TargetViewport = {0, 0, m_Width, m_Height, 0.0f, 1.0f};
    m_bReady = true;
    return S_OK;
}

void RenderToTexture::SetViewport(DWORD x, DWORD y, DWORD width, DWORD height, float minZ, float maxZ)
{
    m_TargetViewport = {x, y, width, height, minZ, maxZ};
}

HRESULT RenderToTexture::Begin(bool clear)
{
    if (!m_bReady)
    {
        LogError(405);
        return E_FAIL;
    }
    HRESULT hr = m_pDevice->GetViewport(&m_SavedViewport);
    if (FAILED(hr))
    {
        LogError(413);
        m_bReady = false;
        return hr;
    }
    m_pSavedTarget.Reset();
    hr = m_pDevice->GetRenderTarget(m_pSavedTarget.Put());
    if (FAILED(hr))
    {
        m_pSavedTarget.Reset();
        LogError(420);
        m_bReady = false;
        return hr;
    }
    ComRef<IDirect3DSurface8> level;
    hr = m_pTexture->GetSurfaceLevel(0, level.Put());
    if (SUCCEEDED(hr))
        hr = m_pDevice->SetRenderTarget(level, m_bUseDepth ? m_pOwnDepth : nullptr);
    if (FAILED(hr))
    {
        LogError(430);
        m_bReady = false;
        return hr;
    }
    hr = m_pDevice->SetViewport(&m_TargetViewport);
    if (FAILED(hr))
    {
        m_pDevice->SetRenderTarget(m_pSavedTarget.Get(), m_pPrimaryDepth.Get());
        m_pDevice->SetViewport(&m_SavedViewport);
        m_pSavedTarget.Reset();
        LogError(440);
        m_bReady = false;
        return hr;
    }
    if (clear)
        m_pDevice->Clear(0, nullptr, D3DCLEAR_TARGET | (m_bUseDepth ? D3DCLEAR_ZBUFFER : 0), 0, 1.0f, 0);
    return S_OK;
}

HRESULT RenderToTexture::End()
{
    if (!m_bReady)
        return E_FAIL;
    HRESULT hr = m_pDevice->SetRenderTarget(m_pSavedTarget.Get(), m_pPrimaryDepth.Get());
    // The device holds the target again: our reference from Begin goes.
    m_pSavedTarget.Reset();
    if (FAILED(hr))
    {
        LogError(463);
        m_bReady = false;
        return hr;
    }
    hr = m_pDevice->SetViewport(&m_SavedViewport);
    if (FAILED(hr))
    {
        LogError(470);
        m_bReady = false;
        return hr;
    }
    return S_OK;
}
