#pragma once
// Screen drawing through the effects. Windows tree.
#include <d3d8.h>

// A screen rectangle in pixels drawn through the diffuse effect: textured
// (modulated by the colour) or, without a texture, in the colour alone as
// the effect's stages make it.
void DrawRectangle(const RECT& rect, IDirect3DDevice8* pDevice, IDirect3DBaseTexture8* pTexture, DWORD destBlend,
                   D3DCOLOR colour);
void DrawRectangle(D3DCOLOR colour, IDirect3DDevice8* pDevice, IDirect3DBaseTexture8* pTexture, const RECT& rect);
