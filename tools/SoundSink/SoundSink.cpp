// Reads raw 16-bit stereo samples at 44100 Hz from standard input no faster
// than a sound card would play them, and appends them to the file given as
// the only argument ("-" or nothing: they are dropped). The device may be
// opened several times by one program, so the file is never cut short.
//
// ALSA's null device takes samples as fast as they come, so a program that
// mixes whenever its device has room would play many times faster than real
// time. Started at the end of a pipe whose capacity is cut to one page, this
// program holds the writer back to the wall clock: what the capture holds is
// what a listener would have heard, in time.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <thread>

int main(int argc, char** argv)
{
    const double bytesPerSecond = 44100.0 * 4;
#ifdef F_SETPIPE_SZ
    fcntl(0, F_SETPIPE_SZ, 4096);
#endif
    FILE* out = nullptr;
    if (argc > 1 && strcmp(argv[1], "-") != 0)
        out = fopen(argv[1], "ab");

    typedef std::chrono::steady_clock Clock;
    Clock::time_point start = Clock::now();
    double played = 0; // bytes since start
    char block[1764];  // 10 ms
    for (;;)
    {
        const ssize_t n = read(0, block, sizeof(block));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (out)
        {
            fwrite(block, 1, static_cast<size_t>(n), out);
            fflush(out);
        }
        played += static_cast<double>(n);
        const Clock::time_point due = start + std::chrono::microseconds(static_cast<long long>(played / bytesPerSecond * 1e6));
        const Clock::time_point now = Clock::now();
        if (due > now)
            std::this_thread::sleep_for(due - now);
        else if (now - due > std::chrono::milliseconds(200))
        {
            // The player fell silent for a while: a card would have played
            // nothing meanwhile, so the clock starts again from here.
            start = now;
            played = 0;
        }
    }
    if (out)
        fclose(out);
    return 0;
}
