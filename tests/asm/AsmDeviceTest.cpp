// Assembled shaders on a real Direct3D 8 device: each one must be accepted
// and must draw the colour it computes into a small target read back here.
#include "d3dx8shader.h"

#include <windows.h>
#include <d3d8.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

extern "C" IDirect3D8* WINAPI Direct3DCreate8(UINT SDKVersion);

namespace
{
constexpr UINT Size = 32;

struct SVertex
{
    float X, Y, Z;
    float U, V;
};

// Decodes an X8R8G8B8 pixel.
struct SColour
{
    int R = -1, G = -1, B = -1;
};

struct SPixels
{
    SColour Centre, Corner;
};

::testing::AssertionResult Near(const SColour& got, int r, int g, int b)
{
    if (std::abs(got.R - r) <= 3 && std::abs(got.G - g) <= 3 && std::abs(got.B - b) <= 3)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.R << ", " << got.G << ", " << got.B << "), expected ("
                                         << r << ", " << g << ", " << b << ")";
}

class AsmDevice : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "AsmDeviceTest";
        RegisterClassA(&wc);
        s_Window = CreateWindowA("AsmDeviceTest", "asm", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        s_D3D = Direct3DCreate8(120);
        if (!s_Window || !s_D3D)
            return;
        s_D3D->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &s_Caps);
        D3DDISPLAYMODE mode;
        s_D3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
        D3DPRESENT_PARAMETERS pp = {};
        pp.Windowed = TRUE;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.BackBufferFormat = mode.Format;
        pp.BackBufferWidth = Size;
        pp.BackBufferHeight = Size;
        pp.hDeviceWindow = s_Window;
        DWORD vp = s_Caps.VertexShaderVersion >= D3DVS_VERSION(1, 1) ? D3DCREATE_HARDWARE_VERTEXPROCESSING
                                                                      : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        if (FAILED(s_D3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, s_Window, vp, &pp, &s_Device)))
            s_Device = nullptr;
        if (s_Device &&
            FAILED(s_Device->CreateRenderTarget(Size, Size, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, TRUE, &s_Target)))
            s_Target = nullptr;
    }

    static void TearDownTestSuite()
    {
        if (s_Target)
            s_Target->Release();
        if (s_Device)
            s_Device->Release();
        if (s_D3D)
            s_D3D->Release();
        if (s_Window)
            DestroyWindow(s_Window);
        s_Target = nullptr;
        s_Device = nullptr;
        s_D3D = nullptr;
        s_Window = nullptr;
    }

    void SetUp() override { ASSERT_NE(s_Target, nullptr) << "no Direct3D 8 device with a lockable render target"; }

    void TearDown() override
    {
        s_Device->SetVertexShader(D3DFVF_XYZ);
        s_Device->SetPixelShader(0);
        for (DWORD stage = 0; stage < 4; ++stage)
            s_Device->SetTexture(stage, nullptr);
        for (DWORD h : m_VertexShaders)
            s_Device->DeleteVertexShader(h);
        for (DWORD h : m_PixelShaders)
            s_Device->DeletePixelShader(h);
        for (IDirect3DTexture8* t : m_Textures)
            t->Release();
    }

    static std::vector<DWORD> Assemble(const char* text, DWORD flags)
    {
        LPD3DXBUFFER code = nullptr, errors = nullptr;
        HRESULT hr = D3DXAssembleShader(text, static_cast<UINT>(strlen(text)), flags, nullptr, &code, &errors);
        std::string message = errors ? static_cast<const char*>(errors->GetBufferPointer()) : "";
        if (errors)
            errors->Release();
        EXPECT_EQ(hr, S_OK) << message;
        if (FAILED(hr))
            return {};
        const DWORD* p = static_cast<const DWORD*>(code->GetBufferPointer());
        std::vector<DWORD> tokens(p, p + code->GetBufferSize() / sizeof(DWORD));
        code->Release();
        return tokens;
    }

    // Position in v0, texture coordinates in v1.
    DWORD VertexShader(const char* text, DWORD flags = 0)
    {
        std::vector<DWORD> code = Assemble(text, flags);
        if (code.empty())
            return 0;
        const DWORD decl[] = {D3DVSD_STREAM(0), D3DVSD_REG(0, D3DVSDT_FLOAT3), D3DVSD_REG(1, D3DVSDT_FLOAT2),
                              D3DVSD_END()};
        DWORD handle = 0;
        HRESULT hr = s_Device->CreateVertexShader(decl, code.data(), &handle, 0);
        EXPECT_EQ(hr, S_OK) << "CreateVertexShader refused:\n" << text;
        if (FAILED(hr))
            return 0;
        m_VertexShaders.push_back(handle);
        return handle;
    }

    DWORD PixelShader(const char* text, DWORD flags = 0)
    {
        std::vector<DWORD> code = Assemble(text, flags);
        if (code.empty())
            return 0;
        DWORD handle = 0;
        HRESULT hr = s_Device->CreatePixelShader(code.data(), &handle);
        EXPECT_EQ(hr, S_OK) << "CreatePixelShader refused:\n" << text;
        if (FAILED(hr))
            return 0;
        m_PixelShaders.push_back(handle);
        return handle;
    }

    // A W x H texture whose texels come from colour(x, y) (X8R8G8B8 values).
    template <typename F>
    IDirect3DTexture8* Texture(UINT w, UINT h, F colour)
    {
        IDirect3DTexture8* tex = nullptr;
        if (FAILED(s_Device->CreateTexture(w, h, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &tex)))
            return nullptr;
        D3DLOCKED_RECT lr;
        tex->LockRect(0, &lr, nullptr, 0);
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x)
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = colour(x, y);
        tex->UnlockRect(0);
        m_Textures.push_back(tex);
        return tex;
    }

    // A 2 x 2 texture of one colour on the stage.
    void BindFlatTexture(DWORD stage, D3DCOLOR colour)
    {
        IDirect3DTexture8* tex = Texture(2, 2, [colour](UINT, UINT) { return colour; });
        ASSERT_NE(tex, nullptr);
        s_Device->SetTexture(stage, tex);
    }

    // Clears to dark grey, draws a quad over the whole target with the
    // shaders and returns the pixels at the centre and at a corner.
    SPixels Draw(DWORD vs, DWORD ps)
    {
        SPixels pixels;
        DrawInto(vs, ps, pixels);
        return pixels;
    }

    void DrawInto(DWORD vs, DWORD ps, SPixels& pixels)
    {
        ASSERT_NE(vs, 0u);
        ASSERT_NE(ps, 0u);
        ASSERT_EQ(s_Device->SetRenderTarget(s_Target, nullptr), S_OK);
        D3DVIEWPORT8 vp = {0, 0, Size, Size, 0.0f, 1.0f};
        s_Device->SetViewport(&vp);
        s_Device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        s_Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        s_Device->SetRenderState(D3DRS_LIGHTING, FALSE);
        for (DWORD stage = 0; stage < 4; ++stage)
        {
            s_Device->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTEXF_POINT);
            s_Device->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTEXF_POINT);
            s_Device->SetTextureStageState(stage, D3DTSS_MIPFILTER, D3DTEXF_NONE);
        }
        ASSERT_EQ(s_Device->SetVertexShader(vs), S_OK);
        ASSERT_EQ(s_Device->SetPixelShader(ps), S_OK);
        const SVertex quad[] = {
            {-1, -1, 0.5f, 0, 1}, {-1, 1, 0.5f, 0, 0}, {1, -1, 0.5f, 1, 1}, {1, 1, 0.5f, 1, 0}};
        s_Device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(32, 32, 32), 1.0f, 0);
        ASSERT_EQ(s_Device->BeginScene(), S_OK);
        EXPECT_EQ(s_Device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(SVertex)), S_OK);
        s_Device->EndScene();
        D3DLOCKED_RECT lr;
        ASSERT_EQ(s_Target->LockRect(&lr, nullptr, D3DLOCK_READONLY), S_OK);
        auto at = [&](UINT x, UINT y) {
            DWORD p = reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(lr.pBits) + y * lr.Pitch)[x];
            return SColour{static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
                           static_cast<int>(p & 0xFF)};
        };
        pixels.Centre = at(Size / 2, Size / 2);
        pixels.Corner = at(1, 1);
        s_Target->UnlockRect();
    }

    void SetVertexConstant(DWORD reg, float x, float y, float z, float w)
    {
        const float v[4] = {x, y, z, w};
        s_Device->SetVertexShaderConstant(reg, v, 1);
    }

    // A matrix that halves x and y, so the quad covers only the middle of the target.
    void SetHalfScale()
    {
        SetVertexConstant(0, 0.5f, 0, 0, 0);
        SetVertexConstant(1, 0, 0.5f, 0, 0);
        SetVertexConstant(2, 0, 0, 1, 0);
        SetVertexConstant(3, 0, 0, 0, 1);
    }

    static HWND s_Window;
    static IDirect3D8* s_D3D;
    static IDirect3DDevice8* s_Device;
    static IDirect3DSurface8* s_Target;
    static D3DCAPS8 s_Caps;

    std::vector<DWORD> m_VertexShaders;
    std::vector<DWORD> m_PixelShaders;
    std::vector<IDirect3DTexture8*> m_Textures;
};

HWND AsmDevice::s_Window = nullptr;
IDirect3D8* AsmDevice::s_D3D = nullptr;
IDirect3DDevice8* AsmDevice::s_Device = nullptr;
IDirect3DSurface8* AsmDevice::s_Target = nullptr;
D3DCAPS8 AsmDevice::s_Caps = {};

const char* const ColourVS = "vs.1.1\n"
                             "m4x4 oPos, v0, c0   ; transform\n"
                             "mov oD0, c4         ; colour\n"
                             "mov oT0, v1\n";
const char* const DiffusePS = "ps.1.1\nmov r0, v0\n";

TEST_F(AsmDevice, TransformAndColourVertexShader)
{
    SetHalfScale();
    SetVertexConstant(4, 0.25f, 0.5f, 1.0f, 1.0f);
    SPixels got = Draw(VertexShader(ColourVS), PixelShader(DiffusePS));
    EXPECT_TRUE(Near(got.Centre, 64, 128, 255));
    EXPECT_TRUE(Near(got.Corner, 32, 32, 32));  // outside the halved quad
}

TEST_F(AsmDevice, DebugCommentsInTheCodeAreAccepted)
{
    SetHalfScale();
    SetVertexConstant(4, 1.0f, 0.5f, 0.25f, 1.0f);
    SPixels got = Draw(VertexShader(ColourVS, D3DXASM_DEBUG), PixelShader(DiffusePS, D3DXASM_DEBUG));
    EXPECT_TRUE(Near(got.Centre, 255, 128, 64));
}

TEST_F(AsmDevice, TwoPhasePixelShaderReadsThroughComputedCoordinates)
{
    if (s_Caps.PixelShaderVersion < D3DPS_VERSION(1, 4))
        GTEST_SKIP() << "the device reports pixel shader version " << std::hex << s_Caps.PixelShaderVersion;
    // Left column red, right column green; the vertex shader fixes the
    // coordinates on the red column and the first phase moves them right.
    IDirect3DTexture8* tex =
        Texture(2, 2, [](UINT x, UINT) { return x == 0 ? D3DCOLOR_XRGB(255, 0, 0) : D3DCOLOR_XRGB(0, 255, 0); });
    ASSERT_NE(tex, nullptr);
    s_Device->SetTexture(1, tex);
    SetHalfScale();
    SetVertexConstant(5, 0.25f, 0.25f, 0, 1);
    DWORD vs = VertexShader("vs.1.1\nm4x4 oPos, v0, c0\nmov oT0, c5\n");
    DWORD ps = PixelShader("ps.1.4\n"
                           "def c0, 0.5, 0, 0, 0\n"
                           "texcrd r0.rgb, t0.xyz\n"
                           "add r0.r, r0, c0\n"
                           "phase\n"
                           "texld r1, r0\n"
                           "mov r0, r1\n");
    SPixels got = Draw(vs, ps);
    EXPECT_TRUE(Near(got.Centre, 0, 255, 0));
}

TEST_F(AsmDevice, VertexDefAndRelativeAddressing)
{
    SetHalfScale();
    SetVertexConstant(5, 2, 0, 0, 0);
    DWORD vs = VertexShader("vs.1.1\n"
                            "def c10, 1.0, 0.5, 0.0, 1.0\n"
                            "m4x4 oPos, v0, c0\n"
                            "mov a0.x, c5.x\n"
                            "mov oD0, c[a0.x + 8]\n");
    SPixels got = Draw(vs, PixelShader(DiffusePS));
    EXPECT_TRUE(Near(got.Centre, 255, 128, 0));
}

// The vertex instruction set, one case per instruction: r0 starts as
// (0, 0, 0, 1) and goes out as the diffuse colour.
struct SVertexCase
{
    const char* Body;
    float R, G, B;
};

TEST_F(AsmDevice, VertexInstructionsComputeWhatTheyShould)
{
    const SVertexCase cases[] = {
        {"nop\n", 0, 0, 0},
        {"mov r0.xyz, c4.xwx\n", 0.5f, 0.25f, 0.5f},
        {"add r0.xyz, c4.xwx, c4.wwx\n", 0.75f, 0.5f, 1.0f},
        {"mov r1, c5\nsub r0.xyz, c4.yzy, r1.x\n", 0.25f, 1.0f, 0.25f},
        {"mad r0.xyz, c4.xwx, c4.xxw, c4.w\n", 0.5f, 0.375f, 0.375f},
        {"mul r0.xyz, c4.xwx, c4.xxy\n", 0.25f, 0.125f, 1.0f},
        {"rcp r0.x, c4.y\nrcp r0.y, c4.z\n", 0.5f, 0.25f, 0},
        {"rsq r0.x, c4.z\nrsq r0.y, c5.w\n", 0.5f, 0.7071f, 0},
        {"dp3 r0.x, c7, c7\ndp4 r0.y, c7, c7\n", 0.328125f, 0.578125f, 0},
        {"min r0.x, c4.x, c4.w\nmax r0.y, c4.x, c4.w\n", 0.25f, 0.5f, 0},
        {"slt r0.x, c4.x, c4.y\nsge r0.y, c4.x, c4.y\nsge r0.z, c4.y, c4.y\n", 1, 0, 1},
        {"exp r0.x, c5.y\nlog r1.x, c4.z\nmul r0.y, r1.x, c4.w\n", 0.5f, 0.5f, 0},
        {"expp r1, c5.y\nmov r0.xyz, r1.xzw\n", 0.5f, 0.5f, 1.0f},
        {"logp r1, c4.z\nmul r0.xyz, r1.z, c4.w\n", 0.5f, 0.5f, 0.5f},
        {"frc r0.xy, c5.x\n", 0.75f, 0.75f, 0},
        {"lit r0, c8\n", 1.0f, 0.5f, 0.0625f},
        {"mov r1, c4\ndst r0, c7, r1.w\n", 1.0f, 0.125f, 0.125f},
        {"mov r1, c7\nm3x3 r0.xyz, r1, c9\n", 0.25f, 0.125f, 0.5f},
        {"mov r1, c7\nm4x3 r0.xyz, r1, c9\n", 0.25f, 0.125f, 1.0f},
        {"mov r1, c7\nm3x2 r0.xy, r1, c9\n", 0.25f, 0.125f, 0},
        {"mov r1, c7\nm3x4 r0, r1, c9\n", 0.25f, 0.125f, 0.5f},
    };
    SetHalfScale();
    SetVertexConstant(4, 0.5f, 2.0f, 4.0f, 0.25f);
    SetVertexConstant(5, 1.75f, -1.0f, 0.5f, 2.0f);
    SetVertexConstant(6, 0, 0, 0, 1);
    SetVertexConstant(7, 0.25f, 0.5f, 0.125f, 0.5f);
    SetVertexConstant(8, 0.5f, 0.25f, 0, 2);
    SetVertexConstant(9, 1, 0, 0, 0);
    SetVertexConstant(10, 0, 0, 1, 0);
    SetVertexConstant(11, 0, 1, 0, 1);
    SetVertexConstant(12, 0, 0, 0, 0);
    DWORD ps = PixelShader(DiffusePS);
    for (const SVertexCase& c : cases)
    {
        std::string text = std::string("vs.1.1\nm4x4 oPos, v0, c0\nmov r0, c6\n") + c.Body + "mov oD0, r0\n";
        SPixels got = Draw(VertexShader(text.c_str()), ps);
        EXPECT_TRUE(Near(got.Centre, static_cast<int>(c.R * 255 + 0.5f), static_cast<int>(c.G * 255 + 0.5f),
                         static_cast<int>(c.B * 255 + 0.5f)))
            << c.Body;
    }
}

// Pixel shaders behind the colour vertex shader: diffuse white, texture 0 one flat colour.
struct SPixelCase
{
    const char* Name;
    const char* Shader;
    int R, G, B;
};

TEST_F(AsmDevice, PixelShadersDrawTheColourTheyCompute)
{
    const SPixelCase cases[] = {
        {"texture sampling", "ps.1.1\ntex t0\nmov r0, t0\n", 255, 128, 0},
        {"def constants and modifiers",
         "ps.1.1\n"
         "def c0, 0.25, 0.5, 0.125, 0.5\n"
         "def c1, 0.5, 0.25, 0.0, 0.0\n"
         "def c2, 0.5, 0.75, 0.625, 0.0\n"
         "mov_x2 r1, c0                ; (0.5, 1, 0.25, 1)\n"
         "mul r0.rgb, r1, 1-c1         ; (0.25, 0.75, 0.25)\n"
         "+mov r0.a, c0.a\n"
         "add_sat r0.rgb, r0, c2_bx2   ; + (0, 0.5, 0.25)\n",
         64, 255, 128},
        {"negation and ps.1.3 cmp",
         "ps.1.3\n"
         "def c0, 0.5, 0.5, 0.5, 0.5\n"
         "tex t0\n"
         "dp3 r1, c0_bx2, c0\n"
         "add r0, v0, -t0              ; (0, 0.5, 1)\n"
         "cmp r0, -c0, r1, r0          ; -c0 < 0: picks r0\n",
         0, 127, 255},
        {"colour conversion with dp3 and mad",
         "ps.1.1\n"
         "def c0, 0.257, 0.504, 0.098, 0\n"
         "def c1, 0.439, -0.368, -0.071, 0\n"
         "def c2, -0.148, -0.291, 0.439, 0\n"
         "def c3, 0.062, 0.5, 0.5, 1\n"
         "def c4, 1, 0, 0, 0\n"
         "def c5, 0, 1, 0, 0\n"
         "def c6, 0, 0, 1, 0\n"
         "tex t0\n"
         "dp3 r0, t0, c0\n"
         "mul r0.rgb, r0, c4\n"
         "dp3 r1, t0, c1\n"
         "mad r0.rgb, r1, c5, r0\n"
         "dp3 r1, t0, c2\n"
         "mad r0.rgb, r1, c6, r0\n"
         "add r0.rgb, r0, c3\n"
         "+mov r0.a, c3.a\n",
         146, 192, 52},
        {"lrp", "ps.1.1\ndef c0, 0.5, 0.5, 0.5, 0.5\ndef c1, 1, 0, 0.5, 1\ndef c2, 0, 1, 0.25, 1\n"
                "mov r1, c1\nlrp r0, c0, r1, c2\n", 128, 128, 96},
        {"cnd", "ps.1.1\ndef c0, 0.25, 0.5, 0.75, 1\ndef c1, 0, 0, 0, 0.75\nmov r0, c1\ncnd r0, r0.a, c0, v0\n",
         64, 128, 191},
        {"dp3", "ps.1.1\ndef c0, 0.25, 0.25, 0.25, 0.25\ndp3 r0, c0, v0\n", 191, 191, 191},
        {"dp4", "ps.1.2\ndef c0, 0.25, 0.25, 0.25, 0.25\ndp4 r0, c0, v0\n", 255, 255, 255},
        {"mad", "ps.1.1\ndef c0, 1, 0.5, 0.25, 1\ndef c1, 0, 0.25, 0.5, 0\ntex t0\nmad r0, t0, c0, c1\n", 255, 128, 128},
        {"texreg2ar", "ps.1.1\ntex t0\ntexreg2ar t1, t0\nmov r0, t1\n", 64, 32, 16},
        {"texm3x2tex", "ps.1.1\ntex t0\ntexm3x2pad t1, t0\ntexm3x2tex t2, t0\nmov r0, t2\n", 64, 32, 16},
        {"texkill", "ps.1.1\ntexkill t0\nmov r0, v0\n", 255, 255, 255},
        {"ps.1.4 texld and _d2", "ps.1.4\ntexld r0, t0\nmov_d2 r0, r0\n", 128, 64, 0},
    };
    BindFlatTexture(0, D3DCOLOR_XRGB(255, 128, 0));
    BindFlatTexture(1, D3DCOLOR_XRGB(64, 32, 16));
    BindFlatTexture(2, D3DCOLOR_XRGB(64, 32, 16));
    SetHalfScale();
    SetVertexConstant(4, 1.0f, 1.0f, 1.0f, 1.0f);
    DWORD vs = VertexShader(ColourVS);
    for (const SPixelCase& c : cases)
    {
        if (strstr(c.Shader, "ps.1.4") && s_Caps.PixelShaderVersion < D3DPS_VERSION(1, 4))
            continue;
        SPixels got = Draw(vs, PixelShader(c.Shader));
        EXPECT_TRUE(Near(got.Centre, c.R, c.G, c.B)) << c.Name;
    }
}
}  // namespace
