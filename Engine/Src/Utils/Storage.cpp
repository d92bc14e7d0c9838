#include "Storage.h"

#include <boost/regex.hpp>

#include <cstring>

namespace Storage
{
bool FindNames(const std::string& pattern, const std::vector<std::string>& names, std::vector<std::string>* list)
{
    const boost::regex expression(pattern, boost::regex::perl | boost::regex::icase);
    bool found = false;
    for (const std::string& name : names)
    {
        if (!boost::regex_match(name, expression))
            continue;
        found = true;
        if (!list)
            break;
        list->push_back(name);
    }
    return found;
}

void CMemoryFile::Read(void* destination, uint32_t count)
{
    const uint32_t available = m_Size - m_Position;
    if (count > available)
        count = available;
    if (count)
        memcpy(destination, m_pBytes + m_Position, count);
    m_Position += count;
}

CDiskFile::~CDiskFile()
{
    if (m_pFile)
        fclose(m_pFile);
}

uint32_t CDiskFile::GetSize()
{
    const long position = ftell(m_pFile);
    fseek(m_pFile, 0, SEEK_END);
    const long size = ftell(m_pFile);
    fseek(m_pFile, position, SEEK_SET);
    return size < 0 ? 0 : uint32_t(size);
}

void CDiskFile::Read(void* destination, uint32_t count)
{
    if (fread(destination, count, 1, m_pFile) != 1)
        clearerr(m_pFile);
}

uint32_t CDiskFile::Tell()
{
    const long position = ftell(m_pFile);
    return position < 0 ? 0 : uint32_t(position);
}

void CDiskFile::Seek(uint32_t position)
{
    fseek(m_pFile, long(position), SEEK_SET);
}

CSSSFile::CSSSFile(IStorageFile& archive, uint32_t offset) : CMemoryFile(nullptr, 0)
{
    const uint32_t archiveSize = archive.GetSize();
    uint32_t size = 0;
    if (offset > archiveSize || archiveSize - offset < sizeof size)
        return;
    archive.Seek(offset);
    archive.Read(&size, sizeof size);
    if (size > archiveSize - offset - sizeof size)
        return;
    m_pData = std::make_shared<std::vector<uint8_t>>(size);
    if (size)
        archive.Read(m_pData->data(), size);
    m_pBytes = m_pData->data();
    m_Size = size;
}

CSSSFileStorage::CSSSFileStorage(IStorageFile* archive, IStorage* owner, const std::vector<Entry>& directory)
    : m_pArchive(archive), m_pOwner(owner)
{
    for (const Entry& e : directory)
        m_Directory[e.name] = e;
}

CSSSFileStorage::~CSSSFileStorage()
{
    if (m_pArchive && m_pOwner)
        m_pOwner->Close(m_pArchive);
    m_Directory.clear();
}

IStorageFile* CSSSFileStorage::Open(const std::string& name)
{
    auto it = m_Directory.find(name);
    if (it == m_Directory.end() || !m_pArchive)
        return nullptr;
    return new CSSSFile(*m_pArchive, uint32_t(it->second.offset));
}

bool CSSSFileStorage::Find(const std::string& pattern, std::vector<std::string>* list)
{
    std::vector<std::string> names;
    for (const auto& e : m_Directory)
        names.push_back(e.first);
    return FindNames(pattern, names, list);
}

IStorageFile* CMetaStorage::Open(const std::string& name)
{
    for (IStorage* storage : m_Storages)
        if (IStorageFile* file = storage->Open(name))
        {
            m_OpenFiles[file] = storage;
            return file;
        }
    return nullptr;
}

void CMetaStorage::Close(IStorageFile* file)
{
    auto it = m_OpenFiles.find(file);
    if (it == m_OpenFiles.end())
        return;
    IStorage* storage = it->second;
    m_OpenFiles.erase(it);
    storage->Close(file);
}

bool CMetaStorage::Find(const std::string& pattern, std::vector<std::string>* list)
{
    bool found = false;
    for (IStorage* storage : m_Storages)
        found = storage->Find(pattern, list) || found;
    return found;
}
} // namespace Storage
