// libFuzzer target for the tangent caches. The input's first byte is the
// mesh's vertex count, the next two the mend file's length; the mend file
// and then the frame file follow. What the reader takes and the mesh's check
// lets through must stay inside the mesh's vertices, and the mend file must
// come back unchanged through the writer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "MeshMender.h"
#include "TangentCache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const uint32_t vertexCount = data[0];
    const size_t mendSize = std::min<size_t>(size - 3, size_t(data[1]) | size_t(data[2]) << 8);
    const uint8_t* mend = data + 3;
    const uint8_t* tbn = mend + mendSize;
    const size_t tbnSize = size - 3 - mendSize;

    std::vector<uint32_t> mapping, indices;
    std::vector<float> frames;
    if (!ReadTangentMend(mend, mendSize, mapping, indices))
    {
        if (!mapping.empty() || !indices.empty())
            abort();
        return 0;
    }
    const std::vector<uint8_t> written = WriteTangentMend(mapping, indices);
    std::vector<uint32_t> mappingBack, indicesBack;
    if (!ReadTangentMend(written.data(), written.size(), mappingBack, indicesBack) || mappingBack != mapping ||
        indicesBack != indices)
        abort();
    if (!ReadTangentFrames(tbn, tbnSize, mapping.size(), frames))
        return 0;
    if (frames.size() != mapping.size() * 6)
        abort();
    if (!MendFitsIndex16(mapping, indices, vertexCount))
        return 0;
    // As the mesh remaps its vertices and draws the mended triangles.
    const std::vector<uint8_t> vertices(size_t(vertexCount) * 32, 1);
    std::vector<uint8_t> remapped(mapping.size() * 32);
    for (size_t i = 0; i < mapping.size(); ++i)
        for (size_t b = 0; b < 32; ++b)
            remapped[i * 32 + b] = vertices.at(size_t(mapping[i]) * 32 + b);
    for (uint32_t index : indices)
        if (remapped.at(size_t(index) * 32) != 1)
            abort();
    return 0;
}
