#pragma once
// Small helpers of the off-screen drawing code: the "Error in" log line with
// a source position, and releasing a COM pointer that may be null.
#include "Log.h"

inline void LogSourceError(const char* source, unsigned line)
{
    g_Log.Printf("Error in %s, line %u\n", source, line);
}

template <class T> inline void SafeRelease(T*& p)
{
    if (p)
        p->Release();
    p = nullptr;
}
