// Natively environment maps make no cube textures.
#include "TexMap.h"

IDirect3DBaseTexture8* EnvironmentMap::CreateTexture(IDirect3DDevice8*, FileStorage::CMemoryStream&, uint32_t,
                                                     uint32_t, const std::string&)
{
    return nullptr;
}
EnvironmentMap::EnvironmentMap(const EnvironmentMap& other) : Map(other) {}
EnvironmentMap& EnvironmentMap::operator=(const EnvironmentMap& other)
{
    Map::operator=(other);
    return *this;
}
EnvironmentMap::~EnvironmentMap() = default;
void EnvironmentMap::AfterLoad(IDirect3DDevice8*) {}
