// The loading screen: logo, percentage, progress line and the hotkey list,
// redrawn only when the whole percentage changes.
#include <cstdio>

#include "D3DUtils.h"
#include "EffectDraw.h"
#include "Log.h"
#include "RenderStateManager.h"
#include "ScreensaverApp.h"
#include "ScreensaverRules.h"

namespace
{
struct LineVertex
{
    float x, y, z, rhw;
    DWORD colour;
};

void DrawBar(IDirect3DDevice8* device, float left, float top, float right, float bottom, DWORD colour)
{
    const LineVertex quad[4] = {{left, top, 0, 1, colour},
                                {right, top, 0, 1, colour},
                                {right, bottom, 0, 1, colour},
                                {left, bottom, 0, 1, colour}};
    static const WORD kIndices[6] = {0, 1, 2, 0, 2, 3};
    device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, kIndices, D3DFMT_INDEX16, quad, sizeof(LineVertex));
}
} // namespace

void CScreensaverApp::ShowLoadingProgress(unsigned steps)
{
    m_LoadingDone += steps;
    const unsigned percent = ScreensaverRules::LoadingPercentage(m_LoadingDone, m_LoadingExpected);
    IDirect3DDevice8* device = m_pd3dDevice;
    if (device && percent <= 100 && percent != m_LastPercentShown)
    {
        m_LastPercentShown = percent;
        const unsigned w = m_d3dsdBackBuffer.Width, h = m_d3dsdBackBuffer.Height;
        device->Clear(0, nullptr, D3DCLEAR_TARGET | (m_bUseDepthBuffer ? D3DCLEAR_ZBUFFER : 0), 0, 1.0f, 0);
        device->BeginScene();

        RenderStateManager& rsm = RenderStateManager::Instance();
        if (!m_bLogoTried)
        {
            m_bLogoTried = true;
            D3DXIMAGE_INFO info = {};
            if (FAILED(rsm.CreateLogoTexture(&info)) && FAILED(rsm.CreateLogoTextureFromResource(&info)))
                g_Log.Printf("Warning: Can't load the logo\n");
            m_pLogo.Attach(g_pLogoTexture); // takes over the reference its creation made
            if (m_pLogo)
            {
                const ScreensaverRules::Rect r =
                    ScreensaverRules::LogoRect(info.Width, info.Height, w, h, GetAspectRatio());
                m_LogoRect = {r.left, r.top, r.right, r.bottom};
            }
        }
        if (m_pLogo)
            DrawRectangle(0xFFFFFFFF, device, m_pLogo, m_LogoRect);

        m_TextBatch.Clear();
        char format[64];
        std::snprintf(format, sizeof(format), "%s", Translate("Loading... %.1i%%"));
        char text[128];
        std::snprintf(text, sizeof(text), format, int(percent));
        const float at[2] = {400.0f * w / 800.0f, 470.0f * h / 600.0f};
        const float centre[2] = {0.5f, 0.5f};
        const float colour[4] = {110.0f / 255.0f, 110.0f / 255.0f, 110.0f / 255.0f, 1.0f};
        m_TextBatch.AddTextAligned(at, text, centre, colour, m_fTextScale * 1.5f);
        if (!m_bWallpaperMode)
            DrawHotkeyList(0xFF8C8C8C, 37, 645, 15);

        rsm.PushStates();
        device->SetTexture(0, nullptr);
        device->SetTexture(1, nullptr);
        rsm.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        rsm.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        rsm.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        rsm.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        rsm.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        rsm.SetRenderState(D3DRS_ZENABLE, FALSE);
        rsm.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        device->SetPixelShader(0);
        const float left = 330.0f * w / 800.0f, top = 499.0f * h / 600.0f, bottom = top + 0.002f * h;
        DrawBar(device, left, top, 470.0f * w / 800.0f, bottom, 0xFF8C8C8C);
        DrawBar(device, left, top, left + 140.0f * w / 800.0f * percent / 100.0f, bottom, 0xFFFFFFFF);

        OnDrawLoadingScreen();
        m_TextBatch.Render();
        m_TextBatch.Clear();
        device->EndScene();
        if (m_bWallpaperMode)
            PresentToDesktop();
        else
            device->Present(nullptr, nullptr, nullptr, nullptr);
        rsm.PopStates();
    }
    if (m_LoadingDone == m_LoadingExpected)
        ReleaseLogo();
}
