// Wallpaper mode in the framework: the textures, the overlay shader and the
// per-frame hand-over of the drawn frame to the desktop presenter.
#include <windows.h>

#include "D3DUtils.h"
#include "Log.h"
#include "RenderStateManager.h"
#include "RenderToDesktop.h"
#include "d3dapp.h"
#include "d3dx8.h"

namespace {

// The first presented frame only ends this wait; the colour key follows on
// the next one.
bool g_bColorKeyWait = true;

} // namespace

HRESULT CD3DApplication::CreateWallpaperTextures()
{
    const UINT w = m_d3dsdBackBuffer.Width, h = m_d3dsdBackBuffer.Height;
    const struct
    {
        ComRef<IDirect3DTexture8>* texture;
        DWORD usage;
        D3DPOOL pool;
        const char* message;
    } steps[] = {
        {&m_pWallpaperTexture, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
         "Failed to create wallpaper render target texture: %s\n"},
        {&m_pWallpaperLockable, 0, D3DPOOL_MANAGED, "Failed to create wallpaper lockable texture: %s\n"},
        {&m_pOverlayTexture, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
         "Failed to create overlay render target texture: %s\n"},
    };
    for (const auto& step : steps)
    {
        if (!m_bWallpaperRunning)
            return E_FAIL;
        const HRESULT hr =
            m_pd3dDevice->CreateTexture(w, h, 1, step.usage, D3DFMT_X8R8G8B8, step.pool, step.texture->Put());
        if (FAILED(hr))
        {
            step.texture->Detach(); // a failed creation hands back no texture
            m_bWallpaperRunning = false;
            g_Log.Printf(step.message, GetErrorString(hr).c_str());
            return hr;
        }
    }
    return S_OK;
}

HRESULT CD3DApplication::SetupWallpaper()
{
    HRESULT hr = CreateWallpaperTextures();
    if (FAILED(hr))
        return hr;
    if (!m_bWallpaperRunning)
        return E_FAIL;

    m_pRenderToDesktop.reset();
    m_pRenderToDesktop = std::make_unique<RenderToDesktop>();

    // The overlay cannot show through a composed desktop.
    if (HMODULE dwm = LoadLibraryA("dwmapi.dll"))
    {
        typedef HRESULT(WINAPI * IsEnabledFn)(BOOL*);
        typedef HRESULT(WINAPI * EnableFn)(UINT);
        IsEnabledFn isEnabled =
            reinterpret_cast<IsEnabledFn>(reinterpret_cast<void (*)()>(GetProcAddress(dwm, "DwmIsCompositionEnabled")));
        EnableFn enable =
            reinterpret_cast<EnableFn>(reinterpret_cast<void (*)()>(GetProcAddress(dwm, "DwmEnableComposition")));
        BOOL enabled = FALSE;
        if (isEnabled && enable && SUCCEEDED(isEnabled(&enabled)) && enabled)
            enable(0); // DWM_EC_DISABLECOMPOSITION
        FreeLibrary(dwm);
    }

    m_pRenderToDesktop->SaveWallpaperState();
    hr = m_pRenderToDesktop->InitOverlayRenderer(int(m_d3dsdBackBuffer.Width), int(m_d3dsdBackBuffer.Height));
    if (FAILED(hr))
    {
        m_bWallpaperRunning = false;
        g_Log.Printf("Failed to initialize RenderToDesktop object: %s\n", GetErrorString(hr).c_str());
        return hr;
    }
    if (m_pOverlayTexture)
        CreateOverlayShader();
    return S_OK;
}

void CD3DApplication::CreateOverlayShader()
{
    ComRef<ID3DXBuffer> code, errors;
    if (FAILED(D3DXAssembleShaderFromFileA("Overlay.psh", 0, nullptr, code.Put(), errors.Put())))
    {
        code.Reset();
        errors.Reset();
        if (FAILED(D3DXAssembleShaderFromResourceA(nullptr, "Overlay.psh", 0, nullptr, code.Put(), errors.Put())))
        {
            code.Reset();
            if (errors)
                g_Log.Printf("%s\n", static_cast<const char*>(errors->GetBufferPointer()));
        }
    }
    if (code)
    {
        if (FAILED(m_pd3dDevice->CreatePixelShader(static_cast<const DWORD*>(code->GetBufferPointer()),
                                                   &m_dwOverlayShader)))
        {
            m_dwOverlayShader = 0;
            g_Log.Printf("Failed to create pixel shader.\n");
        }
    }
    else
    {
        g_Log.Printf("Failed to assemble overlay shader.\n");
        if (errors)
            g_Log.Printf("%s\n", static_cast<const char*>(errors->GetBufferPointer()));
    }
    if (m_dwOverlayShader && m_pRenderToDesktop && m_pRenderToDesktop->HasRenderer())
        m_pRenderToDesktop->SetPreconverted();
}

void CD3DApplication::RenderOverlayPass()
{
    RenderStateManager& rsm = RenderStateManager::Instance();
    rsm.PushStates();
    m_pd3dDevice->BeginScene();
    m_pd3dDevice->SetPixelShader(m_dwOverlayShader);
    DrawFullTargetQuad(m_pd3dDevice, m_d3dsdBackBuffer.Width, m_d3dsdBackBuffer.Height, m_pWallpaperTexture);
    m_pd3dDevice->EndScene();
    rsm.PopStates();
}

HRESULT CD3DApplication::PresentToDesktop()
{
    HRESULT hr = m_pd3dDevice->TestCooperativeLevel();
    if (FAILED(hr))
        return hr;
    if (!m_pRenderToDesktop || !m_pRenderToDesktop->IsReady() || !m_pWallpaperLockable)
        return E_FAIL;

    ComRef<IDirect3DSurface8> lockable, target, depth;
    bool overlayPass = false;
    hr = m_pWallpaperLockable->GetSurfaceLevel(0, lockable.Put());
    if (SUCCEEDED(hr) && m_pOverlayTexture && m_dwOverlayShader)
    {
        ComRef<IDirect3DSurface8> overlay;
        hr = m_pOverlayTexture->GetSurfaceLevel(0, overlay.Put());
        if (SUCCEEDED(hr))
        {
            if (FAILED(m_pd3dDevice->GetDepthStencilSurface(depth.Put())))
                depth.Detach(); // a failed call hands back no surface
            hr = m_pd3dDevice->SetRenderTarget(overlay, depth);
        }
        if (SUCCEEDED(hr))
        {
            overlayPass = true;
            RenderOverlayPass();
        }
    }
    if (SUCCEEDED(hr))
        hr = m_pd3dDevice->GetRenderTarget(target.Put());
    if (SUCCEEDED(hr))
        hr = m_pd3dDevice->CopyRects(target, nullptr, 0, lockable, nullptr);
    if (SUCCEEDED(hr))
    {
        D3DLOCKED_RECT lr;
        hr = lockable->LockRect(&lr, nullptr, D3DLOCK_READONLY);
        if (SUCCEEDED(hr))
        {
            hr = m_pRenderToDesktop->DrawFrame(static_cast<const BYTE*>(lr.pBits), int(lr.Pitch));
            lockable->UnlockRect();
        }
    }
    if (SUCCEEDED(hr) && !m_bColorKeyApplied)
    {
        if (g_bColorKeyWait)
            g_bColorKeyWait = false;
        else
        {
            m_pRenderToDesktop->ApplyColorKey();
            m_bColorKeyApplied = true;
        }
    }
    if (overlayPass)
    {
        ComRef<IDirect3DSurface8> wallpaper;
        if (SUCCEEDED(m_pWallpaperTexture->GetSurfaceLevel(0, wallpaper.Put())))
            m_pd3dDevice->SetRenderTarget(wallpaper, depth);
    }
    return hr;
}
