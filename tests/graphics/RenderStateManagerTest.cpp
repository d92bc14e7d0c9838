#include "RenderStateManager.h"

#include "NullDevice8.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{
// Records the state calls that reach the device.
struct RecordingDevice : NullDevice8
{
    struct Call
    {
        char kind; // 'r' render state, 't' stage state, 'x' transform, 'l' light enable
        DWORD a, b, c;
    };
    std::vector<Call> calls;
    D3DMATRIX lastTransform = {};
    HRESULT lightResult = D3D_OK;

    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE s, DWORD v) override
    {
        calls.push_back({'r', DWORD(s), v, 0});
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD st, D3DTEXTURESTAGESTATETYPE t, DWORD v) override
    {
        calls.push_back({'t', st, DWORD(t), v});
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE t, const D3DMATRIX* m) override
    {
        calls.push_back({'x', DWORD(t), 0, 0});
        lastTransform = *m;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LightEnable(DWORD i, WINBOOL e) override
    {
        calls.push_back({'l', i, DWORD(e), 0});
        return lightResult;
    }
    size_t Count(char kind) const
    {
        size_t n = 0;
        for (const Call& c : calls)
            n += c.kind == kind;
        return n;
    }
};

DWORD F(float f)
{
    DWORD d;
    memcpy(&d, &f, 4);
    return d;
}

struct Cache : ::testing::Test
{
    RecordingDevice device;
    RenderStateManager rsm;
    void SetUp() override { rsm.SetDevice(&device); }
};
} // namespace

TEST_F(Cache, AssumedDefaultsAvoidDeviceCalls)
{
    rsm.SetRenderState(D3DRS_LIGHTING, 1);
    rsm.SetRenderState(D3DRS_FOGSTART, F(1.0f));
    rsm.SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    rsm.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    rsm.SetTextureStageState(3, D3DTSS_TEXCOORDINDEX, 3);
    EXPECT_TRUE(device.calls.empty());
    rsm.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    EXPECT_EQ(device.Count('t'), 1u);
}

TEST_F(Cache, PopRestoresTheValueFromBeforeTheFirstChange)
{
    rsm.PushStates();
    rsm.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    rsm.SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    rsm.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    rsm.SetTextureStageState(2, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device.calls.clear();
    rsm.PopStates();
    ASSERT_EQ(device.calls.size(), 2u);
    EXPECT_EQ(device.calls[0].kind, 'r') << "render states are restored first";
    EXPECT_EQ(device.calls[0].b, 0u);
    EXPECT_EQ(device.calls[1].c, DWORD(D3DTOP_DISABLE));
    EXPECT_EQ(rsm.GetRenderState(D3DRS_ALPHABLENDENABLE), 0u);
}

TEST_F(Cache, ChangedAndChangedBackCostsNothingAtPop)
{
    rsm.PushStates();
    rsm.SetRenderState(D3DRS_ZENABLE, 0);
    rsm.SetRenderState(D3DRS_ZENABLE, 1);
    device.calls.clear();
    rsm.PopStates();
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(Cache, NestedLevelsRestoreTheirOwnStartingValues)
{
    rsm.PushStates();
    rsm.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    rsm.PushStates();
    rsm.SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    rsm.PopStates();
    EXPECT_EQ(rsm.GetRenderState(D3DRS_CULLMODE), DWORD(D3DCULL_NONE));
    rsm.PopStates();
    EXPECT_EQ(rsm.GetRenderState(D3DRS_CULLMODE), DWORD(D3DCULL_CCW));
}

TEST_F(Cache, BaseLevelChangesAreNeverReplayed)
{
    rsm.SetRenderState(D3DRS_FOGENABLE, 1);
    rsm.PushStates();
    rsm.PopStates();
    EXPECT_EQ(rsm.GetRenderState(D3DRS_FOGENABLE), 1u);
    EXPECT_EQ(device.Count('r'), 1u);
}

TEST_F(Cache, OutOfRangeIndicesAndUnbalancedLevelsAreSkipped)
{
    rsm.SetRenderState(D3DRENDERSTATETYPE(5000), 1);
    rsm.SetTextureStageState(8, D3DTSS_COLOROP, 1);
    rsm.SetTextureStageState(0, D3DTEXTURESTAGESTATETYPE(29), 1);
    EXPECT_EQ(rsm.LightEnable(8, TRUE), D3DERR_INVALIDCALL);
    EXPECT_EQ(rsm.GetRenderState(D3DRENDERSTATETYPE(5000)), 0u);
    EXPECT_TRUE(device.calls.empty());

    rsm.PopStates(); // no push: ignored
    for (int i = 0; i < 15; ++i)
        rsm.PushStates(); // only ten levels exist above the base
    rsm.SetRenderState(D3DRS_STENCILENABLE, 1);
    for (int i = 0; i < 15; ++i)
        rsm.PopStates();
    EXPECT_EQ(rsm.GetRenderState(D3DRS_STENCILENABLE), 0u);
}

TEST_F(Cache, TransformSlotsAndDepthBias)
{
    D3DXMATRIX proj, tex3, other;
    D3DXMatrixPerspectiveFovLH(&proj, 1.0f, 4.0f / 3.0f, 1.0f, 1000.0f);
    D3DXMatrixTranslation(&tex3, 3, 0, 0);
    D3DXMatrixTranslation(&other, 9, 0, 0);
    rsm.SetTransform(&proj, D3DTS_PROJECTION);
    rsm.SetTransform(&tex3, D3DTS_TEXTURE3);
    rsm.SetTransform(&other, D3DTRANSFORMSTATETYPE(24));
    EXPECT_EQ(rsm.GetTransform(D3DTS_TEXTURE3)->_41, 3.0f);
    EXPECT_EQ(rsm.GetTransform(D3DTRANSFORMSTATETYPE(24))->_41, 9.0f);
    EXPECT_EQ(rsm.GetTransform(D3DTRANSFORMSTATETYPE(100))->_41, 9.0f) << "shared slot";

    device.calls.clear();
    rsm.SetDepthBias(1e-8f);
    EXPECT_TRUE(device.calls.empty());

    rsm.SetDepthBias(0.01f);
    ASSERT_EQ(device.Count('x'), 1u);
    const D3DMATRIX& m = device.lastTransform;
    const float zf = m._43 / (1.0f - m._33);
    const float zn = zf * (1.0f - 1.0f / m._33);
    EXPECT_NEAR(zn, 1.01f, 1e-4f);
    EXPECT_NEAR(zf, 1000.0f, 0.5f);
    EXPECT_NEAR(m._11, proj._11, 1e-5f);
    EXPECT_EQ(rsm.GetTransform(D3DTS_PROJECTION)->_33, proj._33) << "the cache keeps the caller's matrix";
}

TEST_F(Cache, LightEnableReachesTheDeviceOnlyOnChange)
{
    EXPECT_EQ(rsm.LightEnable(3, TRUE), D3D_OK);
    EXPECT_EQ(rsm.LightEnable(3, TRUE), D3D_OK);
    EXPECT_EQ(device.Count('l'), 1u);
    EXPECT_EQ(rsm.GetEnabledLightCount(), 1);
    device.lightResult = D3DERR_INVALIDCALL;
    EXPECT_EQ(rsm.LightEnable(3, FALSE), D3DERR_INVALIDCALL);
    EXPECT_TRUE(rsm.IsLightEnabled(3)) << "a failed call changes nothing";
    EXPECT_EQ(rsm.GetEnabledLightCount(), 1);
}
