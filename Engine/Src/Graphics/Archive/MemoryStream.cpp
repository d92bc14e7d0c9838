// The read cursor over one loaded archive record.
#include "FileStorage.h"

#include <cstring>

namespace FileStorage
{
CMemoryStream::CMemoryStream(ByteArray bytes)
    : m_pData(std::make_shared<ByteArray>(std::move(bytes))), m_bLoaded(true)
{
}

void CMemoryStream::Load(CDataSource& source, uint64_t position, uint32_t length)
{
    auto data = std::make_shared<ByteArray>();
    source.ReadBlock(position, length, *data);
    m_pData = std::move(data);
    m_Position = 0;
    m_bLoaded = true;
}

void CMemoryStream::Need(uint32_t n) const
{
    if (n > GetRemaining())
        throw ErrorReadFromStream("read of " + std::to_string(n) + " bytes at " + std::to_string(m_Position) +
                                  " passes the end of a " + std::to_string(GetSize()) + "-byte record");
}

void CMemoryStream::SetPosition(uint32_t position)
{
    if (position > GetSize())
        throw ErrorReadFromStream("position " + std::to_string(position) + " past the end of the record");
    m_Position = position;
}

void CMemoryStream::ReadBytes(void* dest, uint32_t n)
{
    Need(n);
    if (n == 0)
        return;
    memcpy(dest, m_pData->data() + m_Position, n);
    m_Position += n;
}

void CMemoryStream::ReadMatrix(float* dest16)
{
    ReadBytes(dest16, 16 * sizeof(float));
}

uint8_t CMemoryStream::ReadU8()
{
    uint8_t v;
    ReadBytes(&v, 1);
    return v;
}

uint16_t CMemoryStream::ReadU16()
{
    uint8_t b[2];
    ReadBytes(b, 2);
    return uint16_t(b[0] | b[1] << 8);
}

uint32_t CMemoryStream::ReadU32()
{
    uint8_t b[4];
    ReadBytes(b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

uint64_t CMemoryStream::ReadU64()
{
    const uint64_t low = ReadU32();
    return low | uint64_t(ReadU32()) << 32;
}

float CMemoryStream::ReadFloat()
{
    const uint32_t bits = ReadU32();
    float v;
    memcpy(&v, &bits, sizeof v);
    return v;
}

std::string CMemoryStream::ReadString()
{
    const uint32_t start = m_Position;
    const uint16_t length = ReadU16();
    if (length > GetRemaining())
    {
        m_Position = start;
        Need(length + 2u);
    }
    std::string s(reinterpret_cast<const char*>(m_pData->data() + m_Position), length);
    m_Position += length;
    return s;
}

void CMemoryStream::ReadArray(ByteArray& out, uint32_t n)
{
    Need(n);
    out.assign(m_pData->data() + m_Position, m_pData->data() + m_Position + n);
    m_Position += n;
}
} // namespace FileStorage
