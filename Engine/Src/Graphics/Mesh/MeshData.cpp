#include "MeshData.h"

#include <cmath>
#include <cstring>

#include "FileStorage.h"

using FileStorage::CMemoryStream;

bool ReadMeshRecord(CMemoryStream& s, MeshRecordData& out, std::string* problem)
{
    std::string why;
    out.fvf = s.ReadU32();
    out.stride = FileStorage::FvfVertexStride(out.fvf);
    out.vertexCount = s.ReadU16();
    const uint32_t vertexBytes = s.ReadU32();
    s.ReadArray(out.vertices, vertexBytes);
    if (out.stride == 0)
        why = "format " + std::to_string(out.fvf) + " has no position";
    else if (uint64_t(out.vertexCount) * out.stride != vertexBytes)
        why = std::to_string(vertexBytes) + " vertex bytes for " + std::to_string(out.vertexCount) +
              " vertices of " + std::to_string(out.stride) + " bytes";

    const uint16_t indexCount = s.ReadU16();
    const uint32_t indexBytes = s.ReadU32();
    std::vector<uint8_t> raw;
    s.ReadArray(raw, indexBytes);
    if (why.empty() && uint32_t(indexCount) * 2 != indexBytes)
        why = std::to_string(indexBytes) + " index bytes for " + std::to_string(indexCount) + " indices";
    if (why.empty() && indexCount % 3 != 0)
        why = std::to_string(indexCount) + " indices are not whole triangles";
    out.indices.assign(indexBytes / 2, 0);
    if (!out.indices.empty())
        std::memcpy(out.indices.data(), raw.data(), out.indices.size() * 2);
    for (uint16_t index : out.indices)
        if (why.empty() && index >= out.vertexCount)
            why = "index " + std::to_string(index) + " past " + std::to_string(out.vertexCount) + " vertices";

    out.materialName = s.ReadString();
    out.bones.clear();
    if (FileStorage::MeshHasBones(out.fvf, out.vertexCount))
    {
        const uint16_t count = s.ReadU16();
        for (uint16_t i = 0; i < count; ++i)
        {
            FileStorage::BoneRef bone;
            bone.objectName = s.ReadString();
            bone.index = s.ReadU16();
            out.bones.push_back(bone);
        }
    }
    if (problem)
        *problem = why;
    return why.empty();
}

void SplitBlendWeights(MeshRecordData& mesh)
{
    if (!IsSkinnedFvf(mesh.fvf) || mesh.vertexCount == 0)
        return;
    const uint32_t newFvf = (mesh.fvf ^ 0x100C) | FileStorage::kFvfXYZ;
    const uint32_t newStride = FileStorage::FvfVertexStride(newFvf);
    std::vector<uint8_t> vertices(size_t(mesh.vertexCount) * newStride);
    mesh.blendWeights.assign(size_t(mesh.vertexCount) * 16, 0);
    for (uint32_t v = 0; v < mesh.vertexCount; ++v)
    {
        const uint8_t* src = &mesh.vertices[size_t(v) * mesh.stride];
        uint8_t* dst = &vertices[size_t(v) * newStride];
        std::memcpy(dst, src, 12);
        std::memcpy(&mesh.blendWeights[size_t(v) * 16], src + 12, 16);
        std::memcpy(dst + 12, src + 28, mesh.stride - 28);
    }
    mesh.vertices.swap(vertices);
    mesh.fvf = newFvf;
    mesh.stride = newStride;
}

void BlendMorphFrames(const MorphFrameData& a, const MorphFrameData& b, float t, uint8_t* vertices,
                      uint32_t stride, uint32_t vertexCount)
{
    const uint32_t n = std::min<uint32_t>(vertexCount, std::min(a.vertexCount, b.vertexCount));
    for (uint32_t v = 0; v < n; ++v)
    {
        float out[6];
        for (int i = 0; i < 6; ++i)
            out[i] = a.positionsNormals[v * 6 + i] * (1 - t) + b.positionsNormals[v * 6 + i] * t;
        std::memcpy(vertices + size_t(v) * stride, out, sizeof(out));
    }
}

void FindMorphFrames(const std::vector<float>& f, float cur, int* frame, float* weight)
{
    *frame = 0;
    *weight = 0;
    const int n = int(f.size());
    if (n < 2 || !(f[n - 1] > f[0]))
        return;
    const float guess = (cur - f[0]) / ((f[n - 1] - f[0]) / float(n - 1));
    if (!(guess >= 0) || guess >= float(n))
        return;
    int k = int(guess);
    if (k + 1 == n)
    {
        *frame = n - 2;
        *weight = 1;
        return;
    }
    const int step = cur >= f[k] ? 1 : -1;
    if (step < 0)
        --k;
    for (; k >= 0 && k + 1 < n; k += step)
        if (f[k] <= cur && cur <= f[k + 1])
        {
            *frame = k;
            *weight = (cur - f[k]) / (f[k + 1] - f[k]);
            return;
        }
}

bool CIndexBufferPool::Append(const void* data, uint32_t bytes, uint32_t* startIndex)
{
    if (!m_pBuffer)
    {
        const uint32_t size = (bytes / kStep + 1) * kStep;
        m_pBuffer = m_pStore->Create(size);
        if (!m_pBuffer)
            return false;
        m_Free = size;
        m_Used = 0;
    }
    if (bytes <= m_Free)
    {
        uint8_t* p = m_pStore->Lock(m_pBuffer, m_Used, bytes);
        if (!p)
            return false;
        std::memcpy(p, data, bytes);
        m_pStore->Unlock(m_pBuffer);
    }
    else
    {
        const uint32_t size = ((m_Used + bytes) / kStep + 1) * kStep;
        void* grown = m_pStore->Create(size);
        if (!grown)
            return false;
        uint8_t* dst = m_pStore->Lock(grown, 0, m_Used + bytes);
        const uint8_t* old = dst && m_Used ? m_pStore->Lock(m_pBuffer, 0, m_Used) : nullptr;
        if (!dst || (m_Used && !old))
        {
            // Keep the buffer every pooled mesh draws from.
            if (dst)
                m_pStore->Unlock(grown);
            m_pStore->Release(grown);
            return false;
        }
        if (m_Used)
        {
            std::memcpy(dst, old, m_Used);
            m_pStore->Unlock(m_pBuffer);
        }
        std::memcpy(dst + m_Used, data, bytes);
        m_pStore->Unlock(grown);
        m_pStore->Release(m_pBuffer);
        m_pBuffer = grown;
        m_Free = size - m_Used;
    }
    *startIndex = m_Used / 2;
    m_Free -= bytes;
    m_Used += bytes;
    return true;
}

void CIndexBufferPool::ReleaseAll()
{
    if (m_pBuffer)
        m_pStore->Release(m_pBuffer);
    m_pBuffer = nullptr;
    m_Used = m_Free = 0;
}
