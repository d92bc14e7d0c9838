#pragma once
// Scene archives: raw blocks from a resource, a file or memory
// (CDataSource), the directory with lazily loaded entries (CArchive) and the
// read cursor over one entry's record (CMemoryStream).
//
// Every length, count and offset read from the data is checked against the
// size of what holds it before anything is allocated or copied. A failed
// check throws one of the errors below; CArchive never lets them out (an
// open fails, a Find returns null). Stream reads past the end of a record
// throw ErrorReadFromStream: a loader catches ErrorRead around one record
// and drops that record.
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "SceneArchiveFormat.h"

namespace FileStorage
{
struct ErrorRead : std::runtime_error
{
    using std::runtime_error::runtime_error;
};
struct ErrorReadFromFile : ErrorRead
{
    using ErrorRead::ErrorRead;
};
struct ErrorReadFromResource : ErrorRead
{
    using ErrorRead::ErrorRead;
};
struct ErrorReadFromMemory : ErrorRead
{
    using ErrorRead::ErrorRead;
};
struct ErrorReadFromStream : ErrorRead
{
    using ErrorRead::ErrorRead;
};

typedef std::vector<uint8_t> ByteArray;

class CDataSource
{
public:
    enum Kind
    {
        KIND_NONE = -1,
        KIND_FILE = 0,
        KIND_RESOURCE = 1,
        KIND_MEMORY = 2,
    };

    CDataSource() = default;
    ~CDataSource();
    CDataSource(const CDataSource&) = delete;
    CDataSource& operator=(const CDataSource&) = delete;

    // RT_RCDATA resource `id` of the program's own module; throws
    // ErrorReadFromResource when there is none (always, outside Windows).
    void OpenResource(uint16_t id);
    // Throws ErrorReadFromFile for an empty path or a failed open.
    void OpenFile(const std::string& path);
    // A copy of bytes held in memory (tests, tools).
    void OpenMemory(ByteArray bytes);

    // Replaces `buffer` with `length` bytes at `position`. With length 0 the
    // block is length-prefixed: the u32 at `position` is its length and the
    // data follows. Returns the length read. Throws when the block does not
    // lie wholly inside the source.
    uint32_t ReadBlock(uint64_t position, uint32_t length, ByteArray& buffer);

    void Close();

    int32_t GetKind() const { return m_Kind; }
    uint64_t GetSize() const { return m_Size; }

private:
    void ReadRaw(uint64_t position, uint32_t length, void* dest);
    void CheckRange(uint64_t position, uint64_t length) const;
    [[noreturn]] void Fail(const std::string& what) const;
    void ReadResourceRaw(uint64_t position, uint32_t length, void* dest);

    int32_t m_Kind = KIND_NONE;
    FILE* m_pFile = nullptr;
    void* m_hResource = nullptr; // HRSRC of the resource kind
    uint64_t m_Size = 0;
    ByteArray m_Memory;
};

class CMemoryStream
{
public:
    CMemoryStream() = default;
    // A loaded stream over the given bytes.
    explicit CMemoryStream(ByteArray bytes);

    // Reads the block from the source (ReadBlock semantics); loaded := true.
    void Load(CDataSource& source, uint64_t position, uint32_t length);
    bool IsLoaded() const { return m_bLoaded; }

    // Each read copies from the current position and advances it; a read
    // past the end throws ErrorReadFromStream and changes nothing.
    void ReadBytes(void* dest, uint32_t n);
    void ReadMatrix(float* dest16);
    uint8_t ReadU8();
    uint16_t ReadU16();
    uint32_t ReadU32();
    uint64_t ReadU64();
    float ReadFloat();
    // The u16 length, then exactly that many bytes (zeros included).
    std::string ReadString();
    // `n` bytes into `out`, checked before anything is allocated.
    void ReadArray(ByteArray& out, uint32_t n);

    uint32_t GetPosition() const { return m_Position; }
    void SetPosition(uint32_t position);
    uint32_t GetSize() const { return m_pData ? uint32_t(m_pData->size()) : 0; }
    uint32_t GetRemaining() const { return GetSize() - m_Position; }
    // The record in place; null when empty.
    const uint8_t* GetData() const { return m_pData && !m_pData->empty() ? m_pData->data() : nullptr; }

private:
    void Need(uint32_t n) const;

    std::shared_ptr<ByteArray> m_pData;
    uint32_t m_Position = 0;
    bool m_bLoaded = false;
};

class CArchive
{
public:
    typedef std::pair<std::string, std::string> Key; // (name, type)

    CArchive() = default;
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    // Open the source and read the directory; false (logged) on any failure,
    // including a corrupt directory.
    bool OpenFile(const std::string& path);
    bool OpenResource(uint16_t id);
    bool OpenMemory(ByteArray bytes);

    // The (name, type) pairs in directory order (bytewise by name, then type).
    std::vector<Key> GetEntryList() const;

    // The entry's stream rewound to 0, loading its record on first use; null
    // when the entry is absent or its block cannot be read. The archive owns
    // the stream; every Find of the same entry returns the same one.
    CMemoryStream* Find(const std::string& name, const std::string& type);

    uint32_t GetVersion() const { return m_Version; }

private:
    struct Entry
    {
        uint64_t offset = 0;
        std::unique_ptr<CMemoryStream> stream;
    };

    template <class OpenFn> bool Open(const std::string& what, OpenFn open);
    void ReadDirectory();
    void Reset();

    std::map<Key, Entry> m_Directory;
    std::unique_ptr<CDataSource> m_pSource;
    uint32_t m_Version = 0;
};

// Record readers: decode a whole record from the stream's current position.
// False (logged, `out` unspecified) when the record is truncated or its
// sizes disagree.
bool ReadRecord(CMemoryStream& stream, NodeRecord& out);
bool ReadRecord(CMemoryStream& stream, GeomObjectRecord& out);
bool ReadRecord(CMemoryStream& stream, MaterialRecord& out);
bool ReadRecord(CMemoryStream& stream, LightRecord& out);
bool ReadRecord(CMemoryStream& stream, CameraRecord& out);
bool ReadRecord(CMemoryStream& stream, EnvironmentRecord& out);

// The throwing forms, for loaders that read a record in parts.
void ReadNode(CMemoryStream& stream, NodeRecord& out);
void ReadMesh(CMemoryStream& stream, MeshRecord& out);
} // namespace FileStorage
