// The WAV reader through mmio, and the readers' resource-or-file choice.
#include "LogCapture.h"
#include "OggEncode.h"
#include "OggSoundRead.h"
#include "WaveSoundRead.h"
#include "TempFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
typedef std::vector<unsigned char> Bytes;

void Put32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void Put16(Bytes& b, uint16_t v)
{
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}
void PutId(Bytes& b, const char* id)
{
    b.insert(b.end(), id, id + 4);
}

struct Chunk
{
    std::string id;
    Bytes body;
    uint32_t sizeOverride = 0; // a size field that lies
};

Bytes Riff(const std::vector<Chunk>& chunks, const char* riff = "RIFF", const char* form = "WAVE")
{
    Bytes body;
    PutId(body, form);
    for (const Chunk& c : chunks)
    {
        PutId(body, c.id.c_str());
        Put32(body, c.sizeOverride ? c.sizeOverride : static_cast<uint32_t>(c.body.size()));
        body.insert(body.end(), c.body.begin(), c.body.end());
        if (c.body.size() & 1)
            body.push_back(0);
    }
    Bytes out;
    PutId(out, riff);
    Put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int extra = -1)
{
    Bytes b;
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    Put32(b, rate * align);
    Put16(b, align);
    Put16(b, bits);
    if (extra >= 0)
    {
        Put16(b, static_cast<uint16_t>(extra));
        b.insert(b.end(), extra, 0x42);
    }
    return b;
}

Bytes Samples(size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<unsigned char>(i * 7 + 3);
    return b;
}

Bytes ReadAll(CSoundRead& reader, uint32_t block)
{
    Bytes out;
    Bytes buffer(block);
    for (;;)
    {
        uint32_t got = 9;
        EXPECT_EQ(reader.Read(block, buffer.data(), &got), S_OK);
        if (got == 0)
            break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    return out;
}
} // namespace

TEST(WaveRead, OpensPcmAndRefusesEverythingElseWithItsLine)
{
    const Bytes data = Samples(3000);
    Chunk list{"LIST", Bytes(10, 'x')};
    struct Case
    {
        const char* name;
        Bytes file;
        const char* log; // null: opens
        size_t size;
    };
    const Case cases[] = {
        {"mono 16-bit", Riff({{"fmt ", Fmt(1, 1, 22050, 16)}, {"data", data}}), nullptr, 3000},
        {"stereo 8-bit behind another chunk", Riff({{"fmt ", Fmt(1, 2, 11025, 8)}, list, {"data", data}}), nullptr, 3000},
        {"fmt with extra size", Riff({{"fmt ", Fmt(1, 1, 22050, 16, 0)}, {"data", data}}), nullptr, 3000},
        {"data longer than the file", Riff({{"fmt ", Fmt(1, 1, 22050, 16)}, {"data", data, 100000}}), nullptr, 3000},
        {"non-PCM", Riff({{"fmt ", Fmt(2, 1, 22050, 4, 32)}, {"data", data}}),
         "  WaveOpenFile error: format tag 2 is not PCM\n", 0},
        {"short fmt", Riff({{"fmt ", Bytes(14, 1)}, {"data", data}}),
         "  ReadMMIO error: ckIn.cksize < size of PCMWAVEFORMAT\n", 0},
        {"not RIFF", Riff({{"fmt ", Fmt(1, 1, 22050, 16)}}, "RIFX"), "  ReadMMIO error: not RIFF/WAVE format\n", 0},
        {"not WAVE", Riff({{"fmt ", Fmt(1, 1, 22050, 16)}}, "RIFF", "AVI "), "  ReadMMIO error: not RIFF/WAVE format\n",
         0},
        {"no fmt", Riff({{"data", data}}), "  ReadMMIO error: mmioDescend (MMIO_FINDCHUNK) returned 109\n", 0},
        {"no data", Riff({{"fmt ", Fmt(1, 1, 22050, 16)}}), "  WaveStartDataRead error: mmioDescend returned 109\n", 0},
    };
    int n = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        const std::string path = WriteTemp(("tarnholm_wave_" + std::to_string(n++) + ".wav").c_str(), c.file);
        LogCapture log;
        CWaveSoundRead reader;
        const HRESULT hr = reader.Open(0, path.c_str());
        WAVEFORMATEX f;
        reader.GetFormat(&f);
        if (!c.log)
        {
            ASSERT_EQ(hr, S_OK) << log.Lines();
            EXPECT_EQ(log.Lines(), "");
            EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
            EXPECT_EQ(f.cbSize, 0);
            EXPECT_EQ(reader.GetSize(), c.size);
            EXPECT_EQ(ReadAll(reader, 1024), Bytes(data.begin(), data.begin() + c.size));
            EXPECT_EQ(reader.GetRemaining(), 0u);
        }
        else
        {
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_EQ(log.Lines(), c.log);
            // Nothing of the refused format is offered.
            EXPECT_EQ(f.wFormatTag, 0);
            BYTE b[4];
            uint32_t got = 5;
            EXPECT_EQ(reader.Read(4, b, &got), E_FAIL);
            EXPECT_EQ(got, 0u);
        }
        EXPECT_EQ(reader.Close(), S_OK);
        remove(path.c_str());
    }
}

TEST(WaveRead, ReadsPastTheEndAndResetStartsOver)
{
    const Bytes data = Samples(5001);
    const std::string path = WriteTemp("tarnholm_wave_reset.wav", Riff({{"fmt ", Fmt(1, 1, 8000, 8)}, {"data", data}}));
    CWaveSoundRead reader;
    ASSERT_EQ(reader.Open(0, path.c_str()), S_OK);
    Bytes buffer(9000, 0xEE);
    uint32_t got = 0;
    ASSERT_EQ(reader.Read(4000, buffer.data(), &got), S_OK);
    EXPECT_EQ(got, 4000u);
    EXPECT_EQ(reader.GetSize(), 1001u);
    ASSERT_EQ(reader.Read(8000, buffer.data() + 4000, &got), S_OK);
    EXPECT_EQ(got, 1001u);
    EXPECT_EQ(buffer[5001], 0xEE);
    ASSERT_EQ(reader.Read(8000, buffer.data(), &got), S_OK);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4000), Bytes(data.begin(), data.begin() + 4000));

    ASSERT_EQ(reader.Reset(), S_OK);
    EXPECT_EQ(reader.GetSize(), 5001u);
    EXPECT_EQ(ReadAll(reader, 333), data);
    EXPECT_EQ(reader.Close(), S_OK);
    EXPECT_EQ(reader.Close(), S_OK);
    remove(path.c_str());
}

TEST(WaveRead, EveryCutAndFlippedByteOfAHeaderFailsOrReadsInside)
{
    // A small stand-in for fuzzing the mmio reader, which runs only here.
    const Bytes whole = Riff({{"fmt ", Fmt(1, 2, 11025, 16, 4)}, {"LIST", Bytes(6, 'y')}, {"data", Samples(64)}});
    std::vector<Bytes> inputs;
    for (size_t cut = 0; cut < whole.size(); ++cut)
        inputs.emplace_back(whole.begin(), whole.begin() + cut);
    for (size_t i = 0; i < 60; ++i)
        for (unsigned char x : {0x01, 0x80, 0xFF})
        {
            Bytes b = whole;
            b[i] ^= x;
            inputs.push_back(b);
        }
    const std::string path = WriteTemp("tarnholm_wave_cut.wav", Bytes());
    for (const Bytes& input : inputs)
    {
        WriteTemp("tarnholm_wave_cut.wav", input);
        CWaveSoundRead reader;
        if (reader.Open(0, path.c_str()) == S_OK)
        {
            WAVEFORMATEX f;
            reader.GetFormat(&f);
            EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
            const Bytes pcm = ReadAll(reader, 50);
            EXPECT_LE(pcm.size(), input.size());
        }
    }
    remove(path.c_str());
}

TEST(SoundReaders, ResourceWinsOverThePathAndIdZeroMeansThePath)
{
    const std::string ogg = WriteTemp("tarnholm_res.ogg", OggEncode::Tone(1, 8000, 4000, 300.0f));
    {
        CWaveSoundRead reader;
        ASSERT_EQ(reader.Open(201, "no such file.wav"), S_OK);
        WAVEFORMATEX f;
        reader.GetFormat(&f);
        EXPECT_EQ(f.nSamplesPerSec, 8000u);
        uint32_t got = 0;
        int16_t samples[8] = {};
        ASSERT_EQ(reader.Read(sizeof(samples), reinterpret_cast<BYTE*>(samples), &got), S_OK);
        EXPECT_EQ(got, 8u);
        EXPECT_EQ(samples[0], 100);
        EXPECT_EQ(samples[3], 400);
    }
    {
        LogCapture log;
        COggSoundRead reader;
        EXPECT_EQ(reader.Open(202, ogg.c_str()), E_FAIL);
        EXPECT_EQ(log.Lines().rfind("  CCOggSoundRead::Open error: ov_open_callbacks returned -", 0), 0u) << log.Lines();
        EXPECT_EQ(reader.Close(), S_OK);
    }
    {
        COggSoundRead reader;
        EXPECT_EQ(reader.Open(0, ogg.c_str()), S_OK);
        EXPECT_EQ(reader.GetSize(), 8000u);
    }
    {
        LogCapture log;
        CWaveSoundRead wave;
        EXPECT_EQ(wave.Open(0, "C:\\no\\such\\file.wav"), E_FAIL);
        COggSoundRead vorbis;
        EXPECT_EQ(vorbis.Open(0, "C:\\no\\such\\file.ogg"), E_FAIL);
        EXPECT_EQ(log.Lines(), "  WaveOpenFile error: mmioOpen returned NULL\n"
                               "  CCOggSoundRead::Open error: fopen call failed\n");
    }
    remove(ogg.c_str());
}
