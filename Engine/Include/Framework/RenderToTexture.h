#pragma once
// An off-screen render target: a texture of the back buffer's format that
// the scene draws into between Begin and End, with an optional depth buffer.
// Full-size targets may share the device's own depth buffer; all other depth
// buffers come from one process-wide cache keyed by size and format.
#include <d3d8.h>

#include "RenderMath.h"

class RenderToTexture
{
public:
    RenderToTexture();
    ~RenderToTexture();
    RenderToTexture(const RenderToTexture&) = delete;
    RenderToTexture& operator=(const RenderToTexture&) = delete;

    // Width or height 0 means the current render target's.
    HRESULT Create(IDirect3DDevice8* pDevice, bool useDepth, UINT width, UINT height, bool sharePrimaryDepth);
    HRESULT Begin(bool clear);
    // Back to the render target current at Begin, the depth surface current
    // at Create and the viewport saved at Begin.
    HRESULT End();
    void SetViewport(DWORD x, DWORD y, DWORD width, DWORD height, float minZ, float maxZ);
    void ReleaseSurfaces();

    // The first cached depth surface of that size and format, else a new one
    // added to the cache. The cache keeps its surfaces until the process ends.
    static HRESULT GetDepthBuffer(UINT width, UINT height, D3DFORMAT format, IDirect3DSurface8** ppOut);
    // Releases every cached depth surface once (at exit, and for tests that
    // replace their device).
    static void ReleaseDepthBufferCache();

    bool IsReady() const { return m_bReady; }
    UINT GetWidth() const { return m_Width; }
    UINT GetHeight() const { return m_Height; }
    D3DFORMAT GetFormat() const { return m_Format; }
    IDirect3DTexture8* GetTexture() const { return m_pTexture; }
    IDirect3DSurface8* GetDepthSurface() const { return m_pOwnDepth; }

private:
    void ReleaseCreationReferences();

    bool m_bReady = false;
    bool m_bUseDepth = false;
    bool m_bCapsKnown = false;
    bool m_bPow2Required = false;
    UINT m_Width = 0;
    UINT m_Height = 0;
    D3DFORMAT m_Format = D3DFMT_UNKNOWN;
    D3DSURFACE_DESC m_TargetDesc = {};
    IDirect3DTexture8* m_pTexture = nullptr;
    IDirect3DSurface8* m_pSavedTarget = nullptr; // one reference while held
    IDirect3DSurface8* m_pPrimaryDepth = nullptr; // one reference
    IDirect3DSurface8* m_pOwnDepth = nullptr; // a cached surface, or the primary one with its own reference
    bool m_bOwnDepthIsPrimary = false;
    IDirect3DDevice8* m_pDevice = nullptr; // one reference
    D3DVIEWPORT8 m_SavedViewport = {};
    D3DVIEWPORT8 m_TargetViewport = {};
};

// "D3DFMT_" and the name of a format, "UNKNOWN FORMAT" for others.
const char* GetTextureFormatName(D3DFORMAT format);
