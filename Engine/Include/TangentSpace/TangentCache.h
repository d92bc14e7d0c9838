#pragma once
// The tangent caches of a mesh. The mend file ("<object><mesh>.mend", or
// ".mends" for smoothed normals) holds the mended vertices' source indices
// and the mended triangle indices, each as a 32-bit count followed by that
// many 32-bit values; the frame file (".tbn"/".tbns") holds six floats, the
// tangent and binormal, per mended vertex. All little-endian.
#include <cstddef>
#include <cstdint>
#include <vector>

// False, with both lists empty, when a count runs past the end.
bool ReadTangentMend(const uint8_t* data, size_t size, std::vector<uint32_t>& mapping,
                     std::vector<uint32_t>& indices);
// The frames of `vertices` mended vertices; false when the file is shorter.
bool ReadTangentFrames(const uint8_t* data, size_t size, size_t vertices, std::vector<float>& frames);
// The written forms of the same.
std::vector<uint8_t> WriteTangentMend(const std::vector<uint32_t>& mapping, const std::vector<uint32_t>& indices);
