#pragma once
// The built-in music: a calm pastoral piece in D major for harp, bass, string
// pad, flute, clarinet, bell and a soft shaker, rendered by our own
// synthesiser as a stereo loop (its last bar rings on into its first).
#include <cstdint>
#include <string>
#include <vector>

#include "Dsp.h"

namespace SoundContent
{
const float kMusicTempo = 80.0f; // quarter notes a minute, 4/4

struct StereoSamples
{
    Samples left, right;
};

// Parses a melody line: "note:eighths" tokens such as "F#5:3" (sharps only,
// octave 4 holds A4 = 440 Hz) or "r:2" for a rest; "|" separates bars, and
// every bar must hold eight eighths. Returns (MIDI note or -1, eighths) pairs.
struct MelodyNote
{
    int note;
    int eighths;
};
std::vector<MelodyNote> ParseMelody(const std::string& text);
// The chord's notes as MIDI notes (root in octave 3): "D", "F#m", "A7".
std::vector<int> ParseChord(const std::string& name);

// The piece's length in seconds and its rendering.
float MusicSeconds();
StereoSamples MakeMusic(uint64_t seed);
} // namespace SoundContent
