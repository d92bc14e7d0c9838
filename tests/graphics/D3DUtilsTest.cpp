#include "D3DUtils.h"

#include "NullDevice8.h"
#include "RenderStateManager.h"
#include "TestDevice.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
DWORD Bits(float f)
{
    DWORD d;
    memcpy(&d, &f, 4);
    return d;
}
} // namespace

TEST(D3DUtils, StorageTexturesLoadOrGiveNull)
{
    TestDevice device;
    ASSERT_NE(device.Get(), nullptr);
    RenderStateManager& rsm = RenderStateManager::Instance();
    rsm.SetDevice(device.Get());
    const DWORD before = rsm.GetVideoMemoryTotal();
    IDirect3DTexture8* smoke = LoadSmokeTexture();
    ASSERT_NE(smoke, nullptr);
    EXPECT_EQ(rsm.GetVideoMemoryTotal() - before, GetTextureMemorySize(smoke));
    smoke->Release();
    EXPECT_EQ(LoadCubeTextureFromStorage("NoSuchSky.dds"), nullptr);
}

TEST(D3DUtils, FogStatesFollowTheMode)
{
    NullDevice8 device;
    RenderStateManager::Instance().SetDevice(&device);
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.SetRenderState(D3DRS_FOGDENSITY, Bits(0.25f));

    SetFogStates({0xFF808080, D3DFOG_LINEAR, FALSE, 0.5f, 100.0f, 900.0f});
    EXPECT_EQ(cache.GetRenderState(D3DRS_FOGSTART), Bits(100.0f));
    EXPECT_EQ(cache.GetRenderState(D3DRS_FOGEND), Bits(900.0f));
    EXPECT_EQ(cache.GetRenderState(D3DRS_FOGDENSITY), Bits(0.25f)) << "linear fog leaves the density";
    EXPECT_EQ(cache.GetRenderState(D3DRS_RANGEFOGENABLE), 0u);

    SetFogStates({0xFF808080, D3DFOG_EXP, TRUE, 0.5f, 1.0f, 2.0f});
    EXPECT_EQ(cache.GetRenderState(D3DRS_FOGDENSITY), Bits(0.5f));
    EXPECT_EQ(cache.GetRenderState(D3DRS_FOGSTART), Bits(100.0f)) << "exponential fog sets only the density";
    EXPECT_EQ(cache.GetRenderState(D3DRS_RANGEFOGENABLE), 1u);
    EXPECT_EQ(cache.GetRenderState(D3DRS_FOGCOLOR), 0xFF808080u);
}

TEST(D3DUtils, GammaCurves)
{
    EXPECT_EQ(GammaCurveLinear(1000, 1.0), 1000);
    EXPECT_EQ(GammaCurveLinear(1000, 0.5), 500);
    EXPECT_EQ(GammaCurvePower(65535, 2.0), 65535);
    EXPECT_EQ(GammaCurvePower(16384, 2.0), WORD(32767)) << "square root of a quarter";
}
