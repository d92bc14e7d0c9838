// The option table's system services in the native build, where there is no
// process command line to read and no debugger channel.
#include "BenchmarkPlatform.h"

#include <cstdio>
#include <ctime>

namespace BenchmarkPlatform
{
std::string CommandLine()
{
    return std::string();
}

void DebugOutput(const char* text)
{
    std::fputs(text, stderr);
}

std::string ModulePath()
{
    return std::string();
}

std::string LocalDateTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    localtime_r(&now, &local);
    char text[32];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}
} // namespace BenchmarkPlatform
