// Raw blocks of a scene archive from a file, a program resource or memory.
#include "FileStorage.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace FileStorage
{
namespace
{
bool SeekTo(FILE* f, uint64_t position)
{
#ifdef _WIN32
    return _fseeki64(f, int64_t(position), SEEK_SET) == 0;
#else
    return fseeko(f, off_t(position), SEEK_SET) == 0;
#endif
}

int64_t FileSize(FILE* f)
{
#ifdef _WIN32
    if (_fseeki64(f, 0, SEEK_END) != 0)
        return -1;
    return _ftelli64(f);
#else
    if (fseeko(f, 0, SEEK_END) != 0)
        return -1;
    return ftello(f);
#endif
}
} // namespace

CDataSource::~CDataSource()
{
    Close();
}

void CDataSource::Fail(const std::string& what) const
{
    switch (m_Kind)
    {
    case KIND_RESOURCE:
        throw ErrorReadFromResource(what);
    case KIND_MEMORY:
        throw ErrorReadFromMemory(what);
    default:
        throw ErrorReadFromFile(what);
    }
}

void CDataSource::OpenFile(const std::string& path)
{
    Close();
    m_Kind = KIND_FILE;
    if (path.empty())
        Fail("empty archive path");
    m_pFile = fopen(path.c_str(), "rb");
    if (!m_pFile)
        Fail("cannot open " + path);
    const int64_t size = FileSize(m_pFile);
    if (size < 0)
        Fail("cannot size " + path);
    m_Size = uint64_t(size);
}

void CDataSource::OpenMemory(ByteArray bytes)
{
    Close();
    m_Kind = KIND_MEMORY;
    m_Memory = std::move(bytes);
    m_Size = m_Memory.size();
}

void CDataSource::Close()
{
    if (m_Kind == KIND_FILE && m_pFile)
        fclose(m_pFile);
    m_pFile = nullptr;
    m_hResource = nullptr;
    m_Memory.clear();
    m_Size = 0;
}

void CDataSource::CheckRange(uint64_t position, uint64_t length) const
{
    if (position > m_Size || length > m_Size - position)
        Fail("block of " + std::to_string(length) + " bytes at " + std::to_string(position) +
             " passes the end of the source (" + std::to_string(m_Size) + " bytes)");
}

void CDataSource::ReadRaw(uint64_t position, uint32_t length, void* dest)
{
    CheckRange(position, length);
    if (length == 0)
        return;
    switch (m_Kind)
    {
    case KIND_FILE:
        if (!m_pFile || !SeekTo(m_pFile, position) || fread(dest, 1, length, m_pFile) != length)
            Fail("read failed at " + std::to_string(position));
        break;
    case KIND_MEMORY:
        memcpy(dest, m_Memory.data() + position, length);
        break;
    case KIND_RESOURCE:
        ReadResourceRaw(position, length, dest);
        break;
    default:
        Fail("no source open");
    }
}

uint32_t CDataSource::ReadBlock(uint64_t position, uint32_t length, ByteArray& buffer)
{
    if (length == 0)
    {
        uint8_t prefix[4];
        ReadRaw(position, 4, prefix);
        length = uint32_t(prefix[0]) | uint32_t(prefix[1]) << 8 | uint32_t(prefix[2]) << 16 |
                 uint32_t(prefix[3]) << 24;
        position += 4;
    }
    // Checked before the allocation: a corrupt length must not allocate.
    CheckRange(position, length);
    ByteArray block(length);
    ReadRaw(position, length, block.data());
    buffer.swap(block);
    return length;
}

#ifdef _WIN32
void CDataSource::OpenResource(uint16_t id)
{
    Close();
    m_Kind = KIND_RESOURCE;
    HRSRC hResource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (!hResource)
        Fail("no RCDATA resource " + std::to_string(id));
    m_hResource = hResource;
    m_Size = SizeofResource(nullptr, hResource);
}

void CDataSource::ReadResourceRaw(uint64_t position, uint32_t length, void* dest)
{
    HGLOBAL hData = LoadResource(nullptr, static_cast<HRSRC>(m_hResource));
    const void* pData = hData ? LockResource(hData) : nullptr;
    if (!pData)
        Fail("cannot load the resource");
    memcpy(dest, static_cast<const uint8_t*>(pData) + position, length);
    FreeResource(hData);
}
#else
void CDataSource::OpenResource(uint16_t id)
{
    Close();
    m_Kind = KIND_RESOURCE;
    Fail("no RCDATA resource " + std::to_string(id) + " outside Windows");
}

void CDataSource::ReadResourceRaw(uint64_t, uint32_t, void*)
{
    Fail("no resources outside Windows");
}
#endif
} // namespace FileStorage
