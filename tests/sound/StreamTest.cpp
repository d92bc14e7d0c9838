// The DirectSound stream and the Ogg music stream against a fake device and
// clock: ring arithmetic, wrap-around writes, starvation, queueing and
// looping, and destruction in every state.
#include "FakeDirectSound.h"
#include "LogCapture.h"
#include "OggEncode.h"
#include "DirectSoundStream.h"
#include "OggStream.h"
#include "TempFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
std::atomic<DWORD> g_Now{1000};
DWORD FakeClock()
{
    return g_Now;
}

WAVEFORMATEX Format(WORD channels, DWORD rate)
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = 16;
    f.nBlockAlign = static_cast<WORD>(channels * 2);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

// Polls `done` every few milliseconds for at most `ms`.
template <class F>
bool WaitFor(F done, DWORD ms = 3000)
{
    const DWORD start = GetTickCount();
    while (!done())
    {
        if (GetTickCount() - start > ms)
            return false;
        Sleep(5);
    }
    return true;
}

// Opens the piece on the fake device, with the stream on the fake clock.
DirectSoundStream* OpenOnFakes(COggStream& music, const std::string& path, FakeDirectSound& ds)
{
    if (!music.Init() || !music.Open(0, path, &ds))
        return nullptr;
    music.GetStream()->SetClock(FakeClock);
    g_Now = 1000;
    return music.GetStream();
}

std::vector<BYTE> Decode(const std::vector<unsigned char>& ogg)
{
    COggSoundRead reader;
    EXPECT_EQ(reader.OpenMemory(ogg.data(), static_cast<uint32_t>(ogg.size())), S_OK);
    std::vector<BYTE> pcm(reader.GetSize());
    uint32_t got = 0;
    EXPECT_EQ(reader.Read(static_cast<uint32_t>(pcm.size()), pcm.data(), &got), S_OK);
    pcm.resize(got);
    return pcm;
}
} // namespace

TEST(DirectSoundStream, RingOfThreeSecondsAndItsFreeSpace)
{
    FakeDirectSound ds;
    DirectSoundStream stream;
    ASSERT_TRUE(stream.Create(&ds, Format(2, 44100)));
    FakeSoundBuffer& buffer = *ds.m_pLast;
    const DWORD ring = 529200;
    EXPECT_EQ(stream.GetBufferSize(), ring);
    EXPECT_EQ(buffer.m_Flags, 0x10182u);

    struct Case
    {
        DWORD play; // set first
        DWORD add;  // then written
        DWORD available;
    };
    const Case cases[] = {
        {0, 0, ring},              // equal cursors: the whole ring
        {0, 1000, ring - 1000},    // write ahead of play
        {1500, 0, 500},            // play ahead of write
        {1500, 400, 100},          // write 1400
        {1400, 0, ring},           // equal again
        {0, 2000, ring - 3400},
    };
    std::vector<BYTE> data(4000, 1);
    for (const Case& c : cases)
    {
        buffer.m_dwPlayCursor = c.play;
        if (c.add)
        {
            ASSERT_TRUE(stream.AddSoundData(data.data(), c.add)) << c.play << " " << c.add;
        }
        EXPECT_EQ(stream.GetAvailableSize(), c.available) << c.play << " " << c.add;
    }
}

TEST(DirectSoundStream, WritesWrapInOrderAndOversizeIsRefusedWhole)
{
    FakeDirectSound ds;
    DirectSoundStream stream;
    ASSERT_TRUE(stream.Create(&ds, Format(1, 8000))); // ring 48000
    FakeSoundBuffer& buffer = *ds.m_pLast;
    const DWORD ring = 48000;
    std::vector<BYTE> head(ring - 100, 0x11);
    ASSERT_TRUE(stream.AddSoundData(head.data(), ring - 100));
    buffer.m_dwPlayCursor = 300;
    ASSERT_EQ(stream.GetAvailableSize(), 400u);

    std::vector<BYTE> tail(250);
    for (size_t i = 0; i < tail.size(); ++i)
        tail[i] = static_cast<BYTE>(i + 1);
    ASSERT_TRUE(stream.AddSoundData(tail.data(), 250));
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(buffer.m_Bytes[ring - 100 + i], tail[i]);
    for (int i = 0; i < 150; ++i)
        ASSERT_EQ(buffer.m_Bytes[i], tail[100 + i]);
    EXPECT_EQ(buffer.m_Bytes[150], 0x11);
    EXPECT_EQ(stream.GetBytesWritten(), uint64_t(ring - 100 + 250));
    EXPECT_EQ(stream.GetAvailableSize(), 150u);

    LogCapture log;
    const int locks = buffer.m_nLocks;
    std::vector<BYTE> big(151, 0x77);
    EXPECT_FALSE(stream.AddSoundData(big.data(), 151));
    EXPECT_EQ(log.Lines(), "DirectSoundStream::AddSoundData: GetAvailableSize() < dwSize\n");
    EXPECT_EQ(buffer.m_nLocks, locks);
    EXPECT_EQ(buffer.m_Bytes[150], 0x11);
    EXPECT_EQ(stream.GetBytesWritten(), uint64_t(ring - 100 + 250));
    EXPECT_FALSE(stream.AddSoundData(nullptr, 10));
    EXPECT_FALSE(stream.AddSoundData(big.data(), 0));
}

TEST(DirectSoundStream, WorkerStopsAStarvedStreamOnTheClock)
{
    FakeDirectSound ds;
    DirectSoundStream stream;
    stream.SetClock(FakeClock);
    ASSERT_TRUE(stream.Create(&ds, Format(2, 44100)));
    // Stop before Play does nothing and keeps the counters.
    std::vector<BYTE> second(176400, 0);
    ASSERT_TRUE(stream.AddSoundData(second.data(), 176400));
    EXPECT_FALSE(stream.Stop());
    EXPECT_EQ(stream.GetBytesWritten(), 176400u);

    g_Now = 1000;
    ASSERT_TRUE(stream.Play());
    EXPECT_TRUE(stream.IsPlaying());
    EXPECT_TRUE(ds.m_pLast->m_bLooping);
    g_Now = 1990; // 0.99 s of 1 s played
    Sleep(4 * DirectSoundStream::kPollMilliseconds);
    EXPECT_TRUE(stream.IsPlaying());
    EXPECT_FALSE(stream.HasFinished());
    g_Now = 2000;
    EXPECT_TRUE(WaitFor([&] { return !stream.IsPlaying(); }));
    EXPECT_TRUE(stream.HasFinished());
    EXPECT_FALSE(ds.m_pLast->m_bPlaying);
    EXPECT_EQ(stream.GetBytesWritten(), 0u);
    // The next Play clears the ended mark.
    ASSERT_TRUE(stream.AddSoundData(second.data(), 176400));
    ASSERT_TRUE(stream.Play());
    EXPECT_FALSE(stream.HasFinished());
    EXPECT_TRUE(stream.Stop());
    EXPECT_FALSE(stream.HasFinished());
}

TEST(DirectSoundStream, ByteCountPassesFourGigabytesWithoutWrapping)
{
    FakeDirectSound ds;
    DirectSoundStream stream;
    stream.SetClock(FakeClock);
    // 8 channels at 192 kHz: a ring of about 9 MB.
    ASSERT_TRUE(stream.Create(&ds, Format(8, 192000)));
    const DWORD ring = stream.GetBufferSize();
    std::vector<BYTE> block(ring, 0);
    uint64_t total = 0;
    while (total <= 0x100000000ull)
    {
        ASSERT_TRUE(stream.AddSoundData(block.data(), ring));
        total += ring;
    }
    EXPECT_EQ(stream.GetBytesWritten(), total);
    // Far less has been played than written: the worker leaves it running.
    g_Now = 5000;
    ASSERT_TRUE(stream.Play());
    g_Now = 6000;
    Sleep(4 * DirectSoundStream::kPollMilliseconds);
    EXPECT_TRUE(stream.IsPlaying());
}

TEST(DirectSoundStream, VolumeFollowsTheLawAndSurvivesMute)
{
    FakeDirectSound ds;
    DirectSoundStream stream;
    EXPECT_FALSE(stream.SetVolume(50)); // no buffer yet
    ASSERT_TRUE(stream.Create(&ds, Format(2, 22050)));
    FakeSoundBuffer& buffer = *ds.m_pLast;
    ASSERT_TRUE(stream.SetVolume(50));
    EXPECT_EQ(buffer.m_lVolume, -1505);
    EXPECT_EQ(stream.GetVolume(), 50);
    stream.ToggleMute();
    EXPECT_EQ(buffer.m_lVolume, -10000);
    ASSERT_TRUE(stream.SetVolume(10));
    EXPECT_EQ(buffer.m_lVolume, -10000);
    stream.ToggleMute();
    EXPECT_EQ(buffer.m_lVolume, -5000);
}

TEST(DirectSoundStream, FailedCreateLeavesAStreamThatRefusesEverything)
{
    FakeDirectSound ds;
    ds.m_hrCreate = DSERR_OUTOFMEMORY;
    LogCapture log;
    {
        DirectSoundStream stream;
        EXPECT_FALSE(stream.Create(&ds, Format(2, 44100)));
        EXPECT_EQ(log.Lines(), "pDirectSound->CreateSoundBuffer FAILED: 8007000e\n");
        EXPECT_FALSE(stream.Play());
        EXPECT_FALSE(stream.Stop());
        EXPECT_EQ(stream.GetAvailableSize(), 0u);
        EXPECT_FALSE(stream.Create(nullptr, Format(2, 44100)));
    }
}

TEST(OggStream, QueuesTwoBlocksThenTheWorkerFillsTheRing)
{
    const auto ogg = OggEncode::Tone(2, 44100, 5 * 44100, 700.0f);
    const std::string path = WriteTemp("tarnholm_stream_fill.ogg", ogg);
    FakeDirectSound ds;
    COggStream music;
    DirectSoundStream* opened = OpenOnFakes(music, path, ds);
    ASSERT_TRUE(opened);
    DirectSoundStream& stream = *opened;
    // Hold the worker off the ring while Play queues its two blocks.
    ds.m_pLast->m_dwPlayCursor = 0;
    ASSERT_TRUE(music.Play(false));
    EXPECT_EQ(music.GetState(), COggStream::STATE_PLAYING);
    EXPECT_TRUE(music.IsPlaying());
    // The worker tops the ring up until at most 81920 bytes are free.
    EXPECT_TRUE(WaitFor([&] { return stream.GetAvailableSize() <= COggStream::kRefillBytes; }));
    const std::vector<BYTE> pcm = Decode(ogg);
    const uint64_t written = stream.GetBytesWritten();
    ASSERT_GT(written, 2u * COggStream::kBlockBytes);
    EXPECT_EQ(0, memcmp(ds.m_pLast->m_Bytes.data(), pcm.data(), static_cast<size_t>(written)));
    EXPECT_NEAR(music.GetLength(), 5.0f, 0.01f);
    EXPECT_TRUE(music.Stop());
    EXPECT_EQ(music.GetState(), COggStream::STATE_STOPPED);
    EXPECT_FALSE(stream.IsPlaying());
    remove(path.c_str());
}

TEST(OggStream, ShortPieceDrainsAndStopsOrLoopsWithoutGap)
{
    // 0.2 s of mono at 22050 Hz: 8820 bytes, less than one block.
    const auto ogg = OggEncode::Tone(1, 22050, 4410, 500.0f);
    const std::string path = WriteTemp("tarnholm_stream_short.ogg", ogg);
    const std::vector<BYTE> pcm = Decode(ogg);
    ASSERT_EQ(pcm.size(), 8820u);

    FakeDirectSound ds;
    COggStream music;
    DirectSoundStream* opened = OpenOnFakes(music, path, ds);
    ASSERT_TRUE(opened);
    DirectSoundStream& stream = *opened;
    ASSERT_TRUE(music.Play(false));
    // The whole piece and 0.1 s of silence are queued.
    EXPECT_EQ(music.GetState(), COggStream::STATE_DRAINING);
    EXPECT_EQ(stream.GetBytesWritten(), 8820u + 4410u);
    EXPECT_EQ(0, memcmp(ds.m_pLast->m_Bytes.data(), pcm.data(), pcm.size()));
    EXPECT_TRUE(music.IsPlaying());
    // Once the clock has played it all, the piece ends.
    g_Now = 1000 + 301;
    EXPECT_TRUE(WaitFor([&] { return music.GetState() == COggStream::STATE_STOPPED; }));
    EXPECT_FALSE(music.IsPlaying());

    // Looping: the piece follows itself directly.
    g_Now = 5000;
    ASSERT_TRUE(music.Play(true));
    EXPECT_EQ(music.GetState(), COggStream::STATE_LOOPING);
    ASSERT_GE(stream.GetBytesWritten(), 2 * pcm.size());
    EXPECT_EQ(0, memcmp(ds.m_pLast->m_Bytes.data(), pcm.data(), pcm.size()));
    EXPECT_EQ(0, memcmp(ds.m_pLast->m_Bytes.data() + pcm.size(), pcm.data(), pcm.size()));
    // Play while playing starts over from the beginning.
    ASSERT_TRUE(music.Play(true));
    EXPECT_EQ(0, memcmp(ds.m_pLast->m_Bytes.data(), pcm.data(), pcm.size()));
    remove(path.c_str());
}

TEST(OggStream, FailedOpensAndDestructionInEveryState)
{
    std::vector<unsigned char> corrupt = OggEncode::Tone(1, 22050, 22050, 300.0f);
    for (size_t i = 20; i < 120; ++i)
        corrupt[i] ^= 0xA5;
    const std::string bad = WriteTemp("tarnholm_stream_corrupt.ogg", corrupt);
    const std::string good = WriteTemp("tarnholm_stream_good.ogg", OggEncode::Tone(1, 22050, 22050, 300.0f));
    FakeDirectSound ds;
    {
        LogCapture log;
        COggStream music;
        ASSERT_TRUE(music.Init());
        EXPECT_FALSE(music.Open(0, bad, &ds));
        EXPECT_NE(log.Lines().find("m_pOggStream->Open FAILED: 80004005\n"), std::string::npos) << log.Lines();
        EXPECT_FALSE(music.Play(true));
        EXPECT_FALSE(music.IsPlaying());
        EXPECT_EQ(music.GetPosition(), 0.0f);
        EXPECT_FALSE(music.SetVolume(20));
        music.ToggleMute();
    }
    {
        COggStream neverInitialised;
        EXPECT_FALSE(neverInitialised.Open(0, good, &ds));
    }
    {
        COggStream opened;
        ASSERT_TRUE(opened.Init());
        ASSERT_TRUE(opened.Open(0, good, &ds));
    }
    {
        COggStream playing;
        ASSERT_TRUE(playing.Init());
        ASSERT_TRUE(playing.Open(0, good, &ds));
        ASSERT_TRUE(playing.Play(true));
    }
    remove(bad.c_str());
    remove(good.c_str());
}

TEST(OggStream, TenFailedFillsStopTheMusicOnceAndPlayStillWorksAfter)
{
    const std::string path = WriteTemp("tarnholm_stream_fails.ogg", OggEncode::Tone(2, 44100, 3 * 44100, 400.0f));
    FakeDirectSound ds;
    COggStream music;
    DirectSoundStream* opened = OpenOnFakes(music, path, ds);
    ASSERT_TRUE(opened);
    LogCapture log;
    ds.m_pLast->m_hrLock = DSERR_GENERIC; // every write into the ring fails
    ASSERT_TRUE(music.Play(true));
    EXPECT_TRUE(WaitFor([&] { return music.GetState() == COggStream::STATE_STOPPED; }));
    Sleep(50);
    const std::string lines = log.Lines();
    EXPECT_NE(lines.find("OggStream::Run NumFails >= 10\n"), std::string::npos) << lines;
    EXPECT_EQ(lines.find("OggStream::Run NumFails >= 10\n"), lines.rfind("OggStream::Run NumFails >= 10\n"));
    EXPECT_FALSE(music.IsPlaying());
    EXPECT_FALSE(opened->IsPlaying());

    // The worker is still there: a later Play streams as before.
    ds.m_pLast->m_hrLock = S_OK;
    ASSERT_TRUE(music.Play(true));
    EXPECT_TRUE(WaitFor([&] { return opened->GetAvailableSize() <= COggStream::kRefillBytes; }));
    EXPECT_EQ(music.GetState(), COggStream::STATE_LOOPING);
    remove(path.c_str());
}
