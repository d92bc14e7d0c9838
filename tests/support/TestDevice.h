#pragma once
// A small windowed Direct3D 8 device for tests that draw, with a lockable
// back buffer so that the pixels drawn can be read back.
#include <d3d8.h>

#include <cstdint>
#include <vector>

class TestDevice
{
public:
    TestDevice(UINT width = 64, UINT height = 64)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TarnholmTestDevice";
        RegisterClassA(&wc);
        m_Window = CreateWindowA("TarnholmTestDevice", "test", WS_OVERLAPPEDWINDOW, 0, 0, int(width), int(height),
                                 nullptr, nullptr, wc.hInstance, nullptr);
        m_pD3D = Direct3DCreate8(120);
        if (!m_Window || !m_pD3D)
            return;
        D3DDISPLAYMODE mode;
        m_pD3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
        D3DPRESENT_PARAMETERS pp = {};
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_COPY;
        pp.BackBufferWidth = width;
        pp.BackBufferHeight = height;
        pp.BackBufferFormat = mode.Format;
        pp.EnableAutoDepthStencil = TRUE;
        pp.AutoDepthStencilFormat = D3DFMT_D24S8;
        pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
        pp.hDeviceWindow = m_Window;
        if (FAILED(m_pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_Window,
                                        D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &m_pDevice)))
            m_pDevice = nullptr;
    }
    ~TestDevice()
    {
        if (m_pDevice)
            m_pDevice->Release();
        if (m_pD3D)
            m_pD3D->Release();
        if (m_Window)
            DestroyWindow(m_Window);
    }
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;

    IDirect3DDevice8* Get() const { return m_pDevice; }

    // The back buffer pixel at (x, y) as 0x00RRGGBB; 0xFFFFFFFF when unreadable.
    uint32_t ReadPixel(UINT x, UINT y) const
    {
        uint32_t result = 0xFFFFFFFF;
        ReadBackBuffer([&](const D3DSURFACE_DESC& desc, const D3DLOCKED_RECT& lr) {
            result = PixelAt(desc.Format, static_cast<const BYTE*>(lr.pBits) + y * lr.Pitch, x);
        });
        return result;
    }

    // The whole back buffer, row after row, as 0x00RRGGBB, read under one
    // lock; empty when unreadable.
    std::vector<uint32_t> ReadPicture() const
    {
        std::vector<uint32_t> pixels;
        ReadBackBuffer([&](const D3DSURFACE_DESC& desc, const D3DLOCKED_RECT& lr) {
            pixels.reserve(size_t(desc.Width) * desc.Height);
            for (UINT y = 0; y < desc.Height; ++y)
                for (UINT x = 0; x < desc.Width; ++x)
                    pixels.push_back(PixelAt(desc.Format, static_cast<const BYTE*>(lr.pBits) + y * lr.Pitch, x));
        });
        return pixels;
    }

private:
    // Calls read with the locked back buffer.
    template <class Read> void ReadBackBuffer(const Read& read) const
    {
        IDirect3DSurface8* back = nullptr;
        if (!m_pDevice || FAILED(m_pDevice->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back)))
            return;
        D3DSURFACE_DESC desc;
        back->GetDesc(&desc);
        D3DLOCKED_RECT lr;
        if (SUCCEEDED(back->LockRect(&lr, nullptr, D3DLOCK_READONLY)))
        {
            read(desc, lr);
            back->UnlockRect();
        }
        back->Release();
    }

    static uint32_t PixelAt(D3DFORMAT format, const BYTE* row, UINT x)
    {
        if (format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8)
            return reinterpret_cast<const uint32_t*>(row)[x] & 0x00FFFFFF;
        if (format == D3DFMT_R5G6B5)
        {
            const WORD p = reinterpret_cast<const WORD*>(row)[x];
            return ((p >> 11) * 255 / 31) << 16 | (((p >> 5) & 63) * 255 / 63) << 8 | ((p & 31) * 255 / 31);
        }
        return 0xFFFFFFFF;
    }

    HWND m_Window = nullptr;
    IDirect3D8* m_pD3D = nullptr;
    IDirect3DDevice8* m_pDevice = nullptr;
};
