#include "OpenAutomate.h"

#include <cstdio>

COpenAutomateOptions& COpenAutomateOptions::Instance()
{
    static COpenAutomateOptions options;
    return options;
}

// No harness client is connected yet: every report is refused as the client
// refuses reports before its initialisation.
static void NotInitialized()
{
    std::fprintf(stderr, "ERROR: %s\n", "OA not initialized.");
}

void oaStartBenchmark()
{
    NotInitialized();
}

void oaDisplayFrame(double)
{
    NotInitialized();
}

void oaEndBenchmark()
{
    NotInitialized();
}

void oaSendResultValue(const char*, double)
{
    NotInitialized();
}
