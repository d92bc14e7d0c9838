// DirectSound under Wine with the project's ALSA sink: what the sound
// objects and the Ogg stream play is measured in the captured output.
#include "Capture.h"
#include "LogCapture.h"
#include "OggEncode.h"
#include "Object.h"
#include "OggStream.h"
#include "SoundObject.h"
#include "TempFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace
{
typedef std::vector<unsigned char> Bytes;

// A 16-bit mono PCM WAV of a sine.
Bytes ToneWav(int rate, int frames, double hertz, double amplitude)
{
    Bytes b;
    auto put = [&b](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    auto id = [&b](const char* s) { b.insert(b.end(), s, s + 4); };
    id("RIFF");
    put(36 + frames * 2, 4);
    id("WAVE");
    id("fmt ");
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(rate, 4);
    put(rate * 2, 4);
    put(2, 2);
    put(16, 2);
    id("data");
    put(frames * 2, 4);
    for (int i = 0; i < frames; ++i)
        put(static_cast<uint16_t>(static_cast<int16_t>(amplitude * 32767 * std::sin(i * hertz * 6.283185307 / rate))), 2);
    return b;
}

// A stereo Ogg at 44100 Hz of consecutive tones, `seconds` each.
Bytes ToneSequence(const std::vector<float>& hertz, float seconds)
{
    const int per = static_cast<int>(44100 * seconds);
    return OggEncode::Encode(2, 44100, per * static_cast<int>(hertz.size()), [&](int i, int) {
        return 0.5f * std::sin(i * hertz[i / per] * 6.2831853f / 44100);
    });
}

// Plays for `ms`, stops, and returns what was captured meanwhile.
template <class Start, class Stop>
Capture::Stereo Record(Start start, Stop stop, DWORD ms)
{
    EXPECT_TRUE(Capture::WaitForQuiet());
    const uint64_t mark = Capture::Size();
    start();
    Sleep(ms);
    stop();
    // What was mixed last is still on its way to the sink.
    Sleep(300);
    return Capture::ReadFrom(mark);
}

class Device : public testing::Test
{
public:
    static void SetUpTestSuite()
    {
        // The sink appends: start from an empty capture.
        DeleteFileA(Capture::Path().c_str());
        CoInitialize(nullptr);
        s_Window = CreateWindowA("STATIC", "sound test", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr, nullptr, nullptr);
        s_hr = InitDirectSound(s_Window);
        s_WavPath = TempPath("tarnholm_device_tone.wav");
        WriteTemp("tarnholm_device_tone.wav", ToneWav(22050, 22050, 1000.0, 0.5));
    }
    static void TearDownTestSuite()
    {
        ReleaseDirectSound();
        DestroyWindow(s_Window);
        remove(s_WavPath.c_str());
    }
    void SetUp() override
    {
        ASSERT_FALSE(Capture::Path().empty()) << "TARNHOLM_SOUND_CAPTURE is not set";
        ASSERT_EQ(s_hr, S_OK) << g_Log.GetText();
    }

    static HWND s_Window;
    static HRESULT s_hr;
    static std::string s_WavPath;
};
HWND Device::s_Window;
HRESULT Device::s_hr;
std::string Device::s_WavPath;
} // namespace

TEST_F(Device, ToneKeepsItsPitchFollowsItsRateAndMuteIsSilent)
{
    SoundObject tone;
    ASSERT_EQ(tone.Load(0, s_WavPath.c_str(), SoundObject::KIND_WAVE, false, true), S_OK);
    EXPECT_NEAR(tone.GetDuration(), 1.0f, 1e-4f);
    EXPECT_EQ(tone.GetName(), s_WavPath);
    EXPECT_EQ(tone.GetFrequency(), 22050u);

    auto play = [&] { ASSERT_EQ(tone.PlayBuffer(true), S_OK); };
    auto stop = [&] { ASSERT_EQ(tone.Stop(), S_OK); };
    Capture::Stereo s = Record(play, stop, 700);
    auto active = Capture::Active(s);
    ASSERT_GT(active.second - active.first, size_t(Capture::kRate * 4 / 10));
    const size_t mid = (active.first + active.second) / 2;
    EXPECT_NEAR(Capture::Dominant(s.left, mid - 4410, 8820), 1000.0, 15.0);

    // At twice its rate the tone sounds an octave higher.
    tone.SetFrequency(44100);
    EXPECT_EQ(tone.GetFrequency(), 44100u);
    s = Record(play, stop, 700);
    active = Capture::Active(s);
    ASSERT_GT(active.second, active.first);
    EXPECT_NEAR(Capture::Dominant(s.left, (active.first + active.second) / 2 - 4410, 8820), 2000.0, 30.0);
    // Out of the device's range: clamped into it.
    tone.SetFrequency(g_DSCaps.dwMaxSecondarySampleRate + 1000);
    EXPECT_EQ(tone.GetFrequency(), g_DSCaps.dwMaxSecondarySampleRate);
    tone.SetFrequency(22050);

    tone.ToggleMute();
    EXPECT_EQ(tone.SetVolume(80), E_FAIL); // kept for later, nothing sent
    s = Record(play, stop, 500);
    EXPECT_LT(Capture::Peak(s.left), 0.002f);
    EXPECT_LT(Capture::Peak(s.right), 0.002f);
    tone.ToggleMute();
    EXPECT_EQ(tone.GetVolume(), 80);
    s = Record(play, stop, 500);
    EXPECT_GT(Capture::Peak(s.left), 0.05f);
}

TEST_F(Device, LevelFollowsTheVolumeLaw)
{
    SoundObject tone;
    ASSERT_EQ(tone.Load(0, s_WavPath.c_str(), SoundObject::KIND_WAVE, false, false), S_OK);
    auto level = [&](int percent) {
        EXPECT_EQ(tone.SetVolume(percent), S_OK);
        Capture::Stereo s = Record([&] { tone.PlayBuffer(true); }, [&] { tone.Stop(); }, 600);
        auto active = Capture::Active(s, 0.001f);
        EXPECT_GT(active.second, active.first + 4410);
        const size_t mid = (active.first + active.second) / 2;
        return Capture::Rms(s.left, mid - 2205, 4410);
    };
    const float full = level(100);
    const float half = level(50);
    ASSERT_GT(full, 0.1f);
    // 50 % is -15.05 dB: an amplitude of about 0.177.
    const float expected = std::pow(10.0f, PercentToDecibels(50) / 2000.0f);
    EXPECT_NEAR(half / full, expected, expected * 0.25f);
    // A range narrowed to 40 % plays 100 % as 40 %.
    tone.SetVolumeRange(40);
    const float capped = level(100);
    const float expected40 = std::pow(10.0f, PercentToDecibels(40) / 2000.0f);
    EXPECT_NEAR(capped / full, expected40, expected40 * 0.25f);
}

TEST_F(Device, SoundToTheListenersRightIsLouderOnTheRight)
{
    SoundObject tone;
    ASSERT_EQ(tone.Load(0, s_WavPath.c_str(), SoundObject::KIND_WAVE, true, false), S_OK);
    ASSERT_TRUE(tone.Is3D());
    // Listener at the origin looking along +y with +z up (scene axes).
    g_vListenerPosition = D3DVECTOR{0, 0, 0};
    ASSERT_EQ(UpdateListener(D3DVECTOR{0, 1, 0}, D3DVECTOR{0, 0, 1}, 1.0f), S_OK);
    auto levels = [&](float* left, float* right) {
        Capture::Stereo s = Record([&] { tone.PlayBuffer(true); }, [&] { tone.Stop(); }, 600);
        auto active = Capture::Active(s, 0.001f);
        ASSERT_GT(active.second, active.first + 4410);
        const size_t mid = (active.first + active.second) / 2;
        *left = Capture::Rms(s.left, mid - 2205, 4410);
        *right = Capture::Rms(s.right, mid - 2205, 4410);
    };
    float left = 0, right = 0;
    // Placed directly: to the right and a little ahead.
    ASSERT_EQ(tone.SetObjectProperties(D3DVECTOR{8, 2, 0}, D3DVECTOR{0, 0, 0}, 1, 1000), S_OK);
    levels(&left, &right);
    EXPECT_GT(right, 1.5f * left) << left << " " << right;

    // Following a scene object to the left.
    Object loco("Loco");
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, -8, 2, 0);
    loco.SetWorldMatrix(world);
    tone.AttachToObject(&loco);
    UpdateAllSounds();
    levels(&left, &right);
    EXPECT_GT(left, 1.5f * right) << left << " " << right;
    tone.AttachToObject(nullptr);
}

TEST_F(Device, RepeatsRewindsAndNamesOfStoredSounds)
{
    const std::string path = WriteTemp("tarnholm_device_blip.wav", ToneWav(22050, 3308, 800.0, 0.5)); // 0.15 s
    SoundObject blip;
    ASSERT_EQ(blip.Load(0, path.c_str(), SoundObject::KIND_WAVE, false, false), S_OK);
    // Three times in all, each repeat started by the per-frame update.
    Capture::Stereo s = Record(
        [&] {
            ASSERT_EQ(blip.PlayBuffer(3), S_OK);
            for (int frame = 0; frame < 100; ++frame)
            {
                UpdateAllSounds();
                Sleep(10);
            }
        },
        [] {}, 0);
    EXPECT_EQ(blip.GetRepeatCount(), 0u);
    size_t activeWindows = 0;
    for (size_t i = 0; i + 441 <= s.Frames(); i += 441)
        activeWindows += Capture::Rms(s.left, i, 441) > 0.05f;
    EXPECT_NEAR(activeWindows / 100.0, 0.45, 0.08);

    // Playing again while playing rewinds the one voice: the level stays.
    SoundObject tone;
    ASSERT_EQ(tone.Load(0, s_WavPath.c_str(), SoundObject::KIND_WAVE, false, false), S_OK);
    s = Record([&] { tone.PlayBuffer(true); }, [&] { tone.Stop(); }, 400);
    auto active = Capture::Active(s);
    const float single = Capture::Rms(s.left, (active.first + active.second) / 2 - 2205, 4410);
    s = Record(
        [&] {
            tone.PlayBuffer(true);
            Sleep(250);
            tone.PlayBuffer(true);
            EXPECT_TRUE(tone.IsPlaying());
        },
        [&] { tone.Stop(); }, 400);
    active = Capture::Active(s);
    const float again = Capture::Rms(s.left, active.second - 4410 - 2205, 4410);
    EXPECT_NEAR(again / single, 1.0f, 0.2f);
    EXPECT_FALSE(tone.IsPlaying());

    // Stored in the program, without a path: named by its id.
    SoundObject stored;
    ASSERT_EQ(stored.Load(201, "", SoundObject::KIND_WAVE, false, false), S_OK);
    EXPECT_EQ(stored.GetName(), "Sound id 201");
    remove(path.c_str());
}

TEST_F(Device, OggStreamPlaysAPieceThroughInOrderAndStops)
{
    const std::vector<float> tones = {500, 900, 1300, 1700};
    const std::string path = WriteTemp("tarnholm_device_sequence.ogg", ToneSequence(tones, 0.6f));
    COggStream music;
    ASSERT_TRUE(music.Init());
    ASSERT_TRUE(music.Open(0, path));
    EXPECT_NEAR(music.GetLength(), 2.4f, 0.01f);
    EXPECT_TRUE(Capture::WaitForQuiet());
    const uint64_t mark = Capture::Size();
    ASSERT_TRUE(music.Play(false));
    const DWORD start = GetTickCount();
    while (music.IsPlaying() && GetTickCount() - start < 8000)
        Sleep(20);
    EXPECT_FALSE(music.IsPlaying());
    EXPECT_EQ(music.GetState(), COggStream::STATE_STOPPED);
    Sleep(300);
    const Capture::Stereo s = Capture::ReadFrom(mark);
    const auto active = Capture::Active(s);
    const double seconds = double(active.second - active.first) / Capture::kRate;
    EXPECT_NEAR(seconds, 2.4, 0.15);
    const size_t part = (active.second - active.first) / tones.size();
    for (size_t i = 0; i < tones.size(); ++i)
        EXPECT_NEAR(Capture::Dominant(s.right, active.first + i * part + part / 4, part / 2), tones[i], 15.0) << i;
    remove(path.c_str());
}

TEST_F(Device, LoopingOggStreamRunsOnWithoutGaps)
{
    const std::string path = WriteTemp("tarnholm_device_loop.ogg", ToneSequence({600, 1200}, 0.5f));
    COggStream music;
    ASSERT_TRUE(music.Init());
    ASSERT_TRUE(music.Open(0, path));
    ASSERT_TRUE(music.SetVolume(100));
    const Capture::Stereo s = Record([&] { ASSERT_TRUE(music.Play(true)); }, [&] { music.Stop(); }, 2700);
    EXPECT_EQ(music.GetState(), COggStream::STATE_STOPPED);
    const auto active = Capture::Active(s);
    ASSERT_GT(active.second - active.first, size_t(Capture::kRate * 24 / 10));
    // No silent stretch inside.
    for (size_t i = active.first; i + 441 <= active.second; i += 441)
        ASSERT_GT(Capture::Rms(s.left, i, 441), 0.05f) << "silence at " << double(i - active.first) / Capture::kRate;
    // 600, 1200, 600, 1200 ... every half second from the start.
    for (int k = 0; k < 4; ++k)
    {
        const size_t at = active.first + k * Capture::kRate / 2 + Capture::kRate / 8;
        EXPECT_NEAR(Capture::Dominant(s.left, at, Capture::kRate / 4), k % 2 ? 1200.0 : 600.0, 15.0) << k;
    }
    remove(path.c_str());
}

TEST_F(Device, StoppingAndDestroyingWhilePlayingNeverHangs)
{
    const std::string path = WriteTemp("tarnholm_device_churn.ogg", OggEncode::Tone(2, 44100, 44100, 440.0f));
    struct Work
    {
        std::string path;
        std::string wav;
        int done = 0;
    } work{path, s_WavPath};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            Work& w = *static_cast<Work*>(p);
            for (int i = 0; i < 50; ++i)
            {
                std::unique_ptr<COggStream> music(new COggStream());
                if (!music->Init() || !music->Open(0, w.path))
                    return 1;
                music->Play(i % 2 == 0);
                Sleep(i % 7 * 3);
                if (i % 3 == 0)
                    music->Stop();
                if (i % 5 == 0)
                    music->Play(true);
                SoundObject sound;
                if (i % 10 == 0 && SUCCEEDED(sound.Load(0, w.wav.c_str(), SoundObject::KIND_WAVE, true, true)))
                    sound.PlayBuffer(true);
                music.reset();
                w.done = i + 1;
            }
            return 0;
        },
        &work, 0, nullptr);
    ASSERT_TRUE(thread);
    const DWORD waited = WaitForSingleObject(thread, 60000);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "stuck after " << work.done << " rounds";
    if (waited != WAIT_OBJECT_0)
        ExitProcess(3);
    DWORD code = 9;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(work.done, 50);
    CloseHandle(thread);
    remove(path.c_str());
}

TEST_F(Device, ProgressPerDecodedBlockAndTheListenerKeepsItsDistanceFactor)
{
    struct Counter : SoundObject::CLoadingProgressHandler
    {
        int calls = 0;
        void OnProgress(int done, int total) override
        {
            EXPECT_EQ(done, 0);
            EXPECT_EQ(total, 0);
            ++calls;
        }
    } counter;
    // 5 s of 22050 Hz mono: 220500 bytes, decoded in blocks of 100000.
    const std::string path = WriteTemp("tarnholm_device_long.wav", ToneWav(22050, 5 * 22050, 300.0, 0.3));
    SetSoundLoadingProgressHandler(&counter);
    {
        SoundObject sound;
        ASSERT_EQ(sound.Load(0, path.c_str(), SoundObject::KIND_WAVE, false, false), S_OK);
        EXPECT_NEAR(sound.GetDuration(), 5.0f, 1e-4f);
    }
    SetSoundLoadingProgressHandler(nullptr);
    EXPECT_EQ(counter.calls, 3);
    remove(path.c_str());

    // The factor set once stays through the per-frame listener updates.
    ASSERT_EQ(SetDistanceFactor(0.25f), S_OK);
    ASSERT_EQ(UpdateListener(D3DVECTOR{0, 1, 0}, D3DVECTOR{0, 0, 1}, 1.0f), S_OK);
    D3DVALUE factor = 0;
    ASSERT_EQ(g_pDSListener->GetDistanceFactor(&factor), S_OK);
    EXPECT_FLOAT_EQ(factor, 0.25f);
    ASSERT_EQ(SetDistanceFactor(1.0f), S_OK);
    UpdateListener(D3DVECTOR{0, 1, 0}, D3DVECTOR{0, 0, 1}, 1.0f);
}
