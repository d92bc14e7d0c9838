// Archives written by our writer read back by the engine's reader, and
// corrupt archives rejected without crashes, over-reads or huge allocations.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "ArchiveWriter.h"
#include "FileStorage.h"
#include "RecordEquality.h"
#include "SampleArchive.h"

using namespace FileStorage;
using ArchiveTool::Bytes;
using ArchiveTool::CArchiveWriter;

namespace
{
Bytes SampleBytes(bool withHead = false, uint32_t version = kDefaultArchiveVersion)
{
    CArchiveWriter w;
    ArchiveTool::MakeSampleArchive().AddTo(w);
    return w.Build(withHead, version);
}

template <class Record> void ExpectRoundTrip(CArchive& a, const std::string& name, const char* type, const Record& want)
{
    SCOPED_TRACE(name);
    CMemoryStream* s = a.Find(name, type);
    ASSERT_NE(s, nullptr);
    Record got;
    ASSERT_TRUE(ReadRecord(*s, got));
    EXPECT_TRUE(got == want);
    EXPECT_EQ(s->GetPosition(), s->GetSize()) << "record has bytes the reader did not consume";
}

void PutU32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

void PutU64(Bytes& b, size_t at, uint64_t v)
{
    PutU32(b, at, uint32_t(v));
    PutU32(b, at + 4, uint32_t(v >> 32));
}

uint16_t GetU16(const Bytes& b, size_t at)
{
    return uint16_t(b[at] | b[at + 1] << 8);
}

// Byte position of the first directory entry's offset field (no head).
size_t FirstOffsetField(const Bytes& b)
{
    size_t at = 6;
    at += 2 + GetU16(b, at);
    at += 2 + GetU16(b, at);
    return at;
}

std::string TempPath(const char* name)
{
    return std::string(::testing::TempDir()) + name;
}
} // namespace

struct RoundTripCase
{
    bool withHead;
    bool fromFile;
};

class ArchiveRoundTrip : public ::testing::TestWithParam<RoundTripCase>
{
};

TEST_P(ArchiveRoundTrip, EveryRecordReadsBackEqual)
{
    const RoundTripCase c = GetParam();
    const ArchiveTool::SampleArchive sample = ArchiveTool::MakeSampleArchive();
    CArchiveWriter w;
    sample.AddTo(w);

    CArchive a;
    if (c.fromFile)
    {
        const std::string path = TempPath("roundtrip.SSS");
        ASSERT_TRUE(w.WriteFile(path, c.withHead, 7));
        ASSERT_TRUE(a.OpenFile(path));
    }
    else
        ASSERT_TRUE(a.OpenMemory(w.Build(c.withHead, 7)));
    EXPECT_EQ(a.GetVersion(), c.withHead ? 7u : kDefaultArchiveVersion);
    EXPECT_EQ(a.GetEntryList().size(), w.GetEntryCount());

    for (const auto& e : sample.geomObjects)
        ExpectRoundTrip(a, e.first, kTypeGeomObject, e.second);
    for (const auto& e : sample.materials)
        ExpectRoundTrip(a, e.first, kTypeMaterial, e.second);
    for (const auto& e : sample.lights)
        ExpectRoundTrip(a, e.first, kTypeLight, e.second);
    for (const auto& e : sample.cameras)
        ExpectRoundTrip(a, e.first, kTypeCamera, e.second);
    for (const auto& e : sample.environments)
        ExpectRoundTrip(a, e.first, kTypeEnvironment, e.second);
    for (const auto& e : sample.bitmaps)
    {
        CMemoryStream* s = a.Find(e.first, kTypeBitmap);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(Bytes(s->GetData(), s->GetData() + s->GetSize()), e.second);
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, ArchiveRoundTrip,
                         ::testing::Values(RoundTripCase{false, false}, RoundTripCase{true, false},
                                           RoundTripCase{false, true}, RoundTripCase{true, true}));

TEST(Archive, ZeroEntriesOpenEmpty)
{
    for (bool head : {false, true})
    {
        CArchive a;
        ASSERT_TRUE(a.OpenMemory(CArchiveWriter().Build(head)));
        EXPECT_TRUE(a.GetEntryList().empty());
        EXPECT_EQ(a.Find("", ""), nullptr);
    }
}

TEST(Archive, EmptyStringsRoundTrip)
{
    GeomObjectRecord go;
    go.node.parentName = "";
    go.frames.resize(1);
    go.frames[0].meshes.resize(1); // no vertices, no indices, no material
    EnvironmentRecord env;
    env.excludedObjects = {"", std::string("a\0b", 3)};
    CArchiveWriter w;
    w.AddGeomObject("", go);
    w.AddEnvironment("", env);
    w.AddEntry("", "", {});

    CArchive a;
    ASSERT_TRUE(a.OpenMemory(w.Build()));
    ExpectRoundTrip(a, "", kTypeGeomObject, go);
    ExpectRoundTrip(a, "", kTypeEnvironment, env);
    CMemoryStream* s = a.Find("", "");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetSize(), 0u);
}

TEST(Archive, StringOfLengthZeroAdvancesByTwo)
{
    CMemoryStream s(Bytes{0, 0, 3, 0, 'a', 0, 'b'});
    EXPECT_EQ(s.ReadString(), "");
    EXPECT_EQ(s.GetPosition(), 2u);
    EXPECT_EQ(s.ReadString(), std::string("a\0b", 3));
    EXPECT_THROW(s.ReadU8(), ErrorReadFromStream);
}

TEST(Archive, FindTwiceGivesTheSameRewoundStream)
{
    CArchive a;
    ASSERT_TRUE(a.OpenMemory(SampleBytes()));
    CMemoryStream* first = a.Find("Camera01", kTypeCamera);
    ASSERT_NE(first, nullptr);
    const std::string parent = first->ReadString();
    ASSERT_GT(first->GetPosition(), 0u);
    CMemoryStream* second = a.Find("Camera01", kTypeCamera);
    EXPECT_EQ(second, first);
    EXPECT_EQ(second->GetPosition(), 0u);
    EXPECT_EQ(second->ReadString(), parent);
    EXPECT_EQ(a.Find("Camera01", kTypeLight), nullptr);
    EXPECT_EQ(a.Find("camera01", kTypeCamera), nullptr);
}

TEST(Archive, DirectoryIsInBytewiseNameThenTypeOrder)
{
    CArchiveWriter w;
    for (const char* name : {"\xC3\xA9t\xC3\xA9", "b", "B", "a"})
        w.AddEntry(name, "M", {});
    w.AddEntry("a", "L", {});
    w.AddEntry("a", "GO", {});
    CArchive a;
    ASSERT_TRUE(a.OpenMemory(w.Build()));
    const std::vector<CArchive::Key> want = {{"B", "M"}, {"a", "GO"}, {"a", "L"}, {"a", "M"}, {"b", "M"},
                                             {"\xC3\xA9t\xC3\xA9", "M"}};
    EXPECT_EQ(a.GetEntryList(), want);
}

TEST(Archive, WriterRejectsWhatTheReaderWouldRefuse)
{
    CArchiveWriter w;
    w.AddEntry("x", "M", {});
    EXPECT_THROW(w.AddEntry("x", "M", {}), std::invalid_argument);
    EXPECT_THROW(w.AddEntry(std::string(70000, 'n'), "M", {}), std::invalid_argument);

    GeomObjectRecord go;
    go.frames.resize(1);
    go.frames[0].meshes.resize(1);
    MeshRecord& m = go.frames[0].meshes[0];
    m.fvf = 0x112;
    m.vertexCount = 1;
    EXPECT_THROW(ArchiveTool::EncodeRecord(go), std::invalid_argument) << "vertex bytes missing";
    m.vertices.resize(32);
    m.indices = {1};
    EXPECT_THROW(ArchiveTool::EncodeRecord(go), std::invalid_argument) << "index past the vertices";
    m.indices = {0};
    EXPECT_NO_THROW(ArchiveTool::EncodeRecord(go));
    m.fvf = 0x111C;
    m.vertexCount = 0;
    m.vertices.clear();
    m.indices.clear();
    EXPECT_THROW(ArchiveTool::EncodeRecord(go), std::invalid_argument) << "skinned mesh without vertices";
}

TEST(ArchiveFormat, VertexLayoutsAndAddressModes)
{
    const struct
    {
        uint32_t fvf, stride;
    } strides[] = {{0x112, 32}, {0x212, 40}, {0x111C, 48}, {0x002, 12}, {0x152, 36}, {0x102 | 1u << 16, 24}, {0, 0}};
    for (const auto& s : strides)
        EXPECT_EQ(FvfVertexStride(s.fvf), s.stride) << std::hex << s.fvf;

    const struct
    {
        uint32_t fvf, normalOffset, diffuseOffset, texSets, firstTex;
    } layouts[] = {{0x112, 12, 24, 1, 24}, {0x212, 12, 24, 2, 24}, {0x142, 12, 12, 1, 16}, {0x1C2, 12, 12, 1, 20},
                   {0x0C2, 12, 12, 0, 12}};
    for (const auto& l : layouts)
    {
        const VertexLayout v = DecodeVertexLayout(l.fvf);
        EXPECT_EQ(v.normalOffset, l.normalOffset) << std::hex << l.fvf;
        EXPECT_EQ(v.diffuseOffset, l.diffuseOffset) << std::hex << l.fvf;
        EXPECT_EQ(v.texSetCount, l.texSets) << std::hex << l.fvf;
        EXPECT_EQ(v.firstTexOffset, l.firstTex) << std::hex << l.fvf;
    }

    const struct
    {
        uint16_t flags;
        uint32_t u, v;
    } modes[] = {{0, 1, 1}, {0x28, 3, 3}, {0x14, 2, 2}, {0x3C, 4, 4}, {0x2, 1, 1}};
    for (const auto& m : modes)
    {
        EXPECT_EQ(MapAddressU(m.flags), m.u) << m.flags;
        EXPECT_EQ(MapAddressV(m.flags), m.v) << m.flags;
    }
}

// ---- Corrupt archives

struct CorruptCase
{
    const char* what;
    void (*corrupt)(Bytes&);
};

class CorruptArchive : public ::testing::TestWithParam<CorruptCase>
{
};

TEST_P(CorruptArchive, FailsToOpen)
{
    Bytes b = SampleBytes();
    GetParam().corrupt(b);
    CArchive a;
    EXPECT_FALSE(a.OpenMemory(b));
    EXPECT_TRUE(a.GetEntryList().empty());
    EXPECT_EQ(a.Find("Box", kTypeGeomObject), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Directory, CorruptArchive,
    ::testing::Values(
        CorruptCase{"empty source", [](Bytes& b) { b.clear(); }},
        CorruptCase{"head without a version", [](Bytes& b) { b.assign(4, 0); }},
        CorruptCase{"huge directory size", [](Bytes& b) { PutU32(b, 0, 0xFFFFFFF0u); }},
        CorruptCase{"directory past the end", [](Bytes& b) { PutU32(b, 0, uint32_t(b.size())); }},
        CorruptCase{"directory too short for its entries", [](Bytes& b) { PutU32(b, 0, 9); }},
        CorruptCase{"empty directory body", [](Bytes& b) { PutU32(b, 0, 1); }},
        CorruptCase{"more entries than listed", [](Bytes& b) { b[4] += 1; }},
        CorruptCase{"name past the directory", [](Bytes& b) { b[6] = 0xFF, b[7] = 0xFF; }},
        CorruptCase{"offset at the end", [](Bytes& b) { PutU64(b, FirstOffsetField(b), b.size() - 3); }},
        CorruptCase{"huge offset", [](Bytes& b) { PutU64(b, FirstOffsetField(b), ~uint64_t(0) - 2); }},
        CorruptCase{"truncated directory", [](Bytes& b) { b.resize(20); }}),
    [](const ::testing::TestParamInfo<CorruptCase>& info) {
        std::string n = info.param.what;
        for (char& c : n)
            if (!isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return n;
    });

TEST(CorruptArchive, BadBlocksFailOnlyTheirEntry)
{
    Bytes b = SampleBytes();
    CArchive probe;
    ASSERT_TRUE(probe.OpenMemory(b));
    const std::vector<CArchive::Key> keys = probe.GetEntryList();

    // The first block gets a huge length; the last block loses its tail.
    const size_t firstBlock = 4 + GetU16(b, 0) + (GetU16(b, 2) << 16);
    PutU32(b, firstBlock, 0xFFFFFFFFu);
    b.resize(b.size() - 1);

    CArchive a;
    ASSERT_TRUE(a.OpenMemory(b));
    EXPECT_EQ(a.Find(keys.front().first, keys.front().second), nullptr);
    EXPECT_EQ(a.Find(keys.back().first, keys.back().second), nullptr);
    for (size_t i = 1; i + 1 < keys.size(); ++i)
        EXPECT_NE(a.Find(keys[i].first, keys[i].second), nullptr) << keys[i].first;
}

TEST(CorruptArchive, MissingFileAndEmptyPathFail)
{
    CArchive a;
    EXPECT_FALSE(a.OpenFile(""));
    EXPECT_FALSE(a.OpenFile(TempPath("no-such-archive.SSS")));
    EXPECT_FALSE(a.OpenResource(101)) << "no resources outside Windows";
}

template <class Record> void ExpectEveryTruncationRejected(const Bytes& full)
{
    for (size_t n = 0; n < full.size(); ++n)
    {
        CMemoryStream s(Bytes(full.begin(), full.begin() + n));
        Record r;
        ASSERT_FALSE(ReadRecord(s, r)) << "accepted " << n << " of " << full.size() << " bytes";
    }
    CMemoryStream s(full);
    Record r;
    EXPECT_TRUE(ReadRecord(s, r));
}

TEST(CorruptRecord, EveryTruncationIsRejected)
{
    const ArchiveTool::SampleArchive sample = ArchiveTool::MakeSampleArchive();
    for (const auto& e : sample.geomObjects)
        ExpectEveryTruncationRejected<GeomObjectRecord>(ArchiveTool::EncodeRecord(e.second));
    ExpectEveryTruncationRejected<MaterialRecord>(ArchiveTool::EncodeRecord(sample.materials[0].second));
    ExpectEveryTruncationRejected<LightRecord>(ArchiveTool::EncodeRecord(sample.lights[0].second));
    ExpectEveryTruncationRejected<CameraRecord>(ArchiveTool::EncodeRecord(sample.cameras[0].second));
    ExpectEveryTruncationRejected<EnvironmentRecord>(ArchiveTool::EncodeRecord(sample.environments[0].second));
}

TEST(CorruptRecord, BadCountsAndSizesAreRejected)
{
    // One key-less node with parent "", one frame with the sample's quad:
    // key count at 10, frame count 12, mesh count 18, vertex count 24,
    // vertex bytes 26, the 128 vertex bytes from 30, then index count and
    // bytes, indices from 164.
    GeomObjectRecord go;
    go.node.parentName = "";
    go.frames.resize(1);
    go.frames[0].meshes.push_back(ArchiveTool::MakeSampleArchive().geomObjects[0].second.frames[0].meshes[0]);
    const Bytes good = ArchiveTool::EncodeRecord(go);
    ASSERT_EQ(GetU16(good, 24), 4);

    const struct
    {
        const char* what;
        size_t at;
        uint32_t value;
        int width;
    } cases[] = {
        {"huge key count", 10, 0xFFFF, 2},       {"huge frame count", 12, 0xFFFF, 2},
        {"huge mesh count", 18, 0xFFFF, 2},      {"huge vertex bytes", 26, 0xFFFFFFF0u, 4},
        {"vertex count disagrees", 24, 5, 2},    {"vertex bytes disagree", 26, 96, 4},
        {"index bytes disagree", 160, 11, 4},    {"index past the vertices", 164, 4, 2},
    };
    for (const auto& c : cases)
    {
        Bytes b = good;
        for (int i = 0; i < c.width; ++i)
            b[c.at + i] = uint8_t(c.value >> (8 * i));
        CMemoryStream s(b);
        GeomObjectRecord r;
        EXPECT_FALSE(ReadRecord(s, r)) << c.what;
    }
}
