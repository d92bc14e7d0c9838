// The effects' device in the program: states through the device-state
// cache, everything else straight to the cache's device, shaders through
// our D3DX assembler.
#include <d3d8.h>

#include "D3DUtils.h"
#include "EffectDevice.h"
#include "RenderStateManager.h"

namespace
{
class CCacheEffectDevice : public IEffectDevice
{
public:
    void SetRenderState(uint32_t state, uint32_t value) override
    {
        RenderStateManager::Instance().SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), value);
    }
    void SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) override
    {
        RenderStateManager::Instance().SetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(type),
                                                            value);
    }
    void SetTransform(uint32_t type, const D3DMATRIX& matrix) override
    {
        RenderStateManager::Instance().SetTransform(&matrix, static_cast<D3DTRANSFORMSTATETYPE>(type));
    }
    void SetTexture(uint32_t stage, IDirect3DBaseTexture8* texture) override
    {
        if (IDirect3DDevice8* d = Device())
            d->SetTexture(stage, texture);
    }
    void SetVertexShaderConstant(uint32_t reg, const float* values, uint32_t count) override
    {
        if (IDirect3DDevice8* d = Device())
            d->SetVertexShaderConstant(reg, values, count);
    }
    void SetPixelShaderConstant(uint32_t reg, const float* values, uint32_t count) override
    {
        if (IDirect3DDevice8* d = Device())
            d->SetPixelShaderConstant(reg, values, count);
    }
    void SetVertexShader(uint32_t handle) override
    {
        if (IDirect3DDevice8* d = Device())
            d->SetVertexShader(handle);
    }
    void SetPixelShader(uint32_t handle) override
    {
        if (IDirect3DDevice8* d = Device())
            d->SetPixelShader(handle);
    }
    uint32_t GetDeviceGeneration() override { return RenderStateManager::Instance().GetDeviceGeneration(); }
    bool AssembleShader(const std::string& code, std::vector<uint32_t>& tokens, std::string& error) override
    {
        return AssembleEffectShader(code, tokens, error);
    }
    HRESULT CreateVertexShader(const std::vector<uint32_t>& declaration, const std::vector<uint32_t>& code,
                               uint32_t* handle) override
    {
        IDirect3DDevice8* d = Device();
        if (!d)
            return E_FAIL;
        DWORD h = 0;
        const HRESULT hr = d->CreateVertexShader(reinterpret_cast<const DWORD*>(declaration.data()),
                                                 reinterpret_cast<const DWORD*>(code.data()), &h, 0);
        *handle = h;
        return hr;
    }
    HRESULT CreatePixelShader(const std::vector<uint32_t>& code, uint32_t* handle) override
    {
        IDirect3DDevice8* d = Device();
        if (!d)
            return E_FAIL;
        DWORD h = 0;
        const HRESULT hr = d->CreatePixelShader(reinterpret_cast<const DWORD*>(code.data()), &h);
        *handle = h;
        return hr;
    }
    std::string GetErrorText(HRESULT result) override { return GetErrorStringLong(result); }
    uint32_t GetMaxSimultaneousTextures() override
    {
        D3DCAPS8 caps;
        IDirect3DDevice8* d = Device();
        if (!d || FAILED(d->GetDeviceCaps(&caps)))
            return 0;
        return caps.MaxSimultaneousTextures;
    }
    HRESULT ValidateDevice() override
    {
        IDirect3DDevice8* d = Device();
        if (!d)
            return E_FAIL;
        DWORD passes = 0;
        return d->ValidateDevice(&passes);
    }

private:
    static IDirect3DDevice8* Device() { return RenderStateManager::Instance().GetDevice(); }
};
} // namespace

IEffectDevice* GetCacheEffectDevice()
{
    static CCacheEffectDevice device;
    return &device;
}
