// Shader text from an RT_RCDATA resource of a module.
#include "../AsmAssembler.h"
#include "d3dx8shader.h"

#include <windows.h>

HRESULT WINAPI D3DXAssembleShaderFromResourceA(HMODULE hSrcModule, LPCSTR pSrcResource, DWORD Flags,
                                               LPD3DXBUFFER* ppConstants, LPD3DXBUFFER* ppCompiledShader,
                                               LPD3DXBUFFER* ppCompilationErrors)
{
    if (!pSrcResource)
    {
        D3DXAsm::FailWithMessage("error: no resource name", ppConstants, ppCompiledShader, ppCompilationErrors);
        return E_INVALIDARG;
    }
    // Integer resource ids (MAKEINTRESOURCE) have no text to name them by.
    std::string name = IS_INTRESOURCE(pSrcResource)
                           ? "#" + std::to_string(reinterpret_cast<UINT_PTR>(pSrcResource))
                           : std::string(pSrcResource);
    HRSRC res = FindResourceA(hSrcModule, pSrcResource, RT_RCDATA);
    HGLOBAL loaded = res ? LoadResource(hSrcModule, res) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return D3DXAsm::FailWithMessage(name + ": error: resource not found", ppConstants, ppCompiledShader,
                                        ppCompilationErrors);
    return D3DXAsm::AssembleToBuffers(static_cast<const char*>(data), SizeofResource(hSrcModule, res), Flags, name,
                                      ppConstants, ppCompiledShader, ppCompilationErrors);
}
