#include "Storage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace Storage;

namespace
{
// Hands out files over one archive image and counts closes.
struct ArchiveOwner : IStorage
{
    IStorageFile* Open(const std::string& name) override
    {
        return name == "Own" ? new CMemoryFile("own", 3) : nullptr;
    }
    void Close(IStorageFile* file) override
    {
        ++closes;
        delete file;
    }
    bool Find(const std::string&, std::vector<std::string>*) override { return false; }
    int closes = 0;
};

std::vector<uint8_t> Entry(const std::string& bytes)
{
    std::vector<uint8_t> out(4);
    const uint32_t size = uint32_t(bytes.size());
    memcpy(out.data(), &size, 4);
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}
} // namespace

TEST(StorageNames, WholeNameCaseInsensitiveMatch)
{
    const std::vector<std::string> names = {"DIFFUSE.XML", "SMOKE.TGA", "DIFFUSE.XML.BAK", "XMLNOTES", "199",
                                            "GLASS.XML"};
    std::vector<std::string> list;
    EXPECT_TRUE(FindNames(".*\\.xml", names, &list));
    EXPECT_EQ(list, (std::vector<std::string>{"DIFFUSE.XML", "GLASS.XML"}));
    EXPECT_TRUE(FindNames("smoke\\.TGA", names, nullptr));
    EXPECT_FALSE(FindNames("smoke", names, nullptr));
    list.clear();
    EXPECT_FALSE(FindNames("\\d\\d", names, &list));
    EXPECT_TRUE(list.empty());
}

TEST(StorageFiles, MemoryFileReadsAreBounded)
{
    const char bytes[] = "0123456789";
    CMemoryFile file(bytes, 10);
    char out[16] = {};
    file.Seek(7);
    file.Read(out, 8);
    EXPECT_STREQ(out, "789");
    EXPECT_EQ(file.Tell(), 10u);
    file.Seek(50);
    EXPECT_EQ(file.Tell(), 10u);
}

TEST(StorageFiles, ArchiveEntriesAndTheirStorage)
{
    std::vector<uint8_t> image = {'S', 'S', 'S', '!'};
    const uint32_t first = uint32_t(image.size());
    const auto a = Entry("mesh bytes");
    image.insert(image.end(), a.begin(), a.end());
    const uint32_t second = uint32_t(image.size());
    const auto b = Entry("");
    image.insert(image.end(), b.begin(), b.end());
    const uint32_t broken = uint32_t(image.size());
    const auto c = Entry("truncated entry");
    image.insert(image.end(), c.begin(), c.begin() + 8);

    ArchiveOwner owner;
    {
        CSSSFileStorage storage(new CMemoryFile(image.data(), uint32_t(image.size())), &owner,
                                {{"Train", 1, first}, {"Empty", 1, second}, {"Broken", 1, broken},
                                 {"Outside", 1, 1000}, {"train.mesh", 2, first}});
        struct Case
        {
            const char* name;
            bool found;
            std::string bytes;
        };
        const Case cases[] = {
            {"Train", true, "mesh bytes"}, {"train", false, ""},  {"Empty", true, ""},
            {"Broken", true, ""},          {"Outside", true, ""}, {"Missing", false, ""},
        };
        for (const Case& k : cases)
        {
            IStorageFile* file = storage.Open(k.name);
            ASSERT_EQ(file != nullptr, k.found) << k.name;
            if (!file)
                continue;
            std::string bytes(file->GetSize(), '\0');
            file->Read(&bytes[0], uint32_t(bytes.size()) + 5);
            EXPECT_EQ(bytes, k.bytes) << k.name;
            storage.Close(file);
        }
        std::vector<std::string> list;
        EXPECT_TRUE(storage.Find("train.*", &list));
        EXPECT_EQ(list, (std::vector<std::string>{"Train", "train.mesh"}));
    }
    EXPECT_EQ(owner.closes, 1);
}

TEST(StorageFiles, MetaStorageRoutesClosesToTheOpener)
{
    ArchiveOwner owner;
    std::vector<uint8_t> image = Entry("x");
    CMemoryFile* archiveFile = new CMemoryFile(image.data(), uint32_t(image.size()));
    ArchiveOwner archiveOwner;
    CSSSFileStorage archive(archiveFile, &archiveOwner, {{"X", 0, 0}});
    CMetaStorage meta;
    EXPECT_EQ(meta.Open("Own"), nullptr);
    EXPECT_FALSE(meta.Find(".*", nullptr));
    meta.AddStorage(&owner);
    meta.AddStorage(&archive);

    IStorageFile* own = meta.Open("Own");
    IStorageFile* x = meta.Open("X");
    ASSERT_TRUE(own && x);
    EXPECT_EQ(x->GetSize(), 1u);
    meta.Close(own);
    EXPECT_EQ(owner.closes, 1);
    meta.Close(own); // no longer handed out: ignored
    EXPECT_EQ(owner.closes, 1);
    meta.Close(x);

    std::vector<std::string> list;
    EXPECT_TRUE(meta.Find("x", &list));
    EXPECT_EQ(list, std::vector<std::string>{"X"});
}
