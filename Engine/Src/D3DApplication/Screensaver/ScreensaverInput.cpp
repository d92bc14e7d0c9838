// Input: the close rules of a screensaver, the hotkeys and their help list.
#include <exception>

#include "Camera.h"
#include "ControlledCamera.h"
#include "Log.h"
#include "ObjectInformation.h"
#include "Screenshot.h"
#include "ScreensaverApp.h"
#include "ScreensaverRules.h"

void CScreensaverApp::RegisterHotkey(int key, unsigned message, const std::string& keyName,
                                     const std::string& helpText, const HotkeyHandler& handler, intptr_t argument)
{
    m_Hotkeys.push_back({key, message, handler, keyName, helpText, argument});
}

LRESULT CScreensaverApp::MsgProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const bool wallpaperRuns = m_bWallpaperMode && m_bWallpaperRunning;
    if (wallpaperRuns && OnTrayMessage(hWnd, msg, wParam, lParam) == 0)
        return 0;

    switch (msg)
    {
    case WM_DESTROY:
        Close();
        break;
    case WM_ACTIVATEAPP:
        if (wParam == 0 && !wallpaperRuns)
            Close();
        break;
    case WM_SETCURSOR:
        if (!m_bWallpaperMode && !m_bShowCursorWhenFullscreen && !m_bWindowed)
            SetCursor(nullptr);
        return TRUE;
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (!m_bWallpaperMode)
            OnKeyOrButton(hWnd, msg, wParam, lParam);
        break;
    case WM_MOUSEMOVE:
        if (!m_bWallpaperMode)
            OnMouseMove(hWnd, msg, wParam, lParam);
        break;
    case WM_USER:
        OnMonitorPower(hWnd, msg, wParam, lParam);
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE || (wParam & 0xFFF0) == SC_SCREENSAVE)
            return 0;
        break;
    default: break;
    }
    return CD3DApplication::MsgProc(hWnd, msg, wParam, lParam);
}

bool CScreensaverApp::OnKeyOrButton(HWND, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const bool ctrl = ((GetKeyState(VK_LCONTROL) | GetKeyState(VK_RCONTROL)) & 0xF000) != 0;
    if (msg == WM_LBUTTONDOWN && ctrl)
        ObjectInformationManager::Instance().Pick(0, int(short(LOWORD(lParam))), int(short(HIWORD(lParam))));
    if (!ctrl)
        for (const HotkeyBinding& hotkey : m_Hotkeys)
            if (WPARAM(hotkey.m_Key) == wParam && hotkey.m_Message == msg && hotkey.m_Handler &&
                hotkey.m_Handler(hotkey.m_Argument))
                return true;
    if (!m_bFirstFrameDrawn)
        return true;
    // PrintScreen is for taking pictures of the running screensaver.
    if (msg == WM_KEYDOWN && wParam == VK_SNAPSHOT)
        return false;
    if (m_bWallpaperMode && m_bWallpaperRunning)
        return false;
    g_Log.Printf("Input, closing\n");
    Close();
    return false;
}

bool CScreensaverApp::OnMouseMove(HWND, UINT, WPARAM, LPARAM lParam)
{
    if (!m_bFirstFrameDrawn)
        return true;
    if (GetSettingInt("DisableOnMouseActivate") == 0 && !(m_bWallpaperMode && m_bWallpaperRunning))
    {
        const int x = short(LOWORD(lParam)), y = short(HIWORD(lParam));
        if (m_LastMouseX == -1)
            m_LastMouseX = x;
        if (m_LastMouseY == -1)
            m_LastMouseY = y;
        if (x != m_LastMouseX || y != m_LastMouseY)
        {
            g_Log.Printf("Mouse moved, closing\n");
            Close();
        }
    }
    return false;
}

void CScreensaverApp::SetCameraAspect(Object* object, void* aspect)
{
    if (object && object->GetTypeId() == OBJECT_TYPE_CAMERA)
        static_cast<Camera*>(object)->SetAspect(*static_cast<const float*>(aspect));
}

bool CScreensaverApp::OnHotkey(intptr_t key)
{
    switch (key)
    {
    case 'F':
        if (m_bDisableF)
            return false;
        m_iShowFPS = !m_iShowFPS;
        m_bFPSToggled = true;
        return true;
    case 'M':
        if (m_bDisableM)
            return false;
        ToggleMuteAll();
        return true;
    case 'P':
        try
        {
            Screenshot(m_pd3dDevice, nullptr, m_strName.c_str());
        }
        catch (const std::exception& e)
        {
            g_Log.Printf("Screenshot failed: %s\n", e.what());
        }
        return true;
    case 'W':
    {
        const bool consoleTakesKeys = m_bTuningConsoleAllowed && *m_Tuning.GetValue("EnableControl") > 0.0f;
        if (m_bDisableW || consoleTakesKeys)
            return false;
        m_bWidescreenEmulation = !m_bWidescreenEmulation;
        m_fCameraAspect = m_bWidescreenEmulation ? ScreensaverRules::kEmulatedAspect : GetAspectRatio();
        if (m_pMainScene)
            m_pMainScene->ForEachObjectMatching(".*", &CScreensaverApp::SetCameraAspect, &m_fCameraAspect);
        m_bWidescreenToggled = true;
        return true;
    }
    case VK_F1: ShowHotkeyHelp(); return true;
    case VK_F9: return true;
    default: return false;
    }
}

void CScreensaverApp::ShowHotkeyHelp()
{
    ScreenMessageList& list = ScreenMessageList::Instance();
    if (m_fHelpTextFactor == 0.0f)
        m_fHelpTextFactor = GetTextScale();
    const float clock = m_HelpClock.GetTime();
    if (m_bHelpFirstPress || clock > ScreensaverRules::kHelpFirstDuration)
    {
        const float sx = m_fScreenScaleX, sy = m_fScreenScaleY;
        const int keyX = int(37.0f * sx);
        const int helpX = int(float(keyX) + 20.0f * sx);
        int y = int(float(m_iHelpListOffset + 100) * sy);
        const int step = int(15.0f * sy + 2.0f * m_fHelpTextFactor);
        const float r = ScreensaverRules::ColourByte(*m_Tuning.GetValue("LogoColorR")) / 255.0f;
        const float g = ScreensaverRules::ColourByte(*m_Tuning.GetValue("LogoColorG")) / 255.0f;
        const float b = ScreensaverRules::ColourByte(*m_Tuning.GetValue("LogoColorB")) / 255.0f;
        float delay = 0.0f, duration = ScreensaverRules::kHelpFirstDuration;
        for (const HotkeyBinding& hotkey : m_Hotkeys)
        {
            if (hotkey.m_KeyName.empty() || hotkey.m_HelpText.empty())
                continue;
            list.Add(m_fTextScale, delay, duration, hotkey.m_KeyName, float(keyX), float(y), r, g, b, 1.0f);
            list.Add(m_fTextScale, delay, duration, hotkey.m_HelpText, float(helpX), float(y), r, g, b, 1.0f);
            delay += ScreensaverRules::kHelpLineDelay;
            duration -= ScreensaverRules::kHelpLineShorten;
            y += step;
        }
        m_fHelpTotalDelay = delay;
        m_fHelpLastDuration = duration;
        m_HelpClock.SetTime(0.0f);
        m_bHelpFirstPress = false;
        return;
    }
    float shift = 0.0f;
    if (!ScreensaverRules::HelpDismissShift(clock, m_fHelpTotalDelay, m_fHelpLastDuration, list.GetFadeInTime(),
                                            list.GetFadeOutTime(), &shift))
        return;
    for (size_t i = 0; i < list.GetCount(); ++i)
        list.SetStart(i, list.GetStart(i) - shift);
    m_HelpClock.SetTime(clock + shift);
}

void CScreensaverApp::DrawHotkeyList(D3DCOLOR colour, int x, int y, int lineStep)
{
    const float sx = m_fScreenScaleX, sy = m_fScreenScaleY;
    const int keyX = int(float(x) * sx);
    const int helpX = int(float(keyX) + 20.0f * sx);
    float line = float(int(float(y) * sy));
    const int step = int(float(lineStep) * sy + 2.0f * GetTextScale());
    const float rgba[4] = {((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f,
                           (colour & 0xFF) / 255.0f, ((colour >> 24) & 0xFF) / 255.0f};
    const float alignment[2] = {0.0f, 1.0f};
    for (const HotkeyBinding& hotkey : m_Hotkeys)
    {
        if (hotkey.m_KeyName.empty() || hotkey.m_HelpText.empty())
            continue;
        const float keyAt[2] = {float(keyX), line};
        const float helpAt[2] = {float(helpX), line};
        m_TextBatch.AddTextAligned(keyAt, hotkey.m_KeyName, alignment, rgba, m_fTextScale);
        m_TextBatch.AddTextAligned(helpAt, hotkey.m_HelpText, alignment, rgba, m_fTextScale);
        line += float(step);
    }
}

bool CScreensaverApp::OnTuningConsoleKey(HWND, UINT msg, WPARAM wParam, LPARAM)
{
    if (*m_Tuning.GetValue("EnableControl") <= 0.0f)
        return false;
    if (msg == WM_KEYDOWN)
    {
        if (wParam == VK_ESCAPE)
            Close();
        m_Tuning.OnKey(int(wParam));
    }
    return true;
}

bool CScreensaverApp::OnDebugCameraKey(HWND, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg != WM_KEYDOWN || !m_pMainScene)
        return false;
    if (wParam == VK_F1)
    {
        m_pMainScene->SetActiveCamera(m_pMainScene->FindCamera("Camera01"));
        return true;
    }
    if (wParam == VK_F2)
    {
        m_pMainScene->SetActiveCamera(CControlledCamera::GetInstance(m_pMainScene->GetActiveCamera()));
        return true;
    }
    return false;
}
