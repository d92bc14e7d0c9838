#pragma once
// A small archive with an entry of every type and every geometry kind
// (dummy, static, morph, skinned): test fixture, fuzz seed, and the archive
// that the Windows tests build into their resources.
#include <string>
#include <vector>

#include "ArchiveWriter.h"

namespace ArchiveTool
{
struct SampleArchive
{
    std::vector<std::pair<std::string, FileStorage::GeomObjectRecord>> geomObjects;
    std::vector<std::pair<std::string, FileStorage::MaterialRecord>> materials;
    std::vector<std::pair<std::string, Bytes>> bitmaps;
    std::vector<std::pair<std::string, FileStorage::LightRecord>> lights;
    std::vector<std::pair<std::string, FileStorage::CameraRecord>> cameras;
    std::vector<std::pair<std::string, FileStorage::EnvironmentRecord>> environments;

    void AddTo(CArchiveWriter& writer) const;
};

SampleArchive MakeSampleArchive();

// A 2 x 2 24-bit Windows bitmap file.
Bytes MakeTinyBitmap(uint8_t red, uint8_t green, uint8_t blue);
} // namespace ArchiveTool
