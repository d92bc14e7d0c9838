#include "CommandLine.h"

#include <cctype>
#include <climits>

namespace
{
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// atol's reading of the digits at `p`, kept within a signed 32-bit value so
// that an absurdly long number cannot overflow.
intptr_t ReadNumber(const char* p)
{
    long long value = 0;
    for (; IsDigit(*p); ++p)
    {
        value = value * 10 + (*p - '0');
        if (value > INT_MAX)
            return 0;
    }
    return intptr_t(value);
}
} // namespace

ParsedCommandLine ParseCommandLine(const char* commandLine)
{
    ParsedCommandLine result;
    const char* p = commandLine ? commandLine : "";

    // The program name: a quoted name ends at its closing quote, a plain one
    // at the first blank.
    if (*p == '"')
    {
        ++p;
        while (*p && *p != '"')
            ++p;
        if (*p)
            ++p;
    }
    else
    {
        while (*p && *p != ' ')
            ++p;
        if (*p)
            ++p;
    }

    while (*p && *p != '/' && *p != '-')
        ++p;
    if (!*p)
        return result;
    ++p;

    bool readsWindow = true;
    switch (std::tolower(static_cast<unsigned char>(*p)))
    {
    case 'a': result.mode = ScreensaverMode::ChangePassword; break;
    case 'c': result.mode = ScreensaverMode::Configure; break;
    case 'p': result.mode = ScreensaverMode::Preview; break;
    case 't':
        result.mode = ScreensaverMode::DoNothing;
        readsWindow = false;
        break;
    default:
        result.mode = ScreensaverMode::Run;
        readsWindow = false;
        break;
    }
    if (!readsWindow)
        return result;

    ++p;
    while (*p && !IsDigit(*p))
        ++p;
    if (*p)
        result.window = ReadNumber(p);
    return result;
}
