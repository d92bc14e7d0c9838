#pragma once
// The off-screen drawing code's "Error in" log line with a source position.
#include "Log.h"

inline void LogSourceError(const char* source, unsigned line)
{
    g_Log.Printf("Error in %s, line %u\n", source, line);
}
