#include "FileReplace.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include "Log.h"

bool WriteFileReplacing(const std::string& name, const std::function<bool(FILE*)>& write)
{
    const std::string temp = name + ".tmp";
    FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file)
    {
        g_Log.Printf("Can't write \"%s\"\n", temp.c_str());
        return false;
    }
    const bool written = write(file) && !std::ferror(file);
    if (std::fclose(file) != 0 || !written)
    {
        g_Log.Printf("Can't write \"%s\"\n", temp.c_str());
        std::remove(temp.c_str());
        return false;
    }
#ifdef _WIN32
    const bool replaced = MoveFileExA(temp.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    const bool replaced = std::rename(temp.c_str(), name.c_str()) == 0;
#endif
    if (!replaced)
    {
        g_Log.Printf("Can't replace \"%s\" with \"%s\"\n", name.c_str(), temp.c_str());
        std::remove(temp.c_str());
        return false;
    }
    return true;
}
