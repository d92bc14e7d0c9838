#include "SettingsDlg.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "ComRef.h"
#include "FrontEnd.h"
#include "LanguageTable.h"
#include "Log.h"
#include "Resource.h"

namespace
{
const int kCheckBoxes[] = {IDC_USE_DESKTOP,  IDC_BLACK_SCREENS, IDC_SHOW_FPS,   IDC_ENABLE_SOUNDS, IDC_EXIT_ON_MOUSE,
                           IDC_ENABLE_MUSIC, IDC_WIDESCREEN,    IDC_OLD_MOVIE,  IDC_SHOW_CLOCK,    IDC_PLAY_MY_MUSIC};

std::string Translate(const char* text)
{
    return GetLanguageTable().Translate(text);
}

} // namespace

CSettingsDlg::CSettingsDlg()
{
    std::memset(m_Adapters, 0, sizeof m_Adapters);
    std::memset(m_Monitors, 0, sizeof m_Monitors);
    std::memset(&m_Caps, 0, sizeof m_Caps);
    m_Graphics = ChooseGraphicsDefaults(0, 0, 0);
}

HRESULT CSettingsDlg::ConfirmDevice(const D3DCAPS8*, DWORD, D3DFORMAT)
{
    return S_OK;
}

bool CSettingsDlg::FindDepthStencilFormat(IDirect3D8* d3d, UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                          D3DFORMAT* depthFormat)
{
    return ::FindDepthStencilFormat(d3d, adapter, type, adapterFormat, kMainProgramMinDepthBits,
                                    kMainProgramMinStencilBits, depthFormat);
}

HRESULT CSettingsDlg::BuildDeviceList(IDirect3D8* given)
{
    ComRef<IDirect3D8> own(given ? nullptr : Direct3DCreate8(120));
    IDirect3D8* d3d = given ? given : own.Get();
    if (!d3d)
        return E_FAIL;
    m_bHaveCaps = SUCCEEDED(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &m_Caps));

    const UINT adapterCount = d3d->GetAdapterCount();
    for (UINT a = 0; a < adapterCount && m_dwNumAdapters < kMaxAdapters; ++a)
    {
        AdapterRecord& adapter = m_Adapters[m_dwNumAdapters];
        std::memset(&adapter, 0, sizeof adapter);
        adapter.ordinal = a;
        d3d->GetAdapterIdentifier(a, D3DENUM_NO_WHQL_LEVEL, &adapter.identifier);
        d3d->GetAdapterDisplayMode(a, &adapter.desktopMode);

        D3DDISPLAYMODE modes[MAX_COLLECTED_MODES];
        D3DFORMAT formats[MAX_COLLECTED_FORMATS];
        DWORD numFormats = 0;
        const DWORD numModes = CollectDisplayModes(d3d, a, adapter.desktopMode.Format, modes, formats, &numFormats);

        DeviceInfo& device = adapter.devices[0];
        device.DeviceType = D3DDEVTYPE_HAL;
        d3d->GetDeviceCaps(a, D3DDEVTYPE_HAL, &device.d3dCaps);
        device.strDesc = "HAL";

        bool usable[MAX_COLLECTED_FORMATS] = {};
        DWORD behavior[MAX_COLLECTED_FORMATS] = {};
        D3DFORMAT depth[MAX_COLLECTED_FORMATS] = {};
        for (DWORD f = 0; f < numFormats; ++f)
        {
            if (FAILED(d3d->CheckDeviceType(a, D3DDEVTYPE_HAL, formats[f], formats[f], FALSE)))
                continue;
            if (device.d3dCaps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT)
                for (DWORD b : {DWORD(D3DCREATE_HARDWARE_VERTEXPROCESSING), DWORD(D3DCREATE_MIXED_VERTEXPROCESSING)})
                    if (!usable[f] && SUCCEEDED(ConfirmDevice(&device.d3dCaps, b, formats[f])))
                        usable[f] = true, behavior[f] = b;
            if (!usable[f] &&
                SUCCEEDED(ConfirmDevice(&device.d3dCaps, D3DCREATE_SOFTWARE_VERTEXPROCESSING, formats[f])))
                usable[f] = true, behavior[f] = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
            if (usable[f])
                usable[f] = FindDepthStencilFormat(d3d, a, D3DDEVTYPE_HAL, formats[f], &depth[f]);
        }
        for (DWORD m = 0; m < numModes; ++m)
            for (DWORD f = 0; f < numFormats; ++f)
                if (modes[m].Format == formats[f] && usable[f] && device.dwNumModes < MAX_MODES_PER_DEVICE)
                    device.modes[device.dwNumModes++] = {modes[m].Width, modes[m].Height, formats[f], behavior[f],
                                                         depth[f]};
        if (usable[0] && (device.d3dCaps.Caps2 & D3DCAPS2_CANRENDERWINDOWED))
            device.bCanDoWindowed = device.bWindowed = TRUE;
        if (device.dwNumModes == 0)
            continue; // the next usable adapter takes this slot
        adapter.numDevices = 1;

        MonitorRecord& monitor = m_Monitors[m_dwNumMonitors];
        std::memset(&monitor, 0, sizeof monitor);
        std::snprintf(monitor.adapterDescription, sizeof monitor.adapterDescription, "%s",
                      adapter.identifier.Description);
        monitor.monitor = d3d->GetAdapterMonitor(a);
        MONITORINFOEXA info;
        std::memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        if (monitor.monitor && GetMonitorInfoA(monitor.monitor, &info))
        {
            std::snprintf(monitor.monitorName, sizeof monitor.monitorName, "%s", info.szDevice);
            monitor.rect = info.rcMonitor;
            DISPLAY_DEVICEA display;
            for (DWORD i = 0;; ++i)
            {
                std::memset(&display, 0, sizeof display);
                display.cb = sizeof display;
                if (!EnumDisplayDevicesA(info.szDevice, i, &display, 0))
                    break;
                if (display.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP)
                {
                    std::snprintf(monitor.monitorName, sizeof monitor.monitorName, "%s", display.DeviceString);
                    break;
                }
            }
        }
        if (!monitor.monitorName[0])
            std::snprintf(monitor.monitorName, sizeof monitor.monitorName, "%s", monitor.adapterDescription);
        monitor.reserved = -1;
        ++m_dwNumMonitors;
        ++m_dwNumAdapters;
    }
    return m_dwNumAdapters ? S_OK : E_FAIL;
}

const AdapterRecord* CSettingsDlg::FindAdapter(UINT ordinal) const
{
    for (DWORD i = 0; i < m_dwNumAdapters; ++i)
        if (m_Adapters[i].ordinal == ordinal)
            return &m_Adapters[i];
    return nullptr;
}

DWORD CSettingsDlg::FindModeIndex(UINT ordinal, const D3DDISPLAYMODE& mode) const
{
    const AdapterRecord* adapter = FindAdapter(ordinal);
    if (!adapter)
        return 0;
    for (DWORD d = 0; d < adapter->numDevices; ++d)
        for (DWORD m = 0; m < adapter->devices[d].dwNumModes; ++m)
        {
            const ModeInfo& mi = adapter->devices[d].modes[m];
            if (mi.Width == mode.Width && mi.Height == mode.Height && mi.Format == mode.Format)
                return m;
        }
    return 0;
}

void CSettingsDlg::SetDefaultSettings()
{
    const unsigned megabytes = unsigned(GetTotalVideoMemory() >> 20);
    const unsigned vendor = m_dwNumAdapters ? unsigned(m_Adapters[0].identifier.VendorId) : 0;
    const unsigned shader = m_bHaveCaps ? unsigned(D3DSHADER_VERSION_MAJOR(m_Caps.PixelShaderVersion) * 10 +
                                                   D3DSHADER_VERSION_MINOR(m_Caps.PixelShaderVersion))
                                        : 0;
    m_Graphics = ChooseGraphicsDefaults(vendor, shader, megabytes);
    ::SetDefaultSettings(m_Settings, m_Graphics);
}

void CSettingsDlg::LoadSettings()
{
    SetDefaultSettings();
    m_Settings.LoadFromRegistry(HKEY_LOCAL_MACHINE, kProductKey);
    CheckSettings(m_Settings, m_Graphics);
}

void CSettingsDlg::SaveSettings()
{
    if (!m_Settings.SaveToRegistry(HKEY_LOCAL_MACHINE, kProductKey))
        ShowError(m_hWnd, "Error writing to the system registry. Please NOTE: You need to have sufficient "
                          "administrative rights to run this program successfully.");
}

UINT CSettingsDlg::CheckedMonitor()
{
    const int stored = GetInt("CurMonitor");
    if (stored >= 0 && FindAdapter(UINT(stored)))
        return UINT(stored);
    const int first = m_dwNumAdapters ? int(m_Adapters[0].ordinal) : 0;
    if (stored != first)
        g_Log.Printf("Settings: monitor %i is not available, using %i\n", stored, first);
    SetInt("CurMonitor", first);
    return UINT(first);
}

bool CSettingsDlg::IsChecked(int id) const
{
    return SendDlgItemMessageA(m_hWnd, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CSettingsDlg::SetCheck(int id, bool checked)
{
    SendDlgItemMessageA(m_hWnd, id, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CSettingsDlg::Enable(int id, bool enabled)
{
    EnableWindow(GetDlgItem(id), enabled);
}

void CSettingsDlg::SetLabel(int id, const std::string& format, int value)
{
    SetDlgItemTextA(m_hWnd, id, FormatString(Translate(format.c_str()).c_str(), value).c_str());
}

void CSettingsDlg::SetGammaLabel()
{
    SetDlgItemTextA(m_hWnd, IDC_GAMMA_LABEL,
                    FormatString(Translate("Gamma control: %.2f").c_str(), GetInt("GammaControl") / 100.0 + 0.5).c_str());
}

void CSettingsDlg::SetQualityLabel()
{
    const std::string name = Translate(GraphicsQualityName(GetInt("GraphicsQuality")));
    SetDlgItemTextA(m_hWnd, IDC_QUALITY_LABEL,
                    FormatString(Translate("Graphics quality: %s").c_str(), name.c_str()).c_str());
}

void CSettingsDlg::SetSlider(int id, int low, int high, int position)
{
    SendDlgItemMessageA(m_hWnd, id, TBM_SETRANGE, TRUE, MAKELPARAM(low, high));
    SendDlgItemMessageA(m_hWnd, id, TBM_SETPOS, TRUE, position);
}

void CSettingsDlg::UpdateWidescreen(int aspectRatio)
{
    const AdapterRecord* adapter = FindAdapter(UINT(GetInt("CurMonitor")));
    const unsigned w = adapter ? adapter->desktopMode.Width : 0, h = adapter ? adapter->desktopMode.Height : 0;
    Enable(IDC_WIDESCREEN, IsWidescreenAvailable(aspectRatio, w, h));
}

void CSettingsDlg::UpdateMusicControls()
{
    const bool music = GetInt("DisableMusic") == 0;
    Enable(IDC_MUSIC_VOLUME, music);
    Enable(IDC_MUSIC_LABEL, music);
    Enable(IDC_PLAY_MY_MUSIC, music);
    Enable(IDC_EDIT_PLAYLIST, music && GetInt("UsePlaylist") != 0);
}

LRESULT CSettingsDlg::OnInitDialog()
{
    LanguageTable& language = GetLanguageTable();
    language.SelectLanguage(ReadLanguageTag());
    language.SelectTextBlock("Screensaver Settings Dialog");
    language.TranslateDialog(m_hWnd);

    BuildDeviceList();
    LoadSettings();
    CheckedMonitor();

    SetCheck(IDC_SHOW_FPS, GetInt("ShowFPS") != 0);
    SetCheck(IDC_EXIT_ON_MOUSE, GetInt("DisableOnMouseActivate") == 0);

    const bool gamma = m_bHaveCaps && (m_Caps.Caps2 & D3DCAPS2_FULLSCREENGAMMA);
    Enable(IDC_GAMMA, gamma);
    Enable(IDC_GAMMA_LABEL, gamma);
    SetSlider(IDC_GAMMA, 0, 100, GetInt("GammaControl"));
    SetGammaLabel();

    SetCheck(IDC_WIDESCREEN, GetInt("WidescreenMode") != 0);
    UpdateWidescreen(GetInt("MonitorAspectRatio"));
    FillAspectRatioList();

    const bool sounds = GetInt("DisableSound") == 0;
    SetCheck(IDC_ENABLE_SOUNDS, sounds);
    SetSlider(IDC_SOUNDS_VOLUME, 0, 100, GetInt("SoundsVolumePercentage"));
    SetLabel(IDC_SOUNDS_LABEL, "Sounds volume: %.01i%%", GetInt("SoundsVolumePercentage"));
    Enable(IDC_SOUNDS_VOLUME, sounds);
    Enable(IDC_SOUNDS_LABEL, sounds);

    SetCheck(IDC_ENABLE_MUSIC, GetInt("DisableMusic") == 0);
    SetCheck(IDC_PLAY_MY_MUSIC, GetInt("UsePlaylist") != 0);
    SetSlider(IDC_MUSIC_VOLUME, 0, 100, GetInt("MusicVolumePercentage"));
    SetLabel(IDC_MUSIC_LABEL, "Music volume: %.01i%%", GetInt("MusicVolumePercentage"));
    UpdateMusicControls();

    SetSlider(IDC_QUALITY, 0, kGraphicsQualityLevels - 1, ClampGraphicsQuality(GetInt("GraphicsQuality")));
    SetQualityLabel();

    SetCheck(IDC_OLD_MOVIE, GetInt("EnableOldMovieEffect") != 0);
    SetCheck(IDC_SHOW_CLOCK, GetInt("ShowClock") != 0);

    FillMonitorList();
    FillResolutionList();

    SetText(FormatString(Translate("%s %s Configuration").c_str(), kProductTitle, "2.0").c_str());
    Show(SW_SHOWNORMAL);
    m_hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PROGRAM));
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    return TRUE;
}

void CSettingsDlg::FillAspectRatioList()
{
    HWND list = GetDlgItem(IDC_ASPECT_RATIO);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    const int stored = GetInt("MonitorAspectRatio");
    for (int i = 0; i < kAspectRatioEntries; ++i)
    {
        const LRESULT item = SendMessageA(list, CB_ADDSTRING, 0,
                                          reinterpret_cast<LPARAM>(Translate(AspectRatioName(i)).c_str()));
        SendMessageA(list, CB_SETITEMDATA, WPARAM(item), i);
        if (i == stored)
            SendMessageA(list, CB_SETCURSEL, WPARAM(item), 0);
    }
    if (SendMessageA(list, CB_GETCURSEL, 0, 0) == CB_ERR)
        SendMessageA(list, CB_SETCURSEL, 0, 0);
}

void CSettingsDlg::FillMonitorList()
{
    HWND list = GetDlgItem(IDC_MONITOR);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    SetCheck(IDC_BLACK_SCREENS, GetInt("ShowBlackScreens") != 0);
    Enable(IDC_BLACK_SCREENS, m_dwNumAdapters >= 2);
    Enable(IDC_MONITOR, m_dwNumAdapters >= 2);
    const UINT current = CheckedMonitor();
    for (DWORD i = 0; i < m_dwNumAdapters; ++i)
    {
        const LRESULT item =
            SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(m_Monitors[i].monitorName));
        SendMessageA(list, CB_SETITEMDATA, WPARAM(item), m_Adapters[i].ordinal);
        if (m_Adapters[i].ordinal == current)
            SendMessageA(list, CB_SETCURSEL, WPARAM(item), 0);
    }
}

void CSettingsDlg::FillResolutionList()
{
    HWND list = GetDlgItem(IDC_RESOLUTION);
    SendMessageA(list, CB_RESETCONTENT, 0, 0);
    const UINT ordinal = UINT(GetInt("CurMonitor"));
    D3DDISPLAYMODE wanted;
    std::memset(&wanted, 0, sizeof wanted);
    if (GetInt("UseDesktopRes") == 0)
    {
        wanted.Width = UINT(GetInt("ModeWidth"));
        wanted.Height = UINT(GetInt("ModeHeight"));
        wanted.Format = D3DFORMAT(GetInt("ModeFormat"));
    }
    else
    {
        ComRef<IDirect3D8> d3d(Direct3DCreate8(120));
        if (d3d)
            d3d->GetAdapterDisplayMode(ordinal, &wanted);
    }
    const DWORD selected = FindModeIndex(ordinal, wanted);
    SetCheck(IDC_USE_DESKTOP, GetInt("UseDesktopRes") != 0);
    Enable(IDC_RESOLUTION, GetInt("UseDesktopRes") == 0);

    const AdapterRecord* adapter = FindAdapter(ordinal);
    if (!adapter || adapter->numDevices == 0)
        return;
    const DeviceInfo& device = adapter->devices[0];
    for (DWORD m = 0; m < device.dwNumModes; ++m)
    {
        const ModeInfo& mode = device.modes[m];
        const LRESULT item = SendMessageA(list, CB_ADDSTRING, 0,
                                          reinterpret_cast<LPARAM>(ModeText(mode.Width, mode.Height, mode.Format).c_str()));
        SendMessageA(list, CB_SETITEMDATA, WPARAM(item), m);
        if (m == selected || SendMessageA(list, CB_GETCURSEL, 0, 0) == CB_ERR)
            SendMessageA(list, CB_SETCURSEL, WPARAM(item), 0);
    }
}

void CSettingsDlg::OnHScroll(HWND slider)
{
    const int position = int(SendMessageA(slider, TBM_GETPOS, 0, 0));
    if (slider == GetDlgItem(IDC_SOUNDS_VOLUME))
    {
        SetInt("SoundsVolumePercentage", position);
        SetLabel(IDC_SOUNDS_LABEL, "Sounds volume: %.01i%%", GetInt("SoundsVolumePercentage"));
    }
    else if (slider == GetDlgItem(IDC_MUSIC_VOLUME))
    {
        SetInt("MusicVolumePercentage", position);
        SetLabel(IDC_MUSIC_LABEL, "Music volume: %.01i%%", GetInt("MusicVolumePercentage"));
    }
    else if (slider == GetDlgItem(IDC_GAMMA))
    {
        SetInt("GammaControl", position);
        SetGammaLabel();
    }
    else if (slider == GetDlgItem(IDC_QUALITY))
    {
        SetInt("GraphicsQuality", position);
        SetQualityLabel();
    }
}

void CSettingsDlg::OnCommand(WORD id, WORD code, HWND)
{
    if (code == BN_CLICKED)
    {
        const int checked = IsChecked(id) ? 1 : 0;
        switch (id)
        {
        case IDC_USE_DESKTOP:
            SetInt("UseDesktopRes", checked);
            Enable(IDC_RESOLUTION, checked == 0);
            return;
        case IDC_BLACK_SCREENS: SetInt("ShowBlackScreens", checked); return;
        case IDC_SHOW_FPS: SetInt("ShowFPS", checked); return;
        case IDC_EXIT_ON_MOUSE: SetInt("DisableOnMouseActivate", 1 - checked); return;
        case IDC_WIDESCREEN: SetInt("WidescreenMode", checked); return;
        case IDC_OLD_MOVIE: SetInt("EnableOldMovieEffect", checked); return;
        case IDC_SHOW_CLOCK: SetInt("ShowClock", checked); return;
        case IDC_ENABLE_SOUNDS:
            SetInt("DisableSound", 1 - checked);
            Enable(IDC_SOUNDS_VOLUME, checked != 0);
            Enable(IDC_SOUNDS_LABEL, checked != 0);
            return;
        case IDC_ENABLE_MUSIC:
            SetInt("DisableMusic", 1 - checked);
            UpdateMusicControls();
            return;
        case IDC_PLAY_MY_MUSIC:
            SetInt("UsePlaylist", checked);
            Enable(IDC_EDIT_PLAYLIST, checked != 0);
            return;
        case IDC_EDIT_PLAYLIST: OnEditPlaylist(); return;
        default: return;
        }
    }
    if (code != CBN_SELENDOK && code != CBN_SELCHANGE)
        return;
    HWND list = GetDlgItem(id);
    const LRESULT item = SendMessageA(list, CB_GETCURSEL, 0, 0);
    if (item == CB_ERR)
        return;
    const LRESULT data = SendMessageA(list, CB_GETITEMDATA, WPARAM(item), 0);
    if (id == IDC_ASPECT_RATIO)
    {
        if (code == CBN_SELENDOK)
            SetInt("MonitorAspectRatio", int(data));
        else
            UpdateWidescreen(int(data));
        return;
    }
    if (code != CBN_SELENDOK)
        return;
    if (id == IDC_MONITOR && FindAdapter(UINT(data)))
    {
        SetInt("CurMonitor", int(data));
        FillResolutionList();
    }
    else if (id == IDC_RESOLUTION)
    {
        const AdapterRecord* adapter = FindAdapter(UINT(GetInt("CurMonitor")));
        if (!adapter || adapter->numDevices == 0 || DWORD(data) >= adapter->devices[0].dwNumModes)
            return;
        const ModeInfo& mode = adapter->devices[0].modes[data];
        SetInt("ModeWidth", int(mode.Width));
        SetInt("ModeHeight", int(mode.Height));
        SetInt("ModeFormat", int(mode.Format));
    }
}

BOOL CSettingsDlg::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case WM_INITDIALOG: result = OnInitDialog(); return TRUE;
    case WM_HSCROLL:
        OnHScroll(reinterpret_cast<HWND>(lParam));
        result = 0;
        return TRUE;
    case WM_COMMAND:
    {
        const WORD id = LOWORD(wParam), code = HIWORD(wParam);
        if (id == IDOK && code == BN_CLICKED)
        {
            SaveSettings();
            EndDialog(0);
        }
        else if (id == IDCANCEL && code == BN_CLICKED)
            EndDialog(0);
        else
            OnCommand(id, code, reinterpret_cast<HWND>(lParam));
        result = 0;
        return TRUE;
    }
    case WM_CLOSE:
        EndDialog(0);
        result = 0;
        return TRUE;
    case WM_DESTROY:
        if (m_hIcon)
            DestroyIcon(m_hIcon);
        m_hIcon = nullptr;
        PostQuitMessage(0);
        result = 0;
        return TRUE;
    default: return FALSE;
    }
}
