// Host program: writes a short MP3 of one tone for the DirectShow tests.
// Usage: music_mp3_tone FILE HERTZ SECONDS
#include <lame/lame.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        fprintf(stderr, "usage: %s FILE HERTZ SECONDS\n", argv[0]);
        return 2;
    }
    const int rate = 44100;
    const double hertz = atof(argv[2]);
    const int frames = static_cast<int>(rate * atof(argv[3]));
    std::vector<short> pcm(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        pcm[size_t(i)] = static_cast<short>(0.5 * 32767 * std::sin(i * hertz * 6.283185307 / rate));

    lame_global_flags* lame = lame_init();
    lame_set_num_channels(lame, 1);
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_mode(lame, MONO);
    lame_set_brate(lame, 64);
    if (!lame || lame_init_params(lame) < 0)
        return 1;
    std::vector<unsigned char> out(size_t(frames) * 5 / 4 + 7200 + 7200);
    int n = lame_encode_buffer(lame, pcm.data(), pcm.data(), frames, out.data(), int(out.size()));
    if (n < 0)
        return 1;
    const int tail = lame_encode_flush(lame, out.data() + n, int(out.size()) - n);
    if (tail < 0)
        return 1;
    lame_close(lame);
    FILE* file = fopen(argv[1], "wb");
    if (!file || fwrite(out.data(), 1, size_t(n + tail), file) != size_t(n + tail))
        return 1;
    return fclose(file) == 0 ? 0 : 1;
}
