#include "Music.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace SoundContent
{
namespace
{
// ---- The score -----------------------------------------------------------
// Chords one a bar; melodies in eighths, eight to a bar.
const char* const kMelodyA =
    "A4:2 D5:2 F#5:3 E5:1 | E5:4 C#5:2 A4:2 | D5:2 F#5:2 B5:3 A5:1 | A5:4 F#5:4 |"
    "G5:2 B5:2 A5:2 G5:2 | F#5:3 E5:1 D5:4 | E5:2 G5:2 F#5:2 E5:2 | E5:6 r:2";
const char* const kMelodyAEnd =
    "A4:2 D5:2 F#5:3 E5:1 | E5:4 C#5:2 A4:2 | D5:2 F#5:2 B5:3 A5:1 | A5:4 F#5:4 |"
    "G5:2 B5:2 A5:2 G5:2 | F#5:3 E5:1 D5:4 | C#5:2 E5:2 A5:2 G5:2 | F#5:6 r:2";
const char* const kMelodyB =
    "B4:4 D5:2 F#5:2 | G5:4 F#5:2 E5:2 | F#5:4 A4:4 | C#5:4 E5:4 |"
    "D5:2 C#5:2 B4:4 | D5:2 E5:2 G5:4 | G5:2 F#5:2 E5:2 D5:2 | C#5:4 E5:2 r:2";

enum class Lead
{
    None,
    Flute,
    Clarinet
};

struct Section
{
    const char* chords;
    const char* melody;   // null: no melody
    Lead lead;
    int transpose;        // semitones for the lead
    bool bell;            // a bell doubles the lead an octave up
    bool shaker;
    bool walkingBass;     // root and fifth, else one root a bar
    float level;
};

const Section kForm[] = {
    {"D Bm G A", nullptr, Lead::None, 0, false, false, false, 0.8f},                 // intro
    {"D A Bm F#m G D Em A", kMelodyA, Lead::Flute, 0, false, true, true, 1.0f},
    {"D A Bm F#m G D A D", kMelodyAEnd, Lead::Flute, 0, false, true, true, 1.0f},
    {"Bm G D A Bm G Em A", kMelodyB, Lead::Clarinet, -12, false, true, true, 0.95f},
    {"G D Em A", nullptr, Lead::None, 0, false, false, false, 0.85f},                // interlude
    {"D A Bm F#m G D Em A", kMelodyA, Lead::Flute, 0, true, true, true, 1.0f},
    {"Bm G D A Bm G Em A", kMelodyB, Lead::Clarinet, -12, false, true, true, 0.95f},
    {"D A Bm F#m G D A D", kMelodyAEnd, Lead::Flute, 0, true, true, true, 1.0f},
    {"G A D D", nullptr, Lead::None, 0, false, false, false, 0.8f},                  // outro, back to the intro
};

// Mix levels and places (pan -1 left .. 1 right).
struct Voice
{
    float level, pan;
};
const Voice kPad = {0.05f, 0.0f}, kBass = {0.2f, 0.0f}, kHarp = {0.65f, -0.3f};
const Voice kFlute = {0.26f, 0.15f}, kClarinet = {0.24f, 0.1f}, kBell = {0.10f, 0.45f};
const Voice kShaker = {0.14f, 0.35f};
const float kReverbSend = 0.45f;
const float kReverbWarmUp = 12.0f; // seconds, well beyond the reverb's decay

float EighthSeconds() { return 60.0f / kMusicTempo / 2.0f; }
float BarSeconds() { return EighthSeconds() * 8.0f; }
float NoteHz(float midi) { return 440.0f * std::pow(2.0f, (midi - 69.0f) / 12.0f); }
long ToSamples(float seconds) { return long(std::lround(seconds * kSampleRate)); }

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    std::string w;
    while (in >> w)
        words.push_back(w);
    return words;
}

int PitchClass(char letter)
{
    static const int kClass[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (letter < 'A' || letter > 'G')
        throw std::runtime_error(std::string("bad note letter ") + letter);
    return kClass[letter - 'A'];
}

// ---- Instruments ---------------------------------------------------------
// A single-cycle table from harmonic amplitudes, read with interpolation.
class CWaveTable
{
public:
    explicit CWaveTable(const std::vector<float>& harmonics) : m_Table(kSize + 1)
    {
        for (int i = 0; i <= kSize; ++i)
        {
            float v = 0;
            for (size_t h = 0; h < harmonics.size(); ++h)
                v += harmonics[h] * std::sin(2.0f * kPi * float(h + 1) * float(i) / kSize);
            m_Table[size_t(i)] = v;
        }
    }
    float At(double cycles) const
    {
        const double x = (cycles - std::floor(cycles)) * kSize;
        const size_t i = size_t(x);
        const float f = float(x - double(i));
        return m_Table[i] + (m_Table[i + 1] - m_Table[i]) * f;
    }

private:
    static const int kSize = 2048;
    std::vector<float> m_Table;
};

struct Instruments
{
    CWaveTable saw{{1.0f, 0.5f, 0.33f, 0.25f, 0.2f, 0.16f, 0.13f, 0.1f, 0.08f, 0.06f}};
    CWaveTable bass{{1.0f, 0.35f, 0.12f, 0.05f}};
    CWaveTable flute{{1.0f, 0.28f, 0.1f, 0.05f, 0.02f}};
    CWaveTable clarinet{{1.0f, 0.04f, 0.45f, 0.03f, 0.22f, 0.02f, 0.1f, 0.01f, 0.05f}};
};

// Oscillator note with an envelope and optional vibrato.
// Note functions write into `s`, which the caller reuses from note to note.
void Tone(const CWaveTable& table, float hz, float held, const Adsr& env, float vibratoDepth, float detune,
          Samples& s)
{
    s.assign(size_t(ToSamples(env.Length(held))), 0.0f);
    const double step = hz * (1.0f + detune) / kSampleRate;
    const float vibratoStep = 2.0f * kPi * 5.1f / kSampleRate;
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i)
    {
        const float t = float(i) / kSampleRate;
        float rate = 1.0f;
        if (vibratoDepth > 0 && t > 0.25f)
            rate += vibratoDepth * SmoothRise(t - 0.25f, 0.4f) * std::sin(vibratoStep * float(i));
        phase += step * rate;
        s[i] = table.At(phase) * env.Level(t, held);
    }
}

void Pad(const Instruments& in, int note, float held, Samples& a, Samples& b)
{
    const Adsr env{0.9f, 0.6f, 0.8f, 1.4f};
    const float hz = NoteHz(float(note));
    Tone(in.saw, hz, held, env, 0.0f, 0.0012f, a);
    Tone(in.saw, hz, held, env, 0.0f, -0.0012f, b);
    COnePole low1(1500.0f), low2(1500.0f);
    for (size_t i = 0; i < a.size(); ++i)
        a[i] = low2.Process(low1.Process(a[i] + b[i]));
}

void Bass(const Instruments& in, int note, float held, Samples& s)
{
    const Adsr env{0.008f, 0.35f, 0.55f, 0.25f};
    Tone(in.bass, NoteHz(float(note)), held, env, 0.0f, 0.0f, s);
    COnePole low(900.0f);
    for (float& x : s)
        x = low.Process(x);
}

// A plucked string (Karplus-Strong): a noise-filled delay line that averages
// itself as it goes round.
void Harp(int note, CNoise& noise, Samples& s)
{
    const float length = 2.2f;
    const size_t period = size_t(std::lround(kSampleRate / NoteHz(float(note))));
    std::vector<float> line(period);
    COnePole soft(2500.0f);
    for (float& x : line)
        x = soft.Process(noise.Bipolar());
    s.assign(size_t(ToSamples(length)), 0.0f);
    COnePole mellow(3500.0f);
    size_t pos = 0;
    for (size_t i = 0; i < s.size(); ++i)
    {
        const size_t next = pos + 1 == period ? 0 : pos + 1;
        const float y = line[pos];
        line[pos] = 0.4985f * (line[pos] + line[next]);
        pos = next;
        s[i] = mellow.Process(y);
    }
    // Damp the last tenth of a second so that the note ends at silence.
    const size_t fade = size_t(ToSamples(0.1f));
    for (size_t i = 0; i < fade; ++i)
        s[s.size() - 1 - i] *= float(i) / float(fade);
}

void Wind(const Instruments& in, Lead lead, int note, float held, CNoise& noise, Samples& s)
{
    const bool flute = lead == Lead::Flute;
    const Adsr env = flute ? Adsr{0.07f, 0.2f, 0.85f, 0.18f} : Adsr{0.05f, 0.2f, 0.8f, 0.15f};
    Tone(flute ? in.flute : in.clarinet, NoteHz(float(note)), held, env, flute ? 0.0035f : 0.002f, 0.0f, s);
    // A breath of air on the flute.
    CBiquad breath = CBiquad::BandPass(NoteHz(float(note)) * 2.0f, 2.0f);
    COnePole low(flute ? 6000.0f : 2800.0f);
    for (size_t i = 0; i < s.size(); ++i)
    {
        const float t = float(i) / kSampleRate;
        const float air = flute ? breath.Process(noise.Gauss()) * 0.06f * env.Level(t, held) : 0.0f;
        s[i] = low.Process(s[i] + air);
    }
}

void Bell(int note, Samples& s)
{
    // Four partials as decaying phasors (one complex multiply a sample each).
    const float partial[4] = {1.0f, 2.0f, 3.0f, 4.2f};
    const float amp[4] = {1.0f, 0.25f, 0.08f, 0.05f};
    const float decay[4] = {1.6f, 0.8f, 0.4f, 0.25f};
    const float hz = NoteHz(float(note)), length = 2.5f;
    float re[4], im[4], stepRe[4], stepIm[4];
    for (int p = 0; p < 4; ++p)
    {
        const float w = 2.0f * kPi * hz * partial[p] / kSampleRate;
        const float r = std::exp(-1.0f / (decay[p] * kSampleRate));
        re[p] = amp[p];
        im[p] = 0;
        stepRe[p] = r * std::cos(w);
        stepIm[p] = r * std::sin(w);
    }
    s.assign(size_t(ToSamples(length)), 0.0f);
    for (size_t i = 0; i < s.size(); ++i)
    {
        const float t = float(i) / kSampleRate;
        float v = 0;
        for (int p = 0; p < 4; ++p)
        {
            v += im[p];
            const float nr = re[p] * stepRe[p] - im[p] * stepIm[p];
            im[p] = re[p] * stepIm[p] + im[p] * stepRe[p];
            re[p] = nr;
        }
        s[i] = v * std::min(1.0f, t / 0.003f) * (1.0f - t / length);
    }
}

void Shaker(CNoise& noise, Samples& s)
{
    s.assign(size_t(ToSamples(0.12f)), 0.0f);
    CBiquad high = CBiquad::HighPass(6000.0f, 0.7f);
    for (size_t i = 0; i < s.size(); ++i)
    {
        const float t = float(i) / kSampleRate;
        s[i] = high.Process(noise.Gauss()) * std::min(1.0f, t / 0.004f) * std::exp(-t / 0.025f) *
               (1.0f - t / 0.12f);
    }
}

class CMixer
{
public:
    explicit CMixer(size_t frames) : m_Left(frames, 0.0f), m_Right(frames, 0.0f) {}
    void Add(const Samples& note, float at, const Voice& voice, float gain)
    {
        const float angle = (voice.pan + 1.0f) * kPi / 4.0f;
        const long start = ToSamples(at);
        MixInto(m_Left, note, start, gain * voice.level * std::cos(angle), true);
        MixInto(m_Right, note, start, gain * voice.level * std::sin(angle), true);
    }
    StereoSamples Take() { return StereoSamples{std::move(m_Left), std::move(m_Right)}; }

private:
    Samples m_Left, m_Right;
};

int TotalBars()
{
    int bars = 0;
    for (const Section& s : kForm)
        bars += int(Words(s.chords).size());
    return bars;
}
} // namespace

std::vector<MelodyNote> ParseMelody(const std::string& text)
{
    std::vector<MelodyNote> notes;
    int inBar = 0;
    auto endBar = [&inBar] {
        if (inBar != 8)
            throw std::runtime_error("a melody bar does not hold eight eighths");
        inBar = 0;
    };
    std::string spaced;
    for (char c : text)
        spaced += c == '|' ? std::string(" | ") : std::string(1, c);
    for (const std::string& w : Words(spaced))
    {
        if (w == "|")
        {
            endBar();
            continue;
        }
        const size_t colon = w.find(':');
        if (colon == std::string::npos || colon == 0)
            throw std::runtime_error("bad melody token " + w);
        const std::string pitch = w.substr(0, colon);
        const int eighths = std::stoi(w.substr(colon + 1));
        if (eighths <= 0)
            throw std::runtime_error("bad melody length " + w);
        int note = -1;
        if (pitch != "r")
        {
            size_t k = 1;
            int pc = PitchClass(pitch[0]);
            if (k < pitch.size() && pitch[k] == '#')
            {
                ++pc;
                ++k;
            }
            if (k >= pitch.size())
                throw std::runtime_error("melody note without octave " + w);
            note = 12 * (std::stoi(pitch.substr(k)) + 1) + pc;
        }
        notes.push_back(MelodyNote{note, eighths});
        inBar += eighths;
    }
    endBar();
    return notes;
}

std::vector<int> ParseChord(const std::string& name)
{
    if (name.empty())
        throw std::runtime_error("empty chord");
    size_t k = 1;
    int root = PitchClass(name[0]);
    if (k < name.size() && name[k] == '#')
    {
        ++root;
        ++k;
    }
    const std::string rest = name.substr(k);
    const int base = 48 + root % 12; // octave 3
    if (rest.empty())
        return {base, base + 4, base + 7};
    if (rest == "m")
        return {base, base + 3, base + 7};
    if (rest == "7")
        return {base, base + 4, base + 7, base + 10};
    throw std::runtime_error("unknown chord " + name);
}

float MusicSeconds() { return float(TotalBars()) * BarSeconds(); }

StereoSamples MakeMusic(uint64_t seed)
{
    const Instruments in;
    CNoise noise(seed, 200);
    const float eighth = EighthSeconds(), bar = BarSeconds();
    CMixer mix(size_t(ToSamples(MusicSeconds())));
    Samples sound, spare; // reused from note to note

    int barIndex = 0;
    for (const Section& section : kForm)
    {
        const float g = section.level;
        const float sectionStart = float(barIndex) * bar;
        const std::vector<std::string> chords = Words(section.chords);
        for (const std::string& name : chords)
        {
            const std::vector<int> chord = ParseChord(name);
            const float t0 = float(barIndex) * bar;
            // Pad: each chord note in the octave from G3, so the voices move little.
            for (size_t v = 0; v < 3; ++v)
            {
                int note = chord[v];
                while (note < 55)
                    note += 12;
                while (note >= 67)
                    note -= 12;
                const Voice place{kPad.level, v == 0 ? 0.0f : (v == 1 ? -0.6f : 0.6f)};
                Pad(in, note, bar * 0.98f, sound, spare);
                mix.Add(sound, t0, place, g);
            }
            // Bass: the root an octave down, with the fifth on the third beat
            // in the sections that move.
            if (section.walkingBass)
            {
                Bass(in, chord[0] - 12, eighth * 3.5f, sound);
                mix.Add(sound, t0, kBass, g);
                Bass(in, chord[2] - 12, eighth * 3.5f, sound);
                mix.Add(sound, t0 + 4 * eighth, kBass, g * 0.85f);
            }
            else
            {
                Bass(in, chord[0] - 12, bar * 0.9f, sound);
                mix.Add(sound, t0, kBass, g);
            }
            // Harp: the chord broken in eighths.
            const int pattern[8] = {chord[0], chord[2], chord[0] + 12, chord[1] + 12,
                                    chord[2] + 12, chord[1] + 12, chord[0] + 12, chord[2]};
            for (int e = 0; e < 8; ++e)
            {
                const float accent = e == 0 ? 1.0f : (e % 2 == 0 ? 0.85f : 0.7f);
                const float jitter = noise.Range(-0.006f, 0.006f);
                Harp(pattern[e], noise, sound);
                mix.Add(sound, t0 + e * eighth + jitter, kHarp, g * accent * noise.Range(0.9f, 1.0f));
                if (section.shaker)
                {
                    const float s = e % 4 == 0 ? 1.0f : (e % 2 == 0 ? 0.7f : 0.45f);
                    Shaker(noise, sound);
                    mix.Add(sound, t0 + e * eighth + noise.Range(-0.004f, 0.004f), kShaker, g * s);
                }
            }
            ++barIndex;
        }
        if (!section.melody)
            continue;
        float t = sectionStart;
        for (const MelodyNote& m : ParseMelody(section.melody))
        {
            const float length = m.eighths * eighth;
            if (m.note >= 0)
            {
                const int note = m.note + section.transpose;
                const Voice& place = section.lead == Lead::Flute ? kFlute : kClarinet;
                Wind(in, section.lead, note, length * 0.94f, noise, sound);
                mix.Add(sound, t, place, g);
                if (section.bell)
                {
                    Bell(note + 12, sound);
                    mix.Add(sound, t, kBell, g);
                }
            }
            t += length;
        }
    }

    // Reverb over the loop: it first hears the last seconds of the piece, so
    // that the tail at the end carries on into the start.
    StereoSamples dry = mix.Take();
    CReverb reverb(0.86f, 0.35f, 1.0f);
    const size_t n = dry.left.size();
    const size_t warmUp = std::min(n, size_t(ToSamples(kReverbWarmUp)));
    StereoSamples out{Samples(n, 0.0f), Samples(n, 0.0f)};
    float wl, wr;
    for (size_t i = n - warmUp; i < n; ++i)
        reverb.Process(dry.left[i] * kReverbSend, dry.right[i] * kReverbSend, wl, wr);
    for (size_t i = 0; i < n; ++i)
    {
        reverb.Process(dry.left[i] * kReverbSend, dry.right[i] * kReverbSend, wl, wr);
        out.left[i] = dry.left[i] + wl;
        out.right[i] = dry.right[i] + wr;
    }
    CBiquad dcLeft = CBiquad::HighPass(25.0f, 0.7f), dcRight = CBiquad::HighPass(25.0f, 0.7f);
    FilterLoop(out.left, dcLeft);
    FilterLoop(out.right, dcRight);
    const float peak = std::max(Peak(out.left), Peak(out.right));
    if (peak > 0)
        for (size_t i = 0; i < n; ++i)
        {
            out.left[i] *= 0.7f / peak;
            out.right[i] *= 0.7f / peak;
        }
    return out;
}
} // namespace SoundContent
