#pragma once
// Writes scene archives for our content generators: add records by name,
// then build the bytes or write a file. Entries are laid out as the engine
// expects them: directory in ascending (name, type) byte order, blocks after
// the directory in the same order.
//
// Bad input (a string or count that does not fit its field, sizes that do
// not match the vertex format, an entry added twice) throws
// std::invalid_argument, so a generator fails loudly instead of writing an
// archive that the engine would reject.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "SceneArchiveFormat.h"

namespace ArchiveTool
{
typedef std::vector<uint8_t> Bytes;

// Record encoders (the inverse of FileStorage::ReadRecord).
Bytes EncodeRecord(const FileStorage::GeomObjectRecord& r);
Bytes EncodeRecord(const FileStorage::MaterialRecord& r);
Bytes EncodeRecord(const FileStorage::LightRecord& r);
Bytes EncodeRecord(const FileStorage::CameraRecord& r);
Bytes EncodeRecord(const FileStorage::EnvironmentRecord& r);

class CArchiveWriter
{
public:
    void AddGeomObject(const std::string& name, const FileStorage::GeomObjectRecord& r);
    void AddMaterial(const std::string& name, const FileStorage::MaterialRecord& r);
    void AddBitmap(const std::string& name, const Bytes& imageFile); // stored as is
    void AddLight(const std::string& name, const FileStorage::LightRecord& r);
    void AddCamera(const std::string& name, const FileStorage::CameraRecord& r);
    void AddEnvironment(const std::string& name, const FileStorage::EnvironmentRecord& r);
    // Any type, with a record already encoded.
    void AddEntry(const std::string& name, const std::string& type, Bytes record);

    // With the head: a zero word and `version` before the directory.
    Bytes Build(bool withHead = false, uint32_t version = FileStorage::kDefaultArchiveVersion) const;
    // False when the file cannot be written.
    bool WriteFile(const std::string& path, bool withHead = false,
                   uint32_t version = FileStorage::kDefaultArchiveVersion) const;

    size_t GetEntryCount() const { return m_Entries.size(); }

private:
    std::map<std::pair<std::string, std::string>, Bytes> m_Entries;
};

// Helpers for generators.
void SetIdentity(float* m16);
// One key at time 0 holding `local`, parented to `parent`.
FileStorage::NodeRecord MakeNode(const std::string& parent, const float* local16);
// The same with a plain translation.
FileStorage::NodeRecord MakeNodeAt(const std::string& parent, float x, float y, float z);
// A geometry object of one frame holding one mesh.
FileStorage::GeomObjectRecord MakeStaticObject(const FileStorage::NodeRecord& node, const FileStorage::MeshRecord& mesh);
// A mesh from raw vertices of `fvf` (vertexCount x stride bytes) and a triangle list.
FileStorage::MeshRecord MakeMesh(uint32_t fvf, const void* vertices, uint16_t vertexCount,
                                 const std::vector<uint16_t>& indices, const std::string& material);
// The Direct3D left-handed perspective projection.
void PerspectiveFovLH(float* m16, float fovY, float aspect, float zNear, float zFar);
} // namespace ArchiveTool
