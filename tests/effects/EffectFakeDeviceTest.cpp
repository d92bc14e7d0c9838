// The program's effect device over a recording Direct3D device: what an
// effect file read and applied through the device-state cache sends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControlEffect.h"
#include "EffectDevice.h"
#include "EffectXmlLoader.h"
#include "LogCapture.h"
#include "NullDevice8.h"
#include "RenderStateManager.h"
#include "TexMap.h"

using ::testing::ElementsAre;

namespace
{
class RecordingDevice : public NullDevice8
{
public:
    std::vector<std::string> calls;
    std::vector<DWORD> declaration;
    HRESULT createResult = D3D_OK;
    HRESULT validateResult = D3D_OK;

    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE s, DWORD v) override { return Add("RS", s, v); }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD st, D3DTEXTURESTAGESTATETYPE t, DWORD v) override
    {
        return Add("TSS", st * 100 + t, v);
    }
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD s, IDirect3DBaseTexture8* t) override
    {
        return Add("TEX", s, t ? 1 : 0);
    }
    HRESULT STDMETHODCALLTYPE SetVertexShaderConstant(DWORD r, const void*, DWORD n) override { return Add("VSC", r, n); }
    HRESULT STDMETHODCALLTYPE SetPixelShaderConstant(DWORD r, const void*, DWORD n) override { return Add("PSC", r, n); }
    HRESULT STDMETHODCALLTYPE SetVertexShader(DWORD h) override { return Add("VS", h, 0); }
    HRESULT STDMETHODCALLTYPE SetPixelShader(DWORD h) override { return Add("PS", h, 0); }
    HRESULT STDMETHODCALLTYPE CreateVertexShader(const DWORD* decl, const DWORD*, DWORD* h, DWORD) override
    {
        for (const DWORD* p = decl; p && *p != 0xFFFFFFFF; ++p)
            declaration.push_back(*p);
        *h = 0x100;
        return createResult;
    }
    HRESULT STDMETHODCALLTYPE CreatePixelShader(const DWORD*, DWORD* h) override
    {
        *h = 0x200;
        return createResult;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS8* caps) override
    {
        *caps = D3DCAPS8();
        caps->MaxSimultaneousTextures = 2;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE ValidateDevice(DWORD* passes) override
    {
        *passes = 1;
        return validateResult;
    }

private:
    HRESULT Add(const char* what, DWORD a, DWORD b)
    {
        calls.push_back(std::string(what) + " " + std::to_string(a) + " " + std::to_string(b));
        return D3D_OK;
    }
};

const char* const kEffect = R"~(<Effect><Name>Fake</Name><Technique><Pass>
  <RenderState State="ZEnable" Value="False"/>
  <Stage><TextureStageState State="ColorOp" Value="SelectArg1"/><Texture Value="Variable:Diffuse"/></Stage>
  <PixelShaderConstant Register="2" Type="Float4" Value="(1, 0, 0, 1)"/>
  <VertexShaderConstant Register="0" Type="Matrix" Value="Variable:WorldViewProjectionMatrix"/>
  <VertexShader>
    <Declaration><Stream><Register Type="Float3" Number="0"/><Register Type="Float2" Number="2"/></Stream></Declaration>
    <Code>vs.1.1
m4x4 oPos, v0, c0</Code>
  </VertexShader>
  <PixelShader><Code>ps.1.1
mov r0, c2</Code></PixelShader>
</Pass></Technique></Effect>)~";

struct FakeDeviceFixture : ::testing::Test
{
    RecordingDevice device;
    void SetUp() override
    {
        RenderStateManager::Instance().SetDevice(&device);
        device.calls.clear();
    }
    void TearDown() override { RenderStateManager::Instance().SetDevice(nullptr); }
};
} // namespace

TEST_F(FakeDeviceFixture, ReadAndAppliedThroughTheCache)
{
    EffectXmlLoader loader;
    Effect effect;
    ASSERT_TRUE(loader.Parse(kEffect, &effect));
    EXPECT_TRUE(loader.GetMessages().empty());
    EXPECT_THAT(device.declaration, ElementsAre(0x20000000u, 0x40020000u, 0x40010002u));
    EffectTechnique& t = *effect.GetTechnique(0);
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    for (DWORD s = 0; s < 8; ++s)
    {
        cache.SetTextureStageState(s, D3DTSS_TEXCOORDINDEX, 0);
        cache.SetTextureStageState(s, D3DTSS_TEXTURETRANSFORMFLAGS, 0);
    }
    cache.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    cache.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device.calls.clear();
    t.ApplyPass(0);
    // Unchanged cached states never reach the device.
    EXPECT_THAT(device.calls, ElementsAre("RS 7 0", "TSS 1 2", "TEX 0 0", "TEX 1 0", "PSC 2 1", "PS 512 0",
                                          "VSC 0 4", "TSS 111 1", "TSS 211 2", "TSS 311 3", "TSS 411 4",
                                          "TSS 511 5", "TSS 611 6", "TSS 711 7", "VS 256 0"));
}

TEST_F(FakeDeviceFixture, RefusedShaderDropsTheTechniqueWithTheErrorText)
{
    device.createResult = D3DERR_INVALIDCALL;
    EffectXmlLoader loader;
    Effect effect;
    ASSERT_TRUE(loader.Parse(kEffect, &effect));
    EXPECT_EQ(0, effect.GetTechniqueCount());
    ASSERT_EQ(1u, loader.GetMessages().size());
    EXPECT_EQ(0u, loader.GetMessages()[0].find("Effect Fake: Failed to create vertex shader: D3DERR_INVALIDCALL"))
        << loader.GetMessages()[0];
}

TEST_F(FakeDeviceFixture, DiffuseEffectChoosesTheFirstTechniqueTheDeviceTakes)
{
    CDiffuseEffect::ResetClass();
    DiffuseMap map;
    CDiffuseEffect effect(&map);
    EXPECT_EQ("t0", CDiffuseEffect::GetClassTechnique().name);
    CDiffuseEffect::ResetClass();
    device.validateResult = D3DERR_CONFLICTINGTEXTUREFILTER;
    LogCapture log;
    CDiffuseEffect refused(&map);
    EXPECT_THAT(log.Text(), ::testing::HasSubstr("ValidateDevice on tech t0 failed(Error: D3DERR_CONFLICTINGTEXTUREFILTER"));
    EXPECT_THAT(log.Text(), ::testing::HasSubstr("DiffuseEffect: no techniques were validated!\n"));
    CDiffuseEffect::ResetClass();
}
