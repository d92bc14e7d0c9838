#pragma once
// A recording stand-in for IDirect3D8: one adapter whose modes, format
// support and device creation the test sets. Devices it lets through come
// from a real Direct3D object, created windowed at the desktop format.
#include <windows.h>
#include <d3d8.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

class FakeD3D8 : public IDirect3D8
{
public:
    std::vector<D3DDISPLAYMODE> modes;
    D3DDISPLAYMODE desktop = {1024, 768, 60, D3DFMT_X8R8G8B8};
    D3DCAPS8 caps = {};
    std::set<D3DFORMAT> badDisplayFormats; // CheckDeviceType fails
    std::set<D3DFORMAT> depthFormats = {D3DFMT_D32,     D3DFMT_D24X8, D3DFMT_D24S8,
                                        D3DFMT_D24X4S4, D3DFMT_D16,   D3DFMT_D15S1};
    std::vector<HRESULT> createResults;          // one per CreateDevice call, then S_OK
    std::vector<D3DPRESENT_PARAMETERS> created;  // the parameters of each call
    std::vector<std::pair<D3DFORMAT, D3DFORMAT>> depthChecks; // (target, depth) asked
    IDirect3D8* real = nullptr;
    std::string description = "Fake adapter";

    FakeD3D8()
    {
        caps.DeviceType = D3DDEVTYPE_HAL;
        caps.Caps2 = D3DCAPS2_CANRENDERWINDOWED;
    }

    HRESULT WINAPI QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG WINAPI AddRef() override { return 1; }
    ULONG WINAPI Release() override { return 1; }
    HRESULT WINAPI RegisterSoftwareDevice(void*) override { return E_NOTIMPL; }
    UINT WINAPI GetAdapterCount() override { return 1; }
    HRESULT WINAPI GetAdapterIdentifier(UINT, DWORD, D3DADAPTER_IDENTIFIER8* id) override
    {
        *id = {};
        lstrcpynA(id->Description, description.c_str(), sizeof(id->Description));
        return S_OK;
    }
    UINT WINAPI GetAdapterModeCount(UINT) override { return (UINT)modes.size(); }
    HRESULT WINAPI EnumAdapterModes(UINT, UINT i, D3DDISPLAYMODE* m) override
    {
        *m = modes.at(i);
        return S_OK;
    }
    HRESULT WINAPI GetAdapterDisplayMode(UINT, D3DDISPLAYMODE* m) override
    {
        *m = desktop;
        return S_OK;
    }
    HRESULT WINAPI CheckDeviceType(UINT, D3DDEVTYPE, D3DFORMAT f, D3DFORMAT, BOOL) override
    {
        return badDisplayFormats.count(f) ? D3DERR_NOTAVAILABLE : S_OK;
    }
    HRESULT WINAPI CheckDeviceFormat(UINT, D3DDEVTYPE, D3DFORMAT, DWORD usage, D3DRESOURCETYPE,
                                     D3DFORMAT f) override
    {
        if (usage & D3DUSAGE_DEPTHSTENCIL)
            return depthFormats.count(f) ? S_OK : D3DERR_NOTAVAILABLE;
        return S_OK;
    }
    HRESULT WINAPI CheckDeviceMultiSampleType(UINT, D3DDEVTYPE, D3DFORMAT, BOOL, D3DMULTISAMPLE_TYPE) override
    {
        return D3DERR_NOTAVAILABLE;
    }
    HRESULT WINAPI CheckDepthStencilMatch(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT target, D3DFORMAT depth) override
    {
        depthChecks.push_back({target, depth});
        return S_OK;
    }
    HRESULT WINAPI GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS8* c) override
    {
        *c = caps;
        return S_OK;
    }
    HMONITOR WINAPI GetAdapterMonitor(UINT) override { return nullptr; }
    HRESULT WINAPI CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* pp,
                                IDirect3DDevice8** out) override
    {
        created.push_back(*pp);
        const size_t call = created.size() - 1;
        const HRESULT hr = call < createResults.size() ? createResults[call] : S_OK;
        if (FAILED(hr) || !real)
        {
            *out = nullptr;
            return FAILED(hr) ? hr : E_FAIL;
        }
        D3DPRESENT_PARAMETERS windowed = {};
        windowed.BackBufferCount = 1;
        windowed.SwapEffect = D3DSWAPEFFECT_DISCARD;
        windowed.Windowed = TRUE;
        windowed.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER; // tests read pixels back
        windowed.hDeviceWindow = pp->hDeviceWindow;
        windowed.BackBufferWidth = 64;
        windowed.BackBufferHeight = 64;
        D3DDISPLAYMODE dm;
        real->GetAdapterDisplayMode(0, &dm);
        windowed.BackBufferFormat = dm.Format;
        return real->CreateDevice(adapter, type, focus, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &windowed, out);
    }
};
