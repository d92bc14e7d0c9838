#include "D3DUtils.h"
#include "ComRef.h"

#include "RenderStateManager.h"
#include "Storage.h"

#include <cmath>
#include <cstring>
#include <vector>

#ifndef D3DSGR_NO_CALIBRATION
#define D3DSGR_NO_CALIBRATION 0x00000000L
#endif

namespace
{
std::string ErrorText(HRESULT hr, size_t capacity)
{
    std::vector<char> buffer(capacity + 1, 0);
    D3DXGetErrorStringA(hr, buffer.data(), UINT(buffer.size()));
    buffer[capacity] = 0;
    return buffer.data();
}

D3DGAMMARAMP g_SavedRamp;
bool g_bFirstGammaCall = true;
} // namespace

std::string GetErrorString(HRESULT hr)
{
    return ErrorText(hr, 200);
}

std::string GetErrorStringLong(HRESULT hr)
{
    return ErrorText(hr, 1023);
}

WORD GammaCurveLinear(WORD entry, double gamma)
{
    return WORD(entry * gamma);
}

WORD GammaCurvePower(WORD entry, double gamma)
{
    return WORD(pow(entry / 65535.0, 1.0 / gamma) * 65535.0);
}

void SetGammaRamp(IDirect3DDevice8* pDevice, double gamma, GammaCurve curve)
{
    if (g_bFirstGammaCall)
    {
        pDevice->GetGammaRamp(&g_SavedRamp);
        g_bFirstGammaCall = false;
        for (WORD* channel : {g_SavedRamp.red, g_SavedRamp.green, g_SavedRamp.blue})
            for (int i = 0; i < 256; ++i)
                channel[i] = WORD(channel[i] * 256);
    }
    D3DGAMMARAMP ramp = g_SavedRamp;
    WORD* out[3] = {ramp.red, ramp.green, ramp.blue};
    const WORD* in[3] = {g_SavedRamp.red, g_SavedRamp.green, g_SavedRamp.blue};
    for (int c = 0; c < 3; ++c)
        for (int i = 2; i < 256; ++i)
            out[c][i] = curve(in[c][i], gamma);
    pDevice->SetGammaRamp(D3DSGR_NO_CALIBRATION, &ramp);
}

void SetFogStates(const FogParameters& fog)
{
    RenderStateManager& rsm = RenderStateManager::Instance();
    auto bits = [](float f) {
        DWORD d;
        memcpy(&d, &f, 4);
        return d;
    };
    rsm.SetRenderState(D3DRS_FOGENABLE, 1);
    rsm.SetRenderState(D3DRS_FOGCOLOR, fog.colour);
    rsm.SetRenderState(D3DRS_FOGVERTEXMODE, fog.mode);
    if (fog.mode == D3DFOG_LINEAR)
    {
        rsm.SetRenderState(D3DRS_FOGSTART, bits(fog.start));
        rsm.SetRenderState(D3DRS_FOGEND, bits(fog.end));
    }
    else
        rsm.SetRenderState(D3DRS_FOGDENSITY, bits(fog.density));
    if (fog.rangeFog)
        rsm.SetRenderState(D3DRS_RANGEFOGENABLE, 1);
}

D3DXVECTOR3 ProjectToScreen(const D3DXVECTOR3& point)
{
    RenderStateManager& rsm = RenderStateManager::Instance();
    D3DVIEWPORT8 vp = {};
    if (rsm.GetDevice())
        rsm.GetDevice()->GetViewport(&vp);
    D3DXMATRIX viewProj;
    D3DXMatrixMultiply(&viewProj, reinterpret_cast<const D3DXMATRIX*>(rsm.GetTransform(D3DTS_VIEW)),
                       reinterpret_cast<const D3DXMATRIX*>(rsm.GetTransform(D3DTS_PROJECTION)));
    D3DXVECTOR4 q;
    D3DXVec3Transform(&q, &point, &viewProj);
    return D3DXVECTOR3((q.x / q.w * 0.5f + 0.5f) * vp.Width, (0.5f - q.y / q.w * 0.5f) * vp.Height, q.z / q.w);
}

void SetScreenQuadStates(DWORD argument, BOOL colourVertex)
{
    RenderStateManager& rsm = RenderStateManager::Instance();
    rsm.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    rsm.SetTextureStageState(0, D3DTSS_COLORARG1, argument);
    rsm.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    rsm.SetTextureStageState(0, D3DTSS_ALPHAARG1, argument);
    for (DWORD s = 1; s <= 2; ++s)
    {
        rsm.SetTextureStageState(s, D3DTSS_COLOROP, D3DTOP_DISABLE);
        rsm.SetTextureStageState(s, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    }
    rsm.SetRenderState(D3DRS_ALPHATESTENABLE, 0);
    rsm.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    rsm.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    rsm.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    rsm.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    rsm.SetRenderState(D3DRS_ZENABLE, 0);
    rsm.SetRenderState(D3DRS_ZWRITEENABLE, 0);
    rsm.SetRenderState(D3DRS_FOGENABLE, 0);
    rsm.SetRenderState(D3DRS_COLORVERTEX, colourVertex);
}

void DrawFullTargetQuad(IDirect3DDevice8* pDevice, UINT width, UINT height, IDirect3DTexture8* pTexture)
{
    if (!pDevice)
        return;
    struct Vertex
    {
        float x, y, z, rhw, u, v;
    };
    const DWORD fvf = D3DFVF_XYZRHW | D3DFVF_TEX1;
    static IDirect3DVertexBuffer8* s_pVB = nullptr;
    static IDirect3DIndexBuffer8* s_pIB = nullptr;
    if (!s_pVB && FAILED(pDevice->CreateVertexBuffer(4 * sizeof(Vertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, fvf,
                                                     D3DPOOL_DEFAULT, &s_pVB)))
    {
        s_pVB = nullptr;
        return;
    }
    if (!s_pIB)
    {
        BYTE* p = nullptr;
        if (FAILED(pDevice->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &s_pIB)))
        {
            s_pIB = nullptr;
            return;
        }
        if (SUCCEEDED(s_pIB->Lock(0, 0, &p, 0)))
        {
            const WORD idx[6] = {0, 1, 2, 1, 3, 2};
            memcpy(p, idx, sizeof(idx));
            s_pIB->Unlock();
        }
    }
    BYTE* p = nullptr;
    if (FAILED(s_pVB->Lock(0, 0, &p, D3DLOCK_DISCARD)))
        return;
    const float w = float(width) - 0.5f, h = float(height) - 0.5f;
    const Vertex v[4] = {{-0.5f, -0.5f, 0, 1, 0, 0}, {w, -0.5f, 0, 1, 1, 0}, {-0.5f, h, 0, 1, 0, 1}, {w, h, 0, 1, 1, 1}};
    memcpy(p, v, sizeof(v));
    s_pVB->Unlock();

    RenderStateManager& rsm = RenderStateManager::Instance();
    pDevice->SetStreamSource(0, s_pVB, sizeof(Vertex));
    pDevice->SetIndices(s_pIB, 0);
    pDevice->SetVertexShader(fvf);
    pDevice->SetTexture(0, pTexture);
    pDevice->SetTexture(1, nullptr);
    pDevice->SetTexture(2, nullptr);
    SetScreenQuadStates(D3DTA_TEXTURE, FALSE);
    rsm.SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    rsm.SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2);
}

IDirect3DCubeTexture8* LoadCubeTextureFromStorage(const char* name)
{
    IDirect3DDevice8* device = RenderStateManager::Instance().GetDevice();
    std::vector<BYTE> bytes;
    Storage::ReadMainStorageFile(name, bytes);
    IDirect3DCubeTexture8* texture = nullptr;
    if (!device || bytes.empty() ||
        FAILED(D3DXCreateCubeTextureFromFileInMemory(device, bytes.data(), UINT(bytes.size()), &texture)))
        return nullptr;
    return texture;
}

IDirect3DTexture8* LoadTextureFromStorage(const char* name)
{
    RenderStateManager& rsm = RenderStateManager::Instance();
    std::vector<BYTE> bytes;
    Storage::ReadMainStorageFile(name, bytes);
    IDirect3DTexture8* texture = nullptr;
    if (!rsm.GetDevice() || bytes.empty() ||
        FAILED(D3DXCreateTextureFromFileInMemory(rsm.GetDevice(), bytes.data(), UINT(bytes.size()), &texture)))
        return nullptr;
    rsm.AddTextureMemory(texture);
    return texture;
}

IDirect3DTexture8* LoadSmokeTexture() { return LoadTextureFromStorage("Smoke.tga"); }

HRESULT SetDeviceCursorFromIcon(HICON icon, IDirect3DDevice8* pDevice)
{
    ICONINFO info = {};
    if (!pDevice || !GetIconInfo(icon, &info))
        return E_FAIL;
    HRESULT hr = E_FAIL;
    ComRef<IDirect3DSurface8> surface;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    BITMAP bm = {};
    if (GetObjectA(info.hbmMask, sizeof(bm), &bm))
    {
        const int width = bm.bmWidth;
        const int maskHeight = bm.bmHeight;
        const int height = info.hbmColor ? maskHeight : maskHeight / 2;
        std::vector<DWORD> mask(size_t(width) * maskHeight), colour;
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -maskHeight; // top-down rows
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        bool ok = width > 0 && height > 0 &&
                  GetDIBits(dc, info.hbmMask, 0, maskHeight, mask.data(), &bi, DIB_RGB_COLORS) == maskHeight;
        if (ok && info.hbmColor)
        {
            colour.resize(size_t(width) * height);
            bi.bmiHeader.biHeight = -height;
            ok = GetDIBits(dc, info.hbmColor, 0, height, colour.data(), &bi, DIB_RGB_COLORS) == height;
        }
        if (ok)
            hr = pDevice->CreateImageSurface(width, height, D3DFMT_A8R8G8B8, surface.Put());
        D3DLOCKED_RECT lr;
        if (ok && SUCCEEDED(hr) && SUCCEEDED(hr = surface->LockRect(&lr, nullptr, 0)))
        {
            for (int y = 0; y < height; ++y)
            {
                DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch);
                for (int x = 0; x < width; ++x)
                {
                    const size_t at = size_t(y) * width + x;
                    const DWORD c = info.hbmColor ? colour[at] : mask[size_t(y + height) * width + x];
                    row[x] = mask[at] ? 0 : (c | 0xFF000000);
                }
            }
            surface->UnlockRect();
            hr = pDevice->SetCursorProperties(info.xHotspot, info.yHotspot, surface);
        }
        else if (SUCCEEDED(hr))
            hr = E_FAIL;
    }
    surface.Reset();
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    return SUCCEEDED(hr) ? S_OK : hr;
}

bool GetRenderTargetDesc(IDirect3DDevice8* pDevice, D3DSURFACE_DESC* pDesc)
{
    ComRef<IDirect3DSurface8> target;
    if (!pDevice || FAILED(pDevice->GetRenderTarget(target.Put())) || !target)
        return false;
    return SUCCEEDED(target->GetDesc(pDesc));
}

