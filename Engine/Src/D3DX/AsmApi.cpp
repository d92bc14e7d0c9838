// The D3DX entry points of the shader assembler.
#include "AsmAssembler.h"
#include "d3dx8shader.h"
#include "ComRef.h"

#include <cstdio>
#include <cstring>

namespace D3DXAsm
{
namespace
{
void Clear(LPD3DXBUFFER* pp)
{
    if (pp)
        *pp = nullptr;
}

HRESULT MakeBuffer(const void* data, size_t size, LPD3DXBUFFER* pp)
{
    if (!pp)
        return S_OK;
    HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(size), pp);
    if (FAILED(hr))
        return hr;
    if (size)
        memcpy((*pp)->GetBufferPointer(), data, size);
    return S_OK;
}
}  // namespace

HRESULT FailWithMessage(const std::string& Message, LPD3DXBUFFER* ppConstants, LPD3DXBUFFER* ppCode,
                        LPD3DXBUFFER* ppErrors)
{
    Clear(ppConstants);
    Clear(ppCode);
    Clear(ppErrors);
    std::string text = Message + "\n";
    MakeBuffer(text.c_str(), text.size() + 1, ppErrors);
    return E_FAIL;
}

HRESULT AssembleToBuffers(const char* pText, size_t Length, DWORD Flags, const std::string& SourceName,
                          LPD3DXBUFFER* ppConstants, LPD3DXBUFFER* ppCode, LPD3DXBUFFER* ppErrors)
{
    Clear(ppConstants);
    Clear(ppCode);
    Clear(ppErrors);
    SOutput out;
    if (!Assemble(pText, Length, Flags, SourceName, out))
    {
        MakeBuffer(out.Errors.c_str(), out.Errors.size() + 1, ppErrors);
        return E_FAIL;
    }
    // The caller gets both buffers or neither.
    ComRef<ID3DXBuffer> code, constants;
    HRESULT hr = MakeBuffer(out.Code.data(), out.Code.size() * sizeof(DWORD), ppCode ? code.Put() : nullptr);
    if (SUCCEEDED(hr) && !out.Constants.empty())
        hr = MakeBuffer(out.Constants.data(), out.Constants.size() * sizeof(DWORD),
                        ppConstants ? constants.Put() : nullptr);
    if (FAILED(hr))
        return hr;
    if (ppCode)
        *ppCode = code.Detach();
    if (ppConstants)
        *ppConstants = constants.Detach();
    return hr;
}
}  // namespace D3DXAsm

HRESULT WINAPI D3DXAssembleShader(LPCVOID pSrcData, UINT SrcDataLen, DWORD Flags, LPD3DXBUFFER* ppConstants,
                                  LPD3DXBUFFER* ppCompiledShader, LPD3DXBUFFER* ppCompilationErrors)
{
    if (!pSrcData)
    {
        D3DXAsm::FailWithMessage("error: no shader text", ppConstants, ppCompiledShader, ppCompilationErrors);
        return E_INVALIDARG;
    }
    return D3DXAsm::AssembleToBuffers(static_cast<const char*>(pSrcData), SrcDataLen, Flags, std::string(),
                                      ppConstants, ppCompiledShader, ppCompilationErrors);
}

HRESULT WINAPI D3DXAssembleShaderFromFileA(LPCSTR pSrcFile, DWORD Flags, LPD3DXBUFFER* ppConstants,
                                           LPD3DXBUFFER* ppCompiledShader, LPD3DXBUFFER* ppCompilationErrors)
{
    if (!pSrcFile)
    {
        D3DXAsm::FailWithMessage("error: no file name", ppConstants, ppCompiledShader, ppCompilationErrors);
        return E_INVALIDARG;
    }
    FILE* f = fopen(pSrcFile, "rb");
    if (!f)
        return D3DXAsm::FailWithMessage(std::string(pSrcFile) + ": error: cannot open file", ppConstants,
                                        ppCompiledShader, ppCompilationErrors);
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), f)) > 0)
        text.append(chunk, got);
    bool readError = ferror(f) != 0;
    fclose(f);
    if (readError)
        return D3DXAsm::FailWithMessage(std::string(pSrcFile) + ": error: cannot read file", ppConstants,
                                        ppCompiledShader, ppCompilationErrors);
    return D3DXAsm::AssembleToBuffers(text.data(), text.size(), Flags, pSrcFile, ppConstants, ppCompiledShader,
                                      ppCompilationErrors);
}
