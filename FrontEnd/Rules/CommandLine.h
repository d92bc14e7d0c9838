#pragma once
// The screensaver switches that Windows passes: "/c" settings, "/p N"
// preview inside window N, "/s" run, "/a" password change, "/t" nothing.
#include <cstdint>

enum class ScreensaverMode
{
    Configure = 0,
    Preview = 1,
    Run = 2,
    DoNothing = 3,
    ChangePassword = 4,
};

struct ParsedCommandLine
{
    ScreensaverMode mode = ScreensaverMode::Configure;
    // The decimal window number behind the switch; 0 when there is none or
    // the mode takes none.
    intptr_t window = 0;
};

// The whole command line, program name included. Never fails.
ParsedCommandLine ParseCommandLine(const char* commandLine);
