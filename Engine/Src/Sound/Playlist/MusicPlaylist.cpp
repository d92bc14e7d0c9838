#include "MusicPlaylist.h"

#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace
{
// A file or a directory of that name exists.
bool PathExists(const std::string& path)
{
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
#ifdef _WIN32
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat info;
    return stat(path.c_str(), &info) == 0;
#endif
}

// The path up to and including its last folder separator, or empty.
std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
} // namespace

void MusicPlaylist::AddEntry(const std::string& path)
{
    m_Entries.push_back(path);
}

std::string MusicPlaylist::GetEntry(size_t index) const
{
    return index < m_Entries.size() ? m_Entries[index] : std::string();
}

void MusicPlaylist::EraseAt(size_t index)
{
    if (index < m_Entries.size())
        m_Entries.erase(m_Entries.begin() + static_cast<std::ptrdiff_t>(index));
}

bool MusicPlaylist::Parse(const std::string& folder, const std::string& text)
{
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const size_t length = end - start;
        if (length > 0 && length <= kMaxLineLength && text[start] != '#')
        {
            const std::string line = text.substr(start, length);
            // A joined path longer than a line could not be read back from
            // the text that Serialize writes.
            const std::string joined = folder + line;
            if (joined.size() <= kMaxLineLength && PathExists(joined))
                m_Entries.push_back(joined);
            else if (PathExists(line))
                m_Entries.push_back(line);
        }
        start = end + 1;
    }
    return !m_Entries.empty();
}

void MusicPlaylist::Serialize(std::string& out) const
{
    for (const std::string& entry : m_Entries)
    {
        out += entry;
        out += '\n';
    }
}

bool MusicPlaylist::LoadFromFile(const std::string& path)
{
    std::string text;
    std::ifstream file(path.c_str(), std::ios::in | std::ios::binary);
    if (file)
    {
        const std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        // Read as a text file: a CR LF pair is one LF.
        text.reserve(raw.size());
        for (size_t i = 0; i < raw.size(); ++i)
        {
            if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
                continue;
            text += raw[i];
        }
    }
    return Parse(FolderOf(path), text);
}
