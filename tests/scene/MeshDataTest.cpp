#include <gtest/gtest.h>

#include <cstring>

#include "ArchiveWriter.h"
#include "FileStorage.h"
#include "MeshData.h"

using namespace FileStorage;

namespace
{
// A mesh record as the archive stores it, with every count free to lie.
ArchiveTool::Bytes Record(uint32_t fvf, uint16_t vertexCount, uint32_t vertexBytes, uint16_t indexCount,
                          std::vector<uint16_t> indices, const std::string& material,
                          const std::vector<BoneRef>& bones = {})
{
    ArchiveTool::Bytes b;
    auto put = [&](const void* p, size_t n) {
        const uint8_t* q = static_cast<const uint8_t*>(p);
        b.insert(b.end(), q, q + n);
    };
    auto str = [&](const std::string& s) {
        const uint16_t n = uint16_t(s.size());
        put(&n, 2);
        put(s.data(), s.size());
    };
    put(&fvf, 4);
    put(&vertexCount, 2);
    put(&vertexBytes, 4);
    std::vector<uint8_t> vertices(vertexBytes);
    for (size_t i = 0; i < vertices.size(); ++i)
        vertices[i] = uint8_t(i);
    put(vertices.data(), vertices.size());
    put(&indexCount, 2);
    const uint32_t indexBytes = uint32_t(indices.size() * 2);
    put(&indexBytes, 4);
    put(indices.data(), indexBytes);
    str(material);
    if (MeshHasBones(fvf, vertexCount))
    {
        const uint16_t n = uint16_t(bones.size());
        put(&n, 2);
        for (const BoneRef& bone : bones)
        {
            str(bone.objectName);
            put(&bone.index, 2);
        }
    }
    return b;
}

struct Case
{
    const char* what;
    uint32_t fvf;
    uint16_t vertexCount;
    int32_t vertexBytesDelta; // added to count x stride
    std::vector<uint16_t> indices;
    int32_t indexCountDelta;
    bool valid;
};
} // namespace

TEST(MeshRecord, AcceptsConsistentRecordsAndRejectsLyingOnes)
{
    const Case cases[] = {
        {"position, normal, one uv set", 0x112, 3, 0, {0, 1, 2}, 0, true},
        {"two uv sets", 0x212, 4, 0, {0, 1, 2, 0, 2, 3}, 0, true},
        {"diffuse colour", 0x152, 3, 0, {0, 1, 2}, 0, true},
        {"skinned", 0x111C, 3, 0, {0, 1, 2}, 0, true},
        {"no vertices, no triangles", 0x112, 0, 0, {}, 0, true},
        {"vertex bytes short of count x stride", 0x112, 3, -4, {0, 1, 2}, 0, false},
        {"vertex bytes beyond count x stride", 0x112, 3, 32, {0, 1, 2}, 0, false},
        {"index count that is not two bytes an index", 0x112, 3, 0, {0, 1, 2}, 1, false},
        {"indices that are no whole triangles", 0x112, 3, 0, {0, 1, 2, 0}, 0, false},
        {"index past the vertices", 0x112, 3, 0, {0, 1, 3}, 0, false},
        {"format without a position", 0x110, 3, 0, {0, 1, 2}, 0, false},
    };
    for (const Case& c : cases)
    {
        const uint32_t stride = FvfVertexStride(c.fvf);
        const uint32_t vertexBytes = uint32_t(int64_t(c.vertexCount) * stride + c.vertexBytesDelta);
        const std::vector<BoneRef> bones = {{"Bip01", 0}};
        ArchiveTool::Bytes bytes = Record(c.fvf, c.vertexCount, vertexBytes,
                                          uint16_t(int(c.indices.size()) + c.indexCountDelta), c.indices, "Stone",
                                          bones);
        bytes.push_back(0xEE); // whatever follows the record
        CMemoryStream stream(bytes);
        MeshRecordData mesh;
        std::string problem;
        EXPECT_EQ(c.valid, ReadMeshRecord(stream, mesh, &problem)) << c.what << ": " << problem;
        EXPECT_EQ(c.valid, problem.empty()) << c.what;
        // Valid or not, the stream stands right after the record.
        EXPECT_EQ(bytes.size() - 1, stream.GetPosition()) << c.what;
        if (c.valid)
        {
            EXPECT_EQ("Stone", mesh.materialName) << c.what;
        }
    }
}

TEST(MeshRecord, KeepsDefaultAndEmptyMaterialNamesAndReadsBonesOfSkinnedRecords)
{
    for (const char* name : {"__none__", ""})
    {
        CMemoryStream stream(Record(0x112, 3, 3 * 32, 3, {0, 1, 2}, name));
        MeshRecordData mesh;
        ASSERT_TRUE(ReadMeshRecord(stream, mesh, nullptr));
        EXPECT_EQ(name, mesh.materialName);
        EXPECT_TRUE(mesh.bones.empty());
    }
    CMemoryStream skinned(Record(0x111C, 3, 3 * 48, 3, {0, 1, 2}, "Skin", {{"Bip01 Spine", 4}, {"Bip01 Head", 7}}));
    MeshRecordData mesh;
    ASSERT_TRUE(ReadMeshRecord(skinned, mesh, nullptr));
    ASSERT_EQ(2u, mesh.bones.size());
    EXPECT_EQ("Bip01 Head", mesh.bones[1].objectName);
    EXPECT_EQ(7, mesh.bones[1].index);
}

TEST(MeshRecord, TruncatedRecordThrows)
{
    ArchiveTool::Bytes bytes = Record(0x112, 3, 3 * 32, 3, {0, 1, 2}, "Stone");
    bytes.resize(bytes.size() - 3);
    CMemoryStream stream(bytes);
    MeshRecordData mesh;
    EXPECT_THROW(ReadMeshRecord(stream, mesh, nullptr), ErrorRead);
}

TEST(SplitBlendWeights, MovesSixteenBytesPerVertexOnlyForSkinnedFormats)
{
    struct
    {
        uint32_t fvf;
        bool skinned;
    } formats[] = {{0x111C, true}, {0x100C, true}, {0x112, false}, {0x1006, false}, {0x004, false}, {0x00C, false}};
    for (const auto& f : formats)
        EXPECT_EQ(f.skinned, IsSkinnedFvf(f.fvf)) << std::hex << f.fvf;

    MeshRecordData mesh;
    mesh.fvf = 0x111C; // XYZB4 | UBYTE4 | normal | one uv set: 48 bytes
    mesh.stride = FvfVertexStride(mesh.fvf);
    ASSERT_EQ(48u, mesh.stride);
    mesh.vertexCount = 2;
    mesh.vertices.resize(96);
    for (size_t i = 0; i < mesh.vertices.size(); ++i)
        mesh.vertices[i] = uint8_t(i);
    SplitBlendWeights(mesh);
    EXPECT_EQ(0x112u, mesh.fvf);
    EXPECT_EQ(32u, mesh.stride);
    ASSERT_EQ(64u, mesh.vertices.size());
    ASSERT_EQ(32u, mesh.blendWeights.size());
    EXPECT_EQ(48 + 11, mesh.vertices[32 + 11]); // second position
    EXPECT_EQ(48 + 28, mesh.vertices[32 + 12]); // its normal follows directly
    EXPECT_EQ(48 + 12, mesh.blendWeights[16]);  // its weights start after the position

    MeshRecordData plain;
    plain.fvf = 0x112;
    plain.stride = 32;
    plain.vertexCount = 1;
    plain.vertices.resize(32);
    SplitBlendWeights(plain);
    EXPECT_EQ(0x112u, plain.fvf);
    EXPECT_TRUE(plain.blendWeights.empty());
}

TEST(MorphFrames, PairAndWeightOverFrameTimes)
{
    const std::vector<float> even = {14.833f, 14.866f, 14.899f};
    int k;
    float w;
    FindMorphFrames(even, 14.85f, &k, &w);
    EXPECT_EQ(0, k);
    EXPECT_NEAR(0.5f, w, 0.03f);
    FindMorphFrames(even, 14.899f, &k, &w);
    EXPECT_EQ(1, k);
    EXPECT_FLOAT_EQ(1.0f, w);
    FindMorphFrames(even, 10.0f, &k, &w); // before the first frame
    EXPECT_EQ(0, k);
    EXPECT_EQ(0.0f, w);
    FindMorphFrames({0.0f, 0.1f, 0.9f, 1.0f}, 0.95f, &k, &w); // uneven: the guess is searched from
    EXPECT_EQ(2, k);
    EXPECT_NEAR(0.5f, w, 1e-4f);
    // Equal first and last times, or a single frame: no division, frame 0.
    for (const std::vector<float>& degenerate : {std::vector<float>{2.0f, 2.0f}, std::vector<float>{1.0f}})
    {
        FindMorphFrames(degenerate, 2.0f, &k, &w);
        EXPECT_EQ(0, k);
        EXPECT_EQ(0.0f, w);
    }
}

TEST(MorphFrames, BlendWritesPositionAndNormalAndKeepsTheRest)
{
    MorphFrameData a, b;
    a.vertexCount = b.vertexCount = 1;
    a.positionsNormals = {0, 0, 0, 0, 0, 1};
    b.positionsNormals = {2, 4, 6, 0, 1, 0};
    std::vector<uint8_t> vertex(32, 0xAB);
    BlendMorphFrames(a, b, 0.25f, vertex.data(), 32, 1);
    float out[6];
    std::memcpy(out, vertex.data(), 24);
    EXPECT_FLOAT_EQ(0.5f, out[0]);
    EXPECT_FLOAT_EQ(1.5f, out[2]);
    EXPECT_FLOAT_EQ(0.75f, out[5]); // normals are not renormalised
    EXPECT_EQ(0xAB, vertex[24]);
}

namespace
{
// Index buffers in memory, with failures on demand.
class MemoryStore : public CIndexBufferPool::IStore
{
public:
    struct Buffer
    {
        std::vector<uint8_t> bytes;
    };
    void* Create(uint32_t bytes) override
    {
        if (failCreate)
            return nullptr;
        ++live;
        created.push_back(bytes);
        return new Buffer{std::vector<uint8_t>(bytes)};
    }
    uint8_t* Lock(void* b, uint32_t offset, uint32_t bytes) override
    {
        Buffer* buffer = static_cast<Buffer*>(b);
        if (failLock || offset + bytes > buffer->bytes.size())
            return nullptr;
        return buffer->bytes.data() + offset;
    }
    void Unlock(void*) override {}
    void Release(void* b) override
    {
        --live;
        delete static_cast<Buffer*>(b);
    }
    bool failCreate = false, failLock = false;
    int live = 0;
    std::vector<uint32_t> created;
};

std::vector<uint8_t> Bytes(uint32_t n, uint8_t value) { return std::vector<uint8_t>(n, value); }
} // namespace

TEST(SharedIndexBuffer, GrowsInWholeStepsAboveWhatIsNeeded)
{
    MemoryStore store;
    CIndexBufferPool pool(&store);
    uint32_t start = 99;
    const uint32_t step = CIndexBufferPool::kStep;
    ASSERT_TRUE(pool.Append(Bytes(1000, 1).data(), 1000, &start));
    EXPECT_EQ(0u, start);
    EXPECT_EQ(std::vector<uint32_t>{step}, store.created);
    // Exactly the free bytes fill the buffer without growing.
    ASSERT_TRUE(pool.Append(Bytes(step - 1000, 2).data(), step - 1000, &start));
    EXPECT_EQ(500u, start);
    EXPECT_EQ(0u, pool.GetFree());
    EXPECT_EQ(1u, store.created.size());
    // One more pair grows to the next step above used + b, copying what was there.
    ASSERT_TRUE(pool.Append(Bytes(2, 3).data(), 2, &start));
    EXPECT_EQ(step / 2, start);
    EXPECT_EQ(2 * step, store.created.back());
    EXPECT_EQ(1, store.live);
    const auto* buffer = static_cast<MemoryStore::Buffer*>(pool.GetBuffer());
    EXPECT_EQ(1, buffer->bytes[999]);
    EXPECT_EQ(2, buffer->bytes[1000]);
    EXPECT_EQ(3, buffer->bytes[step + 1]);
    EXPECT_EQ(step - 2, pool.GetFree());
    pool.ReleaseAll();
    EXPECT_EQ(0, store.live);

    // A first block larger than a step takes the next whole multiple.
    CIndexBufferPool big(&store);
    ASSERT_TRUE(big.Append(Bytes(step + 10, 0).data(), step + 10, &start));
    EXPECT_EQ(2 * step, store.created.back());
    big.ReleaseAll();
}

TEST(SharedIndexBuffer, KeepsTheOldBufferWhenGrowingFails)
{
    for (bool failCreate : {true, false})
    {
        MemoryStore store;
        CIndexBufferPool pool(&store);
        uint32_t start = 0;
        const uint32_t step = CIndexBufferPool::kStep;
        ASSERT_TRUE(pool.Append(Bytes(step - 2, 7).data(), step - 2, &start));
        void* before = pool.GetBuffer();
        store.failCreate = failCreate;
        store.failLock = !failCreate;
        EXPECT_FALSE(pool.Append(Bytes(4, 8).data(), 4, &start));
        EXPECT_EQ(before, pool.GetBuffer());
        EXPECT_EQ(step - 2, pool.GetUsed());
        EXPECT_EQ(2u, pool.GetFree());
        EXPECT_EQ(1, store.live) << "the new buffer is released, the old one kept";
        store.failCreate = store.failLock = false;
        ASSERT_TRUE(pool.Append(Bytes(2, 9).data(), 2, &start));
        EXPECT_EQ((step - 2) / 2, start);
        pool.ReleaseAll();
    }
}
