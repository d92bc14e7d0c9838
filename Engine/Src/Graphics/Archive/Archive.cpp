// The archive directory and lazy loading of its entries.
#include "FileStorage.h"

#include "Log.h"

namespace FileStorage
{
CArchive::~CArchive()
{
    Reset();
}

void CArchive::Reset()
{
    m_Directory.clear();
    if (m_pSource)
        m_pSource->Close();
    m_pSource.reset();
    m_Version = 0;
}

template <class OpenFn> bool CArchive::Open(const std::string& what, OpenFn open)
{
    Reset();
    try
    {
        m_pSource = std::make_unique<CDataSource>();
        open(*m_pSource);
        ReadDirectory();
        return true;
    }
    catch (const ErrorRead& e)
    {
        g_Log.Printf("Scene archive %s: %s\n", what.c_str(), e.what());
    }
    catch (const std::bad_alloc&)
    {
        g_Log.Printf("Scene archive %s: out of memory reading the directory\n", what.c_str());
    }
    Reset();
    return false;
}

bool CArchive::OpenFile(const std::string& path)
{
    return Open("\"" + path + "\"", [&](CDataSource& s) { s.OpenFile(path); });
}

bool CArchive::OpenResource(uint16_t id)
{
    return Open("{ResID: " + std::to_string(id) + "}", [&](CDataSource& s) { s.OpenResource(id); });
}

bool CArchive::OpenMemory(ByteArray bytes)
{
    return Open("in memory", [&](CDataSource& s) { s.OpenMemory(std::move(bytes)); });
}

void CArchive::ReadDirectory()
{
    ByteArray head;
    m_pSource->ReadBlock(0, 4, head);
    uint64_t directoryAt = 0;
    m_Version = kDefaultArchiveVersion;
    if ((head[0] | head[1] | head[2] | head[3]) == 0)
    {
        m_pSource->ReadBlock(4, 4, head);
        m_Version = uint32_t(head[0]) | uint32_t(head[1]) << 8 | uint32_t(head[2]) << 16 | uint32_t(head[3]) << 24;
        directoryAt = kArchiveHeadSize;
    }
    ByteArray body;
    m_pSource->ReadBlock(directoryAt, 0, body);
    CMemoryStream directory(std::move(body));

    const uint64_t sourceSize = m_pSource->GetSize();
    const uint16_t count = directory.ReadU16();
    for (uint16_t i = 0; i < count; ++i)
    {
        std::string name = directory.ReadString();
        std::string type = directory.ReadString();
        const uint64_t offset = directory.ReadU64();
        // Every block starts with its u32 size; that much must lie in the source.
        if (offset > sourceSize || sourceSize - offset < 4)
            throw ErrorReadFromStream("entry \"" + name + "\" (" + type + ") starts at " + std::to_string(offset) +
                                      ", past the end of the archive");
        auto inserted = m_Directory.emplace(Key(name, type), Entry());
        if (!inserted.second)
        {
            g_Log.Printf("Scene archive: entry \"%s\" (%s) listed twice; the first one is used\n", name.c_str(),
                         type.c_str());
            continue;
        }
        Entry& entry = inserted.first->second;
        entry.offset = offset;
        entry.stream = std::make_unique<CMemoryStream>();
    }
}

std::vector<CArchive::Key> CArchive::GetEntryList() const
{
    std::vector<Key> list;
    list.reserve(m_Directory.size());
    for (const auto& e : m_Directory)
        list.push_back(e.first);
    return list;
}

CMemoryStream* CArchive::Find(const std::string& name, const std::string& type)
{
    auto it = m_Directory.find(Key(name, type));
    if (it == m_Directory.end() || !m_pSource)
        return nullptr;
    CMemoryStream& stream = *it->second.stream;
    if (stream.IsLoaded())
    {
        stream.SetPosition(0);
        return &stream;
    }
    try
    {
        stream.Load(*m_pSource, it->second.offset, 0);
        return &stream;
    }
    catch (const ErrorRead& e)
    {
        g_Log.Printf("Scene archive: entry \"%s\" (%s): %s\n", name.c_str(), type.c_str(), e.what());
    }
    catch (const std::bad_alloc&)
    {
        g_Log.Printf("Scene archive: entry \"%s\" (%s): out of memory\n", name.c_str(), type.c_str());
    }
    return nullptr;
}
} // namespace FileStorage
