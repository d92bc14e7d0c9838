// The old-film look: its set-up in the scene, the hotkey, and its drawing
// as the last pass of a frame.
#include "TarnholmOldMovie.h"

#include "D3DUtils.h"
#include "Log.h"
#include "RenderStateManager.h"
#include "TarnholmApp.h"

namespace
{
// The ramp is set as given, not through the display's calibration.
const DWORD kNoCalibration = 0;

static_assert(sizeof(GammaChannels) == sizeof(D3DGAMMARAMP), "the ramp layouts differ");

class DeviceGamma : public GammaDevice
{
public:
    explicit DeviceGamma(IDirect3DDevice8* device) : m_pDevice(device) {}
    bool GetRamp(GammaChannels& ramp) override
    {
        m_pDevice->GetGammaRamp(reinterpret_cast<D3DGAMMARAMP*>(&ramp));
        return true;
    }
    void SetRamp(const GammaChannels& ramp) override
    {
        m_pDevice->SetGammaRamp(kNoCalibration, reinterpret_cast<const D3DGAMMARAMP*>(&ramp));
    }

private:
    IDirect3DDevice8* m_pDevice;
};

bool LoadPicture(const char* name, ComRef<IDirect3DTexture8>& texture)
{
    texture.Reset(LoadTextureFromStorage(name));
    if (!texture)
        g_Log.Printf("Error: the old movie picture \"%s\" is missing or cannot be made\n", name);
    return texture != nullptr;
}

// The states every overlay quad is drawn with: no depth, no fog, added
// onto the picture.
void PushOverlayStates(IDirect3DDevice8* device)
{
    RenderStateManager& rsm = RenderStateManager::Instance();
    rsm.PushStates();
    rsm.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    rsm.SetRenderState(D3DRS_ZENABLE, FALSE);
    rsm.SetRenderState(D3DRS_ZBIAS, 0);
    rsm.SetRenderState(D3DRS_FOGENABLE, FALSE);
    rsm.SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    rsm.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    rsm.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    rsm.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    rsm.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    rsm.SetRenderState(D3DRS_LIGHTING, FALSE);
    rsm.SetRenderState(D3DRS_COLORVERTEX, TRUE);
    rsm.SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    for (DWORD stage = 1; stage < 3; ++stage)
    {
        rsm.SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_DISABLE);
        rsm.SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    }
    device->SetPixelShader(0);
}
} // namespace

void OldMoviePostEffect::LoadTextures(IDirect3DDevice8* device)
{
    m_Timer.SetTime(0);
    D3DVIEWPORT8 view;
    if (device && SUCCEEDED(device->GetViewport(&view)))
        SetViewport(view.X, view.Y, view.Width, view.Height);
    m_bScratchLayer = LoadPicture("OldMovieScratches.jpg", m_pScratchesTexture);
    m_bLineLayer = LoadPicture("OldMovieLine.jpg", m_pLineTexture);
    m_bScreenLayer = LoadPicture("OldMovieScreen.jpg", m_pScreenTexture);
}

void OldMoviePostEffect::Render(IDirect3DDevice8* device)
{
    if (!IsEnabled())
    {
        RestoreGamma(device);
        // The scratches and lines live only while the look is drawn.
        ClearAnimation();
        return;
    }
    if (!m_Gamma.IsTinted())
        ApplyGammaTint(device);
    D3DVIEWPORT8 view;
    if (FAILED(device->GetViewport(&view)))
        return;
    SetViewport(view.X, view.Y, view.Width, view.Height);
    DrawTint(device);
    DrawScratches(device);
    UpdateLines(m_Timer.GetDelta());
    DrawLines(device);
    DrawScreen(device);
}

void OldMoviePostEffect::RestoreGamma(IDirect3DDevice8* device)
{
    if (!device || !m_Gamma.IsTinted())
        return;
    DeviceGamma gamma(device);
    m_Gamma.Restore(gamma);
    g_Log.Printf("The display's gamma ramp is given back\n");
}

void OldMoviePostEffect::ApplyGammaTint(IDirect3DDevice8* device)
{
    DeviceGamma gamma(device);
    m_Gamma.Tint(gamma, m_TintRed, m_TintGreen, m_TintBlue);
}

void OldMoviePostEffect::DrawTint(IDirect3DDevice8* device)
{
    struct Vertex
    {
        float x, y, z, rhw;
        DWORD colour;
    };
    const float x0 = float(m_ViewX), y0 = float(m_ViewY);
    const float x1 = x0 + float(m_ViewWidth), y1 = y0 + float(m_ViewHeight);
    const DWORD sepia = 0xffe5cc66;
    const Vertex quad[6] = {{x0, y0, 0, 1, sepia}, {x1, y0, 0, 1, sepia}, {x0, y1, 0, 1, sepia},
                            {x0, y1, 0, 1, sepia}, {x1, y0, 0, 1, sepia}, {x1, y1, 0, 1, sepia}};
    RenderStateManager& rsm = RenderStateManager::Instance();
    PushOverlayStates(device);
    // The picture times the sepia colour.
    rsm.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR);
    rsm.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    device->SetTexture(0, nullptr);
    rsm.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    rsm.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    rsm.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    rsm.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(Vertex));
    rsm.PopStates();
}

void OldMoviePostEffect::DrawTextured(IDirect3DDevice8* device, IDirect3DTexture8* texture,
                                      const OldMovieVertex* vertices, size_t quads)
{
    if (!texture || !quads)
        return;
    RenderStateManager& rsm = RenderStateManager::Instance();
    PushOverlayStates(device);
    device->SetTexture(0, texture);
    rsm.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    rsm.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    rsm.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    rsm.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    rsm.SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    rsm.SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    rsm.SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_NONE);
    rsm.SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    rsm.SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    rsm.SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    rsm.SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_TEX1);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(quads * 2), vertices, sizeof(OldMovieVertex));
    device->SetTexture(0, nullptr);
    rsm.PopStates();
}

void OldMoviePostEffect::DrawScratches(IDirect3DDevice8* device)
{
    if (!m_bScratchLayer)
        return;
    UpdateScratches(m_Timer.GetDelta());
    if (HasScratchSet() && AreScratchesVisible())
        DrawTextured(device, m_pScratchesTexture, m_ScratchVertices.data(), m_ScratchVertices.size() / 6);
}

void OldMoviePostEffect::DrawLines(IDirect3DDevice8* device)
{
    if (!m_bLineLayer || m_Lines.empty())
        return;
    std::vector<OldMovieVertex> vertices(m_Lines.size() * 6);
    for (size_t i = 0; i < m_Lines.size(); ++i)
        BuildLineVertices(m_Lines[i], &vertices[i * 6]);
    DrawTextured(device, m_pLineTexture, vertices.data(), m_Lines.size());
}

void OldMoviePostEffect::DrawScreen(IDirect3DDevice8* device)
{
    if (!m_bScreenLayer)
        return;
    OldMovieVertex quad[6];
    BuildOldMovieQuad(float(m_ViewX), float(m_ViewY), float(m_ViewX + m_ViewWidth), float(m_ViewY + m_ViewHeight), 0,
                      0, 1, 1, quad);
    DrawTextured(device, m_pScreenTexture, quad, 1);
}

void CTarnholmApp::InitOldMoviePostEffect()
{
    g_Log.Printf("Init old movie post effect\n");
    m_OldMovie.LoadTextures(m_pd3dDevice);
    m_OldMovie.ReadSettings(GetTuning());
    const bool on = GetSettingInt("EnableOldMovieEffect") > 0;
    m_OldMovie.SetEnabled(on);
    // Later edits read the switch from the tuning value: it starts as the
    // setting says.
    *GetTuning().GetValueOr("OldMoviePostEffect.Enable", 0) = on ? 1.0f : 0.0f;
}

void CTarnholmApp::ReadOldMovieSettings()
{
    TuningControl::CManager& tuning = GetTuning();
    m_OldMovie.ReadSettings(tuning);
    m_OldMovie.SetEnabled(*tuning.GetValueOr("OldMoviePostEffect.Enable", 0) > 0);
}

void CTarnholmApp::RenderOldMovie()
{
    m_OldMovie.Render(m_pd3dDevice);
}
