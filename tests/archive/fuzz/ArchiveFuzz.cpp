// libFuzzer target for the scene archive reader: the input as a whole
// archive, whose pictures ("BMP" entries) are decoded as the texture maps
// would, and the input as one record of every kind.
#include <cstddef>
#include <cstdint>

#include "FileStorage.h"
#include "Image.h"
#include "Log.h"

using namespace FileStorage;

namespace
{
template <class Record> void Decode(CMemoryStream& s)
{
    Record r;
    ReadRecord(s, r);
}

// A picture as the texture maps read it: a whole image file of any kind.
void DecodePicture(CMemoryStream& s)
{
    D3DXIMAGE_INFO info;
    if (!s.GetData() || FAILED(d3dx::ReadImageInfo(s.GetData(), s.GetSize(), &info)))
        return;
    // Large pictures are valid but slow; the image fuzz target covers them.
    if (uint64_t(info.Width) * info.Height > (1u << 20))
        return;
    d3dx::DecodedImage image;
    d3dx::DecodeImage(s.GetData(), s.GetSize(), &image);
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
    else if (type == kTypeBitmap)
        DecodePicture(s);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The log keeps its whole text; one input's text is all we want.
    g_Log.ClearText();
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
