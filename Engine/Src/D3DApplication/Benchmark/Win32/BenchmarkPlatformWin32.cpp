// The option table's system services on Windows.
#include <windows.h>

#include <cstdio>

#include "BenchmarkPlatform.h"

namespace BenchmarkPlatform
{
std::string CommandLine()
{
    const char* line = GetCommandLineA();
    return line ? line : "";
}

void DebugOutput(const char* text)
{
    OutputDebugStringA(text);
}

std::string ModulePath()
{
    char path[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::string();
    return std::string(path, n);
}

std::string LocalDateTime()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[32];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return text;
}
} // namespace BenchmarkPlatform
