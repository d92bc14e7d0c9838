// libFuzzer target for the scene archive reader: the input as a whole
// archive, and the input as one record of every kind.
#include <cstddef>
#include <cstdint>

#include "FileStorage.h"

using namespace FileStorage;

namespace
{
template <class Record> void Decode(CMemoryStream& s)
{
    Record r;
    ReadRecord(s, r);
}

void DecodeByType(CMemoryStream& s, const std::string& type)
{
    if (type == kTypeGeomObject)
        Decode<GeomObjectRecord>(s);
    else if (type == kTypeMaterial)
        Decode<MaterialRecord>(s);
    else if (type == kTypeLight)
        Decode<LightRecord>(s);
    else if (type == kTypeCamera)
        Decode<CameraRecord>(s);
    else if (type == kTypeEnvironment)
        Decode<EnvironmentRecord>(s);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteArray bytes(data, data + size);
    CArchive archive;
    if (archive.OpenMemory(bytes))
        for (const auto& key : archive.GetEntryList())
            if (CMemoryStream* s = archive.Find(key.first, key.second))
                DecodeByType(*s, key.second);

    for (const char* type : {kTypeGeomObject, kTypeMaterial, kTypeLight, kTypeCamera, kTypeEnvironment})
    {
        CMemoryStream s(bytes);
        DecodeByType(s, type);
    }
    return 0;
}
