// Textures made on a real Direct3D 8 device (under Wine), read back by
// locking them.
#include "d3dx8.h"
#include "Image.h"
#include "DeviceFixture.h"
#include "ImageFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

using fixtures::Bytes;

namespace
{

class D3DXTextureDevice : public D3DXDevice
{
protected:
    // Level of a lockable texture as texels.
    static d3dx::FloatImage ReadLevel(IDirect3DTexture8* texture, UINT level)
    {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT rect{};
        d3dx::FloatImage out;
        if (SUCCEEDED(texture->LockRect(level, &rect, nullptr, D3DLOCK_READONLY)))
        {
            d3dx::DecodeSurface(desc.Format, static_cast<const BYTE*>(rect.pBits), rect.Pitch, desc.Width,
                                desc.Height, &out);
            texture->UnlockRect(level);
        }
        return out;
    }
};

uint32_t Quadrants16(unsigned x, unsigned y) { return fixtures::Quadrants(x, y, 16, 16); }

void ExpectQuadrants(const d3dx::FloatImage& image, bool alpha, float tolerance, const std::string& what)
{
    ASSERT_GT(image.width, 1u) << what;
    for (unsigned y : {0u, image.height - 1})
        for (unsigned x : {0u, image.width - 1})
        {
            const uint32_t c = fixtures::Quadrants(x, y, image.width, image.height);
            const d3dx::Texel& t = image.At(x, y);
            EXPECT_NEAR(((c >> 16) & 255) / 255.0f, t.r, tolerance) << what << " at " << x << "," << y;
            EXPECT_NEAR(((c >> 8) & 255) / 255.0f, t.g, tolerance) << what << " at " << x << "," << y;
            EXPECT_NEAR((c & 255) / 255.0f, t.b, tolerance) << what << " at " << x << "," << y;
            EXPECT_NEAR(alpha ? (c >> 24) / 255.0f : 1.0f, t.a, tolerance) << what << " at " << x << "," << y;
        }
}

struct KindCase
{
    const char* name;
    Bytes bytes;
    bool alpha;
    float tolerance;
};

std::vector<KindCase> Kinds()
{
    return {
        {"BMP", fixtures::MakeBmp24(16, 16, Quadrants16), false, 0.01f},
        {"TGA", fixtures::MakeTga32(16, 16, Quadrants16, true), true, 0.01f},
        {"JPEG", fixtures::MakeJpeg(16, 16, Quadrants16), false, 0.04f},
        {"DDS", fixtures::MakeDdsArgb(16, 16, 1, false, Quadrants16), true, 0.01f},
    };
}

TEST_F(D3DXTextureDevice, EachKindLoadsIntoTheRequestedFormatWithAFullMipChain)
{
    for (const KindCase& k : Kinds())
        for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_R5G6B5})
        {
            const std::string what = std::string(k.name) + " into format " + std::to_string(format);
            IDirect3DTexture8* texture = nullptr;
            D3DXIMAGE_INFO info{};
            ASSERT_EQ(S_OK, D3DXCreateTextureFromFileInMemoryEx(s_device, k.bytes.data(), UINT(k.bytes.size()),
                                                                D3DX_DEFAULT, 0, 0, 0, format, D3DPOOL_MANAGED,
                                                                D3DX_DEFAULT, D3DX_FILTER_BOX, 0, &info, nullptr,
                                                                &texture))
                << what;
            EXPECT_EQ(16u, info.Width) << what;
            ASSERT_EQ(5u, texture->GetLevelCount()) << what;
            for (UINT l = 0; l < 5; ++l)
            {
                D3DSURFACE_DESC desc{};
                texture->GetLevelDesc(l, &desc);
                EXPECT_EQ(format, desc.Format) << what;
                EXPECT_EQ(16u >> l, desc.Width) << what;
                EXPECT_EQ(16u >> l, desc.Height) << what;
            }
            const bool alpha = k.alpha && format != D3DFMT_X8R8G8B8 && format != D3DFMT_R5G6B5;
            const float tolerance = k.tolerance + (format == D3DFMT_A4R4G4B4 ? 1 / 30.0f : format == D3DFMT_R5G6B5 ? 1 / 62.0f : 0);
            ExpectQuadrants(ReadLevel(texture, 0), alpha, tolerance, what + " level 0");
            ExpectQuadrants(ReadLevel(texture, 2), alpha, tolerance, what + " level 2");
            texture->Release();
        }
}

TEST_F(D3DXTextureDevice, RequestedSizeIsScaledToAndUnknownFormatIsOneTheDeviceHas)
{
    const Bytes bmp = fixtures::MakeBmp24(16, 16, Quadrants16);
    IDirect3DTexture8* texture = nullptr;
    // Mirrored at the edges, so that the corners do not take in the far side.
    ASSERT_EQ(S_OK, D3DXCreateTextureFromFileInMemoryEx(s_device, bmp.data(), UINT(bmp.size()), 8, 4, 1, 0,
                                                        D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                                        D3DX_FILTER_TRIANGLE | D3DX_FILTER_MIRROR, D3DX_DEFAULT, 0,
                                                        nullptr, nullptr, &texture));
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(1u, texture->GetLevelCount());
    EXPECT_EQ(8u, desc.Width);
    EXPECT_EQ(4u, desc.Height);
    D3DDISPLAYMODE mode{};
    s_d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
    EXPECT_EQ(S_OK, s_d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mode.Format, 0, D3DRTYPE_TEXTURE,
                                             desc.Format));
    ExpectQuadrants(ReadLevel(texture, 0), false, 0.01f, "scaled to 8x4");
    texture->Release();

    // The short form takes everything from the image; the default pool goes
    // through a system-memory copy.
    ASSERT_EQ(S_OK, D3DXCreateTextureFromFileInMemory(s_device, bmp.data(), UINT(bmp.size()), &texture));
    EXPECT_EQ(5u, texture->GetLevelCount());
    texture->Release();
    ASSERT_EQ(S_OK, D3DXCreateTextureFromFileInMemoryEx(s_device, bmp.data(), UINT(bmp.size()), 0, 0, 1, 0,
                                                        D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, D3DX_DEFAULT,
                                                        D3DX_DEFAULT, 0, nullptr, nullptr, &texture));
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(D3DPOOL_DEFAULT, desc.Pool);
    texture->Release();
}

TEST_F(D3DXTextureDevice, DynamicTexturesAndBlockFilesStayLockable)
{
    // A dynamic texture in the default pool is written directly.
    const Bytes tga = fixtures::MakeTga32(16, 16, Quadrants16, false);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(S_OK, D3DXCreateTextureFromFileInMemoryEx(s_device, tga.data(), UINT(tga.size()), D3DX_DEFAULT,
                                                        D3DX_DEFAULT, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8,
                                                        D3DPOOL_DEFAULT, D3DX_FILTER_TRIANGLE, D3DX_FILTER_TRIANGLE,
                                                        0, nullptr, nullptr, &texture));
    ExpectQuadrants(ReadLevel(texture, 0), true, 0.01f, "dynamic");
    texture->Release();

    // A DXT1 file keeps its blocks when the device has the format.
    Bytes blocks(8);
    const uint8_t redBlock[8] = {0x00, 0xf8, 0x00, 0xf8, 0, 0, 0, 0};
    memcpy(blocks.data(), redBlock, 8);
    const Bytes dds = fixtures::MakeDds(4, 4, 1, false, {D3DFMT_DXT1}, blocks);
    ASSERT_EQ(S_OK, D3DXCreateTextureFromFileInMemoryEx(s_device, dds.data(), UINT(dds.size()), 0, 0, 1, 0,
                                                        D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                                        0, nullptr, nullptr, &texture));
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    const d3dx::FloatImage top = ReadLevel(texture, 0);
    ASSERT_EQ(4u, top.width);
    EXPECT_NEAR(1.0f, top.At(3, 3).r, 0.01f) << "format " << desc.Format;
    EXPECT_NEAR(0.0f, top.At(3, 3).g, 0.01f) << "format " << desc.Format;
    texture->Release();
}

TEST_F(D3DXTextureDevice, DefaultPoolTextureDrawsItsTexels)
{
    // Default-pool textures cannot be locked: draw one over the whole back
    // buffer and read the pixels back.
    const Bytes jpeg = fixtures::MakeJpeg(16, 16, Quadrants16);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(S_OK, D3DXCreateTextureFromFileInMemoryEx(s_device, jpeg.data(), UINT(jpeg.size()), D3DX_DEFAULT,
                                                        D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_DEFAULT,
                                                        D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER, D3DX_FILTER_BOX,
                                                        0, nullptr, nullptr, &texture));
    struct Vertex
    {
        float x, y, z, rhw, u, v;
    } quad[4] = {{-0.5f, -0.5f, 0, 1, 0, 0}, {63.5f, -0.5f, 0, 1, 1, 0}, {-0.5f, 63.5f, 0, 1, 0, 1},
                 {63.5f, 63.5f, 0, 1, 1, 1}};
    s_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff808080, 1.0f, 0);
    ASSERT_EQ(S_OK, s_device->BeginScene());
    s_device->SetTexture(0, texture);
    s_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    s_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    s_device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    s_device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    s_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    s_device->SetRenderState(D3DRS_ZENABLE, FALSE);
    s_device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_TEX1);
    EXPECT_EQ(S_OK, s_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)));
    s_device->EndScene();
    s_device->SetTexture(0, nullptr);
    texture->Release();

    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(S_OK, s_device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back));
    D3DSURFACE_DESC desc{};
    back->GetDesc(&desc);
    D3DLOCKED_RECT rect{};
    ASSERT_EQ(S_OK, back->LockRect(&rect, nullptr, D3DLOCK_READONLY));
    d3dx::FloatImage pixels;
    const bool read = d3dx::DecodeSurface(desc.Format, static_cast<const BYTE*>(rect.pBits), rect.Pitch, desc.Width,
                                          desc.Height, &pixels);
    back->UnlockRect();
    back->Release();
    ASSERT_TRUE(read) << "back buffer format " << desc.Format;
    for (unsigned y : {8u, 56u})
        for (unsigned x : {8u, 56u})
        {
            const uint32_t c = fixtures::Quadrants(x, y, 64, 64);
            EXPECT_NEAR(((c >> 16) & 255) / 255.0f, pixels.At(x, y).r, 0.05f) << x << "," << y;
            EXPECT_NEAR(((c >> 8) & 255) / 255.0f, pixels.At(x, y).g, 0.05f) << x << "," << y;
            EXPECT_NEAR((c & 255) / 255.0f, pixels.At(x, y).b, 0.05f) << x << "," << y;
        }
}

TEST_F(D3DXTextureDevice, TruncatedFilesFailWithoutATexture)
{
    std::vector<KindCase> kinds = Kinds();
    kinds.push_back({"DDS DXT5", fixtures::MakeDds(8, 8, 1, false, {D3DFMT_DXT5}, Bytes(64, 0x33)), false, 0});
    for (const KindCase& k : kinds)
        for (size_t n : {size_t(1), k.bytes.size() / 2, k.bytes.size() - 1})
        {
            IDirect3DTexture8* texture = reinterpret_cast<IDirect3DTexture8*>(1);
            EXPECT_EQ(D3DXERR_INVALIDDATA, D3DXCreateTextureFromFileInMemoryEx(
                                               s_device, k.bytes.data(), UINT(n), 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                               D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
                                               &texture))
                << k.name << " cut to " << n;
            EXPECT_EQ(nullptr, texture);
        }
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileInMemory(s_device, nullptr, 10, &texture));
    const Bytes bmp = fixtures::MakeBmp24(4, 4, Quadrants16);
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateTextureFromFileInMemoryEx(s_device, bmp.data(), UINT(bmp.size()), 0, 0,
                                                                      0, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, 9,
                                                                      D3DX_DEFAULT, 0, nullptr, nullptr, &texture))
        << "no such filter";
}

TEST_F(D3DXTextureDevice, CubeTexturesFromCubeAndPlainImages)
{
    auto q = [](unsigned x, unsigned y) { return fixtures::Quadrants(x, y, 8, 8); };
    const Bytes cubeFile = fixtures::MakeDdsArgb(8, 8, 4, true, q);
    IDirect3DCubeTexture8* cube = nullptr;
    ASSERT_EQ(S_OK, D3DXCreateCubeTextureFromFileInMemory(s_device, cubeFile.data(), UINT(cubeFile.size()), &cube));
    EXPECT_EQ(4u, cube->GetLevelCount());
    for (UINT f = 0; f < 6; ++f)
    {
        D3DLOCKED_RECT rect{};
        ASSERT_EQ(S_OK, cube->LockRect(D3DCUBEMAP_FACES(f), 0, &rect, nullptr, D3DLOCK_READONLY));
        d3dx::FloatImage face;
        d3dx::DecodeSurface(D3DFMT_A8R8G8B8, static_cast<const BYTE*>(rect.pBits), rect.Pitch, 8, 8, &face);
        cube->UnlockRect(D3DCUBEMAP_FACES(f), 0);
        EXPECT_NEAR(f / 255.0f, face.At(0, 0).b, 1e-6f) << "face " << f;
    }
    cube->Release();

    const Bytes jpeg = fixtures::MakeJpeg(16, 16, Quadrants16);
    ASSERT_EQ(S_OK, D3DXCreateCubeTextureFromFileInMemory(s_device, jpeg.data(), UINT(jpeg.size()), &cube));
    D3DSURFACE_DESC desc{};
    cube->GetLevelDesc(0, &desc);
    EXPECT_EQ(16u, desc.Width);
    cube->Release();

    ASSERT_EQ(S_OK, D3DXCreateCubeTexture(s_device, 32, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &cube));
    cube->Release();
}

TEST_F(D3DXTextureDevice, CreateTextureForRenderTargets)
{
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(S_OK, D3DXCreateTexture(s_device, 64, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT,
                                      &texture));
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(64u, desc.Width);
    EXPECT_EQ(32u, desc.Height);
    EXPECT_EQ(DWORD(D3DUSAGE_RENDERTARGET), desc.Usage);
    texture->Release();

    UINT w = 0, h = D3DX_DEFAULT, levels = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    ASSERT_EQ(S_OK, D3DXCheckTextureRequirements(s_device, &w, &h, &levels, 0, &format, D3DPOOL_MANAGED));
    EXPECT_EQ(256u, w);
    EXPECT_EQ(256u, h);
    EXPECT_EQ(9u, levels);
    EXPECT_EQ(D3DFMT_A8R8G8B8, format);
}

TEST_F(D3DXTextureDevice, FromFileAndFromResource)
{
    char dir[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    GetTempFileNameA(dir, "dx", 0, path);
    const Bytes tga = fixtures::MakeTga32(16, 16, Quadrants16, false);
    FILE* f = fopen(path, "wb");
    ASSERT_NE(nullptr, f);
    fwrite(tga.data(), 1, tga.size(), f);
    fclose(f);

    IDirect3DTexture8* texture = nullptr;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(S_OK, D3DXCreateTextureFromFileExA(s_device, path, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_A8R8G8B8,
                                                 D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr,
                                                 &texture));
    EXPECT_EQ(D3DXIFF_TGA, info.ImageFileFormat);
    ExpectQuadrants(ReadLevel(texture, 0), true, 0.01f, "from file");
    texture->Release();
    DeleteFileA(path);
    EXPECT_TRUE(FAILED(D3DXCreateTextureFromFileExA(s_device, path, 0, 0, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                                    D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &texture)));
    EXPECT_EQ(nullptr, texture);

    ASSERT_EQ(S_OK, D3DXCreateTextureFromResourceExA(s_device, nullptr, MAKEINTRESOURCEA(104), D3DX_DEFAULT,
                                                     D3DX_DEFAULT, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                                     D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, &texture));
    EXPECT_EQ(D3DXIFF_BMP, info.ImageFileFormat);
    ExpectQuadrants(ReadLevel(texture, 0), false, 0.01f, "from resource");
    texture->Release();
    EXPECT_EQ(D3DERR_NOTFOUND, D3DXCreateTextureFromResourceExA(s_device, nullptr, MAKEINTRESOURCEA(999), 0, 0, 1,
                                                                0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                                                D3DX_DEFAULT, 0, nullptr, nullptr, &texture));
}

} // namespace
