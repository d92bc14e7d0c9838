// Textures on a Direct3D 8 device: creation with the device's limits, and
// textures and cube textures from image files in memory, on disk or in the
// program's resources.
#include "Image.h"
#include "ComRef.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace
{

// What the device offers: its Direct3D object, adapter and display format,
// and its capabilities.
struct DeviceInfo
{
    ComRef<IDirect3D8> d3d;
    D3DDEVICE_CREATION_PARAMETERS creation{};
    D3DDISPLAYMODE mode{};
    D3DCAPS8 caps{};
};

HRESULT QueryDevice(IDirect3DDevice8* device, DeviceInfo* info)
{
    HRESULT hr = device->GetDirect3D(info->d3d.Put());
    if (SUCCEEDED(hr))
        hr = device->GetCreationParameters(&info->creation);
    if (SUCCEEDED(hr))
        hr = device->GetDisplayMode(&info->mode);
    if (SUCCEEDED(hr))
        hr = device->GetDeviceCaps(&info->caps);
    return hr;
}

bool Supported(const DeviceInfo& info, DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format, bool mustWrite)
{
    if (mustWrite && !d3dx::CanEncode(format))
        return false;
    // The format check knows only the render-target and depth usages.
    return SUCCEEDED(info.d3d->CheckDeviceFormat(info.creation.AdapterOrdinal, info.creation.DeviceType,
                                                   info.mode.Format,
                                                   usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL), type,
                                                   format));
}

// The format itself when the device has it, else the closest one it has,
// keeping alpha where the format has alpha.
D3DFORMAT ChooseFormat(const DeviceInfo& info, DWORD usage, D3DRESOURCETYPE type, D3DFORMAT wanted, bool mustWrite)
{
    if (wanted == D3DFMT_UNKNOWN)
        wanted = D3DFMT_A8R8G8B8;
    if (Supported(info, usage, type, wanted, mustWrite))
        return wanted;
    static const D3DFORMAT kWithAlpha[] = {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5, D3DFMT_A8R3G3B2};
    static const D3DFORMAT kOpaque[] = {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A8R8G8B8,
                                        D3DFMT_A1R5G5B5};
    const bool alpha = d3dx::HasAlpha(wanted) && wanted != D3DFMT_DXT1;
    for (D3DFORMAT f : alpha ? std::vector<D3DFORMAT>(std::begin(kWithAlpha), std::end(kWithAlpha))
                             : std::vector<D3DFORMAT>(std::begin(kOpaque), std::end(kOpaque)))
        if (Supported(info, usage, type, f, mustWrite))
            return f;
    return D3DFMT_UNKNOWN;
}

UINT NextPowerOfTwo(UINT v)
{
    UINT p = 1;
    while (p < v && p < 0x80000000u)
        p <<= 1;
    return p;
}

struct Requirements
{
    UINT width, height, levels;
    D3DFORMAT format;
};

HRESULT CheckRequirements(IDirect3DDevice8* device, Requirements* r, DWORD usage, bool cube, bool mustWrite)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    DeviceInfo info;
    const HRESULT hr = QueryDevice(device, &info);
    if (FAILED(hr))
        return hr;
    const D3DCAPS8& caps = info.caps;
    UINT w = r->width == 0 || r->width == D3DX_DEFAULT ? 256 : r->width;
    UINT h = r->height == 0 || r->height == D3DX_DEFAULT ? 256 : r->height;
    const bool pow2 = cube ? (caps.TextureCaps & D3DPTEXTURECAPS_CUBEMAP_POW2) != 0
                           : (caps.TextureCaps & D3DPTEXTURECAPS_POW2) != 0;
    if (pow2)
    {
        w = NextPowerOfTwo(w);
        h = NextPowerOfTwo(h);
    }
    if (cube || (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY))
        w = h = std::max(w, h);
    if (caps.MaxTextureWidth)
        w = std::min<UINT>(w, caps.MaxTextureWidth);
    if (caps.MaxTextureHeight)
        h = std::min<UINT>(h, caps.MaxTextureHeight);
    if (cube)
        w = h = std::min(w, h);

    const D3DFORMAT format =
        ChooseFormat(info, usage, cube ? D3DRTYPE_CUBETEXTURE : D3DRTYPE_TEXTURE, r->format, mustWrite);
    if (format == D3DFMT_UNKNOWN)
        return D3DERR_NOTAVAILABLE;

    const UINT full = d3dx::FullMipCount(w, h);
    UINT levels = r->levels == 0 || r->levels == D3DX_DEFAULT ? full : std::min(r->levels, full);
    const DWORD mipCap = cube ? D3DPTEXTURECAPS_MIPCUBEMAP : D3DPTEXTURECAPS_MIPMAP;
    if (!(caps.TextureCaps & mipCap))
        levels = 1;
    *r = Requirements{w, h, levels, format};
    return S_OK;
}

// A texture or a cube texture behind one face-and-level interface.
struct Target
{
    ComRef<IDirect3DTexture8> texture;
    ComRef<IDirect3DCubeTexture8> cube;
    bool isCube = false;

    IDirect3DBaseTexture8* Base() const
    {
        return texture ? static_cast<IDirect3DBaseTexture8*>(texture.Get())
                       : static_cast<IDirect3DBaseTexture8*>(cube.Get());
    }
    HRESULT Create(IDirect3DDevice8* device, const Requirements& r, DWORD usage, D3DPOOL pool)
    {
        return isCube ? device->CreateCubeTexture(r.width, r.levels, usage, r.format, pool, cube.Put())
                      : device->CreateTexture(r.width, r.height, r.levels, usage, r.format, pool, texture.Put());
    }
    HRESULT Lock(UINT face, UINT level, BYTE** bits, ptrdiff_t* pitch)
    {
        D3DLOCKED_RECT rect{};
        const HRESULT hr = texture ? texture->LockRect(level, &rect, nullptr, 0)
                                   : cube->LockRect(D3DCUBEMAP_FACES(face), level, &rect, nullptr, 0);
        *bits = static_cast<BYTE*>(rect.pBits);
        *pitch = rect.Pitch;
        return hr;
    }
    void Unlock(UINT face, UINT level)
    {
        if (texture)
            texture->UnlockRect(level);
        else
            cube->UnlockRect(D3DCUBEMAP_FACES(face), level);
    }
    // Hands the texture to the caller, who then releases it.
    IDirect3DBaseTexture8* Detach()
    {
        IDirect3DBaseTexture8* b = Base();
        texture.Detach();
        cube.Detach();
        return b;
    }
};

HRESULT CreateFromMemory(IDirect3DDevice8* device, LPCVOID data, UINT size, UINT width, UINT height, UINT levels,
                         DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                         D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, bool cube, IDirect3DBaseTexture8** out)
{
    if (!device || !data || size == 0 || !out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    const DWORD topFilter = d3dx::FilterType(filter, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER);
    const DWORD lowFilter = d3dx::FilterType(mipFilter, D3DX_FILTER_BOX);
    if (!topFilter || !lowFilter || (usage & D3DUSAGE_RENDERTARGET) || (usage & D3DUSAGE_DEPTHSTENCIL))
        return D3DERR_INVALIDCALL;

    d3dx::DecodedImage image;
    HRESULT hr = d3dx::DecodeImage(data, size, &image);
    if (FAILED(hr))
        return hr;
    if (srcInfo)
        *srcInfo = image.info;

    Requirements r{width == 0 || width == D3DX_DEFAULT ? image.info.Width : width,
                   height == 0 || height == D3DX_DEFAULT ? image.info.Height : height, levels,
                   format == D3DFMT_UNKNOWN ? image.info.Format : format};
    hr = CheckRequirements(device, &r, usage, cube, true);
    if (FAILED(hr))
        return hr;

    Target target, staging;
    target.isCube = staging.isCube = cube;
    hr = target.Create(device, r, usage, pool);
    if (FAILED(hr))
        return hr;
    // A texture in the default pool cannot be locked (unless dynamic): fill
    // a system-memory copy and send that to the device.
    const bool viaStaging = pool == D3DPOOL_DEFAULT && !(usage & D3DUSAGE_DYNAMIC);
    Target* fill = &target;
    if (viaStaging)
    {
        hr = staging.Create(device, r, 0, D3DPOOL_SYSTEMMEM);
        if (FAILED(hr))
            return hr;
        fill = &staging;
    }

    const d3dx::TextureLayout layout{r.width, r.height, r.levels, cube ? 6u : 1u, r.format,
                                     topFilter,  lowFilter, colorKey};
    hr = d3dx::FillTextureLevels(
        image, layout,
        [fill](UINT face, UINT level, BYTE** bits, ptrdiff_t* pitch) { return fill->Lock(face, level, bits, pitch); },
        [fill](UINT face, UINT level) { fill->Unlock(face, level); });
    if (SUCCEEDED(hr) && viaStaging)
        hr = device->UpdateTexture(staging.Base(), target.Base());
    if (FAILED(hr))
        return hr;
    *out = target.Detach();
    return S_OK;
}

HRESULT ReadWholeFile(LPCSTR path, std::vector<BYTE>* bytes)
{
    if (!path)
        return D3DERR_INVALIDCALL;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return D3DERR_NOTFOUND;
    LARGE_INTEGER size{};
    HRESULT hr = S_OK;
    if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 || size.QuadPart > 0x40000000)
        hr = D3DXERR_INVALIDDATA;
    else
    {
        bytes->resize(size_t(size.QuadPart));
        DWORD read = 0;
        if (!ReadFile(file, bytes->data(), DWORD(bytes->size()), &read, nullptr) || read != bytes->size())
            hr = D3DXERR_INVALIDDATA;
    }
    CloseHandle(file);
    return hr;
}

// A resource's bytes as an image file: RT_RCDATA as it is; an RT_BITMAP
// (a BMP without its file header) gets the file header back.
HRESULT ReadResource(HMODULE module, LPCSTR name, std::vector<BYTE>* bytes)
{
    auto load = [&](LPCSTR type, const BYTE** data, DWORD* size) {
        HRSRC found = FindResourceA(module, name, type);
        HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
        *data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
        *size = *data ? SizeofResource(module, found) : 0;
        return *data != nullptr && *size > 0;
    };
    const BYTE* data = nullptr;
    DWORD size = 0;
    if (load(MAKEINTRESOURCEA(10) /* RT_RCDATA */, &data, &size))
    {
        bytes->assign(data, data + size);
        return S_OK;
    }
    if (!load(MAKEINTRESOURCEA(2) /* RT_BITMAP */, &data, &size))
        return D3DERR_NOTFOUND;
    if (size < sizeof(BITMAPINFOHEADER))
        return D3DXERR_INVALIDDATA;
    BITMAPINFOHEADER header;
    memcpy(&header, data, sizeof header);
    DWORD colors = header.biClrUsed;
    if (colors == 0 && header.biBitCount <= 8)
        colors = 1u << header.biBitCount;
    DWORD offset = 14 + header.biSize + colors * 4;
    if (header.biSize == sizeof(BITMAPINFOHEADER) && header.biCompression == BI_BITFIELDS)
        offset += 12;
    BYTE fileHeader[14] = {'B', 'M'};
    const DWORD total = 14 + size;
    memcpy(fileHeader + 2, &total, 4);
    memcpy(fileHeader + 10, &offset, 4);
    bytes->assign(fileHeader, fileHeader + 14);
    bytes->insert(bytes->end(), data, data + size);
    return S_OK;
}

// Reads the bytes of an image file from somewhere, then makes the texture.
HRESULT TextureFromLoadedBytes(const std::function<HRESULT(std::vector<BYTE>*)>& load, IDirect3DDevice8* device,
                               UINT width, UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
                               D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                               D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette, IDirect3DTexture8** texture)
{
    if (texture)
        *texture = nullptr;
    std::vector<BYTE> bytes;
    const HRESULT hr = load(&bytes);
    if (FAILED(hr))
        return hr;
    return D3DXCreateTextureFromFileInMemoryEx(device, bytes.data(), UINT(bytes.size()), width, height, mipLevels,
                                               usage, format, pool, filter, mipFilter, colorKey, srcInfo, palette,
                                               texture);
}

} // namespace

HRESULT WINAPI D3DXCheckTextureRequirements(LPDIRECT3DDEVICE8 device, UINT* width, UINT* height, UINT* numMipLevels,
                                            DWORD usage, D3DFORMAT* format, D3DPOOL)
{
    Requirements r{width ? *width : 0, height ? *height : 0, numMipLevels ? *numMipLevels : 0,
                   format ? *format : D3DFMT_UNKNOWN};
    const HRESULT hr = CheckRequirements(device, &r, usage, false, false);
    if (FAILED(hr))
        return hr;
    if (width)
        *width = r.width;
    if (height)
        *height = r.height;
    if (numMipLevels)
        *numMipLevels = r.levels;
    if (format)
        *format = r.format;
    return S_OK;
}

HRESULT WINAPI D3DXCheckCubeTextureRequirements(LPDIRECT3DDEVICE8 device, UINT* size, UINT* numMipLevels,
                                                DWORD usage, D3DFORMAT* format, D3DPOOL)
{
    Requirements r{size ? *size : 0, size ? *size : 0, numMipLevels ? *numMipLevels : 0,
                   format ? *format : D3DFMT_UNKNOWN};
    const HRESULT hr = CheckRequirements(device, &r, usage, true, false);
    if (FAILED(hr))
        return hr;
    if (size)
        *size = r.width;
    if (numMipLevels)
        *numMipLevels = r.levels;
    if (format)
        *format = r.format;
    return S_OK;
}

HRESULT WINAPI D3DXCreateTexture(LPDIRECT3DDEVICE8 device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                                 D3DFORMAT format, D3DPOOL pool, LPDIRECT3DTEXTURE8* texture)
{
    if (!device || !texture)
        return D3DERR_INVALIDCALL;
    *texture = nullptr;
    Requirements r{width, height, mipLevels, format};
    const HRESULT hr = CheckRequirements(device, &r, usage, false, false);
    if (FAILED(hr))
        return hr;
    return device->CreateTexture(r.width, r.height, r.levels, usage, r.format, pool, texture);
}

HRESULT WINAPI D3DXCreateCubeTexture(LPDIRECT3DDEVICE8 device, UINT size, UINT mipLevels, DWORD usage,
                                     D3DFORMAT format, D3DPOOL pool, LPDIRECT3DCUBETEXTURE8* cubeTexture)
{
    if (!device || !cubeTexture)
        return D3DERR_INVALIDCALL;
    *cubeTexture = nullptr;
    Requirements r{size, size, mipLevels, format};
    const HRESULT hr = CheckRequirements(device, &r, usage, true, false);
    if (FAILED(hr))
        return hr;
    return device->CreateCubeTexture(r.width, r.levels, usage, r.format, pool, cubeTexture);
}

HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE8 device, LPCVOID srcData, UINT srcDataSize,
                                                   UINT width, UINT height, UINT mipLevels, DWORD usage,
                                                   D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                                   D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY*,
                                                   LPDIRECT3DTEXTURE8* texture)
{
    IDirect3DBaseTexture8* base = nullptr;
    const HRESULT hr = CreateFromMemory(device, srcData, srcDataSize, width, height, mipLevels, usage, format, pool,
                                        filter, mipFilter, colorKey, srcInfo, false, &base);
    if (texture)
        *texture = static_cast<IDirect3DTexture8*>(base);
    return hr;
}

HRESULT WINAPI D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE8 device, LPCVOID srcData, UINT srcDataSize,
                                                 LPDIRECT3DTEXTURE8* texture)
{
    return D3DXCreateTextureFromFileInMemoryEx(device, srcData, srcDataSize, D3DX_DEFAULT, D3DX_DEFAULT,
                                               D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                               D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}

HRESULT WINAPI D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE8 device, LPCSTR srcFile, UINT width, UINT height,
                                            UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                            DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                                            D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                            LPDIRECT3DTEXTURE8* texture)
{
    return TextureFromLoadedBytes([srcFile](std::vector<BYTE>* bytes) { return ReadWholeFile(srcFile, bytes); },
                                  device, width, height, mipLevels, usage, format, pool, filter, mipFilter, colorKey,
                                  srcInfo, palette, texture);
}

HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE8 device, LPCSTR srcFile, LPDIRECT3DTEXTURE8* texture)
{
    return D3DXCreateTextureFromFileExA(device, srcFile, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                        D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                        nullptr, texture);
}

HRESULT WINAPI D3DXCreateTextureFromResourceExA(LPDIRECT3DDEVICE8 device, HMODULE srcModule, LPCSTR srcResource,
                                                UINT width, UINT height, UINT mipLevels, DWORD usage,
                                                D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                                D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                                LPDIRECT3DTEXTURE8* texture)
{
    return TextureFromLoadedBytes(
        [srcModule, srcResource](std::vector<BYTE>* bytes) { return ReadResource(srcModule, srcResource, bytes); },
        device, width, height, mipLevels, usage, format, pool, filter, mipFilter, colorKey, srcInfo, palette,
        texture);
}

HRESULT WINAPI D3DXCreateCubeTextureFromFileInMemoryEx(LPDIRECT3DDEVICE8 device, LPCVOID srcData, UINT srcDataSize,
                                                       UINT size, UINT mipLevels, DWORD usage, D3DFORMAT format,
                                                       D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                                       D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY*,
                                                       LPDIRECT3DCUBETEXTURE8* cubeTexture)
{
    IDirect3DBaseTexture8* base = nullptr;
    const HRESULT hr = CreateFromMemory(device, srcData, srcDataSize, size, size, mipLevels, usage, format, pool,
                                        filter, mipFilter, colorKey, srcInfo, true, &base);
    if (cubeTexture)
        *cubeTexture = static_cast<IDirect3DCubeTexture8*>(base);
    return hr;
}

HRESULT WINAPI D3DXCreateCubeTextureFromFileInMemory(LPDIRECT3DDEVICE8 device, LPCVOID srcData, UINT srcDataSize,
                                                     LPDIRECT3DCUBETEXTURE8* cubeTexture)
{
    return D3DXCreateCubeTextureFromFileInMemoryEx(device, srcData, srcDataSize, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                   D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                   nullptr, nullptr, cubeTexture);
}
