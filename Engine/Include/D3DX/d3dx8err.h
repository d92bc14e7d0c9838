#pragma once
// D3DX result codes and their texts.
#include "D3D8Types.h"

#define MAKE_DDHRESULT(code) MAKE_HRESULT(1, 0x876, code)

enum _D3DXERR
{
    D3DXERR_CANNOTMODIFYINDEXBUFFER = MAKE_DDHRESULT(2900),
    D3DXERR_INVALIDMESH = MAKE_DDHRESULT(2901),
    D3DXERR_CANNOTATTRSORT = MAKE_DDHRESULT(2902),
    D3DXERR_SKINNINGNOTSUPPORTED = MAKE_DDHRESULT(2903),
    D3DXERR_TOOMANYINFLUENCES = MAKE_DDHRESULT(2904),
    D3DXERR_INVALIDDATA = MAKE_DDHRESULT(2905),
    D3DXERR_LOADEDMESHASNODATA = MAKE_DDHRESULT(2906),
};

// Writes the name and meaning of a Direct3D, D3DX or common COM result into
// buffer (at most bufferLen characters with the terminating zero; longer
// texts are cut). Unknown codes read "Unknown error 0x%08X". E_INVALIDARG,
// and nothing written, without a buffer.
HRESULT WINAPI D3DXGetErrorStringA(HRESULT hr, LPSTR buffer, UINT bufferLen);
