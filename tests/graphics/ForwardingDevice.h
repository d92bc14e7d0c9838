#pragma once
// A device that hands the calls of off-screen rendering to a real device and
// lets a test change the caps it reports and refuse depth formats.
#include <set>
#include <vector>

#include "NullDevice8.h"

class ForwardingDevice : public NullDevice8
{
public:
    explicit ForwardingDevice(IDirect3DDevice8* real) : m_pReal(real) {}

    DWORD addTextureCaps = 0;
    DWORD removeTextureCaps = 0;
    std::set<D3DFORMAT> refusedDepthFormats;
    DWORD maxTextures = 0; // 0: the real device's
    int depthSurfacesMade = 0;
    std::vector<UINT> drawStrides; // the vertex stride of every DrawPrimitiveUP

    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS8* caps) override
    {
        const HRESULT hr = m_pReal->GetDeviceCaps(caps);
        caps->TextureCaps = (caps->TextureCaps | addTextureCaps) & ~removeTextureCaps;
        if (maxTextures)
            caps->MaxSimultaneousTextures = caps->MaxTextureBlendStages = maxTextures;
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

    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE st, DWORD v) override
    {
        return m_pReal->SetRenderState(st, v);
    }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE t, DWORD v) override
    {
        return m_pReal->SetTextureStageState(stage, t, v);
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture8* t) override
    {
        return m_pReal->SetTexture(stage, t);
    }
    HRESULT STDMETHODCALLTYPE SetVertexShader(DWORD h) override { return m_pReal->SetVertexShader(h); }
    HRESULT STDMETHODCALLTYPE SetPixelShader(DWORD h) override { return m_pReal->SetPixelShader(h); }
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* data,
                                              UINT stride) override
    {
        drawStrides.push_back(stride);
        return m_pReal->DrawPrimitiveUP(type, count, data, stride);
    }

private:
    IDirect3DDevice8* m_pReal;
};
