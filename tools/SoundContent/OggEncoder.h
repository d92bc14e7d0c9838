#pragma once
// Ogg Vorbis encoding of synthesised sounds through libvorbisenc. The output
// depends only on the samples and the arguments (fixed stream serial), so the
// same sound always gives the same bytes.
#include <cstdint>
#include <vector>

#include "Dsp.h"

namespace SoundContent
{
typedef std::vector<uint8_t> Bytes;

// `interleaved` holds frames of `channels` samples in [-1, 1]; `quality` is
// libvorbisenc's VBR quality (-0.1 .. 1.0). Throws std::runtime_error when the
// encoder refuses the set-up.
Bytes EncodeOgg(const Samples& interleaved, int channels, float quality, int serial);
// Two mono buffers of equal length to one interleaved stereo buffer.
Samples Interleave(const Samples& left, const Samples& right);
} // namespace SoundContent
