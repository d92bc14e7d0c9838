#include "Dsp.h"

#include <algorithm>
#include <cmath>

namespace SoundContent
{
CNoise::CNoise(uint64_t seed, uint64_t stream) : m_State(0), m_Inc((stream << 1u) | 1u)
{
    Next();
    m_State += seed;
    Next();
}

uint32_t CNoise::Next()
{
    const uint64_t old = m_State;
    m_State = old * 6364136223846793005ull + m_Inc;
    const uint32_t xorshifted = uint32_t(((old >> 18u) ^ old) >> 27u);
    const uint32_t rot = uint32_t(old >> 59u);
    return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
}

float CNoise::Gauss()
{
    // The sum of four uniforms on [-1, 1) has variance 4/3.
    return (Bipolar() + Bipolar() + Bipolar() + Bipolar()) * 0.8660254f;
}

namespace
{
// The cookbook's shared denominator for a centre or corner frequency and Q.
struct Denominator
{
    float a0, a1, a2, cosW, alpha;
};
Denominator Prepare(float hz, float q)
{
    const float w = 2.0f * kPi * std::min(hz, kSampleRate * 0.45f) / kSampleRate;
    const float alpha = std::sin(w) / (2.0f * q);
    return Denominator{1.0f + alpha, -2.0f * std::cos(w), 1.0f - alpha, std::cos(w), alpha};
}
} // namespace

CBiquad CBiquad::Make(float hz, float q, Shape shape)
{
    const Denominator d = Prepare(hz, q);
    float b0, b1, b2;
    switch (shape)
    {
    case Shape::Low: b0 = b2 = (1 - d.cosW) / 2; b1 = 1 - d.cosW; break;
    case Shape::High: b0 = b2 = (1 + d.cosW) / 2; b1 = -(1 + d.cosW); break;
    default: b0 = d.alpha; b1 = 0; b2 = -d.alpha; break;
    }
    CBiquad f;
    f.m_B0 = b0 / d.a0;
    f.m_B1 = b1 / d.a0;
    f.m_B2 = b2 / d.a0;
    f.m_A1 = d.a1 / d.a0;
    f.m_A2 = d.a2 / d.a0;
    return f;
}

float CBiquad::Process(float x)
{
    const float y = m_B0 * x + m_B1 * m_X1 + m_B2 * m_X2 - m_A1 * m_Y1 - m_A2 * m_Y2;
    m_X2 = m_X1;
    m_X1 = x;
    m_Y2 = m_Y1;
    m_Y1 = y;
    return y;
}

void COnePole::SetCutoff(float hz)
{
    m_A = 1.0f - std::exp(-2.0f * kPi * hz / kSampleRate);
}

float Adsr::Level(float t, float held) const
{
    if (t < 0)
        return 0;
    auto sustained = [this](float u) {
        if (u < attack)
            return u / attack;
        u -= attack;
        if (u < decay)
            return 1.0f + (sustain - 1.0f) * (u / decay);
        return sustain;
    };
    if (t < held)
        return sustained(t);
    const float from = sustained(held);
    const float u = t - held;
    if (u >= release)
        return 0;
    const float k = 1.0f - u / release;
    return from * k * k;
}

float SmoothRise(float t, float width)
{
    if (t <= 0)
        return 0;
    if (t >= width)
        return 1;
    return 0.5f - 0.5f * std::cos(kPi * t / width);
}

CReverb::CReverb(float roomSize, float damping, float width)
    : m_Feedback(roomSize), m_Damp(damping), m_Width(width)
{
    // Delay lengths in samples at 44.1 kHz, mutually prime-ish.
    static const int kComb[8] = {1117, 1189, 1277, 1361, 1423, 1493, 1559, 1619};
    static const int kAllPass[4] = {557, 443, 347, 227};
    const int spread = 23;
    for (int side = 0; side < 2; ++side)
    {
        for (int i = 0; i < 8; ++i)
            m_Comb[side][i].line.assign(kComb[i] + side * spread, 0.0f);
        for (int i = 0; i < 4; ++i)
            m_AllPass[side][i].line.assign(kAllPass[i] + side * spread, 0.0f);
    }
}

void CReverb::Process(float inL, float inR, float& outL, float& outR)
{
    const float input = (inL + inR) * 0.015f;
    float out[2] = {0, 0};
    for (int side = 0; side < 2; ++side)
    {
        for (Comb& c : m_Comb[side])
        {
            const float y = c.line[c.pos];
            c.store = y * (1.0f - m_Damp) + c.store * m_Damp;
            c.line[c.pos] = input + c.store * m_Feedback;
            if (++c.pos == c.line.size())
                c.pos = 0;
            out[side] += y;
        }
        for (AllPass& a : m_AllPass[side])
        {
            const float b = a.line[a.pos];
            a.line[a.pos] = out[side] + b * 0.5f;
            if (++a.pos == a.line.size())
                a.pos = 0;
            out[side] = b - out[side];
        }
    }
    const float wet1 = 0.5f * (1.0f + m_Width), wet2 = 0.5f * (1.0f - m_Width);
    outL = out[0] * wet1 + out[1] * wet2;
    outR = out[1] * wet1 + out[0] * wet2;
}

void MixInto(Samples& out, const Samples& in, long start, float gain, bool wrap)
{
    const long n = long(out.size());
    if (n == 0)
        return;
    long k = start;
    if (wrap)
        k = ((k % n) + n) % n;
    for (size_t i = 0; i < in.size(); ++i, ++k)
    {
        if (k >= n)
        {
            if (!wrap)
                return;
            k = 0;
        }
        if (k >= 0)
            out[size_t(k)] += in[i] * gain;
    }
}

float Peak(const Samples& s)
{
    float p = 0;
    for (float x : s)
        p = std::max(p, std::fabs(x));
    return p;
}

void Normalise(Samples& s, float peak)
{
    const float p = Peak(s);
    if (p <= 0)
        return;
    const float k = peak / p;
    for (float& x : s)
        x *= k;
}

float ReadWrapped(const Samples& s, double pos)
{
    const size_t n = s.size();
    double whole = std::floor(pos);
    const float frac = float(pos - whole);
    long i = long(std::fmod(whole, double(n)));
    if (i < 0)
        i += long(n);
    const float a = s[size_t(i)], b = s[(size_t(i) + 1) % n];
    return a + (b - a) * frac;
}
} // namespace SoundContent
