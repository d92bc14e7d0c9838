#pragma once
// D3DX 8 core: the reference-counted byte buffer that D3DX functions hand
// out (assembled shader code, constant tokens, error text).
#include "WinTypes.h"
#ifdef _WIN32
#include <unknwn.h>
#endif

struct ID3DXBuffer : public IUnknown
{
    virtual LPVOID STDMETHODCALLTYPE GetBufferPointer() = 0;
    virtual DWORD STDMETHODCALLTYPE GetBufferSize() = 0;
};
typedef ID3DXBuffer* LPD3DXBUFFER;

// Interface id of ID3DXBuffer (QueryInterface answers it and IUnknown).
extern const IID IID_ID3DXBuffer;

// A zero-filled buffer of NumBytes bytes with a reference count of one.
HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER* ppBuffer);
