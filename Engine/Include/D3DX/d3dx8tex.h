#pragma once
// Our D3DX 8 textures: image files (JPEG, BMP, TGA, DDS) into Direct3D 8
// textures, with scaling, mip generation and format conversion. The image
// description and the constants are platform-free; the texture functions
// exist in the Windows build only.
#include "D3D8Types.h"
#include "d3dx8err.h"

#define D3DX_DEFAULT ((UINT)-1)

// Filters for scaling and mip generation; the mirror and dither bits may be
// combined with one of the first five. Off the image's edges a filter wraps
// round to the far side unless mirrored; dithering is accepted but not done.
#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)
#define D3DX_FILTER_MIRROR_U (1 << 16)
#define D3DX_FILTER_MIRROR_V (2 << 16)
#define D3DX_FILTER_MIRROR_W (4 << 16)
#define D3DX_FILTER_MIRROR (7 << 16)
#define D3DX_FILTER_DITHER (8 << 16)

enum D3DXIMAGE_FILEFORMAT
{
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_PPM = 5,
    D3DXIFF_DIB = 6,
    D3DXIFF_FORCE_DWORD = 0x7fffffff
};

// What an image file holds: its size, mip levels in the file (1 unless a
// DDS says more), the pixel format closest to the file's own, and whether
// it is a plain or a cube texture.
struct D3DXIMAGE_INFO
{
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
};

// Reads only the description of an image file. D3DXERR_INVALIDDATA when the
// bytes are no complete image of a kind we read.
HRESULT WINAPI D3DXGetImageInfoFromFileInMemory(LPCVOID srcData, UINT srcDataSize, D3DXIMAGE_INFO* srcInfo);

#ifdef _WIN32

// Sizes, level count and format adjusted to what the device can create:
// 0 or D3DX_DEFAULT sizes become 256, a 0 or D3DX_DEFAULT level count a full
// chain, D3DFMT_UNKNOWN A8R8G8B8; an unsupported format becomes the closest
// supported one. Any pointer may be null.
HRESULT WINAPI D3DXCheckTextureRequirements(LPDIRECT3DDEVICE8 device, UINT* width, UINT* height, UINT* numMipLevels,
                                            DWORD usage, D3DFORMAT* format, D3DPOOL pool);
HRESULT WINAPI D3DXCheckCubeTextureRequirements(LPDIRECT3DDEVICE8 device, UINT* size, UINT* numMipLevels, DWORD usage,
                                                D3DFORMAT* format, D3DPOOL pool);

HRESULT WINAPI D3DXCreateTexture(LPDIRECT3DDEVICE8 device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                                 D3DFORMAT format, D3DPOOL pool, LPDIRECT3DTEXTURE8* texture);
HRESULT WINAPI D3DXCreateCubeTexture(LPDIRECT3DDEVICE8 device, UINT size, UINT mipLevels, DWORD usage,
                                     D3DFORMAT format, D3DPOOL pool, LPDIRECT3DCUBETEXTURE8* cubeTexture);

// Width, height: 0 or D3DX_DEFAULT take the image's own. mipLevels: 0 or
// D3DX_DEFAULT make a full chain. format: D3DFMT_UNKNOWN takes the image's
// own (or the closest the device supports). filter: scaling of the image to
// the texture's size, D3DX_DEFAULT meaning triangle; mipFilter: the lower
// levels from the one above, D3DX_DEFAULT meaning box. colorKey: source
// pixels of exactly that A8R8G8B8 colour become transparent black (0: none).
// palette is not used (no palettised formats are made).
HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE8 device, LPCVOID srcData, UINT srcDataSize,
                                                   UINT width, UINT height, UINT mipLevels, DWORD usage,
                                                   D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                                   D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                                   PALETTEENTRY* palette, LPDIRECT3DTEXTURE8* texture);
HRESULT WINAPI D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE8 device, LPCVOID srcData, UINT srcDataSize,
                                                 LPDIRECT3DTEXTURE8* texture);
HRESULT WINAPI D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE8 device, LPCSTR srcFile, UINT width, UINT height,
                                            UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            LPDIRECT3DTEXTURE8* texture);
HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE8 device, LPCSTR srcFile, LPDIRECT3DTEXTURE8* texture);
// The resource is looked up as RT_RCDATA, then as RT_BITMAP.
HRESULT WINAPI D3DXCreateTextureFromResourceExA(LPDIRECT3DDEVICE8 device, HMODULE srcModule, LPCSTR srcResource,
                                                UINT width, UINT height, UINT mipLevels, DWORD usage,
                                                D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                                D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                                PALETTEENTRY* palette, LPDIRECT3DTEXTURE8* texture);

// A DDS cube map fills the six faces; a plain image fills every face.
HRESULT WINAPI D3DXCreateCubeTextureFromFileInMemoryEx(LPDIRECT3DDEVICE8 device, LPCVOID srcData, UINT srcDataSize,
                                                       UINT size, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                                       D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                                       D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                                       PALETTEENTRY* palette, LPDIRECT3DCUBETEXTURE8* cubeTexture);
HRESULT WINAPI D3DXCreateCubeTextureFromFileInMemory(LPDIRECT3DDEVICE8 device, LPCVOID srcData, UINT srcDataSize,
                                                     LPDIRECT3DCUBETEXTURE8* cubeTexture);

#endif
