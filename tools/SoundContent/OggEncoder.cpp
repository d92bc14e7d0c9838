#include "OggEncoder.h"

#include <algorithm>
#include <stdexcept>

#include <vorbis/vorbisenc.h>

namespace SoundContent
{
namespace
{
void Append(Bytes& out, const ogg_page& page)
{
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

// The libvorbis and libogg states of one encoding, cleared in reverse order.
struct Encoder
{
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_stream_state stream;
    bool analysis = false, streamReady = false;

    Encoder() { vorbis_info_init(&info); vorbis_comment_init(&comment); }
    ~Encoder()
    {
        if (streamReady)
            ogg_stream_clear(&stream);
        if (analysis)
        {
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
};
} // namespace

Bytes EncodeOgg(const Samples& interleaved, int channels, float quality, int serial)
{
    Encoder e;
    if (vorbis_encode_init_vbr(&e.info, channels, kSampleRate, quality) != 0)
        throw std::runtime_error("vorbis_encode_init_vbr refused the set-up");
    if (vorbis_analysis_init(&e.dsp, &e.info) != 0 || vorbis_block_init(&e.dsp, &e.block) != 0)
        throw std::runtime_error("vorbis_analysis_init failed");
    e.analysis = true;
    if (ogg_stream_init(&e.stream, serial) != 0)
        throw std::runtime_error("ogg_stream_init failed");
    e.streamReady = true;

    Bytes out;
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&e.dsp, &e.comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&e.stream, &header);
    ogg_stream_packetin(&e.stream, &headerComment);
    ogg_stream_packetin(&e.stream, &headerCode);
    ogg_page page;
    while (ogg_stream_flush(&e.stream, &page) != 0)
        Append(out, page);

    const size_t frames = interleaved.size() / size_t(channels);
    const size_t chunk = 4096;
    size_t done = 0;
    bool finished = false;
    while (!finished)
    {
        const size_t n = std::min(chunk, frames - done);
        if (n == 0)
            vorbis_analysis_wrote(&e.dsp, 0); // end of stream
        else
        {
            float** buffer = vorbis_analysis_buffer(&e.dsp, int(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] = interleaved[(done + i) * size_t(channels) + size_t(c)];
            vorbis_analysis_wrote(&e.dsp, int(n));
            done += n;
        }
        while (vorbis_analysis_blockout(&e.dsp, &e.block) == 1)
        {
            vorbis_analysis(&e.block, nullptr);
            vorbis_bitrate_addblock(&e.block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&e.dsp, &packet) == 1)
            {
                ogg_stream_packetin(&e.stream, &packet);
                while (ogg_stream_pageout(&e.stream, &page) != 0)
                {
                    Append(out, page);
                    if (ogg_page_eos(&page))
                        finished = true;
                }
            }
        }
        if (n == 0)
            finished = true; // everything flushed above
    }
    while (ogg_stream_flush(&e.stream, &page) != 0)
        Append(out, page);
    return out;
}

Samples Interleave(const Samples& left, const Samples& right)
{
    Samples out(left.size() * 2);
    for (size_t i = 0; i < left.size(); ++i)
    {
        out[2 * i] = left[i];
        out[2 * i + 1] = right[i];
    }
    return out;
}
} // namespace SoundContent
