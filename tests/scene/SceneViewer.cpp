// A program on the framework that shows the test scene, full screen, until
// a key is pressed; the run script uses it until the train scene exists.
//   /log:FILE, -openautomate PLUGIN;ARGUMENT (the benchmark harness)
#include <windows.h>

#include <cstdio>
#include <string>

#include "Camera.h"
#include "GeomObject.h"
#include "Log.h"
#include "Mesh.h"
#include "OpenAutomate.h"
#include "RenderStateManager.h"
#include "Scene.h"
#include "d3dapp.h"
#include "CloseOnKey.h"

namespace
{
const DWORD kReportFrame = 30;
const uint16_t kTestSceneResource = 101;

class CSceneViewer : public CCloseOnKey<CD3DApplication>
{
public:
    CSceneViewer()
    {
        m_strWindowTitle = "Tarnholm scene viewer";
        m_dwCreationWidth = 1024;
        m_dwCreationHeight = 768;
    }
    DWORD FrameCount() const { return m_dwFrameCount; }

    HRESULT OneTimeSceneInit() override
    {
        m_bWindowed = FALSE;
        return S_OK;
    }

    HRESULT InitDeviceObjects() override
    {
        RenderStateManager& cache = RenderStateManager::Instance();
        if (!cache.GetDevice())
            cache.SetDevice(m_pd3dDevice);
        SetCameraTransformSink(ApplyCameraTransformsToDevice);
        m_pScene = new Scene(m_pd3dDevice);
        if (!m_pScene->Load(kTestSceneResource, "", nullptr))
            return S_OK;
        if (Camera* camera = m_pScene->GetActiveCamera())
            camera->SetAspect(float(m_d3dsdBackBuffer.Width) / float(m_d3dsdBackBuffer.Height));
        m_pFlag = m_pScene->FindGeomObject("Flag");
        g_Log.Printf("Scene viewer: %u objects loaded\n", unsigned(m_pScene->GetObjectCount()));
        return S_OK;
    }

    HRESULT DeleteDeviceObjects() override
    {
        delete m_pScene;
        m_pScene = nullptr;
        m_pFlag = nullptr;
        MeshPools::ReleaseAll();
        return S_OK;
    }

    HRESULT Render() override
    {
        IDirect3DDevice8* d = m_pd3dDevice;
        d->Clear(0, nullptr, D3DCLEAR_TARGET | (m_bUseDepthBuffer ? D3DCLEAR_ZBUFFER : 0), 0xFF000000, 1.0f, 0);
        if (m_pScene && SUCCEEDED(d->BeginScene()))
        {
            // The flag rises over a second, again and again.
            if (m_pFlag && !m_pFlag->IsMorphPlaying())
                m_pFlag->PlayMorphAnimation(0, 1000, 1.0f);
            RenderStateManager& cache = RenderStateManager::Instance();
            cache.PushStates();
            m_pScene->Render();
            cache.PopStates();
            d->EndScene();
        }
        if (m_dwFrameCount + 1 == kReportFrame)
            g_Log.Printf("Scene viewer: %u frames drawn\n", unsigned(kReportFrame));
        return S_OK;
    }


private:
    Scene* m_pScene = nullptr;
    GeomObject* m_pFlag = nullptr;
};
} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR cmdLine, int)
{
    const std::string cmd = cmdLine ? cmdLine : "";
    std::string logName = "TarnholmSceneViewer.log";
    const size_t at = cmd.find("/log:");
    if (at != std::string::npos)
        logName = cmd.substr(at + 5, cmd.find(' ', at) - at - 5);
    if (FILE* f = std::fopen(logName.c_str(), "w"))
    {
        g_Log.Open(logName.c_str());
        g_Log.SetFile(f);
    }
    // The command line goes through the benchmark table as in the real
    // program; a benchmark run lasts 1000 frames, as the scene's does.
    COpenAutomateOptions& options = COpenAutomateOptions::Instance();
    options.SetBenchmarkLength(1000);
    int result = 0;
    options.Run([&]() {
        CSceneViewer viewer;
        result = 1;
        if (SUCCEEDED(viewer.Create(hInstance)))
            result = viewer.Run();
        viewer.ReleaseDevice();
        g_Log.Printf("Scene viewer: %u frames in all, exit code %d\n", unsigned(viewer.FrameCount()), result);
        return result;
    });
    g_Log.Close();
    return result;
}
