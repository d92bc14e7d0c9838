#pragma once
// A debugging aid: writes everything that decides how the next draw looks
// (render and texture-stage states by name, the cached transforms, the
// material, the shader handles and the bound textures as bitmaps) into a
// folder of text files and bitmaps.
#include <d3d8.h>

#include <cstdio>
#include <string>

namespace DeviceStateDump {

// Creates the folder (an existing one is fine) and writes every file into it.
void DumpDeviceState(const char* folder);

void DumpRenderStates(const std::string& folder);
void DumpTextureStageStates(const std::string& folder);
void DumpMatrices(const std::string& folder);
void DumpTextures(const std::string& folder);
void DumpMaterial(const std::string& folder);
void DumpShaders(const std::string& folder);

// The name of a state, "Undefined: <n>" for a number without one.
std::string RenderStateName(DWORD state);
std::string TextureStageStateName(DWORD type);
// A value's text by its state's kind; empty for a value missing from a list.
std::string RenderStateValueText(DWORD state, DWORD value);
std::string TextureStageValueText(DWORD type, DWORD value);

// The surface as a 24-bit bitmap; false when nothing was written.
bool DumpSurfaceToBmp(IDirect3DSurface8* surface, const std::string& file);
void WriteMatrix(const D3DMATRIX& matrix, FILE* file);

} // namespace DeviceStateDump
