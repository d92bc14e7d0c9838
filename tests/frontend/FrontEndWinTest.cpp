// The front-end's parts that run inside a test program under Wine: the
// adapter table over a fake Direct3D object, and the playlist dialog.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <d3d8.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "FrontEndDriver.h"
#include "PlaylistDlg.h"
#include "PreviewWnd.h"
#include "Resource.h"
#include "SettingsDlg.h"

using namespace FrontEndTest;

namespace
{
// A Direct3D object with adapters made to order: each adapter has a list of
// display modes and the depth/stencil formats it supports.
class FakeDirect3D8 : public IDirect3D8
{
public:
    struct Adapter
    {
        std::vector<D3DDISPLAYMODE> modes;
        std::vector<D3DFORMAT> depthFormats;
        D3DFORMAT desktopFormat;
    };
    std::vector<Adapter> adapters;
    std::vector<UINT> monitorQueries;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void*) override { return E_NOTIMPL; }
    UINT STDMETHODCALLTYPE GetAdapterCount() override { return UINT(adapters.size()); }
    HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT a, DWORD, D3DADAPTER_IDENTIFIER8* id) override
    {
        std::memset(id, 0, sizeof *id);
        std::snprintf(id->Description, sizeof id->Description, "Fake adapter %u", a);
        id->VendorId = 0x10DE;
        return S_OK;
    }
    UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT a) override { return UINT(adapters[a].modes.size()); }
    HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT a, UINT m, D3DDISPLAYMODE* mode) override
    {
        *mode = adapters[a].modes[m];
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT a, D3DDISPLAYMODE* mode) override
    {
        *mode = {1024, 768, 60, adapters[a].desktopFormat};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, WINBOOL) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT a, D3DDEVTYPE, D3DFORMAT, DWORD, D3DRESOURCETYPE,
                                                D3DFORMAT f) override
    {
        for (D3DFORMAT d : adapters[a].depthFormats)
            if (d == f)
                return S_OK;
        return D3DERR_NOTAVAILABLE;
    }
    HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT, D3DDEVTYPE, D3DFORMAT, WINBOOL,
                                                         D3DMULTISAMPLE_TYPE) override
    {
        return D3DERR_NOTAVAILABLE;
    }
    HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS8* caps) override
    {
        std::memset(caps, 0, sizeof *caps);
        caps->PixelShaderVersion = D3DPS_VERSION(1, 4);
        caps->Caps2 = D3DCAPS2_FULLSCREENGAMMA;
        return S_OK;
    }
    HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT a) override
    {
        monitorQueries.push_back(a);
        return nullptr;
    }
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*,
                                           IDirect3DDevice8**) override
    {
        return D3DERR_NOTAVAILABLE;
    }
};

D3DDISPLAYMODE Mode(UINT w, UINT h, UINT refresh, D3DFORMAT f)
{
    return D3DDISPLAYMODE{w, h, refresh, f};
}

FakeDirect3D8::Adapter UsableAdapter()
{
    return {{Mode(1024, 768, 60, D3DFMT_X8R8G8B8), Mode(800, 600, 60, D3DFMT_X8R8G8B8),
             Mode(1024, 768, 75, D3DFMT_X8R8G8B8), Mode(1024, 768, 60, D3DFMT_R5G6B5)},
            {D3DFMT_D16, D3DFMT_D24S8},
            D3DFMT_X8R8G8B8};
}

TEST(FrontEndAdapterTable, KeepsOrdinalsAndOnlyModesTheMainProgramAccepts)
{
    FakeDirect3D8 d3d;
    d3d.adapters.push_back(UsableAdapter());
    // Only modes below 640 x 480: no record.
    d3d.adapters.push_back({{Mode(320, 240, 60, D3DFMT_X8R8G8B8)}, {D3DFMT_D24S8}, D3DFMT_X8R8G8B8});
    // Depth without stencil: the main program could not run here.
    d3d.adapters.push_back({{Mode(1024, 768, 60, D3DFMT_X8R8G8B8)}, {D3DFMT_D16, D3DFMT_D32}, D3DFMT_X8R8G8B8});
    d3d.adapters.push_back(UsableAdapter());

    static CSettingsDlg dialog; // large: static storage, as in the program
    ASSERT_EQ(dialog.BuildDeviceList(&d3d), S_OK);
    ASSERT_EQ(dialog.GetAdapterCount(), 2u);
    EXPECT_EQ(dialog.GetAdapter(0).ordinal, 0u);
    EXPECT_EQ(dialog.GetAdapter(1).ordinal, 3u);
    // Each monitor is asked of its own adapter, not of its slot.
    EXPECT_EQ(d3d.monitorQueries, (std::vector<UINT>{0, 3}));

    const DeviceInfo& device = dialog.GetAdapter(1).devices[0];
    ASSERT_EQ(device.dwNumModes, 3u); // 60 and 75 Hz are one mode
    EXPECT_EQ(device.modes[0].Width, 800u);
    EXPECT_EQ(device.modes[1].Format, D3DFMT_R5G6B5); // the larger format number first at one size
    EXPECT_EQ(device.modes[2].Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(device.modes[2].DepthStencilFormat, D3DFMT_D24S8);

    D3DDISPLAYMODE wanted = Mode(1024, 768, 0, D3DFMT_X8R8G8B8);
    EXPECT_EQ(dialog.FindModeIndex(3, wanted), 2u);
    EXPECT_EQ(dialog.FindModeIndex(2, wanted), 0u); // no such adapter in the table
}

TEST(FrontEndAdapterTable, StopsWhenTheMonitorListIsFull)
{
    FakeDirect3D8 d3d;
    for (int i = 0; i < 12; ++i)
        d3d.adapters.push_back(UsableAdapter());
    static CSettingsDlg dialog;
    ASSERT_EQ(dialog.BuildDeviceList(&d3d), S_OK);
    EXPECT_EQ(dialog.GetAdapterCount(), DWORD(MAX_MONITORS));
    EXPECT_EQ(d3d.monitorQueries.size(), size_t(MAX_MONITORS));
    EXPECT_STREQ(dialog.GetMonitor(8).adapterDescription, "Fake adapter 8");
}

// The playlist dialog, run modally here; a timer inside its modal loop plays
// the user's part.
class FrontEndPlaylist : public ::testing::Test
{
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        DeleteSettingsKey();
        m_Work = ProgramFolder() + "\\playlist work";
        CreateDirectoryA(m_Work.c_str(), nullptr);
        CreateDirectoryA((m_Work + "\\sub").c_str(), nullptr);
        for (const char* name : {"a.ogg", "b song.mp3", "sub\\c.ogg", "gone.ogg", "radio.pls"})
            WriteTextFile(m_Work + "\\" + name, "x");
        WriteTextFile(m_Work + "\\sub\\list.m3u",
                      "#EXTM3U\r\n#EXTINF:12,Track\r\nc.ogg\r\n\r\nmissing.ogg\r\n");
        SetProductValue("PlayList", Path("a.ogg") + "\n" + Path("gone.ogg") + "\n");
        DeleteFileA(Path("gone.ogg").c_str()); // dropped when the dialog opens
    }
    void TearDown() override { DeleteSettingsKey(); }
    std::string Path(const char* name) const { return m_Work + "\\" + name; }

    // Runs the dialog; `act` runs once inside its message loop.
    template <class Act> void Run(Act act)
    {
        static Act* s_Act;
        static CPlaylistDlg* s_Dialog;
        Node settings;
        CPlaylistDlg dialog(&settings, "Tarnholm 3D Screensaver");
        s_Act = &act;
        s_Dialog = &dialog;
        const UINT_PTR timer = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            if (s_Dialog->m_hWnd)
                (*s_Act)(*s_Dialog);
        });
        // Never hang: the dialog closes itself after ten seconds at most.
        const UINT_PTR watchdog = SetTimer(nullptr, 0, 10000, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            if (s_Dialog->m_hWnd)
                PostMessageA(s_Dialog->m_hWnd, WM_CLOSE, 0, 0);
        });
        dialog.DoModal(nullptr, CPlaylistDlg::IDD);
        KillTimer(nullptr, timer);
        KillTimer(nullptr, watchdog);
    }
    std::string m_Work;
};

size_t Rows(CPlaylistDlg& dialog)
{
    return size_t(SendDlgItemMessageA(dialog.m_hWnd, IDC_PLAYLIST_LIST, LVM_GETITEMCOUNT, 0, 0));
}

std::string Row(CPlaylistDlg& dialog, int index)
{
    char text[1024] = {};
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendDlgItemMessageA(dialog.m_hWnd, IDC_PLAYLIST_LIST, LVM_GETITEMTEXTA, WPARAM(index),
                        reinterpret_cast<LPARAM>(&item));
    return text;
}

void Select(CPlaylistDlg& dialog, int index)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendDlgItemMessageA(dialog.m_hWnd, IDC_PLAYLIST_LIST, LVM_SETITEMSTATE, WPARAM(index),
                        reinterpret_cast<LPARAM>(&item));
}

void Press(CPlaylistDlg& dialog, int id)
{
    PostMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog.m_hWnd, id)));
}

TEST_F(FrontEndPlaylist, AddsM3uEntriesRemovesSelectedRowsAndOkSavesThePlaylist)
{
    std::vector<std::string> shown, afterAdding, afterRemoving, entries;
    Run([&](CPlaylistDlg& dialog) {
        for (size_t i = 0; i < Rows(dialog); ++i)
            shown.push_back(Row(dialog, int(i)));
        dialog.AddFile(Path("sub\\list.m3u"));
        dialog.AddFile(Path("radio.pls"));
        dialog.AddFile(Path("b song.mp3"));
        for (size_t i = 0; i < Rows(dialog); ++i)
            afterAdding.push_back(Row(dialog, int(i)));
        Select(dialog, 1);
        Select(dialog, 2);
        SendMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_PLAYLIST_REMOVE, BN_CLICKED), 0);
        for (size_t i = 0; i < Rows(dialog); ++i)
            afterRemoving.push_back(Row(dialog, int(i)));
        for (size_t i = 0; i < dialog.GetPlaylist().GetCount(); ++i)
            entries.push_back(dialog.GetPlaylist().GetEntry(i));
        Press(dialog, IDOK);
    });
    EXPECT_EQ(shown, (std::vector<std::string>{Path("a.ogg")}));
    EXPECT_EQ(afterAdding, (std::vector<std::string>{Path("a.ogg"), Path("sub\\c.ogg"), Path("radio.pls"),
                                                     Path("b song.mp3")}));
    EXPECT_EQ(afterRemoving, (std::vector<std::string>{Path("a.ogg"), Path("b song.mp3")}));
    EXPECT_EQ(entries, afterRemoving);
    EXPECT_EQ(ProductValue("PlayList"), Path("a.ogg") + "\n" + Path("b song.mp3") + "\n");
}

TEST_F(FrontEndPlaylist, CancelKeepsTheStoredTextAndAnEmptyListSavesEmpty)
{
    const std::string stored = ProductValue("PlayList");
    Run([&](CPlaylistDlg& dialog) {
        dialog.AddFile(Path("b song.mp3"));
        Press(dialog, IDCANCEL);
    });
    EXPECT_EQ(ProductValue("PlayList"), stored);

    Run([&](CPlaylistDlg& dialog) {
        Select(dialog, 0);
        SendMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_PLAYLIST_REMOVE, BN_CLICKED), 0);
        Press(dialog, IDOK);
    });
    EXPECT_EQ(ProductValue("PlayList"), "");
}

bool IsSky(DWORD rgb)
{
    const int r = int(rgb >> 16), g = int((rgb >> 8) & 255), b = int(rgb & 255);
    return b > r + 40 && b > 120 && g > r;
}

bool IsGround(DWORD rgb)
{
    const int r = int(rgb >> 16), g = int((rgb >> 8) & 255), b = int(rgb & 255);
    return r > b + 30 && g > b && r > 60;
}

TEST(FrontEndPreview, ThePictureIsStretchedOverTheWholeWindow)
{
    CParentWindow parent;
    ASSERT_NE(parent.m_hWnd, nullptr);
    RECT rect;
    GetClientRect(parent.m_hWnd, &rect);
    CPreviewWnd preview;
    ASSERT_NE(preview.Create(parent.m_hWnd, rect, "", WS_CHILD | WS_VISIBLE), nullptr);
    ASSERT_EQ(preview.LoadPicture(IDR_PREVIEW_JPEG), S_OK);
    InvalidateRect(preview.m_hWnd, nullptr, TRUE);
    PumpFor(500);
    SaveScreenRect(RECT{100, 100, 404, 324}, ProgramFolder() + "\\preview.bmp");
    // Sky along the top edge, ground along the bottom edge, corner to corner.
    for (int x : {4, 150, 299})
    {
        EXPECT_TRUE(IsSky(ScreenPixel(100 + x, 104))) << std::hex << ScreenPixel(100 + x, 104);
        EXPECT_TRUE(IsGround(ScreenPixel(100 + x, 319))) << std::hex << ScreenPixel(100 + x, 319);
    }
    EXPECT_EQ(preview.LoadPicture(999), E_FAIL);
    EXPECT_TRUE(preview.HasPicture()); // a failed load keeps the picture shown
}
} // namespace
