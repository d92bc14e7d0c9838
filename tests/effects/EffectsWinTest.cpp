// The effect system on a real device under Wine: the library from the
// program's resources, every shipped effect drawn, and DrawRectangle.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <d3d8.h>

#include <cmath>

#include "D3DUtils.h"
#include "EffectDraw.h"
#include "EffectDevice.h"
#include "FindCases.h"
#include "LogCapture.h"
#include "MetaEffectLibrary.h"
#include "RenderStateManager.h"
#include "Storage.h"
#include "TestDevice.h"

namespace
{
const D3DCOLOR kClear = 0xFF102030;
const UINT kSize = 64;

struct Vertex
{
    float x, y, z, nx, ny, nz, u, v;
};
struct TangentVertex
{
    float tx, ty, tz, bx, by, bz;
};

// One device for the whole program: the library creates the shaders of the
// plain effects on the device current when it loads them.
struct DeviceFixture : ::testing::Test
{
    static TestDevice* s_pDevice;
    IDirect3DDevice8* d = nullptr;

    static void SetUpTestSuite() { s_pDevice = new TestDevice(kSize, kSize); }
    static void TearDownTestSuite()
    {
        RenderStateManager::Instance().SetDevice(nullptr);
        delete s_pDevice;
        s_pDevice = nullptr;
    }
    void SetUp() override
    {
        d = s_pDevice->Get();
        ASSERT_NE(nullptr, d);
        RenderStateManager::Instance().SetDevice(d);
    }
    uint32_t ReadPixel(UINT x, UINT y) const { return s_pDevice->ReadPixel(x, y); }

    IDirect3DTexture8* MakeTexture(D3DCOLOR colour)
    {
        IDirect3DTexture8* t = nullptr;
        if (FAILED(d->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t)))
            return nullptr;
        D3DLOCKED_RECT lr;
        t->LockRect(0, &lr, nullptr, 0);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = colour;
        t->UnlockRect(0);
        return t;
    }
    IDirect3DCubeTexture8* MakeCube(D3DCOLOR colour)
    {
        IDirect3DCubeTexture8* t = nullptr;
        if (FAILED(d->CreateCubeTexture(8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t)))
            return nullptr;
        for (int f = 0; f < 6; ++f)
        {
            D3DLOCKED_RECT lr;
            t->LockRect(D3DCUBEMAP_FACES(f), 0, &lr, nullptr, 0);
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = colour;
            t->UnlockRect(D3DCUBEMAP_FACES(f), 0);
        }
        return t;
    }
};

bool EndsWith(const std::string& s, const char* tail)
{
    const size_t n = strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// What a material would put into the variables, for a quad facing the
// camera in the middle of the target.
struct Materials
{
    IDirect3DBaseTexture8* colour;
    IDirect3DBaseTexture8* normal;
    IDirect3DBaseTexture8* cube;

    void Fill(EffectTechnique& t) const
    {
        D3DMATRIX identity = {};
        identity._11 = identity._22 = identity._33 = identity._44 = 1;
        for (const auto& entry : t.GetVariables())
        {
            const std::string& n = entry.first;
            EffectVariable& v = *entry.second;
            auto f4 = [&](float a, float b, float c, float w) {
                const float x[4] = {a, b, c, w};
                v.SetFloat4(x);
            };
            if (n == "Bump")
                v.SetTexture(normal);
            else if (n == "Environment" || n == "Specular" || n == "NormalizationCubeMap")
                v.SetTexture(cube);
            else if (n == "Diffuse" || n == "Alpha" || n == "Light" || n == "Projection" || n == "EnvironmentAlpha")
                v.SetTexture(colour);
            else if (EndsWith(n, "Matrix"))
                v.SetMatrix(identity);
            else if (n == "TextureFactor")
                v.SetInt(-1);
            else if (n == "SpecularPow")
                v.SetInt(4);
            else if (n == "EyePosition")
                f4(0, 0, -2, 0);
            else if (n == "LightPosition")
                f4(0, 0, -1, 0);
            else if (n == "LightRangeValues")
                f4(1, 0, 0, 100);
            else if (n == "LightMaterialAmbient")
                f4(0.3f, 0.3f, 0.3f, 0);
            else if (EndsWith(n, "Diffuse") || EndsWith(n, "Specular"))
                f4(1, 1, 1, 1);
            else if (EndsWith(n, "AddressU") || EndsWith(n, "AddressV"))
                v.SetInt(D3DTADDRESS_WRAP);
            else
                v.SetInt(0);
        }
    }
};
} // namespace

TestDevice* DeviceFixture::s_pDevice = nullptr;

TEST_F(DeviceFixture, LibraryLoadsFromTheResourcesWithoutAMessage)
{
    LogCapture log;
    MetaEffectLibrary& library = *GetMetaEffectLibrary(Storage::GetMainStorage());
    ExpectFinds(library, {
                             {"Basic.*", {"Diffuse"}, "BasicDiffuse"},
                             {"Basic.*", {"Diffuse", "Bump"}, "BasicDiffuseBumpOmni"},
                             {"Diffuse.*", {"Diffuse", "Bump"}, "DiffuseBumpStencil"},
                             {"BasicDiffuse", {"Diffuse"}, "BasicDiffuse"},
                             {"basic.*", {"Diffuse"}, nullptr},
                             {"Basic.*", {"Alpha", "Projection"}, "BasicAlphaProjection"},
                         });
    EXPECT_EQ(40u, library.GetEffectCount());
    EXPECT_EQ("ALPHAPROJECTION.XML", library.GetEffect(0)->GetFileName());
    EXPECT_EQ("", log.Text());
}

TEST_F(DeviceFixture, EveryEffectDrawsAPlausibleQuad)
{
    MetaEffectLibrary& library = *GetMetaEffectLibrary(Storage::GetMainStorage());
    library.Find("BasicDiffuse", {"Diffuse"});
    Materials m{MakeTexture(0xFFC08040), MakeTexture(0xFF8080FF), MakeCube(0xFF60A0C0)};

    IDirect3DVertexBuffer8 *positions = nullptr, *tangents = nullptr;
    ASSERT_HRESULT_SUCCEEDED(d->CreateVertexBuffer(4 * sizeof(Vertex), 0, 0, D3DPOOL_MANAGED, &positions));
    ASSERT_HRESULT_SUCCEEDED(d->CreateVertexBuffer(4 * sizeof(TangentVertex), 0, 0, D3DPOOL_MANAGED, &tangents));
    BYTE* p = nullptr;
    positions->Lock(0, 0, &p, 0);
    const Vertex quad[4] = {{-0.5f, 0.5f, 0.5f, 0, 0, -1, 0, 0}, {0.5f, 0.5f, 0.5f, 0, 0, -1, 1, 0},
                            {-0.5f, -0.5f, 0.5f, 0, 0, -1, 0, 1}, {0.5f, -0.5f, 0.5f, 0, 0, -1, 1, 1}};
    memcpy(p, quad, sizeof quad);
    positions->Unlock();
    tangents->Lock(0, 0, &p, 0);
    const TangentVertex t = {1, 0, 0, 0, 1, 0};
    for (int i = 0; i < 4; ++i)
        memcpy(p + i * sizeof t, &t, sizeof t);
    tangents->Unlock();

    D3DMATERIAL8 material = {};
    material.Diffuse = material.Ambient = {1, 1, 1, 1};
    d->SetMaterial(&material);
    D3DLIGHT8 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1, 1, 1, 1};
    light.Direction = {0, 0, 1};
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.SetLight(0, &light);
    cache.LightEnable(0, TRUE);
    cache.SetRenderState(D3DRS_AMBIENT, 0xFF404040);
    cache.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    D3DMATRIX identity = {};
    identity._11 = identity._22 = identity._33 = identity._44 = 1;
    for (D3DTRANSFORMSTATETYPE s : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION})
        cache.SetTransform(&identity, s);

    const int32_t zero = 0, four = 4;
    for (size_t i = 0; i < library.GetEffectCount(); ++i)
    {
        Effect effect = *library.GetEffect(i);
        LogCapture log;
        if (effect.IsMeta())
        {
            LuaVariableMap variables;
            effect.ExpandAndCompileMeta(variables, {{"DiffuseTexCoordIndex", &zero},
                                                    {"BumpTexCoordIndex", &zero},
                                                    {"LightTexCoordIndex", &zero},
                                                    {"SpecularPow", &four}});
        }
        EXPECT_EQ("", log.Text()) << effect.GetName();
        // Every technique validates on this device; the first one is drawn.
        EffectTechnique* chosen = nullptr;
        for (int k = 0; k < effect.GetTechniqueCount(); ++k)
        {
            EffectTechnique& candidate = *effect.GetTechnique(k);
            m.Fill(candidate);
            bool valid = true;
            for (int pass = 0; pass < candidate.GetPassCount() && valid; ++pass)
            {
                cache.PushStates();
                d->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
                candidate.ApplyPass(pass);
                DWORD passes = 0;
                valid = SUCCEEDED(d->ValidateDevice(&passes));
                cache.PopStates();
            }
            EXPECT_TRUE(valid) << effect.GetName() << " technique " << candidate.GetName();
            if (valid && !chosen)
                chosen = &candidate;
        }
        ASSERT_NE(nullptr, chosen) << effect.GetName();

        // Stencil 2: lit, as the frame leaves it for the stencil-tested effects.
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, kClear, 1.0f, 2);
        d->BeginScene();
        d->SetStreamSource(0, positions, sizeof(Vertex));
        d->SetStreamSource(1, tangents, sizeof(TangentVertex));
        for (int pass = 0; pass < chosen->GetPassCount(); ++pass)
        {
            cache.PushStates();
            d->SetVertexShader(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
            chosen->ApplyPass(pass);
            d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2);
            cache.PopStates();
        }
        d->EndScene();
        const uint32_t centre = ReadPixel(kSize / 2, kSize / 2);
        const uint32_t corner = ReadPixel(2, 2);
        const int sum = int(centre >> 16 & 255) + int(centre >> 8 & 255) + int(centre & 255);
        EXPECT_GT(sum, 48) << effect.GetName() << " technique " << chosen->GetName() << std::hex << " 0x" << centre;
        EXPECT_NE(kClear & 0xFFFFFF, centre) << effect.GetName() << " technique " << chosen->GetName();
        EXPECT_EQ(kClear & 0xFFFFFF, corner) << effect.GetName();
    }
    d->SetStreamSource(0, nullptr, 0);
    d->SetStreamSource(1, nullptr, 0);
    for (DWORD s = 0; s < 8; ++s)
        d->SetTexture(s, nullptr);
    positions->Release();
    tangents->Release();
    m.colour->Release();
    m.normal->Release();
    m.cube->Release();
}

TEST_F(DeviceFixture, PassStatesGoThroughTheCacheAndPopBack)
{
    MetaEffectLibrary& library = *GetMetaEffectLibrary(Storage::GetMainStorage());
    Effect effect = *library.Find("BasicDiffuse", {"Diffuse"});
    EffectTechnique& t = *effect.GetTechnique(0);
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.SetRenderState(D3DRS_LIGHTING, FALSE);
    cache.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    cache.PushStates();
    t.ApplyPass(0);
    EXPECT_EQ(DWORD(TRUE), cache.GetRenderState(D3DRS_LIGHTING));
    EXPECT_EQ(DWORD(D3DTOP_DISABLE), cache.GetTextureStageState(1, D3DTSS_COLOROP));
    DWORD deviceValue = 0;
    d->GetRenderState(D3DRS_LIGHTING, &deviceValue);
    EXPECT_EQ(DWORD(TRUE), deviceValue);
    cache.PopStates();
    EXPECT_EQ(DWORD(FALSE), cache.GetRenderState(D3DRS_LIGHTING));
    EXPECT_EQ(DWORD(D3DTOP_MODULATE), cache.GetTextureStageState(1, D3DTSS_COLOROP));
    d->GetRenderState(D3DRS_LIGHTING, &deviceValue);
    EXPECT_EQ(DWORD(FALSE), deviceValue);
}

TEST_F(DeviceFixture, DrawRectangleDrawsColouredAndTexturedRectangles)
{
    IDirect3DTexture8* texture = MakeTexture(0xFF20C040);
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    d->BeginScene();
    RECT coloured = {4, 4, 20, 12};
    DrawRectangle(coloured, d, nullptr, D3DBLEND_INVSRCALPHA, 0xFFFF0000);
    RECT textured = {30, 30, 40, 50};
    DrawRectangle(textured, d, texture, D3DBLEND_INVSRCALPHA, 0xFFFFFFFF);
    d->EndScene();
    struct
    {
        UINT x, y;
        uint32_t colour;
    } pixels[] = {
        {4, 4, 0xFF0000},   {19, 11, 0xFF0000}, {20, 11, 0},        {19, 12, 0},
        {3, 4, 0},          {30, 30, 0x20C040}, {39, 49, 0x20C040}, {40, 49, 0},
        {29, 30, 0},        {35, 50, 0},
    };
    for (const auto& px : pixels)
        EXPECT_EQ(px.colour, ReadPixel(px.x, px.y)) << px.x << "," << px.y;
    for (DWORD s = 0; s < 8; ++s)
        d->SetTexture(s, nullptr);
    texture->Release();
}
