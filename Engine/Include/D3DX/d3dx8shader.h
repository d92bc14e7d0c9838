#pragma once
// D3DX 8 shader assembler: vs.1.0/vs.1.1 and ps.1.0 to ps.1.4 text into
// Direct3D 8 shader tokens.
#include "d3dx8core.h"

// Put the source line of each instruction into the code as a comment block.
#define D3DXASM_DEBUG 1
// Check syntax and registers only, not the usage rules of the shader version.
#define D3DXASM_SKIPVALIDATION 2

// Assembles SrcDataLen bytes of shader text. On success *ppCompiledShader holds
// the token stream and the result is S_OK. On failure the result is E_FAIL and
// *ppCompilationErrors (when asked for) holds NUL-terminated text with one
// "(line): error: ..." line per problem. *ppConstants receives, for a vertex
// shader, the constant-loading declaration tokens of its def instructions
// (null when there are none or for a pixel shader). Every out pointer may be null.
HRESULT WINAPI D3DXAssembleShader(LPCVOID pSrcData, UINT SrcDataLen, DWORD Flags, LPD3DXBUFFER* ppConstants,
                                  LPD3DXBUFFER* ppCompiledShader, LPD3DXBUFFER* ppCompilationErrors);

// The same for the contents of a file; error lines start with the file name.
HRESULT WINAPI D3DXAssembleShaderFromFileA(LPCSTR pSrcFile, DWORD Flags, LPD3DXBUFFER* ppConstants,
                                           LPD3DXBUFFER* ppCompiledShader, LPD3DXBUFFER* ppCompilationErrors);
#define D3DXAssembleShaderFromFile D3DXAssembleShaderFromFileA

#ifdef _WIN32
// The same for an RT_RCDATA resource of the module (null: the program itself).
HRESULT WINAPI D3DXAssembleShaderFromResourceA(HMODULE hSrcModule, LPCSTR pSrcResource, DWORD Flags,
                                               LPD3DXBUFFER* ppConstants, LPD3DXBUFFER* ppCompiledShader,
                                               LPD3DXBUFFER* ppCompilationErrors);
#define D3DXAssembleShaderFromResource D3DXAssembleShaderFromResourceA
#endif
