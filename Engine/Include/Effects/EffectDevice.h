#pragma once
// What the effects need of the device: the cached state sets that a pass
// applies, the direct texture, transform, shader and constant sets, and
// shader creation while an effect file is read. The program's implementation
// goes to the device-state cache and its device; tests record the calls.
#include <cstdint>
#include <string>
#include <vector>

#include "D3D8Types.h"

#ifndef _WIN32
struct IDirect3DBaseTexture8;
#endif

class IEffectDevice
{
public:
    // Through the device-state cache.
    virtual void SetRenderState(uint32_t state, uint32_t value) = 0;
    virtual void SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) = 0;
    virtual void SetTransform(uint32_t type, const D3DMATRIX& matrix) = 0;
    // Straight to the device.
    virtual void SetTexture(uint32_t stage, IDirect3DBaseTexture8* texture) = 0;
    virtual void SetVertexShaderConstant(uint32_t reg, const float* values, uint32_t count) = 0;
    virtual void SetPixelShaderConstant(uint32_t reg, const float* values, uint32_t count) = 0;
    virtual void SetVertexShader(uint32_t handle) = 0;
    virtual void SetPixelShader(uint32_t handle) = 0;

    // Assembles vs/ps 1.x text; on failure returns false with the
    // assembler's error text.
    virtual bool AssembleShader(const std::string& code, std::vector<uint32_t>& tokens, std::string& error) = 0;
    virtual HRESULT CreateVertexShader(const std::vector<uint32_t>& declaration, const std::vector<uint32_t>& code,
                                       uint32_t* handle) = 0;
    virtual HRESULT CreatePixelShader(const std::vector<uint32_t>& code, uint32_t* handle) = 0;
    virtual std::string GetErrorText(HRESULT result) = 0;

    // Fixed-function validation.
    virtual uint32_t GetMaxSimultaneousTextures() = 0;
    virtual HRESULT ValidateDevice() = 0;

    // Counts the devices that shaders have been made for: shaders made
    // under one count mean nothing under another.
    virtual uint32_t GetDeviceGeneration() { return 0; }

protected:
    ~IEffectDevice() = default;
};

// Our vs/ps 1.x assembler with its error text (trailing line breaks cut).
bool AssembleEffectShader(const std::string& code, std::vector<uint32_t>& tokens, std::string& error);

// The device that effects use: the one set, else in the program the
// device-state cache and its device (natively null).
IEffectDevice* GetEffectDevice();
void SetEffectDevice(IEffectDevice* device);
#ifdef _WIN32
IEffectDevice* GetCacheEffectDevice();
#endif
