#pragma once
// The locomotive's sounds, all mono at 44100 Hz (DirectSound places them in
// 3D). The chuff is recorded for the fastest running: the program plays it
// slower (lower) when the train runs slower, and the rail clacks faster or
// slower by the same arithmetic.
#include <cstdint>

#include "Dsp.h"

namespace SoundContent
{
// Exhaust beats of the chuff loop: `kChuffBeats` beats in one loop of
// `kChuffLoopSeconds`, so one beat every kChuffLoopSeconds / kChuffBeats.
const int kChuffBeats = 8;
const float kChuffLoopSeconds = 1.0f;
// The whistle's main pipe.
const float kWhistleHz = 440.0f;
const int kClackVariants = 5;

Samples MakeChuff(uint64_t seed);            // loop
Samples MakeWhistle(uint64_t seed);          // one blow with its steam
Samples MakeClack(int variant, uint64_t seed); // variant 0 .. kClackVariants - 1
Samples MakeIdle(uint64_t seed);             // loop: the standing engine breathing
} // namespace SoundContent
