#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DeviceStateDump.h"
#include "PixelFormat.h"
#include "RenderStateManager.h"
#include "TestDevice.h"

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(DeviceStateTextTest, NamesAndValueTexts)
{
    using namespace DeviceStateDump;
    struct Case
    {
        bool stage;
        DWORD state, value;
        const char *name, *text;
    };
    const Case cases[] = {
        {false, D3DRS_SRCBLEND, D3DBLEND_ONE, "SrcBlend", "One"},
        {false, D3DRS_ZENABLE, 0, "ZEnable", "False"},
        {false, D3DRS_LIGHTING, 7, "Lighting", "True"},
        {false, D3DRS_TEXTUREFACTOR, 0xFF102030, "TextureFactor", "0xff102030"},
        {false, D3DRS_FOGEND, 0x3F800000, "FogEnd", "1.000000"},
        {false, D3DRS_CULLMODE, 9, "CullMode", ""},
        {false, D3DRS_VERTEXBLEND, 256, "VertexBlend", "0Weights"},
        {false, 162, 1, "MustisampleMask", "0x00000001"},
        {false, 172, 1, "PositionOrder", "Undefined: 172"},
        {false, 169, 0, "Undefined: 169", "Undefined: 169"},
        {true, D3DTSS_COLORARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, "ColorArg1", ""},
        {true, D3DTSS_COLORARG2, D3DTA_ALPHAREPLICATE, "ColorArg2", "AlphaReplicate"},
        {true, D3DTSS_COLOROP, D3DTOP_LERP, "ColorOp", "Lerp"},
        {true, D3DTSS_ADDRESSW, D3DTADDRESS_MIRRORONCE, "AddressW", "MirrorOnce"},
        {true, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2 | D3DTTFF_PROJECTED, "TextureTransformFlags", ""},
        {true, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_PROJECTED, "TextureTransformFlags", "Projected"},
        {true, D3DTSS_MIPMAPLODBIAS, 0xBF000000, "MipMapLodBias", "-0.500000"},
        {true, D3DTSS_MAXANISOTROPY, 16, "MaxAnisotropy", "0x00000010"},
        {true, 12, 0, "Undefined: 12", "Undefined: 12"},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(c.stage ? TextureStageStateName(c.state) : RenderStateName(c.state), c.name);
        EXPECT_EQ(c.stage ? TextureStageValueText(c.state, c.value) : RenderStateValueText(c.state, c.value), c.text)
            << c.name;
    }
}

class DeviceStateDumpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(m_Device.Get(), nullptr);
        RenderStateManager::Instance().SetDevice(m_Device.Get());
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        m_Folder = std::string(temp) + "tarnholm_dump_" + std::to_string(GetCurrentProcessId());
    }
    void TearDown() override
    {
        for (IDirect3DBaseTexture8* t : m_Textures)
            t->Release();
        m_Device.Get()->SetTexture(0, nullptr);
        m_Device.Get()->SetTexture(1, nullptr);
        RenderStateManager::Instance().SetDevice(nullptr);
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((m_Folder + "\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE)
        {
            do
                DeleteFileA((m_Folder + "\\" + fd.cFileName).c_str());
            while (FindNextFileA(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryA(m_Folder.c_str());
    }

    TestDevice m_Device;
    std::string m_Folder;
    std::vector<IDirect3DBaseTexture8*> m_Textures;
};

TEST_F(DeviceStateDumpTest, WritesEveryFileForAKnownState)
{
    IDirect3DDevice8* dev = m_Device.Get();
    RenderStateManager& rsm = RenderStateManager::Instance();
    dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT);
    D3DMATRIX world = {};
    for (int i = 0; i < 4; ++i)
        world.m[i][i] = 2.0f;
    rsm.SetTransform(&world, D3DTS_WORLD);
    D3DMATERIAL8 material = {};
    material.Diffuse = {0.5f, 0.25f, 1.0f, 1.0f};
    material.Power = 8.0f;
    dev->SetMaterial(&material);

    // A 256 x 256 texture with its nine levels (a red level 0, a 2 x 2 level 7)
    // and a small cube texture.
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(dev->CreateTexture(256, 256, 9, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &texture), S_OK);
    m_Textures.push_back(texture);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(texture->LockRect(0, &lr, nullptr, 0), S_OK);
    for (UINT y = 0; y < 256; ++y)
        for (UINT x = 0; x < 256; ++x)
            reinterpret_cast<WORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = (y == 255 && x == 0) ? 0xF0F0 : 0xFF00;
    texture->UnlockRect(0);
    IDirect3DCubeTexture8* cube = nullptr;
    ASSERT_EQ(dev->CreateCubeTexture(4, 2, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &cube), S_OK);
    m_Textures.push_back(cube);
    dev->SetTexture(0, texture);
    dev->SetTexture(1, cube);

    DeviceStateDump::DumpDeviceState(m_Folder.c_str());

    const std::string states = ReadFile(m_Folder + "\\RenderStates.txt");
    EXPECT_NE(states.find("SrcBlend = One\r\n"), std::string::npos);
    EXPECT_EQ(states.find("Undefined"), std::string::npos);
    const std::string stages = ReadFile(m_Folder + "\\TextureStageStates.txt");
    EXPECT_NE(stages.find("Stage: 0\r\n\tColorOp = Modulate\r\n\tColorArg1 = \r\n"), std::string::npos);
    EXPECT_NE(stages.find("Stage: 7\r\n"), std::string::npos);
    const std::string matrices = ReadFile(m_Folder + "\\Matrices.txt");
    EXPECT_EQ(matrices.find("World:\r\n2.000000 0.000000 0.000000 0.000000 \r\n"), 0u);
    EXPECT_NE(matrices.find("Texture07:\r\n"), std::string::npos);
    EXPECT_NE(ReadFile(m_Folder + "\\Material.txt").find("Diffuse: R:0.500000 G:0.250000 B:1.000000 A:1.000000\r\n"
                                                         "Emissive:"),
              std::string::npos);
    EXPECT_EQ(ReadFile(m_Folder + "\\Shaders.txt").find("VertexShader: 0x"), 0u);

    for (int level = 0; level < 9; ++level)
        EXPECT_TRUE(Exists(m_Folder + "\\Texture_0_" + std::to_string(level) + ".bmp")) << level;
    EXPECT_FALSE(Exists(m_Folder + "\\Texture_0_9.bmp"));
    for (const char* face : {"PosX", "NegX", "PosY", "NegY", "PosZ", "NegZ"})
        for (int level = 0; level < 2; ++level)
            EXPECT_TRUE(Exists(m_Folder + "\\Texture_1_" + face + "_" + std::to_string(level) + ".bmp"));

    // Level 0 is 256 x 256 red with one green pixel at the bottom-left, the
    // first pixel of the bottom-up file.
    const std::string big = ReadFile(m_Folder + "\\Texture_0_0.bmp");
    ASSERT_EQ(big.size(), 54u + 256 * 256 * 3);
    EXPECT_EQ(big.substr(0, 2), "BM");
    EXPECT_EQ(big.substr(54, 6), std::string("\x00\xff\x00\x00\x00\xff", 6));
    // Level 7 is 2 x 2: rows of 6 pixel bytes and 2 padding bytes.
    const std::string small = ReadFile(m_Folder + "\\Texture_0_7.bmp");
    ASSERT_EQ(small.size(), 54u + 2 * 8);
    EXPECT_EQ(small[54 + 6], 0);
    EXPECT_EQ(small[54 + 7], 0);
}

TEST(SurfaceCopyTest, ConvertsWithTheMaskAndReportsSizeMismatch)
{
    TestDevice device;
    ASSERT_NE(device.Get(), nullptr);
    IDirect3DSurface8 *src = nullptr, *dst = nullptr, *other = nullptr;
    ASSERT_EQ(device.Get()->CreateImageSurface(4, 4, D3DFMT_A8R8G8B8, &src), S_OK);
    ASSERT_EQ(device.Get()->CreateImageSurface(4, 4, D3DFMT_A4R4G4B4, &dst), S_OK);
    ASSERT_EQ(device.Get()->CreateImageSurface(2, 8, D3DFMT_A4R4G4B4, &other), S_OK);
    D3DLOCKED_RECT lr;
    src->LockRect(&lr, nullptr, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = 0x1080FF00;
    src->UnlockRect();
    for (IDirect3DSurface8* s : {dst, other})
    {
        s->LockRect(&lr, nullptr, 0);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 4; ++x)
                if (y < 4 || s == other)
                    if (s == dst || x < 2)
                        reinterpret_cast<WORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = 0xA000;
        s->UnlockRect();
    }
    EXPECT_TRUE(CopySurfaceConvert(7, dst, src));
    EXPECT_FALSE(CopySurfaceConvert(7, other, src));
    dst->LockRect(&lr, nullptr, D3DLOCK_READONLY);
    EXPECT_EQ(reinterpret_cast<const WORD*>(static_cast<const BYTE*>(lr.pBits) + 3 * lr.Pitch)[3], 0xA7F0);
    dst->UnlockRect();
    other->LockRect(&lr, nullptr, D3DLOCK_READONLY);
    EXPECT_EQ(reinterpret_cast<const WORD*>(static_cast<const BYTE*>(lr.pBits) + 3 * lr.Pitch)[1], 0xA7F0);
    EXPECT_EQ(reinterpret_cast<const WORD*>(static_cast<const BYTE*>(lr.pBits) + 4 * lr.Pitch)[1], 0xA000);
    other->UnlockRect();
    src->Release();
    dst->Release();
    other->Release();
}

} // namespace
