#pragma once
// The DirectDraw 7 interface id, kept here rather than taken from the dxguid
// library, whose one object also defines the D3DX ids our own layer defines.
#include <windows.h>

static const GUID kIID_IDirectDraw7 = {0x15e65ec0, 0x3b9c, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
