#include "TrainSounds.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace SoundContent
{
namespace
{
long ToSamples(float seconds) { return long(std::lround(seconds * kSampleRate)); }

// Noise shaped by an envelope that rises in `attack` and falls with the time
// constant `decay` (seconds), `length` seconds long.
Samples Burst(CNoise& noise, float attack, float decay, float length)
{
    Samples s(size_t(ToSamples(length)));
    for (size_t i = 0; i < s.size(); ++i)
    {
        const float t = float(i) / kSampleRate;
        const float env = (1.0f - std::exp(-t / attack)) * std::exp(-t / decay);
        s[i] = noise.Gauss() * env;
    }
    return s;
}

// A decaying sine starting at phase 0 (a soft thump or a ringing mode).
Samples Ring(float hz, float decay, float length, float phase = 0)
{
    Samples s(size_t(ToSamples(length)));
    for (size_t i = 0; i < s.size(); ++i)
    {
        const float t = float(i) / kSampleRate;
        s[i] = std::sin(2.0f * kPi * hz * t + phase) * std::exp(-t / decay);
    }
    return s;
}

// Fades the first and last `seconds` of a one-shot sound so that it starts and
// ends at silence.
void FadeEnds(Samples& s, float seconds)
{
    const long n = std::min(ToSamples(seconds), long(s.size() / 2));
    for (long i = 0; i < n; ++i)
    {
        const float k = SmoothRise(float(i), float(n));
        s[size_t(i)] *= k;
        s[s.size() - 1 - size_t(i)] *= k;
    }
}

// ---- Chuff ---------------------------------------------------------------
// One exhaust beat is a burst of steam: a chimney-coloured body, a bright
// hiss and a low push of air. The loop holds two turns of the driving wheels,
// four beats each, strong and weak beats alternating as the two cylinders do.
struct ChuffParams
{
    float attack = 0.004f, decay = 0.042f, burstLength = 0.3f;
    float bodyHz = 720.0f, bodyQ = 1.1f;         // chimney resonance
    float hissHz = 2600.0f;                      // high pass of the hiss
    float thumpHz = 88.0f, thumpDecay = 0.035f;  // the push of air
    float bodyGain = 3.0f, hissGain = 0.33f, thumpGain = 0.55f; // the band pass keeps little of the noise
    float timingJitter = 0.003f;                 // seconds
    float backgroundHiss = 0.035f;               // steady leak between beats
    float beatLevel[kChuffBeats] = {1.0f, 0.74f, 0.9f, 0.7f, 0.97f, 0.78f, 0.88f, 0.72f};
};

// ---- Clacks --------------------------------------------------------------
// A wheel over a rail joint: a short crack, the rail ringing and a thump of
// the axle. Each variant has its own hits (axles of a bogie) and its own
// ringing modes.
struct ClackParams
{
    std::vector<float> hitTimes, hitLevels;
    float ring[3];      // Hz
    float ringDecay;    // seconds
    float thumpHz;
    float crackHz;      // high pass of the crack
    float length;       // seconds
};

const ClackParams kClacks[kClackVariants] = {
    {{0.005f, 0.165f}, {0.9f, 1.0f}, {1850, 2950, 4100}, 0.045f, 95, 1800, 0.6f},
    {{0.005f, 0.150f, 0.560f, 0.705f}, {1.0f, 0.85f, 0.6f, 0.55f}, {1600, 2700, 3900}, 0.05f, 85, 1500, 1.1f},
    {{0.005f}, {1.0f}, {2200, 3400, 5200}, 0.06f, 70, 1200, 0.45f},
    {{0.005f, 0.225f}, {0.8f, 0.95f}, {1400, 2300, 3600}, 0.035f, 105, 2400, 0.65f},
    {{0.005f, 0.135f, 0.305f}, {0.7f, 1.0f, 0.6f}, {2000, 3100, 4700}, 0.04f, 90, 2000, 0.75f},
};
} // namespace

Samples MakeChuff(uint64_t seed)
{
    const ChuffParams p;
    CNoise noise(seed, 201);
    const long n = ToSamples(kChuffLoopSeconds);
    const double period = double(n) / kChuffBeats;
    Samples body(size_t(n), 0.0f), hiss(size_t(n), 0.0f), thump(size_t(n), 0.0f);
    for (int b = 0; b < kChuffBeats; ++b)
    {
        // Beats sit half a period into their slot: the loop joins between beats.
        const long at = long((b + 0.5) * period) + ToSamples(noise.Range(-p.timingJitter, p.timingJitter));
        const float level = p.beatLevel[b] * noise.Range(0.95f, 1.05f);
        MixInto(body, Burst(noise, p.attack, p.decay, p.burstLength), at, level, true);
        MixInto(hiss, Burst(noise, p.attack * 0.5f, p.decay * 0.8f, p.burstLength), at, level * noise.Range(0.8f, 1.2f), true);
        MixInto(thump, Ring(p.thumpHz * noise.Range(0.95f, 1.05f), p.thumpDecay, p.burstLength), at, level, true);
    }
    // The steady leak is part of the hiss path.
    for (float& x : hiss)
        x += noise.Gauss() * p.backgroundHiss;

    CBiquad bodyFilter = CBiquad::BandPass(p.bodyHz, p.bodyQ);
    CBiquad bodyLow = CBiquad::LowPass(3000.0f, 0.7f);
    CBiquad hissFilter = CBiquad::HighPass(p.hissHz, 0.7f);
    COnePole thumpSoft(400.0f);
    FilterLoop(body, bodyFilter);
    FilterLoop(body, bodyLow);
    FilterLoop(hiss, hissFilter);
    FilterLoop(thump, thumpSoft);

    Samples out(size_t(n), 0.0f);
    for (long i = 0; i < n; ++i)
        out[size_t(i)] = body[size_t(i)] * p.bodyGain + hiss[size_t(i)] * p.hissGain + thump[size_t(i)] * p.thumpGain;
    Normalise(out, 0.8f);
    return out;
}

Samples MakeWhistle(uint64_t seed)
{
    // Three pipes of a chime, the first the loudest; the valve opens with a
    // rush of steam, the tone bends up to pitch, holds, bends down as the
    // valve closes, and the steam dies away.
    const float pipes[3] = {kWhistleHz, kWhistleHz * 1.2599f, kWhistleHz * 1.4983f};
    const float pipeLevel[3] = {1.0f, 0.42f, 0.3f};
    const float harmonic[6] = {1.0f, 0.4f, 0.22f, 0.1f, 0.06f, 0.03f};
    const float toneOn = 0.12f, toneOff = 2.3f, bend = 0.14f, release = 0.3f;
    const float steamRise = 0.08f, steamHold = 2.45f, steamDecay = 0.3f, total = 3.4f;

    CNoise noise(seed, 202);
    const long n = ToSamples(total);
    Samples out(size_t(n), 0.0f);

    // Slow wander of pitch and level, the same for every pipe.
    COnePole wanderFilter(3.0f), flutterFilter(9.0f);
    double phase[3][6] = {};
    for (long i = 0; i < n; ++i)
    {
        const float t = float(i) / kSampleRate;
        const float wander = wanderFilter.Process(noise.Gauss()) * 0.2f;   // about 0.3 % of pitch
        const float flutter = flutterFilter.Process(noise.Gauss()) * 2.0f; // about 5 % of level
        float env = 0, pitch = 1;
        if (t >= toneOn)
        {
            const float u = t - toneOn;
            env = SmoothRise(u, bend);
            pitch = 0.94f + 0.06f * SmoothRise(u, bend);
            if (t > toneOff)
            {
                const float r = (t - toneOff) / release;
                env *= r >= 1 ? 0 : (1 - r) * (1 - r);
                pitch -= 0.04f * std::min(r, 1.0f);
            }
        }
        float v = 0;
        if (env > 0)
            for (int p = 0; p < 3; ++p)
                for (int h = 0; h < 6; ++h)
                {
                    const double hz = pipes[p] * (h + 1) * pitch * (1.0f + wander);
                    phase[p][h] += 2.0 * kPi * hz / kSampleRate;
                    v += float(std::sin(phase[p][h])) * harmonic[h] * pipeLevel[p];
                }
        out[size_t(i)] = v * env * (1.0f + flutter) * 0.22f;
    }

    // Breath in the tone and the steam around it.
    Samples breath(size_t(n), 0.0f), steam(size_t(n), 0.0f);
    for (long i = 0; i < n; ++i)
    {
        const float t = float(i) / kSampleRate;
        // The rush of the opening valve settles under the tone.
        float steamEnv = SmoothRise(t, steamRise) * (1.0f - 0.55f * SmoothRise(t - toneOn, 0.3f));
        if (t > steamHold)
            steamEnv *= std::exp(-(t - steamHold) / steamDecay);
        steam[size_t(i)] = noise.Gauss() * steamEnv;
        breath[size_t(i)] = noise.Gauss() * (t > toneOn && t < toneOff + release ? 1.0f : 0.0f);
    }
    CBiquad steamHigh = CBiquad::HighPass(1500.0f, 0.7f), steamBand = CBiquad::BandPass(4800.0f, 0.6f);
    CBiquad breathBand = CBiquad::BandPass(pipes[0], 6.0f);
    for (long i = 0; i < n; ++i)
    {
        const float s = steamBand.Process(steamHigh.Process(steam[size_t(i)]));
        out[size_t(i)] += s * 0.35f + breathBand.Process(breath[size_t(i)]) * 0.05f;
    }
    FadeEnds(out, 0.01f);
    Normalise(out, 0.8f);
    return out;
}

Samples MakeClack(int variant, uint64_t seed)
{
    const ClackParams& p = kClacks[variant];
    CNoise noise(seed, 203 + uint64_t(variant));
    Samples out(size_t(ToSamples(p.length)), 0.0f), crack(out.size(), 0.0f);
    for (size_t h = 0; h < p.hitTimes.size(); ++h)
    {
        const long at = ToSamples(p.hitTimes[h]);
        const float level = p.hitLevels[h];
        MixInto(crack, Burst(noise, 0.0004f, 0.006f, 0.05f), at, level, false);
        for (int m = 0; m < 3; ++m)
        {
            const float hz = p.ring[m] * noise.Range(0.99f, 1.01f);
            const float decay = p.ringDecay / (1.0f + 0.4f * m);
            MixInto(out, Ring(hz, decay, p.ringDecay * 6, noise.Range(0, 2 * kPi)), at,
                    level * 0.25f / (1.0f + m), false);
        }
        MixInto(out, Ring(p.thumpHz, 0.03f, 0.2f), at, level * 0.8f, false);
    }
    CBiquad crackHigh = CBiquad::HighPass(p.crackHz, 0.7f);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] += crackHigh.Process(crack[i]) * 0.7f;
    // A gentle top cut keeps the crack from sounding like a digital click.
    COnePole soft(9000.0f);
    for (float& x : out)
        x = soft.Process(x);
    FadeEnds(out, 0.003f);
    Normalise(out, 0.7f);
    return out;
}

Samples MakeIdle(uint64_t seed)
{
    // Two strokes of the air pump per loop (a sigh out, a valve knock, a softer
    // draw in) over the low roar of the fire and a faint blower hiss.
    const float loopSeconds = 3.6f;
    const int strokes = 2;
    CNoise noise(seed, 208);
    const long n = ToSamples(loopSeconds);
    Samples sigh(size_t(n), 0.0f), draw(size_t(n), 0.0f), knock(size_t(n), 0.0f);
    Samples roar(size_t(n), 0.0f), blower(size_t(n), 0.0f);
    const double stroke = double(n) / strokes;
    for (int s = 0; s < strokes; ++s)
    {
        const long at = long(s * stroke + stroke * 0.1);
        const float level = noise.Range(0.9f, 1.1f);
        MixInto(sigh, Burst(noise, 0.12f, 0.28f, 1.6f), at, level, true);
        MixInto(knock, Ring(130.0f, 0.025f, 0.2f), at + ToSamples(0.62f), level, true);
        MixInto(knock, Burst(noise, 0.001f, 0.01f, 0.08f), at + ToSamples(0.62f), level * 0.6f, true);
        MixInto(draw, Burst(noise, 0.1f, 0.18f, 1.0f), at + ToSamples(0.7f), level * 0.6f, true);
    }
    for (long i = 0; i < n; ++i)
    {
        roar[size_t(i)] = noise.Gauss();
        blower[size_t(i)] = noise.Gauss();
    }
    CBiquad sighBand = CBiquad::BandPass(1300.0f, 1.4f), drawBand = CBiquad::BandPass(700.0f, 1.8f);
    CBiquad roarLow = CBiquad::LowPass(170.0f, 0.8f), blowerHigh = CBiquad::HighPass(3500.0f, 0.7f);
    COnePole knockSoft(1500.0f);
    FilterLoop(sigh, sighBand);
    FilterLoop(draw, drawBand);
    FilterLoop(roar, roarLow);
    FilterLoop(blower, blowerHigh);
    FilterLoop(knock, knockSoft);
    Samples out(size_t(n), 0.0f);
    for (long i = 0; i < n; ++i)
    {
        // The fire breathes with the pump, a little.
        const float swell = 1.0f + 0.15f * std::sin(2.0f * kPi * strokes * float(i) / float(n));
        out[size_t(i)] = sigh[size_t(i)] * 0.9f + draw[size_t(i)] * 0.7f + knock[size_t(i)] * 0.5f +
                         roar[size_t(i)] * 0.35f * swell + blower[size_t(i)] * 0.03f;
    }
    Normalise(out, 0.5f);
    return out;
}
} // namespace SoundContent
