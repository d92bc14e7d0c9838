// The Ogg Vorbis reader and its memory source, natively.
#include "LogCapture.h"
#include "OggEncode.h"
#include "OggSoundRead.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
typedef std::vector<unsigned char> Bytes;

Bytes ReadAll(COggSoundRead& reader, uint32_t block = 9996)
{
    Bytes out;
    std::vector<BYTE> buffer(block);
    for (;;)
    {
        uint32_t got = 12345;
        EXPECT_EQ(reader.Read(block, buffer.data(), &got), S_OK);
        if (got == 0)
            break;
        EXPECT_LE(got, block);
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    return out;
}

const Bytes& MonoTone()
{
    static const Bytes ogg = OggEncode::Tone(1, 22050, 30000, 440.0f);
    return ogg;
}

const Bytes& StereoTone()
{
    static const Bytes ogg = OggEncode::Tone(2, 44100, 50000, 1000.0f);
    return ogg;
}
} // namespace

TEST(OggRead, FormatsAndSizes)
{
    struct Case
    {
        const char* name;
        const Bytes& ogg;
        WORD channels;
        DWORD rate;
        uint32_t frames;
    };
    const Case cases[] = {
        {"mono", MonoTone(), 1, 22050, 30000},
        {"stereo", StereoTone(), 2, 44100, 50000},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        COggSoundRead reader;
        ASSERT_EQ(reader.OpenMemory(c.ogg.data(), static_cast<uint32_t>(c.ogg.size())), S_OK);
        WAVEFORMATEX f;
        reader.GetFormat(&f);
        EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(f.nChannels, c.channels);
        EXPECT_EQ(f.nSamplesPerSec, c.rate);
        EXPECT_EQ(f.wBitsPerSample, 16);
        EXPECT_EQ(f.nBlockAlign, c.channels * 2);
        EXPECT_EQ(f.nAvgBytesPerSec, c.rate * c.channels * 2);
        EXPECT_EQ(f.cbSize, 0);
        EXPECT_EQ(reader.GetSize(), c.frames * f.nBlockAlign);
        EXPECT_EQ(reader.GetRemaining(), c.frames);
        EXPECT_NEAR(reader.GetLength(), double(c.frames) / c.rate, 1e-3);

        const Bytes pcm = ReadAll(reader);
        EXPECT_EQ(pcm.size(), reader.GetSize());
        EXPECT_EQ(reader.GetRemaining(), 0u);
        // The tone is really there: a quarter of full scale at least.
        int peak = 0;
        for (size_t i = 0; i + 1 < pcm.size(); i += 2)
            peak = std::max(peak, std::abs(int(int16_t(pcm[i] | pcm[i + 1] << 8))));
        EXPECT_GT(peak, 8000);
    }
}

TEST(OggRead, ReadsPastTheEndDeliverWhatIsLeftThenNothing)
{
    COggSoundRead reader;
    ASSERT_EQ(reader.OpenMemory(MonoTone().data(), static_cast<uint32_t>(MonoTone().size())), S_OK);
    const uint32_t size = reader.GetSize();
    std::vector<BYTE> buffer(size + 50000, 0xAB);
    uint32_t got = 0;
    ASSERT_EQ(reader.Read(size + 40000, buffer.data(), &got), S_OK);
    EXPECT_EQ(got, size);
    // Nothing written behind what was delivered.
    EXPECT_EQ(buffer[size], 0xAB);
    EXPECT_EQ(buffer[size + 39999], 0xAB);
    ASSERT_EQ(reader.Read(100, buffer.data(), &got), S_OK);
    EXPECT_EQ(got, 0u);
}

TEST(OggRead, ResetReadsTheSameBytesAgain)
{
    COggSoundRead reader;
    ASSERT_EQ(reader.OpenMemory(StereoTone().data(), static_cast<uint32_t>(StereoTone().size())), S_OK);
    const Bytes first = ReadAll(reader, 4000);
    ASSERT_EQ(reader.Reset(), S_OK);
    EXPECT_EQ(reader.GetRemaining(), 50000u);
    const Bytes second = ReadAll(reader, 40960);
    EXPECT_EQ(first, second);
}

TEST(OggRead, BadStreamsFailWithTheirLogLines)
{
    Bytes corrupt = StereoTone();
    for (size_t i = 30; i < 200 && i < corrupt.size(); ++i)
        corrupt[i] ^= 0x5A;
    const Bytes notOgg = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
    struct Case
    {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {{"corrupt headers", corrupt}, {"not Ogg", notOgg}, {"empty", Bytes()}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        LogCapture log;
        COggSoundRead reader;
        EXPECT_EQ(reader.OpenMemory(c.bytes.data(), static_cast<uint32_t>(c.bytes.size())), E_FAIL);
        EXPECT_FALSE(reader.IsOpen());
        EXPECT_EQ(log.Lines().rfind("  CCOggSoundRead::Open error: ov_open_callbacks returned -", 0), 0u) << log.Lines();
        // An unopened reader refuses to read or rewind and closes quietly.
        BYTE b[16];
        uint32_t got = 7;
        EXPECT_EQ(reader.Read(16, b, &got), E_FAIL);
        EXPECT_EQ(got, 0u);
        EXPECT_EQ(reader.Reset(), E_FAIL);
        EXPECT_EQ(reader.GetRemaining(), 0u);
        EXPECT_EQ(reader.Close(), S_OK);
    }
}

TEST(OggRead, TruncatedStreamEndsEarlyWithoutReadingPastItsBytes)
{
    const Bytes& whole = StereoTone();
    for (size_t cut : {whole.size() / 2, whole.size() - 7, whole.size() * 3 / 4})
    {
        SCOPED_TRACE(cut);
        // A copy of exactly `cut` bytes: ASan catches any read behind it.
        std::vector<unsigned char>* part = new std::vector<unsigned char>(whole.begin(), whole.begin() + cut);
        {
            COggSoundRead reader;
            if (reader.OpenMemory(part->data(), static_cast<uint32_t>(part->size())) == S_OK)
            {
                const Bytes pcm = ReadAll(reader, 4096);
                EXPECT_LE(pcm.size(), reader.GetSize());
            }
        }
        delete part;
    }
}

TEST(OggRead, OpensFilesAndReportsMissingOnes)
{
    const std::string path = testing::TempDir() + "tarnholm_ogg_read_test.ogg";
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(MonoTone().data(), 1, MonoTone().size(), f);
    fclose(f);
    {
        COggSoundRead reader;
        ASSERT_EQ(reader.Open(0, path.c_str()), S_OK);
        EXPECT_EQ(ReadAll(reader).size(), 60000u);
        EXPECT_EQ(reader.Close(), S_OK);
        EXPECT_EQ(reader.Close(), S_OK);
    }
    remove(path.c_str());

    for (const char* missing : {"", "/no/such/file.ogg"})
    {
        LogCapture log;
        COggSoundRead reader;
        EXPECT_EQ(reader.Open(0, missing), E_FAIL);
        EXPECT_EQ(log.Lines(), "  CCOggSoundRead::Open error: fopen call failed\n");
    }
}

TEST(OggMemorySource, SeeksHonourOffsetsAndStayInside)
{
    const BYTE data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    struct Case
    {
        uint32_t from;
        int64_t offset;
        int origin;
        int result;
        uint32_t position;
    };
    const Case cases[] = {
        {5, 3, SEEK_SET, 0, 3},   {5, 10, SEEK_SET, 0, 10},  {5, 11, SEEK_SET, -1, 5}, {5, -1, SEEK_SET, -1, 5},
        {5, 2, SEEK_CUR, 0, 7},   {5, -5, SEEK_CUR, 0, 0},   {5, -6, SEEK_CUR, -1, 5}, {5, 6, SEEK_CUR, -1, 5},
        {5, 0, SEEK_END, 0, 10},  {5, -4, SEEK_END, 0, 6},   {5, 1, SEEK_END, -1, 5},
        {5, int64_t(1) << 32, SEEK_SET, -1, 5},
    };
    for (const Case& c : cases)
    {
        OggMemorySource m;
        m.base = data;
        m.size = 10;
        m.position = c.from;
        EXPECT_EQ(OggMemorySeek(&m, c.offset, c.origin), c.result) << c.offset << " " << c.origin;
        EXPECT_EQ(OggMemoryTell(&m), long(c.position)) << c.offset << " " << c.origin;
    }
}

TEST(OggMemorySource, ReadsNeverPassTheEnd)
{
    const BYTE data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    OggMemorySource m;
    m.base = data;
    m.size = 10;
    BYTE out[32];
    memset(out, 0xEE, sizeof(out));
    m.position = 6;
    EXPECT_EQ(OggMemoryRead(out, 1, 32, &m), 4u);
    EXPECT_EQ(out[0], 6);
    EXPECT_EQ(out[3], 9);
    EXPECT_EQ(out[4], 0xEE);
    EXPECT_EQ(OggMemoryRead(out, 1, 32, &m), 0u);
    // Whole items only.
    m.position = 3;
    EXPECT_EQ(OggMemoryRead(out, 4, 8, &m), 1u);
    EXPECT_EQ(OggMemoryTell(&m), 7);
    EXPECT_EQ(OggMemorySeek(&m, 0, SEEK_END), 0);
    EXPECT_EQ(OggMemoryTell(&m), 10);
    EXPECT_EQ(OggMemoryClose(&m), 0);
}
