#include "PlaylistEditing.h"

#include <cstring>

namespace
{
// The NUL-terminated text at `start`, cut at the end of the buffer.
std::string TextAt(const char* buffer, size_t size, size_t start)
{
    if (start >= size)
        return std::string();
    const void* end = std::memchr(buffer + start, '\0', size - start);
    const size_t length = end ? size_t(static_cast<const char*>(end) - (buffer + start)) : size - start;
    return std::string(buffer + start, length);
}
} // namespace

std::vector<std::string> SplitOpenFileNames(const char* buffer, size_t size, unsigned fileOffset)
{
    std::vector<std::string> paths;
    if (!buffer || size == 0)
        return paths;
    if (fileOffset == 0 || fileOffset >= size || buffer[fileOffset - 1] != '\0')
    {
        const std::string single = TextAt(buffer, size, 0);
        if (!single.empty())
            paths.push_back(single);
        return paths;
    }
    std::string folder = TextAt(buffer, size, 0);
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    for (size_t at = fileOffset; at < size;)
    {
        const std::string name = TextAt(buffer, size, at);
        if (name.empty())
            break;
        paths.push_back(folder + name);
        at += name.size() + 1;
    }
    return paths;
}

bool IsM3uName(const std::string& path)
{
    return path.size() >= 3 && path.compare(path.size() - 3, 3, "m3u") == 0;
}
