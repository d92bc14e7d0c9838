#pragma once
// Platform-free pieces of the mesh code: reading and checking a mesh record,
// splitting skinning weights out of the vertices, and the growth rules of
// the shared 16-bit index buffer.
#include <cstdint>
#include <string>
#include <vector>

#include "SceneArchiveFormat.h"

namespace FileStorage
{
class CMemoryStream;
}

// A skinned vertex carries XYZB4 weights and UBYTE4 bone indices; nothing
// else in the position field may be set.
inline bool IsSkinnedFvf(uint32_t fvf) { return (fvf & 0x100E) == 0x100C; }

struct MeshRecordData
{
    uint32_t fvf = 0;
    uint32_t stride = 0;
    uint16_t vertexCount = 0;
    std::vector<uint8_t> vertices;
    std::vector<uint16_t> indices;
    std::string materialName;
    std::vector<FileStorage::BoneRef> bones;
    // 16 bytes a vertex (three weights, four bone bytes) after SplitBlendWeights.
    std::vector<uint8_t> blendWeights;
};

// Reads one mesh record, stepping over it by its own byte counts. False,
// with the reason, when the record is inconsistent: its vertex bytes do not
// match count x stride, its index bytes are not two a count, its index count
// is not whole triangles or an index is not below the vertex count. A
// truncated stream throws FileStorage::ErrorRead.
bool ReadMeshRecord(FileStorage::CMemoryStream& stream, MeshRecordData& out, std::string* problem);

// Moves the 16 weight bytes behind each skinned vertex's position into
// blendWeights; the format becomes a plain XYZ one. Unskinned: nothing.
void SplitBlendWeights(MeshRecordData& mesh);

// Position and normal of every vertex (24 bytes each) of a morph frame.
struct MorphFrameData
{
    std::vector<float> positionsNormals; // 6 floats a vertex
    uint16_t vertexCount = 0;
};
void BlendMorphFrames(const MorphFrameData& a, const MorphFrameData& b, float t, uint8_t* vertices,
                      uint32_t stride, uint32_t vertexCount);

// Frame pair and weight of a morph at time cur over ascending frame times.
void FindMorphFrames(const std::vector<float>& times, float cur, int* frame, float* weight);

// The shared index buffer's bookkeeping over an abstract buffer store, so
// that the growth rules are tested without a device.
class CIndexBufferPool
{
public:
    static constexpr uint32_t kStep = 1024000;

    class IStore
    {
    public:
        virtual ~IStore() = default;
        virtual void* Create(uint32_t bytes) = 0;
        virtual uint8_t* Lock(void* buffer, uint32_t offset, uint32_t bytes) = 0;
        virtual void Unlock(void* buffer) = 0;
        virtual void Release(void* buffer) = 0;
    };

    explicit CIndexBufferPool(IStore* store) : m_pStore(store) {}
    // Copies `bytes` of index data behind what is there; the start index is
    // the used byte count before the append over 2. False when a buffer
    // could not be made or locked: the pool is unchanged then.
    bool Append(const void* data, uint32_t bytes, uint32_t* startIndex);
    void ReleaseAll();

    void* const* GetSlot() const { return &m_pBuffer; }
    void* GetBuffer() const { return m_pBuffer; }
    uint32_t GetUsed() const { return m_Used; }
    uint32_t GetFree() const { return m_Free; }

private:
    IStore* m_pStore;
    void* m_pBuffer = nullptr;
    uint32_t m_Used = 0;
    uint32_t m_Free = 0;
};
