#include "TangentCache.h"

#include <cstring>

namespace
{
const size_t kFrameFloats = 6;

bool ReadList(const uint8_t* data, size_t size, size_t& at, std::vector<uint32_t>& list)
{
    uint32_t n = 0;
    if (size - at < 4)
        return false;
    std::memcpy(&n, data + at, 4);
    at += 4;
    if (uint64_t(n) * 4 > size - at)
        return false;
    list.resize(n);
    if (n)
        std::memcpy(list.data(), data + at, size_t(n) * 4);
    at += size_t(n) * 4;
    return true;
}

void PutList(std::vector<uint8_t>& out, const std::vector<uint32_t>& list)
{
    const uint32_t n = uint32_t(list.size());
    const uint8_t* count = reinterpret_cast<const uint8_t*>(&n);
    out.insert(out.end(), count, count + 4);
    const uint8_t* values = reinterpret_cast<const uint8_t*>(list.data());
    out.insert(out.end(), values, values + list.size() * 4);
}
} // namespace

bool ReadTangentMend(const uint8_t* data, size_t size, std::vector<uint32_t>& mapping,
                     std::vector<uint32_t>& indices)
{
    size_t at = 0;
    if (data && ReadList(data, size, at, mapping) && ReadList(data, size, at, indices))
        return true;
    mapping.clear();
    indices.clear();
    return false;
}

bool ReadTangentFrames(const uint8_t* data, size_t size, size_t vertices, std::vector<float>& frames)
{
    if (!data || vertices > size / (kFrameFloats * sizeof(float)))
        return false;
    frames.resize(vertices * kFrameFloats);
    if (!frames.empty())
        std::memcpy(frames.data(), data, frames.size() * sizeof(float));
    return true;
}

std::vector<uint8_t> WriteTangentMend(const std::vector<uint32_t>& mapping, const std::vector<uint32_t>& indices)
{
    std::vector<uint8_t> out;
    PutList(out, mapping);
    PutList(out, indices);
    return out;
}
