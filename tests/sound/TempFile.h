#pragma once
// Fixture files in the temporary folder.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

inline std::string TempPath(const char* name)
{
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

inline std::string WriteTemp(const char* name, const std::vector<unsigned char>& bytes)
{
    const std::string path = TempPath(name);
    FILE* f = fopen(path.c_str(), "wb");
    if (f)
    {
        if (!bytes.empty())
            fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    return path;
}
