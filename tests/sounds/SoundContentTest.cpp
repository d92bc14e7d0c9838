// The generated sounds and music, decoded with vorbisfile as the program
// decodes them (16-bit signed PCM) and measured.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <vorbis/vorbisfile.h>

#include "SoundContent.h"

using namespace SoundContent;

namespace
{
struct Decoded
{
    int channels = 0;
    long rate = 0;
    long long pcmTotal = 0;
    std::vector<int16_t> pcm; // interleaved
    size_t Frames() const { return channels ? pcm.size() / size_t(channels) : 0; }
    // One channel as floats in [-1, 1].
    std::vector<float> Channel(int c) const
    {
        std::vector<float> out(Frames());
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = pcm[i * size_t(channels) + size_t(c)] / 32768.0f;
        return out;
    }
};

std::string ContentPath(const char* name) { return std::string(TARNHOLM_CONTENT_DIR) + "/" + name; }

Decoded Decode(const std::string& path)
{
    Decoded d;
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0)
    {
        ADD_FAILURE() << "cannot open " << path;
        return d;
    }
    const vorbis_info* info = ov_info(&vf, -1);
    d.channels = info->channels;
    d.rate = info->rate;
    d.pcmTotal = ov_pcm_total(&vf, -1);
    char buffer[4096];
    int link = 0;
    for (;;)
    {
        const long n = ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &link);
        if (n < 0)
        {
            ADD_FAILURE() << "stream error in " << path;
            break;
        }
        if (n == 0)
            break;
        const size_t at = d.pcm.size();
        d.pcm.resize(at + size_t(n) / 2);
        std::memcpy(&d.pcm[at], buffer, size_t(n));
    }
    ov_clear(&vf);
    return d;
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

float Rms(const std::vector<float>& s, size_t from, size_t count)
{
    double sum = 0;
    for (size_t i = from; i < from + count; ++i)
        sum += double(s[i]) * s[i];
    return float(std::sqrt(sum / double(count)));
}

// How far a loop's last sample is from its first, in units of the signal's
// usual step from one sample to the next around the seam (about 1 for a
// seamless loop; a click is many times that).
float SeamJump(const std::vector<float>& s)
{
    const size_t n = s.size(), w = std::min<size_t>(1000, n / 4);
    double sum = 0;
    for (size_t i = 1; i < w; ++i)
    {
        sum += double(s[i] - s[i - 1]) * (s[i] - s[i - 1]);
        sum += double(s[n - i] - s[n - i - 1]) * (s[n - i] - s[n - i - 1]);
    }
    const double step = std::sqrt(sum / double(2 * (w - 1)));
    return float(std::fabs(s[0] - s[n - 1]) / std::max(step, 1e-4));
}

// The level in frames of `frame` seconds.
std::vector<float> Envelope(const std::vector<float>& s, float frame)
{
    const size_t f = size_t(frame * kSampleRate);
    std::vector<float> env;
    for (size_t i = 0; i + f <= s.size(); i += f)
        env.push_back(Rms(s, i, f));
    return env;
}

// Magnitude of the component at `hz` in s[from, from + count).
double Magnitude(const std::vector<float>& s, size_t from, size_t count, double hz)
{
    const double w = 2.0 * M_PI * hz / kSampleRate, c = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (size_t i = from; i < from + count; ++i)
    {
        const double s0 = s[i] + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return std::sqrt(s1 * s1 + s2 * s2 - c * s1 * s2);
}

struct Expected
{
    int id;
    float minSeconds, maxSeconds;
    float seamWindow; // seconds either side of a loop's seam whose levels must agree
};
// What each file must be: music of about three minutes, the one-second chuff
// loop, a whistle of a few seconds, short clacks, the engine's loop. The
// music's loop point is a downbeat, so its level is compared over a second
// (it must not fade out or stop before it), the sounds' over 20 ms.
const Expected kExpected[kSoundFileCount] = {
    {200, 170, 200, 1.0f},      {201, 1.0f, 1.0f, 0.02f},   {202, 2.5f, 4.5f, 0},
    {203, 0.3f, 1.5f, 0},       {204, 0.3f, 1.5f, 0},       {205, 0.3f, 1.5f, 0},
    {206, 0.3f, 1.5f, 0},       {207, 0.3f, 1.5f, 0},       {208, 2.0f, 6.0f, 0.02f},
};

class SoundFiles : public ::testing::TestWithParam<int>
{
protected:
    static void SetUpTestSuite()
    {
        s_Decoded.clear();
        for (const SoundFile& f : kSoundFiles)
            s_Decoded.push_back(Decode(ContentPath(f.name)));
    }
    const SoundFile& File() const { return kSoundFiles[GetParam()]; }
    const Decoded& Sound() const { return s_Decoded[size_t(GetParam())]; }
    static std::vector<Decoded> s_Decoded;
};
std::vector<Decoded> SoundFiles::s_Decoded;

} // namespace

TEST_P(SoundFiles, DecodeWithTheirFormatLengthAndLevel)
{
    const Decoded& d = Sound();
    const Expected& e = kExpected[GetParam()];
    ASSERT_EQ(e.id, File().id);
    EXPECT_EQ(44100, d.rate) << File().name;
    EXPECT_EQ(File().channels, d.channels) << File().name;
    EXPECT_EQ(d.pcmTotal, (long long)d.Frames()) << File().name;
    const float seconds = float(d.Frames()) / kSampleRate;
    EXPECT_GE(seconds, e.minSeconds) << File().name;
    EXPECT_LE(seconds, e.maxSeconds) << File().name;

    int peak = 0;
    for (int16_t v : d.pcm)
        peak = std::max(peak, std::abs(int(v)));
    EXPECT_LT(peak, 32000) << File().name << " clips";
    for (int c = 0; c < d.channels; ++c)
        EXPECT_GT(Rms(d.Channel(c), 0, d.Frames()), 0.02f) << File().name << " is nearly silent";
}

TEST_P(SoundFiles, LoopsJoinWithoutAStep)
{
    const Decoded& d = Sound();
    if (!File().loops)
    {
        // A one-shot sound starts and ends at silence.
        const std::vector<float> s = d.Channel(0);
        EXPECT_LT(std::fabs(s.front()), 0.01f) << File().name;
        EXPECT_LT(std::fabs(s.back()), 0.01f) << File().name;
        return;
    }
    const size_t edge = size_t(kExpected[GetParam()].seamWindow * kSampleRate);
    for (int c = 0; c < d.channels; ++c)
    {
        const std::vector<float> s = d.Channel(c);
        EXPECT_LT(SeamJump(s), 3.0f) << File().name << " channel " << c;
        // The level carries on across the seam.
        const float end = Rms(s, s.size() - edge, edge), start = Rms(s, 0, edge);
        EXPECT_LT(std::max(end, start), 2.0f * std::min(end, start) + 0.005f) << File().name << " channel " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(AllSounds, SoundFiles, ::testing::Range(0, kSoundFileCount),
                         [](const ::testing::TestParamInfo<int>& i) { return "id" + std::to_string(kSoundFiles[i.param].id); });

// The seam measure itself: a sine cut after whole periods joins; cut half-way
// through a period it jumps.
TEST(SoundSeam, TellsAJoinFromAJump)
{
    auto sine = [](float periods) {
        const size_t n = size_t(periods * 100);
        std::vector<float> s(n);
        for (size_t i = 0; i < n; ++i)
            s[i] = 0.5f * std::sin(2.0f * float(M_PI) * float(i) / 100.0f);
        return s;
    };
    EXPECT_LT(SeamJump(sine(40.0f)), 1.5f);
    EXPECT_GT(SeamJump(sine(40.25f)), 10.0f);
}

TEST(SoundContent, ChuffBeatsEveryEighthOfItsLoop)
{
    const Decoded d = Decode(ContentPath("chuh-chuh01.ogg"));
    const std::vector<float> raw = Envelope(d.Channel(0), 0.0025f);
    ASSERT_FALSE(raw.empty());
    // Smoothed over 12.5 ms, round the loop.
    std::vector<float> env(raw.size(), 0.0f);
    for (size_t i = 0; i < raw.size(); ++i)
        for (int k = -2; k <= 2; ++k)
            env[i] += raw[(i + raw.size() + size_t(k + 2) - 2) % raw.size()] / 5.0f;
    const float top = *std::max_element(env.begin(), env.end());
    const int n = int(env.size()), reach = 16; // 40 ms either side
    std::vector<int> beats;
    for (int i = 0; i < n; ++i)
    {
        bool highest = env[size_t(i)] > 0.4f * top;
        for (int k = -reach; k <= reach && highest; ++k)
            if (k != 0 && env[size_t((i + k + n) % n)] >= env[size_t(i)])
                highest = false;
        if (highest)
            beats.push_back(i);
    }
    ASSERT_EQ(kChuffBeats, int(beats.size()));
    const float period = kChuffLoopSeconds / kChuffBeats;
    for (size_t b = 0; b < beats.size(); ++b)
    {
        const int next = b + 1 < beats.size() ? beats[b + 1] : beats[0] + n;
        EXPECT_NEAR(period, (next - beats[b]) * 0.0025f, 0.012f) << "beat " << b;
    }
    // Between beats the level falls well below the beats' (they are heard).
    const float floor = *std::min_element(env.begin(), env.end());
    EXPECT_LT(floor, 0.25f * top);
}

TEST(SoundContent, WhistleSoundsAtItsPitchAfterTheSteam)
{
    const Decoded d = Decode(ContentPath("steam_1_01.ogg"));
    const std::vector<float> s = d.Channel(0);
    const size_t from = size_t(0.8f * kSampleRate), count = size_t(0.5f * kSampleRate);
    ASSERT_GT(s.size(), from + count);
    double best = 0, bestHz = 0;
    for (int hz = 200; hz <= 2000; hz += 1)
    {
        const double m = Magnitude(s, from, count, hz);
        if (m > best)
        {
            best = m;
            bestHz = hz;
        }
    }
    EXPECT_NEAR(kWhistleHz, bestHz, 4.0);
    // Steam is heard before the tone starts: broadband, no whistle yet.
    const float steam = Rms(s, size_t(0.05f * kSampleRate), size_t(0.05f * kSampleRate));
    EXPECT_GT(steam, 0.02f);
    EXPECT_LT(Magnitude(s, size_t(0.02f * kSampleRate), 2205, kWhistleHz), 0.1 * Magnitude(s, from, 2205, kWhistleHz));
}

TEST(SoundContent, TheFiveClacksDiffer)
{
    std::vector<std::vector<float>> env;
    std::vector<size_t> lengths;
    for (int k = 0; k < kClackVariants; ++k)
    {
        char name[32];
        std::snprintf(name, sizeof name, "rails_%d.ogg", k + 1);
        const Decoded d = Decode(ContentPath(name));
        const std::vector<float> s = d.Channel(0);
        lengths.push_back(s.size());
        env.push_back(Envelope(s, 0.01f));
        // Each starts at once: the clack is heard when it is played.
        const std::vector<float>& e = env.back();
        ASSERT_GT(e.size(), 3u);
        EXPECT_GT(*std::max_element(e.begin(), e.begin() + 3), 0.5f * *std::max_element(e.begin(), e.end())) << name;
    }
    for (int a = 0; a < kClackVariants; ++a)
        for (int b = a + 1; b < kClackVariants; ++b)
        {
            const size_t n = std::min(env[size_t(a)].size(), env[size_t(b)].size());
            double ab = 0, aa = 0, bb = 0;
            for (size_t i = 0; i < n; ++i)
            {
                ab += env[size_t(a)][i] * env[size_t(b)][i];
                aa += env[size_t(a)][i] * env[size_t(a)][i];
                bb += env[size_t(b)][i] * env[size_t(b)][i];
            }
            const double similarity = ab / std::sqrt(aa * bb);
            const double lengthRatio = double(std::max(lengths[size_t(a)], lengths[size_t(b)])) /
                                       double(std::min(lengths[size_t(a)], lengths[size_t(b)]));
            EXPECT_TRUE(similarity < 0.9 || lengthRatio > 1.1)
                << "rails_" << a + 1 << " and rails_" << b + 1 << ": similarity " << similarity;
        }
}

TEST(SoundContent, SizesStayModest)
{
    size_t total = 0, music = 0;
    for (const SoundFile& f : kSoundFiles)
    {
        const size_t size = ReadBytes(ContentPath(f.name)).size();
        total += size;
        if (f.id == 200)
            music = size;
    }
    EXPECT_LT(music, 4u << 20);
    EXPECT_LT(total, 10u << 20);
}

// The same seed gives the same bytes, and they are the bytes the build wrote.
// (The music takes longest to make and is left out here.)
TEST(SoundContent, SameSeedSameBytes)
{
    for (int id : {201, 202, 203, 204, 205, 206, 207, 208})
    {
        const Bytes first = EncodeSound(id, MakeSound(id, kSoundSeed));
        const Bytes second = EncodeSound(id, MakeSound(id, kSoundSeed));
        EXPECT_EQ(first, second) << id;
        EXPECT_EQ(first, ReadBytes(ContentPath(kSoundFiles[id - 200].name))) << id;
    }
    EXPECT_NE(MakeSound(203, kSoundSeed), MakeSound(203, kSoundSeed + 1));
}

// The resource script names every generated file under its id.
TEST(SoundContent, ResourceScriptNamesEveryFile)
{
    std::ifstream in(std::string(TARNHOLM_CONTENT_SRC) + "/Sounds.rc");
    std::stringstream text;
    text << in.rdbuf();
    const std::string rc = text.str();
    for (const SoundFile& f : kSoundFiles)
    {
        const std::string line = std::to_string(f.id) + " RCDATA \"" + f.name + "\"";
        EXPECT_NE(std::string::npos, rc.find(line)) << line;
    }
}

TEST(SoundContent, ScoreNotation)
{
    const std::vector<MelodyNote> m = ParseMelody("A4:2 C#5:2 r:4 | D5:8");
    ASSERT_EQ(4u, m.size());
    EXPECT_EQ(69, m[0].note);
    EXPECT_EQ(73, m[1].note);
    EXPECT_EQ(-1, m[2].note);
    EXPECT_EQ(8, m[3].eighths);
    EXPECT_THROW(ParseMelody("A4:2 C#5:2 | D5:8"), std::runtime_error); // a short bar
    EXPECT_THROW(ParseMelody("H4:8"), std::runtime_error);
    EXPECT_EQ((std::vector<int>{54, 57, 61}), ParseChord("F#m"));
    EXPECT_EQ((std::vector<int>{57, 61, 64, 67}), ParseChord("A7"));
    EXPECT_GE(MusicSeconds(), 180.0f);
}
