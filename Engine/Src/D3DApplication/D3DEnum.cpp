// Monitors, adapters, display modes and depth formats.
#include <algorithm>
#include <cstring>

#include "Log.h"
#include "d3dapp.h"

int CompareDisplayModes(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b)
{
    if (a.Width != b.Width)
        return a.Width < b.Width ? -1 : 1;
    if (a.Height != b.Height)
        return a.Height < b.Height ? -1 : 1;
    if (a.Format != b.Format)
        return a.Format > b.Format ? -1 : 1;
    return 0;
}

static void CopyText(char* out, size_t size, const char* text)
{
    std::snprintf(out, size, "%s", text);
}

void CD3DApplication::EnumerateMonitors()
{
    m_dwNumMonitors = 0;
    DISPLAY_DEVICEA device;
    device.cb = sizeof(device);
    for (DWORD i = 0; m_dwNumMonitors < MAX_MONITORS && EnumDisplayDevicesA(nullptr, i, &device, 0); ++i)
    {
        if (device.StateFlags & DISPLAY_DEVICE_MIRRORING_DRIVER)
            continue;
        DISPLAY_DEVICEA monitor;
        std::memset(&monitor, 0, sizeof(monitor));
        monitor.cb = sizeof(monitor);
        EnumDisplayDevicesA(device.DeviceName, 0, &monitor, 0);

        MonitorInfo& info = m_Monitors[m_dwNumMonitors];
        std::memset(&info, 0, sizeof(info));
        CopyText(info.AdapterName, sizeof(info.AdapterName), device.DeviceString);
        CopyText(info.MonitorName, sizeof(info.MonitorName), monitor.DeviceString);

        if (!(device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP))
            continue;
        DEVMODEA settings;
        std::memset(&settings, 0, sizeof(settings));
        settings.dmSize = sizeof(settings);
        EnumDisplaySettingsA(device.DeviceName, ENUM_CURRENT_SETTINGS, &settings);
        RECT& rc = info.rcMonitor;
        if (device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE)
        {
            rc.left = 0;
            rc.top = 0;
        }
        else
        {
            rc.left = settings.dmPosition.x;
            rc.top = settings.dmPosition.y;
        }
        rc.right = rc.left + (LONG)settings.dmPelsWidth;
        rc.bottom = rc.top + (LONG)settings.dmPelsHeight;
        info.hMonitor = MonitorFromRect(&rc, MONITOR_DEFAULTTONULL);
        g_Log.Printf("Monitor %u found. l: %i r: %i t: %i b: %i\n", (unsigned)m_dwNumMonitors, (int)rc.left,
                     (int)rc.right, (int)rc.top, (int)rc.bottom);
        ++m_dwNumMonitors;
    }
}

bool FindDepthStencilFormat(IDirect3D8* d3d, UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT target,
                            DWORD minDepthBits, DWORD minStencilBits, D3DFORMAT* out)
{
    struct Candidate
    {
        D3DFORMAT format;
        DWORD maxDepth, maxStencil;
    };
    static const Candidate candidates[] = {
        {D3DFMT_D32, 32, 0},     {D3DFMT_D24X8, 24, 0}, {D3DFMT_D24S8, 24, 8},
        {D3DFMT_D24X4S4, 24, 4}, {D3DFMT_D16, 16, 0},   {D3DFMT_D15S1, 15, 1},
    };
    for (const Candidate& c : candidates)
    {
        if (minDepthBits > c.maxDepth || minStencilBits > c.maxStencil)
            continue;
        if (SUCCEEDED(d3d->CheckDeviceFormat(adapter, deviceType, target, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE,
                                             c.format)) &&
            SUCCEEDED(d3d->CheckDepthStencilMatch(adapter, deviceType, target, target, c.format)))
        {
            *out = c.format;
            return true;
        }
    }
    return false;
}

bool CD3DApplication::FindDepthStencilFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT target,
                                             D3DFORMAT* out)
{
    return ::FindDepthStencilFormat(m_pD3D, adapter, deviceType, target, m_dwMinDepthBits, m_dwMinStencilBits, out);
}

DWORD CollectDisplayModes(IDirect3D8* d3d, UINT adapter, D3DFORMAT desktopFormat, D3DDISPLAYMODE* modes,
                          D3DFORMAT* formats, DWORD* numFormats)
{
    DWORD numModes = 0;
    *numFormats = 0;
    formats[(*numFormats)++] = desktopFormat;
    const UINT modeCount = d3d->GetAdapterModeCount(adapter);
    for (UINT m = 0; m < modeCount; ++m)
    {
        D3DDISPLAYMODE dm;
        std::memset(&dm, 0, sizeof(dm));
        if (FAILED(d3d->EnumAdapterModes(adapter, m, &dm)))
            continue;
        if (dm.Width < 640 || dm.Height < 480)
            continue;
        dm.RefreshRate = 0;
        const bool known = std::any_of(modes, modes + numModes, [&](const D3DDISPLAYMODE& c) {
            return c.Width == dm.Width && c.Height == dm.Height && c.Format == dm.Format;
        });
        if (known || numModes == MAX_COLLECTED_MODES)
            continue;
        modes[numModes++] = dm;
        if (std::find(formats, formats + *numFormats, dm.Format) == formats + *numFormats &&
            *numFormats < MAX_COLLECTED_FORMATS)
            formats[(*numFormats)++] = dm.Format;
    }
    std::sort(modes, modes + numModes, [](const D3DDISPLAYMODE& x, const D3DDISPLAYMODE& y) {
        return CompareDisplayModes(x, y) < 0;
    });
    return numModes;
}

DWORD CD3DApplication::FindModeIndex(DWORD adapter, const D3DDISPLAYMODE& mode)
{
    const AdapterInfo& a = m_Adapters[adapter];
    for (DWORD d = 0; d < a.dwNumDevices; ++d)
    {
        const DeviceInfo& dev = a.devices[d];
        for (DWORD m = 0; m < dev.dwNumModes; ++m)
        {
            const ModeInfo& mi = dev.modes[m];
            if (mi.Width == mode.Width && mi.Height == mode.Height && mi.Format == mode.Format)
                return m;
        }
    }
    return 0;
}

HRESULT CD3DApplication::BuildDeviceList()
{
    const UINT adapterCount = m_pD3D->GetAdapterCount();
    for (UINT a = 0; a < adapterCount && m_dwNumAdapters < MAX_ADAPTERS; ++a)
    {
        AdapterInfo& adapter = m_Adapters[m_dwNumAdapters];
        m_pD3D->GetAdapterIdentifier(a, D3DENUM_NO_WHQL_LEVEL, &adapter.d3dAdapterIdentifier);
        m_pD3D->GetAdapterDisplayMode(a, &adapter.d3ddmDesktop);
        adapter.dwNumDevices = 0;
        adapter.dwCurrentDevice = 0;

        D3DDISPLAYMODE modes[MAX_COLLECTED_MODES];
        D3DFORMAT formats[MAX_COLLECTED_FORMATS];
        DWORD numFormats = 0;
        const DWORD numModes =
            CollectDisplayModes(m_pD3D, a, adapter.d3ddmDesktop.Format, modes, formats, &numFormats);

        DeviceInfo& device = adapter.devices[0];
        device.DeviceType = D3DDEVTYPE_HAL;
        m_pD3D->GetDeviceCaps(a, D3DDEVTYPE_HAL, &device.d3dCaps);
        device.strDesc = "HAL";
        device.dwNumModes = 0;
        device.dwCurrentMode = 0;
        device.bCanDoWindowed = FALSE;
        device.bWindowed = FALSE;
        device.MultiSampleType = 0;

        bool confirmed[MAX_COLLECTED_FORMATS] = {};
        DWORD behavior[MAX_COLLECTED_FORMATS] = {};
        D3DFORMAT depth[MAX_COLLECTED_FORMATS] = {};
        for (DWORD f = 0; f < numFormats; ++f)
        {
            if (FAILED(m_pD3D->CheckDeviceType(a, D3DDEVTYPE_HAL, formats[f], formats[f], FALSE)))
                continue;
            const D3DCAPS8& caps = device.d3dCaps;
            if ((caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) &&
                (!m_bHWVPNeedsVertexShaders || D3DSHADER_VERSION_MAJOR(caps.VertexShaderVersion) >= 1))
            {
                behavior[f] = D3DCREATE_HARDWARE_VERTEXPROCESSING;
                confirmed[f] = SUCCEEDED(ConfirmDevice(&device.d3dCaps, behavior[f], formats[f]));
            }
            if (!confirmed[f])
            {
                behavior[f] = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
                confirmed[f] = SUCCEEDED(ConfirmDevice(&device.d3dCaps, behavior[f], formats[f]));
            }
            if (confirmed[f] && m_bUseDepthBuffer)
                confirmed[f] = FindDepthStencilFormat(a, D3DDEVTYPE_HAL, formats[f], &depth[f]);
        }

        for (DWORD m = 0; m < numModes; ++m)
            for (DWORD f = 0; f < numFormats; ++f)
                if (modes[m].Format == formats[f] && confirmed[f] && device.dwNumModes < MAX_MODES_PER_DEVICE)
                    device.modes[device.dwNumModes++] = {modes[m].Width, modes[m].Height, formats[f], behavior[f],
                                                         depth[f]};

        if (confirmed[0] && (device.d3dCaps.Caps2 & D3DCAPS2_CANRENDERWINDOWED))
        {
            device.bCanDoWindowed = TRUE;
            device.bWindowed = TRUE;
        }
        if (device.dwNumModes > 0)
            ++adapter.dwNumDevices;
        if (adapter.dwNumDevices > 0)
            ++m_dwNumAdapters;
    }

    if (m_dwNumAdapters == 0)
        return D3DAPPERR_NOCOMPATIBLEDEVICES;

    m_dwAdapter = 0;
    m_Adapters[0].dwCurrentDevice = 0;
    D3DDISPLAYMODE current;
    std::memset(&current, 0, sizeof(current));
    m_pD3D->GetAdapterDisplayMode(0, &current);
    DeviceInfo& first = m_Adapters[0].devices[0];
    first.dwCurrentMode = FindModeIndex(0, current);
    if (first.dwCurrentMode > first.dwNumModes)
        first.dwCurrentMode = 0;
    m_bWindowed = TRUE;
    return S_OK;
}
