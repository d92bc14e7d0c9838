#pragma once
// The settings dialog: the monitor and full-screen mode, aspect ratio, gamma,
// overlays, graphics quality, sounds and music. Every control writes its
// value into the dialog's settings tree at once; OK writes the tree to the
// registry, Cancel drops it.
#include <windows.h>
#include <d3d8.h>

#include "SettingsRules.h"
#include "SettingsTree.h"
#include "WindowBase.h"
#include "d3dapp.h"

// One adapter the main program can run on. `ordinal` is its Direct3D adapter
// number: what "CurMonitor" holds and what the main program opens.
struct AdapterRecord
{
    D3DADAPTER_IDENTIFIER8 identifier;
    D3DDISPLAYMODE desktopMode;
    DWORD numDevices;
    DeviceInfo devices[MAX_DEVICES_PER_ADAPTER];
    DWORD currentDevice;
    UINT ordinal;
};

struct MonitorRecord
{
    char adapterDescription[128];
    char monitorName[128];
    HMONITOR monitor;
    RECT rect;
    LONG reserved; // -1
};

// The depth and stencil the main program asks of a mode: modes without such
// a depth/stencil format are not offered.
enum : DWORD
{
    kMainProgramMinDepthBits = 16,
    kMainProgramMinStencilBits = 2,
};

class CSettingsDlg : public CDialogImplBase
{
public:
    enum
    {
        IDD = 2003,
        // One monitor record per adapter record: the table stops when either
        // is full.
        kMaxAdapters = MAX_MONITORS,
    };

    CSettingsDlg();
    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    virtual HRESULT ConfirmDevice(const D3DCAPS8* caps, DWORD behavior, D3DFORMAT format);

    // The adapter table from a Direct3D object (Direct3DCreate8 when null).
    HRESULT BuildDeviceList(IDirect3D8* d3d = nullptr);
    bool FindDepthStencilFormat(IDirect3D8* d3d, UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                D3DFORMAT* depthFormat);
    // The index in the mode list of the adapter with that ordinal of the
    // first mode of that size and format; 0 when none matches.
    DWORD FindModeIndex(UINT ordinal, const D3DDISPLAYMODE& mode) const;
    // The adapter record with that ordinal, null when none.
    const AdapterRecord* FindAdapter(UINT ordinal) const;
    void SetDefaultSettings();
    void LoadSettings();
    void SaveSettings();

    DWORD GetAdapterCount() const { return m_dwNumAdapters; }
    const AdapterRecord& GetAdapter(DWORD index) const { return m_Adapters[index]; }
    const MonitorRecord& GetMonitor(DWORD index) const { return m_Monitors[index]; }
    Node& GetSettings() { return m_Settings; }

private:
    LRESULT OnInitDialog();
    void OnHScroll(HWND slider);
    void OnCommand(WORD id, WORD code, HWND control);
    void FillMonitorList();
    void FillResolutionList();
    void FillAspectRatioList();
    void UpdateWidescreen(int aspectRatio);
    void UpdateMusicControls();
    void OnEditPlaylist();
    // "CurMonitor" as an ordinal of the table; the first record's when the
    // stored value names none (written back into the tree).
    UINT CheckedMonitor();
    int GetInt(const char* name) { return m_Settings.Get(name).GetInt(); }
    void SetInt(const char* name, int value) { m_Settings.Get(name) = Node::Value(value); }
    bool IsChecked(int id) const;
    void SetCheck(int id, bool checked);
    void Enable(int id, bool enabled);
    void SetLabel(int id, const std::string& format, int value);
    void SetGammaLabel();
    void SetQualityLabel();
    void SetSlider(int id, int low, int high, int position);

    AdapterRecord m_Adapters[MAX_ADAPTERS];
    DWORD m_dwNumAdapters = 0;
    MonitorRecord m_Monitors[MAX_MONITORS];
    DWORD m_dwNumMonitors = 0;
    D3DCAPS8 m_Caps;
    bool m_bHaveCaps = false;
    Node m_Settings;
    GraphicsDefaults m_Graphics;
    HICON m_hIcon = nullptr;
};
