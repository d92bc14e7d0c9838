#pragma once
// A device that hands the calls of off-screen rendering to a real device and
// lets a test change the caps it reports and refuse depth formats.
#include <set>

#include "NullDevice8.h"

class ForwardingDevice : public NullDevice8
{
public:
    explicit ForwardingDevice(IDirect3DDevice8* real) : m_pReal(real) {}

    DWORD addTextureCaps = 0;
    DWORD removeTextureCaps = 0;
    std::set<D3DFORMAT> refusedDepthFormats;
    int depthSurfacesMade = 0;

    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS8* caps) override
    {
        const HRESULT hr = m_pReal->GetDeviceCaps(caps);
        caps->TextureCaps = (caps->TextureCaps | addTextureCaps) & ~removeTextureCaps;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D8** out) override { return m_pReal->GetDirect3D(out); }
    HRESULT STDMETHODCALLTYPE GetDisplayMode(D3DDISPLAYMODE* m) override { return m_pReal->GetDisplayMode(m); }
    HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* p) override
    {
        return m_pReal->GetCreationParameters(p);
    }
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT f, D3DPOOL pool,
                                            IDirect3DTexture8** out) override
    {
        return m_pReal->CreateTexture(w, h, levels, usage, f, pool, out);
    }
    HRESULT STDMETHODCALLTYPE CreateDepthStencilSurface(UINT w, UINT h, D3DFORMAT f, D3DMULTISAMPLE_TYPE ms,
                                                        IDirect3DSurface8** out) override
    {
        if (refusedDepthFormats.count(f))
            return D3DERR_NOTAVAILABLE;
        ++depthSurfacesMade;
        return m_pReal->CreateDepthStencilSurface(w, h, f, ms, out);
    }
    HRESULT STDMETHODCALLTYPE SetRenderTarget(IDirect3DSurface8* rt, IDirect3DSurface8* z) override
    {
        return m_pReal->SetRenderTarget(rt, z);
    }
    HRESULT STDMETHODCALLTYPE GetRenderTarget(IDirect3DSurface8** out) override { return m_pReal->GetRenderTarget(out); }
    HRESULT STDMETHODCALLTYPE GetDepthStencilSurface(IDirect3DSurface8** out) override
    {
        return m_pReal->GetDepthStencilSurface(out);
    }
    HRESULT STDMETHODCALLTYPE Clear(DWORD n, const D3DRECT* r, DWORD flags, D3DCOLOR c, float z, DWORD s) override
    {
        return m_pReal->Clear(n, r, flags, c, z, s);
    }
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT8* vp) override { return m_pReal->SetViewport(vp); }
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT8* vp) override { return m_pReal->GetViewport(vp); }

private:
    IDirect3DDevice8* m_pReal;
};
