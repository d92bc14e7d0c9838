#pragma once
// A small windowed Direct3D 8 device for the tests that run under Wine,
// made once per test suite.
#include "D3D8Types.h"

#include <gtest/gtest.h>

class D3DXDevice : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "D3DXTextureTest";
        RegisterClassA(&wc);
        s_window = CreateWindowA("D3DXTextureTest", "D3DX textures", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        s_d3d = Direct3DCreate8(120);
        if (!s_window || !s_d3d)
            return;
        D3DDISPLAYMODE mode{};
        s_d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
        D3DPRESENT_PARAMETERS pp{};
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.BackBufferFormat = mode.Format;
        pp.BackBufferWidth = 64;
        pp.BackBufferHeight = 64;
        pp.hDeviceWindow = s_window;
        pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER; // drawing tests read their pixels back
        s_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, s_window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp,
                            &s_device);
    }
    static void TearDownTestSuite()
    {
        if (s_device)
            s_device->Release();
        if (s_d3d)
            s_d3d->Release();
        if (s_window)
            DestroyWindow(s_window);
        s_device = nullptr;
        s_d3d = nullptr;
        s_window = nullptr;
    }
    void SetUp() override { ASSERT_NE(nullptr, s_device) << "no Direct3D 8 device"; }

    static IDirect3DDevice8* s_device;
    static IDirect3D8* s_d3d;
    static HWND s_window;
};

inline IDirect3DDevice8* D3DXDevice::s_device = nullptr;
inline IDirect3D8* D3DXDevice::s_d3d = nullptr;
inline HWND D3DXDevice::s_window = nullptr;
