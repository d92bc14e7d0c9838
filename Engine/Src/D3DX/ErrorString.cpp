// Texts of the result codes for logs.
#include "d3dx8err.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{

struct ErrorText
{
    HRESULT code;
    const char* text;
};

#define ERROR_TEXT(code, meaning) {(HRESULT)(code), #code ": " meaning}

const ErrorText kErrorTexts[] = {
    ERROR_TEXT(S_OK, "No error"),
    ERROR_TEXT(S_FALSE, "Completed, result false"),
    ERROR_TEXT(E_FAIL, "Unspecified failure"),
    ERROR_TEXT(E_NOTIMPL, "Not implemented"),
    ERROR_TEXT(E_NOINTERFACE, "No such interface supported"),
    ERROR_TEXT(E_POINTER, "Invalid pointer"),
    ERROR_TEXT(E_OUTOFMEMORY, "Out of memory"),
    ERROR_TEXT(E_INVALIDARG, "An invalid parameter was passed"),
    ERROR_TEXT(D3DERR_WRONGTEXTUREFORMAT, "The texture format cannot be used with these render states"),
    ERROR_TEXT(D3DERR_UNSUPPORTEDCOLOROPERATION, "The device does not support this colour operation"),
    ERROR_TEXT(D3DERR_UNSUPPORTEDCOLORARG, "The device does not support this colour argument"),
    ERROR_TEXT(D3DERR_UNSUPPORTEDALPHAOPERATION, "The device does not support this alpha operation"),
    ERROR_TEXT(D3DERR_UNSUPPORTEDALPHAARG, "The device does not support this alpha argument"),
    ERROR_TEXT(D3DERR_TOOMANYOPERATIONS, "The device cannot do this many texture operations in one pass"),
    ERROR_TEXT(D3DERR_CONFLICTINGTEXTUREFILTER, "The device cannot combine these texture filters"),
    ERROR_TEXT(D3DERR_UNSUPPORTEDFACTORVALUE, "The device does not support this texture factor value"),
    ERROR_TEXT(D3DERR_CONFLICTINGRENDERSTATE, "The render states set are not compatible"),
    ERROR_TEXT(D3DERR_UNSUPPORTEDTEXTUREFILTER, "The device does not support this texture filter"),
    ERROR_TEXT(D3DERR_CONFLICTINGTEXTUREPALETTE, "The current textures cannot be used together"),
    ERROR_TEXT(D3DERR_DRIVERINTERNALERROR, "Internal driver error"),
    ERROR_TEXT(D3DERR_NOTFOUND, "The requested item was not found"),
    ERROR_TEXT(D3DERR_MOREDATA, "There is more data than the buffer can hold"),
    ERROR_TEXT(D3DERR_DEVICELOST, "The device is lost"),
    ERROR_TEXT(D3DERR_DEVICENOTRESET, "The device is lost but can be reset"),
    ERROR_TEXT(D3DERR_NOTAVAILABLE, "The requested format or feature is not available"),
    ERROR_TEXT(D3DERR_OUTOFVIDEOMEMORY, "Out of video memory"),
    ERROR_TEXT(D3DERR_INVALIDDEVICE, "The requested device type is not valid"),
    ERROR_TEXT(D3DERR_INVALIDCALL, "Invalid call"),
    ERROR_TEXT(D3DERR_DRIVERINVALIDCALL, "The driver refused the call"),
    ERROR_TEXT(D3DXERR_CANNOTMODIFYINDEXBUFFER, "The index buffer cannot be modified"),
    ERROR_TEXT(D3DXERR_INVALIDMESH, "The mesh is invalid"),
    ERROR_TEXT(D3DXERR_CANNOTATTRSORT, "Attribute sort is not supported as an optimisation"),
    ERROR_TEXT(D3DXERR_SKINNINGNOTSUPPORTED, "Skinning is not supported"),
    ERROR_TEXT(D3DXERR_TOOMANYINFLUENCES, "Too many influences"),
    ERROR_TEXT(D3DXERR_INVALIDDATA, "The data is invalid"),
    ERROR_TEXT(D3DXERR_LOADEDMESHASNODATA, "The mesh has no data"),
};

#undef ERROR_TEXT

} // namespace

HRESULT WINAPI D3DXGetErrorStringA(HRESULT hr, LPSTR buffer, UINT bufferLen)
{
    if (!buffer || bufferLen == 0)
        return E_INVALIDARG;
    char unknown[40];
    const char* text = nullptr;
    for (const ErrorText& e : kErrorTexts)
        if (e.code == hr)
            text = e.text;
    if (!text)
    {
        snprintf(unknown, sizeof unknown, "Unknown error 0x%08X", (unsigned)hr);
        text = unknown;
    }
    const size_t n = std::min<size_t>(strlen(text), bufferLen - 1);
    memcpy(buffer, text, n);
    buffer[n] = '\0';
    return S_OK;
}
