#pragma once
// Collects what g_Log receives while it lives, without the time stamps.
#include <string>

#include "Log.h"

class LogCapture
{
public:
    LogCapture() : m_Start(g_Log.GetText().size()) { SetLogClock(&FixedClock); }
    ~LogCapture() { SetLogClock(nullptr); }

    std::string Text() const
    {
        std::string text = g_Log.GetText().substr(m_Start), out;
        const std::string stamp = "00:00:00:0000 - ";
        for (size_t pos = 0; pos < text.size();)
        {
            if (text.compare(pos, stamp.size(), stamp) == 0)
                pos += stamp.size();
            else
                out += text[pos++];
        }
        return out;
    }

private:
    static LogTime FixedClock() { return {0, 0, 0, 0}; }
    size_t m_Start;
};
