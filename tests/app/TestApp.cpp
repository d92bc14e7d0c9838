// A small program on the framework: clears to one colour and draws one
// triangle, full screen at the mode its command line asks for. It stands in
// for the screensaver in the run script and the start-up test.
//   /log:FILE /width:W /height:H /monitor:N /fade:F /benchmark:FRAMES
//   -openautomate PLUGIN;ARGUMENT (the benchmark harness), -install, -uninstall
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Log.h"
#include "OpenAutomate.h"
#include "RenderStateManager.h"
#include "d3dapp.h"
#include "CloseOnKey.h"

namespace {

const D3DCOLOR kClearColour = 0xFF2060A0;
const D3DCOLOR kShapeColour = 0xFFF0C020;
const DWORD kReportFrame = 30;

class CTestApplication : public CCloseOnKey<CD3DApplication>
{
public:
    DWORD m_dwWantedWidth = 1024;
    DWORD m_dwWantedHeight = 768;

    CTestApplication()
    {
        m_strWindowTitle = "Tarnholm test application";
        m_dwCreationWidth = 1024;
        m_dwCreationHeight = 768;
        m_dwMinStencilBits = 2;
    }
    void SetChosenMonitor(DWORD monitor) { m_dwChosenMonitor = monitor; }
    void SetFade(float fade) { m_fFade = fade; }
    DWORD FrameCount() const { return m_dwFrameCount; }

    HRESULT OneTimeSceneInit() override
    {
        m_bWindowed = FALSE;
        AdapterInfo& adapter = m_Adapters[m_dwChosenMonitor];
        DeviceInfo& device = adapter.devices[adapter.dwCurrentDevice];
        for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5})
        {
            const D3DDISPLAYMODE wanted = {m_dwWantedWidth, m_dwWantedHeight, 0, format};
            const DWORD index = FindModeIndex(m_dwChosenMonitor, wanted);
            const ModeInfo& m = device.modes[index];
            if (m.Width == m_dwWantedWidth && m.Height == m_dwWantedHeight && m.Format == format)
            {
                device.dwCurrentMode = index;
                break;
            }
        }
        const ModeInfo& mode = device.modes[device.dwCurrentMode];
        if (mode.Width != m_dwWantedWidth || mode.Height != m_dwWantedHeight)
            g_Log.Printf("Mode %ux%u is not offered\n", (unsigned)m_dwWantedWidth, (unsigned)m_dwWantedHeight);
        g_Log.Printf("Test application mode: %ux%u %s\n", (unsigned)mode.Width, (unsigned)mode.Height,
                     GetFormatName(mode.Format));
        return S_OK;
    }

    HRESULT Render() override
    {
        IDirect3DDevice8* d = m_pd3dDevice;
        d->Clear(0, nullptr, D3DCLEAR_TARGET | (m_bUseDepthBuffer ? D3DCLEAR_ZBUFFER : 0), kClearColour, 1.0f, 0);
        if (SUCCEEDED(d->BeginScene()))
        {
            struct Vertex
            {
                float x, y, z, rhw;
                DWORD colour;
            };
            const float w = (float)m_d3dsdBackBuffer.Width, h = (float)m_d3dsdBackBuffer.Height;
            const Vertex tri[3] = {{w * 0.5f, h * 0.25f, 0.5f, 1, kShapeColour},
                                   {w * 0.75f, h * 0.75f, 0.5f, 1, kShapeColour},
                                   {w * 0.25f, h * 0.75f, 0.5f, 1, kShapeColour}};
            d->SetTexture(0, nullptr);
            RenderStateManager& rsm = RenderStateManager::Instance();
            rsm.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
            rsm.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
            rsm.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
            rsm.SetRenderState(D3DRS_LIGHTING, FALSE);
            d->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
            d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(Vertex));
            d->EndScene();
        }
        if (m_dwFrameCount + 1 == kReportFrame)
            g_Log.Printf("Test application: %u frames drawn\n", (unsigned)kReportFrame);
        return S_OK;
    }
};

// The value of "/name:value" in the command line, or null.
const char* Option(const std::string& cmd, const char* name, std::string& out)
{
    const std::string key = std::string("/") + name + ":";
    const size_t at = cmd.find(key);
    if (at == std::string::npos)
        return nullptr;
    const size_t start = at + key.size();
    out = cmd.substr(start, cmd.find(' ', start) - start);
    return out.c_str();
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR cmdLine, int)
{
    const std::string cmd = cmdLine ? cmdLine : "";
    std::string value;
    const std::string logName = Option(cmd, "log", value) ? value : "TarnholmTestApp.log";
    if (FILE* f = std::fopen(logName.c_str(), "w"))
    {
        g_Log.Open(logName.c_str());
        g_Log.SetFile(f);
    }
    // The command line goes through the benchmark table as in the real
    // program: "-openautomate PLUGIN;ARG" runs under the harness, and
    // /benchmark:FRAMES sets the length of a benchmark run.
    COpenAutomateOptions& options = COpenAutomateOptions::Instance();
    if (Option(cmd, "benchmark", value))
        options.SetBenchmarkLength((uint32_t)std::strtoul(value.c_str(), nullptr, 10));

    int result = 0;
    options.Run([&]() {
        CTestApplication app;
        if (Option(cmd, "width", value))
            app.m_dwWantedWidth = std::strtoul(value.c_str(), nullptr, 10);
        if (Option(cmd, "height", value))
            app.m_dwWantedHeight = std::strtoul(value.c_str(), nullptr, 10);
        if (Option(cmd, "monitor", value))
            app.SetChosenMonitor(std::strtoul(value.c_str(), nullptr, 10));
        if (Option(cmd, "fade", value))
            app.SetFade((float)std::atof(value.c_str()));

        result = 1;
        if (SUCCEEDED(app.Create(hInstance)))
            result = app.Run();
        app.ReleaseDevice();
        g_Log.Printf("Test application: %u frames in all, exit code %d\n", (unsigned)app.FrameCount(), result);
        return result;
    });
    g_Log.Close();
    return result;
}
