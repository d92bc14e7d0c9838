// Under Wine: the sample archive opens from the program's resources by id,
// and the same bytes open from a file with the same entries and records.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "FileStorage.h"

using namespace FileStorage;

namespace
{
const uint16_t kSampleId = 101;

ByteArray ResourceBytes(uint16_t id)
{
    HRSRC r = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));
    HGLOBAL g = r ? LoadResource(nullptr, r) : nullptr;
    const uint8_t* p = g ? static_cast<const uint8_t*>(LockResource(g)) : nullptr;
    return p ? ByteArray(p, p + SizeofResource(nullptr, r)) : ByteArray();
}

ByteArray EntryBytes(CArchive& a, const CArchive::Key& key)
{
    CMemoryStream* s = a.Find(key.first, key.second);
    return s && s->GetData() ? ByteArray(s->GetData(), s->GetData() + s->GetSize()) : ByteArray();
}
} // namespace

TEST(ArchiveResource, OpensByIdAndDecodes)
{
    CArchive a;
    ASSERT_TRUE(a.OpenResource(kSampleId));
    EXPECT_EQ(a.GetVersion(), kDefaultArchiveVersion);
    EXPECT_EQ(a.GetEntryList().size(), 11u);

    CMemoryStream* s = a.Find("Camera01", kTypeCamera);
    ASSERT_NE(s, nullptr);
    CameraRecord camera;
    ASSERT_TRUE(ReadRecord(*s, camera));
    EXPECT_EQ(camera.projection[11], 1.0f);
    EXPECT_EQ(a.Find("Camera01", kTypeCamera), s);

    s = a.Find("Box", kTypeGeomObject);
    ASSERT_NE(s, nullptr);
    GeomObjectRecord box;
    ASSERT_TRUE(ReadRecord(*s, box));
    ASSERT_EQ(box.frames.size(), 1u);
    EXPECT_EQ(box.frames[0].meshes[0].materialName, "Stone");
}

TEST(ArchiveResource, MissingResourceFails)
{
    CArchive a;
    EXPECT_FALSE(a.OpenResource(999));
    CDataSource d;
    EXPECT_THROW(d.OpenResource(999), ErrorReadFromResource);
}

TEST(ArchiveResource, BlockPastTheResourceEndThrows)
{
    CDataSource d;
    d.OpenResource(kSampleId);
    ByteArray buffer;
    EXPECT_THROW(d.ReadBlock(d.GetSize() - 2, 0, buffer), ErrorReadFromResource);
    EXPECT_THROW(d.ReadBlock(0, uint32_t(d.GetSize()) + 1, buffer), ErrorReadFromResource);
    EXPECT_EQ(d.ReadBlock(0, 4, buffer), 4u);
}

TEST(ArchiveResource, SameArchiveOpensFromAFile)
{
    const ByteArray bytes = ResourceBytes(kSampleId);
    ASSERT_FALSE(bytes.empty());
    char dir[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, dir), 0u);
    const std::string path = std::string(dir) + "tarnholm-archive-test.SSS";
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    fclose(f);

    {
        CArchive fromResource, fromFile;
        ASSERT_TRUE(fromResource.OpenResource(kSampleId));
        ASSERT_TRUE(fromFile.OpenFile(path));
        ASSERT_EQ(fromFile.GetEntryList(), fromResource.GetEntryList());
        for (const auto& key : fromFile.GetEntryList())
        {
            const ByteArray want = EntryBytes(fromResource, key);
            EXPECT_FALSE(want.empty()) << key.first;
            EXPECT_EQ(EntryBytes(fromFile, key), want) << key.first;
        }
    } // the file archive closes its file here, so it can be removed
    EXPECT_TRUE(DeleteFileA(path.c_str()));
}
