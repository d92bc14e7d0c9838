// The program's resource script carries the generated sounds as RT_RCDATA
// 200 to 208, and each decodes from the resource memory with the Windows
// build of vorbisfile.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <vorbis/vorbisfile.h>

namespace
{
struct Memory
{
    const unsigned char* data;
    size_t size, pos;
};

size_t MemoryRead(void* out, size_t size, size_t count, void* source)
{
    Memory* m = static_cast<Memory*>(source);
    const size_t n = std::min(size * count, m->size - m->pos);
    std::memcpy(out, m->data + m->pos, n);
    m->pos += n;
    return n;
}

int MemorySeek(void* source, ogg_int64_t offset, int origin)
{
    Memory* m = static_cast<Memory*>(source);
    const long long base = origin == SEEK_SET ? 0 : (origin == SEEK_CUR ? (long long)m->pos : (long long)m->size);
    const long long to = base + offset;
    if (to < 0 || to > (long long)m->size)
        return -1;
    m->pos = size_t(to);
    return 0;
}

long MemoryTell(void* source) { return long(static_cast<Memory*>(source)->pos); }
} // namespace

TEST(SoundResources, EveryIdHoldsADecodableOggStream)
{
    for (int id = 200; id <= 208; ++id)
    {
        SCOPED_TRACE(id);
        HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10)); // RT_RCDATA
        ASSERT_NE(nullptr, found);
        HGLOBAL loaded = LoadResource(nullptr, found);
        ASSERT_NE(nullptr, loaded);
        Memory m{static_cast<const unsigned char*>(LockResource(loaded)), SizeofResource(nullptr, found), 0};
        ASSERT_GT(m.size, 4u);
        EXPECT_EQ(0, std::memcmp(m.data, "OggS", 4));

        ov_callbacks callbacks{MemoryRead, MemorySeek, nullptr, MemoryTell};
        OggVorbis_File vf;
        ASSERT_EQ(0, ov_open_callbacks(&m, &vf, nullptr, 0, callbacks));
        const vorbis_info* info = ov_info(&vf, -1);
        EXPECT_EQ(44100, info->rate);
        EXPECT_EQ(id == 200 ? 2 : 1, info->channels);
        EXPECT_GT(ov_pcm_total(&vf, -1), 10000);
        char buffer[4096];
        int link = 0;
        EXPECT_GT(ov_read(&vf, buffer, sizeof buffer, 0, 2, 1, &link), 0);
        ov_clear(&vf);
    }
}
