#include <gtest/gtest.h>

#include <boost/regex.hpp>
#include <cmath>
#include <cstring>
#include <lua.hpp>
#include <tinyxml.h>
#include <vector>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

TEST(Deps, LuaRunsALine)
{
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    ASSERT_EQ(luaL_dostring(L, "x = string.format('%d', 6 * 7)"), 0);
    lua_getglobal(L, "x");
    EXPECT_STREQ(lua_tostring(L, -1), "42");
    lua_close(L);
}

TEST(Deps, XmlParses)
{
    TiXmlDocument doc;
    doc.Parse("<Effect name=\"Basic\"><Technique/></Effect>");
    ASSERT_FALSE(doc.Error());
    EXPECT_STREQ(doc.RootElement()->Attribute("name"), "Basic");
}

TEST(Deps, BoostRegexMatchesWholeName)
{
    boost::regex re("dummy_.*", boost::regex::perl | boost::regex::icase);
    EXPECT_TRUE(boost::regex_match("Dummy_loco", re));
    EXPECT_FALSE(boost::regex_match("xDummy_loco", re));
}

namespace
{
// Encodes a short tone into an in-memory Ogg Vorbis stream.
std::vector<unsigned char> EncodeTone(int rate, int samples)
{
    std::vector<unsigned char> out;
    vorbis_info vi;
    vorbis_info_init(&vi);
    EXPECT_EQ(vorbis_encode_init_vbr(&vi, 1, rate, 0.3f), 0);
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
    float** buf = vorbis_analysis_buffer(&vd, samples);
    for (int i = 0; i < samples; ++i)
        buf[0][i] = 0.5f * std::sin(i * 440.0f * 6.2831853f / rate);
    vorbis_analysis_wrote(&vd, samples);
    vorbis_analysis_wrote(&vd, 0);
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
    while (ogg_stream_flush(&os, &og))
        put(og);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

struct MemStream
{
    const std::vector<unsigned char>* data;
    size_t pos;
};
size_t MemRead(void* p, size_t size, size_t n, void* src)
{
    auto* m = static_cast<MemStream*>(src);
    size_t want = size * n, left = m->data->size() - m->pos;
    if (want > left)
        want = left;
    memcpy(p, m->data->data() + m->pos, want);
    m->pos += want;
    return size ? want / size : 0;
}
} // namespace

TEST(Deps, VorbisfileOpensAnInMemoryStream)
{
    const std::vector<unsigned char> ogg = EncodeTone(22050, 22050);
    ASSERT_GT(ogg.size(), 100u);
    MemStream m{&ogg, 0};
    ov_callbacks cb = {MemRead, nullptr, nullptr, nullptr};
    OggVorbis_File vf;
    ASSERT_EQ(ov_open_callbacks(&m, &vf, nullptr, 0, cb), 0);
    EXPECT_EQ(ov_info(&vf, -1)->rate, 22050);
    long total = 0;
    char pcm[4096];
    int section;
    long got;
    while ((got = ov_read(&vf, pcm, sizeof(pcm), 0, 2, 1, &section)) > 0)
        total += got;
    EXPECT_NEAR(total / 2, 22050, 2048);
    ov_clear(&vf);
}
