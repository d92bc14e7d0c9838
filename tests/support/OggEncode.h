#pragma once
// Encodes samples into an in-memory Ogg Vorbis stream (test fixtures).
// Links vorbisenc.
#include <cmath>
#include <functional>
#include <vector>
#include <vorbis/vorbisenc.h>

namespace OggEncode
{
// `sample(frame, channel)` gives each sample in -1..1.
inline std::vector<unsigned char> Encode(int channels, int rate, int frames,
                                         const std::function<float(int, int)>& sample, float quality = 0.4f)
{
    std::vector<unsigned char> out;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0)
    {
        vorbis_info_clear(&vi);
        return out;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1);
    ogg_packet h, hc, hcode;
    vorbis_analysis_headerout(&vd, &vc, &h, &hc, &hcode);
    ogg_stream_packetin(&os, &h);
    ogg_stream_packetin(&os, &hc);
    ogg_stream_packetin(&os, &hcode);
    ogg_page og;
    auto put = [&out](const ogg_page& p) {
        out.insert(out.end(), p.header, p.header + p.header_len);
        out.insert(out.end(), p.body, p.body + p.body_len);
    };
    while (ogg_stream_flush(&os, &og))
        put(og);
    auto drain = [&]() {
        ogg_packet op;
        while (vorbis_analysis_blockout(&vd, &vb) == 1)
        {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            while (vorbis_bitrate_flushpacket(&vd, &op))
            {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og))
                    put(og);
            }
        }
    };
    const int step = 4096;
    for (int start = 0; start < frames; start += step)
    {
        const int n = frames - start < step ? frames - start : step;
        float** buf = vorbis_analysis_buffer(&vd, n);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < n; ++i)
                buf[c][i] = sample(start + i, c);
        vorbis_analysis_wrote(&vd, n);
        drain();
    }
    vorbis_analysis_wrote(&vd, 0);
    drain();
    while (ogg_stream_flush(&os, &og))
        put(og);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

// A sine of `hertz` at `amplitude` on every channel.
inline std::vector<unsigned char> Tone(int channels, int rate, int frames, float hertz, float amplitude = 0.5f)
{
    return Encode(channels, rate, frames, [=](int i, int) {
        return amplitude * std::sin(i * hertz * 6.2831853f / rate);
    });
}
} // namespace OggEncode
