#pragma once
// The program's built-in sounds and music as Ogg Vorbis files: which resource
// holds which file, and how each is made.
#include <cstdint>

#include "Music.h"
#include "OggEncoder.h"
#include "TrainSounds.h"

namespace SoundContent
{
// Every sound comes from this seed: the same seed gives the same bytes.
const uint64_t kSoundSeed = 0x7A2E5C01u;

struct SoundFile
{
    int id;           // RT_RCDATA resource id
    const char* name; // file name in the content folder (also the program's disk name)
    bool loops;
    int channels;
};
const int kSoundFileCount = 9;
const SoundFile kSoundFiles[kSoundFileCount] = {
    {200, "music01.ogg", true, 2},     {201, "chuh-chuh01.ogg", true, 1}, {202, "steam_1_01.ogg", false, 1},
    {203, "rails_1.ogg", false, 1},    {204, "rails_2.ogg", false, 1},    {205, "rails_3.ogg", false, 1},
    {206, "rails_4.ogg", false, 1},    {207, "rails_5.ogg", false, 1},    {208, "loco_1.ogg", true, 1},
};

// The samples of one file (interleaved when stereo) and its encoding.
Samples MakeSound(int id, uint64_t seed);
Bytes EncodeSound(int id, const Samples& samples);

// A listening check, not content: the locomotive's sounds mixed as the scene
// plays them at the shipped speed (chuff at 0.655 of its rate, clacks at 1.1
// every 2 / 0.35 seconds, one whistle), mono.
Samples MakeTrainMix(float seconds);
} // namespace SoundContent
