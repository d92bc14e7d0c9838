#pragma once
// The lines that the global log received since the capture began, without
// their time stamps.
#include "Log.h"

#include <string>

class LogCapture
{
public:
    LogCapture() : m_Start(g_Log.GetText().size()) {}
    std::string Lines() const
    {
        const std::string text = g_Log.GetText().substr(m_Start);
        std::string out;
        size_t pos = 0;
        while (pos < text.size())
        {
            size_t end = text.find('\n', pos);
            end = end == std::string::npos ? text.size() : end + 1;
            std::string line = text.substr(pos, end - pos);
            // "hh:mm:ss:mmmm - "
            if (line.size() >= 16 && line[2] == ':' && line.compare(13, 3, " - ") == 0)
                line = line.substr(16);
            out += line;
            pos = end;
        }
        return out;
    }

private:
    size_t m_Start;
};
