// Writes the built-in sounds and music into the content folder, and a short
// mix of the locomotive's sounds (for listening only) into the preview folder.
//
//   sound_content <content folder> [<preview folder>]
#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "SoundContent.h"

using namespace SoundContent;

namespace
{
void Write(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3)
    {
        std::fprintf(stderr, "usage: %s <content folder> [<preview folder>]\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    try
    {
        // The music takes most of the time: it gets a thread of its own while
        // the short sounds are made one after another.
        Bytes files[kSoundFileCount];
        std::string musicError;
        std::thread music([&files, &musicError] {
            try
            {
                files[0] = EncodeSound(200, MakeSound(200, kSoundSeed));
            }
            catch (const std::exception& e)
            {
                musicError = e.what();
            }
        });
        for (int i = 1; i < kSoundFileCount; ++i)
            files[i] = EncodeSound(kSoundFiles[i].id, MakeSound(kSoundFiles[i].id, kSoundSeed));
        if (argc == 3)
            Write(std::string(argv[2]) + "/TrainMix.ogg", EncodeOgg(MakeTrainMix(24.0f), 1, 0.4f, 1));
        music.join();
        if (!musicError.empty())
            throw std::runtime_error(musicError);
        size_t total = 0;
        for (int i = 0; i < kSoundFileCount; ++i)
        {
            Write(std::string(argv[1]) + "/" + kSoundFiles[i].name, files[i]);
            std::printf("%-16s %8zu bytes\n", kSoundFiles[i].name, files[i].size());
            total += files[i].size();
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("sounds: %zu bytes in %.1f s\n", total, seconds);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "sound_content: %s\n", e.what());
        return 1;
    }
    return 0;
}
