#include "OggEncode.h"

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
std::vector<unsigned char> EncodeTone(int rate, int samples)
{
    return OggEncode::Tone(1, rate, samples, 440.0f);
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
