// Natively there is no device: maps hold the textures they are given, and
// nothing is made from pictures.
#include "TexMap.h"

IDirect3DBaseTexture8* DiffuseMap::CreateTexture(IDirect3DDevice8*, FileStorage::CMemoryStream&, uint32_t, uint32_t,
                                                 const std::string&)
{
    return nullptr;
}
IDirect3DBaseTexture8* DiffuseAlphaMap::CreateTexture(IDirect3DDevice8*, FileStorage::CMemoryStream&, uint32_t,
                                                      uint32_t, const std::string&)
{
    return nullptr;
}
IDirect3DBaseTexture8* LightMap::CreateTexture(IDirect3DDevice8*, FileStorage::CMemoryStream&, uint32_t, uint32_t,
                                               const std::string&)
{
    return nullptr;
}
IDirect3DBaseTexture8* AlphaMap::CreateTexture(IDirect3DDevice8*, FileStorage::CMemoryStream&, uint32_t, uint32_t,
                                               const std::string&)
{
    return nullptr;
}
