// Writes the sound readers' fuzz seeds: short mono and stereo Ogg streams.
#include "OggEncode.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    const std::string dir = argv[1];
    const struct
    {
        const char* name;
        int channels;
        int rate;
    } seeds[] = {{"mono.ogg", 1, 8000}, {"stereo.ogg", 2, 11025}};
    for (const auto& s : seeds)
    {
        const auto bytes = OggEncode::Tone(s.channels, s.rate, 3000, 440.0f, 0.3f);
        FILE* f = fopen((dir + "/" + s.name).c_str(), "wb");
        if (!f)
            return 1;
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    return 0;
}
