#pragma once
// Small Direct3D helpers shared by the framework and the engine.
#include <d3d8.h>

#include <string>

#include "d3dx8.h"

// The D3DX error text of a code (200 and 1023 characters at most).
std::string GetErrorString(HRESULT hr);
std::string GetErrorStringLong(HRESULT hr);

typedef WORD (*GammaCurve)(WORD entry, double gamma);
WORD GammaCurveLinear(WORD entry, double gamma);
WORD GammaCurvePower(WORD entry, double gamma);
// Sets the device's ramp from the one it had at the first call, through `curve`.
void SetGammaRamp(IDirect3DDevice8* pDevice, double gamma, GammaCurve curve);

struct FogParameters
{
    D3DCOLOR colour;
    D3DFOGMODE mode;
    BOOL rangeFog;
    float density;
    float start;
    float end;
};
void SetFogStates(const FogParameters& fog);

// A world point to screen pixels (x, y) and depth (z) with the cached view
// and projection.
D3DXVECTOR3 ProjectToScreen(const D3DXVECTOR3& point);

// Through the cache: stage 0 passes `argument` (D3DTA_DIFFUSE or
// D3DTA_TEXTURE) as colour and alpha, stages 1 and 2 are off, alpha blending
// over what is there, no culling, depth or fog. For screen-space quads.
void SetScreenQuadStates(DWORD argument, BOOL colourVertex);

// One textured quad over the whole target; leaves its states set.
void DrawFullTargetQuad(IDirect3DDevice8* pDevice, UINT width, UINT height, IDirect3DTexture8* pTexture);

// Textures from files of the main storage; null when missing or refused.
IDirect3DCubeTexture8* LoadCubeTextureFromStorage(const char* name);
IDirect3DTexture8* LoadTextureFromStorage(const char* name);
IDirect3DTexture8* LoadSmokeTexture();

HRESULT SetDeviceCursorFromIcon(HICON icon, IDirect3DDevice8* pDevice);
bool GetRenderTargetDesc(IDirect3DDevice8* pDevice, D3DSURFACE_DESC* pDesc);
