#pragma once
// The stencil shadow mask in the frame: the mask texture turned into
// stencil values (2 where lit, 1 where shadowed), and the states that draw
// the locomotive's fake shadows only where the stencil says lit.
#include <d3d8.h>

// The stencil values the mask leaves in the frame's depth-stencil buffer.
constexpr DWORD kStencilShadowed = 1;
constexpr DWORD kStencilLit = 2;

// Draws a quad over the whole current render target that sets the stencil
// to 2 under the mask's bright texels and leaves 1 under its black ones;
// the picture itself is unchanged.
void DrawShadowMaskToStencil(IDirect3DDevice8* device, IDirect3DTexture8* mask);

// Blending that multiplies the picture by twice the fake shadow's colour
// (2 x source x destination), and with stencil shadows a stencil test that
// lets the fake shadows only where the mask left the picture lit, so they
// never darken a stencil shadow a second time. Set through the device-state
// cache, inside the caller's push and pop.
void SetFakeShadowStates(bool withStencilShadows);
