// A small scene application on the screensaver application: it loads the
// test scene with the loading screen and draws it through the screensaver's
// frame, overlays, hotkeys and close rules. The screensaver tests start it.
//   /loadhold:MS   holds the loading screen for MS milliseconds half-way
//   /crash:N       crashes while drawing frame N
//   /grey          clears to grey, so that letterbox bars stand out
// Started with "/SHOWEXCEPTION" it is the error-report viewer of a crashed
// run; a helper then writes the log path it was given to "viewer.txt" and
// closes the dialog.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Camera.h"
#include "CrashHandler.h"
#include "Log.h"
#include "RenderStateManager.h"
#include "Scene.h"
#include "ScreensaverApp.h"

namespace
{
const uint16_t kTestSceneResource = 101;
const unsigned kReportFrame = 30;

std::string Option(const std::string& cmd, const char* name)
{
    const std::string key = std::string("/") + name;
    const size_t at = cmd.find(key);
    if (at == std::string::npos)
        return std::string();
    size_t start = at + key.size();
    if (start < cmd.size() && cmd[start] == ':')
        ++start;
    return cmd.substr(start, cmd.find(' ', start) - start) + " ";
}

class CScreensaverTestApp : public CScreensaverApp
{
public:
    CScreensaverTestApp(unsigned holdMs, unsigned crashFrame, bool grey) : m_HoldMs(holdMs), m_CrashFrame(crashFrame)
    {
        m_strName = "TarnholmTest";
        m_strTitle = m_strName + " 3D Screensaver";
        m_dwMinStencilBits = 2;
        if (grey)
            m_ClearColour = 0xFF808080;
    }

    void LoadScene() override
    {
        SetCameraTransformSink(ApplyCameraTransformsToDevice);
        const int entries = Scene::CountEntries("", kTestSceneResource);
        m_LoadingExpected = unsigned(entries > 0 ? entries : 0) + 2;
        m_pMainScene = std::make_unique<Scene>(m_pd3dDevice);
        if (!m_pMainScene->Load(kTestSceneResource, "", this))
            return;
        ShowLoadingProgress(1);
        if (m_HoldMs)
        {
            g_Log.Printf("Test application: loading screen held\n");
            Sleep(m_HoldMs);
        }
        if (Camera* camera = m_pMainScene->GetActiveCamera())
            camera->SetAspect(m_fCameraAspect);
        ShowLoadingProgress(1);
    }

    void RenderFrame() override
    {
        if (m_CrashFrame && m_FramesCounted + 1 >= int(m_CrashFrame))
        {
            g_Log.Printf("Test application: crashing now\n");
            volatile int* nowhere = nullptr;
            *nowhere = 1;
        }
        if (!m_pMainScene)
            return;
        RenderStateManager& cache = RenderStateManager::Instance();
        cache.PushStates();
        m_pMainScene->Render();
        cache.PopStates();
        if (unsigned(m_FramesCounted) + 1 == kReportFrame)
            g_Log.Printf("Test application: %u frames drawn\n", kReportFrame);
    }

    void SaveToggledSettings() override { g_Log.Printf("Test application: scene settings saved\n"); }
    HRESULT UpdateFrame() override { return S_OK; }

private:
    unsigned m_HoldMs;
    unsigned m_CrashFrame;
};

// The error-report viewer's helper: records the log path that the viewer
// was given and closes the dialog once it shows.
DWORD WINAPI AnswerViewerDialog(LPVOID)
{
    for (int i = 0; i < 1500; ++i)
    {
        HWND dialog = FindWindowA(nullptr, "Error");
        if (dialog && GetDlgItem(dialog, IDC_SEND_REPORT))
        {
            const std::string cmd = GetCommandLineA();
            const size_t at = cmd.find("/SHOWEXCEPTION");
            if (FILE* f = std::fopen("viewer.txt", "w"))
            {
                std::fprintf(f, "dialog shown; arguments: %s\n", cmd.substr(at).c_str());
                std::fclose(f);
            }
            PostMessageA(dialog, WM_CLOSE, 0, 0);
            return 0;
        }
        Sleep(20);
    }
    return 0;
}
} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    const std::string cmd = GetCommandLineA();
    if (cmd.find("/SHOWEXCEPTION") != std::string::npos)
        CreateThread(nullptr, 0, AnswerViewerDialog, nullptr, 0, nullptr);

    const unsigned hold = unsigned(std::strtoul(Option(cmd, "loadhold").c_str(), nullptr, 10));
    const unsigned crash = unsigned(std::strtoul(Option(cmd, "crash").c_str(), nullptr, 10));
    int result = 1;
    {
        CScreensaverTestApp app(hold, crash, cmd.find("/grey") != std::string::npos);
        if (SUCCEEDED(app.Create(hInstance)))
            result = app.Run();
        app.ReleaseDevice();
        g_Log.Printf("Test application: exit code %d\n", result);
    }
    g_Log.Close();
    return result;
}
