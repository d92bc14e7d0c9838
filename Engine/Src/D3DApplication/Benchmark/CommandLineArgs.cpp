// Splits a private copy of the command line in place.
#include "OpenAutomate.h"

#include <cctype>
#include <cstring>

static bool IsBlank(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

CCommandLineArgs::CCommandLineArgs(const char* commandLine)
{
    const char* text = commandLine ? commandLine : "";
    m_Text.assign(text, text + std::strlen(text) + 1);
    Split();
}

void CCommandLineArgs::Split()
{
    char* p = m_Text.data();
    while (*p)
    {
        while (IsBlank(*p))
            ++p;
        const bool quoted = *p == '"';
        if (quoted)
            ++p;
        m_Args.push_back(p);
        if (!quoted)
        {
            while (*p && !IsBlank(*p))
                ++p;
            if (!*p)
                return;
            *p++ = '\0';
            continue;
        }
        // A quoted argument ends at a quote followed by white space or by
        // the end of the text.
        while (*p && !(*p == '"' && (p[1] == '\0' || IsBlank(p[1]))))
            ++p;
        if (!*p)
            return;
        *p = '\0';
        if (p[1] == '\0')
            return;
        p += 2;
    }
}

int CCommandLineArgs::Find(const char* text) const
{
    for (size_t i = 0; i < m_Args.size(); ++i)
        if (std::strcmp(m_Args[i], text) == 0)
            return (int)i;
    return -1;
}
