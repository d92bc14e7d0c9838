// One frame of the screensaver: clear, the scene, the listener, the
// overlays (tuning console, frame rate, screen messages, object
// information) and the frame statistics; and the timed screen messages.
#include <cstdio>
#include <memory>

#include "Camera.h"
#include "Log.h"
#include "ObjectInformation.h"
#include "ScreensaverApp.h"
#include "ScreensaverRules.h"

namespace
{
std::unique_ptr<ScreenMessageList>& MessageListHolder()
{
    static std::unique_ptr<ScreenMessageList> s_pList;
    return s_pList;
}
} // namespace

ScreenMessageList::ScreenMessageList() : m_Clock(1.0f, 0.0f) {}

ScreenMessageList& ScreenMessageList::Instance()
{
    std::unique_ptr<ScreenMessageList>& p = MessageListHolder();
    if (!p)
        p = std::make_unique<ScreenMessageList>();
    return *p;
}

void ScreenMessageList::Release()
{
    MessageListHolder().reset();
}

void ScreenMessageList::Add(float size, float delay, float duration, const std::string& text, float x, float y,
                            float red, float green, float blue, float alpha)
{
    Message m;
    m.m_Text = text;
    m.m_Start = m_Clock.GetTime() + delay;
    m.m_Duration = duration;
    m.m_X = x;
    m.m_Y = y;
    m.m_Colour[0] = red;
    m.m_Colour[1] = green;
    m.m_Colour[2] = blue;
    m.m_Colour[3] = alpha;
    m.m_Size = size;
    m.m_CurrentAlpha = 0;
    m_Messages.push_back(m);
}

void ScreenMessageList::SetStart(size_t index, float time)
{
    if (index < m_Messages.size())
        m_Messages[index].m_Start = time;
}

float ScreenMessageList::GetStart(size_t index) const
{
    return index < m_Messages.size() ? m_Messages[index].m_Start : 0.0f;
}

void ScreenMessageList::Draw(TextBatch& batch)
{
    const float now = m_Clock.GetTime();
    std::vector<Message> kept;
    kept.reserve(m_Messages.size());
    for (const Message& m : m_Messages)
        if (!ScreensaverRules::MessageExpired(now - m.m_Start, m.m_Duration))
            kept.push_back(m);
    m_Messages.swap(kept);

    for (Message& m : m_Messages)
    {
        const float t = now - m.m_Start;
        if (!ScreensaverRules::MessageVisible(t, m.m_Duration))
            continue;
        const float a = ScreensaverRules::MessageAlpha(t, m.m_Duration, m.m_Colour[3], m_FadeIn, m_FadeOut);
        m.m_CurrentAlpha = int(a * 255.0f);
        const float shadow[4] = {0.0f, 0.0f, 0.0f, a};
        const float at[2] = {m.m_X, m.m_Y};
        batch.AddText(m.m_Text, at, shadow, m.m_Size);
        const float colour[4] = {m.m_Colour[0], m.m_Colour[1], m.m_Colour[2], a};
        const float shifted[2] = {m.m_X - m_ShadowX, m.m_Y - m_ShadowY};
        batch.AddText(m.m_Text, shifted, colour, m.m_Size);
    }
}

int CScreensaverApp::GetMessageAlpha()
{
    return ScreenMessageList::Instance().GetFirstAlpha();
}

HRESULT CScreensaverApp::Render()
{
    if (!m_bFPSStartTaken)
    {
        m_bFPSStartTaken = true;
        m_fFPSStartTime = m_OverlayClock.GetTime();
    }

    IDirect3DDevice8* device = m_pd3dDevice;
    const DWORD clearFlags = D3DCLEAR_TARGET | (m_bUseDepthBuffer ? D3DCLEAR_ZBUFFER : 0);
    if (m_bWidescreenEmulation && (m_ClearColour & 0x00FFFFFF) != 0)
    {
        device->Clear(0, nullptr, clearFlags, 0xFF000000, 1.0f, 0);
        device->SetViewport(&m_LetterboxViewport);
        device->Clear(0, nullptr, clearFlags, m_ClearColour, 1.0f, 0);
        device->SetViewport(&m_FullViewport);
    }
    else
        device->Clear(0, nullptr, clearFlags, m_ClearColour, 1.0f, 0);

    if (FAILED(device->BeginScene()))
        return S_OK;
    m_bFirstFrameDrawn = true;

    if (m_bWidescreenEmulation)
        device->SetViewport(&m_LetterboxViewport);
    RenderFrame();
    if (m_bWidescreenEmulation)
        device->SetViewport(&m_FullViewport);

    if (m_bDirectSoundReady)
        UpdateSoundListener();

    const float scaleX = m_fScreenScaleX, scaleY = m_fScreenScaleY;
    if (*m_Tuning.GetValue("Tuning.EnableDraw") != 0.0f && m_bTuningConsoleAllowed &&
        *m_Tuning.GetValue("EnableControl") > 0.0f)
    {
        device->SetPixelShader(0);
        m_Tuning.Render(m_TextBatch, m_Tuning.ReadDrawParameters(m_fTextScale));
    }

    const float shiftX = *m_Tuning.GetValue("NamesTextShadowShiftX") * scaleX;
    const float shiftY = *m_Tuning.GetValue("NamesTextShadowShiftY") * scaleY;
    if (m_iShowFPS)
    {
        char text[64];
        std::snprintf(text, sizeof(text), "FPS: %4.1f", double(m_fFPS));
        const float colour[4] = {ScreensaverRules::ColourByte(*m_Tuning.GetValue("LogoColorR")) / 255.0f,
                                 ScreensaverRules::ColourByte(*m_Tuning.GetValue("LogoColorG")) / 255.0f,
                                 ScreensaverRules::ColourByte(*m_Tuning.GetValue("LogoColorB")) / 255.0f, 1.0f};
        const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        const float shadowAt[2] = {8.0f * scaleX, 8.0f * scaleY};
        const float textAt[2] = {8.0f * scaleX - shiftX, 8.0f * scaleY - shiftY};
        m_TextBatch.AddText(text, shadowAt, black, m_fTextScale);
        m_TextBatch.AddText(text, textAt, colour, m_fTextScale);
    }

    ScreenMessageList& messages = ScreenMessageList::Instance();
    messages.SetShadowOffset(shiftX, shiftY);
    messages.Draw(m_TextBatch);

    ObjectInformationManager& information = ObjectInformationManager::Instance();
    information.SetCamera(m_pMainScene ? m_pMainScene->GetActiveCamera() : nullptr);
    information.Render();

    m_TextBatch.Render();
    m_TextBatch.Clear();
    device->EndScene();

    ++m_FramesCounted;
    if (m_fFPS > 1.0f)
    {
        if (!m_bFPSRangeStarted)
        {
            m_bFPSRangeStarted = true;
            m_fLowestFPS = m_fHighestFPS = m_fFPS;
        }
        if (m_fFPS < m_fLowestFPS)
            m_fLowestFPS = m_fFPS;
        if (m_fFPS > m_fHighestFPS)
            m_fHighestFPS = m_fFPS;
    }
    return S_OK;
}
