#pragma once
// Building blocks of the sound synthesiser: a deterministic noise source,
// filters, envelopes, a stereo reverb and buffer helpers. Everything works on
// float samples at one fixed rate; a buffer that loops is treated as a circle
// (what runs off its end comes back in at its start).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace SoundContent
{
const int kSampleRate = 44100;
const float kPi = 3.14159265358979f;

typedef std::vector<float> Samples;

// PCG32: the same stream on every platform for a given seed and stream.
class CNoise
{
public:
    explicit CNoise(uint64_t seed, uint64_t stream = 1);
    uint32_t Next();
    float Unit() { return (Next() >> 8) * (1.0f / 16777216.0f); } // [0, 1)
    float Bipolar() { return Unit() * 2.0f - 1.0f; }              // [-1, 1)
    float Range(float lo, float hi) { return lo + (hi - lo) * Unit(); }
    // Roughly normal (sum of four uniforms), unit variance.
    float Gauss();

private:
    uint64_t m_State, m_Inc;
};

// A second-order section (the usual cookbook forms), direct form I.
class CBiquad
{
public:
    static CBiquad LowPass(float hz, float q) { return Make(hz, q, Shape::Low); }
    static CBiquad HighPass(float hz, float q) { return Make(hz, q, Shape::High); }
    static CBiquad BandPass(float hz, float q) { return Make(hz, q, Shape::Band); } // 0 dB at the centre
    float Process(float x);

private:
    enum class Shape
    {
        Low,
        High,
        Band
    };
    static CBiquad Make(float hz, float q, Shape shape);

    float m_B0 = 1, m_B1 = 0, m_B2 = 0, m_A1 = 0, m_A2 = 0;
    float m_X1 = 0, m_X2 = 0, m_Y1 = 0, m_Y2 = 0;
};

// One-pole low pass, for smoothing and soft tone control.
class COnePole
{
public:
    explicit COnePole(float hz = 1000.0f) { SetCutoff(hz); }
    void SetCutoff(float hz);
    float Process(float x) { return m_Y += m_A * (x - m_Y); }

private:
    float m_A = 1, m_Y = 0;
};

// Attack / decay / sustain / release in seconds; `Level(t, held)` for a note
// held for `held` seconds.
struct Adsr
{
    float attack = 0.01f, decay = 0.1f, sustain = 1.0f, release = 0.2f;
    float Level(float t, float held) const;
    float Length(float held) const { return held + release; }
};

// Smooth raised-cosine step from 0 (t <= 0) to 1 (t >= width).
float SmoothRise(float t, float width);

// Stereo reverb: eight damped combs and four all-passes per side with
// slightly different lengths on the two sides.
class CReverb
{
public:
    CReverb(float roomSize, float damping, float width);
    void Process(float inL, float inR, float& outL, float& outR);

private:
    struct Comb
    {
        std::vector<float> line;
        size_t pos = 0;
        float store = 0;
    };
    struct AllPass
    {
        std::vector<float> line;
        size_t pos = 0;
    };
    Comb m_Comb[2][8];
    AllPass m_AllPass[2][4];
    float m_Feedback, m_Damp, m_Width;
};

// Adds `in` (mono) into `out` starting at `start`; indices past the end wrap
// when `wrap` is set and are dropped otherwise.
void MixInto(Samples& out, const Samples& in, long start, float gain, bool wrap);
// Scales the buffer so that its largest magnitude is `peak`.
void Normalise(Samples& s, float peak);
float Peak(const Samples& s);
// Runs a filter over a looping buffer twice so that its state at the end
// matches its state at the start: the result joins itself without a step.
template <class Filter>
void FilterLoop(Samples& s, Filter& f)
{
    for (float x : s)
        f.Process(x);
    for (float& x : s)
        x = f.Process(x);
}
// Reads `s` at fractional position `pos` (linear interpolation, wrapping).
float ReadWrapped(const Samples& s, double pos);
} // namespace SoundContent
