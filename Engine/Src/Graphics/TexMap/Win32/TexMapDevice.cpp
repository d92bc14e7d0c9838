// Textures of maps made on the device from the archive's pictures.
#include <d3d8.h>

#include <cstring>
#include <map>
#include <vector>

#include "D3DUtils.h"
#include "FileStorage.h"
#include "Log.h"
#include "PixelFormat.h"
#include "RenderStateManager.h"
#include "TexMap.h"
#include "d3dx8tex.h"

namespace
{
const char* const kTexMapSource = "..\\src\\Graphics\\TexMap";

struct FormatChoice
{
    std::vector<D3DFORMAT> ifR5G6B5, otherwise;
};
const FormatChoice kListA = {{D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5},
                             {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5,
                              D3DFMT_A1R5G5B5}};
const FormatChoice kListB = {{D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5},
                             {D3DFMT_X8R8G8B8, D3DFMT_R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5}};
const FormatChoice kListC = {{D3DFMT_A4R4G4B4, D3DFMT_A8R3G3B2}, {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A8R3G3B2}};
const FormatChoice kListD = {{D3DFMT_A4R4G4B4, D3DFMT_A8R3G3B2}, {D3DFMT_A8R8G8B8, D3DFMT_A8R3G3B2, D3DFMT_A4R4G4B4}};

IDirect3D8* s_pD3D = nullptr;
D3DDISPLAYMODE s_AdapterMode = {};

D3DFORMAT ChooseFormat(IDirect3DDevice8* device, const FormatChoice& list, bool refreshFirst)
{
    D3DDISPLAYMODE mode = {};
    if (!device || FAILED(device->GetDisplayMode(&mode)))
        return D3DFMT_UNKNOWN;
    const bool r5g6b5 = mode.Format == D3DFMT_R5G6B5;
    const std::vector<D3DFORMAT>& formats = r5g6b5 ? list.ifR5G6B5 : list.otherwise;
    for (size_t i = 0; i < formats.size(); ++i)
        if (CheckTextureFormat(device, formats[i], refreshFirst && r5g6b5 && i == 0))
            return formats[i];
    return D3DFMT_UNKNOWN;
}

void AlphaFromColor(IDirect3DTexture8* texture, bool cutOff)
{
    if (!texture)
        return;
    const DWORD levels = texture->GetLevelCount();
    for (DWORD level = 0; level < levels; ++level)
    {
        D3DSURFACE_DESC desc;
        if (FAILED(texture->GetLevelDesc(level, &desc)))
            continue;
        if (!(desc.Format == 21 || desc.Format == 22 || desc.Format == 23 || desc.Format == 24 ||
              desc.Format == 26 || desc.Format == 28 || desc.Format == 29))
        {
            g_Log.Printf("Error in %s, line %u\n", kTexMapSource, 430u);
            return;
        }
        D3DLOCKED_RECT rect;
        if (FAILED(texture->LockRect(level, &rect, nullptr, 0)))
        {
            g_Log.Printf("Error in %s, line %u\n", kTexMapSource, 488u);
            continue;
        }
        for (UINT y = 0; y < desc.Height; ++y)
            AlphaFromColorRow(desc.Format, static_cast<uint8_t*>(rect.pBits) + size_t(y) * rect.Pitch, desc.Width,
                              cutOff);
        texture->UnlockRect(level);
    }
}

IDirect3DTexture8* MakeTexture(IDirect3DDevice8* device, FileStorage::CMemoryStream& stream, uint32_t width,
                               uint32_t height, const FormatChoice& list, bool refresh, uint32_t levels,
                               unsigned noFormatLine, unsigned failLine)
{
    const D3DFORMAT format = ChooseFormat(device, list, refresh);
    if (format == D3DFMT_UNKNOWN)
    {
        g_Log.Printf("Error in %s, line %u\n", kTexMapSource, noFormatLine);
        return nullptr;
    }
    const uint32_t size = stream.GetSize();
    std::vector<uint8_t> bytes(stream.GetData(), stream.GetData() + size);
    stream.SetPosition(size);
    IDirect3DTexture8* texture = nullptr;
    const HRESULT hr = RenderStateManager::Instance().CreateTextureFromMemory(
        bytes.data(), size, width, height, levels, format, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_FILTER_TRIANGLE,
        nullptr, &texture);
    if (FAILED(hr))
    {
        g_Log.Printf("Error in %s, line %u\n", kTexMapSource, failLine);
        g_Log.Printf("Error: %s\n", GetErrorString(hr).substr(0, 100).c_str());
        return nullptr;
    }
    return texture;
}

// Cube textures built from the same faces, keyed by the names of the face
// pictures; the cache holds a reference of its own until it is emptied.
// Never destroyed: at the process's end Direct3D may already be gone.
std::map<std::string, ComRef<IDirect3DCubeTexture8>>& s_CubeCache =
    *new std::map<std::string, ComRef<IDirect3DCubeTexture8>>;
} // namespace

bool CheckTextureFormat(IDirect3DDevice8* device, D3DFORMAT format, bool refresh)
{
    // The device holds the Direct3D object; no reference is kept here, so a
    // refresh only forgets it.
    if (refresh)
        s_pD3D = nullptr;
    if (!s_pD3D)
    {
        ComRef<IDirect3D8> d3d;
        if (!device || FAILED(device->GetDirect3D(d3d.Put())))
            return false;
        d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &s_AdapterMode);
        s_pD3D = d3d;
    }
    return SUCCEEDED(s_pD3D->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, s_AdapterMode.Format, 0,
                                               D3DRTYPE_TEXTURE, format));
}

void ReleaseEnvironmentCubeCache()
{
    s_CubeCache.clear();
    s_pD3D = nullptr;
}

void Map::LoadFromStream(ITextureCache* scene, const std::string& prefix, Map* map,
                         FileStorage::CMemoryStream& stream, FileStorage::CArchive* archive)
{
    map->m_Name = "Unloaded";
    const int type = map->GetTypeId();
    map->m_Flags = stream.ReadU16();
    map->m_AddressU = FileStorage::MapAddressU(map->m_Flags);
    map->m_AddressV = FileStorage::MapAddressV(map->m_Flags);
    map->m_TexCoordIndex = stream.ReadU16();
    const uint16_t count = stream.ReadU16();
    IDirect3DDevice8* device = scene ? scene->GetDevice() : nullptr;
    for (uint16_t i = 0; i < count; ++i)
    {
        const std::string entry = stream.ReadString();
        uint32_t width = stream.ReadU32();
        uint32_t height = stream.ReadU32();
        if (CTextureSizeModifier* modifier = GetTextureSizeModifier())
            modifier->ModifySize(entry, &width, &height);
        const std::string fullName = prefix + entry;
        IDirect3DBaseTexture8* texture = scene ? scene->GetCachedTexture(fullName, type) : nullptr;
        if (texture)
            map->m_bCreatedHere = false;
        else
        {
            map->m_bCreatedHere = true;
            FileStorage::CMemoryStream* picture = archive ? archive->Find(entry, FileStorage::kTypeBitmap) : nullptr;
            if (!picture || !picture->GetData())
                g_Log.Printf("Error: texture \"%s\" has no picture in the archive\n", entry.c_str());
            else
            {
                picture->SetPosition(0);
                texture = map->CreateTexture(device, *picture, width, height, entry);
                if (texture && scene)
                    scene->SetCachedTexture(fullName, type, texture);
            }
        }
        if (texture)
        {
            map->m_Textures.push_back(texture);
            map->m_TextureNames.push_back(entry);
            if (i == 0)
                map->m_Name = entry;
        }
    }
    map->AfterLoad(device);
}

void Map::SkipRecord(FileStorage::CMemoryStream& stream)
{
    stream.ReadU16(); // flags
    stream.ReadU16(); // texture-coordinate index
    const uint16_t count = stream.ReadU16();
    for (uint16_t i = 0; i < count; ++i)
    {
        stream.ReadString();
        stream.ReadU32();
        stream.ReadU32();
    }
}

IDirect3DBaseTexture8* DiffuseMap::CreateTexture(IDirect3DDevice8* device, FileStorage::CMemoryStream& stream,
                                                 uint32_t width, uint32_t height, const std::string&)
{
    return MakeTexture(device, stream, width, height, kListB, true, g_MipLevelsA, 748, 765);
}

IDirect3DBaseTexture8* DiffuseAlphaMap::CreateTexture(IDirect3DDevice8* device, FileStorage::CMemoryStream& stream,
                                                      uint32_t width, uint32_t height, const std::string&)
{
    IDirect3DTexture8* texture = MakeTexture(device, stream, width, height, kListC, false, g_MipLevelsB, 789, 805);
    AlphaFromColor(texture, (m_Flags & FileStorage::kMapFlagCutAlpha) != 0);
    return texture;
}

IDirect3DBaseTexture8* LightMap::CreateTexture(IDirect3DDevice8* device, FileStorage::CMemoryStream& stream,
                                               uint32_t width, uint32_t height, const std::string&)
{
    return MakeTexture(device, stream, width, height, kListA, true, 1, 889, 905);
}

IDirect3DBaseTexture8* AlphaMap::CreateTexture(IDirect3DDevice8* device, FileStorage::CMemoryStream& stream,
                                               uint32_t width, uint32_t height, const std::string&)
{
    IDirect3DTexture8* texture = MakeTexture(device, stream, width, height, kListD, false, g_MipLevelsC, 947, 963);
    AlphaFromColor(texture, false);
    return texture;
}

IDirect3DBaseTexture8* EnvironmentMap::CreateTexture(IDirect3DDevice8* device, FileStorage::CMemoryStream& stream,
                                                     uint32_t width, uint32_t height, const std::string&)
{
    return MakeTexture(device, stream, width, height, kListB, false, 1, 1057, 1073);
}

void DiffuseAlphaMap::LoadCombined(ITextureCache* scene, DiffuseMap* diffuse, DiffuseAlphaMap* map,
                                   FileStorage::CMemoryStream& stream, FileStorage::CArchive* archive)
{
    if (!diffuse)
    {
        Map::LoadFromStream(scene, std::string(), map, stream, archive);
        return;
    }
    Map::LoadFromStream(scene, diffuse->GetName(), map, stream, archive);
    if (!map->WasCreatedHere() || map->m_Textures.empty() || map->m_Textures.size() != diffuse->GetTextureCount())
        return;
    for (size_t i = 0; i < map->m_Textures.size(); ++i)
    {
        IDirect3DTexture8* colour = static_cast<IDirect3DTexture8*>(diffuse->GetTextureAt(i));
        IDirect3DTexture8* combined = static_cast<IDirect3DTexture8*>(map->m_Textures[i]);
        if (CopyTextureLevels(colour, combined))
            continue;
        g_Log.Printf("Can't combine two textures: '%s' and '%s'. ", map->m_Name.c_str(), diffuse->GetName().c_str());
        const DWORD levels = combined->GetLevelCount(), colourLevels = colour->GetLevelCount();
        if (levels != colourLevels)
            g_Log.Printf("There are have different mipmap levels: %u and %u. ", unsigned(levels),
                         unsigned(colourLevels));
        D3DSURFACE_DESC a = {}, b = {};
        combined->GetLevelDesc(0, &a);
        colour->GetLevelDesc(0, &b);
        if (a.Width != b.Width || a.Height != b.Height)
            g_Log.Printf("There are have different sizes: (%u, %u) and (%u, %u).", a.Width, a.Height, b.Width,
                         b.Height);
        g_Log.Printf("\n");
    }
}

// Copies share the cube, each holding a reference of its own.
EnvironmentMap::EnvironmentMap(const EnvironmentMap& other) = default;
EnvironmentMap& EnvironmentMap::operator=(const EnvironmentMap& other) = default;
EnvironmentMap::~EnvironmentMap() = default;

void EnvironmentMap::AfterLoad(IDirect3DDevice8* device)
{
    if (m_Textures.size() < 2 || !device)
        return;
    // Keyed by the pictures' names, which outlive any one scene's textures.
    std::string key;
    for (const std::string& name : m_TextureNames)
        key += name + "|";
    auto cached = s_CubeCache.find(key);
    if (cached != s_CubeCache.end())
    {
        m_pCube = cached->second;
        return;
    }
    if (m_Textures.size() < 6)
        return;
    IDirect3DTexture8* second = static_cast<IDirect3DTexture8*>(m_Textures[1]);
    D3DSURFACE_DESC desc;
    ComRef<IDirect3DCubeTexture8> cube;
    if (FAILED(second->GetLevelDesc(0, &desc)) ||
        FAILED(device->CreateCubeTexture(desc.Width, 1, 0, desc.Format, D3DPOOL_MANAGED, cube.Put())))
    {
        g_Log.Printf("Warning: Can't create cube environment map!\n");
        return;
    }
    s_CubeCache[key] = cube;
    const size_t first = m_Textures.size() >= 7 ? 1 : 0;
    for (size_t i = first, face = 0; i < m_Textures.size(); ++i, ++face)
    {
        if (face >= 6)
        {
            g_Log.Printf("Warning: Can't load cube environment map!\n");
            break;
        }
        ComRef<IDirect3DSurface8> src, dst;
        static_cast<IDirect3DTexture8*>(m_Textures[i])->GetSurfaceLevel(0, src.Put());
        cube->GetCubeMapSurface(D3DCUBEMAP_FACES(face), 0, dst.Put());
        if (!src || !dst || FAILED(device->CopyRects(src, nullptr, 0, dst, nullptr)))
            g_Log.Printf("Warning: Can't load cube environment map!\n");
    }
    m_pCube = cube;
}
